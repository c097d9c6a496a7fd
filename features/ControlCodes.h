// SPDX-License-Identifier: BSD-3-Clause
// The reader-control tables of the console: the fixed control-code list, the
// part 10 feature names, the feature-list parser, what a choice in the
// control list does, and which path "SCardControl" takes. Plain data and
// rules; the console's handlers act on them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "readerlink/ReaderLink.h"

namespace features {

// The platform's SCARD_CTL_CODE(n): every fixed code is defined by its n.
std::uint32_t ControlCode(unsigned n);

// One fixed entry of the control list; hasCode false for "Select an IOCTL".
struct FixedControl {
    std::string_view text;
    bool hasCode;
    unsigned n;
};
// The nine fixed entries, in the order they are added.
std::span<const FixedControl> FixedControls();

inline constexpr unsigned kVendorIfdExchangeN = 2048;
inline constexpr unsigned kVendorGetAttributeN = 2049;
inline constexpr unsigned kVendorVerifyPinN = 2058;
inline constexpr unsigned kVendorModifyPinN = 2061;
inline constexpr unsigned kGetFeatureRequestN = 3400;  // CM_IOCTL_GET_FEATURE_REQUEST

// The answer buffer offered to the feature request and to a generic control.
inline constexpr std::size_t kControlAnswerSize = 255;
// Every tag (1 to 255) listed once: the longest sound feature list, and
// what a count byte can say.
inline constexpr std::size_t kFeatureListMaxSize = 255 * 6;
// The input buffer of a generic control.
inline constexpr std::size_t kControlInputSize = 256;

// Feature tags the console acts on.
enum FeatureTag : std::uint8_t {
    kVerifyPinStart = 0x01,
    kVerifyPinFinish = 0x02,
    kModifyPinStart = 0x03,
    kModifyPinFinish = 0x04,
    kGetKeyPressed = 0x05,
    kVerifyPinDirect = 0x06,
    kModifyPinDirect = 0x07,
    kIfdPinProperties = 0x0A,
    kSetSpeMessage = 0x0C,
    kWriteDisplay = 0x0F,
    kGetKey = 0x10,
    kIfdDisplayProperties = 0x11,
};
inline constexpr std::uint8_t kLastTableTag = 0x11;

// The name a tag shows in the control list: the part 10 name, or
// "FEATURE_0xNN" for a tag without one.
std::string FeatureName(std::uint8_t tag);

struct FeatureEntry {
    std::uint8_t tag = 0;
    std::uint8_t length = 0;  // as received, never tested
    std::uint32_t code = 0;   // host order
};

// The features a reader reported at the last connect.
struct FeatureTable {
    std::vector<FeatureEntry> m_featureList;
    bool m_listPresent = false;  // a discovery obtained its list since the last release
    std::array<std::uint32_t, kLastTableTag + 1> m_featureCodes{};  // by tag; slot 0 unused
    bool m_keyPollingSupported = false;
    std::array<std::uint32_t, 256> m_otherCodes{};  // tags without a slot, for the generic exchange

    // Rebuilds everything from the feature request's answer: whole 6-byte
    // records only (tag, length, code big-endian), at most
    // kFeatureListMaxSize bytes read.
    void Parse(const std::uint8_t* answer, std::size_t length);
    // Asks the reader for its list and parses it (nothing on failure). A
    // list longer than the usual answer buffer is asked for again with
    // room for every tag.
    PcscResult Read(CReaderLink& link);
    // Frees the list; the codes and the polling flag stay.
    void Release();
    // The code reported for a tag (the last record wins); 0 when none.
    std::uint32_t CodeOf(std::uint8_t tag) const;
    std::uint8_t Count() const { return static_cast<std::uint8_t>(m_featureList.size()); }
};

// What a choice in the control list does.
enum class FeatureWindow {
    None,
    VerifyPin,          // "Verify Pin Value"
    ModifyPin,          // "Modify Pin Value"
    GetKeyPressed,      // "GetKey"
    PinProperties,      // "Pin Properties"
    SpeMessage,         // "Spe Set Message"
    WriteDisplay,       // the message window
    GetKey,             // "GET KEY"
    DisplayProperties,  // "Display Properties"
};

struct Selection {
    bool setsCode = false;
    std::uint32_t code = 0;
    bool clearFields = false;   // empty the command and response fields
    FeatureWindow window = FeatureWindow::None;
    bool withKeyHistory = false;  // also the "Get Key Pressed" window, when polling is supported
};

// The row of the selection table for a list text (compared without regard
// to case). Window rows clear the fields only when they open a window, so the
// caller applies clearFields together with the window.
Selection SelectControl(std::string_view text, const FeatureTable& table);

// The path "SCardControl" takes for a control code.
enum class ControlPath { VendorVerifyPin, VendorModifyPin, PcscVerifyPin, PcscModifyPin, Generic };
ControlPath DispatchControl(std::uint32_t code, const FeatureTable& table);

// The list's form of a text: capital letters, except the x of a "0x" prefix.
std::string ListText(std::string_view text);
// Case-blind equality and order of list texts.
bool SameListText(std::string_view a, std::string_view b);
bool ListTextBefore(std::string_view a, std::string_view b);

// The generic exchange's input: the command text converted into at most
// kControlInputSize bytes. False (nothing to send) when the text holds more.
bool ControlInput(std::string_view commandText, std::vector<std::uint8_t>& bytes);
// Status-line text of a refused command.
inline constexpr std::string_view kCommandTooLong = "Command longer than 256 bytes: not sent";

}  // namespace features
