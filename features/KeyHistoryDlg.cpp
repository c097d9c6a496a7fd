// SPDX-License-Identifier: BSD-3-Clause
#include "features/KeyHistoryDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>

#include "widgets/QtText.h"
#include "features/KeypadDisplay.h"
#include "readerlink/ResultText.h"

using namespace features;

CKeyHistoryDlg::CKeyHistoryDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral("Get Key Pressed"), 700, 100) {
    QGridLayout* grid = nullptr;
    AddGroup(QStringLiteral("Historic"), grid);
    for (int i = 0; i < KeyHistory::kCells; ++i) {
        m_cells[i] = MakeField(QString(), 1, true);
        m_cells[i]->setFixedWidth(m_cells[i]->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 2 + 6);
        m_cells[i]->setAlignment(Qt::AlignCenter);
        grid->addWidget(m_cells[i], 0, i);
    }
    AddGroup(QStringLiteral("Last Receive Byte"), grid);
    m_lastReceive = MakeField(QString(), 0, true);
    grid->addWidget(m_lastReceive, 0, 0);
}

PcscResult CKeyHistoryDlg::PollKeys(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtraDigit) {
    LoopScope loop(*this);
    KeyHistory history(entries, validation, maxExtraDigit);
    m_lastReceive->setText(QStringLiteral(" "));
    PcscResult result = static_cast<PcscResult>(KEEP_STATUS_TEXT);  // nothing polled yet
    for (;;) {
        std::array<std::uint8_t, kKeyAnswerSize> answer{};
        DWORD returned = 0;
        result = Exchange(Code(), {}, answer.data(), answer.size(), &returned);
        const PollStep step = PollKeysStep(history, answer[0], result);
        if (step.pauseAfterCancel) {
            m_lastReceive->setText(ToQString(history.lastReceive));
            PauseBetweenPolls(500);
        }
        for (int i = 0; i < KeyHistory::kCells; ++i) m_cells[i]->setText(ToQString(history.cells[i]));
        m_lastReceive->setText(ToQString(history.lastReceive));
        if (!PauseBetweenPolls(100) || step.finished) break;
    }
    ReportResult(result);
    return result;
}
