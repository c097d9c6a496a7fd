// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "carddata/CardList.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

const std::string kSample = BENCHKIT_SOURCE_DIR "/tests/carddata/data/card_list_sample.txt";

// "3B 02 14 50" -> bytes; the tests' own reading, not the codec under test.
Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return bytes;
}

Names Lookup(CCardList& list, const std::string& atr) {
    const Bytes bytes = Hex(atr);
    return list.Lookup(bytes.data(), bytes.size());
}

// Each lookup against tests/carddata/data/card_list_sample.txt, read by hand.
struct SampleCase {
    const char* name;
    std::string atr;
    Names names;
};

class SampleList : public ::testing::TestWithParam<SampleCase> {};

TEST_P(SampleList, MatchesWholeAtrsInListOrder) {
    CCardList list(kSample);
    EXPECT_EQ(Lookup(list, GetParam().atr), GetParam().names);
}

const char kDemo[] = "Bench kit demo card (simulated reader)";
const char kFamily[] = "Any card of the 3B 02 14 family";

INSTANTIATE_TEST_SUITE_P(
    CardList, SampleList,
    ::testing::Values(
        // Two entries match; the description they share is shown once.
        SampleCase{"DemoCard", "3B 88 80 01 54 41 56 20 44 45 4D 4F 69",
                   {kDemo, "https://example.invalid/demo-card", "Demo family, any TCK"}},
        SampleCase{"DemoFamilyOnly", "3B 88 80 01 54 41 56 20 44 45 4D 4F 68", {kDemo, "Demo family, any TCK"}},
        SampleCase{"ExactAndWildcards", "3B 02 14 50", {"T=0 test card, four bytes", kFamily, "Any T0 before 14 50"}},
        SampleCase{"WildcardT0", "3B 1A 14 50", {"Any T0 before 14 50"}},
        SampleCase{"LowerCasePattern", "3B 02 14 5A", {kFamily, "Lower-case pattern"}},
        SampleCase{"SpacingVariant", "3B 02 14 5B", {kFamily, "Spacing variant"}},
        SampleCase{"PackedVariant", "3B 02 14 5C", {kFamily, "Packed variant"}},
        // The entries without a description or with a bad pattern are gone.
        SampleCase{"EntryWithoutDescription", "3B 02 14 5D", {kFamily}},
        SampleCase{"MalformedDigitSkipped", "3B 02 14 5F", {kFamily}},
        SampleCase{"OddDigitsSkipped", "3B 02 14", {}},
        SampleCase{"LongerAtrDoesNotMatch", "3B 02 14 50 00", {}},
        SampleCase{"ShorterAtrDoesNotMatch", "3B 02", {}},
        SampleCase{"DigitSetFirst", "3B 60 00 00 9C 10 01 01 03", {"Digit sets card"}},
        SampleCase{"DigitSetSecond", "3B 65 00 00 9C 11 01 01 03", {"Digit sets card"}},
        SampleCase{"DigitSetMiss", "3B 61 00 00 9C 11 01 01 03", {}},
        SampleCase{"RangeLow", "3F 67 25 00 2A 20 00 40 68 90 00", {"Digit range card", "Range card, second line"}},
        SampleCase{"RangeHigh", "3F 67 25 00 2A 20 00 43 68 90 00", {"Digit range card", "Range card, second line"}},
        SampleCase{"RangeMiss", "3F 67 25 00 2A 20 00 44 68 90 00", {}},
        SampleCase{"OpenEndedOneByte", "3B EF 00 FF 81 31 42 45 01 38", {"Open-ended card"}},
        SampleCase{"OpenEndedSeveral", "3B EF 00 FF 81 31 42 45 01 02 03 04 05 06 07 38", {"Open-ended card"}},
        SampleCase{"OpenEndedWrongLast", "3B EF 00 FF 81 31 42 45 01 39", {}},
        SampleCase{"Empty", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CardList, SampleCounts) {
    CCardList list(kSample);
    ASSERT_TRUE(list.IsAvailable());
    EXPECT_EQ(list.EntryCount(), 12u);
    // A non-digit, an odd digit count, an open set, an entry without description.
    EXPECT_EQ(list.SkippedCount(), 4u);
}

// Hostile or unusual text: what a lookup finds, how many entries are kept
// and how many skipped.
struct TextCase {
    const char* name;
    std::string text;
    std::string atr;
    Names names;
    std::size_t entries;
    std::size_t skipped;
};

class ListText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ListText, ParsesWithinBounds) {
    const TextCase& c = GetParam();
    CCardList list = CCardList::FromText(c.text);
    EXPECT_TRUE(list.IsAvailable());
    EXPECT_EQ(Lookup(list, c.atr), c.names);
    EXPECT_EQ(list.EntryCount(), c.entries);
    EXPECT_EQ(list.SkippedCount(), c.skipped);
}

std::string Repeat(const std::string& part, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += part;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    CardList, ListText,
    ::testing::Values(
        TextCase{"CrLf", "3B 00\r\n\tCRLF card\r\n\r\n3B 01 00\r\n\tSecond\r\n", "3B 00", {"CRLF card"}, 2, 0},
        TextCase{"ByteOrderMark", "\xEF\xBB\xBF" "3B 00\n\tMarked\n", "3B 00", {"Marked"}, 1, 0},
        TextCase{"NoFinalLineEnd", "3B 00\n\tLast", "3B 00", {"Last"}, 1, 0},
        TextCase{"SpaceIndented", "3B 00\n    Indented by spaces\n", "3B 00", {"Indented by spaces"}, 1, 0},
        TextCase{"EmptyText", "", "3B 00", {}, 0, 0},
        TextCase{"OnlyComments", "# one\n#\n\n# two", "3B 00", {}, 0, 0},
        TextCase{"OrphanDescription", "\tNo pattern\n\n3B 00\n\tKept\n", "3B 00", {"Kept"}, 1, 0},
        TextCase{"OverlongPatternLine", "3B 00" + std::string(5000, ' ') + "\n\tToo long\n", "3B 00", {}, 0, 1},
        TextCase{"OverlongDescriptionLine", "3B 00\n\t" + std::string(5000, 'A') + "\n\tShort\n", "3B 00",
                 {"Short"}, 1, 0},
        TextCase{"PatternOverMaxDigits", Repeat("00 ", 65) + "\n\tHuge\n", Repeat("00 ", 65), {}, 0, 1},
        TextCase{"PatternAtMaxDigits", Repeat("00 ", 64) + "\n\tLongest\n", Repeat("00 ", 64), {"Longest"}, 1, 0},
        TextCase{"StarFirst", "*3B 00\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"DoubleStar", "3B 0.**\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"TooManyStars", "3B" + Repeat(" .*", 9) + "\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"EightStarsAllowed", "3B" + Repeat(" .*", 8) + "\n\tMany\n", "3B 00 11 22", {"Many"}, 1, 0},
        TextCase{"EmptySet", "3B []0\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"ReversedRange", "3B [9-1]0\n\tx\n", "3B 10", {}, 0, 1},
        TextCase{"RangeToNonDigit", "3B [1-G]0\n\tx\n", "3B 10", {}, 0, 1},
        TextCase{"LetterInSet", "3B [G]0\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"CommaSeparatedSet", "3B [1,3]0\n\tSet\n", "3B 30", {"Set"}, 1, 0},
        TextCase{"RegexAnchorRejected", "^3B 00$\n\tx\n", "3B 00", {}, 0, 1},
        TextCase{"NulInPattern", std::string("3B \0 00\n\tx\n", 11), "3B 00", {}, 0, 1},
        // Descriptions stay Unicode, letters outside code page 1252 too; an
        // ill-formed byte shows as U+FFFD and the entries after it are kept.
        TextCase{"Utf8Description", "3B 00\n\tKarta \u0119 \u010C \u0131 \u20AC \u2192\n", "3B 00",
                 {"Karta \u0119 \u010C \u0131 \u20AC \u2192"}, 1, 0},
        TextCase{"IllFormedUtf8", "3B 00\n\tBad \xFF\xC4 byte\n\n3B 01 00\n\tNext\n", "3B 00",
                 {"Bad \uFFFD\uFFFD byte"}, 2, 0},
        TextCase{"SkippedEntryTakesItsDescriptions", "3B 0G\n\tBad\n\tBad too\n3B 00\n\tGood\n", "3B 00", {"Good"},
                 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CardList, DescriptionsPerEntryAreBounded) {
    std::string text = "3B 00\n";
    for (int i = 0; i < 70; ++i) text += "\tline " + std::to_string(i) + "\n";
    CCardList list = CCardList::FromText(text);
    const Names names = Lookup(list, "3B 00");
    ASSERT_EQ(names.size(), kCardListMaxDescriptions);
    EXPECT_EQ(names.front(), "line 0");
    EXPECT_EQ(names.back(), "line 63");
}

TEST(CardList, MatchesOfOneLookupAreBounded) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "3B .*\n\tcard " + std::to_string(i) + "\n\n";
    CCardList list = CCardList::FromText(text);
    EXPECT_EQ(list.EntryCount(), 300u);
    const Names names = Lookup(list, "3B 00 01");
    ASSERT_EQ(names.size(), kCardListMaxMatches);
    EXPECT_EQ(names.front(), "card 0");
    EXPECT_EQ(names.back(), "card 255");
}

TEST(CardList, EntriesAreBounded) {
    std::string text;
    text.reserve((kCardListMaxEntries + 10) * 16);
    for (std::size_t i = 0; i < kCardListMaxEntries + 10; ++i) text += "3B 00\n\tcard\n\n";
    CCardList list = CCardList::FromText(text);
    EXPECT_EQ(list.EntryCount(), kCardListMaxEntries);
}

// An ATR longer than any fixed pattern can be still meets the open-ended ones.
TEST(CardList, AtrLongerThanTheIndex) {
    CCardList list = CCardList::FromText("3B .*\n\tOpen\n\n" + Repeat("00 ", 64) + "\n\tFixed\n");
    const std::string atr = "3B" + Repeat(" 00", 99);
    EXPECT_EQ(Lookup(list, atr), (Names{"Open"}));
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/cardlist-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir / name, std::ios::binary) << text;
    }
    std::filesystem::path m_dir;
};

using CardListFile = TempDir;

// Read on first use and only then: a later change of the file is not seen.
TEST_F(CardListFile, ReadOnceOnFirstUse) {
    const std::string path = (m_dir / "list.txt").string();
    CCardList list(path);
    Write("list.txt", "3B 00\n\tFirst version\n");  // after construction: nothing read yet
    EXPECT_EQ(Lookup(list, "3B 00"), (Names{"First version"}));
    Write("list.txt", "3B 00\n\tSecond version\n");
    EXPECT_EQ(Lookup(list, "3B 00"), (Names{"First version"}));
}

TEST_F(CardListFile, UnreadablePlacesGiveNoList) {
    std::filesystem::create_directory(m_dir / "dir");
    for (const std::string& path : {(m_dir / "absent.txt").string(), (m_dir / "dir").string(), std::string(),
                                   std::string("/dev/zero")}) {
        CCardList list(path);
        EXPECT_FALSE(list.IsAvailable()) << path;
        EXPECT_TRUE(Lookup(list, "3B 00").empty()) << path;
        AtrTreeNode node;
        const Bytes atr = Hex("3B 00");
        EXPECT_FALSE(CardNamesNode(list, atr.data(), atr.size(), node)) << path;
    }
}

TEST_F(CardListFile, EmptyFileIsAListThatKnowsNothing) {
    Write("empty.txt", "");
    CCardList list((m_dir / "empty.txt").string());
    AtrTreeNode node;
    const Bytes atr = Hex("3B 00");
    ASSERT_TRUE(CardNamesNode(list, atr.data(), atr.size(), node));
    EXPECT_EQ(node.text, "Card names");
    EXPECT_EQ(node.image, kImageGroup);
    ASSERT_EQ(node.children.size(), 1u);
    EXPECT_EQ(node.children[0].text, "Not in the card list");
}

// Over the size bound only the whole lines of the first part are read.
TEST_F(CardListFile, OversizedFileKeepsItsFirstPart) {
    std::string text = "3B 00\n\tAt the start\n\n";
    const std::string filler = "# " + std::string(1021, '-') + "\n";
    while (text.size() < kCardListMaxFileBytes) text += filler;
    text += "3B 01\n\tPast the bound\n";
    Write("big.txt", text);
    CCardList list((m_dir / "big.txt").string());
    EXPECT_EQ(Lookup(list, "3B 00"), (Names{"At the start"}));
    EXPECT_TRUE(Lookup(list, "3B 01").empty());
}

// The list the system ships: every entry is read, none skipped, and a few
// cards it names are found (expected names taken from the file).
TEST(CardList, SystemList) {
    std::ifstream file(kSystemCardListPath, std::ios::binary);
    if (!file) GTEST_SKIP() << kSystemCardListPath << " is not installed";
    std::size_t patterns = 0;
    std::string line;
    std::string first, firstName;
    std::string previous;
    while (std::getline(file, line)) {
        if (!line.empty() && line[0] != '#' && line[0] != '\t' && line[0] != ' ') {
            ++patterns;
            if (first.empty() && line.find_first_not_of("0123456789ABCDEF ") == std::string::npos) first = line;
        } else if (firstName.empty() && previous == first && !first.empty() && !line.empty() && line[0] == '\t') {
            firstName = line.substr(1);
        }
        previous = line;
    }
    CCardList list{std::string(kSystemCardListPath)};
    ASSERT_TRUE(list.IsAvailable());
    EXPECT_EQ(list.EntryCount(), patterns);
    EXPECT_EQ(list.SkippedCount(), 0u);
    ASSERT_FALSE(first.empty());
    const Names names = Lookup(list, first);
    ASSERT_FALSE(names.empty()) << first;
    EXPECT_NE(std::find(names.begin(), names.end(), firstName), names.end()) << first << " / " << firstName;
}

}  // namespace
