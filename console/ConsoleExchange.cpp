// SPDX-License-Identifier: BSD-3-Clause
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
constexpr int kPaceMs = 10;
}  // namespace

void CConsoleDlg::OnLogFailure(LogFailure failure) {
    // The session reports before the exchange's texts replace the old ones:
    // the response field shows what the session holds (an APDU's cleared
    // field) behind the box.
    ShowResponse(ToQString(m_session.ResponseText()));
    ShowLogFailure(failure);
}

void CConsoleDlg::ShowLogFailure(LogFailure failure) {
    if (failure == LogFailure::None) return;
    const unsigned cause = 1u << static_cast<unsigned>(failure);
    if ((m_logFailuresShown & cause) != 0) return;
    m_logFailuresShown |= cause;
    QMessageBox::warning(this, ToQString(kDialogCaption), ToQString(LogFailureText(failure)));
}

void CConsoleDlg::TransmitCommand() {
    m_session.SetResponseText({});
    // The cleared response is not drawn before the answer replaces it (the
    // exchange runs no events), so it is pushed only if a box opens first:
    // a play whose answers repeat leaves the field alone.
    RefreshWindow(false);
    SetEnabled({IDC_RESPONSE_FORMAT}, true);
    m_session.Transmit(m_commandField->GetText());
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
    m_session.ToggleResponseFormat();
    RefreshWindow();
}
