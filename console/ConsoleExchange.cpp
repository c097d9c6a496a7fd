// The APDU exchange, the response view and the exchange log.
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <algorithm>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/QtText.h"
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
    ShowLogFailure(m_logFile.OpenLog());
}

void CConsoleDlg::CloseLogFile() {
    if (m_logEnabled) m_logFile.CloseLog();
}

void CConsoleDlg::ShowLogFailure(LogFailure failure) {
    if (failure == LogFailure::None) return;
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
    RefreshWindow();
    SetEnabled({IDC_RESPONSE_FORMAT}, true);
    m_commandText = m_commandField->GetText();

    const CHexCodec codec;
    std::uint8_t send[kExchangeBufferSize] = {};
    unsigned sendLength = 0;
    codec.HexToBytes(m_commandText, send, sizeof send, sendLength);  // its verdict is not consulted

    std::uint8_t receive[kExchangeBufferSize] = {};
    DWORD receiveLength = sizeof receive;
    m_lastResult = m_reader.Transmit(send, sendLength, receive, &receiveLength);
    unsigned received = 0;
    if (m_lastResult == SCARD_S_SUCCESS) {
        received = std::min<unsigned>(receiveLength, sizeof receive);
        m_responseText = codec.BytesToHex(received, receive);
        if (m_logEnabled) ShowLogFailure(m_logFile.WriteRecord("SCardTransmit", m_commandText, m_responseText));
        if (received == 2) m_responseText = StatusWordText(receive[0], receive[1]);
    } else {
        m_responseText = kFailedAnswer;
        if (m_logEnabled) ShowLogFailure(m_logFile.WriteRecord("SCardTransmit", m_commandText, kFailedAnswer));
    }
    StoreResponse(receive, received);
    RefreshWindow();

    // Let the window catch up before a player sends the next command.
    PumpMessages();
    DelayMs(kPaceMs);
}

void CConsoleDlg::OnTransmitButton() {
    if (PinExchangeBusy()) return;  // one exchange at a time on the link
    m_responseField->clear();
    // Until the command players arrive the button runs one exchange.
    TransmitCommand();
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
