// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "carddata/AtrAnalyser.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const char kTa1Absent[] = "[TA1] Absent. Default Value are Fi= 372 Di= 1 ";
const char kTb1Absent[] = "[TB1] Absent";
const char kTc1Absent[] = "[TC1] Absent. Extra Guardtime Default Value is 0 ";
const char kTd1Absent[] = "[TD1] Absent. The first offered protocol is T=0 ";

// Each case: an ATR, the texts that must be there (level -> text; unnamed
// levels must be empty), the historical texts and the verdict.
struct AtrCase {
    const char* name;
    Bytes atr;
    std::vector<std::string> ta, tb, tc, td;  // levels 1.. as listed; the rest empty
    std::string summary;
    std::string historicalHex;
    std::string historicalAscii;
    int verdict;
};

class AtrCases : public ::testing::TestWithParam<AtrCase> {};

void ExpectLevels(const std::array<std::string, kAtrLevels>& got, const std::vector<std::string>& want,
                  const char* kind) {
    for (unsigned i = 0; i < kAtrLevels; ++i)
        EXPECT_EQ(got[i], i < want.size() ? want[i] : std::string()) << kind << (i + 1);
}

TEST_P(AtrCases, TextsAndVerdict) {
    const AtrCase& c = GetParam();
    // The ATR in a buffer of its own size: the analysis must not read past it.
    auto buffer = std::make_unique<std::uint8_t[]>(c.atr.size());
    std::copy(c.atr.begin(), c.atr.end(), buffer.get());
    CAtrAnalyser analyser;
    EXPECT_EQ(analyser.Analyse(buffer.get(), c.atr.size()), 0);
    EXPECT_EQ(analyser.m_summary, c.summary);
    EXPECT_EQ(analyser.m_historicalHex, c.historicalHex);
    EXPECT_EQ(analyser.m_historicalAscii, c.historicalAscii);
    ExpectLevels(analyser.m_taText, c.ta, "TA");
    ExpectLevels(analyser.m_tbText, c.tb, "TB");
    ExpectLevels(analyser.m_tcText, c.tc, "TC");
    ExpectLevels(analyser.m_tdText, c.td, "TD");
    EXPECT_EQ(CheckAtr(buffer.get(), c.atr.size()), c.verdict);
}

Bytes Concat(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(
    Iso7816, AtrCases,
    ::testing::Values(
        AtrCase{"NoInterfaceBytes", {0x3B, 0x00}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent}, {kTd1Absent},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrAccepted},
        AtrCase{"HistoricalOnly", {0x3B, 0x02, 0x14, 0x50}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent}, {kTd1Absent},
                "ATR with 2 Historical Byte(s) ", "14 50 ", "\x14P", kAtrAccepted},
        AtrCase{"T1WithoutTB3",
                Concat({0x3B, 0x8E, 0x80, 0x01},
                       {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D}),
                {kTa1Absent}, {kTb1Absent}, {kTc1Absent},
                {"Protocole reference on TD1 is T=0 ", "Protocole reference on TD2 is T=1 "},
                "ATR with 14 Historical Byte(s) ", "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D ",
                ".\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D", kAtrRejected},
        AtrCase{"T1Passing", {0x3B, 0xE2, 0x00, 0x00, 0x81, 0x31, 0x20, 0x45, 0x01, 0x02},
                {kTa1Absent, "", "[TA3] T=1 IFSD=32 "}, {"[TB1] =0 ", "", "[TB3] T=1 CWT=5 BWT=4 "},
                {"[TC1] Extra GuardTime : 0 "},
                {"Protocole reference on TD1 is T=1 ", "Protocole reference on TD2 is T=1 "},
                "ATR with 2 Historical Byte(s) ", "01 02 ", "\x01\x02", kAtrAccepted},
        AtrCase{"GuardTimeTooLongForCwi", {0x3B, 0xE3, 0x00, 0xFF, 0x91, 0x81, 0x71, 0x2A, 0x00},
                {kTa1Absent, "[TA2] Specific Mode T=1 ", "[TA3] T=1 IFSD=42 "},
                {"[TB1] =0 ", "", "[TB3] T=1 CWT=0 BWT=0 "},
                {"[TC1] Extra GuardTime : 255 ", "", "[TC3] LRC Block error detection "},
                {"Protocole reference on TD1 is T=1 ", "Protocole reference on TD2 is T=1 "},
                "ATR with 3 Historical Byte(s) ", "00 00 00 ", "...", kAtrRejected},
        AtrCase{"T15ClockStop", {0x3B, 0x9F, 0x96, 0x80, 0x1F, 0xC7, 0x80, 0x31, 0xE0, 0x73, 0xFE, 0x21, 0x1B,
                                 0x63, 0x3A, 0x20, 0x4E, 0x83, 0x00, 0x90, 0x00, 0x31},
                {"[TA1] Di = 32  Fi = 512", "", "[TA3] Clock Stop : C0 and Class Indicator U : 07 "}, {kTb1Absent},
                {kTc1Absent}, {"Protocole reference on TD1 is T=0 ", "Protocole reference on TD2 is T=15 "},
                "ATR with 15 Historical Byte(s) ", "80 31 E0 73 FE 21 1B 63 3A 20 4E 83 00 90 00 ",
                "\x80" "1\xE0s\xFE!\x1B" "c: N\x83.\x90.", kAtrRejected},
        // Bit 5 of the class indicator counts (U is six bits).
        AtrCase{"T15ClassIndicatorBit5", {0x3B, 0x90, 0x96, 0x80, 0x1F, 0x65},
                {"[TA1] Di = 32  Fi = 512", "", "[TA3] Clock Stop : 40 and Class Indicator U : 25 "}, {kTb1Absent},
                {kTc1Absent}, {"Protocole reference on TD1 is T=0 ", "Protocole reference on TD2 is T=15 "},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected},
        AtrCase{"TA1Rfu", {0x3B, 0x10, 0xEA}, {"[TA1] DI RFU FI RFU"}, {kTb1Absent}, {kTc1Absent}, {kTd1Absent},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrAccepted},
        AtrCase{"TA1Plain", {0x3B, 0x10, 0x11}, {"[TA1] Di = 1  Fi = 372"}, {kTb1Absent}, {kTc1Absent},
                {kTd1Absent}, "ATR with 0 Historical Byte(s) ", "", "", kAtrAccepted},
        AtrCase{"TB1NotZero", {0x3B, 0x20, 0x01}, {kTa1Absent}, {"[TB1] =1 "}, {kTc1Absent}, {kTd1Absent},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected},
        AtrCase{"T0WithTC2", {0x3B, 0x80, 0x40, 0x0A}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent, "[TC2] T=0 WI : 10 "},
                {"Protocole reference on TD1 is T=0 "}, "ATR with 0 Historical Byte(s) ", "", "", kAtrAccepted},
        AtrCase{"T0WithZeroTC2", {0x3B, 0x80, 0x40, 0x00}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent, "[TC2] T=0 WI : 0 "},
                {"Protocole reference on TD1 is T=0 "}, "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected},
        AtrCase{"TB2Present", {0x3B, 0x80, 0x20, 0x05}, {kTa1Absent}, {kTb1Absent, "[TB2] =5 "}, {kTc1Absent},
                {"Protocole reference on TD1 is T=0 "}, "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected},
        AtrCase{"T1OfferedWithoutTD2", {0x3B, 0x80, 0x01}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent},
                {"Protocole reference on TD1 is T=1 "}, "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected},
        AtrCase{"T0ThenT14", {0x3B, 0x80, 0x80, 0x8E, 0x0F}, {kTa1Absent}, {kTb1Absent}, {kTc1Absent},
                {"Protocole reference on TD1 is T=0 ", "Protocole reference on TD2 is T=14 ",
                 "Protocole reference on TD3 is T=15 "},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrAccepted},
        AtrCase{"TA2OfAnotherProtocol", {0x3B, 0x80, 0x10, 0x01}, {kTa1Absent, "[TA2] Specific Mode T=1 "},
                {kTb1Absent}, {kTc1Absent}, {"Protocole reference on TD1 is T=0 "}, "ATR with 0 Historical Byte(s) ",
                "", "", kAtrRejected},
        AtrCase{"FallingProtocolInTD3", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0x00}, {kTa1Absent},
                {kTb1Absent, "", "[TB3] T=1 CWT=5 BWT=4 "}, {kTc1Absent},
                {"Protocole reference on TD1 is T=0 ", "Protocole reference on TD2 is T=1 ",
                 "Protocole reference on TD3 is T=0 "},
                "ATR with 0 Historical Byte(s) ", "", "", kAtrRejected}),
    [](const auto& info) { return info.param.name; });

TEST(AtrAnalyser, NullPointerVerdict) {
    EXPECT_EQ(CheckAtr(nullptr, 0), kAtrNoBuffer);
    CAtrAnalyser analyser;
    EXPECT_EQ(analyser.Analyse(nullptr, 0), 0);
    EXPECT_EQ(analyser.m_tdText[0], kTd1Absent);
}

// A TD chain of arbitrary length: levels past eight are walked but dropped,
// and the walk stops at the end of what the analysis may read.
TEST(AtrAnalyser, LongTdChainStaysInsideTheTables) {
    // Twelve TD bytes announcing T=15, a TA and a further TD; the last ends the chain.
    Bytes chain = {0x3B, 0x83};
    for (int i = 0; i < 12; ++i) {
        chain.push_back(0x9F);
        chain.push_back(static_cast<std::uint8_t>(0xC0 | i));
    }
    chain.push_back(0x0F);
    chain.insert(chain.end(), {'A', 'B', 'C'});
    CAtrAnalyser analyser;
    analyser.Analyse(chain.data(), chain.size());
    EXPECT_EQ(analyser.m_tdText[7], "Protocole reference on TD8 is T=15 ");
    EXPECT_EQ(analyser.m_taText[7], "[TA8] Clock Stop : C0 and Class Indicator U : 06 ");
    EXPECT_EQ(analyser.m_historicalAscii, "ABC");

    // A chain that never ends runs into the end of the copy and stops there.
    const Bytes endless(400, 0x80);
    analyser.Analyse(endless.data(), endless.size());
    EXPECT_EQ(analyser.m_tdText[7], "Protocole reference on TD8 is T=0 ");
    EXPECT_EQ(analyser.m_historicalHex, "");
    EXPECT_EQ(CheckAtr(endless.data(), endless.size()), kAtrRejected);  // TD2 announces T=0
}

// Bytes past the caller's buffer read as zeros, so a short buffer gives the
// same texts as the same ATR in the console's zero-filled 200-byte buffer.
TEST(AtrAnalyser, ShortBufferReadsAsZeroFilled) {
    const Bytes atr = {0x3B, 0xF5, 0x11};  // announces TA1 to TD1 and 5 historical bytes it does not hold
    std::uint8_t console[200] = {};
    std::copy(atr.begin(), atr.end(), console);
    CAtrAnalyser shortOne;
    CAtrAnalyser full;
    auto exact = std::make_unique<std::uint8_t[]>(atr.size());
    std::copy(atr.begin(), atr.end(), exact.get());
    shortOne.Analyse(exact.get(), atr.size());
    full.Analyse(console, sizeof console);
    EXPECT_EQ(shortOne.m_taText, full.m_taText);
    EXPECT_EQ(shortOne.m_tdText, full.m_tdText);
    EXPECT_EQ(shortOne.m_historicalHex, "00 00 00 00 00 ");
    EXPECT_EQ(CheckAtr(exact.get(), atr.size()), CheckAtr(console, sizeof console));
}

TEST(AtrAnalyser, TreeHoldsGroupsInOrderWithTheirImages) {
    const Bytes atr = {0x3B, 0xE2, 0x00, 0x00, 0x81, 0x31, 0x20, 0x45, 0x01, 0x02};
    const AtrTreeNode root = BuildAtrTree("3B E2 00 00 81 31 20 45 01 02 ", atr.data(), atr.size());
    EXPECT_EQ(root.text, "3B E2 00 00 81 31 20 45 01 02 ");
    EXPECT_EQ(root.image, kImageRootPass);
    ASSERT_EQ(root.children.size(), 5u);
    const char* groups[] = {"T0", "TA", "TB", "TC", "TD"};
    const std::size_t lines[] = {2, 2, 2, 1, 2};  // only texts longer than one character
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(root.children[i].text, groups[i]);
        EXPECT_EQ(root.children[i].image, kImageGroup);
        EXPECT_EQ(root.children[i].children.size(), lines[i]) << groups[i];
        if (i == 0) continue;
        for (const AtrTreeNode& line : root.children[i].children) EXPECT_EQ(line.image, kImageLine);
    }
    const AtrTreeNode& t0 = root.children[0];
    EXPECT_EQ(t0.children[0].text, "ATR with 2 Historical Byte(s) ");
    EXPECT_EQ(t0.children[0].image, kImageLine);
    EXPECT_EQ(t0.children[1].text, "01 02 ");
    EXPECT_EQ(t0.children[1].image, kImageRoot);
    ASSERT_EQ(t0.children[1].children.size(), 1u);
    EXPECT_EQ(t0.children[1].children[0].text, "\x01\x02");
    EXPECT_EQ(root.children[2].children[1].text, "[TB3] T=1 CWT=5 BWT=4 ");

    const Bytes failing = {0x3B, 0x20, 0x01};
    EXPECT_EQ(BuildAtrTree("3B 20 01 ", failing.data(), failing.size()).image, kImageRoot);
}

}  // namespace
