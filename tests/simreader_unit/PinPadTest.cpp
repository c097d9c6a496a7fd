// SPDX-License-Identifier: BSD-3-Clause
// The simulated PIN pad: the typed PIN formatted and inserted as the request
// says (expected blocks written out by hand from the field meanings, e.g. the
// well-known ISO 9564 format 2 block 24 12 34 FF...), the keypad scripts, and
// whole secure PIN exchanges through the reader without pcscd.
#include <gtest/gtest.h>

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

#include "PinPad.h"
#include "ScenarioParser.h"
#include "SimReader.h"

namespace {

using simreader::Bytes;
using simreader::InsertResult;
using simreader::KeyScript;
using simreader::PinEntry;
using simreader::PinLayout;
using simreader::PinParams;
using simreader::SimReader;

KeyScript Script(const std::vector<std::string>& words)
{
    KeyScript s;
    std::string why;
    EXPECT_TRUE(simreader::ParseKeyScript(words, s, why)) << why;
    return s;
}

struct InsertCase {
    const char* name;
    std::uint8_t formatString, blockString, lengthFormat;
    Bytes apdu;
    std::string pin;
    InsertResult result;
    Bytes expected;  // the whole command after insertion
};

class Insert : public ::testing::TestWithParam<InsertCase> {};

TEST_P(Insert, PinLandsAsTheFormatSays)
{
    const InsertCase& c = GetParam();
    PinParams p;
    p.formatString = c.formatString;
    p.blockString = c.blockString;
    p.lengthFormat = c.lengthFormat;
    Bytes apdu = c.apdu;
    std::string why;
    EXPECT_EQ(simreader::InsertPin(apdu, c.pin, p, 0, why), c.result) << why;
    if (c.result == InsertResult::Ok) {
        EXPECT_EQ(apdu, c.expected);
    }
}

const Bytes kHead = {0x00, 0x20, 0x00, 0x01};

Bytes Cmd(std::initializer_list<int> data, int lc = -1)
{
    Bytes b = kHead;
    b.push_back(static_cast<std::uint8_t>(lc < 0 ? int(data.size()) : lc));
    for (int x : data)
        b.push_back(static_cast<std::uint8_t>(x));
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    PinPad, Insert,
    ::testing::Values(
        // 82: units bytes, position 0, left, ASCII; block of 4 bytes.
        InsertCase{"AsciiBlockOf4", 0x82, 0x04, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF}), "1234", InsertResult::Ok,
                   Cmd({0x31, 0x32, 0x33, 0x34})},
        InsertCase{"AsciiLeftKeepsTheTemplatePadding", 0x82, 0x08, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
                   "1234", InsertResult::Ok, Cmd({0x31, 0x32, 0x33, 0x34, 0xFF, 0xFF, 0xFF, 0xFF})},
        // 86: as 82 with right justification.
        InsertCase{"AsciiRight", 0x86, 0x08, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "1234",
                   InsertResult::Ok, Cmd({0xFF, 0xFF, 0xFF, 0xFF, 0x31, 0x32, 0x33, 0x34})},
        // ISO 9564 format 2: 89 = bytes, position 1, left, BCD; 47 = 4-bit
        // length, 7-byte block; 04 = length at bit 4 (units bits).
        InsertCase{"Format2Block", 0x89, 0x47, 0x04, Cmd({0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "1234",
                   InsertResult::Ok, Cmd({0x24, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        InsertCase{"Format2OddDigits", 0x89, 0x47, 0x04, Cmd({0x20, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "12345",
                   InsertResult::Ok, Cmd({0x25, 0x12, 0x34, 0x5F, 0xFF, 0xFF, 0xFF, 0xFF})},
        // 85 = bytes, position 0, right, BCD.
        InsertCase{"BcdRight", 0x85, 0x04, 0x00, Cmd({0x00, 0x00, 0x00, 0x00}), "123", InsertResult::Ok,
                   Cmd({0x00, 0x00, 0x01, 0x23})},
        // 80 = bytes, position 0, left, binary: one byte per digit.
        InsertCase{"Binary", 0x80, 0x04, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF}), "1234", InsertResult::Ok,
                   Cmd({0x01, 0x02, 0x03, 0x04})},
        // 88 = binary at byte 1; 84 = 8-bit length, block 4; 10 = length at byte 0.
        InsertCase{"BinaryWithLengthByte", 0x88, 0x84, 0x10, Cmd({0x00, 0xFF, 0xFF, 0xFF, 0xFF}), "931",
                   InsertResult::Ok, Cmd({0x03, 0x09, 0x03, 0x01, 0xFF})},
        // 21 = units bits, position 4, left, BCD: the PIN straddles bytes.
        InsertCase{"BitPosition", 0x21, 0x01, 0x00, Cmd({0xFF, 0xFF}), "12", InsertResult::Ok, Cmd({0xF1, 0x2F})},
        // Block size 0: the block is as long as the PIN and Lc follows it.
        InsertCase{"VariableBlockSetsLc", 0x82, 0x00, 0x00, Cmd({}), "123456", InsertResult::Ok,
                   Cmd({0x31, 0x32, 0x33, 0x34, 0x35, 0x36})},
        InsertCase{"PinLongerThanBlock", 0x82, 0x02, 0x00, Cmd({0xFF, 0xFF}), "1234", InsertResult::PinTooLong, {}},
        InsertCase{"BlockPastTheCommand", 0x82, 0x08, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF}), "1234",
                   InsertResult::OutsideApdu, {}},
        InsertCase{"LengthFieldPastTheCommand", 0x88, 0x84, 0x1F, Cmd({0x00, 0xFF, 0xFF, 0xFF, 0xFF}), "1",
                   InsertResult::OutsideApdu, {}},
        InsertCase{"NoDataField", 0x82, 0x04, 0x00, Bytes{0x00, 0x20, 0x00}, "1234", InsertResult::OutsideApdu, {}},
        InsertCase{"ReservedFormat", 0x83, 0x04, 0x00, Cmd({0xFF, 0xFF, 0xFF, 0xFF}), "1234",
                   InsertResult::OutsideApdu, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct TypeCase {
    const char* name;
    bool modify;
    std::uint8_t confirm, validation, maxDigits, minDigits;
    std::vector<std::string> keys;
    std::uint16_t sw;
    std::vector<std::string> pins;
    Bytes strokes;
};

class Typing : public ::testing::TestWithParam<TypeCase> {};

TEST_P(Typing, KeysBecomePinsOrTheFailureWord)
{
    const TypeCase& c = GetParam();
    PinParams p;
    p.modify = c.modify;
    p.confirmPin = c.confirm;
    p.validation = c.validation;
    p.maxDigits = c.maxDigits;
    p.minDigits = c.minDigits;
    PinEntry e = simreader::TypePins(Script(c.keys), 0, p);
    EXPECT_EQ(e.sw, c.sw);
    if (c.sw == 0 || c.sw == 0x6402) {
        EXPECT_EQ(e.pins, c.pins);
    }
    Bytes codes;
    for (const auto& s : e.strokes)
        codes.push_back(s.code);
    EXPECT_EQ(codes, c.strokes);
}

INSTANTIATE_TEST_SUITE_P(
    PinPad, Typing,
    ::testing::Values(
        TypeCase{"DigitsThenEnter", false, 0, 0x02, 4, 4, {"1234", "enter"}, 0, {"1234"}, {0x2B, 0x2B, 0x2B, 0x2B, 0x0D}},
        TypeCase{"CorrectionRemovesTheLastDigit", false, 0, 0x02, 4, 4, {"125", "clear", "34", "enter"}, 0, {"1234"},
                 {0x2B, 0x2B, 0x2B, 0x08, 0x2B, 0x2B, 0x0D}},
        TypeCase{"DigitsBeyondTheMaximumAreNotTaken", false, 0, 0x02, 4, 0, {"123456", "enter"}, 0, {"1234"},
                 {0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x0D}},
        TypeCase{"TooShort", false, 0, 0x02, 8, 4, {"12", "enter"}, 0x6403, {}, {0x2B, 0x2B, 0x0D}},
        TypeCase{"Cancel", false, 0, 0x02, 4, 4, {"12", "cancel", "34", "enter"}, 0x6401, {}, {0x2B, 0x2B, 0x1B}},
        TypeCase{"TimeoutKey", false, 0, 0x02, 4, 4, {"12", "timeout"}, 0x6400, {}, {0x2B, 0x2B, 0x0E}},
        TypeCase{"UserStopsTyping", false, 0, 0x02, 4, 4, {"12"}, 0x6400, {}, {0x2B, 0x2B, 0x0E}},
        TypeCase{"EnterIgnoredWhenNotAValidation", false, 0, 0x01, 4, 4, {"12", "enter", "34"}, 0, {"1234"},
                 {0x2B, 0x2B, 0x0D, 0x2B, 0x2B}},
        TypeCase{"TimeoutEndsTheEntryWhenAsked", false, 0, 0x04, 8, 0, {"123", "timeout"}, 0, {"123"},
                 {0x2B, 0x2B, 0x2B, 0x0E}},
        TypeCase{"ModifyOldNewConfirm", true, 0x03, 0x02, 8, 4, {"1234", "enter", "5678", "enter", "5678", "enter"}, 0,
                 {"1234", "5678", "5678"}, {0x2B, 0x2B, 0x2B, 0x2B, 0x0D, 0x2B, 0x2B, 0x2B, 0x2B, 0x0D, 0x2B, 0x2B, 0x2B, 0x2B, 0x0D}},
        TypeCase{"ModifyConfirmationDiffers", true, 0x03, 0x02, 8, 4, {"1234", "enter", "5678", "enter", "5679", "enter"},
                 0x6402, {"1234", "5678", "5679"},
                 {0x2B, 0x2B, 0x2B, 0x2B, 0x0D, 0x2B, 0x2B, 0x2B, 0x2B, 0x0D, 0x2B, 0x2B, 0x2B, 0x2B, 0x0D}},
        TypeCase{"ModifyNewOnly", true, 0x00, 0x02, 8, 4, {"5678", "enter", "9999", "enter"}, 0, {"5678"},
                 {0x2B, 0x2B, 0x2B, 0x2B, 0x0D}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PinPadScript, WaitsAndPaceSetWhenEachKeyComes)
{
    PinParams p;
    p.validation = 0x02;
    PinEntry e = simreader::TypePins(Script({"wait:300", "12", "wait:100", "enter"}), 50, p);
    ASSERT_EQ(e.strokes.size(), 3u);
    EXPECT_EQ(e.strokes[0].atMs, 350u);
    EXPECT_EQ(e.strokes[1].atMs, 400u);
    EXPECT_EQ(e.strokes[2].atMs, 550u);
    EXPECT_EQ(e.durationMs, 550u);
}

TEST(PinPadScript, BadWordsAreRefused)
{
    const std::vector<std::vector<std::string>> bad = {
        {}, {"12a"}, {"wait:"}, {"wait:x"}, {"wait:9999999"}, {"enterr"}, {"wait:400000", "wait:400000"}};
    for (const auto& words : bad) {
        KeyScript s;
        std::string why;
        EXPECT_FALSE(simreader::ParseKeyScript(words, s, why)) << (words.empty() ? "" : words[0]);
        EXPECT_FALSE(why.empty());
    }
}

TEST(PinPadRequest, LayoutsAndTheirChecks)
{
    const Bytes apdu = {0x00, 0x20, 0x00, 0x01, 0x04, 0xFF, 0xFF, 0xFF, 0xFF};
    auto with = [&](Bytes head) {
        head.insert(head.end(), apdu.begin(), apdu.end());
        return head;
    };
    const struct {
        const char* name;
        PinLayout layout;
        Bytes request;
        bool ok;
        std::uint8_t offsetOld, offsetNew, maxDigits, minDigits;
    } cases[] = {
        {"PcscVerify", PinLayout::PcscVerify,
         with({0, 0, 0x82, 0x04, 0x00, 0x08, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00, 0, 0, 0, 9, 0, 0, 0}), true, 0, 0, 8, 4},
        {"PcscVerifyLengthDisagrees", PinLayout::PcscVerify,
         with({0, 0, 0x82, 0x04, 0x00, 0x08, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00, 0, 0, 0, 10, 0, 0, 0}), false, 0, 0, 0, 0},
        {"PcscVerifyShort", PinLayout::PcscVerify, Bytes(18, 0), false, 0, 0, 0, 0},
        // The reader driver's checks: a whole command header, at most three messages.
        {"PcscVerifyWithoutCommandHeader", PinLayout::PcscVerify,
         {0, 0, 0x82, 0x04, 0x00, 0x08, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00, 0, 0, 0, 3, 0, 0, 0, 0x00, 0x20, 0x00},
         false, 0, 0, 0, 0},
        {"PcscModifyFourMessages", PinLayout::PcscModify,
         with({0, 0, 0x82, 0x04, 0x00, 0x01, 0x02, 0x08, 0x04, 0x03, 0x02, 0x04, 0x04, 0x09, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0}),
         false, 0, 0, 0, 0},
        // ... and a validation condition it cannot act on becomes the validation key.
        {"PcscVerifyNoValidationCondition", PinLayout::PcscVerify,
         with({0, 0, 0x82, 0x04, 0x00, 0x08, 0x04, 0x00, 0x00, 0x04, 0x09, 0x00, 0, 0, 0, 9, 0, 0, 0}), true, 0, 0, 8, 4},
        {"PcscModifyOldBeforeNew", PinLayout::PcscModify,
         with({0, 0, 0x82, 0x04, 0x00, 0x01, 0x02, 0x08, 0x04, 0x03, 0x02, 0x03, 0x04, 0x09, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0}),
         true, 1, 2, 8, 4},
        {"VendorVerify", PinLayout::VendorVerify, with({0, 0x82, 0x04, 0x00, 0x06, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00}),
         true, 0, 0, 6, 4},
        {"VendorModifyNewBeforeOld", PinLayout::VendorModify,
         with({0, 0x82, 0x04, 0x00, 0x01, 0x02, 0x08, 0x04, 0x03, 0x02, 0x03, 0x04, 0x09, 0x00}), true, 2, 1, 8, 4},
        {"VendorModifyShort", PinLayout::VendorModify, Bytes(13, 0), false, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        PinParams p;
        std::string why;
        ASSERT_EQ(simreader::ParsePinRequest(c.layout, c.request.data(), c.request.size(), p, why), c.ok) << c.name;
        if (!c.ok) {
            EXPECT_FALSE(why.empty()) << c.name;
            continue;
        }
        EXPECT_EQ(p.apdu, apdu) << c.name;
        EXPECT_EQ(p.formatString, 0x82) << c.name;
        EXPECT_EQ(p.offsetOld, c.offsetOld) << c.name;
        EXPECT_EQ(p.offsetNew, c.offsetNew) << c.name;
        EXPECT_EQ(p.maxDigits, c.maxDigits) << c.name;
        EXPECT_EQ(p.minDigits, c.minDigits) << c.name;
        EXPECT_EQ(p.validation, 0x02) << c.name;
    }
}

// Whole exchanges through the reader, as pcscd would make them.
const char* const kPadScenario =
    "cold-atr => 3B 00\n"
    "apdu 00 20 00 01 04 31 32 33 34 => 90 00\n"
    "apdu 00 20 00 01 => 63 C2\n"
    "apdu 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38 => 90 00\n"
    "apdu 00 24 => 63 C1\n"
    "feature 01 0x42330001\n"
    "feature 02 0x42330002\n"
    "feature 05 0x42330005\n"
    "feature 06 0x42330006\n"
    "feature 07 0x42330007\n"
    "control 0x42330005 => 2B | 0D\n";

struct PadRun {
    long rv;
    Bytes answer;
};

PadRun Control(SimReader& r, std::uint32_t code, const Bytes& in, std::size_t size = 512)
{
    std::uint8_t out[512];
    std::size_t n = 0;
    long rv = r.Control(code, in.data(), in.size(), out, size, &n);
    return {rv, Bytes(out, out + n)};
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes kVerifyHead = {0x00, 0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00, 0x00, 0x00, 0x00,
                           0x09, 0x00, 0x00, 0x00};
const Bytes kVerifyApdu = {0x00, 0x20, 0x00, 0x01, 0x04, 0xFF, 0xFF, 0xFF, 0xFF};
const Bytes kVendorVerifyHead = {0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00};

std::unique_ptr<SimReader> MakePad(const std::string& keypad, const std::string& trace)
{
    simreader::Scenario s;
    std::string error;
    EXPECT_TRUE(simreader::ParseScenario(std::string(kPadScenario) + keypad, "/t.scn", s, error)) << error;
    auto r = std::make_unique<SimReader>(std::move(s), "000000", trace);
    std::uint8_t atr[MAX_ATR_SIZE];
    std::size_t n = 0;
    EXPECT_EQ(r->Power(IFD_POWER_UP, atr, sizeof atr, &n), IFD_SUCCESS);
    return r;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PinPadReader, DirectAndVendorExchangesAnswerTheCardsWord)
{
    char tmpl[] = "/tmp/pinpad-trace-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string trace = tmpl;
    auto pad = MakePad("keypad => 1234 enter | 9999 enter | 12 cancel | 12 | 1234 enter | "
                          "1234 enter 5678 enter 5678 enter\n",
                          trace);
    SimReader& r = *pad;
    const Bytes modifyApdu = {0x00, 0x24, 0x00, 0x01, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF,
                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const Bytes modifyHead = {0x00, 0x00, 0x82, 0x04, 0x00, 0x00, 0x08, 0x08, 0x04, 0x03, 0x02, 0x03,
                              0x04, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00};
    const struct {
        const char* name;
        std::uint32_t code;
        Bytes request;
        std::size_t answerSize;
        long rv;
        Bytes answer;
    } steps[] = {
        {"RightPin", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, IFD_SUCCESS, {0x90, 0x00}},
        {"WrongPin", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, IFD_SUCCESS, {0x63, 0xC2}},
        {"Cancelled", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, IFD_SUCCESS, {0x64, 0x01}},
        {"TimedOut", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, IFD_SUCCESS, {0x64, 0x00}},
        {"VendorVerifyWithItsFourByteAnswer", SCARD_CTL_CODE(2058), Concat(kVendorVerifyHead, kVerifyApdu), 4,
         IFD_SUCCESS, {0x90, 0x00}},
        {"ModifyOldNewConfirm", 0x42330007, Concat(modifyHead, modifyApdu), 512, IFD_SUCCESS, {0x90, 0x00}},
        {"MalformedRequest", 0x42330006, Bytes(5, 0), 512, IFD_NOT_SUPPORTED, {}},
    };
    for (const auto& s : steps) {
        PadRun run = Control(r, s.code, s.request, s.answerSize);
        EXPECT_EQ(run.rv, s.rv) << s.name;
        EXPECT_EQ(run.answer, s.answer) << s.name;
    }
    const std::string t = ReadAll(trace);
    std::remove(tmpl);
    EXPECT_NE(t.find("PinTransmit 00 20 00 01 04 31 32 33 34\n"), std::string::npos) << t;
    EXPECT_NE(t.find("PinTransmit 00 20 00 01 04 39 39 39 39\n"), std::string::npos) << t;
    EXPECT_NE(t.find("PinTransmit 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38\n"), std::string::npos) << t;
    EXPECT_NE(t.find("PinPad 64 01"), std::string::npos) << t;
    EXPECT_NE(t.find("PinPad refused: "), std::string::npos) << t;
}

TEST(PinPadReader, StartThenKeysThenFinish)
{
    auto pad = MakePad("keypad => wait:150 1234 enter\n", "");
    SimReader& r = *pad;
    Bytes start = Concat(kVerifyHead, kVerifyApdu);
    auto began = std::chrono::steady_clock::now();
    PadRun run = Control(r, 0x42330001, start);
    EXPECT_EQ(run.rv, IFD_SUCCESS);
    EXPECT_TRUE(run.answer.empty());
    // Before the user's first key: no key. Then the keys one per poll.
    EXPECT_EQ(Control(r, 0x42330005, {}, 12).answer, Bytes{0x00});
    Bytes keys;
    for (int i = 0; i < 200 && keys.size() < 5; ++i) {
        Bytes k = Control(r, 0x42330005, {}, 12).answer;
        ASSERT_EQ(k.size(), 1u);
        if (k[0] != 0)
            keys.push_back(k[0]);
        else
            usleep(5000);
    }
    EXPECT_EQ(keys, (Bytes{0x2B, 0x2B, 0x2B, 0x2B, 0x0D}));
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(150));
    EXPECT_EQ(Control(r, 0x42330002, {}).answer, (Bytes{0x90, 0x00}));
    // With no operation started, the key code answers from its control line
    // and a finish is refused.
    EXPECT_EQ(Control(r, 0x42330005, {}, 12).answer, Bytes{0x2B});
    EXPECT_EQ(Control(r, 0x42330002, {}).rv, IFD_COMMUNICATION_ERROR);
}

TEST(PinPadReader, WithoutAKeypadTheCodesKeepTheirControlLines)
{
    simreader::Scenario s;
    std::string error;
    ASSERT_TRUE(simreader::ParseScenario(std::string(kPadScenario) + "control 0x42330006 => 6F 00\n", "/t.scn", s, error))
        << error;
    SimReader r(std::move(s), "000000", "");
    EXPECT_EQ(Control(r, 0x42330006, Concat(kVerifyHead, kVerifyApdu)).answer, (Bytes{0x6F, 0x00}));
}

TEST(PinPadReader, ScriptedWaitHoldsTheDirectCall)
{
    auto pad = MakePad("keypad => wait:200 1234 enter\n", "");
    SimReader& r = *pad;
    auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(Control(r, 0x42330006, Concat(kVerifyHead, kVerifyApdu)).answer, (Bytes{0x90, 0x00}));
    EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(200));
}

}  // namespace
