// SPDX-License-Identifier: BSD-3-Clause
#include "console/ParseAtrDlg.h"

#include <QPushButton>

#include "console/ParseAtrTexts.h"
#include "widgets/QtText.h"
#include "widgets/DialogUnits.h"
#include "carddata/MaskData.h"
#include "widgets/MaskedEdit.h"

using namespace parseatr;

CParseAtrDlg::CParseAtrDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("194"));
    setWindowTitle(ToQString(kCaption));
    QFont font(ToQString(console::kDialogFont));
    font.setPointSize(console::kDialogFontPoints);
    setFont(font);
    const DialogBaseUnits base = BaseUnitsOf(font);
    setFixedSize(DialogXToPixels(kWidthDu, base.x), DialogYToPixels(kHeightDu, base.y));

    m_atrField = new CMaskedEdit(this);
    m_atrField->setObjectName(QString::number(IDC_ATR_FIELD));
    m_atrField->setGeometry(DialogRectToPixels(kFieldRect, base));
    m_atrField->SetHexGroups(ATR_MASK_GROUPS);

    m_parseButton = new QPushButton(ToQString(kParse), this);
    m_parseButton->setObjectName(QString::number(IDOK));
    m_parseButton->setGeometry(DialogRectToPixels(kParseRect, base));
    m_parseButton->setDefault(true);

    m_exitButton = new QPushButton(ToQString(kExit), this);
    m_exitButton->setObjectName(QString::number(IDCANCEL));
    m_exitButton->setGeometry(DialogRectToPixels(kExitRect, base));

    connect(m_parseButton, &QPushButton::clicked, this, &CParseAtrDlg::OnParse);
    connect(m_exitButton, &QPushButton::clicked, this, &CParseAtrDlg::OnExit);
    // The field keeps Enter to itself; in this dialog Enter means the default button.
    connect(m_atrField, &CMaskedEdit::EnterPressed, this, &CParseAtrDlg::OnParse);
    m_atrField->setFocus();
}

void CParseAtrDlg::OnParse() { accept(); }

void CParseAtrDlg::accept() {
    m_atrText = m_atrField->GetText();
    QDialog::accept();
}

void CParseAtrDlg::OnExit() { reject(); }
