// SPDX-License-Identifier: BSD-3-Clause
// CParseAtrDlg: template 194. The user types an ATR into the 80-group
// hexadecimal field; "Parse" keeps the text and closes, "Exit" closes
// without effect. The main window reads AtrText() after exec() returns
// QDialog::Accepted and decodes it without any card.
#pragma once

#include <QDialog>

#include <string>

class CMaskedEdit;
class QPushButton;

class CParseAtrDlg : public QDialog {
    Q_OBJECT
public:
    explicit CParseAtrDlg(QWidget* parent);

    // The field's text as the user left it (cp1252, untyped positions as
    // spaces); empty until "Parse" is pressed.
    const std::string& AtrText() const { return m_atrText; }

    CMaskedEdit* AtrField() const { return m_atrField; }

public slots:
    // However the dialog is accepted, the text is the field's at that moment.
    void accept() override;

private:
    void OnParse();
    void OnExit();

    CMaskedEdit* m_atrField = nullptr;
    QPushButton* m_parseButton = nullptr;
    QPushButton* m_exitButton = nullptr;
    std::string m_atrText;
};
