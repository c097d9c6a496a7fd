// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinPromptDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "widgets/QtText.h"
#include "features/PinRequests.h"

CPinPromptDlg::CPinPromptDlg(QWidget* parent) : QDialog(parent) {
    setModal(false);
    setWindowTitle(ToQString(kPinPromptTitle));
    m_prompt = new QLabel(ToQString(kPinPromptText), this);
    m_pinField = new QLineEdit(this);
    m_pinField->setEchoMode(QLineEdit::Password);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_prompt);
    layout->addWidget(m_pinField);
}

void CPinPromptDlg::HidePinField() {
    m_pinField->hide();
    adjustSize();  // no empty space where the field was
}
