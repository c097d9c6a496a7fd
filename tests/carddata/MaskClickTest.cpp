// SPDX-License-Identifier: BSD-3-Clause
// Where a click leaves the cursor of a masked field: on the first untyped
// position when it lies at or before the click, else on the clicked position.
#include <gtest/gtest.h>

#include <string>

#include "carddata/MaskData.h"

namespace {

struct ClickCase {
    const char* name;
    const char* text;  // as the field shows it; positions 2, 5 and 8 are the fixed spaces
    std::size_t click;
    std::size_t cursor;
};

class MaskClick : public testing::TestWithParam<ClickCase> {};

TEST_P(MaskClick, PutsTheCursorWhereTypingGoesOn) {
    CMaskData mask(MakeHexMask(4));  // "AA\ AA\ AA\ AA": 11 characters
    mask.SetText(GetParam().text);
    EXPECT_EQ(mask.ClickPosition(GetParam().click), GetParam().cursor);
    // Typing from there fills the position the cursor rests on.
    const std::size_t at = mask.ClickPosition(GetParam().click);
    if (at < mask.Length()) {
        mask.Type(at, 'F');
        EXPECT_EQ(mask.Text()[at], 'F');
    }
}

INSTANTIATE_TEST_SUITE_P(
    Field, MaskClick,
    testing::Values(ClickCase{"EmptyAtTheStart", "", 0, 0},
                    ClickCase{"EmptyInTheMiddle", "", 7, 0},
                    ClickCase{"EmptyPastTheEnd", "", 11, 0},
                    ClickCase{"EmptyFarBeyond", "", 5000, 0},
                    ClickCase{"PastTheTypedDigits", "00 A4", 11, 6},
                    ClickCase{"OnTheLastTypedDigit", "00 A4", 4, 4},
                    ClickCase{"OnTheFirstFreeDigit", "00 A4", 6, 6},
                    ClickCase{"OnALiteralInsideTheDigits", "00 A4", 2, 3},
                    ClickCase{"OnAHalfTypedGroup", "00 A", 10, 4},
                    ClickCase{"IntoAGapLeftByADeletion", "00    04", 10, 3},
                    ClickCase{"BeforeAGap", "00    04", 1, 1},
                    ClickCase{"FullFieldAtTheEnd", "00 11 22 33", 11, 11},
                    ClickCase{"FullFieldOnALiteral", "00 11 22 33", 5, 6}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
