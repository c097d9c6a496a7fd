// SPDX-License-Identifier: BSD-3-Clause
// The core's tables and rules against the documents' tables (the files
// beside this one): every status word, every TA1 byte, every result code,
// the console's controls and tooltips, and both sides of each limit of the
// ATR acceptance rules.
#include <gtest/gtest.h>

#include <PCSC/pcsclite.h>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TableFile.h"
#include "carddata/AtrAnalyser.h"
#include "carddata/StatusWords.h"
#include "console/ConsoleTexts.h"
#include "readerlink/ResultText.h"

namespace {

using tables::Load;
using tables::Number;
using tables::Row;

// "%02X" in a table text stands for SW2.
std::string WithSw2(std::string text, unsigned sw2) {
    const std::size_t at = text.find("%02X");
    if (at == std::string::npos) return text;
    char digits[12];
    std::snprintf(digits, sizeof digits, "%02X", sw2);
    return text.replace(at, 4, digits);
}

// The description of SW1 SW2 as the table gives it: the SW1's rows, an
// exact SW2 first, then "any", then "other"; an SW1 without rows takes "rest".
std::string Describe(const std::vector<Row>& rows, unsigned sw1, unsigned sw2) {
    char hex1[12], hex2[12];
    std::snprintf(hex1, sizeof hex1, "%02X", sw1);
    std::snprintf(hex2, sizeof hex2, "%02X", sw2);
    const Row* exact = nullptr;
    const Row* any = nullptr;
    const Row* other = nullptr;
    const Row* rest = nullptr;
    for (const Row& row : rows) {
        if (row[0] == "rest") rest = &row;
        if (row[0] != hex1) continue;
        if (row[1] == hex2) exact = &row;
        if (row[1] == "any") any = &row;
        if (row[1] == "other") other = &row;
    }
    const Row* row = exact ? exact : any ? any : other ? other : rest;
    if (row == nullptr) return "<no row>";
    return WithSw2((*row)[2], sw2) + WithSw2((*row)[3], sw2);
}

TEST(DocumentTables, EveryStatusWordReadsAsTheTableSays) {
    const std::vector<Row> rows = Load("status-words.tsv");
    ASSERT_EQ(rows.size(), 43u) << "status-words.tsv";
    int wrong = 0;
    for (unsigned sw1 = 0; sw1 < 256; ++sw1) {
        for (unsigned sw2 = 0; sw2 < 256; ++sw2) {
            char word[24];
            std::snprintf(word, sizeof word, "%02X %02X ", sw1, sw2);
            const std::string expected = std::string(word) + " ( " + Describe(rows, sw1, sw2) + " ) ";
            const std::string text = StatusWordText(sw1, sw2);
            if (text != expected && ++wrong <= 20) ADD_FAILURE() << "got      " << text << "\nexpected " << expected;
        }
    }
    EXPECT_EQ(wrong, 0) << "status words that differ from the table";
}

TEST(DocumentTables, EveryTa1ByteGivesItsDiAndFiTexts) {
    std::map<unsigned, std::string> di, fi;
    for (const Row& row : Load("fi-di.tsv")) (row[0] == "DI" ? di : fi)[Number(row[1])] = row[2];
    ASSERT_EQ(di.size(), 16u);
    ASSERT_EQ(fi.size(), 16u);
    for (unsigned ta1 = 0; ta1 < 256; ++ta1) {
        const std::uint8_t atr[] = {0x3B, 0x10, static_cast<std::uint8_t>(ta1)};
        CAtrAnalyser analyser;
        analyser.Analyse(atr, sizeof atr);
        EXPECT_EQ(analyser.m_taText[0], di[ta1 & 0x0F] + fi[ta1 >> 4]) << "TA1 = " << ta1;
    }
}

// The PC/SC names of the table, as pcsc-lite's header defines them: the
// table's codes must be the resource manager's.
const std::map<std::string, std::uint32_t> kPcscNames = {
#define NAME(n) {#n, static_cast<std::uint32_t>(n)}
    NAME(SCARD_S_SUCCESS), NAME(SCARD_STATE_IGNORE), NAME(SCARD_STATE_UNAVAILABLE), NAME(SCARD_STATE_EMPTY),
    NAME(SCARD_STATE_PRESENT), NAME(SCARD_STATE_EXCLUSIVE), NAME(SCARD_F_INTERNAL_ERROR), NAME(SCARD_E_CANCELLED),
    NAME(SCARD_E_INVALID_HANDLE), NAME(SCARD_E_INVALID_PARAMETER), NAME(SCARD_E_INVALID_TARGET),
    NAME(SCARD_E_NO_MEMORY), NAME(SCARD_F_WAITED_TOO_LONG), NAME(SCARD_E_INSUFFICIENT_BUFFER),
    NAME(SCARD_E_UNKNOWN_READER), NAME(SCARD_E_TIMEOUT), NAME(SCARD_E_SHARING_VIOLATION),
    NAME(SCARD_E_NO_SMARTCARD), NAME(SCARD_E_UNKNOWN_CARD), NAME(SCARD_E_CANT_DISPOSE),
    NAME(SCARD_E_PROTO_MISMATCH), NAME(SCARD_E_NOT_READY), NAME(SCARD_E_INVALID_VALUE),
    NAME(SCARD_E_SYSTEM_CANCELLED), NAME(SCARD_F_COMM_ERROR), NAME(SCARD_F_UNKNOWN_ERROR),
    NAME(SCARD_E_INVALID_ATR), NAME(SCARD_E_NOT_TRANSACTED), NAME(SCARD_E_READER_UNAVAILABLE),
    NAME(SCARD_E_PCI_TOO_SMALL), NAME(SCARD_E_READER_UNSUPPORTED), NAME(SCARD_E_DUPLICATE_READER),
    NAME(SCARD_E_CARD_UNSUPPORTED), NAME(SCARD_E_NO_SERVICE), NAME(SCARD_E_SERVICE_STOPPED),
    NAME(SCARD_W_UNSUPPORTED_CARD), NAME(SCARD_W_UNRESPONSIVE_CARD), NAME(SCARD_W_UNPOWERED_CARD),
    NAME(SCARD_W_RESET_CARD), NAME(SCARD_W_REMOVED_CARD),
#undef NAME
};

TEST(DocumentTables, EveryResultCodeGivesItsTextAndEveryOtherTheUnknownText) {
    std::map<std::uint32_t, std::string> described;
    std::string unknownFormat;
    std::uint32_t keep = 0;
    for (const Row& row : Load("result-texts.tsv")) {
        if (row[0] == "unknown") {
            unknownFormat = row[2];
        } else if (row[2] == "keep") {
            keep = static_cast<std::uint32_t>(Number(row[0]));
        } else {
            const auto code = static_cast<std::uint32_t>(Number(row[0]));
            described[code] = row[2];
            ASSERT_TRUE(kPcscNames.count(row[1])) << row[1];
            EXPECT_EQ(kPcscNames.at(row[1]), code) << row[1] << " in result-texts.tsv";
        }
    }
    ASSERT_EQ(described.size(), 40u);
    ASSERT_FALSE(unknownFormat.empty());

    for (const auto& [code, expected] : described) {
        std::string text = "left over";
        EXPECT_EQ(GetResultText(code, text), 0) << std::hex << code;
        EXPECT_EQ(text, expected) << std::hex << code;
    }
    std::string kept = "OK";
    EXPECT_EQ(GetResultText(keep, kept), 0);
    EXPECT_EQ(kept, "OK");

    // Around and between the described codes, and the link's missing handle.
    std::set<std::uint32_t> others = {0x2, 0x4, 0x40, 0x100, 0x1FFFFFFF, 0x20000001, 0x80100000, 0xFFFFFFFF};
    for (std::uint32_t code = 0x80100000; code < 0x80100080; ++code) others.insert(code);
    for (std::uint32_t code : others) {
        if (described.count(code) || code == keep) continue;
        char expected[96];
        std::snprintf(expected, sizeof expected, unknownFormat.c_str(), code);
        std::string text;
        EXPECT_EQ(GetResultText(code, text), 1) << std::hex << code;
        EXPECT_EQ(text, expected);
    }
}

struct KindName {
    const char* document;
    console::ControlKind kind;
};
const KindName kKinds[] = {
    {"push button", console::ControlKind::PushButton},
    {"drop-down button", console::ControlKind::DropDownButton},
    {"drop-down icon button", console::ControlKind::DropDownIconButton},
    {"icon button", console::ControlKind::IconButton},
    {"check box", console::ControlKind::CheckBox},
    {"radio button, first of a group", console::ControlKind::RadioButtonFirst},
    {"radio button", console::ControlKind::RadioButton},
    {"label", console::ControlKind::Label},
    {"edit", console::ControlKind::Edit},
    {"edit, several lines, upper case", console::ControlKind::EditMultiUpper},
    {"edit, several lines, vertical scroll bar", console::ControlKind::EditMultiScroll},
    {"drop-down list", console::ControlKind::DropDownList},
    {"tree", console::ControlKind::Tree},
    {"picture", console::ControlKind::Picture},
};

TEST(DocumentTables, TheConsoleControlsAreTheWindowTable) {
    const std::vector<Row> rows = Load("console-controls.tsv");
    ASSERT_EQ(rows.size(), 34u);
    const auto controls = console::ConsoleControls();
    ASSERT_EQ(controls.size(), rows.size());
    for (const Row& row : rows) {
        const int id = std::stoi(row[0]);
        SCOPED_TRACE("control " + row[0]);
        const console::ControlSpec* control = nullptr;
        for (const console::ControlSpec& c : controls)
            if (c.id == id) control = &c;
        ASSERT_NE(control, nullptr);
        bool kindFound = false;
        for (const KindName& k : kKinds) {
            if (row[1] == k.document) {
                kindFound = true;
                EXPECT_EQ(control->kind, k.kind) << row[1];
            }
        }
        EXPECT_TRUE(kindFound) << row[1];
        EXPECT_EQ(control->text, row[2]);
        EXPECT_EQ(control->rect.x, std::stoi(row[3]));
        EXPECT_EQ(control->rect.y, std::stoi(row[4]));
        EXPECT_EQ(control->rect.width, std::stoi(row[5]));
        EXPECT_EQ(control->rect.height, std::stoi(row[6]));
        EXPECT_EQ(control->visible, row[7] == "shown");
        if (row[8] != "-") {
            EXPECT_EQ(control->enabled, row[8] == "enabled");
        }
    }
}

TEST(DocumentTables, TheConsoleTooltipsAreTheTooltipTable) {
    const std::vector<Row> rows = Load("console-tooltips.tsv");
    ASSERT_EQ(rows.size(), 19u);
    const auto tips = console::ConsoleToolTips();
    ASSERT_EQ(tips.size(), rows.size());
    for (const Row& row : rows) {
        const int control = std::stoi(row[0]);
        const int stringId = std::stoi(row[1]);
        SCOPED_TRACE("control " + row[0]);
        int found = 0;
        for (const console::ToolTipSpec& tip : tips) {
            if (tip.controlId != control) continue;
            ++found;
            EXPECT_EQ(tip.stringId, stringId);
            EXPECT_EQ(tip.text, row[2]);
        }
        EXPECT_EQ(found, 1);
        EXPECT_EQ(console::LoadString(stringId), row[2]) << "string " << stringId;
    }
}

// One ATR on each side of each limit of the acceptance rules.
struct AtrCase {
    const char* name;
    std::vector<std::uint8_t> atr;
    int result;
};

void PrintTo(const AtrCase& c, std::ostream* out) { *out << c.name; }

class AcceptanceLimits : public testing::TestWithParam<AtrCase> {};

TEST_P(AcceptanceLimits, JudgeTheAtr) {
    const std::vector<std::uint8_t>& atr = GetParam().atr;
    EXPECT_EQ(CheckAtr(atr.data(), atr.size()), GetParam().result);
}

constexpr int kPass = 0;
constexpr int kFail = 200;

INSTANTIATE_TEST_SUITE_P(
    Rules, AcceptanceLimits,
    testing::Values(
        // TA1 and TC1 are any value.
        AtrCase{"Ta1AnyValue", {0x3B, 0x10, 0xFF}, kPass},
        AtrCase{"Tc1AnyValueWithoutT1", {0x3B, 0x40, 0xFF}, kPass},
        // TB1 must be 0x00.
        AtrCase{"Tb1Zero", {0x3B, 0x20, 0x00}, kPass},
        AtrCase{"Tb1One", {0x3B, 0x20, 0x01}, kFail},
        // TD1 announces T=0 or T=1.
        AtrCase{"Td1T1", {0x3B, 0x80, 0x81, 0x21, 0x45}, kPass},
        AtrCase{"Td1T2", {0x3B, 0x80, 0x82, 0x21, 0x45}, kFail},
        // TA2: bit 0x10 clear, low nibble at most 1 and equal to T1.
        AtrCase{"Ta2Bit10Clear", {0x3B, 0x80, 0x10, 0x00}, kPass},
        AtrCase{"Ta2Bit10Set", {0x3B, 0x80, 0x10, 0x10}, kFail},
        AtrCase{"Ta2OtherHighBitsFree", {0x3B, 0x80, 0x10, 0x80}, kPass},
        AtrCase{"Ta2NibbleOneWithT1", {0x3B, 0x80, 0x91, 0x01, 0x21, 0x45}, kPass},
        AtrCase{"Ta2NibbleTwoWithT1", {0x3B, 0x80, 0x91, 0x02, 0x21, 0x45}, kFail},
        AtrCase{"Ta2NibbleZeroWithT1", {0x3B, 0x80, 0x91, 0x00, 0x21, 0x45}, kFail},
        // TB2 must be absent.
        AtrCase{"Tb2Absent", {0x3B, 0x80, 0x00}, kPass},
        AtrCase{"Tb2Present", {0x3B, 0x80, 0x20, 0x00}, kFail},
        // TC2 is not 0x00 when T1 is 0.
        AtrCase{"Tc2OneWithT0", {0x3B, 0x80, 0x40, 0x01}, kPass},
        AtrCase{"Tc2ZeroWithT0", {0x3B, 0x80, 0x40, 0x00}, kFail},
        AtrCase{"Tc2ZeroWithT1", {0x3B, 0x80, 0xC1, 0x00, 0x21, 0x45}, kPass},
        // TD2 announces T=1, or T=14 after T=0; without TD2, T1 is 0.
        AtrCase{"Td2T1", {0x3B, 0x80, 0x80, 0x21, 0x45}, kPass},
        AtrCase{"Td2T0", {0x3B, 0x80, 0x80, 0x00}, kFail},
        AtrCase{"Td2T2", {0x3B, 0x80, 0x80, 0x02}, kFail},
        AtrCase{"Td2T13", {0x3B, 0x80, 0x80, 0x0D}, kFail},
        AtrCase{"Td2T14AfterT0", {0x3B, 0x80, 0x80, 0x0E}, kPass},
        AtrCase{"Td2T15AfterT0", {0x3B, 0x80, 0x80, 0x0F}, kFail},
        AtrCase{"Td2T14AfterT1", {0x3B, 0x80, 0x81, 0x0E}, kFail},
        AtrCase{"NoTd2AfterT0", {0x3B, 0x80, 0x00}, kPass},
        AtrCase{"NoTd2AfterT1", {0x3B, 0x80, 0x01}, kFail},
        // With T=1 second: TA3 from 0x10 to 0xFE.
        AtrCase{"Ta3Below", {0x3B, 0x80, 0x80, 0x31, 0x0F, 0x45}, kFail},
        AtrCase{"Ta3Lowest", {0x3B, 0x80, 0x80, 0x31, 0x10, 0x45}, kPass},
        AtrCase{"Ta3Highest", {0x3B, 0x80, 0x80, 0x31, 0xFE, 0x45}, kPass},
        AtrCase{"Ta3Above", {0x3B, 0x80, 0x80, 0x31, 0xFF, 0x45}, kFail},
        // TB3 present, at most 0x4F, CWI at most 5.
        AtrCase{"Tb3Missing", {0x3B, 0x80, 0x80, 0x01}, kFail},
        AtrCase{"Tb3High4", {0x3B, 0x80, 0x80, 0x21, 0x41}, kPass},
        AtrCase{"Tb3High5", {0x3B, 0x80, 0x80, 0x21, 0x51}, kFail},
        AtrCase{"Tb3Cwi5", {0x3B, 0x80, 0x80, 0x21, 0x45}, kPass},
        AtrCase{"Tb3Cwi6", {0x3B, 0x80, 0x80, 0x21, 0x46}, kFail},
        // TC3 0x00.
        AtrCase{"Tc3Zero", {0x3B, 0x80, 0x80, 0x61, 0x45, 0x00}, kPass},
        AtrCase{"Tc3One", {0x3B, 0x80, 0x80, 0x61, 0x45, 0x01}, kFail},
        // Not T=1 second: TA3, TB3, TC3 are only skipped.
        AtrCase{"Level3SkippedForT14", {0x3B, 0x80, 0x80, 0x7E, 0x00, 0xFF, 0xFF}, kPass},
        // Further TDs never go below the highest protocol so far.
        AtrCase{"Td3EqualToT2", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0x01}, kPass},
        AtrCase{"Td3BelowT2", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0x00}, kFail},
        AtrCase{"Td4EqualToTd3", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0x8F, 0x0F}, kPass},
        AtrCase{"Td4BelowTd3", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0x8F, 0x0E}, kFail},
        AtrCase{"Td4AfterSkippedLevel4", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0xF1, 0x00, 0x00, 0x00, 0x01}, kPass},
        AtrCase{"Td4BelowAfterSkippedLevel4", {0x3B, 0x80, 0x80, 0xA1, 0x45, 0xF1, 0x09, 0x09, 0x09, 0x00}, kFail},
        // With T=1 second, 2 to the power CWI is greater than N + 1.
        AtrCase{"Cwi5N30", {0x3B, 0xC0, 0x1E, 0x80, 0x21, 0x45}, kPass},
        AtrCase{"Cwi5N31", {0x3B, 0xC0, 0x1F, 0x80, 0x21, 0x45}, kFail},
        AtrCase{"Cwi1N0", {0x3B, 0x80, 0x80, 0x21, 0x41}, kPass},
        AtrCase{"Cwi1N1", {0x3B, 0xC0, 0x01, 0x80, 0x21, 0x41}, kFail},
        AtrCase{"Cwi0N0", {0x3B, 0x80, 0x80, 0x21, 0x40}, kFail},
        AtrCase{"GuardTimeFreeWithoutT1", {0x3B, 0xC0, 0xFF, 0x80, 0x0E}, kPass}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AcceptanceLimits, NoAtrAtAll) { EXPECT_EQ(CheckAtr(nullptr, 0), kAtrNoBuffer); }

// The connection steps replayed over the start-up controls, each state
// checked against the documents' table of controls per state.
TEST(DocumentTables, ConnectionStepsLeaveEachStatesControls) {
    using console::ConnectionStep;
    struct Control {
        bool enabled, shown;
    };
    std::map<int, Control> controls;
    for (const console::ControlSpec& c : console::ConsoleControls()) controls[c.id] = {c.enabled, c.visible};
    const auto apply = [&](ConnectionStep step) {
        for (const console::ControlChange& change : console::ControlChanges(step)) {
            for (int id : change.ids) {
                ASSERT_TRUE(controls.count(id)) << id;
                Control& c = controls[id];
                switch (change.action) {
                case console::ControlAction::Enable: c.enabled = true; break;
                case console::ControlAction::Disable: c.enabled = false; break;
                case console::ControlAction::Show: c.shown = true; break;
                case console::ControlAction::Hide: c.shown = false; break;
                }
            }
        }
    };
    const auto rows = Load("connection-states.tsv");
    ASSERT_EQ(rows.size(), 30u);
    // Column 2 no context, 3 established, 4 connected; overrides: id, aspect, value.
    struct Override {
        int id;
        const char* aspect;
        bool value;
    };
    const auto check = [&](const char* name, std::size_t column, std::vector<Override> overrides = {}) {
        for (const Row& row : rows) {
            const int id = std::stoi(row[0]);
            bool want = row[column] == "1";
            if (row[column] == "-") continue;
            for (const Override& o : overrides) {
                if (o.id == id && row[1] == o.aspect) want = o.value;
            }
            const Control& c = controls[id];
            EXPECT_EQ(row[1] == "enabled" ? c.enabled : c.shown, want) << name << ": " << id << " " << row[1];
        }
    };
    constexpr std::size_t kNoContext = 2, kEstablished = 3, kConnected = 4;

    apply(ConnectionStep::StartUp);
    check("start-up", kNoContext);
    EXPECT_FALSE(controls[1014].shown);  // hidden at program start only
    apply(ConnectionStep::Establishing);
    apply(ConnectionStep::Established);
    check("establish", kEstablished);
    apply(ConnectionStep::ConnectFailed);
    check("connect failed", kEstablished);
    apply(ConnectionStep::Connected);
    check("connect", kConnected);
    apply(ConnectionStep::ResetDone);
    check("reset", kConnected);
    // A failed reset or status step: connectable again, "SCardDisconnect"
    // kept, the picture not brought back.
    apply(ConnectionStep::CardGone);
    apply(ConnectionStep::ResetFailed);
    check("reset failed", kEstablished, {{1004, "enabled", true}, {1040, "shown", false}});
    apply(ConnectionStep::Connected);
    apply(ConnectionStep::CardGone);
    apply(ConnectionStep::StatusFailed);
    check("status failed", kEstablished, {{1004, "enabled", true}, {1040, "shown", false}, {1049, "shown", true}});
    EXPECT_FALSE(controls[1048].enabled);
    apply(ConnectionStep::Connected);
    apply(ConnectionStep::Disconnected);
    check("disconnect", kEstablished);
    apply(ConnectionStep::Connected);
    apply(ConnectionStep::Released);
    check("release", kNoContext);
    EXPECT_TRUE(controls[1014].shown);  // the list keeps its last contents
    EXPECT_TRUE(controls[2].enabled);
}

}  // namespace
