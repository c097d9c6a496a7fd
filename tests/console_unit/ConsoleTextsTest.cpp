// SPDX-License-Identifier: BSD-3-Clause
// The console's tables: controls that the window cannot show, tooltips for
// controls that do not exist, and the reader-list label of a reader whose
// features were found.
#include <gtest/gtest.h>

#include <set>

#include "console/ConsoleTexts.h"

using namespace console;

namespace {

TEST(ConsoleTexts, EveryControlIsUniqueAndInsideTheWindow) {
    std::set<int> ids;
    for (const ControlSpec& c : ConsoleControls()) {
        EXPECT_TRUE(ids.insert(c.id).second) << "identifier " << c.id << " twice";
        EXPECT_GT(c.rect.width, 0) << c.id;
        EXPECT_GT(c.rect.height, 0) << c.id;
        EXPECT_LE(c.rect.x + c.rect.width, kDialogWidthDu) << c.id;
        // A drop-down list's height is that of its open list, which may reach past the window.
        if (c.kind != ControlKind::DropDownList) {
            EXPECT_LE(c.rect.y + c.rect.height, kDialogHeightDu) << c.id;
        }
    }
    EXPECT_EQ(ids.size(), 34u);
}

TEST(ConsoleTexts, EveryTooltipBelongsToAControlAndHasItsTag) {
    std::set<int> ids;
    for (const ControlSpec& c : ConsoleControls()) ids.insert(c.id);
    for (const ToolTipSpec& tip : ConsoleToolTips()) {
        EXPECT_TRUE(ids.count(tip.controlId)) << tip.controlId;
        EXPECT_EQ(tip.text.substr(0, 4), "<h0>") << tip.controlId;
        EXPECT_EQ(LoadString(tip.stringId), tip.text);
    }
}

TEST(ConsoleTexts, SystemMenuStringsExist) {
    for (const SysMenuEntry& entry : SystemMenuEntries()) {
        if (entry.command != 0) {
            EXPECT_FALSE(LoadString(entry.stringId).empty()) << entry.stringId;
        }
    }
    EXPECT_EQ(LoadString(IDS_VERSION), "Version 2.0.0.0 / June 2010");
    EXPECT_TRUE(LoadString(4242).empty());
}

TEST(ConsoleTexts, ReaderLabelsAndMakerNames) {
    struct Case {
        std::string_view name;
        int features;
        std::string_view label;
    };
    for (const Case& c : {Case{"Bench Sim Reader 00 00", 3, "Bench Sim Reader 00 00 PCSC V2 with 3 Feature(s)"},
                          Case{"", 0, " PCSC V2 with 0 Feature(s)"},
                          Case{"R", 255, "R PCSC V2 with 255 Feature(s)"}}) {
        EXPECT_EQ(ReaderWithFeatures(c.name, c.features), c.label);
    }
    // A reader name longer than the formatting buffer keeps its suffix whole.
    const std::string longName(99, 'N');
    EXPECT_EQ(ReaderWithFeatures(longName, 12), longName + " PCSC V2 with 12 Feature(s)");

    EXPECT_TRUE(IsMakerText("TAV Bench PinPad"));
    EXPECT_TRUE(IsMakerText("Reader of tav"));
    EXPECT_FALSE(IsMakerText("Bench Sim Reader 00 00"));
    EXPECT_FALSE(IsMakerText(""));
}

}  // namespace
