// SPDX-License-Identifier: BSD-3-Clause
// Secure PIN requests sent with SCardControl through a private pcscd reach the
// simulated PIN pad, whose scripted user types the PIN (see pinpad.scn.in for
// what is typed, operation by operation), and come back with the card's word.
#include <gtest/gtest.h>

#include <PCSC/reader.h>
#include <PCSC/winscard.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "../readerlink_pcscd/PcscdBench.h"
#include "console/ConsoleSession.h"

namespace {

using ByteVec = std::vector<std::uint8_t>;

ByteVec Concat(ByteVec a, const ByteVec& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Request heads written out from pcsc-lite's PIN_VERIFY_STRUCTURE and
// PIN_MODIFY_STRUCTURE and from the maker's shorter verify layout.
const ByteVec kVerifyApdu = {0x00, 0x20, 0x00, 0x01, 0x04, 0x00, 0x00, 0x00, 0x00};
const ByteVec kVerifyHead = {0x00, 0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x04,
                             0x09, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00};
const ByteVec kVendorVerifyHead = {0x00, 0x82, 0x04, 0x00, 0x04, 0x04, 0x02, 0x00, 0x04, 0x09, 0x00};
// The maker's modify layout: bInsertionOffsetNew (08) before bInsertionOffsetOld (00).
const ByteVec kVendorModifyHead = {0x00, 0x82, 0x04, 0x00, 0x08, 0x00, 0x08, 0x04, 0x03, 0x02, 0x03, 0x04, 0x09, 0x00};
const ByteVec kModifyApdu = {0x00, 0x24, 0x00, 0x01, 0x0C, 0xFF, 0xFF, 0xFF, 0xFF,
                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
const ByteVec kModifyHead = {0x00, 0x00, 0x82, 0x04, 0x00, 0x00, 0x08, 0x08, 0x04, 0x03, 0x02, 0x03,
                             0x04, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00};

std::string Trace()
{
    const char* dir = std::getenv("SIMREADER_STATE_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/trace-pinpad.log");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PinPad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &ctx), SCARD_S_SUCCESS);
        char readers[512];
        DWORD n = sizeof readers;
        ASSERT_EQ(SCardListReaders(ctx, nullptr, readers, &n), SCARD_S_SUCCESS);
        DWORD proto = 0;
        ASSERT_EQ(SCardConnect(ctx, readers, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &proto),
                  SCARD_S_SUCCESS);
    }
    void TearDown() override
    {
        SCardDisconnect(card, SCARD_LEAVE_CARD);
        SCardReleaseContext(ctx);
    }
    LONG Control(DWORD code, const ByteVec& in, ByteVec& out, DWORD size = 512)
    {
        out.assign(size, 0);
        DWORD n = 0;
        LONG rv = SCardControl(card, code, in.empty() ? nullptr : in.data(), in.size(), out.data(), size, &n);
        out.resize(rv == SCARD_S_SUCCESS ? n : 0);
        return rv;
    }
    SCARDCONTEXT ctx = 0;
    SCARDHANDLE card = 0;
};

// One test: the keypad script is consumed operation by operation, in order.
TEST_F(PinPad, ScriptedUserThroughTheDaemon)
{
    struct Step {
        const char* name;
        DWORD code;
        ByteVec request;
        DWORD answerSize;
        ByteVec answer;
        int atLeastMs;
    } steps[] = {
        {"VerifyDirectRightPin", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, {0x90, 0x00}, 0},
        {"VerifyDirectWrongPin", 0x42330006, Concat(kVerifyHead, kVerifyApdu), 512, {0x63, 0xC2}, 0},
        {"ModifyDirectOldNewConfirm", 0x42330007, Concat(kModifyHead, kModifyApdu), 512, {0x90, 0x00}, 0},
        {"VendorVerifyWaitsForTheUser", SCARD_CTL_CODE(2058), Concat(kVendorVerifyHead, kVerifyApdu), 4,
         {0x90, 0x00}, 600},
        {"VendorModifyNewBeforeOld", SCARD_CTL_CODE(2061), Concat(kVendorModifyHead, kModifyApdu), 4, {0x90, 0x00}, 0},
    };
    for (const Step& s : steps) {
        ByteVec out;
        auto began = std::chrono::steady_clock::now();
        ASSERT_EQ(Control(s.code, s.request, out, s.answerSize), SCARD_S_SUCCESS) << s.name;
        EXPECT_EQ(out, s.answer) << s.name;
        EXPECT_GE(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(s.atLeastMs)) << s.name;
    }

    // Verify start: the keys come one per poll of FEATURE_GET_KEY_PRESSED,
    // the card's answer with the finish code.
    ByteVec out;
    ASSERT_EQ(Control(0x42330001, Concat(kVerifyHead, kVerifyApdu), out), SCARD_S_SUCCESS);
    EXPECT_TRUE(out.empty());
    ByteVec keys;
    for (int i = 0; i < 300 && keys.size() < 5; ++i) {
        ASSERT_EQ(Control(0x42330005, {}, out, 12), SCARD_S_SUCCESS);
        ASSERT_EQ(out.size(), 1u);
        if (out[0] != 0)
            keys.push_back(out[0]);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(keys, (ByteVec{0x2B, 0x2B, 0x2B, 0x2B, 0x0D}));
    ASSERT_EQ(Control(0x42330002, {0x00}, out), SCARD_S_SUCCESS);
    EXPECT_EQ(out, (ByteVec{0x90, 0x00}));

    // The pad's own answers: cancel, then timeout.
    for (const ByteVec& expected : {ByteVec{0x64, 0x01}, ByteVec{0x64, 0x00}}) {
        ASSERT_EQ(Control(0x42330006, Concat(kVerifyHead, kVerifyApdu), out), SCARD_S_SUCCESS);
        EXPECT_EQ(out, expected);
    }

    const std::string t = Trace();
    EXPECT_NE(t.find("PinTransmit 00 20 00 01 04 31 32 33 34\n"), std::string::npos) << t;
    EXPECT_NE(t.find("PinTransmit 00 20 00 01 04 39 39 39 39\n"), std::string::npos) << t;
    EXPECT_NE(t.find("PinTransmit 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38\n"), std::string::npos) << t;
}

// The console's connection workflow without its window: the calls the reader
// sees for each step, and what the session makes of its answers.
TEST(PinPadSession, ConnectionWorkflow)
{
    bench::TraceWatch trace{"trace-pinpad.log"};
    ConsoleSession session;
    const ConnectionOutcome established = session.Establish();
    ASSERT_TRUE(established.succeeded) << established.result;
    ASSERT_EQ(established.readers.size(), 1u);
    const std::string reader = established.readers[0];

    const ConnectionOutcome connected = session.Connect(reader);
    ASSERT_TRUE(connected.succeeded) << connected.result;
    EXPECT_TRUE(connected.featuresFound);
    EXPECT_EQ(connected.readers, std::vector<std::string>{reader + " PCSC V2 with 7 Feature(s)"});
    EXPECT_EQ(session.Features().CodeOf(0x06), 0x42330006u);  // FEATURE_VERIFY_PIN_DIRECT
    EXPECT_TRUE(connected.makerReader);                       // the manufacturer name names the maker
    ASSERT_TRUE(connected.status && connected.status->read);
    EXPECT_EQ(session.AtrText(), "3B 88 80 01 54 41 56 20 44 45 4D 4F 69 ");

    session.Transmit("00 A4 04 00 ");
    EXPECT_EQ(session.ResponseLength(), 2u);
    EXPECT_EQ(session.ResponseBytes()[0], 0x6D);
    const ConnectionOutcome reset = session.Reset(SCARD_RESET_CARD);
    EXPECT_TRUE(reset.succeeded) << reset.result;
    EXPECT_TRUE(reset.status && reset.status->read);

    std::vector<std::string> seen;
    for (const std::string& call : trace.Calls())
        if (call.rfind("Control", 0) == 0 || call.rfind("Transmit", 0) == 0 || call == "PowerICC 502")
            seen.push_back(call);
    EXPECT_EQ(seen, (std::vector<std::string>{"Control 42000D48", "Control 42000801 90 01 07 00",
                                              "Transmit 00 A4 04 00", "PowerICC 502"}));

    EXPECT_TRUE(session.Disconnect(true).succeeded);
    EXPECT_EQ(session.LastResult(), SCARD_S_SUCCESS);  // the new context's listing
    EXPECT_EQ(session.Release().result, SCARD_S_SUCCESS);
}

}  // namespace
