// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "readerlink/Cp1252.h"

TEST(Cp1252, DecodesTheHighControlsAndLatin1) {
    EXPECT_EQ(Cp1252ToUtf8("parameters\x92 values"), "parameters\u2019 values");
    EXPECT_EQ(Cp1252ToUtf8("\x80\xE9\xFF"), "\u20AC\u00E9\u00FF");
    EXPECT_EQ(Cp1252ToUtf8(std::string("\x81", 1)), "\uFFFD");  // undefined in the code page
    EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp1252, EveryDefinedByteSurvivesTheRoundTrip) {
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        if (Cp1252ToUtf8(byte) == "\uFFFD") continue;
        EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(byte)), byte) << b;
    }
}

TEST(Cp1252, EncodingReplacesWhatTheCodePageLacksAndSurvivesBrokenUtf8) {
    EXPECT_EQ(Utf8ToCp1252("caf\u00E9 \u2019"), "caf\xE9 \x92");
    EXPECT_EQ(Utf8ToCp1252("\u4E2D\U0001F600x"), "??x");
    EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");           // truncated sequence
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82" "A"), "?A");  // sequence cut by a plain character
    EXPECT_EQ(Utf8ToCp1252("\x80" "b"), "?b");      // stray continuation byte
}

// Texts kept in Unicode: well-formed UTF-8 passes unchanged; each ill-formed
// part becomes one U+FFFD and the rest of the text stays.
TEST(Cp1252, ValidUtf8KeepsUnicodeAndReplacesIllFormedParts) {
    const std::pair<std::string, std::string> cases[] = {
        {"Karta \u0119 \u010C \u0131 \u20AC \U0001F600", "Karta \u0119 \u010C \u0131 \u20AC \U0001F600"},
        {"a\xFF" "b", "a\uFFFD" "b"},                      // never a UTF-8 byte
        {"\x80\x80", "\uFFFD\uFFFD"},                      // stray continuations
        {"\xE2\x82" "A", "\uFFFD" "A"},                    // cut by a plain character
        {"end \xF0\x9F\x98", "end \uFFFD"},                // cut by the end
        {"\xC0\xAF", "\uFFFD\uFFFD"},                      // overlong
        {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},            // surrogate
        {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(ValidUtf8(in), out) << in;
}
