// SPDX-License-Identifier: BSD-3-Clause
// The control-code tables, the feature-list parser, the selection table and
// the dispatch order, against the tables under tests/features and the
// platform's <reader.h>.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "../tables/TableFile.h"
#include "features/ControlCodes.h"

using namespace features;

namespace {

std::vector<std::uint8_t> Record(std::uint8_t tag, std::uint8_t length, std::uint32_t code) {
    return {tag, length, static_cast<std::uint8_t>(code >> 24), static_cast<std::uint8_t>(code >> 16),
            static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)};
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(ControlCodes, FixedEntriesAreThePlatformCodesOfTheirNumbers) {
    const auto rows = tables::Load("control-codes.tsv");
    const auto fixed = FixedControls();
    ASSERT_EQ(fixed.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i][0]);
        EXPECT_EQ(fixed[i].text, rows[i][0]);
        EXPECT_EQ(fixed[i].hasCode, rows[i][1] != "-");
        if (rows[i][1] == "-") continue;
        const unsigned n = tables::Number(rows[i][1]);
        EXPECT_EQ(fixed[i].n, n);
        EXPECT_EQ(ControlCode(fixed[i].n), static_cast<std::uint32_t>(SCARD_CTL_CODE(n)));
        // The document's Windows numbers are 0x00310000 + 4n: the n agrees.
        EXPECT_EQ(0x00310000u + 4 * n, tables::Number(rows[i][2]));
    }
    EXPECT_EQ(ControlCode(kGetFeatureRequestN), static_cast<std::uint32_t>(CM_IOCTL_GET_FEATURE_REQUEST));
}

TEST(ControlCodes, FeatureNamesByTag) {
    for (const auto& row : tables::Load("feature-names.tsv")) {
        EXPECT_EQ(FeatureName(static_cast<std::uint8_t>(tables::Number(row[0]))), row[1]) << row[0];
    }
    // pcsc-lite's own tag numbers for the tags beyond the first seventeen.
    EXPECT_EQ(FeatureName(FEATURE_GET_TLV_PROPERTIES), "FEATURE_GET_TLV_PROPERTIES");
    EXPECT_EQ(FeatureName(FEATURE_CCID_ESC_COMMAND), "FEATURE_CCID_ESC_COMMAND");
    EXPECT_EQ(FeatureName(FEATURE_EXECUTE_PACE), "FEATURE_EXECUTE_PACE");
    EXPECT_EQ(FeatureName(FEATURE_IFD_DISPLAY_PROPERTIES), "FEATURE_IFD_DISPLAY_PROPERTIES");
}

struct ParseCase {
    const char* name;
    std::vector<std::uint8_t> answer;
    std::size_t count;
    std::map<std::uint8_t, std::uint32_t> slots;  // tags 0x01..0x11 expected non-zero
    bool polling;
};

TEST(FeatureTable, ParsesWholeSixByteRecords) {
    std::vector<std::uint8_t> full;
    for (int i = 0; i < 42; ++i) {
        const auto r = Record(static_cast<std::uint8_t>(1 + i % 0x11), 4, 0x42330000u + static_cast<unsigned>(i));
        full.insert(full.end(), r.begin(), r.end());
    }
    full.insert(full.end(), {0x05, 0x04, 0x42});  // a partial 43rd record
    ASSERT_EQ(full.size(), 255u);
    std::map<std::uint8_t, std::uint32_t> fullSlots;
    for (int i = 0; i < 42; ++i) fullSlots[static_cast<std::uint8_t>(1 + i % 0x11)] = 0x42330000u + i;

    const ParseCase cases[] = {
        {"empty answer", {}, 0, {}, false},
        {"one record", Record(0x06, 0x04, 0x42000034), 1, {{0x06, 0x42000034}}, false},
        {"the document's bytes", {0x06, 0x04, 0x42, 0x00, 0x00, 0x34}, 1, {{0x06, 0x42000034}}, false},
        {"five bytes are no record", {0x06, 0x04, 0x42, 0x00, 0x00}, 0, {}, false},
        {"length byte not 4", Concat({Record(0x0F, 0x02, 0x4233000F), Record(0x05, 0xFF, 0x42330005)}), 2,
         {{0x0F, 0x4233000F}, {0x05, 0x42330005}}, true},
        {"tag above 0x11 keeps no slot", Concat({Record(0x12, 4, 0x42330012), Record(0x20, 4, 0x42330020)}), 2, {},
         false},
        {"tag 0 keeps no slot", Record(0x00, 4, 0x42330000), 1, {}, false},
        {"a later record wins", Concat({Record(0x01, 4, 0x11111111), Record(0x01, 4, 0x22222222)}), 2,
         {{0x01, 0x22222222}}, false},
        {"code read big-endian", Record(0x10, 4, 0x01020304), 1, {{0x10, 0x01020304}}, false},
        {"255 bytes give 42 records", full, 42, fullSlots, true},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureTable table;
        table.m_featureCodes.fill(0xDEAD);  // a fresh parse replaces what an earlier one left
        table.m_keyPollingSupported = !c.polling;
        table.Parse(c.answer.data(), c.answer.size());
        EXPECT_EQ(table.Count(), c.count);
        EXPECT_EQ(table.m_featureList.size(), c.count);
        EXPECT_TRUE(table.m_listPresent);
        EXPECT_EQ(table.m_keyPollingSupported, c.polling);
        for (unsigned tag = 0; tag <= kLastTableTag; ++tag) {
            const auto it = c.slots.find(static_cast<std::uint8_t>(tag));
            EXPECT_EQ(table.m_featureCodes[tag], it == c.slots.end() ? 0u : it->second) << "slot " << tag;
        }
    }
}

TEST(FeatureTable, RecordsKeepTheirBytesAndUnknownTagsTheirCodes) {
    const auto answer = Concat({Record(0x12, 0x04, 0x42330012), Record(0x03, 0x07, 0x42330003)});
    FeatureTable table;
    table.Parse(answer.data(), answer.size());
    ASSERT_EQ(table.m_featureList.size(), 2u);
    EXPECT_EQ(table.m_featureList[0].tag, 0x12);
    EXPECT_EQ(table.m_featureList[1].length, 0x07);
    EXPECT_EQ(table.m_featureList[1].code, 0x42330003u);
    EXPECT_EQ(table.CodeOf(0x12), 0x42330012u);
    EXPECT_EQ(table.CodeOf(0x03), 0x42330003u);
    EXPECT_EQ(table.CodeOf(0x13), 0u);

    // A release frees the list only.
    table.Release();
    EXPECT_TRUE(table.m_featureList.empty());
    EXPECT_FALSE(table.m_listPresent);
    EXPECT_EQ(table.CodeOf(0x03), 0x42330003u);
    EXPECT_EQ(table.CodeOf(0x12), 0x42330012u);
}

TEST(FeatureTable, NeverReadsPastTheAnswerBuffer) {
    // A reader claiming more than the largest buffer: only the buffer counts.
    std::vector<std::uint8_t> answer(kFeatureListMaxSize, 0x05);
    FeatureTable table;
    table.Parse(answer.data(), 100000);
    EXPECT_EQ(table.Count(), 255);
    table.Parse(nullptr, 12);
    EXPECT_EQ(table.Count(), 0);
}

FeatureWindow WindowNamed(const std::string& name) {
    static const std::map<std::string, FeatureWindow> names = {
        {"none", FeatureWindow::None},
        {"verify-pin", FeatureWindow::VerifyPin},
        {"modify-pin", FeatureWindow::ModifyPin},
        {"get-key-pressed", FeatureWindow::GetKeyPressed},
        {"pin-properties", FeatureWindow::PinProperties},
        {"spe-message", FeatureWindow::SpeMessage},
        {"write-display", FeatureWindow::WriteDisplay},
        {"get-key", FeatureWindow::GetKey},
        {"display-properties", FeatureWindow::DisplayProperties},
    };
    return names.at(name);
}

TEST(Selection, EveryRowOfTheSelectionTable) {
    // Every tag reported, each with its own code.
    FeatureTable table;
    std::vector<std::uint8_t> answer;
    for (unsigned tag : {0x01u, 0x02u, 0x03u, 0x04u, 0x05u, 0x06u, 0x07u, 0x08u, 0x09u, 0x0Au, 0x0Bu, 0x0Cu, 0x0Du,
                         0x0Eu, 0x0Fu, 0x10u, 0x11u, 0x12u, 0x13u, 0x20u, 0x21u, 0x7Eu}) {
        const auto r = Record(static_cast<std::uint8_t>(tag), 4, 0x4A000000u + tag);
        answer.insert(answer.end(), r.begin(), r.end());
    }
    table.Parse(answer.data(), answer.size());
    for (const auto& row : tables::Load("selection.tsv")) {
        SCOPED_TRACE(row[0]);
        const Selection s = SelectControl(row[0], table);
        EXPECT_EQ(s.setsCode, row[1] != "-");
        if (row[1].rfind("tag:", 0) == 0) {
            EXPECT_EQ(s.code, 0x4A000000u + tables::Number("0x" + row[1].substr(4)));
        } else if (row[1] != "-") {
            EXPECT_EQ(s.code, static_cast<std::uint32_t>(SCARD_CTL_CODE(tables::Number(row[1]))));
        }
        EXPECT_EQ(s.clearFields, row[2] == "yes");
        EXPECT_EQ(s.window, WindowNamed(row[3]));
        EXPECT_EQ(s.withKeyHistory, row[4] == "yes");
    }
}

TEST(Selection, AnUnknownTagNeverStandsForAKnownFeature) {
    // Only an unknown tag reported: its entry selects its own code, and the
    // known names select no code of it.
    const auto answer = Record(0x33, 4, 0x42330033);
    FeatureTable table;
    table.Parse(answer.data(), answer.size());
    EXPECT_EQ(SelectControl("FEATURE_0x33", table).code, 0x42330033u);
    for (std::uint8_t tag = 0x01; tag <= kLastTableTag; ++tag) {
        EXPECT_EQ(SelectControl(FeatureName(tag), table).code, 0u) << FeatureName(tag);
    }
    EXPECT_EQ(DispatchControl(0x42330033, table), ControlPath::Generic);
}

TEST(Dispatch, TestsInTheirOrder) {
    const auto answer = Concat({Record(0x01, 4, 0x42330001), Record(0x03, 4, 0x42330003),
                                Record(0x06, 4, 0x42330006), Record(0x07, 4, 0x42330007),
                                Record(0x0F, 4, 0x4233000F)});
    FeatureTable table;
    table.Parse(answer.data(), answer.size());
    struct Case {
        std::uint32_t code;
        ControlPath path;
    };
    const Case cases[] = {
        {static_cast<std::uint32_t>(SCARD_CTL_CODE(2058)), ControlPath::VendorVerifyPin},
        {static_cast<std::uint32_t>(SCARD_CTL_CODE(2061)), ControlPath::VendorModifyPin},
        {0x42330006, ControlPath::PcscVerifyPin},
        {0x42330001, ControlPath::PcscVerifyPin},
        {0x42330007, ControlPath::PcscModifyPin},
        {0x42330003, ControlPath::PcscModifyPin},
        {0x4233000F, ControlPath::Generic},
        {static_cast<std::uint32_t>(SCARD_CTL_CODE(2048)), ControlPath::Generic},
        {0, ControlPath::Generic},  // tags not reported have no code to match
    };
    for (const Case& c : cases) EXPECT_EQ(DispatchControl(c.code, table), c.path) << std::hex << c.code;

    // A reader reporting the vendor verify code for its own PIN feature:
    // the vendor path is tested first.
    const auto clash = Record(0x06, 4, static_cast<std::uint32_t>(SCARD_CTL_CODE(2058)));
    table.Parse(clash.data(), clash.size());
    EXPECT_EQ(DispatchControl(static_cast<std::uint32_t>(SCARD_CTL_CODE(2058)), table), ControlPath::VendorVerifyPin);
    // The initial control code of the console is the vendor verify code.
    FeatureTable none;
    EXPECT_EQ(DispatchControl(ControlCode(kVendorVerifyPinN), none), ControlPath::VendorVerifyPin);
}

TEST(ListTexts, CapitalsCaseBlindOrder) {
    struct Case {
        const char* text;
        const char* shown;
    };
    for (const Case& c : {Case{"Select an IOCTL", "SELECT AN IOCTL"}, Case{"FEATURE_0x2A", "FEATURE_0x2A"},
                          Case{"feature_get_key", "FEATURE_GET_KEY"}}) {
        EXPECT_EQ(ListText(c.text), c.shown);
    }
    EXPECT_TRUE(SameListText("Select an IOCTL", "SELECT AN IOCTL"));
    EXPECT_FALSE(SameListText("FEATURE_GET_KEY", "FEATURE_GET_KEY_PRESSED"));
    EXPECT_TRUE(ListTextBefore("FEATURE_GET_KEY", "feature_get_key_pressed"));
    EXPECT_TRUE(ListTextBefore("ioctl_x", "SELECT"));
    EXPECT_FALSE(ListTextBefore("IOCTL", "ioctl"));
}

TEST(ControlInput, AtMostTheInputBuffer) {
    struct Case {
        std::size_t bytes;
        bool accepted;
    };
    for (const Case& c : {Case{0, true}, Case{1, true}, Case{255, true}, Case{256, true}, Case{257, false},
                          Case{400, false}}) {
        std::string text;
        for (std::size_t i = 0; i < c.bytes; ++i) text += "A5 ";
        std::vector<std::uint8_t> bytes{1, 2, 3};
        EXPECT_EQ(ControlInput(text, bytes), c.accepted) << c.bytes;
        EXPECT_EQ(bytes.size(), c.accepted ? c.bytes : 0u) << c.bytes;
        if (c.accepted && c.bytes > 0) {
            EXPECT_EQ(bytes.back(), 0xA5);
        }
    }
    // Single digits are bytes too, and the blanks of the masked field do not count.
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ControlInput("1 2 0F" + std::string(100, ' '), bytes));
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x01, 0x02, 0x0F}));
}

}  // namespace
