// Control codes, the reader's part 10 features and the reader attributes:
// the handlers of the control list, of "SCardControl" and of the attribute
// menu. The tables and rules they follow are in features/.

#include <QComboBox>

#include <algorithm>
#include <array>
#include <vector>

#include "carddata/HexCodec.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/QtText.h"
#include "console/VendorAttribute.h"
#include "readerlink/ResultText.h"
#include "widgets/DropDownButton.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace features;

namespace {

constexpr char kFailedAnswer[] = "xx xx xx xx xx";
constexpr std::size_t kAttributeBufferSize = 512;

std::string ResultTextOf(PcscResult result) {
    std::string text;
    GetResultText(static_cast<std::uint32_t>(result), text);
    return text;
}

// The control list is sorted: a text goes before the first entry that
// sorts after it.
void InsertSorted(QComboBox* list, const std::string& text) {
    const std::string shown = ListText(text);
    int index = 0;
    while (index < list->count() && !ListTextBefore(shown, FromQString(list->itemText(index)))) ++index;
    list->insertItem(index, ToQString(shown));
}

}  // namespace

void CConsoleDlg::ReleaseFeatureList() { m_features.Release(); }

void CConsoleDlg::FillControlList() {
    auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const QSignalBlocker quiet(list);
    list->clear();
    for (const FixedControl& fixed : FixedControls()) InsertSorted(list, std::string(fixed.text));
    // Shown only: m_controlCode changes with a user's choice alone.
    list->setCurrentIndex(0);
}

bool CConsoleDlg::DiscoverFeatures() {
    m_lastResult = m_features.Read(m_reader);
    if (m_lastResult != SCARD_S_SUCCESS) return false;
    m_featureCount = m_features.Count();
    auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const QSignalBlocker quiet(list);
    for (const FeatureEntry& entry : m_features.m_featureList) InsertSorted(list, FeatureName(entry.tag));
    return true;
}

void CConsoleDlg::TakeShownControl() {
    // What the list shows is what "SCardControl" sends: a code chosen for
    // the previous reader (a feature code of its own, say) must not reach
    // this one.
    const auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const Selection shown = SelectControl(FromQString(list->currentText()), m_features);
    if (shown.setsCode) m_controlCode = shown.code;
}

void CConsoleDlg::ClearExchangeFields() {
    m_commandField->ClearText();
    OnCommandChanged();
    m_responseText.clear();
    RefreshWindow();
}

void CConsoleDlg::OnControlSelected(int index) {
    CloseFeatureWindows();
    const auto* list = qobject_cast<QComboBox*>(Control(IDC_CONTROL_CODES));
    const Selection selection = SelectControl(FromQString(list->itemText(index)), m_features);
    if (selection.setsCode) m_controlCode = selection.code;
    // Some controls are sent with no input at all: no need to type first.
    if (CardConnectionOpen()) SetEnabled({IDC_CONTROL}, true);
    if (selection.window == FeatureWindow::None) {
        if (selection.clearFields) ClearExchangeFields();
        return;
    }
    // One selection's windows at a time.
    if (m_featureWindowOpen) return;
    if (selection.clearFields) ClearExchangeFields();
    OpenFeatureWindow(selection.window, m_controlCode);
    if (selection.withKeyHistory && m_features.m_keyPollingSupported) {
        OpenKeyHistoryWindow(m_features.CodeOf(kGetKeyPressed));
    }
    m_featureWindowOpen = true;
}

void CConsoleDlg::OnControlButton() {
    if (PinExchangeBusy()) return;  // one exchange at a time on the link
    switch (DispatchControl(m_controlCode, m_features)) {
    case ControlPath::VendorVerifyPin:
        VerifyPinVendor();
        break;
    case ControlPath::VendorModifyPin:
        ModifyPinVendor();
        break;
    case ControlPath::PcscVerifyPin:
        VerifyPinPcscV2(m_controlCode);
        break;
    case ControlPath::PcscModifyPin:
        ModifyPinPcscV2(m_controlCode);
        break;
    case ControlPath::Generic:
        SendControlCommand();
        break;
    }
}

void CConsoleDlg::SendControlCommand() {
    SetEnabled({IDC_RESPONSE_FORMAT}, true);
    m_commandText = m_commandField->GetText();
    std::vector<std::uint8_t> input;
    if (!ControlInput(m_commandText, input)) {
        // More than the input buffer holds: nothing goes to the reader.
        m_statusText = std::string(kCommandTooLong);
        m_lastResult = static_cast<PcscResult>(KEEP_STATUS_TEXT);
        m_responseText.clear();  // no answer: the previous one is not this command's
        RefreshWindow();
        return;
    }
    std::array<std::uint8_t, kControlAnswerSize> answer{};
    DWORD returned = 0;
    m_lastResult = m_reader.Control(m_controlCode, input.empty() ? nullptr : input.data(),
                                    static_cast<DWORD>(input.size()), answer.data(),
                                    static_cast<DWORD>(answer.size()), &returned);
    const unsigned count = static_cast<unsigned>(std::min<std::size_t>(returned, answer.size()));
    const bool ok = m_lastResult == SCARD_S_SUCCESS;
    m_responseText = ok ? CHexCodec().BytesToHex(count, answer.data()) : std::string(kFailedAnswer);
    if (m_logEnabled) {
        ShowLogFailure(m_logFile.WriteRecord("SCardControl", m_commandText,
                                             ok ? m_responseText : ResultTextOf(m_lastResult)));
    }
    StoreResponse(answer.data(), count);
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
    std::array<std::uint8_t, kAttributeBufferSize> answer{};
    DWORD length = static_cast<DWORD>(std::min(answer.size(), StandardAnswerSize()));
    m_lastResult = m_reader.GetAttrib(attrId, answer.data(), &length);
    if (m_lastResult == SCARD_S_SUCCESS) {
        const std::string value = FormatAttribute(form, answer.data(), answer.size(), length);
        if (m_logEnabled) ShowLogFailure(m_logFile.WriteRecord("SCardGetAttrib", m_commandText, value));
        m_statusText = value;
        m_responseText.clear();  // the value is in the status line; an earlier failure's mark goes
        m_lastResult = static_cast<PcscResult>(KEEP_STATUS_TEXT);
    } else {
        m_responseText = kFailedAnswer;
        if (m_logEnabled) {
            ShowLogFailure(m_logFile.WriteRecord("SCardGetAttrib", m_commandText, ResultTextOf(m_lastResult)));
        }
    }
    RefreshWindow();
}

void CConsoleDlg::ReadVendorAttribute(unsigned tag, AttributeForm form) {
    std::array<std::uint8_t, kVendorAnswerSize> answer{};
    DWORD returned = 0;
    const std::array<std::uint8_t, 4> request = VendorAttributeRequest(tag);
    m_lastResult = m_reader.Control(VendorGetAttributeCode(), request.data(), static_cast<DWORD>(request.size()),
                                    answer.data(), static_cast<DWORD>(answer.size()), &returned);
    if (m_lastResult != SCARD_S_SUCCESS) {
        // Other makers' readers do not know the code: their PC/SC name
        // stands in for the value, and the read counts as done.
        const char* name = m_reader.ReaderName(m_selectedReader);
        std::copy_n(name, std::min<std::size_t>(answer.size(), kReaderNameSize), answer.begin());
        m_lastResult = SCARD_S_SUCCESS;
    }
    const std::size_t count = std::min<std::size_t>(returned, answer.size());
    const std::string value = FormatAttribute(form, answer.data(), answer.size(), count);
    if (m_logEnabled) ShowLogFailure(m_logFile.WriteRecord("SCardControl", m_commandText, value));
    m_statusText = value;
    m_lastResult = static_cast<PcscResult>(KEEP_STATUS_TEXT);
    StoreResponse(answer.data(), static_cast<unsigned>(count));
    RefreshWindow();
}

void CConsoleDlg::OnAttributeMenuAboutToOpen() {
    // The vendor entries are read through the maker's control code, which
    // only the maker's readers answer.
    m_attributesButton->SetMakerReader(m_makerReader);
}

void CConsoleDlg::OnAttributeCommand(int command) {
    if (const auto standard = FindStandardAttribute(command)) {
        ReadStandardAttribute(standard->id, standard->form);
    } else if (const auto vendor = FindVendorAttribute(command)) {
        ReadVendorAttribute(vendor->tag, vendor->form);
    }
}
