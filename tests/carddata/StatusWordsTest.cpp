// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <string>

#include "carddata/StatusWords.h"

namespace {

struct SwCase {
    unsigned sw1;
    unsigned sw2;
    std::string text;
};

class StatusWordCases : public ::testing::TestWithParam<SwCase> {};

TEST_P(StatusWordCases, SpellsOutTheWord) {
    EXPECT_EQ(StatusWordText(GetParam().sw1, GetParam().sw2), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatusWordCases,
    ::testing::Values(
        SwCase{0x90, 0x00, "90 00  ( Normal Processing. ) "},
        SwCase{0x90, 0x12, "90 12  ( Normal Processing. ) "},
        SwCase{0x61, 0x10, "61 10  ( 10h Response Byte(s) still available. ) "},
        SwCase{0x6C, 0x1A, "6C 1A  ( Wrong length Le: SW2 indicates the exact length. SW2 = 1Ah  ) "},
        SwCase{0x62, 0x83, "62 83  ( State of non-volatile memory unchanged.Selected file invalidated. ) "},
        SwCase{0x62, 0x00, "62 00  ( State of non-volatile memory unchanged. ) "},
        SwCase{0x63, 0x00, "63 00  ( State of non-volatile memory changed. ) "},
        SwCase{0x63, 0x81, "63 81  ( State of non-volatile memory changed.File filled up by the last write. ) "},
        SwCase{0x63, 0xC2,
               "63 C2  ( State of non-volatile memory changed.Counter provided by 'X' (valued from 0 to 15). ) "},
        SwCase{0x63, 0x01,
               "63 01  ( State of non-volatile memory changed.Counter provided by 'X' (valued from 0 to 15). ) "},
        SwCase{0x64, 0x81, "64 81  ( State of non-volatile memory unchanged. ) "},
        SwCase{0x65, 0x81, "65 81  ( State of non-volatile memory changed.Memory failure. ) "},
        SwCase{0x65, 0x00, "65 00  ( State of non-volatile memory changed. ) "},
        SwCase{0x66, 0x00,
               "66 00  ( Reserved for security-related issues (not defined in this part of ISO/IEC 7816) ) "},
        SwCase{0x67, 0x00, "67 00  ( Wrong length ) "},
        SwCase{0x68, 0x82, "68 82  ( Secure messaging not supported. ) "},
        SwCase{0x68, 0x00, "68 00  (  ) "},
        SwCase{0x69, 0x82, "69 82  ( Command not allowed.Security status not satisfied ) "},
        SwCase{0x69, 0x88, "69 88  ( Command not allowed.SM data objects incorrect ) "},
        SwCase{0x69, 0x00, "69 00  ( Command not allowed. ) "},
        SwCase{0x6A, 0x80, "6A 80  ( Wrong parameter(s) P1-P2.Incorrect parameters in the data field ) "},
        SwCase{0x6A, 0x82, "6A 82  ( Wrong parameter(s) P1-P2.File not found ) "},
        SwCase{0x6A, 0x89, "6A 89  ( Wrong parameter(s) P1-P2. ) "},
        SwCase{0x6B, 0x00, "6B 00  ( Wrong parameter(s) P1-P2 ) "},
        SwCase{0x6D, 0x00, "6D 00  ( Instruction code not supported or invalid ) "},
        SwCase{0x6E, 0x00, "6E 00  ( Class not supported ) "},
        SwCase{0x6F, 0xFF, "6F FF  ( No precise diagnosis ) "},
        SwCase{0x9F, 0x10, "9F 10  (  ) "},
        SwCase{0x00, 0x00, "00 00  (  ) "},
        SwCase{0x60, 0x00, "60 00  (  ) "},
        // Only the low 8 bits count.
        SwCase{0x190, 0x300, "90 00  ( Normal Processing. ) "}));

}  // namespace
