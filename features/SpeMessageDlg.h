// SPDX-License-Identifier: BSD-3-Clause
// "Spe Set Message" (CSpeMessageDlg): sets one of the reader's PIN entry
// messages with FEATURE_SET_SPE_MESSAGE.
#pragma once

#include "features/FeatureWindow.h"

class QPushButton;
class QSpinBox;

class CSpeMessageDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CSpeMessageDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    void SetSpeMessage();

    QLineEdit* MessageField() const { return m_message; }
    QSpinBox* IndexField() const { return m_index; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLineEdit* m_message = nullptr;
    QSpinBox* m_index = nullptr;
    QPushButton* m_ok = nullptr;
};
