// SPDX-License-Identifier: BSD-3-Clause
#include "features/SpeMessageDlg.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <array>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"

using namespace features;

CSpeMessageDlg::CSpeMessageDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("Spe Set Message"), 50, 450) {
    auto* form = new QFormLayout;
    m_message = MakeField(QString(), 16);
    m_message->setMinimumWidth(m_message->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 17);
    m_index = new QSpinBox(this);
    m_index->setRange(0, 255);
    m_index->setValue(0);
    PaintField(m_index);
    form->addRow(QStringLiteral("Message"), m_message);
    form->addRow(QStringLiteral("Index Message"), m_index);
    static_cast<QBoxLayout*>(layout())->addLayout(form);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    layout()->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &CSpeMessageDlg::SetSpeMessage);
}

void CSpeMessageDlg::SetSpeMessage() {
    const std::vector<std::uint8_t> request =
        SpeMessageRequest(static_cast<std::uint8_t>(m_index->value()), FromQString(m_message->text()));
    std::array<std::uint8_t, kMessageAnswerSize> answer{};
    DWORD returned = 0;
    ReportResult(Exchange(Code(), request, answer.data(), answer.size(), &returned));
}
