// SPDX-License-Identifier: BSD-3-Clause
// The keypad and display rules without a window: the key loops' steps over
// scripted key bytes, the display limits and wrap, the request layouts, the
// property answers and the placement of a feature window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "features/KeypadDisplay.h"

using namespace features;

namespace {

std::string Cells(const KeyHistory& h) {
    std::string out;
    for (const std::string& c : h.cells) out += c;
    return out;
}

std::string Cells(const KeyCells& k) {
    std::string out;
    for (const std::string& c : k.cells) out += c;
    return out;
}

std::string Blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

struct PollCase {
    const char* name;
    std::uint8_t entries;
    std::uint8_t validation;
    std::uint8_t maximum;  // wPINMaxExtraDigit's low byte
    std::vector<std::uint8_t> keys;
    long lastResult;  // result of the last poll (the others succeed)
    std::string cells;
    std::string lastReceive;
    int count;
    int finishedAfter;  // keys taken before the loop ends; -1: it goes on
    bool pause;         // the last key asks for the pause after a cancel
};

class PollKeysCases : public testing::TestWithParam<PollCase> {};

TEST_P(PollKeysCases, EndInTheExpectedState) {
    const PollCase& c = GetParam();
    const std::uint8_t maxExtra[2] = {c.maximum, 0x04};
    KeyHistory h(c.entries, c.validation, maxExtra);
    EXPECT_EQ(h.lastReceive, " ");
    int taken = 0;
    int finishedAfter = -1;
    PollStep step;
    for (std::uint8_t key : c.keys) {
        ++taken;
        const bool last = taken == static_cast<int>(c.keys.size());
        step = PollKeysStep(h, key, last ? c.lastResult : 0);
        if (step.finished) {
            finishedAfter = taken;
            break;
        }
    }
    EXPECT_EQ(Cells(h), c.cells);
    EXPECT_EQ(h.lastReceive, c.lastReceive);
    EXPECT_EQ(h.count, c.count);
    EXPECT_EQ(finishedAfter, c.finishedAfter);
    EXPECT_EQ(step.pauseAfterCancel, c.pause);
}

const std::vector<std::uint8_t> kSeventeen(17, 0x2B);

INSTANTIATE_TEST_SUITE_P(
    KeyHistory, PollKeysCases,
    testing::Values(
        PollCase{"four digits show four cells", 1, 0x02, 4, {0x2B, 0x2B, 0x2B, 0x2B}, 0, "xxxx" + Blanks(12), " ", 4,
                 -1, false},
        PollCase{"then enter blanks them and ends the entry", 1, 0x02, 4, {0x2B, 0x2B, 0x2B, 0x2B, 0x0D}, 0,
                 Blanks(16), "Enter Button", 0, 5, false},
        PollCase{"stop at the maximum of 4", 1, 0x01, 4, {0x2B, 0x2B, 0x2B, 0x2B}, 0, Blanks(16), "Max Size reached",
                 0, 4, false},
        PollCase{"stop at the maximum, two entries", 2, 0x03, 4, {0x2B, 0x2B, 0x2B, 0x2B, 0x2B}, 0,
                 "x" + Blanks(15), " ", 1, -1, false},
        PollCase{"a seventeenth digit adds no cell", 1, 0x02, 4, kSeventeen, 0, std::string(16, 'x'), " ", 17, -1,
                 false},
        PollCase{"correction after seventeen leaves the cells", 1, 0x02, 4,
                 [] {
                     auto k = kSeventeen;
                     k.push_back(0x08);
                     return k;
                 }(),
                 0, std::string(16, 'x'), "Correction/Backspace button", 16, -1, false},
        PollCase{"correction with no digit", 1, 0x02, 4, {0x08}, 0, Blanks(16), "Correction/Backspace button", 0, -1,
                 false},
        PollCase{"correction takes the last digit", 1, 0x02, 4, {0x2B, 0x2B, 0x08}, 0, "x" + Blanks(15),
                 "Correction/Backspace button", 1, -1, false},
        PollCase{"cancel pauses, blanks and ends", 2, 0x02, 4, {0x2B, 0x1B}, 0, Blanks(16), "Cancel Button", 0, 2,
                 true},
        PollCase{"the pad's timeout ends", 1, 0x02, 4, {0x2B, 0x0E}, 0, "x" + Blanks(15),
                 "TimeOut finished SPE operation", 0, 2, false},
        PollCase{"no key changes nothing", 1, 0x02, 4, {0x00, 0x00, 0x41}, 0, Blanks(16), " ", 0, -1, false},
        PollCase{"a failed poll ends", 1, 0x02, 4, {0x2B, 0x00}, 0x80100016L, "x" + Blanks(15), " ", 1, 2, false},
        PollCase{"two entries need two enters", 2, 0x02, 4, {0x2B, 0x0D, 0x2B, 0x2B, 0x0D}, 0, Blanks(16),
                 "Enter Button", 0, 5, false}),
    [](const testing::TestParamInfo<PollCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// wPINMaxExtraDigit 0x0608 (minimum 6, maximum 8) as the structure holds it.
TEST(KeyHistory, MaximumIsTheExtraDigitLowByte) {
    const std::uint8_t maxExtra[2] = {0x08, 0x06};
    const KeyHistory h(1, 0x01, maxExtra);
    EXPECT_EQ(h.maximum, 8);
    EXPECT_TRUE(h.stopAtMaximum);
    EXPECT_FALSE(KeyHistory(1, 0x02, maxExtra).stopAtMaximum);
}

TEST(GetKeyPressed, OneKeyPerPress) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> keys;
        std::string cells;
        std::string message;
    };
    const Case cases[] = {
        {"digits fill from the left", {0x2B, 0x2B}, "xx  ", " "},
        {"a fifth digit changes nothing", {0x2B, 0x2B, 0x2B, 0x2B, 0x2B}, "xxxx", " "},
        {"correction blanks the last digit", {0x2B, 0x2B, 0x2B, 0x08}, "xx  ", "Correction/Backspace button"},
        {"correction with none", {0x08}, "    ", "Correction/Backspace button"},
        {"enter blanks all", {0x2B, 0x2B, 0x0D}, "    ", "Enter Button"},
        {"cancel blanks all", {0x2B, 0x1B}, "    ", "Cancel Button"},
        {"the pad's timeout keeps the cells", {0x2B, 0x0E}, "x   ", "TimeOut finished SPE operation"},
        {"no key", {0x2B, 0x00}, "x   ", "No key since last call"},
        {"another byte", {0x41}, "    ", " "},
    };
    for (const Case& c : cases) {
        KeyCells k;
        for (std::uint8_t key : c.keys) PollKeyOnceStep(k, key);
        EXPECT_EQ(Cells(k), c.cells) << c.name;
        EXPECT_EQ(k.message, c.message) << c.name;
    }
}

TEST(GetKey, KeyTextsCodesAndTheLoopsEnd) {
    struct Case {
        std::uint8_t key;
        std::string text;
        std::string code;
        bool ends;
    };
    const Case cases[] = {
        {0x41, "A", "41", false},         {0x31, "1", "31", false},       {0x08, " Clear ", "08", false},
        {0x0D, " Enter ", "0d", false},   {0x1B, " Cancel ", "1b", false}, {0xFE, " TimeOut ", "fe", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetKeyText(c.key), c.text) << int(c.key);
        EXPECT_EQ(GetKeyCodeText(c.key), c.code) << int(c.key);
        EXPECT_EQ(GetKeyLoopEnds(c.key, 0), c.ends) << int(c.key);
        EXPECT_TRUE(GetKeyLoopEnds(c.key, 0x80100016L));
    }
    EXPECT_EQ(GetKeyRequest(5), (std::vector<std::uint8_t>{5}));
}

TEST(Display, LimitsAndWrap) {
    const std::uint8_t answer[] = {0x10, 0x00, 0x02, 0x00};
    const DisplayLimits limits = ReadDisplayLimits(answer, sizeof answer);
    EXPECT_EQ(limits.characters, 16);
    EXPECT_EQ(limits.lines, 2);
    EXPECT_EQ(limits.Total(), 32);
    const std::uint8_t shortAnswer[] = {0x10};
    EXPECT_EQ(ReadDisplayLimits(shortAnswer, 1).lines, 0);

    struct Case {
        int n, k;
        bool insert;
        int position;
        bool reset;
    };
    const Case cases[] = {
        {15, 1, false, 0, false}, {16, 1, true, 16, false}, {16, 2, false, 0, false},
        {0, 1, false, 0, true},   {0, 2, false, 0, false},  {17, 1, true, 17, false},
    };
    for (const Case& c : cases) {
        const WrapAction a = WrapMessageLine(c.n, c.k, limits);
        EXPECT_EQ(a.insertBreak, c.insert) << c.n << "," << c.k;
        EXPECT_EQ(a.raiseLimitBy2, c.insert) << c.n << "," << c.k;
        if (c.insert) {
            EXPECT_EQ(a.position, c.position) << c.n << "," << c.k;
        }
        EXPECT_EQ(a.resetLimit, c.reset) << c.n << "," << c.k;
    }
    // Without limits nothing wraps.
    EXPECT_FALSE(WrapMessageLine(5, 1, DisplayLimits{}).insertBreak);
}

TEST(Display, MessageSentFitsTheDisplayAndTheLengthByte) {
    const DisplayLimits d16x2{16, 2};
    const DisplayLimits big{255, 255};
    struct Case {
        const char* name;
        std::string field;
        DisplayLimits limits;
        std::string sent;
    };
    const Case cases[] = {
        {"short", "HELLO", d16x2, "HELLO"},
        {"two lines within the size keep their break", "ABCDEFGHIJKLMNOP\r\nQR", d16x2, "ABCDEFGHIJKLMNOP\r\nQR"},
        {"past the size: breaks go, then cut", "ABCDEFGHIJKLMNOP\r\nQRSTUVWXYZ0123456789", d16x2,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"},
        {"no limits read: nothing", "HELLO", DisplayLimits{}, ""},
        {"never past the length byte", std::string(300, 'M'), big, std::string(255, 'M')},
    };
    for (const Case& c : cases) EXPECT_EQ(DisplayMessage(c.field, c.limits), c.sent) << c.name;
}

TEST(Requests, LayoutsByteForByte) {
    EXPECT_EQ(WriteDisplayRequest(10, "HELLO"),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 0x0A, 0, 0x05, 'H', 'E', 'L', 'L', 'O'}));
    const auto spe = SpeMessageRequest(3, "Enter your PIN..");
    ASSERT_EQ(spe.size(), 52u);
    EXPECT_EQ(spe[32], 0x03);
    EXPECT_EQ(spe[35], 0x10);
    for (int i : {0, 31, 33, 34}) EXPECT_EQ(spe[i], 0) << i;
    EXPECT_EQ(std::string(spe.begin() + 36, spe.end()), "Enter your PIN..");

    // A text longer than a length byte can say is cut to 255, never sent
    // with a length that wrapped round.
    const auto longDisplay = WriteDisplayRequest(1, std::string(300, 'D'));
    ASSERT_EQ(longDisplay.size(), 7u + 255u);
    EXPECT_EQ(longDisplay[6], 255);
    const auto longSpe = SpeMessageRequest(1, std::string(256, 'S'));
    ASSERT_EQ(longSpe.size(), 36u + 255u);
    EXPECT_EQ(longSpe[35], 255);
    EXPECT_EQ(WriteDisplayRequest(0, "").size(), 7u);
}

TEST(Properties, AnswersToFields) {
    const std::uint8_t display[] = {0x10, 0x00, 0x02, 0x00};
    const DisplayPropertiesText d = DisplayPropertiesOf(display, sizeof display);
    EXPECT_EQ(d.characters, "16");
    EXPECT_EQ(d.lines, "2");

    const std::uint8_t pin4[] = {0x10, 0x02, 0x02, 0x1E};
    const PinPropertiesText first = PinPropertiesOf(pin4, sizeof pin4);
    EXPECT_EQ(first.layout, "16_2");
    EXPECT_EQ(first.validation, "2");
    EXPECT_EQ(first.timeOut, "30");

    // The long answer on Enter fills all five fields.
    const std::uint8_t pin8[] = {0x10, 0x02, 0x14, 0x00, 0x04, 0x00, 0x03, 0x3C};
    const PinPropertiesText eight = RereadPinPropertiesOf(pin8, sizeof pin8);
    EXPECT_EQ(eight.layout, "16_2");
    EXPECT_EQ(eight.characters, "20");
    EXPECT_EQ(eight.lines, "4");
    EXPECT_EQ(eight.validation, "3");
    EXPECT_EQ(eight.timeOut, "60");
    const PinPropertiesText four = RereadPinPropertiesOf(pin4, sizeof pin4);
    EXPECT_EQ(four.characters, "16");
    EXPECT_EQ(four.lines, "2");
    EXPECT_EQ(four.validation, "2");
    EXPECT_EQ(four.timeOut, "30");
    // Bytes the reader did not send read as zero, never past the answer.
    const PinPropertiesText none = PinPropertiesOf(pin4, 1);
    EXPECT_EQ(none.layout, "16_0");
    EXPECT_EQ(none.timeOut, "0");
}

TEST(Placement, FormulaAndSmallScreens) {
    struct Case {
        const char* name;
        int screenW, screenH, clientW, clientH, dx, dy;
        WindowPlace place;
    };
    const Case cases[] = {
        {"large screen", 1920, 1080, 300, 120, 700, 100, {920, 860, 295, 130}},
        {"offsets larger than the screen", 800, 600, 300, 120, 1000, 450, {0, 30, 295, 130}},
        {"tiny screen", 200, 100, 300, 120, 50, 450, {0, 0, 295, 130}},
        {"right at the edge", 1024, 768, 200, 100, 50, 470, {774, 198, 195, 110}},
    };
    for (const Case& c : cases) {
        const WindowPlace p = PlaceFeatureWindow(c.screenW, c.screenH, c.clientW, c.clientH, c.dx, c.dy);
        EXPECT_EQ(p.x, c.place.x) << c.name;
        EXPECT_EQ(p.y, c.place.y) << c.name;
        EXPECT_EQ(p.width, c.place.width) << c.name;
        EXPECT_EQ(p.height, c.place.height) << c.name;
        if (p.width <= c.screenW) {
            EXPECT_LE(p.x + p.width, c.screenW) << c.name;
        }
        if (p.height <= c.screenH) {
            EXPECT_LE(p.y + p.height, c.screenH) << c.name;
        }
        EXPECT_GE(p.x, 0) << c.name;
        EXPECT_GE(p.y, 0) << c.name;
    }
}

}  // namespace
