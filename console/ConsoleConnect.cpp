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
#include "features/VendorAttribute.h"
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

void CConsoleDlg::FillReaderList() {
    for (int slot = 0; slot < m_session.Link().GetReaderCount(); ++slot) m_readerList->addItem(ToQString(m_session.Link().ReaderName(slot)));
    m_readerList->setCurrentIndex(m_session.SelectedReader() < m_readerList->count() ? m_session.SelectedReader() : -1);
}

void CConsoleDlg::RefreshReaderList() {
    // The context being replaced has no card connection left on it: release
    // it, or every disconnect and every reader arrival would leave one more
    // context behind in the resource manager.
    m_session.Link().ReleaseContext();
    m_session.SetLastResult(m_session.Link().EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr));
    m_session.Link().SetMaxReaders(kReaderSlots);
    m_readerList->clear();
    m_session.SetLastResult(m_session.Link().ListReaders(nullptr));
    if (m_session.LastResult() != SCARD_S_SUCCESS) return;
    FillReaderList();
}

void CConsoleDlg::OnReadersChanged() {
    // A reader came or went. Only an open context without a card connection
    // follows it: a refresh makes a new context, which must not happen
    // behind a connection or after the context was released.
    if (m_closing || !m_session.FollowDeviceChanges() || !ContextEstablished() || !IsEnabled(IDC_CONNECT)) return;
    RefreshReaderList();
}

void CConsoleDlg::OnEstablishContext() {
    RegisterDeviceNotification();
    m_session.SetLastResult(m_session.Link().EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr));
    ApplyControlChanges(ConnectionStep::Establishing);  // a typed ATR's tree may have covered the picture
    m_session.SetCommandName({});
    m_session.SetCommandText({});
    m_session.Link().SetMaxReaders(kReaderSlots);
    m_readerList->clear();
    m_session.SetLastResult(m_session.Link().ListReaders(nullptr));
    if (m_session.LastResult() != SCARD_S_SUCCESS) {
        // The window stays without a context, so none is kept open behind it;
        // the status line shows the listing's result.
        m_session.Link().ReleaseContext();
        RefreshWindow();
        return;
    }
    FillReaderList();
    ShowConnectState(m_session.PreferredProtocols());
    ApplyControlChanges(ConnectionStep::Established);
    SetUseLogFileEnabled(false);
    OpenLogFile();
    RefreshWindow();
}

void CConsoleDlg::RelabelReaderList() {
    const std::string selected = FromQString(m_readerList->currentText());
    m_readerList->clear();
    for (int slot = 0; slot < m_session.Link().GetReaderCount(); ++slot) {
        const std::string name = m_session.Link().ReaderName(slot);
        m_readerList->addItem(ToQString(name == selected ? ReaderWithFeatures(name, m_session.FeatureCount()) : name));
    }
    m_readerList->setCurrentIndex(m_session.SelectedReader() < m_readerList->count() ? m_session.SelectedReader() : -1);
}

void CConsoleDlg::OnConnect() {
    DWORD activeProtocol = 0;
    m_session.SetLastResult(m_session.Link().Connect(m_session.Link().ReaderName(m_session.SelectedReader()), m_session.ShareMode(), m_session.PreferredProtocols(),
                                    &activeProtocol));
    if (m_session.LastResult() != SCARD_S_SUCCESS) {
        ApplyControlChanges(ConnectionStep::ConnectFailed);
        RefreshWindow();
        return;
    }
    m_session.SetFollowDeviceChanges(false);
    m_commandField->ClearText();
    m_session.ClearFeatureCount();
    ReleaseFeatureList();
    FillControlList();
    if (DiscoverFeatures()) RelabelReaderList();
    TakeShownControl();

    ApplyControlChanges(ConnectionStep::Connected);

    m_session.SetPreferredProtocols(activeProtocol);
    ShowConnectState(m_session.PreferredProtocols());
    OnStatus();
    // The manufacturer name, or the reader's own name where the reader does
    // not answer the maker's code, decides; the status line is left empty.
    ReadVendorAttribute(features::kManufacturerNameTag);
    m_session.SetMakerReader(IsMakerText(m_session.StatusText()));
    m_session.SetStatusText({});
    RefreshWindow();
}

void CConsoleDlg::OnColdReset() { Reset(SCARD_UNPOWER_CARD); }

void CConsoleDlg::OnWarmReset() { Reset(SCARD_RESET_CARD); }

void CConsoleDlg::Reset(DWORD initialization) {
    DWORD activeProtocol = 0;
    m_session.SetLastResult(m_session.Link().Reconnect(m_session.ShareMode(), m_session.PreferredProtocols(), initialization, &activeProtocol));
    if (m_session.LastResult() != SCARD_S_SUCCESS) {
        // Back to where a new connect is possible: the old handle is let go,
        // or the resource manager would refuse that connect.
        m_session.Link().Disconnect(SCARD_LEAVE_CARD);
        ApplyControlChanges(ConnectionStep::CardGone);
        ApplyControlChanges(ConnectionStep::ResetFailed);
        RefreshWindow();
        return;
    }
    ApplyControlChanges(ConnectionStep::ResetDone);
    ShowConnectState(activeProtocol);
    OnStatus();
    RefreshWindow();
}

void CConsoleDlg::OnDisconnect() {
    m_session.Link().Disconnect(SCARD_LEAVE_CARD);  // its result is not reported
    if (m_osMajorVersion > 4) {
        m_session.SetFollowDeviceChanges(true);
        m_session.SetSelectedReader(0);
        RefreshReaderList();
    }
    m_commandField->ClearText();
    m_session.SetPreferredProtocols(kBothProtocols);
    ShowConnectState(kBothProtocols);
    // Ends with all three share boxes enabled, whatever ShowConnectState disabled.
    ApplyControlChanges(ConnectionStep::Disconnected);

    m_session.SetCommandName({});
    m_session.SetCommandText({});
    m_session.SetResponseText({});
    ReleaseFeatureList();
    RefreshWindow();
}

void CConsoleDlg::OnReleaseContext() {
    m_session.SetLastResult(m_session.Link().ReleaseContext());
    m_commandField->ClearText();
    ApplyControlChanges(ConnectionStep::Released);

    SetUseLogFileEnabled(true);
    // The card connection ends with the context: the next context follows
    // reader arrivals again, as after a disconnect.
    m_session.SetFollowDeviceChanges(true);
    m_session.SetPreferredProtocols(kBothProtocols);
    m_session.SetCommandName({});
    m_session.SetCommandText({});
    m_session.SetResponseText({});
    m_session.CloseLog();
    RefreshWindow();
}

void CConsoleDlg::OnSelectReader(int index) {
    if (!IsEnabled(IDC_CONNECT)) {
        ReleaseFeatureList();
        OnReleaseContext();
        m_session.SetPreferredProtocols(kBothProtocols);
        m_session.SetShareMode(SCARD_SHARE_EXCLUSIVE);
    }
    m_session.SetSelectedReader(index);
}

void CConsoleDlg::OnShareExclusive() {
    m_session.SetShareMode(SCARD_SHARE_EXCLUSIVE);
    m_shareShared->setChecked(false);
    m_shareDirect->setChecked(false);
    m_session.SetPreferredProtocols(kBothProtocols);
    m_protocolT0->setChecked(true);
    m_protocolT1->setChecked(true);
}

void CConsoleDlg::OnShareShared() {
    m_session.SetShareMode(SCARD_SHARE_SHARED);
    m_shareExclusive->setChecked(false);
    m_shareDirect->setChecked(false);
    m_session.SetPreferredProtocols(kBothProtocols);
    m_protocolT0->setChecked(true);
    m_protocolT1->setChecked(true);
}

void CConsoleDlg::OnShareDirect() {
    m_session.SetShareMode(SCARD_SHARE_DIRECT);
    m_protocolT0->setChecked(false);
    m_protocolT1->setChecked(false);
    m_session.SetPreferredProtocols(0);
    m_shareExclusive->setChecked(false);
    m_shareShared->setChecked(false);
}

void CConsoleDlg::OnProtocolT0() {
    if (m_protocolT0->isChecked()) {
        m_session.SetPreferredProtocols(m_session.PreferredProtocols() | SCARD_PROTOCOL_T0);
    } else {
        m_session.SetPreferredProtocols(m_session.PreferredProtocols() & ~static_cast<DWORD>(SCARD_PROTOCOL_T0));
    }
    m_shareDirect->setChecked(false);
}

void CConsoleDlg::OnProtocolT1() {
    if (m_protocolT1->isChecked()) {
        m_session.SetPreferredProtocols(m_session.PreferredProtocols() | SCARD_PROTOCOL_T1);
    } else {
        m_session.SetPreferredProtocols(m_session.PreferredProtocols() & ~static_cast<DWORD>(SCARD_PROTOCOL_T1));
    }
    m_shareDirect->setChecked(false);
}

void CConsoleDlg::OnOptimal() { m_session.SetPreferredProtocols(m_session.PreferredProtocols() & ~kDefaultParameters); }

void CConsoleDlg::OnDefault() { m_session.SetPreferredProtocols(m_session.PreferredProtocols() | kDefaultParameters); }

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
