// SPDX-License-Identifier: BSD-3-Clause
// Expected-answer patterns: one case per rule of "..", "*" and the pairs,
// and the expectations file read by the command files' entry finder.
#include <gtest/gtest.h>

#include "scripts/AnswerPattern.h"

namespace {

struct MatchCase {
    const char* pattern;
    std::vector<std::uint8_t> answer;
    bool matches;
};

TEST(AnswerPattern, MatchesAsItsItemsSay) {
    const MatchCase cases[] = {
        {"90 00", {0x90, 0x00}, true},
        {"90 00", {0x90, 0x00, 0x00}, false},          // no star: the length counts
        {"90 00", {0x90}, false},
        {"61 ..", {0x61, 0x1C}, true},
        {"61 ..", {0x61}, false},                      // ".." is exactly one byte
        {"* 90 00", {0x90, 0x00}, true},               // "*" may be no byte at all
        {"* 90 00", {0x90, 0x00, 0x90, 0x00}, true},   // ... and needs going back to the star
        {"* 90 00", {0x90, 0x00, 0x6A}, false},
        {"6F .. 84 * 90 00", {0x6F, 0x1A, 0x84, 0x07, 0xA0, 0x90, 0x00}, true},
        {"6F .. 84 * 90 00", {0x6F, 0x84, 0x07, 0x90, 0x00}, false},
        {"*", {}, true},
        {"", {}, true},
        {"", {0x90}, false},
        {"6f..84*9000", {0x6F, 0x00, 0x84, 0x90, 0x00}, true},  // packed and lower case
    };
    for (const MatchCase& c : cases) {
        CAnswerPattern pattern;
        std::string error;
        ASSERT_TRUE(pattern.Parse(c.pattern, error)) << c.pattern << ": " << error;
        EXPECT_EQ(pattern.Matches(c.answer.data(), c.answer.size()), c.matches) << c.pattern;
    }
}

TEST(AnswerPattern, RefusesAnythingElse) {
    for (const char* bad : {"9", "90 0", "9G", ".", "90 . 00", "90-00", "0x90"}) {
        CAnswerPattern pattern;
        std::string error;
        EXPECT_FALSE(pattern.Parse(bad, error)) << bad;
        EXPECT_NE(error.find("bad pattern"), std::string::npos);
    }
}

TEST(AnswerPattern, ExpectationsKeepLinesAndLeadingWildcards) {
    std::vector<Expectation> expectations;
    std::string error;
    ASSERT_TRUE(ParseExpectations("; golden\r\n[Command]\r\nA = * 90 00\r\n/B = 00\r\nC = .. 6A 82\r\n", expectations,
                                  error));
    ASSERT_EQ(expectations.size(), 2u);
    EXPECT_EQ(expectations[0].name, "A");
    EXPECT_EQ(expectations[0].line, 3);
    EXPECT_EQ(expectations[0].pattern.Text(), "* 90 00");
    EXPECT_EQ(expectations[1].name, "C");
    EXPECT_EQ(expectations[1].line, 5);
    EXPECT_EQ(expectations[1].pattern.Text(), ".. 6A 82");
    EXPECT_FALSE(ParseExpectations("[Command]\r\nA = 90\r\nB = 9\r\n", expectations, error));
    EXPECT_EQ(error.rfind("line 3: bad pattern \"9\" at column 1", 0), 0u) << error;
}

}  // namespace
