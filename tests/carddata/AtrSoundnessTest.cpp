// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carddata/AtrSoundness.h"
#include "carddata/CardList.h"
#include "carddata/StatusTreeNodes.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

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

// Real-world ATRs (most from the community card list) and variations of
// them. The checksums were worked out apart from the code: the exclusive-or
// of T0 to the last byte.
struct SoundnessCase {
    const char* name;
    std::string atr;
    Lines lines;
};

class Soundness : public ::testing::TestWithParam<SoundnessCase> {};

TEST_P(Soundness, Lines) {
    const SoundnessCase& c = GetParam();
    // The ATR alone in a buffer of its size: nothing past it may be read.
    const Bytes bytes = Hex(c.atr);
    auto buffer = std::make_unique<std::uint8_t[]>(bytes.size() + 1);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    const AtrTreeNode node = AtrSoundnessNode(buffer.get(), bytes.size());
    EXPECT_EQ(node.text, "ATR soundness");
    EXPECT_EQ(node.image, kImageGroup);
    Lines lines;
    for (const AtrTreeNode& child : node.children) {
        lines.push_back(child.text);
        EXPECT_EQ(child.image, kImageLine);
        EXPECT_TRUE(child.children.empty());
    }
    EXPECT_EQ(lines, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    AtrSoundness, Soundness,
    ::testing::Values(
        // A T=0 card: no TCK, none needed.
        SoundnessCase{"T0WithoutTck", "3B 02 14 50",
                      {"TCK not required: only T=0 offered", "TCK absent", "complete: 4 bytes announced, 4 present"}},
        SoundnessCase{"T0NoHistoricalBytes", "3B 00",
                      {"TCK not required: only T=0 offered", "TCK absent", "complete: 2 bytes announced, 2 present"}},
        // TD1 naming T=0 explicitly is still T=0 alone.
        SoundnessCase{"T0NamedByTd1", "3B 80 00",
                      {"TCK not required: only T=0 offered", "TCK absent", "complete: 3 bytes announced, 3 present"}},
        // A contactless T=1 card with a sound TCK (80: 81 ^ 80 ^ 01 ^ 80 = 80).
        SoundnessCase{"T1TckCorrect", "3B 81 80 01 80 80",
                      {"TCK required: T=1 offered", "TCK = 80, exclusive-or of T0 to TCK = 00: correct",
                       "complete: 6 bytes announced, 6 present"}},
        SoundnessCase{"DemoCard", "3B 88 80 01 54 41 56 20 44 45 4D 4F 69",
                      {"TCK required: T=1 offered", "TCK = 69, exclusive-or of T0 to TCK = 00: correct",
                       "complete: 13 bytes announced, 13 present"}},
        // A T=1 card listed with TCK 00 where the bytes before it make 68.
        SoundnessCase{"T1TckWrong", "3B 88 80 01 00 00 00 00 77 83 95 00 00",
                      {"TCK required: T=1 offered", "TCK = 00, exclusive-or of T0 to TCK = 68: wrong, TCK should be 68",
                       "complete: 13 bytes announced, 13 present"}},
        SoundnessCase{"T1TckMissing", "3B 88 80 01 54 41 56 20 44 45 4D 4F",
                      {"TCK required: T=1 offered", "TCK absent although required",
                       "truncated: 13 bytes announced, 12 present"}},
        // T=0 then T=15 (global bytes) also needs a TCK.
        SoundnessCase{"T15NeedsTck", "3B 9F 96 80 1F C7 80 31 E0 73 FE 21 1B 63 3A 20 4E 83 00 90 00 93",
                      {"TCK required: T=15 offered", "TCK = 93, exclusive-or of T0 to TCK = 00: correct",
                       "complete: 22 bytes announced, 22 present"}},
        SoundnessCase{"HistoricalBytesCut", "3B 9F 96 80 1F C7 80 31 E0 73",
                      {"TCK required: T=15 offered", "TCK absent although required",
                       "truncated: 22 bytes announced, 10 present"}},
        SoundnessCase{"TwoProtocols", "3B E2 00 00 81 31 20 45 01 02 34",
                      {"TCK required: T=1 offered", "TCK = 34, exclusive-or of T0 to TCK = 00: correct",
                       "complete: 11 bytes announced, 11 present"}},
        SoundnessCase{"T0AndT1AndT15", "3B 80 81 1F 02 1C",
                      {"TCK required: T=1, T=15 offered", "TCK = 1C, exclusive-or of T0 to TCK = 00: correct",
                       "complete: 6 bytes announced, 6 present"}},
        // TD1 says a TD2 follows, and there is none: the rest is unknown.
        SoundnessCase{"TdChainCut", "3B 9F 96 80",
                      {"TCK requirement unknown: a TD byte is missing", "TCK absent",
                       "truncated: 20 bytes announced, 4 present"}},
        // TD1 already names T=1: the TCK is due whatever the missing TD2 says.
        SoundnessCase{"TdChainCutAfterT1", "3B 80 81",
                      {"TCK required: T=1 offered", "TCK absent although required",
                       "truncated: 5 bytes announced, 3 present"}},
        SoundnessCase{"InterfaceBytesCut", "3B F0 11",
                      {"TCK requirement unknown: a TD byte is missing", "TCK absent",
                       "truncated: 6 bytes announced, 3 present"}},
        SoundnessCase{"OnlyTs", "3B",
                      {"TCK not required: only T=0 offered", "TCK absent", "truncated: 2 bytes announced, 1 present"}},
        SoundnessCase{"Nothing", "",
                      {"TCK not required: only T=0 offered", "TCK absent", "truncated: 2 bytes announced, 0 present"}},
        // A byte after a T=0 ATR is read as a TCK that should not be there.
        SoundnessCase{"T0WithTck", "3B 02 14 50 46",
                      {"TCK not required: only T=0 offered",
                       "TCK = 46, exclusive-or of T0 to TCK = 00: correct (not expected: only T=0 offered)",
                       "complete: 5 bytes announced, 5 present"}},
        SoundnessCase{"BytesAfterTck", "3B 81 80 01 80 80 00 00",
                      {"TCK required: T=1 offered", "TCK = 80, exclusive-or of T0 to TCK = 00: correct",
                       "too long: 6 bytes announced, 8 present"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AtrSoundness, NullAtrIsEmpty) {
    const AtrSoundness s = CheckAtrSoundness(nullptr, 10);
    EXPECT_EQ(s.present, 0u);
    EXPECT_TRUE(s.truncated);
}

// The whole tree: the analysis's groups unchanged, then the new nodes.
struct TreeCase {
    const char* name;
    std::string listPath;  // "" : no list file
    std::string atr;
    Lines cardNames;       // empty: no "Card names" node
};

class StatusTreeNodes : public ::testing::TestWithParam<TreeCase> {
protected:
    void TearDown() override { SetSharedCardListPath(kSystemCardListPath); }
};

TEST_P(StatusTreeNodes, CardNamesAndSoundnessFollowTheGroups) {
    const TreeCase& c = GetParam();
    SetSharedCardListPath(c.listPath);
    const Bytes atr = Hex(c.atr);
    const std::string text = c.atr + " ";
    const AtrTreeNode root = BuildStatusTree(text, atr.data(), atr.size());
    const AtrTreeNode groups = BuildAtrTree(text, atr.data(), atr.size());

    Lines names;
    for (const AtrTreeNode& child : root.children) names.push_back(child.text);
    Lines expected = {"T0", "TA", "TB", "TC", "TD"};
    if (!c.cardNames.empty()) expected.push_back("Card names");
    expected.push_back("ATR soundness");
    ASSERT_EQ(names, expected);
    EXPECT_EQ(root.text, text);
    EXPECT_EQ(root.image, groups.image);
    for (std::size_t g = 0; g < 5; ++g) {
        EXPECT_EQ(root.children[g].children.size(), groups.children[g].children.size()) << g;
        for (std::size_t i = 0; i < groups.children[g].children.size(); ++i)
            EXPECT_EQ(root.children[g].children[i].text, groups.children[g].children[i].text) << g << " " << i;
    }
    if (!c.cardNames.empty()) {
        Lines shown;
        for (const AtrTreeNode& line : root.children[5].children) shown.push_back(line.text);
        EXPECT_EQ(shown, c.cardNames);
    }
    EXPECT_EQ(root.children.back().children.size(), 3u);
}

const std::string kSampleList = BENCHKIT_SOURCE_DIR "/tests/carddata/data/card_list_sample.txt";

INSTANTIATE_TEST_SUITE_P(
    AtrSoundness, StatusTreeNodes,
    ::testing::Values(
        TreeCase{"DemoCardNamed", kSampleList, "3B 88 80 01 54 41 56 20 44 45 4D 4F 69",
                 {"Bench kit demo card (simulated reader)", "https://example.invalid/demo-card",
                  "Demo family, any TCK"}},
        TreeCase{"UnknownCard", kSampleList, "3B E2 00 00 81 31 20 45 01 02 34", {"Not in the card list"}},
        TreeCase{"NoListNoNode", BENCHKIT_SOURCE_DIR "/tests/carddata/data/no-such-list.txt",
                 "3B 88 80 01 54 41 56 20 44 45 4D 4F 69", {}},
        TreeCase{"EmptyPathNoNode", "", "3B 02 14 50", {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
