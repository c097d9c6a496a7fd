// SPDX-License-Identifier: BSD-3-Clause
// The one rule that concludes every exchange: what each path shows, what its
// log record holds (read back from the file) and what the store keeps, for a
// success and a failure.
#include <gtest/gtest.h>

#include <PCSC/pcsclite.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scripts/CommandExchange.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An open log in a folder of its own; Records() is what came after its header.
struct TempLog {
    TempLog() {
        char pattern[] = "/tmp/exchange-XXXXXX";
        if (mkdtemp(pattern) != nullptr) dir = pattern;
        log.SetDirectory(dir);
        opened = log.OpenLog();
        header = ReadAll(log.FileName()).size();
    }
    ~TempLog() {
        log.CloseLog();
        if (!dir.empty()) fs::remove_all(dir);
    }
    std::string Records() const { return ReadAll(log.FileName()).substr(header); }

    std::string dir;
    CLogFile log;
    LogFailure opened;
    std::size_t header = 0;
};

TEST(ConcludeExchange, EachPathShowsLogsAndStoresByOneRule) {
    constexpr PcscResult kOk = SCARD_S_SUCCESS;
    constexpr auto kRemoved = static_cast<PcscResult>(SCARD_W_REMOVED_CARD);
    const std::string removedText = "The card has been removed so that further communication is not possible.";
    struct Case {
        const char* name;
        ExchangePath path;
        PcscResult result;
        std::vector<std::uint8_t> answer;
        const char* value;
        std::string shown, logged;
        bool toStatusLine, stored;
        unsigned storedLength;
    };
    const std::vector<Case> cases = {
        {"apdu answer", ExchangePath::Apdu, kOk, {0x01, 0x90, 0x00}, "", "01 90 00 ", "01 90 00 ", false, true, 3},
        {"apdu status word", ExchangePath::Apdu, kOk, {0x90, 0x00}, "", "90 00  ( Normal Processing. ) ", "90 00 ", false, true, 2},
        {"apdu failure", ExchangePath::Apdu, kRemoved, {0x6A}, "", "xx xx xx xx xx", "xx xx xx xx xx", false, true, 0},
        {"control", ExchangePath::Control, kOk, {0x90, 0x00}, "", "90 00 ", "90 00 ", false, true, 2},
        {"control failure", ExchangePath::Control, kRemoved, {}, "", "xx xx xx xx xx", removedText, false, true, 0},
        {"pin", ExchangePath::SecurePin, kOk, {0x63, 0xC2}, "", "63 C2 ", "63 C2 ", false, false, 2},
        {"pin failure", ExchangePath::SecurePin, kRemoved, {}, "", "xx xx xx xx xx", removedText, false, false, 0},
        {"attribute", ExchangePath::StandardAttribute, kOk, {0x20}, "32", "32", "32", true, false, 1},
        {"attribute failure", ExchangePath::StandardAttribute, kRemoved, {}, "", "xx xx xx xx xx", removedText, false,
         false, 0},
        {"vendor attribute", ExchangePath::VendorAttribute, kOk, {'T', 'A', 'V'}, "TAV", "TAV", "TAV", true, true, 3},
    };
    for (const Case& c : cases) {
        TempLog t;
        ASSERT_EQ(t.opened, LogFailure::None);
        const ExchangeOutcome o = ConcludeExchange(c.path, "Op", "00 B0", c.result, c.answer.data(),
                                                   static_cast<unsigned>(c.answer.size()), &t.log, c.value);
        EXPECT_EQ(o.shownText, c.shown) << c.name;
        EXPECT_EQ(o.answerText, c.logged) << c.name;
        EXPECT_EQ(o.toStatusLine, c.toStatusLine) << c.name;
        EXPECT_EQ(o.stored, c.stored) << c.name;
        EXPECT_EQ(o.answerLength, c.storedLength) << c.name;
        EXPECT_EQ(t.Records(), "[Command]\r\nOp\r\n00 B0\r\n[Answer]\r\n" + c.logged + "\r\n") << c.name;
    }
}

TEST(ConcludeExchange, StatusIsAShortRecordAndChangesNoField) {
    TempLog t;
    ASSERT_EQ(t.opened, LogFailure::None);
    const std::uint8_t atr[] = {0x3B, 0x00};
    const ExchangeOutcome o = ConcludeExchange(ExchangePath::Status, "", "", SCARD_S_SUCCESS, atr, 2, &t.log, "3B 00");
    EXPECT_FALSE(o.showsResponse);
    EXPECT_FALSE(o.stored);
    EXPECT_EQ(t.Records(), "[Command]\r\nSCardStatus Request\r\n[Answer]\r\n3B 00\r\n");
}

TEST(ConcludeExchange, AnAnswerLongerThanTheStoreIsCut) {
    const std::vector<std::uint8_t> answer(700, 0x41);
    const ExchangeOutcome o = ConcludeExchange(ExchangePath::Control, "SCardControl", "", SCARD_S_SUCCESS,
                                               answer.data(), 700, nullptr);
    EXPECT_EQ(o.answerLength, ExchangeOutcome::kBufferSize);
    EXPECT_EQ(o.shownText.size(), 3 * ExchangeOutcome::kBufferSize);
}

}  // namespace
