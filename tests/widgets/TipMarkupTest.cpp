// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "widgets/TipMarkup.h"

namespace {

TEST(TipMarkup, RenderedAndStripped) {
    struct Case {
        std::string markup;
        std::string html;
        std::string plain;
    };
    const std::vector<Case> cases = {
        {"<h0>Leave Application.", "<p style=\"white-space:nowrap\"><b>Leave Application.</b></p>", "Leave Application."},
        {"<H0>Title</h0>body", "<p style=\"white-space:nowrap\"><b>Title</b><br/>body</p>", "Titlebody"},
        {"<h0>Send a APDU command to the SmartCard.", "<p style=\"white-space:nowrap\"><b>Send a APDU command to the SmartCard.</b></p>",
         "Send a APDU command to the SmartCard."},
        {"a<b>b</b><i>i</i><u>u</u><br>c<hr>", "<p style=\"white-space:nowrap\">a<b>b</b><i>i</i><u>u</u><br/>c<hr/></p>", "abiu\nc"},
        // Anything else is text, never markup for the renderer.
        {"<img src=\"x\">", "<p style=\"white-space:nowrap\">&lt;img src=&quot;x&quot;&gt;</p>", "<img src=\"x\">"},
        {"a & b < c", "<p style=\"white-space:nowrap\">a &amp; b &lt; c</p>", "a & b < c"},
        {"<h0", "<p style=\"white-space:nowrap\">&lt;h0</p>", "<h0"},
        {"", "<p style=\"white-space:nowrap\"></p>", ""},
        // Code page 1252: the apostrophe 0x92 is the right single quote.
        {"<h0>Card won\x92t answer", "<p style=\"white-space:nowrap\"><b>Card won\xE2\x80\x99t answer</b></p>", "Card won\xE2\x80\x99t answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.markup);
        EXPECT_EQ(TipMarkupToHtml(c.markup), c.html);
        EXPECT_EQ(TipMarkupToPlain(c.markup), c.plain);
    }
}

}  // namespace
