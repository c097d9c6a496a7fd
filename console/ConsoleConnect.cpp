// SPDX-License-Identifier: BSD-3-Clause
// The connection workflow: establish, connect, reset, disconnect, release,
// reader selection and the connection options.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "console/ReaderWatcher.h"
#include "console/StatusTree.h"
#include "widgets/MaskedEdit.h"

using namespace console;

namespace {
constexpr DWORD kBothProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
}  // namespace

void CConsoleDlg::ShowConnectState(DWORD protocols) {
    if (m_session.ShareMode() == SCARD_SHARE_DIRECT) {
        m_shareDirect->setChecked(true);
        SetEnabled({IDC_SHARE_SHARED, IDC_SHARE_EXCLUSIVE}, false);
        return;
    }
    m_shareDirect->setChecked(false);
    m_shareDirect->setEnabled(false);
    if (m_session.ShareMode() == SCARD_SHARE_EXCLUSIVE) {
        m_shareExclusive->setChecked(true);
        m_shareShared->setEnabled(false);
    } else {
        m_shareShared->setChecked(true);
        m_shareExclusive->setEnabled(false);
    }
    m_protocolT0->setChecked((protocols & SCARD_PROTOCOL_T0) != 0);
    m_protocolT1->setChecked((protocols & SCARD_PROTOCOL_T1) != 0);
    if ((protocols & kDefaultParameters) == 0) {
        m_optimal->setChecked(true);
    } else {
        m_default->setChecked(true);
    }
}

bool CConsoleDlg::ContextEstablished() const { return IsEnabled(IDC_RELEASE); }

void CConsoleDlg::RegisterDeviceNotification() {
    if (m_osMajorVersion <= 4) return;
    // One watcher serves every Establish; a later Establish keeps it.
    if (!m_hDevNotify) m_hDevNotify = std::make_unique<CReaderWatcher>([this] { emit readersChanged(); });
    m_hDevNotify->Start();
}

void CConsoleDlg::FillReaderList(const ConnectionOutcome& outcome) {
    if (!outcome.listsReaders) return;
    m_readerList->clear();
    for (const std::string& name : outcome.readers) m_readerList->addItem(ToQString(name));
    m_readerList->setCurrentIndex(outcome.selectedReader < m_readerList->count() ? outcome.selectedReader : -1);
}

void CConsoleDlg::ShowConnection(const ConnectionOutcome& outcome) {
    FillReaderList(outcome);
    for (ConnectionStep step : outcome.steps) ApplyControlChanges(step);
    if (outcome.shownProtocols) ShowConnectState(*outcome.shownProtocols);
    for (ConnectionStep step : outcome.stepsAfter) ApplyControlChanges(step);
    if (outcome.status) ShowStatus(*outcome.status);
}

void CConsoleDlg::OnReadersChanged() {
    // A reader came or went. Only an open context without a card connection
    // follows it: a refresh makes a new context, which must not happen
    // behind a connection or after the context was released.
    if (m_closing || !m_session.FollowDeviceChanges() || !ContextEstablished() || !IsEnabled(IDC_CONNECT)) return;
    FillReaderList(m_session.RefreshReaders());
}

void CConsoleDlg::OnEstablishContext() {
    RegisterDeviceNotification();
    m_logFailuresShown = 0;  // the log this Establish opens reports each cause once
    const ConnectionOutcome outcome = m_session.Establish();
    ShowConnection(outcome);
    if (outcome.succeeded) SetUseLogFileEnabled(false);
    RefreshWindow();
}

void CConsoleDlg::OnConnect() {
    const ConnectionOutcome outcome = m_session.Connect(FromQString(m_readerList->currentText()));
    if (outcome.succeeded) {
        m_commandField->ClearText();
        FillControlList();
    }
    ShowConnection(outcome);
    // The emptied field is a change of the field, seen with the card now
    // connected: "SCardControl" sends the shown entry with no input bytes.
    if (outcome.succeeded) OnCommandChanged();
    RefreshWindow();
}

void CConsoleDlg::OnColdReset() {
    ShowConnection(m_session.Reset(SCARD_UNPOWER_CARD));
    RefreshWindow();
}

void CConsoleDlg::OnWarmReset() {
    ShowConnection(m_session.Reset(SCARD_RESET_CARD));
    RefreshWindow();
}

void CConsoleDlg::OnDisconnect() {
    const ConnectionOutcome outcome = m_session.Disconnect(m_osMajorVersion > 4);
    m_commandField->ClearText();
    ShowConnection(outcome);
    RefreshWindow();
}

void CConsoleDlg::ShowReleased(const ConnectionOutcome& outcome) {
    m_commandField->ClearText();
    ShowConnection(outcome);
    SetUseLogFileEnabled(true);
    RefreshWindow();
}

void CConsoleDlg::OnReleaseContext() { ShowReleased(m_session.Release()); }

void CConsoleDlg::OnSelectReader(int index) {
    if (const auto released = m_session.ChooseReader(index, IsEnabled(IDC_CONNECT))) ShowReleased(*released);
}

void CConsoleDlg::ShareCard(DWORD mode, QCheckBox* otherMode) {
    m_session.SetShareMode(mode);
    otherMode->setChecked(false);
    m_shareDirect->setChecked(false);
    m_session.SetPreferredProtocols(kBothProtocols);
    m_protocolT0->setChecked(true);
    m_protocolT1->setChecked(true);
}

void CConsoleDlg::OnShareExclusive() { ShareCard(SCARD_SHARE_EXCLUSIVE, m_shareShared); }

void CConsoleDlg::OnShareShared() { ShareCard(SCARD_SHARE_SHARED, m_shareExclusive); }

void CConsoleDlg::OnShareDirect() {
    m_session.SetShareMode(SCARD_SHARE_DIRECT);
    m_protocolT0->setChecked(false);
    m_protocolT1->setChecked(false);
    m_session.SetPreferredProtocols(0);
    m_shareExclusive->setChecked(false);
    m_shareShared->setChecked(false);
}

void CConsoleDlg::OnProtocolT0() {
    m_session.ChoosePreferred(SCARD_PROTOCOL_T0, m_protocolT0->isChecked());
    m_shareDirect->setChecked(false);
}

void CConsoleDlg::OnProtocolT1() {
    m_session.ChoosePreferred(SCARD_PROTOCOL_T1, m_protocolT1->isChecked());
    m_shareDirect->setChecked(false);
}

void CConsoleDlg::OnOptimal() { m_session.ChoosePreferred(kDefaultParameters, false); }

void CConsoleDlg::OnDefault() { m_session.ChoosePreferred(kDefaultParameters, true); }

void CConsoleDlg::OnCommandChanged() {
    // The mask keeps blanks in every untyped position, so the field counts
    // as empty while nothing is typed; otherwise a cleared field would
    // enable the exchange buttons in states without a card. With a card,
    // "SCardControl" stays enabled on an empty field: several controls (a
    // PIN finish, the TLV properties, an abort) are sent with no input.
    const bool empty = m_commandField->MaskData().IsEmpty();
    SetEnabled({IDC_CONTROL}, !empty || CardConnectionOpen());
    if (empty) {
        SetEnabled({IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_ADD_COMMAND}, false);
        return;
    }
    if (m_session.ShareMode() != SCARD_SHARE_DIRECT) SetEnabled({IDC_TRANSMIT, IDC_PLAY_COMMANDS}, true);
    SetEnabled({IDC_ADD_COMMAND}, true);
}
