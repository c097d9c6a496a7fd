// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN windows and exchanges ("Verify Pin Value", "Modify Pin
// Value", the vendor worker): the console's entry points hand over to
// CPinExchange (features/), which owns the windows and the worker.
#include "console/ConsoleDlg.h"
#include "features/KeyHistoryDlg.h"
#include "features/ModifyPinDlg.h"
#include "features/PinExchange.h"
#include "features/VerifyPinDlg.h"
#include "widgets/MaskedEdit.h"

using namespace features;

CPinExchange& CConsoleDlg::PinExchange() {
    if (!m_pinExchange) {
        PinConsole console;
        console.window = this;
        console.link = &m_session.Link();
        console.readCommand = [this] {
            m_session.SetCommandText(m_commandField->GetText());
            return m_session.CommandText();
        };
        console.setResult = [this](PcscResult result) { m_session.SetLastResult(result); };
        console.showStatus = [this](std::string text) { m_session.ShowInStatusLine(std::move(text)); };
        console.conclude = [this](std::string_view logName, PcscResult result, const std::uint8_t* answer,
                                  unsigned count) {
            // The status line keeps what the exchange (or its key loop) left there.
            const PcscResult shown = m_session.LastResult();
            m_session.Conclude(ExchangePath::SecurePin, logName, result, answer, count);
            m_session.SetLastResult(shown);
        };
        console.refresh = [this] { RefreshWindow(); };
        console.closing = [this] { return m_closing; };
        m_pinExchange = std::make_unique<CPinExchange>(std::move(console));
        // Closing a PIN window clears the one-selection flag; opening one
        // (also by a first "SCardControl" press) sets it.
        m_pinExchange->SetOnWindowState([this](bool open) { m_featureWindowOpen = open; });
        m_pinExchange->SetKeyLoop(
            [this](DWORD code) {
                return m_session.Features().m_keyPollingSupported &&
                       (code == m_session.Features().CodeOf(kVerifyPinStart) || code == m_session.Features().CodeOf(kModifyPinStart));
            },
            [this](std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra) {
                RunKeyLoop(entries, validation, maxExtra);
            });
    }
    return *m_pinExchange;
}

bool CConsoleDlg::PinExchangeBusy() const { return m_pinExchange && m_pinExchange->Busy(); }

void CConsoleDlg::OpenVerifyPinWindow() { m_verifyPinWindow = PinExchange().OpenVerifyWindow(); }

void CConsoleDlg::OpenModifyPinWindow() { m_modifyPinWindow = PinExchange().OpenModifyWindow(); }

int CConsoleDlg::VerifyPinVendor() {
    const int result = PinExchange().VerifyPinVendor();
    m_verifyPinWindow = m_pinExchange->VerifyWindow();
    return result;
}

int CConsoleDlg::ModifyPinVendor() {
    const int result = PinExchange().ModifyPinVendor();
    m_modifyPinWindow = m_pinExchange->ModifyWindow();
    return result;
}

int CConsoleDlg::VerifyPinPcscV2(DWORD code) {
    const int result = PinExchange().VerifyPinPcscV2(code);
    m_verifyPinWindow = m_pinExchange->VerifyWindow();
    return result;
}

int CConsoleDlg::ModifyPinPcscV2(DWORD code) {
    const int result = PinExchange().ModifyPinPcscV2(code);
    m_modifyPinWindow = m_pinExchange->ModifyWindow();
    return result;
}

void CConsoleDlg::RunKeyLoop(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra) {
    // The selection of the _START code opened "Get Key Pressed"; a user who
    // closed it meanwhile gets it back, since the keys are to be followed.
    if (!m_keyHistoryWindow) OpenKeyHistoryWindow(m_session.Features().CodeOf(kGetKeyPressed));
    if (auto* history = qobject_cast<CKeyHistoryDlg*>(m_keyHistoryWindow.data()))
        history->PollKeys(entries, validation, maxExtra);  // reports its own last result
}
