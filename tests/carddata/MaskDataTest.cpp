// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "carddata/HexCodec.h"
#include "carddata/MaskData.h"

namespace {

// Keys of the little editing scripts below; every other character is typed.
constexpr char kBack = '\b';
constexpr char kDel = '\x7f';
constexpr char kLeft = '\x01';
constexpr char kRight = '\x02';
constexpr char kHome = '\x03';
constexpr char kEnd = '\x04';

std::size_t RunScript(CMaskData& mask, std::size_t cursor, const std::string& script) {
    for (char c : script) {
        switch (c) {
            case kBack: cursor = mask.Backspace(cursor); break;
            case kDel: cursor = mask.Delete(cursor); break;
            case kLeft: cursor = mask.CursorLeft(cursor); break;
            case kRight: cursor = mask.CursorRight(cursor); break;
            case kHome: cursor = mask.FirstEditable(); break;
            case kEnd: cursor = mask.EndOfInput(); break;
            default: cursor = mask.Type(cursor, c); break;
        }
    }
    return cursor;
}

std::string RightTrimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    std::vector<std::uint8_t> out(512);
    unsigned count = 0;
    CHexCodec().HexToBytes(text, out.data(), out.size(), count);
    out.resize(count);
    return out;
}

TEST(HexMask, LayoutOfTheTwoFields) {
    struct Case {
        int groups;
        std::size_t maskLength;
        std::size_t textLength;
    };
    for (const Case& c : {Case{260, 1038, 779}, Case{80, 318, 239}, Case{1, 2, 2}, Case{0, 0, 0}, Case{-3, 0, 0}}) {
        SCOPED_TRACE(c.groups);
        const std::string mask = MakeHexMask(c.groups);
        EXPECT_EQ(mask.size(), c.maskLength);
        CMaskData data(mask);
        ASSERT_EQ(data.Length(), c.textLength);
        // An untouched field reads back as spaces only, literals included.
        EXPECT_EQ(data.Text(), std::string(c.textLength, ' '));
        EXPECT_TRUE(data.IsEmpty());
        for (std::size_t i = 0; i < data.Length(); ++i) EXPECT_EQ(data.IsEditable(i), i % 3 != 2) << i;
    }
    EXPECT_EQ(MakeHexMask(3), "AA\\ AA\\ AA");
}

struct EditCase {
    const char* name;
    std::string script;
    std::string text;  // without the trailing spaces
    std::size_t cursor;
};

class HexMaskEditing : public ::testing::TestWithParam<EditCase> {};

TEST_P(HexMaskEditing, TextAndCursor) {
    const EditCase& c = GetParam();
    CMaskData mask(MakeHexMask(4));
    const std::size_t cursor = RunScript(mask, 0, c.script);
    EXPECT_EQ(RightTrimmed(mask.Text()), c.text);
    EXPECT_EQ(mask.Text().size(), 11u) << "the text never changes length";
    EXPECT_EQ(cursor, c.cursor);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexMaskEditing,
    ::testing::Values(
        EditCase{"TypedGroupsSkipTheSpaces", "00a40400", "00 A4 04 00", 11},
        EditCase{"AnyLetterInUpperCase", "gZ", "GZ", 3},
        EditCase{"OtherCharactersRejected", std::string("0 -\t\xE9.1"), "01", 3},
        EditCase{"FullFieldRejectsMore", "0102030405", "01 02 03 04", 11},
        EditCase{"BackspaceJumpsTheSpace", std::string("00A4") + kBack + kBack, "00", 3},
        EditCase{"BackspaceAtStartDoesNothing", std::string(1, kBack) + "1", "1", 1},
        EditCase{"LeftSkipsSpaceThenOverwrites", std::string("00A4") + kLeft + kLeft + "F", "00 F4", 4},
        EditCase{"RightSkipsSpace", std::string(1, kRight) + kRight + "7", "   7", 4},
        EditCase{"DeleteLeavesAGap", std::string("00A404") + kHome + kRight + kRight + kDel, "00  4 04", 3},
        EditCase{"DeleteOnLastGroupEnd", std::string("01020304") + kDel, "01 02 03 04", 11},
        EditCase{"EndGoesAfterLastTyped", std::string("0102") + kHome + kEnd + "03", "01 02 03", 9},
        EditCase{"EndOnEmptyFieldIsStart", std::string(1, kEnd) + "A", "A", 1},
        EditCase{"HomeThenOverwrite", std::string("1234") + kHome + "ab", "AB 34", 3}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return info.param.name; });

TEST(HexMask, CursorNeverRestsOnALiteral) {
    CMaskData mask(MakeHexMask(3));  // positions 0 1 _ 3 4 _ 6 7
    EXPECT_EQ(mask.NormalizeCursor(2), 3u);
    EXPECT_EQ(mask.NormalizeCursor(5), 6u);
    EXPECT_EQ(mask.NormalizeCursor(8), 8u);
    EXPECT_EQ(mask.NormalizeCursor(500), 8u);
    EXPECT_EQ(mask.CursorLeft(3), 1u);
    EXPECT_EQ(mask.CursorLeft(0), 0u);
    EXPECT_EQ(mask.CursorRight(7), 8u);
    EXPECT_EQ(mask.CursorRight(8), 8u);
    // Typing on a literal position goes to the next group.
    EXPECT_EQ(mask.Type(2, '5'), 4u);
    EXPECT_EQ(mask.Text(), "   5    ");
}

TEST(HexMask, PasteWithOrWithoutSpaces) {
    struct Case {
        std::string pasted;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"00 A4 04 00", "00 A4 04 00"},
        {"00a40400", "00 A4 04 00"},
        {"0 a4 4", "00 A4 04"},
        {"00:A4,04-00", "00 A4 04 00"},
        {"00 A4\r\n04\t00", "00 A4 04 00"},
        {"123", "01 23"},
        {"  \r\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pasted);
        CMaskData mask(MakeHexMask(6));
        mask.Paste(0, c.pasted);
        EXPECT_EQ(RightTrimmed(mask.Text()), c.text);
    }
}

TEST(HexMask, PasteFromTheCursorAndBeyondTheEnd) {
    CMaskData mask(MakeHexMask(3));
    std::size_t cursor = mask.Paste(0, "AA");
    cursor = mask.Paste(cursor, "0102030405060708");  // only two groups are left
    EXPECT_EQ(mask.Text(), "AA 01 02");
    EXPECT_EQ(cursor, mask.Length());

    // A whole 80-byte field filled from a longer ATR keeps 80 bytes.
    CMaskData atr(MakeHexMask(ATR_MASK_GROUPS));
    atr.Paste(0, std::string(400, '3'));
    EXPECT_EQ(Bytes(atr.Text()), std::vector<std::uint8_t>(80, 0x33));
}

TEST(HexMask, TextReadsBackAsTheCodecExpects) {
    CMaskData mask(MakeHexMask(COMMAND_MASK_GROUPS));
    RunScript(mask, 0, "00a4040007a0000000041010");
    EXPECT_EQ(mask.Text().size(), 779u);
    EXPECT_EQ(Bytes(mask.Text()), (std::vector<std::uint8_t>{0x00, 0xA4, 0x04, 0x00, 0x07, 0xA0, 0x00, 0x00, 0x00,
                                                              0x04, 0x10, 0x10}));
    // An untyped field is no command at all.
    mask.Clear();
    EXPECT_TRUE(Bytes(mask.Text()).empty());
    // A full field is 260 bytes, the most the transmit path sends.
    mask.Paste(0, std::string(600, 'F'));
    EXPECT_EQ(Bytes(mask.Text()).size(), 260u);
}

TEST(HexMask, SetTextPlacesStoredText) {
    struct Case {
        std::string stored;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"00 A4 04 00 ", "00 A4 04 00"},
        {"00 a4", "00 A4"},
        {"00A4", "00 A4"},
        {" 5 A4", " 5 A4"},  // an untyped position stays untyped
        {"01 02 03 04 05 06 07 08", "01 02 03 04"},
        {"0#1", "01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        CMaskData mask(MakeHexMask(4));
        mask.SetText(c.stored);
        EXPECT_EQ(RightTrimmed(mask.Text()), c.text);
        // What the field shows, set again, is the same field.
        const std::string shown = mask.Text();
        mask.SetText(shown);
        EXPECT_EQ(mask.Text(), shown);
    }
}

TEST(HexMask, SelectionClearKeepsLiterals) {
    CMaskData mask(MakeHexMask(4));
    mask.SetText("11 22 33 44");
    EXPECT_EQ(mask.ClearRange(4, 8), 4u);
    EXPECT_EQ(mask.Text(), "11 2     44");
    EXPECT_EQ(mask.ClearRange(0, 1000), 0u);
    EXPECT_EQ(mask.Text(), std::string(11, ' '));
}

TEST(Mask, OtherLiteralsAndEscapes) {
    // Literals other than the space, an escaped A, and a dangling backslash.
    CMaskData mask("AA-\\AA\\");
    ASSERT_EQ(mask.Length(), 5u);
    EXPECT_EQ(mask.Text(), "  -A ");
    EXPECT_FALSE(mask.IsEditable(3));
    std::size_t cursor = mask.Type(0, '1');
    cursor = mask.Type(cursor, '2');
    cursor = mask.Type(cursor, '3');
    EXPECT_EQ(mask.Text(), "12-A3");
    EXPECT_EQ(cursor, 5u);
    mask.SetText("45-A6");
    EXPECT_EQ(mask.Text(), "45-A6");

    CMaskData empty("");
    EXPECT_EQ(empty.Type(0, '1'), 0u);
    EXPECT_EQ(empty.Backspace(0), 0u);
    EXPECT_EQ(empty.Paste(0, "0102"), 0u);
    EXPECT_EQ(empty.Text(), "");
}

}  // namespace
