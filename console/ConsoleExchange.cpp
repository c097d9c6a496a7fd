// The APDU exchange, the response view and the exchange log.
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <algorithm>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "scripts/CommandExchange.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessagePump.h"

using namespace console;

namespace {
constexpr std::size_t kExchangeBufferSize = 512;
constexpr char kFailedAnswer[] = "xx xx xx xx xx";
constexpr int kPaceMs = 10;
}  // namespace

void CConsoleDlg::OpenLogFile() {
    if (!m_logEnabled) return;
    m_logFailuresShown = 0;
    ShowLogFailure(m_logFile.OpenLog());
}

void CConsoleDlg::CloseLogFile() {
    if (m_logEnabled) m_logFile.CloseLog();
}

void CConsoleDlg::ShowLogFailure(LogFailure failure) {
    if (failure == LogFailure::None) return;
    const unsigned cause = 1u << static_cast<unsigned>(failure);
    if ((m_logFailuresShown & cause) != 0) return;
    m_logFailuresShown |= cause;
    QMessageBox::warning(this, ToQString(kDialogCaption), ToQString(LogFailureText(failure)));
}

void CConsoleDlg::StoreResponse(const std::uint8_t* bytes, unsigned count) {
    m_responseBytes.fill(0);
    count = std::min<unsigned>(count, static_cast<unsigned>(m_responseBytes.size()));
    if (count > 0) std::copy_n(bytes, count, m_responseBytes.begin());
    m_responseLength = count;
    m_responseIsHex = true;
}

void CConsoleDlg::TransmitCommand() {
    m_responseText.clear();
    // The cleared response is not drawn before the answer replaces it (the
    // exchange runs no events), so it is pushed only if a box opens first:
    // a play whose answers repeat leaves the field alone.
    RefreshWindow(false);
    SetEnabled({IDC_RESPONSE_FORMAT}, true);
    m_commandText = m_commandField->GetText();

    const ExchangeOutcome outcome = ExchangeCommandText(m_reader, m_commandText, m_logEnabled ? &m_logFile : nullptr);
    m_lastResult = outcome.result;
    if (outcome.logFailure != LogFailure::None) ShowResponse(QString());
    m_responseText = outcome.shownText;
    ShowLogFailure(outcome.logFailure);
    StoreResponse(outcome.answer.data(), outcome.answerLength);
    RefreshWindow();

    // Let the window catch up before a player sends the next command.
    PumpMessages();
    DelayMs(kPaceMs);
}

void CConsoleDlg::OnTransmitButton() {
    if (ExchangeBusy()) return;  // one exchange at a time on the link
    m_responseField->clear();
    if (m_playCommands) {
        PlayCommandFile();
    } else {
        RepeatCommand();
    }
    m_commandField->setFocus();
}

void CConsoleDlg::OnPlayCommandsCheck() {
    m_playCommands = m_playCommandsBox->isChecked();
}

void CConsoleDlg::OnResponseFormat() {
    const CHexCodec codec;
    m_responseText.clear();
    if (m_responseIsHex) {
        m_responseIsHex = false;
        m_responseText = codec.BytesToAscii(m_responseLength, m_responseBytes.data());
    } else {
        m_responseIsHex = true;
        m_responseText = codec.BytesToHex(m_responseLength, m_responseBytes.data());
    }
    RefreshWindow();
}
