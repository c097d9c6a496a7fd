// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carddata/HexCodec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct ParseCase {
    const char* name;
    std::string text;
    int result;
    Bytes bytes;
};

class HexToBytesCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(HexToBytesCases, ReadsTokensOfOneOrTwoDigits) {
    const ParseCase& c = GetParam();
    std::array<std::uint8_t, 512> buffer{};
    unsigned count = 99;
    EXPECT_EQ(CHexCodec().HexToBytes(c.text, buffer.data(), buffer.size(), count), c.result);
    ASSERT_EQ(count, c.bytes.size());
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + count), c.bytes);
}

const std::string kUntypedCommandField = [] {
    std::string field;  // 260 groups of two prompt spaces with fixed spaces between
    for (int i = 0; i < 260; ++i) field += i ? "   " : "  ";
    return field;
}();

INSTANTIATE_TEST_SUITE_P(
    Codec, HexToBytesCases,
    ::testing::Values(ParseCase{"SelectCommand", "00 A4 04 00", 0, {0x00, 0xA4, 0x04, 0x00}},
                      ParseCase{"SpacingAndLowerCase", "  0 a4   4", 0, {0x00, 0xA4, 0x04}},
                      ParseCase{"SingleDigits", "1 2 3", 0, {0x01, 0x02, 0x03}},
                      ParseCase{"SpacedTextWithClosingSpace", "90 00 ", 0, {0x90, 0x00}},
                      ParseCase{"NonHexLettersGiveZero", "GZ 01", 0, {0x00, 0x01}},
                      ParseCase{"TabIsPartOfTheToken", "0\t 41", 0, {0x00, 0x41}},
                      ParseCase{"ThreeCharacterTokenSpoilsAll", "123 45", 1, {}},
                      ParseCase{"LongTokenAfterGoodOnes", "00 A4 04 00 0200", 1, {}},
                      ParseCase{"Empty", "", 1, {}},
                      ParseCase{"SpacesOnly", "     ", 1, {}},
                      ParseCase{"UntypedCommandField", kUntypedCommandField, 1, {}},
                      ParseCase{"PartlyTypedMask", "00 B0 00 00 08              ", 0, {0x00, 0xB0, 0x00, 0x00, 0x08}}),
    [](const auto& info) { return info.param.name; });

TEST(HexCodec, BytesToHexIsUpperCaseWithAClosingSpace) {
    const CHexCodec codec;
    const std::uint8_t bytes[] = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(codec.BytesToHex(3, bytes), "00 0A FF ");
    EXPECT_EQ(codec.BytesToHex(0, bytes), "");
    std::string previous = "stale";
    codec.BytesToHex(0, bytes, previous);
    EXPECT_EQ(previous, "");

    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
    const std::string text = codec.BytesToHex(255, all.data());
    EXPECT_EQ(text.size(), 765u);
    EXPECT_EQ(text.substr(0, 6), "00 01 ");
    EXPECT_EQ(text.substr(762), "FE ");
}

// An answer of up to 512 bytes is shown and logged whole, not cut at 255.
TEST(HexCodec, BytesToHexGrowsPastTheOldCapacity) {
    const CHexCodec codec;
    for (unsigned n : {256u, 300u, 512u}) {
        auto bytes = std::make_unique<std::uint8_t[]>(n);  // exact size, so ASan sees any over-read
        for (unsigned i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
        const std::string text = codec.BytesToHex(n, bytes.get());
        ASSERT_EQ(text.size(), 3u * n);
        std::vector<std::uint8_t> back(n);
        unsigned count = 0;
        EXPECT_EQ(codec.HexToBytes(text, back.data(), back.size(), count), 0);
        ASSERT_EQ(count, n);
        EXPECT_TRUE(std::equal(back.begin(), back.end(), bytes.get())) << n;
    }
}

// A command file can hold any text: the parsers stop at the caller's buffer.
TEST(HexCodec, ParsersNeverWritePastTheBuffer) {
    const CHexCodec codec;
    std::string spaced;
    std::string packed;
    for (int i = 0; i < 600; ++i) {
        spaced += "5A ";
        packed += "5A";
    }
    for (std::size_t capacity : {0u, 1u, 4u, 512u}) {
        // Heap blocks of the exact capacity plus a guard byte we check by hand.
        std::vector<std::uint8_t> buffer(capacity + 1, 0xEE);
        unsigned count = 99;
        const int spacedResult = codec.HexToBytes(spaced, buffer.data(), capacity, count);
        EXPECT_EQ(count, capacity);
        EXPECT_EQ(spacedResult, capacity ? 0 : 1);
        EXPECT_EQ(buffer[capacity], 0xEE) << "spaced, capacity " << capacity;

        buffer.assign(capacity + 1, 0xEE);
        const int packedResult = codec.PackedHexToBytes(packed + "7", buffer.data(), capacity, count);
        EXPECT_EQ(count, capacity);
        EXPECT_EQ(packedResult, capacity ? 0 : 1);
        EXPECT_EQ(buffer[capacity], 0xEE) << "packed, capacity " << capacity;
    }
    unsigned count = 99;
    EXPECT_EQ(codec.HexToBytes("01 02", nullptr, 10, count), 1);
    EXPECT_EQ(count, 0u);
}

TEST(HexCodec, PackedHexCountsEveryByteWritten) {
    const CHexCodec codec;
    struct Case {
        std::string text;
        Bytes bytes;
    };
    const Case cases[] = {
        {"00A4", {0x00, 0xA4}},
        {"A", {0x0A}},
        {"123", {0x01, 0x23}},   // odd length: padded first pair, and both bytes counted
        {"3F0", {0x03, 0xF0}},
        {"zz01", {0x00, 0x01}},
    };
    for (const Case& c : cases) {
        std::array<std::uint8_t, 8> buffer{};
        unsigned count = 0;
        EXPECT_EQ(codec.PackedHexToBytes(c.text, buffer.data(), buffer.size(), count), 0) << c.text;
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + count), c.bytes) << c.text;
    }
    std::array<std::uint8_t, 8> buffer{};
    unsigned count = 5;
    EXPECT_EQ(codec.PackedHexToBytes("", buffer.data(), buffer.size(), count), 1);
    EXPECT_EQ(count, 0u);
}

TEST(HexCodec, DigitsToValueIsZeroForAnyForeignCharacter) {
    const CHexCodec codec;
    EXPECT_EQ(codec.HexDigitsToValue("fF"), 0xFFu);
    EXPECT_EQ(codec.HexDigitsToValue("1a2B"), 0x1A2Bu);
    EXPECT_EQ(codec.HexDigitsToValue("0G"), 0u);
    EXPECT_EQ(codec.HexDigitsToValue("9 "), 0u);
    EXPECT_EQ(codec.HexDigitsToValue(""), 0u);
}

TEST(HexCodec, AsciiFormTurnsOnlyZeroIntoASpace) {
    const CHexCodec codec;
    const std::uint8_t bytes[] = {0x41, 0x00, 0x42, 0x90, 0x0A};
    EXPECT_EQ(codec.BytesToAscii(3, bytes), "A B");
    EXPECT_EQ(codec.BytesToAscii(5, bytes), "A B\x90\n");
    EXPECT_EQ(codec.BytesToAscii(0, bytes), "");
}

}  // namespace
