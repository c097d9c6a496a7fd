// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN request layouts, checked byte for byte against the documents'
// examples and field by field against pcsc-lite's own structure definitions.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "features/PinRequests.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

ByteVec Bytes(const PinRequestBytes& r) { return ByteVec(r.bytes.begin(), r.bytes.begin() + r.count); }

// A 13-byte VERIFY template as a user types it, with blanks between the pairs.
const std::string kApdu13 = "00 20 00 01 08 FF FF FF FF FF FF FF FF";
const ByteVec kApdu13Bytes = {0x00, 0x20, 0x00, 0x01, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

ByteVec Concat(ByteVec a, const ByteVec& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct LayoutCase {
    const char* name;
    std::function<std::string()> request;
    ByteVec expected;
};

class DefaultLayouts : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DefaultLayouts, ByteForByte)
{
    const LayoutCase& c = GetParam();
    PinRequestBytes r = ConvertPinRequest(c.request());
    ASSERT_FALSE(r.tooLong);
    EXPECT_EQ(Bytes(r), c.expected);
}

// Defaults in every field; the 2-byte fields go out least significant byte
// first (wLangId 0409 as 09 04, the modify window's 0408 as 08 04).
INSTANTIATE_TEST_SUITE_P(
    Pin, DefaultLayouts,
    ::testing::Values(
        LayoutCase{"PcscVerify",
                   [] { return PcscRequestText(BuildPcscVerifyText(VerifyPinFields{}), kApdu13); },
                   Concat({0x00, 0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x09, 0x04, 0x00, 0x00, 0x00, 0x00,
                           0x0D, 0x00, 0x00, 0x00},
                          kApdu13Bytes)},
        LayoutCase{"VendorVerify",
                   [] { return VendorRequestText(BuildVendorVerifyText(VerifyPinFields{}), kApdu13); },
                   Concat({0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x09, 0x04, 0x00}, kApdu13Bytes)},
        LayoutCase{"PcscModify",
                   [] { return PcscRequestText(BuildPcscModifyText(ModifyPinFields{}), kApdu13); },
                   Concat({0x00, 0x00, 0x82, 0x04, 0x00, 0x00, 0x08, 0x08, 0x04, 0x03, 0x02, 0x03, 0x09, 0x04, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x0D, 0x00, 0x00, 0x00},
                          kApdu13Bytes)},
        LayoutCase{"VendorModifyNewBeforeOld",
                   [] { return VendorRequestText(BuildVendorModifyText(ModifyPinFields{}), kApdu13); },
                   Concat({0x00, 0x82, 0x04, 0x00, 0x08, 0x00, 0x08, 0x04, 0x03, 0x02, 0x03, 0x09, 0x04, 0x00},
                          kApdu13Bytes)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PinRequests, LayoutLengthsAreHeadPlusApdu)
{
    const struct {
        std::string text;
        unsigned expected;
    } cases[] = {
        {PcscRequestText(BuildPcscVerifyText(VerifyPinFields{}), kApdu13), 19 + 13},
        {VendorRequestText(BuildVendorVerifyText(VerifyPinFields{}), kApdu13), 11 + 13},
        {PcscRequestText(BuildPcscModifyText(ModifyPinFields{}), kApdu13), 24 + 13},
        {VendorRequestText(BuildVendorModifyText(ModifyPinFields{}), kApdu13), 14 + 13},
        {PcscRequestText(BuildPcscVerifyText(VerifyPinFields{}), ""), 19},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertPinRequest(c.text).count, c.expected) << c.text;
}

TEST(PinRequests, DataLengthTextIsLittleEndian)
{
    const struct {
        std::uint32_t n;
        const char* text;
    } cases[] = {{13, "0D000000"}, {0, "00000000"}, {256, "00010000"}, {0x12345678, "78563412"}};
    for (const auto& c : cases)
        EXPECT_EQ(DataLengthText(c.n), c.text) << c.n;
}

// Every field of the part 10 structures lands where pcsc-lite's packed
// structure puts it: each field gets a distinct value and is read back by
// offset. Two-byte fields go out in the order typed.
struct FieldCase {
    const char* name;
    std::size_t offset;
    std::size_t size;
    ByteVec expected;
};

TEST(PinRequests, PcscVerifyFieldsAtTheStructureOffsets)
{
    VerifyPinFields f;
    f.timeOut = "11";
    f.formatString = "22";
    f.pinBlockString = "33";
    f.pinLengthFormat = "44";
    f.pinMaxExtraDigit = "5566";
    f.entryValidationCondition = "77";
    f.numberMessage = "88";
    f.langId = "99AA";
    f.msgIndex = "BB";
    const FieldCase fields[] = {
        {"bTimerOut", offsetof(PIN_VERIFY_STRUCTURE, bTimerOut), 1, {0x11}},
        {"bTimerOut2", offsetof(PIN_VERIFY_STRUCTURE, bTimerOut2), 1, {0x00}},
        {"bmFormatString", offsetof(PIN_VERIFY_STRUCTURE, bmFormatString), 1, {0x22}},
        {"bmPINBlockString", offsetof(PIN_VERIFY_STRUCTURE, bmPINBlockString), 1, {0x33}},
        {"bmPINLengthFormat", offsetof(PIN_VERIFY_STRUCTURE, bmPINLengthFormat), 1, {0x44}},
        {"wPINMaxExtraDigit", offsetof(PIN_VERIFY_STRUCTURE, wPINMaxExtraDigit), 2, {0x66, 0x55}},
        {"bEntryValidationCondition", offsetof(PIN_VERIFY_STRUCTURE, bEntryValidationCondition), 1, {0x77}},
        {"bNumberMessage", offsetof(PIN_VERIFY_STRUCTURE, bNumberMessage), 1, {0x88}},
        {"wLangId", offsetof(PIN_VERIFY_STRUCTURE, wLangId), 2, {0xAA, 0x99}},
        {"bMsgIndex", offsetof(PIN_VERIFY_STRUCTURE, bMsgIndex), 1, {0xBB}},
        {"bTeoPrologue", offsetof(PIN_VERIFY_STRUCTURE, bTeoPrologue), 3, {0, 0, 0}},
        {"ulDataLength", offsetof(PIN_VERIFY_STRUCTURE, ulDataLength), 4, {13, 0, 0, 0}},
        {"abData", offsetof(PIN_VERIFY_STRUCTURE, abData), 13, kApdu13Bytes},
    };
    PinRequestBytes r = ConvertPinRequest(PcscRequestText(BuildPcscVerifyText(f), kApdu13));
    ASSERT_EQ(r.count, sizeof(PIN_VERIFY_STRUCTURE) + 13);
    for (const FieldCase& c : fields)
        EXPECT_EQ(ByteVec(r.bytes.begin() + c.offset, r.bytes.begin() + c.offset + c.size), c.expected) << c.name;
    // Read through the structure itself: the length field is the APDU's length.
    PIN_VERIFY_STRUCTURE head;
    std::memcpy(&head, r.bytes.data(), sizeof head);
    const std::uint32_t length = head.ulDataLength;  // a packed field: copied, not bound
    EXPECT_EQ(length, 13u);
    // The 16-bit fields read back as the values typed.
    const std::uint16_t langId = head.wLangId, maxExtra = head.wPINMaxExtraDigit;
    EXPECT_EQ(langId, 0x99AA);
    EXPECT_EQ(maxExtra, 0x5566);
}

// A 16-bit field is a value of 1 to 4 digits; anything else goes as typed.
TEST(PinRequests, Word16FieldsGoOutLowByteFirst)
{
    const struct {
        const char* typed;
        const char* wire;
    } cases[] = {
        {"0409", "0904"}, {"409", "0904"}, {"1", "0100"}, {"abCD", "CDAB"},
        {"", ""},         {"04090", "04090"}, {"04G9", "04G9"}, {" 409", " 409"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Word16WireText(c.typed), c.wire) << c.typed;
    EXPECT_EQ(Word16WireBytes("0408")[0], 0x08);  // the maximum
}

TEST(PinRequests, PcscModifyFieldsAtTheStructureOffsets)
{
    ModifyPinFields f;
    f.timeOut = "11";
    f.formatString = "22";
    f.pinBlockString = "33";
    f.pinLengthFormat = "44";
    f.insertionOffsetOld = "55";
    f.insertionOffsetNew = "66";
    f.pinMaxExtraDigit = "7788";
    f.confirmPin = "99";
    f.entryValidationCondition = "AA";
    f.numberMessage = "BB";
    f.langId = "CCDD";
    f.msgIndex = "E1";
    f.msgIndex2 = "E2";
    f.msgIndex3 = "E3";
    const FieldCase fields[] = {
        {"bTimerOut", offsetof(PIN_MODIFY_STRUCTURE, bTimerOut), 1, {0x11}},
        {"bTimerOut2", offsetof(PIN_MODIFY_STRUCTURE, bTimerOut2), 1, {0x00}},
        {"bmFormatString", offsetof(PIN_MODIFY_STRUCTURE, bmFormatString), 1, {0x22}},
        {"bmPINBlockString", offsetof(PIN_MODIFY_STRUCTURE, bmPINBlockString), 1, {0x33}},
        {"bmPINLengthFormat", offsetof(PIN_MODIFY_STRUCTURE, bmPINLengthFormat), 1, {0x44}},
        {"bInsertionOffsetOld", offsetof(PIN_MODIFY_STRUCTURE, bInsertionOffsetOld), 1, {0x55}},
        {"bInsertionOffsetNew", offsetof(PIN_MODIFY_STRUCTURE, bInsertionOffsetNew), 1, {0x66}},
        {"wPINMaxExtraDigit", offsetof(PIN_MODIFY_STRUCTURE, wPINMaxExtraDigit), 2, {0x88, 0x77}},
        {"bConfirmPIN", offsetof(PIN_MODIFY_STRUCTURE, bConfirmPIN), 1, {0x99}},
        {"bEntryValidationCondition", offsetof(PIN_MODIFY_STRUCTURE, bEntryValidationCondition), 1, {0xAA}},
        {"bNumberMessage", offsetof(PIN_MODIFY_STRUCTURE, bNumberMessage), 1, {0xBB}},
        {"wLangId", offsetof(PIN_MODIFY_STRUCTURE, wLangId), 2, {0xDD, 0xCC}},
        {"bMsgIndex1", offsetof(PIN_MODIFY_STRUCTURE, bMsgIndex1), 1, {0xE1}},
        {"bMsgIndex2", offsetof(PIN_MODIFY_STRUCTURE, bMsgIndex2), 1, {0xE2}},
        {"bMsgIndex3", offsetof(PIN_MODIFY_STRUCTURE, bMsgIndex3), 1, {0xE3}},
        {"bTeoPrologue", offsetof(PIN_MODIFY_STRUCTURE, bTeoPrologue), 3, {0, 0, 0}},
        {"ulDataLength", offsetof(PIN_MODIFY_STRUCTURE, ulDataLength), 4, {13, 0, 0, 0}},
        {"abData", offsetof(PIN_MODIFY_STRUCTURE, abData), 13, kApdu13Bytes},
    };
    PinRequestBytes r = ConvertPinRequest(PcscRequestText(BuildPcscModifyText(f), kApdu13));
    ASSERT_EQ(r.count, sizeof(PIN_MODIFY_STRUCTURE) + 13);
    for (const FieldCase& c : fields)
        EXPECT_EQ(ByteVec(r.bytes.begin() + c.offset, r.bytes.begin() + c.offset + c.size), c.expected) << c.name;
    PIN_MODIFY_STRUCTURE head;
    std::memcpy(&head, r.bytes.data(), sizeof head);
    const std::uint32_t length = head.ulDataLength;  // a packed field: copied, not bound
    EXPECT_EQ(length, 13u);
}

TEST(PinRequests, BlanksOfTheCommandAreNotSent)
{
    const struct {
        std::string command;
        unsigned n;
    } cases[] = {
        {"00 20 00 01 08 FF FF FF FF FF FF FF FF", 13},
        {"002000010831323334", 9},
        {"00  20 ", 2},
        {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ApduByteCount(c.command), c.n) << c.command;
        EXPECT_EQ(VendorRequestText("", c.command).find(' '), std::string::npos);
    }
}

// A field of odd length: the whole request is converted at once, so a
// leading zero goes in front and every pair before the odd field re-pairs.
TEST(PinRequests, OddFieldTextShiftsThePairing)
{
    const struct {
        const char* timeOut;
        const char* formatString;
        ByteVec expected;
    } cases[] = {
        // "5" "82" "04" ...: 21 digits, read as 05 82 04 ...
        {"5", "82", {0x05, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x09, 0x04, 0x00}},
        // "12" "8" "04" ...: "0" "12804..." reads 01 28 04 ...: bTimeOut is lost
        {"12", "8", {0x01, 0x28, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x09, 0x04, 0x00}},
        // Two odd fields pair up again after the second one.
        {"1", "2", {0x12, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x09, 0x04, 0x00}},
    };
    for (const auto& c : cases) {
        VerifyPinFields f;
        f.timeOut = c.timeOut;
        f.formatString = c.formatString;
        EXPECT_EQ(Bytes(ConvertPinRequest(VendorRequestText(BuildVendorVerifyText(f), ""))), c.expected)
            << c.timeOut << " " << c.formatString;
    }
}

TEST(PinRequests, MoreThan256BytesIsRefusedWhole)
{
    const struct {
        std::size_t apduBytes;
        bool refused;
    } cases[] = {{256 - 19, false}, {256 - 19 + 1, true}, {1000, true}};
    for (const auto& c : cases) {
        std::string command;
        for (std::size_t i = 0; i < c.apduBytes; ++i)
            command += "A5 ";
        PinRequestBytes r = ConvertPinRequest(PcscRequestText(BuildPcscVerifyText(VerifyPinFields{}), command));
        EXPECT_EQ(r.tooLong, c.refused) << c.apduBytes;
        EXPECT_EQ(r.count, c.refused ? 0u : 256u) << c.apduBytes;
    }
    // 513 digits make 257 bytes once the leading zero is added.
    EXPECT_TRUE(ConvertPinRequest(std::string(513, '1')).tooLong);
    EXPECT_FALSE(ConvertPinRequest(std::string(511, '1')).tooLong);
    EXPECT_NE(PinRequestTooLongText(300).find("300"), std::string::npos);
}

}  // namespace
