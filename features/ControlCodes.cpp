// SPDX-License-Identifier: BSD-3-Clause
#include "features/ControlCodes.h"

#include <PCSC/reader.h>

#include <algorithm>
#include <cstdio>

#include "carddata/HexCodec.h"
#include "readerlink/Cp1252.h"

namespace features {

namespace {

constexpr std::array<FixedControl, 9> kFixedControls{{
    {"Select an IOCTL", false, 0},
    {"IOCTL_SMARTCARD_VENDOR_IFD_EXCHANGE", true, 2048},
    {"IOCTL_SMARTCARD_VENDOR_SAM_EXCHANGE", true, 2051},
    {"IOCTL_SMARTCARD_VENDOR_GET_ATTRIBUTE", true, 2049},
    {"IOCTL_SMARTCARD_VENDOR_SET_ATTRIBUTE", true, 2050},
    {"IOCTL_SMARTCARD_VENDOR_SWITCH_SPEED", true, 2052},
    {"IOCTL_SMARTCARD_VENDOR_VERIFY_PIN", true, kVendorVerifyPinN},
    {"IOCTL_SMARTCARD_VENDOR_DISPLAY", true, 3028},
    {"IOCTL_SMARTCARD_VENDOR_MODIFY_PIN", true, kVendorModifyPinN},
}};

struct NamedTag {
    std::uint8_t tag;
    std::string_view name;
};

// Tags 0x12 and up are what the CCID driver of Linux readers reports beside
// the original seventeen.
constexpr std::array<NamedTag, 20> kFeatureNames{{
    {0x01, "FEATURE_VERIFY_PIN_START"},
    {0x02, "FEATURE_VERIFY_PIN_FINISH"},
    {0x03, "FEATURE_MODIFY_PIN_START"},
    {0x04, "FEATURE_MODIFY_PIN_FINISH"},
    {0x05, "FEATURE_GET_KEY_PRESSED"},
    {0x06, "FEATURE_VERIFY_PIN_DIRECT"},
    {0x07, "FEATURE_MODIFY_PIN_DIRECT"},
    {0x08, "FEATURE_MCT_READERDIRECT"},
    {0x09, "FEATURE_MCT_UNIVERSAL"},
    {0x0A, "FEATURE_IFD_PIN_PROP"},
    {0x0B, "FEATURE_ABORT"},
    {0x0C, "FEATURE_SET_SPE_MESSAGE"},
    {0x0D, "FEATURE_VERIFY_PIN_DIRECT_APP_ID"},
    {0x0E, "FEATURE_MODIFY_PIN_DIRECT_APP_ID"},
    {0x0F, "FEATURE_WRITE_DISPLAY"},
    {0x10, "FEATURE_GET_KEY"},
    {0x11, "FEATURE_IFD_DISPLAY_PROPERTIES"},
    {0x12, "FEATURE_GET_TLV_PROPERTIES"},
    {0x13, "FEATURE_CCID_ESC_COMMAND"},
    {0x20, "FEATURE_EXECUTE_PACE"},
}};

// The selection table's rows for the feature tags that act.
struct FeatureRow {
    std::uint8_t tag;
    FeatureWindow window;
    bool clearFields;
    bool withKeyHistory;
};
constexpr std::array<FeatureRow, 12> kFeatureRows{{
    {kVerifyPinStart, FeatureWindow::VerifyPin, true, true},
    {kVerifyPinFinish, FeatureWindow::None, true, false},
    {kModifyPinStart, FeatureWindow::ModifyPin, true, true},
    {kModifyPinFinish, FeatureWindow::None, true, false},
    {kGetKeyPressed, FeatureWindow::GetKeyPressed, true, false},
    {kVerifyPinDirect, FeatureWindow::VerifyPin, true, false},
    {kModifyPinDirect, FeatureWindow::ModifyPin, true, false},
    {kIfdPinProperties, FeatureWindow::PinProperties, true, false},
    {kSetSpeMessage, FeatureWindow::SpeMessage, true, false},
    {kWriteDisplay, FeatureWindow::WriteDisplay, true, false},
    {kGetKey, FeatureWindow::GetKey, true, false},
    {kIfdDisplayProperties, FeatureWindow::DisplayProperties, true, false},
}};

}  // namespace

std::uint32_t ControlCode(unsigned n) { return static_cast<std::uint32_t>(SCARD_CTL_CODE(n)); }

std::span<const FixedControl> FixedControls() { return kFixedControls; }

std::string FeatureName(std::uint8_t tag) {
    for (const NamedTag& named : kFeatureNames) {
        if (named.tag == tag) return std::string(named.name);
    }
    char text[16];
    std::snprintf(text, sizeof text, "FEATURE_0x%02X", tag);
    return text;
}

void FeatureTable::Parse(const std::uint8_t* answer, std::size_t length) {
    if (answer == nullptr) length = 0;
    length = std::min(length, kFeatureListMaxSize);
    m_featureList.clear();
    m_featureCodes.fill(0);
    m_otherCodes.fill(0);
    m_keyPollingSupported = false;
    for (std::size_t offset = 0; offset + 6 <= length; offset += 6) {
        FeatureEntry entry;
        entry.tag = answer[offset];
        entry.length = answer[offset + 1];
        entry.code = static_cast<std::uint32_t>(answer[offset + 2]) << 24 |
                     static_cast<std::uint32_t>(answer[offset + 3]) << 16 |
                     static_cast<std::uint32_t>(answer[offset + 4]) << 8 | answer[offset + 5];
        m_featureList.push_back(entry);
        if (entry.tag >= 0x01 && entry.tag <= kLastTableTag) {
            m_featureCodes[entry.tag] = entry.code;
        } else {
            m_otherCodes[entry.tag] = entry.code;
        }
        if (entry.tag == kGetKeyPressed) m_keyPollingSupported = true;
    }
    m_listPresent = true;
}

PcscResult FeatureTable::Read(CReaderLink& link) {
    std::vector<std::uint8_t> answer(kControlAnswerSize);
    DWORD returned = 0;
    PcscResult result = link.Control(ControlCode(kGetFeatureRequestN), nullptr, 0, answer.data(),
                                     static_cast<DWORD>(answer.size()), &returned);
    if (static_cast<std::uint32_t>(result) == static_cast<std::uint32_t>(SCARD_E_INSUFFICIENT_BUFFER)) {
        answer.assign(kFeatureListMaxSize, 0);
        returned = 0;
        result = link.Control(ControlCode(kGetFeatureRequestN), nullptr, 0, answer.data(),
                              static_cast<DWORD>(answer.size()), &returned);
    }
    if (result != SCARD_S_SUCCESS) return result;
    Parse(answer.data(), std::min<std::size_t>(returned, answer.size()));
    return result;
}

void FeatureTable::Release() {
    m_featureList.clear();
    m_featureList.shrink_to_fit();
    m_listPresent = false;
}

std::uint32_t FeatureTable::CodeOf(std::uint8_t tag) const {
    if (tag >= 0x01 && tag <= kLastTableTag) return m_featureCodes[tag];
    return m_otherCodes[tag];
}

std::string ListText(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool hexPrefix = i > 0 && out[i - 1] == '0' && (out[i] == 'x' || out[i] == 'X');
        out[i] = hexPrefix ? 'x' : FoldCase(out[i]);
    }
    return out;
}

bool SameListText(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

bool ListTextBefore(std::string_view a, std::string_view b) { return CompareNoCase(a, b) < 0; }

Selection SelectControl(std::string_view text, const FeatureTable& table) {
    Selection selection;
    for (const FixedControl& fixed : kFixedControls) {
        if (!SameListText(text, fixed.text)) continue;
        if (!fixed.hasCode) return selection;
        selection.setsCode = true;
        selection.code = ControlCode(fixed.n);
        if (fixed.n == kVendorVerifyPinN) selection.window = FeatureWindow::VerifyPin;
        if (fixed.n == kVendorModifyPinN) selection.window = FeatureWindow::ModifyPin;
        return selection;
    }
    for (unsigned tag = 0; tag <= 0xFF; ++tag) {
        if (!SameListText(text, FeatureName(static_cast<std::uint8_t>(tag)))) continue;
        selection.setsCode = true;
        selection.code = table.CodeOf(static_cast<std::uint8_t>(tag));
        for (const FeatureRow& row : kFeatureRows) {
            if (row.tag != tag) continue;
            selection.window = row.window;
            selection.clearFields = row.clearFields;
            selection.withKeyHistory = row.withKeyHistory;
        }
        return selection;
    }
    return selection;
}

ControlPath DispatchControl(std::uint32_t code, const FeatureTable& table) {
    // A tag the reader did not report has no code, and 0 must not match it.
    auto is = [&](std::uint8_t tag) { return table.CodeOf(tag) != 0 && table.CodeOf(tag) == code; };
    if (code == ControlCode(kVendorVerifyPinN)) return ControlPath::VendorVerifyPin;
    if (code == ControlCode(kVendorModifyPinN)) return ControlPath::VendorModifyPin;
    if (is(kVerifyPinDirect) || is(kVerifyPinStart)) return ControlPath::PcscVerifyPin;
    if (is(kModifyPinDirect) || is(kModifyPinStart)) return ControlPath::PcscModifyPin;
    return ControlPath::Generic;
}

bool ControlInput(std::string_view commandText, std::vector<std::uint8_t>& bytes) {
    // Every byte takes at least one digit and one separator, so this holds
    // whatever the text converts to; the count then tells a long command.
    std::vector<std::uint8_t> all(commandText.size() / 2 + 1);
    unsigned count = 0;
    CHexCodec().HexToBytes(commandText, all.data(), all.size(), count);  // its verdict is not consulted
    bytes.clear();
    if (count > kControlInputSize) return false;
    bytes.assign(all.begin(), all.begin() + count);
    return true;
}

}  // namespace features
