// SPDX-License-Identifier: BSD-3-Clause
// Every entry of the attribute menu: its identifier or vendor tag, its form,
// and a sample answer through that form, from tests/features/attributes.tsv.
#include <gtest/gtest.h>

#include <PCSC/pcsclite.h>

#include <array>
#include <string>
#include <vector>

#include "../tables/TableFile.h"
#include "console/ConsoleTexts.h"
#include "features/Attributes.h"

using namespace features;

namespace {

AttributeForm FormNamed(const std::string& name) {
    if (name == "Text") return AttributeForm::Text;
    if (name == "Number") return AttributeForm::Number;
    if (name == "Hex") return AttributeForm::Hex;
    return AttributeForm::HexReversed;
}

// The answer as a reader leaves it: a zero-filled buffer holding its bytes.
std::string Shown(AttributeForm form, const std::vector<std::uint8_t>& bytes, std::size_t size = 512) {
    std::vector<std::uint8_t> buffer(size, 0);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return FormatAttribute(form, buffer.data(), buffer.size(), bytes.size());
}

TEST(Attributes, EveryMenuEntryThroughItsForm) {
    const auto rows = tables::Load("attributes.tsv");
    ASSERT_EQ(rows.size(), 22u);
    std::size_t standard = 0;
    std::size_t vendor = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row[1]);
        const int command = static_cast<int>(tables::Number(row[2]));
        const AttributeForm form = FormNamed(row[4]);
        if (row[0] == "std") {
            ++standard;
            const auto a = FindStandardAttribute(command);
            ASSERT_TRUE(a.has_value());
            EXPECT_EQ(a->entry, row[1]);
            EXPECT_EQ(a->id, tables::Number(row[3]));
            EXPECT_EQ(a->form, form);
            EXPECT_FALSE(FindVendorAttribute(command).has_value());
        } else {
            ++vendor;
            const auto a = FindVendorAttribute(command);
            ASSERT_TRUE(a.has_value());
            EXPECT_EQ(a->entry, row[1]);
            EXPECT_EQ(a->tag, tables::Number(row[3]));
            EXPECT_EQ(a->form, form);
        }
        EXPECT_EQ(Shown(form, tables::Bytes(row[5])), row[6]);
    }
    EXPECT_EQ(StandardAttributes().size(), standard);
    EXPECT_EQ(VendorAttributes().size(), vendor);
}

TEST(Attributes, MenuAndTablesAgree) {
    // The console's menu offers each entry once, vendor entries marked.
    for (const console::MenuEntry& entry : console::AttributeMenu()) {
        SCOPED_TRACE(entry.text);
        const auto standard = FindStandardAttribute(entry.command);
        const auto vendor = FindVendorAttribute(entry.command);
        EXPECT_NE(standard.has_value(), vendor.has_value());
        EXPECT_EQ(vendor.has_value(), entry.vendor);
        EXPECT_EQ(standard ? standard->entry : vendor->entry, entry.text);
    }
}

TEST(Attributes, FormsKeepToTheBytesThereAre) {
    struct Case {
        const char* name;
        AttributeForm form;
        std::vector<std::uint8_t> bytes;
        std::string shown;
    };
    const Case cases[] = {
        // The "Channel ID" number is 4 bytes; other lengths show what came.
        {"channel id of 2 bytes", AttributeForm::HexReversed, {0x10, 0x20}, "20 10 "},
        {"channel id of 6 bytes", AttributeForm::HexReversed, {1, 2, 3, 4, 5, 6}, "06 05 04 03 02 01 "},
        {"channel id of nothing", AttributeForm::HexReversed, {}, ""},
        {"hex of nothing", AttributeForm::Hex, {}, ""},
        {"number of nothing", AttributeForm::Number, {}, "0"},
        {"number of one byte", AttributeForm::Number, {0x7F}, "127"},
        {"number ignores a fifth byte", AttributeForm::Number, {1, 0, 0, 0, 9}, "1"},
        {"text without terminator", AttributeForm::Text, {'A', 'B'}, "AB"},
    };
    for (const Case& c : cases) EXPECT_EQ(Shown(c.form, c.bytes), c.shown) << c.name;

    // A length claimed beyond the buffer is cut to the buffer.
    std::array<std::uint8_t, 4> small{1, 2, 3, 4};
    EXPECT_EQ(FormatAttribute(AttributeForm::HexReversed, small.data(), small.size(), 5000), "04 03 02 01 ");
    EXPECT_EQ(FormatAttribute(AttributeForm::Hex, small.data(), 2, 4), "01 02 ");
    EXPECT_EQ(FormatAttribute(AttributeForm::Number, small.data(), 2, 4), "513");
    EXPECT_EQ(FormatAttribute(AttributeForm::Text, nullptr, 10, 10), "");
    // A text filling the whole buffer ends with it.
    std::vector<std::uint8_t> full(255, 'Z');
    EXPECT_EQ(FormatAttribute(AttributeForm::Text, full.data(), full.size(), 0), std::string(255, 'Z'));
}

TEST(Attributes, StandardReadsAskForWhatThePlatformAccepts) {
    EXPECT_LE(StandardAnswerSize(), static_cast<std::size_t>(MAX_BUFFER_SIZE));
    EXPECT_GE(StandardAnswerSize(), 33u);  // room for an ATR-sized value
}

}  // namespace
