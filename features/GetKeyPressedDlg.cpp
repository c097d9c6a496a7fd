// SPDX-License-Identifier: BSD-3-Clause
#include "features/GetKeyPressedDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"

using namespace features;

CGetKeyPressedDlg::CGetKeyPressedDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("GetKey"), 1000, 450) {
    QGridLayout* grid = nullptr;
    AddGroup(QStringLiteral("Code"), grid);
    for (int i = 0; i < 4; ++i) {
        m_cells[i] = MakeField(QString(), 1, true);
        m_cells[i]->setFixedWidth(m_cells[i]->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 2 + 6);
        m_cells[i]->setAlignment(Qt::AlignCenter);
        grid->addWidget(m_cells[i], 0, i);
    }
    AddGroup(QStringLiteral("Message"), grid);
    m_message = MakeField(QString(), 0, true);
    m_message->setMinimumWidth(m_message->fontMetrics().horizontalAdvance(ToQString(kSpeTimeoutText)) + 12);
    grid->addWidget(m_message, 0, 0);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    layout()->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &CGetKeyPressedDlg::PollKeyOnce);
}

void CGetKeyPressedDlg::PollKeyOnce() {
    KeyCells cells;
    for (int i = 0; i < 4; ++i) cells.cells[i] = FromQString(m_cells[i]->text());
    m_message->setText(QStringLiteral(" "));
    if (!HasLink()) return;  // no key byte to show
    std::array<std::uint8_t, kKeyAnswerSize> answer{};
    DWORD returned = 0;
    const PcscResult result = Exchange(Code(), {}, answer.data(), answer.size(), &returned);
    if (result != 0) {
        // A failed read is no key: the cells stay, the console says why.
        ReportResult(result);
        return;
    }
    PollKeyOnceStep(cells, answer[0]);
    for (int i = 0; i < 4; ++i) m_cells[i]->setText(ToQString(cells.cells[i]));
    m_message->setText(ToQString(cells.message));
}
