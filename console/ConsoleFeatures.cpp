// SPDX-License-Identifier: BSD-3-Clause
// Control codes, the reader's part 10 features and the reader attributes:
// the handlers of the control list, of "SCardControl" and of the attribute
// menu. The tables and rules they follow are in features/.

#include <QComboBox>

#include <algorithm>
#include <array>
#include <vector>

#include "carddata/HexCodec.h"
#include "console/ConsoleDlg.h"
#include "console/PinExchange.h"
#include "console/ConsoleTexts.h"
#include "widgets/QtText.h"
#include "features/VendorAttribute.h"
#include "readerlink/ResultText.h"
#include "widgets/DropDownButton.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace features;

namespace {

// The control list is sorted: a text goes before the first entry that
// sorts after it.
void InsertSorted(QComboBox* list, const std::string& text) {
    const std::string shown = ListText(text);
    int index = 0;
    while (index < list->count() && !ListTextBefore(shown, FromQString(list->itemText(index)))) ++index;
    list->insertItem(index, ToQString(shown));
}

}  // namespace

void CConsoleDlg::ReleaseFeatureList() { m_session.Features().Release(); }

void CConsoleDlg::FillControlList() {
    auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const QSignalBlocker quiet(list);
    list->clear();
    for (const FixedControl& fixed : FixedControls()) InsertSorted(list, std::string(fixed.text));
    list->setCurrentIndex(0);
    // The reader's features, none when their discovery failed.
    for (const FeatureEntry& entry : m_session.Features().m_featureList) InsertSorted(list, FeatureName(entry.tag));
    // What the list shows is what "SCardControl" sends: a code chosen for
    // the previous reader (a feature code of its own, say) must not reach
    // this one.
    const Selection shown = SelectControl(FromQString(list->currentText()), m_session.Features());
    if (shown.setsCode) m_session.SetControlCode(shown.code);
}

void CConsoleDlg::ClearExchangeFields() {
    m_commandField->ClearText();
    OnCommandChanged();
    m_session.SetResponseText({});
    RefreshWindow();
}

void CConsoleDlg::OnControlSelected(int index) {
    CloseFeatureWindows();
    const auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const Selection selection = SelectControl(FromQString(list->itemText(index)), m_session.Features());
    if (selection.setsCode) m_session.SetControlCode(selection.code);
    // Some controls are sent with no input at all: no need to type first.
    if (CardConnectionOpen()) SetEnabled({IDC_CONTROL}, true);
    if (selection.window == FeatureWindow::None) {
        if (selection.clearFields) ClearExchangeFields();
        return;
    }
    // One selection's windows at a time.
    if (m_featureWindowOpen) return;
    if (selection.clearFields) ClearExchangeFields();
    OpenFeatureWindow(selection.window, m_session.ControlCode());
    if (selection.withKeyHistory && m_session.Features().m_keyPollingSupported) {
        OpenKeyHistoryWindow(m_session.Features().CodeOf(kGetKeyPressed));
    }
    m_featureWindowOpen = true;
}

void CConsoleDlg::OnControlButton() {
    if (PinExchangeBusy()) return;  // one exchange at a time on the link
    switch (DispatchControl(m_session.ControlCode(), m_session.Features())) {
    case ControlPath::VendorVerifyPin:
        PinExchange().VerifyPinVendor();
        break;
    case ControlPath::VendorModifyPin:
        PinExchange().ModifyPinVendor();
        break;
    case ControlPath::PcscVerifyPin:
        PinExchange().VerifyPinPcscV2(m_session.ControlCode());
        break;
    case ControlPath::PcscModifyPin:
        PinExchange().ModifyPinPcscV2(m_session.ControlCode());
        break;
    case ControlPath::Generic:
        SendControlCommand();
        break;
    }
}

void CConsoleDlg::SendControlCommand() {
    SetEnabled({IDC_RESPONSE_FORMAT}, true);
    m_session.SendControl(m_commandField->GetText());
    RefreshWindow();
}

void CConsoleDlg::CloseFeatureWindow(QPointer<QWidget>& window) {
    if (window) window->close();
    window = nullptr;
    m_featureWindowOpen = false;
}

void CConsoleDlg::CloseFeatureWindows() {
    // Every window there is, not only those the flag vouches for: a window
    // closed by the user clears the flag while its companion (the key
    // history of a PIN start) stays, and one selection's windows must not
    // outlive it.
    CloseAllFeatureWindows();
}

void CConsoleDlg::ReadStandardAttribute(std::uint32_t attrId, AttributeForm form) {
    m_session.ReadStandardAttribute(attrId, form);
    RefreshWindow();
}

void CConsoleDlg::ReadVendorAttribute(unsigned tag, AttributeForm form) {
    m_session.ReadVendorAttribute(tag, form);
    RefreshWindow();
}

void CConsoleDlg::OnAttributeMenuAboutToOpen() {
    // The vendor entries are read through the maker's control code, which
    // only the maker's readers answer.
    m_attributesButton->SetMakerReader(m_session.MakerReader());
}

void CConsoleDlg::OnAttributeCommand(int command) {
    if (const auto standard = FindStandardAttribute(command)) {
        ReadStandardAttribute(standard->id, standard->form);
    } else if (const auto vendor = FindVendorAttribute(command)) {
        ReadVendorAttribute(vendor->tag, vendor->form);
    }
}
