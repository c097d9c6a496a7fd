// SPDX-License-Identifier: BSD-3-Clause
// The console's session without a window, against a scripted resource
// manager: what each exchange shows, keeps and sends, for an answer and a
// failure, and what reaches the log file.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/ConsoleSession.h"
#include "readerlink/ResultText.h"

namespace {

// One answer for every call of the card; what the last call sent.
struct Script {
    LONG result = SCARD_S_SUCCESS;
    std::vector<std::uint8_t> answer;
    int cardCalls = 0;
    std::vector<std::uint8_t> sent;
    DWORD code = 0;
    std::vector<std::string> calls;  // the connection calls that reached the table
    std::string fails;               // the one of them that fails
};
Script g;

constexpr auto kRemoved = static_cast<LONG>(SCARD_W_REMOVED_CARD);

LONG Called(const char* name) {
    g.calls.emplace_back(name);
    return g.fails == name ? kRemoved : SCARD_S_SUCCESS;
}

LONG Answer(LPBYTE out, DWORD size, LPDWORD length) {
    ++g.cardCalls;
    if (g.result != SCARD_S_SUCCESS) return g.result;
    const DWORD n = std::min<DWORD>(size, static_cast<DWORD>(g.answer.size()));
    if (n > 0) std::memcpy(out, g.answer.data(), n);
    *length = n;
    return SCARD_S_SUCCESS;
}
LONG Establish(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT ctx) { *ctx = 1; return Called("Establish"); }
LONG Release(SCARDCONTEXT) { return Called("Release"); }
LONG List(SCARDCONTEXT, LPCSTR, LPSTR buffer, LPDWORD length) {
    static const char kReaders[] = "Sim Reader\0";
    if (buffer) std::memcpy(buffer, kReaders, sizeof kReaders);
    *length = sizeof kReaders;
    return Called("List");
}
LONG Connect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
    *card = 7;
    *protocol = SCARD_PROTOCOL_T1;
    return Called("Connect");
}
LONG Reconnect(SCARDHANDLE, DWORD, DWORD, DWORD, LPDWORD protocol) {
    *protocol = SCARD_PROTOCOL_T0;
    return Called("Reconnect");
}
LONG Disconnect(SCARDHANDLE, DWORD) { return Called("Disconnect"); }
LONG Status(SCARDHANDLE, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE atr, LPDWORD atrLength) {
    if (const LONG rv = Called("Status")) return rv;
    return Answer(atr, *atrLength, atrLength);
}
LONG Transmit(SCARDHANDLE, const SCARD_IO_REQUEST*, LPCBYTE in, DWORD inLength, SCARD_IO_REQUEST*, LPBYTE out,
              LPDWORD outLength) {
    g.sent.assign(in, in + inLength);
    return Answer(out, *outLength, outLength);
}
LONG Control(SCARDHANDLE, DWORD code, LPCVOID in, DWORD inLength, LPVOID out, DWORD size, LPDWORD returned) {
    g.calls.emplace_back("Control");
    g.code = code;
    const auto* bytes = static_cast<const std::uint8_t*>(in);
    g.sent.assign(bytes, bytes + (bytes ? inLength : 0));
    return Answer(static_cast<LPBYTE>(out), size, returned);
}
LONG GetAttrib(SCARDHANDLE, DWORD, LPBYTE out, LPDWORD length) { return Answer(out, *length, length); }
LONG GetStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE*, DWORD) { return SCARD_S_SUCCESS; }
LONG Cancel(SCARDCONTEXT) { return SCARD_S_SUCCESS; }

const PcscApi kScripted = {Establish, Release, List, Connect, Reconnect, Disconnect, Status,
                           Transmit,  Control, GetAttrib, GetStatusChange, Cancel};

std::string LogText(ConsoleSession& session) {
    std::ifstream in(session.Log()->FileName(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ConsoleSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = Script{};
        SetPcscApi(&kScripted);
        CReaderLink& link = session.Link();
        link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr);
        link.SetMaxReaders(kReaderSlots);
        link.ListReaders(nullptr);
        DWORD active = 0;
        link.Connect(link.ReaderName(0), SCARD_SHARE_EXCLUSIVE, SCARD_PROTOCOL_T1, &active);
    }
    void TearDown() override { SetPcscApi(nullptr); }

    ConsoleSession session{[this](LogFailure failure) { reported.push_back(failure); }};
    std::vector<LogFailure> reported;
};

// Each exchange's record is read back from the log: an attribute read names
// the attribute, never the command field's last text with its blank positions.
TEST_F(ConsoleSessionTest, EachExchangeShowsKeepsSendsAndLogs) {
    using Step = std::function<void(ConsoleSession&)>;
    struct Case {
        const char* name;
        LONG result;
        std::vector<std::uint8_t> answer;
        Step step;
        std::string response;  // the response text afterwards (it starts as "old")
        std::string status;    // the status text afterwards, when the step keeps its own
        unsigned stored;       // bytes in the store (it starts with 1)
        std::vector<std::uint8_t> sent;
        std::string record;    // operation, command and answer lines
    };
    const Step transmit = [](ConsoleSession& s) { s.Transmit("00 A4 "); };
    const Step control = [](ConsoleSession& s) { s.SendControl("01 02 "); };
    const Step attribute = [](ConsoleSession& s) { s.ReadStandardAttribute(0x00010100, features::AttributeForm::Text); };
    const Step vendor = [](ConsoleSession& s) { s.ReadVendorAttribute(400, features::AttributeForm::Text); };
    const Step unlisted = [](ConsoleSession& s) { s.ReadStandardAttribute(0x7A007A00, features::AttributeForm::Hex); };
    const Step unlistedVendor = [](ConsoleSession& s) { s.ReadVendorAttribute(0x1FF, features::AttributeForm::Hex); };
    const std::string removed = "The card has been removed so that further communication is not possible.";
    auto record = [](std::string operation, std::string command, std::string answer) {
        return "[Command]\r\n" + operation + "\r\n" + command + "\r\n[Answer]\r\n" + answer + "\r\n";
    };
    const std::vector<Case> cases = {
        {"transmit", SCARD_S_SUCCESS, {0x61, 0x90, 0x00}, transmit, "61 90 00 ", "", 3, {0x00, 0xA4},
         record("SCardTransmit", "00 A4 ", "61 90 00 ")},
        {"transmit failure", kRemoved, {}, transmit, "xx xx xx xx xx", "", 0, {0x00, 0xA4},
         record("SCardTransmit", "00 A4 ", "xx xx xx xx xx")},
        {"control", SCARD_S_SUCCESS, {0x90, 0x00}, control, "90 00 ", "", 2, {0x01, 0x02},
         record("SCardControl", "01 02 ", "90 00 ")},
        {"control failure", kRemoved, {}, control, "xx xx xx xx xx", "", 0, {0x01, 0x02},
         record("SCardControl", "01 02 ", removed)},
        {"attribute", SCARD_S_SUCCESS, {'A', 'B', 0}, attribute, "", "AB", 1, {},
         record("SCardGetAttrib", "Vendor Name", "AB")},
        {"attribute failure", kRemoved, {}, attribute, "xx xx xx xx xx", "", 1, {},
         record("SCardGetAttrib", "Vendor Name", removed)},
        {"attribute outside the menu", SCARD_S_SUCCESS, {0x01}, unlisted, "", "01 ", 1, {},
         record("SCardGetAttrib", "0x7A007A00", "01 ")},
        {"vendor attribute", SCARD_S_SUCCESS, {'T', 'A', 'V', 0}, vendor, "old", "TAV", 4, {0x90, 0x01, 0x07, 0x00},
         record("SCardControl", "Manufacturer Name", "TAV")},
        // Other makers' readers: the reader's name stands in, and the read counts as done.
        {"vendor attribute refused", kRemoved, {}, vendor, "old", "Sim Reader", 0, {0x90, 0x01, 0x07, 0x00},
         record("SCardControl", "Manufacturer Name", "Sim Reader")},
        {"vendor attribute outside the menu", SCARD_S_SUCCESS, {0x02}, unlistedVendor, "old", "02 ", 1,
         {0xFF, 0x01, 0x07, 0x00}, record("SCardControl", "0x000701FF", "02 ")},
    };
    char pattern[] = "/tmp/session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    session.SetLogEnabled(true);
    session.Log()->SetDirectory(pattern);
    session.OpenLog();
    std::size_t logged = LogText(session).size();
    // The command field's text as an exchange reads it: typed groups, then blank positions.
    std::string fieldText = "00 B0 00 00 10";
    fieldText.resize(260 * 3 - 1, ' ');
    for (const Case& c : cases) {
        const std::uint8_t one = 0x55;
        session.StoreResponse(&one, 1);
        session.SetResponseText("old");
        session.SetStatusText("");
        session.SetCommandText(fieldText);
        g.result = c.result;
        g.answer = c.answer;
        g.sent.clear();
        c.step(session);
        EXPECT_EQ(session.ResponseText(), c.response) << c.name;
        if (!c.status.empty()) {
            EXPECT_EQ(session.StatusText(), c.status) << c.name;
            EXPECT_EQ(session.LastResult(), static_cast<PcscResult>(KEEP_STATUS_TEXT)) << c.name;
        } else {
            EXPECT_EQ(session.LastResult(), static_cast<PcscResult>(c.result)) << c.name;
        }
        EXPECT_EQ(session.ResponseLength(), c.stored) << c.name;
        EXPECT_EQ(g.sent, c.sent) << c.name;
        const std::string text = LogText(session);
        EXPECT_EQ(text.substr(std::min(logged, text.size())), c.record) << c.name;
        logged = text.size();
    }
    session.CloseLog();
    std::filesystem::remove_all(pattern);
    EXPECT_TRUE(reported.empty());
}

// The order of the calls, the control changes (with "options N" where the
// options are shown, "tree" where the ATR is) and the reader list.
std::string Sequence(const ConnectionOutcome& outcome) {
    static const char* const kNames[] = {"StartUp",   "Establishing", "Established", "ConnectFailed",
                                         "Connected", "ResetDone",    "CardGone",    "ResetFailed",
                                         "StatusFailed", "Disconnected", "Released"};
    std::string out;
    const auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
    for (console::ConnectionStep step : outcome.steps) add(kNames[static_cast<int>(step)]);
    if (outcome.shownProtocols) add("options " + std::to_string(*outcome.shownProtocols));
    for (console::ConnectionStep step : outcome.stepsAfter) add(kNames[static_cast<int>(step)]);
    if (outcome.status) {
        for (console::ConnectionStep step : outcome.status->steps) add(kNames[static_cast<int>(step)]);
        if (outcome.status->showsTree) add("tree");
    }
    return out;
}

TEST_F(ConsoleSessionTest, EachConnectionStepCallsAndShows) {
    using Op = std::function<ConnectionOutcome(ConsoleSession&)>;
    struct Case {
        const char* name;
        std::string fails;
        Op op;
        std::vector<std::string> calls;
        LONG result;
        std::string shown;
        std::string readers;  // "-": the list is left alone
        bool maker = false;
    };
    const Op establish = [](ConsoleSession& s) { return s.Establish(); };
    const Op connect = [](ConsoleSession& s) { return s.Connect("Sim Reader"); };
    const Op reset = [](ConsoleSession& s) { return s.Reset(SCARD_UNPOWER_CARD); };
    const Op disconnect = [](ConsoleSession& s) { return s.Disconnect(true); };
    const Op release = [](ConsoleSession& s) { return s.Release(); };
    const Op disconnectConnect = [](ConsoleSession& s) { s.Disconnect(true); return s.Connect("Sim Reader"); };
    const std::vector<Case> cases = {
        // No context is kept behind a window that shows none.
        {"establish, listing fails", "List", establish, {"Establish", "List", "Release"}, kRemoved, "Establishing",
         ""},
        {"establish", "", establish, {"Establish", "List", "List"}, 0, "Establishing,options 3,Established",
         "Sim Reader"},
        {"connect", "", connect, {"Connect", "Control", "Status", "Control"}, 0, "Connected,options 2,tree",
         "Sim Reader PCSC V2 with 0 Feature(s)", true},
        {"connect fails", "Connect", connect, {"Connect"}, kRemoved, "ConnectFailed", "-"},
        {"reset", "", reset, {"Reconnect", "Status"}, 0, "ResetDone,options 1,tree", "-"},
        // The handle is let go, or the next connect would be refused.
        {"reset fails", "Reconnect", reset, {"Reconnect", "Disconnect"}, kRemoved, "CardGone,ResetFailed", "-"},
        // The handle stays, so that the next call reports the removal.
        {"reset, card gone", "Status", reset, {"Reconnect", "Status"}, 0,
         "ResetDone,options 1,CardGone,StatusFailed", "-"},
        // A failed re-listing leaves no names behind for the next connect's relabel.
        {"connect after a failed re-listing", "List", disconnectConnect,
         {"Disconnect", "Release", "Establish", "List", "Connect", "Control", "Status", "Control"}, 0,
         "Connected,options 2,tree", "", true},
        {"disconnect", "", disconnect, {"Disconnect", "Release", "Establish", "List", "List"}, 0,
         "options 3,Disconnected", "Sim Reader"},
        {"release", "", release, {"Release"}, 0, "Released", "-"},
    };
    for (const Case& c : cases) {  // in the order a user can take them
        g.answer = {'T', 'A', 'V', 0};
        g.fails = c.fails;
        g.calls.clear();
        const ConnectionOutcome outcome = c.op(session);
        EXPECT_EQ(g.calls, c.calls) << c.name;
        EXPECT_EQ(outcome.result, static_cast<PcscResult>(c.result)) << c.name;
        EXPECT_EQ(Sequence(outcome), c.shown) << c.name;
        std::string readers = outcome.listsReaders ? "" : "-";
        for (const std::string& name : outcome.readers) readers += (readers.empty() ? "" : "|") + name;
        EXPECT_EQ(readers, c.readers) << c.name;
        EXPECT_EQ(outcome.makerReader, c.maker) << c.name;
    }
    // After a connect the status line is empty; the preferred protocols are the active one.
    g.fails.clear();
    session.Connect("Sim Reader");
    EXPECT_EQ(session.StatusLineText(), "");
    EXPECT_EQ(session.PreferredProtocols(), static_cast<DWORD>(SCARD_PROTOCOL_T1));
}

TEST_F(ConsoleSessionTest, AnOverlongControlIsRefusedUnsent) {
    std::string text;
    for (int i = 0; i < 257; ++i) text += "01 ";
    EXPECT_FALSE(session.SendControl(text));
    EXPECT_EQ(g.cardCalls, 0);
    EXPECT_EQ(session.StatusText(), features::kCommandTooLong);
    EXPECT_EQ(session.LastResult(), static_cast<PcscResult>(KEEP_STATUS_TEXT));
    EXPECT_EQ(session.ResponseText(), "");
}

TEST_F(ConsoleSessionTest, StatusKeepsTheAtrAndItsRecord) {
    char pattern[] = "/tmp/session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    session.SetLogEnabled(true);
    session.Log()->SetDirectory(pattern);
    session.OpenLog();
    g.answer = {0x3B, 0x02, 0x14};
    ASSERT_TRUE(session.ReadStatus());
    EXPECT_EQ(session.AtrText(), "3B 02 14 ");
    EXPECT_EQ(session.AtrLength(), 3u);
    session.LogStatus();
    session.SetCommandText("01 02 ");
    session.SendControl("01 02 ");
    session.CloseLog();
    const std::string text = LogText(session);
    EXPECT_NE(text.find("[Command]\r\nSCardStatus Request\r\n[Answer]\r\n3B 02 14\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Command]\r\nSCardControl\r\n01 02 \r\n[Answer]\r\n3B 02 14 \r\n"), std::string::npos)
        << text;
    std::filesystem::remove_all(pattern);

    // Direct mode reads no ATR; a removed card ends the status.
    session.SetShareMode(SCARD_SHARE_DIRECT);
    g.answer = {0x3B, 0x00};
    EXPECT_TRUE(session.ReadStatus());
    EXPECT_EQ(session.AtrText(), "3B 02 14 ");
    g.result = kRemoved;
    EXPECT_FALSE(session.ReadStatus());
    EXPECT_EQ(session.LastResult(), static_cast<PcscResult>(kRemoved));
}

TEST_F(ConsoleSessionTest, TheResponseFormatAlternatesOverTheStore) {
    const std::uint8_t bytes[] = {'O', 0, 'K'};
    session.StoreResponse(bytes, 3);
    session.ToggleResponseFormat();
    EXPECT_EQ(session.ResponseText(), "O K");
    EXPECT_FALSE(session.ResponseIsHex());
    session.ToggleResponseFormat();
    EXPECT_EQ(session.ResponseText(), "4F 00 4B ");
}

TEST_F(ConsoleSessionTest, ALogThatCannotBeCreatedIsReportedOnce) {
    session.SetLogEnabled(true);
    session.Log()->SetDirectory("/nonexistent/folder");
    session.OpenLog();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], LogFailure::FileNotFound);
}

}  // namespace
