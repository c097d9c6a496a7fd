// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include "widgets/DialogUnits.h"

namespace {

TEST(DialogUnits, RoundedLikeTheDialogManager) {
    struct Case {
        int du, base, x, y;
    };
    // x = du * base / 4, y = du * base / 8, halves rounded away from zero.
    for (const Case& c : {Case{0, 6, 0, 0}, Case{7, 6, 11, 5}, Case{375, 6, 563, 281}, Case{322, 13, 1047, 523},
                          Case{1, 13, 3, 2}, Case{-7, 6, -11, -5}, Case{48, 0, 0, 0}}) {
        SCOPED_TRACE(c.du);
        EXPECT_EQ(DialogXToPixels(c.du, c.base), c.x);
        EXPECT_EQ(DialogYToPixels(c.du, c.base), c.y);
    }
    // The main window's "Exit" button with Tahoma-like base units.
    EXPECT_EQ(DialogRectToPixels(QRect(7, 282, 54, 29), DialogBaseUnits{6, 13}), QRect(11, 458, 81, 47));
}

}  // namespace
