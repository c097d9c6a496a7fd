// SPDX-License-Identifier: BSD-3-Clause
#include "features/WriteDisplayDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextBlock>

#include <array>

#include "widgets/QtText.h"

using namespace features;

CWriteDisplayDlg::CWriteDisplayDlg(QWidget* parent, CReaderLink* link, DWORD code, DWORD displayPropertiesCode,
                                   Report report)
    : CFeatureWindow(parent, link, code, std::move(report), QStringLiteral(" "), 500, 470),
      m_displayPropertiesCode(displayPropertiesCode) {
    QGridLayout* grid = nullptr;
    AddGroup(QStringLiteral("Message"), grid);
    m_message = new QPlainTextEdit(this);
    m_message->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_message->setTabChangesFocus(true);
    PaintField(m_message);
    const QFontMetrics metrics(m_message->font());
    m_message->setMinimumSize(metrics.horizontalAdvance(QLatin1Char('W')) * 17, metrics.lineSpacing() * 4);
    grid->addWidget(m_message, 0, 0);
    AddGroup(QStringLiteral("Display Time"), grid);
    m_displayTime = new QSpinBox(this);
    m_displayTime->setRange(0, 255);
    m_displayTime->setValue(10);
    PaintField(m_displayTime);
    grid->addWidget(m_displayTime, 0, 0);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    layout()->addWidget(m_ok);
    connect(m_ok, &QPushButton::clicked, this, &CWriteDisplayDlg::WriteDisplay);
    connect(m_message, &QPlainTextEdit::textChanged, this, &CWriteDisplayDlg::WrapMessageLine);
}

std::string CWriteDisplayDlg::MessageText() const {
    std::string text = FromQString(m_message->toPlainText());
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool CWriteDisplayDlg::ReadDisplayLimits() {
    std::array<std::uint8_t, kDisplayPropertiesAnswerSize> answer{};
    DWORD returned = 0;
    if (Exchange(m_displayPropertiesCode, {}, answer.data(), answer.size(), &returned) != 0) return false;
    m_limits = features::ReadDisplayLimits(answer.data(), std::min<std::size_t>(returned, answer.size()));
    m_limit = m_limits.Total();
    return true;
}

void CWriteDisplayDlg::WrapMessageLine() {
    if (m_editing) return;
    m_editing = true;
    QTextCursor cursor = m_message->textCursor();
    const QTextBlock block = cursor.block();
    const WrapAction action = features::WrapMessageLine(block.text().size(), block.blockNumber() + 1, m_limits);
    if (action.insertBreak) {
        cursor.movePosition(QTextCursor::EndOfBlock);
        cursor.insertBlock();
        m_message->setTextCursor(cursor);
        m_message->ensureCursorVisible();
        m_limit += 2;
    } else if (action.resetLimit) {
        m_limit = m_limits.Total();
    }
    // The field holds no more than its limit (line ends count two); a
    // limit of 0 (no display size read) limits nothing.
    while (m_limit > 0 && static_cast<int>(MessageText().size()) > m_limit && !m_message->toPlainText().isEmpty()) {
        QTextCursor trim = m_message->textCursor();
        if (trim.atStart()) trim.movePosition(QTextCursor::End);
        trim.deletePreviousChar();
        m_message->setTextCursor(trim);
    }
    m_editing = false;
}

void CWriteDisplayDlg::WriteDisplay() {
    m_limit = m_limits.Total();
    const std::string text = DisplayMessage(MessageText(), m_limits);
    const std::vector<std::uint8_t> request =
        WriteDisplayRequest(static_cast<std::uint8_t>(m_displayTime->value()), text);
    std::array<std::uint8_t, kMessageAnswerSize> answer{};
    DWORD returned = 0;
    const PcscResult result = Exchange(Code(), request, answer.data(), answer.size(), &returned);
    // Without the display's size nothing of the field fits: the reader got
    // an empty text, and the user must know why the display stays blank.
    if (result == 0 && HasLink() && m_limits.Total() == 0) {
        ReportText(kNoDisplaySizeText);
        return;
    }
    ReportResult(result);
}
