// SPDX-License-Identifier: BSD-3-Clause
// The players' stepping rules on a list of named commands, without a window:
// which commands go out, in which order, how the counts run down and where
// the selection is left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripts/CommandPlayer.h"

namespace {

// A command-file window and a card in miniature: the list, its position, and
// the exchanges that fail (by their number, counted from 1).
struct Bench {
    std::vector<std::string> names;
    PlayPosition position;
    std::vector<unsigned> failing;
    unsigned stopAfter = 0;  // the user presses Escape during this exchange
    bool listGoneAfterFirst = false;

    std::string sent;           // names of the commands sent, in order
    std::vector<unsigned> shown;  // what the "Loop :" field showed
    int loaded = -1;
    unsigned exchanges = 0;
    bool stop = false;

    PlayerHooks Hooks() {
        PlayerHooks hooks;
        hooks.readPosition = [this](PlayPosition& p) {
            if (listGoneAfterFirst && exchanges > 0) return false;
            position.count = static_cast<int>(names.size());
            p = position;
            return true;
        };
        hooks.writePosition = [this](const PlayPosition& p, bool show) {
            position = p;
            if (show) shown.push_back(p.loopCount);
        };
        hooks.load = [this](int index) { loaded = index; };
        hooks.transmit = [this] {
            ++exchanges;
            sent += loaded >= 0 ? names.at(static_cast<std::size_t>(loaded)) : std::string("field");
            if (exchanges == stopAfter) stop = true;
            for (unsigned f : failing)
                if (f == exchanges) return PlayerResult(0x80100069);  // card removed
            return PlayerResult(0);
        };
        hooks.stopRequested = [this] { return stop; };
        return hooks;
    }
};

struct PlayCase {
    const char* what;
    std::vector<std::string> names;
    int selected;
    int startIndex;
    unsigned loopCount;
    std::vector<unsigned> failing;
    unsigned stopAfter;
    // Expected:
    const char* sent;
    int selectedAfter;
    unsigned loopCountAfter;
};

class PlayCommandFileTest : public testing::TestWithParam<PlayCase> {};

TEST_P(PlayCommandFileTest, SendsTheLapsInOrder) {
    const PlayCase& c = GetParam();
    Bench bench;
    bench.names = c.names;
    bench.position.selected = c.selected;
    bench.position.startIndex = c.startIndex;
    bench.position.loopCount = c.loopCount;
    bench.failing = c.failing;
    bench.stopAfter = c.stopAfter;
    const unsigned sent = PlayCommandFile(bench.Hooks());
    EXPECT_EQ(bench.sent, c.sent);
    EXPECT_EQ(sent, bench.sent.size());
    EXPECT_EQ(bench.position.selected, c.selectedAfter);
    EXPECT_EQ(bench.position.loopCount, c.loopCountAfter);
}

const std::vector<std::string> kABC = {"A", "B", "C"};

INSTANTIATE_TEST_SUITE_P(
    Laps, PlayCommandFileTest,
    testing::Values(
        // Last clicked B, two laps: B C B C; a complete play leaves the count at 1.
        PlayCase{"LastClickedB", kABC, 1, 1, 2, {}, 0, "BCBC", 2, 1},
        // Last clicked A, a failed play left B selected: B C, then laps from A.
        PlayCase{"ResumeAfterFailure", kABC, 1, 0, 2, {}, 0, "BCABC", 2, 1},
        // Starting on the last command with one lap: only that command.
        PlayCase{"LastCommandOnce", kABC, 2, 0, 1, {}, 0, "C", 2, 1},
        // The second command fails: the third is not sent and stays selected.
        PlayCase{"SecondFails", kABC, 0, 0, 1, {2}, 0, "AB", 2, 1},
        // A failure in the second lap leaves that lap's count.
        PlayCase{"FailureInSecondLap", kABC, 0, 0, 3, {5}, 0, "ABCAB", 2, 2},
        // Escape during the fourth exchange: that exchange ends, nothing follows.
        PlayCase{"EscapeStops", kABC, 0, 0, 9999, {}, 4, "ABCA", 1, 9998},
        // Nothing selected, or nothing in the list: nothing is sent.
        PlayCase{"NoSelection", kABC, -1, 0, 3, {}, 0, "", -1, 3},
        PlayCase{"EmptyList", {}, -1, 0, 2, {}, 0, "", -1, 2},
        // A lap start left behind by deletes restarts at the first command.
        PlayCase{"StaleLapStart", {"A", "B"}, 1, 7, 2, {}, 0, "BAB", 1, 1}),
    [](const testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.what); });

struct RepeatCase {
    const char* what;
    unsigned loopCount;
    std::vector<unsigned> failing;
    unsigned stopAfter;
    unsigned sent;
    std::vector<unsigned> shown;
};

class RepeatCommandTest : public testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatCommandTest, RepeatsAndEndsAtOne) {
    const RepeatCase& c = GetParam();
    Bench bench;
    bench.names = kABC;
    bench.position.selected = 0;
    bench.position.loopCount = c.loopCount;
    bench.failing = c.failing;
    bench.stopAfter = c.stopAfter;
    EXPECT_EQ(RepeatCommand(bench.Hooks()), c.sent);
    EXPECT_EQ(bench.exchanges, c.sent);
    std::string field;
    for (unsigned i = 0; i < c.sent; ++i) field += "field";  // the command field each time, no list entry
    EXPECT_EQ(bench.sent, field);
    EXPECT_EQ(bench.shown, c.shown);
    EXPECT_EQ(bench.position.loopCount, 1u);
    EXPECT_EQ(bench.position.selected, 0);  // the list is not walked
}

INSTANTIATE_TEST_SUITE_P(
    Repetitions, RepeatCommandTest,
    testing::Values(RepeatCase{"Once", 1, {}, 0, 1, {1, 1}},
                    RepeatCase{"ThreeTimes", 3, {}, 0, 3, {3, 2, 1, 1}},
                    // Card removed after the second exchange: the third fails, nothing more.
                    RepeatCase{"CardRemoved", 5, {3}, 0, 3, {5, 4, 3, 1}},
                    RepeatCase{"EscapeStops", 9999, {}, 2, 2, {9999, 9998, 1}}),
    [](const testing::TestParamInfo<RepeatCase>& info) { return std::string(info.param.what); });

TEST(RepeatCommand, ListGoneMidPlayStopsWithoutTouchingIt) {
    Bench bench;
    bench.names = kABC;
    bench.position.loopCount = 4;
    bench.listGoneAfterFirst = true;
    EXPECT_EQ(RepeatCommand(bench.Hooks()), 1u);
    EXPECT_EQ(PlayCommandFile(bench.Hooks()), 0u);
}

struct NextCase {
    int count, selected, startIndex;
    unsigned loopCount;
    int load;
    bool more;
    int selectedAfter;
    unsigned loopAfter;
};

// NextCommand by itself, every branch.
TEST(NextCommand, StepsWithinTheList) {
    const NextCase cases[] = {
        {3, 0, 0, 1, 0, true, 1, 1},    // moves on
        {3, 2, 1, 1, 2, false, 2, 1},   // last command, last lap
        {3, 2, 1, 3, 2, true, 1, 2},    // last command, laps to go: back to the lap start
        {3, 3, 0, 1, -1, false, 3, 1},  // selection outside the list
        {0, 0, 0, 1, -1, false, 0, 1},  // empty list
        {3, -1, 0, 2, -1, false, -1, 2},
        {2, 1, -4, 2, 1, true, 0, 1},  // lap start outside the list
    };
    for (const NextCase& c : cases) {
        PlayPosition p;
        p.count = c.count;
        p.selected = c.selected;
        p.startIndex = c.startIndex;
        p.loopCount = c.loopCount;
        const NextCommandStep step = NextCommand(p);
        EXPECT_EQ(step.load, c.load) << c.count << "/" << c.selected;
        EXPECT_EQ(step.more, c.more) << c.count << "/" << c.selected;
        EXPECT_EQ(p.selected, c.selectedAfter) << c.count << "/" << c.selected;
        EXPECT_EQ(p.loopCount, c.loopAfter) << c.count << "/" << c.selected;
    }
}

}  // namespace
