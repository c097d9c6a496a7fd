// The secure PIN windows and exchanges ("Verify Pin Value", "Modify Pin
// Value", the vendor worker): the console's entry points hand over to
// CPinExchange (features/), which owns the windows and the worker.
#include "console/ConsoleDlg.h"
#include "features/KeyHistoryDlg.h"
#include "features/ModifyPinDlg.h"
#include "features/PinExchange.h"
#include "features/VerifyPinDlg.h"

using namespace features;

CPinExchange& CConsoleDlg::PinExchange() {
    if (!m_pinExchange) {
        m_pinExchange = std::make_unique<CPinExchange>(*this);
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
