// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN windows and exchanges ("Verify Pin Value", "Modify Pin
// Value"): the console hands over to CPinExchange, which owns the windows
// and, through PinSession, the worker.
#include "console/ConsoleDlg.h"
#include "console/PinExchange.h"
#include "features/KeyHistoryDlg.h"
#include "widgets/MaskedEdit.h"

using namespace features;

CPinExchange& CConsoleDlg::PinExchange() {
    if (!m_pinExchange) {
        PinConsole console;
        console.window = this;
        console.readCommand = [this] { return m_commandField->GetText(); };
        console.refresh = [this] { RefreshWindow(); };
        console.closing = [this] { return m_closing; };
        m_pinExchange = std::make_unique<CPinExchange>(m_session, std::move(console));
        // Closing a PIN window clears the one-selection flag; opening one
        // (also by a first "SCardControl" press) sets it.
        m_pinExchange->SetOnWindowState([this](bool open) { m_featureWindowOpen = open; });
        m_pinExchange->SetKeyLoop(
            [this](DWORD code) {
                return m_session.Features().m_keyPollingSupported &&
                       (code == m_session.Features().CodeOf(kVerifyPinStart) ||
                        code == m_session.Features().CodeOf(kModifyPinStart));
            },
            [this](std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra) {
                RunKeyLoop(entries, validation, maxExtra);
            });
    }
    return *m_pinExchange;
}

bool CConsoleDlg::PinExchangeBusy() const { return m_pinExchange && m_pinExchange->Busy(); }

void CConsoleDlg::RunKeyLoop(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtra) {
    // The selection of the _START code opened "Get Key Pressed"; a user who
    // closed it meanwhile gets it back, since the keys are to be followed.
    if (!m_keyHistoryWindow) OpenKeyHistoryWindow(m_session.Features().CodeOf(kGetKeyPressed));
    if (auto* history = qobject_cast<CKeyHistoryDlg*>(m_keyHistoryWindow.data()))
        history->PollKeys(entries, validation, maxExtra);  // reports its own last result
}
