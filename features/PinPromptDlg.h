// SPDX-License-Identifier: BSD-3-Clause
// CPinPromptDlg: the small "PIN Code" window shown while the reader takes the
// PIN on its own keypad. Its PIN field is hidden: nothing is typed on the PC.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;

class CPinPromptDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPinPromptDlg(QWidget* parent = nullptr);

    void HidePinField();
    QLabel* Prompt() const { return m_prompt; }
    QLineEdit* PinField() const { return m_pinField; }

private:
    QLabel* m_prompt = nullptr;
    QLineEdit* m_pinField = nullptr;
};
