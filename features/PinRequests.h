// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN requests a PIN-pad reader takes: the parameter fields as the
// user typed them (hexadecimal text, used exactly as typed), the four request
// layouts built from them, and the whole request converted once into a
// bounded buffer. Plain C++, no window code.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// Field texts of the "Verify Pin Value" window, with their defaults.
struct VerifyPinFields {
    std::string timeOut = "00";
    std::string formatString = "82";
    std::string pinBlockString = "04";
    std::string pinLengthFormat = "00";
    std::string pinMaxExtraDigit = "0404";
    std::string entryValidationCondition = "02";
    std::string numberMessage = "00";
    std::string langId = "0409";
    std::string msgIndex = "00";
};

// Field texts of the "Modify Pin Value" window, with their defaults.
struct ModifyPinFields {
    std::string timeOut = "00";
    std::string formatString = "82";
    std::string pinBlockString = "04";
    std::string pinLengthFormat = "00";
    std::string insertionOffsetOld = "00";
    std::string insertionOffsetNew = "08";
    std::string pinMaxExtraDigit = "0408";  // minimum 4, maximum 8 digits
    std::string confirmPin = "03";
    std::string entryValidationCondition = "02";
    std::string numberMessage = "03";
    std::string langId = "0409";
    std::string msgIndex = "00";
    std::string msgIndex2 = "00";
    std::string msgIndex3 = "00";
};

// What a parameter window's structure text reads before it is first built.
inline constexpr std::string_view kUnbuiltStructureText = "xxxxxxxxxxxxxxxxx";

// The 2-byte fields (wPINMaxExtraDigit, wLangId) are typed as 16-bit values
// (0409 is US English; 0xXXYY with XX the minimum and YY the maximum PIN
// size) and go out least significant byte first, as the structures hold
// them. A text of 1 to 4 hexadecimal digits is such a value; any other text
// is sent as typed.
std::string Word16WireText(std::string_view typed);
// The two bytes of a 16-bit field as the structure holds them: [0] the low
// byte (wPINMaxExtraDigit's maximum), [1] the high byte (its minimum).
std::array<std::uint8_t, 2> Word16WireBytes(std::string_view typed);

// The structure texts: the concatenation of the field texts (and the fixed
// values) of one layout, up to but without the length field and the APDU.
std::string BuildPcscVerifyText(const VerifyPinFields& f);
std::string BuildVendorVerifyText(const VerifyPinFields& f);
std::string BuildPcscModifyText(const ModifyPinFields& f);
std::string BuildVendorModifyText(const ModifyPinFields& f);

// The command text without its blanks: what goes after the structure.
std::string WithoutBlanks(std::string_view commandText);

// ulDataLength as text: the count's four bytes least significant first,
// as eight hexadecimal digits (13 gives "0D000000").
std::string DataLengthText(std::uint32_t count);

// The bytes one request may hold, header and APDU together.
inline constexpr std::size_t kPinRequestCapacity = 256;

struct PinRequestBytes {
    std::array<std::uint8_t, kPinRequestCapacity> bytes{};
    unsigned count = 0;
    bool tooLong = false;  // the text converts to more than the buffer holds: send nothing
};

// The whole request text converted at once (an odd number of digits gets a
// leading zero, which shifts the pairing of every digit after it).
PinRequestBytes ConvertPinRequest(std::string_view requestText);

// The number of bytes the command field's text converts to (blanks removed).
unsigned ApduByteCount(std::string_view commandText);

// The request texts, from a structure text and the command field's text.
// Layouts: verify 19 + n, vendor verify 11 + n, modify 24 + n, vendor
// modify 14 + n bytes (n the APDU's length).
// The part 10 layouts carry the APDU's length before it; the vendor ones do not.
std::string PcscRequestText(const std::string& structureText, std::string_view commandText);
std::string VendorRequestText(const std::string& structureText, std::string_view commandText);

// The status-line text shown when a request does not fit its buffer.
std::string PinRequestTooLongText(std::size_t byteCount);

// The parameter windows' rows: label and the field it edits, in window order.
template <class Fields>
struct PinFieldRow {
    std::string_view label;
    std::string Fields::*member;
};

inline constexpr PinFieldRow<VerifyPinFields> kVerifyPinRows[] = {
    {"bTimeOut:", &VerifyPinFields::timeOut},
    {"bmFormatString:", &VerifyPinFields::formatString},
    {"bmPINBlockString:", &VerifyPinFields::pinBlockString},
    {"bmPINLengthFormat:", &VerifyPinFields::pinLengthFormat},
    {"wPINMaxExtraDigit(2 bytes):", &VerifyPinFields::pinMaxExtraDigit},
    {"bEntryValidationCondition:", &VerifyPinFields::entryValidationCondition},
    {"bNumberMessage:", &VerifyPinFields::numberMessage},
    {"wLangId:", &VerifyPinFields::langId},
    {"bMsgIndex:", &VerifyPinFields::msgIndex},
};

inline constexpr PinFieldRow<ModifyPinFields> kModifyPinRows[] = {
    {"bTimeOut:", &ModifyPinFields::timeOut},
    {"bmFormatString:", &ModifyPinFields::formatString},
    {"bmPINBlockString:", &ModifyPinFields::pinBlockString},
    {"bmPINLengthFormat:", &ModifyPinFields::pinLengthFormat},
    {"bInsertionOffsetOld", &ModifyPinFields::insertionOffsetOld},
    {"bInsertionOffsetNew", &ModifyPinFields::insertionOffsetNew},
    {"wPINMaxExtraDigit(2 bytes):", &ModifyPinFields::pinMaxExtraDigit},
    {"bConfirmPin", &ModifyPinFields::confirmPin},
    {"bEntryValidationCondition:", &ModifyPinFields::entryValidationCondition},
    {"bNumberMessage:", &ModifyPinFields::numberMessage},
    {"wLangId:", &ModifyPinFields::langId},
    {"bMsgIndex:", &ModifyPinFields::msgIndex},
    {"bMsgIndex2", &ModifyPinFields::msgIndex2},
    {"bMsgIndex3", &ModifyPinFields::msgIndex3},
};

// Window texts.
inline constexpr std::string_view kVerifyPinTitle = "Verify Pin Value";
inline constexpr std::string_view kVerifyPinGroup = "Verify PIN (hex)";
inline constexpr std::string_view kModifyPinTitle = "Modify Pin Value";
inline constexpr std::string_view kModifyPinGroup = "Modify PIN (hex)";
inline constexpr std::string_view kPinPromptTitle = "PIN Code";
inline constexpr std::string_view kPinPromptText = "Please Enter Your PinCode.";

// The parameter windows keep this far from the screen's right and bottom edges.
inline constexpr int kPinWindowRightMargin = 100;
inline constexpr int kPinWindowBottomMargin = 150;

// The status line while the reader holds a PIN exchange, and when the
// console was asked to close meanwhile.
inline constexpr std::string_view kPinExchangeRunningText = "Waiting for the reader: PIN entry on its keypad...";
inline constexpr std::string_view kCloseAfterPinText =
    "The console closes when the reader ends the PIN entry (at the latest at the keypad's time-out).";

// Operation names of the exchange log.
inline constexpr std::string_view kLogVerifyPinPcsc = "SCardVerifyPinControlPCSCV2";
inline constexpr std::string_view kLogModifyPinPcsc = "SCardModifyPinControlPCSCV2";
inline constexpr std::string_view kLogVerifyPinVendor = "SCardVerifyPinControl";
inline constexpr std::string_view kLogModifyPinVendor = "SCardModifyPinControl";

// Answer sizes: the part 10 path takes any answer, the maker's path a status word.
inline constexpr std::size_t kPcscPinAnswerSize = 512;
inline constexpr std::size_t kVendorPinAnswerSize = 4;
