// SPDX-License-Identifier: BSD-3-Clause
// The connection workflow of the session: which PC/SC calls each button
// makes and in which order, and what the window shows afterwards.
#include "console/ConsoleSession.h"

#include "features/VendorAttribute.h"

using console::ConnectionStep;

namespace {
constexpr DWORD kBothProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
}  // namespace

void ConsoleSession::ListReaders(ConnectionOutcome& outcome) {
    m_reader.SetMaxReaders(kReaderSlots);
    outcome.listsReaders = true;
    outcome.selectedReader = m_selectedReader;
    m_lastResult = m_reader.ListReaders(nullptr);
    outcome.result = m_lastResult;
    m_listedReaders = m_lastResult == SCARD_S_SUCCESS ? m_reader.GetReaderCount() : 0;
    for (int slot = 0; slot < m_listedReaders; ++slot) outcome.readers.emplace_back(m_reader.ReaderName(slot));
}

ConnectionOutcome ConsoleSession::Establish() {
    ConnectionOutcome outcome;
    outcome.steps = {ConnectionStep::Establishing};  // a typed ATR's tree may have covered the picture
    m_lastResult = m_reader.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
    m_commandName.clear();
    m_commandText.clear();
    ListReaders(outcome);
    if (m_lastResult != SCARD_S_SUCCESS) {
        // The window stays without a context, so none is kept open behind it;
        // the status line shows the listing's result.
        m_reader.ReleaseContext();
        return outcome;
    }
    outcome.succeeded = true;
    outcome.shownProtocols = m_preferredProtocols;
    outcome.stepsAfter = {ConnectionStep::Established};
    OpenLog();
    return outcome;
}

ConnectionOutcome ConsoleSession::RefreshReaders() {
    // The context being replaced has no card connection left on it: release
    // it, or every disconnect and every reader arrival would leave one more
    // context behind in the resource manager.
    m_reader.ReleaseContext();
    m_lastResult = m_reader.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
    ConnectionOutcome outcome;
    ListReaders(outcome);
    outcome.succeeded = m_lastResult == SCARD_S_SUCCESS;
    return outcome;
}

ConnectionOutcome ConsoleSession::Connect(std::string_view shownReader) {
    ConnectionOutcome outcome;
    DWORD activeProtocol = 0;
    m_lastResult = m_reader.Connect(m_reader.ReaderName(m_selectedReader), m_shareMode, m_preferredProtocols,
                                    &activeProtocol);
    outcome.result = m_lastResult;
    if (m_lastResult != SCARD_S_SUCCESS) {
        outcome.steps = {ConnectionStep::ConnectFailed};
        return outcome;
    }
    outcome.succeeded = true;
    m_followDeviceChanges = false;
    m_featureCount = 0;
    ReleaseFeatures();
    outcome.featuresFound = DiscoverFeatures();
    if (outcome.featuresFound) {
        // The selected entry, as shown, gets the feature count; a failed
        // discovery leaves the list as it is.
        outcome.listsReaders = true;
        outcome.selectedReader = m_selectedReader;
        for (int slot = 0; slot < m_listedReaders; ++slot) {
            const std::string name = m_reader.ReaderName(slot);
            outcome.readers.push_back(name == shownReader ? console::ReaderWithFeatures(name, m_featureCount) : name);
        }
    }
    outcome.steps = {ConnectionStep::Connected};
    m_preferredProtocols = activeProtocol;
    outcome.shownProtocols = activeProtocol;
    outcome.status = Status();
    // The manufacturer name, or the reader's own name where the reader does
    // not answer the maker's code, decides; the status line is left empty.
    ReadVendorAttribute(features::kManufacturerNameTag, features::AttributeForm::Text);
    m_makerReader = console::IsMakerText(m_statusText);
    m_statusText.clear();
    outcome.makerReader = m_makerReader;
    return outcome;
}

ConnectionOutcome ConsoleSession::Reset(DWORD initialization) {
    ConnectionOutcome outcome;
    DWORD activeProtocol = 0;
    m_lastResult = m_reader.Reconnect(m_shareMode, m_preferredProtocols, initialization, &activeProtocol);
    outcome.result = m_lastResult;
    if (m_lastResult != SCARD_S_SUCCESS) {
        // Back to where a new connect is possible: the old handle is let go,
        // or the resource manager would refuse that connect.
        m_reader.Disconnect(SCARD_LEAVE_CARD);
        outcome.steps = {ConnectionStep::CardGone, ConnectionStep::ResetFailed};
        return outcome;
    }
    outcome.succeeded = true;
    outcome.steps = {ConnectionStep::ResetDone};
    outcome.shownProtocols = activeProtocol;  // the preferred protocols stay as chosen
    outcome.status = Status();
    return outcome;
}

StatusOutcome ConsoleSession::Status() {
    StatusOutcome outcome;
    if (!ReadStatus()) {
        // The card went away (or was reset by someone else): back to where a
        // new connect is possible; "SCardDisconnect" keeps its state. The
        // handle stays until then, so an attribute read reports the removal.
        m_reader.MarkCardGone();
        outcome.steps = {ConnectionStep::CardGone, ConnectionStep::StatusFailed};
        return outcome;
    }
    outcome.read = true;
    if (m_shareMode == SCARD_SHARE_DIRECT) return outcome;
    outcome.showsTree = true;
    LogStatus();
    return outcome;
}

ConnectionOutcome ConsoleSession::Disconnect(bool reList) {
    m_reader.Disconnect(SCARD_LEAVE_CARD);  // its result is not reported
    ConnectionOutcome outcome;
    if (reList) {
        m_followDeviceChanges = true;
        m_selectedReader = 0;
        outcome = RefreshReaders();
    }
    outcome.result = m_lastResult;
    outcome.succeeded = true;
    m_preferredProtocols = kBothProtocols;
    outcome.shownProtocols = kBothProtocols;
    // Ends with all three share boxes enabled, whatever showing the options disabled.
    outcome.stepsAfter = {ConnectionStep::Disconnected};
    ClearTexts();
    ReleaseFeatures();
    return outcome;
}

ConnectionOutcome ConsoleSession::Release() {
    ConnectionOutcome outcome;
    m_lastResult = m_reader.ReleaseContext();
    outcome.result = m_lastResult;
    outcome.succeeded = true;
    outcome.steps = {ConnectionStep::Released};
    // The card connection ends with the context: the next context follows
    // reader arrivals again, as after a disconnect.
    m_followDeviceChanges = true;
    m_preferredProtocols = kBothProtocols;
    ClearTexts();
    CloseLog();
    return outcome;
}

std::optional<ConnectionOutcome> ConsoleSession::ChooseReader(int slot, bool connectable) {
    std::optional<ConnectionOutcome> released;
    if (!connectable) {
        ReleaseFeatures();
        released = Release();
        m_preferredProtocols = kBothProtocols;
        m_shareMode = SCARD_SHARE_EXCLUSIVE;
    }
    m_selectedReader = slot;
    return released;
}
