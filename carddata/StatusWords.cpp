// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/StatusWords.h"

#include <array>
#include <cstdio>

namespace {

struct Sw2Text {
    unsigned sw2;
    const char* text;
};

// One row per SW1 that has a meaning. The description is the base text
// directly followed by the SW2 text of a listed SW2, or by otherText for any
// SW2 not listed.
struct Sw1Row {
    unsigned sw1;
    const char* base;
    const Sw2Text* sw2Texts;
    std::size_t sw2Count;
    const char* otherText;
};

constexpr const char kUnchanged[] = "State of non-volatile memory unchanged.";
constexpr const char kChanged[] = "State of non-volatile memory changed.";
constexpr const char kNotAllowed[] = "Command not allowed.";
constexpr const char kWrongP1P2[] = "Wrong parameter(s) P1-P2.";

constexpr Sw2Text k62[] = {
    {0x81, "Part of returned data may be corrupted."},
    {0x82, "End of file/record reached before reading Le bytes."},
    {0x83, "Selected file invalidated."},
    {0x84, "FCI not formatted according to 1.1.5."},
};
constexpr Sw2Text k63[] = {
    {0x00, ""},
    {0x81, "File filled up by the last write."},
};
constexpr Sw2Text k65[] = {
    {0x81, "Memory failure."},
};
constexpr Sw2Text k68[] = {
    {0x81, "Logical channel not supported."},
    {0x82, "Secure messaging not supported."},
};
constexpr Sw2Text k69[] = {
    {0x81, "Command incompatible with file structure"},
    {0x82, "Security status not satisfied"},
    {0x83, "Authentication method blocked"},
    {0x84, "Referenced data invalidated"},
    {0x85, "Conditions of use not satisfied"},
    {0x86, "Command not allowed (no current EF)"},
    {0x87, "Expected SM data objects missing"},
    {0x88, "SM data objects incorrect"},
};
constexpr Sw2Text k6A[] = {
    {0x80, "Incorrect parameters in the data field"},
    {0x81, "Function not supported"},
    {0x82, "File not found"},
    {0x83, "Record not found"},
    {0x84, "Not enough memory space in the file"},
    {0x85, "Lc inconsistent with TLV structure"},
    {0x86, "Incorrect parameters P1-P2"},
    {0x87, "Lc inconsistent with P1-P2"},
    {0x88, "Referenced data not found"},
};

template <std::size_t N>
constexpr Sw1Row Row(unsigned sw1, const char* base, const Sw2Text (&texts)[N], const char* other = "") {
    return {sw1, base, texts, N, other};
}
constexpr Sw1Row Row(unsigned sw1, const char* base) { return {sw1, base, nullptr, 0, ""}; }

// 61 and 6C carry SW2 as a number and are formatted apart.
constexpr std::array<Sw1Row, 14> kRows{{
    Row(0x62, kUnchanged, k62),
    Row(0x63, kChanged, k63, "Counter provided by 'X' (valued from 0 to 15)."),
    Row(0x64, kUnchanged),
    Row(0x65, kChanged, k65),
    Row(0x66, "Reserved for security-related issues (not defined in this part of ISO/IEC 7816)"),
    Row(0x67, "Wrong length"),
    Row(0x68, "", k68),
    Row(0x69, kNotAllowed, k69),
    Row(0x6A, kWrongP1P2, k6A),
    Row(0x6B, "Wrong parameter(s) P1-P2"),
    Row(0x6D, "Instruction code not supported or invalid"),
    Row(0x6E, "Class not supported"),
    Row(0x6F, "No precise diagnosis"),
    Row(0x90, "Normal Processing."),
}};

std::string Description(unsigned sw1, unsigned sw2) {
    char number[96];
    if (sw1 == 0x61) {
        std::snprintf(number, sizeof number, "%02Xh Response Byte(s) still available.", sw2);
        return number;
    }
    if (sw1 == 0x6C) {
        std::snprintf(number, sizeof number, "Wrong length Le: SW2 indicates the exact length. SW2 = %02Xh ", sw2);
        return number;
    }
    for (const Sw1Row& row : kRows) {
        if (row.sw1 != sw1) continue;
        std::string text = row.base;
        for (std::size_t i = 0; i < row.sw2Count; ++i) {
            if (row.sw2Texts[i].sw2 == sw2) return text + row.sw2Texts[i].text;
        }
        return text + row.otherText;
    }
    return {};
}

}  // namespace

std::string StatusWordText(unsigned sw1, unsigned sw2) {
    sw1 &= 0xFF;
    sw2 &= 0xFF;
    char word[8];
    std::snprintf(word, sizeof word, "%02X %02X ", sw1, sw2);
    return std::string(word) + " ( " + Description(sw1, sw2) + " ) ";
}
