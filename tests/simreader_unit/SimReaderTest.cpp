// SPDX-License-Identifier: BSD-3-Clause
// The simulated reader's behaviour on a parsed scenario, without pcscd.
#include <gtest/gtest.h>

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "ScenarioParser.h"
#include "SimReader.h"

namespace {

using simreader::Bytes;
using simreader::SimReader;

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/simreader-test-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string path;
};

SimReader Make(const std::string& text, const std::string& trace = "")
{
    simreader::Scenario s;
    std::string error;
    EXPECT_TRUE(simreader::ParseScenario(text, "/t.scn", s, error)) << error;
    return SimReader(std::move(s), "010000", trace);
}

Bytes PowerUp(SimReader& r, unsigned long action = IFD_POWER_UP, long* rv = nullptr)
{
    std::uint8_t atr[MAX_ATR_SIZE];
    std::size_t n = 99;
    long result = r.Power(action, atr, sizeof atr, &n);
    if (rv)
        *rv = result;
    return Bytes(atr, atr + (result == IFD_SUCCESS ? n : 0));
}

Bytes Send(SimReader& r, const Bytes& apdu, long& rv, std::size_t size = 300)
{
    std::uint8_t rx[300];
    std::size_t n = size;
    unsigned long proto = 99;
    rv = r.Transmit(apdu.data(), apdu.size(), rx, &n, &proto);
    return Bytes(rx, rx + n);
}

TEST(SimReader, LongestPrefixWinsAndSequencesRepeatTheirLastStep)
{
    SimReader r = Make("cold-atr => 3B 00\n"
                       "apdu 00 => 6E 00\n"
                       "apdu 00 B0 => 6C 10\n"
                       "apdu 00 B0 00 00 10 => AA*16 90 00\n"
                       "apdu 00 84 => 01 90 00 | 02 90 00 | error communication | 03 90 00\n"
                       "apdu-default => 6D 00\n");
    PowerUp(r);
    struct Case {
        Bytes apdu;
        long rv;
        Bytes answer;
    } cases[] = {
        {{0x00, 0xB0, 0x00, 0x00, 0x10}, IFD_SUCCESS, [] { Bytes b(16, 0xAA); b.push_back(0x90); b.push_back(0); return b; }()},
        {{0x00, 0xB0, 0x00, 0x00, 0x00}, IFD_SUCCESS, {0x6C, 0x10}},
        {{0x00, 0xB0}, IFD_SUCCESS, {0x6C, 0x10}},
        {{0x00}, IFD_SUCCESS, {0x6E, 0x00}},
        {{0x00, 0xA4}, IFD_SUCCESS, {0x6E, 0x00}},
        {{0x80, 0x00}, IFD_SUCCESS, {0x6D, 0x00}},
        {{}, IFD_SUCCESS, {0x6D, 0x00}},
        {{0x00, 0x84, 0x00, 0x00, 0x08}, IFD_SUCCESS, {0x01, 0x90, 0x00}},
        {{0x00, 0x84, 0x00, 0x00, 0x08}, IFD_SUCCESS, {0x02, 0x90, 0x00}},
        {{0x00, 0x84, 0x00, 0x00, 0x08}, IFD_COMMUNICATION_ERROR, {}},
        {{0x00, 0x84, 0x00, 0x00, 0x08}, IFD_SUCCESS, {0x03, 0x90, 0x00}},
        {{0x00, 0x84, 0x00, 0x00, 0x08}, IFD_SUCCESS, {0x03, 0x90, 0x00}},
    };
    int i = 0;
    for (const Case& c : cases) {
        long rv = 0;
        EXPECT_EQ(Send(r, c.apdu, rv), c.answer) << "case " << i;
        EXPECT_EQ(rv, c.rv) << "case " << i++;
    }
}

TEST(SimReader, NoDefaultAnswerIsInsNotSupported)
{
    SimReader r = Make("cold-atr => 3B 00\n");
    PowerUp(r);
    long rv = 0;
    EXPECT_EQ(Send(r, {0x00, 0xA4}, rv), (Bytes{0x6D, 0x00}));
}

TEST(SimReader, AnswersLongerThanTheBufferAreRefusedWithoutWriting)
{
    SimReader r = Make("cold-atr => 3B 00\napdu-default => 01 02 03 90 00\ncontrol 1 => 01 02 03\n");
    PowerUp(r);
    long rv = 0;
    EXPECT_TRUE(Send(r, {0x00}, rv, 4).empty());
    EXPECT_EQ(rv, IFD_ERROR_INSUFFICIENT_BUFFER);
    std::uint8_t out[2] = {0xEE, 0xEE};
    std::size_t n = 99;
    EXPECT_EQ(r.Control(1, nullptr, 0, out, 2, &n), IFD_ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(out[0], 0xEE);
}

TEST(SimReader, PowerAndResetFollowTheCardFlag)
{
    TempDir dir;
    std::string flag = dir.path + "/card";
    SimReader r = Make("card-file " + flag + "\ncold-atr => 3B 01 AA\nwarm-atr => 3B 01 BB\n");
    long rv = 0;
    EXPECT_EQ(r.Presence(), IFD_ICC_NOT_PRESENT);
    EXPECT_TRUE(PowerUp(r, IFD_POWER_UP, &rv).empty());
    EXPECT_EQ(rv, IFD_ERROR_POWER_ACTION);

    std::ofstream(flag).put('\n');
    EXPECT_EQ(r.Presence(), IFD_ICC_PRESENT);
    struct Step {
        unsigned long action;
        Bytes atr;
    } steps[] = {
        {IFD_RESET, {0x3B, 0x01, 0xAA}},  // not powered: a reset powers up (cold)
        {IFD_RESET, {0x3B, 0x01, 0xBB}},  // powered: warm
        {IFD_POWER_DOWN, {}},
        {IFD_POWER_UP, {0x3B, 0x01, 0xAA}},
    };
    for (const Step& s : steps)
        EXPECT_EQ(PowerUp(r, s.action), s.atr) << s.action;

    std::remove(flag.c_str());
    EXPECT_EQ(r.Presence(), IFD_ICC_NOT_PRESENT);
    Send(r, {0x00}, rv);
    EXPECT_EQ(rv, IFD_ICC_NOT_PRESENT);
}

TEST(SimReader, ProtocolsAcceptedAreTheScenarios)
{
    SimReader r = Make("cold-atr => 3B 00\nprotocols T1\n");
    EXPECT_EQ(r.SetProtocol(2), IFD_COMMUNICATION_ERROR);  // no card powered yet
    PowerUp(r);
    EXPECT_EQ(r.SetProtocol(1), IFD_PROTOCOL_NOT_SUPPORTED);
    EXPECT_EQ(r.SetProtocol(3), IFD_PROTOCOL_NOT_SUPPORTED);
    EXPECT_EQ(r.SetProtocol(2), IFD_SUCCESS);
    std::uint8_t v[4];
    std::size_t n = sizeof v;
    ASSERT_EQ(r.GetCapabilities(SCARD_ATTR_CURRENT_PROTOCOL_TYPE, v, &n), IFD_SUCCESS);
    EXPECT_EQ(v[0], 2);
}

TEST(SimReader, ControlRulesThenFeatureListThenDefault)
{
    SimReader r = Make("cold-atr => 3B 00\n"
                       "control ctl:2049 90 01 07 00 => \"TAV\" 00\n"
                       "control ctl:2049 => error not-supported\n"
                       "feature 06 0x42330006\nfeature 11 0x01020304\n");
    struct Case {
        unsigned long code;
        Bytes in;
        long rv;
        Bytes out;
    } cases[] = {
        {SCARD_CTL_CODE(2049), {0x90, 0x01, 0x07, 0x00}, IFD_SUCCESS, {'T', 'A', 'V', 0}},
        {SCARD_CTL_CODE(2049), {0x84, 0x01, 0x07, 0x00}, IFD_NOT_SUPPORTED, {}},
        {CM_IOCTL_GET_FEATURE_REQUEST, {}, IFD_SUCCESS,
         {0x06, 0x04, 0x42, 0x33, 0x00, 0x06, 0x11, 0x04, 0x01, 0x02, 0x03, 0x04}},
        {SCARD_CTL_CODE(1), {}, IFD_COMMUNICATION_ERROR, {}},
    };
    for (const Case& c : cases) {
        std::uint8_t out[255];
        std::size_t n = 99;
        EXPECT_EQ(r.Control(c.code, c.in.data(), c.in.size(), out, sizeof out, &n), c.rv) << std::hex << c.code;
        EXPECT_EQ(Bytes(out, out + n), c.out) << std::hex << c.code;
    }
    SimReader empty = Make("cold-atr => 3B 00\ncontrol-default => 6A 81\n");
    std::uint8_t out[8];
    std::size_t n = 99;
    EXPECT_EQ(empty.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, out, sizeof out, &n), IFD_SUCCESS);
    EXPECT_EQ(n, 0u);  // no feature: an empty list
    EXPECT_EQ(empty.Control(SCARD_CTL_CODE(7), nullptr, 0, out, sizeof out, &n), IFD_SUCCESS);
    EXPECT_EQ(Bytes(out, out + n), (Bytes{0x6A, 0x81}));
}

TEST(SimReader, CapabilitiesFromScenarioOverBuiltIns)
{
    SimReader r = Make("cold-atr => 3B 01 CC\nattr 0x00090303 => 11 22\nattr 0x00010100 => \"V\" 00\n");
    PowerUp(r);
    struct Case {
        unsigned long tag;
        long rv;
        Bytes value;
    } cases[] = {
        {TAG_IFD_SLOTS_NUMBER, IFD_SUCCESS, {1}},
        {TAG_IFD_THREAD_SAFE, IFD_SUCCESS, {1}},
        {TAG_IFD_ATR, IFD_SUCCESS, {0x3B, 0x01, 0xCC}},
        {SCARD_ATTR_ATR_STRING, IFD_SUCCESS, {0x11, 0x22}},
        {SCARD_ATTR_VENDOR_NAME, IFD_SUCCESS, {'V', 0}},
        {SCARD_ATTR_VENDOR_IFD_TYPE, IFD_ERROR_TAG, {}},
    };
    for (const Case& c : cases) {
        std::uint8_t v[64];
        std::size_t n = sizeof v;
        EXPECT_EQ(r.GetCapabilities(c.tag, v, &n), c.rv) << std::hex << c.tag;
        EXPECT_EQ(Bytes(v, v + n), c.value) << std::hex << c.tag;
    }
}

TEST(SimReader, TraceHasOneLinePerCall)
{
    TempDir dir;
    std::string trace = dir.path + "/trace.log";
    SimReader r = Make("cold-atr => 3B 00\ntrace /elsewhere/ignored.log\n", trace);
    std::uint8_t atr[MAX_ATR_SIZE];
    std::size_t n = 0;
    r.Power(IFD_POWER_UP, atr, sizeof atr, &n);
    r.SetProtocol(1);
    long rv = 0;
    Send(r, {0x00, 0xA4, 0x04, 0x00}, rv);
    std::uint8_t in[2] = {0xAB, 0x01};
    std::uint8_t out[8];
    r.Control(0x42000D48, nullptr, 0, out, sizeof out, &n);
    r.Control(0x42000801, in, 2, out, sizeof out, &n);
    std::size_t len = sizeof out;
    r.GetCapabilities(0x00010100, out, &len);
    r.Power(IFD_RESET, atr, sizeof atr, &n);
    r.Power(IFD_POWER_DOWN, atr, sizeof atr, &n);
    std::ifstream f(trace);
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all,
              "010000 PowerICC 500\n"
              "010000 SetProtocolParameters 1\n"
              "010000 Transmit 00 A4 04 00\n"
              "010000 Control 42000D48\n"
              "010000 Control 42000801 AB 01\n"
              "010000 GetCapabilities 00010100\n"
              "010000 PowerICC 502\n"
              "010000 PowerICC 501\n");
}

TEST(SimReader, DisplayRequestsAreShownAndTraced)
{
    TempDir dir;
    std::string trace = dir.path + "/trace.log";
    SimReader r = Make("cold-atr => 3B 00\nfeature 0F 0x4233000F\nfeature 0C 0x4233000C\n"
                       "control 0x4233000F => empty\ncontrol 0x4233000C => empty\n",
                       trace);
    struct Case {
        const char* name;
        std::uint32_t code;
        Bytes request;
        std::string shown;  // the trace line after the Control line; empty: none
    };
    auto spe = [](std::uint8_t index, std::uint8_t length, const std::string& text) {
        Bytes b(36 + text.size(), 0);
        b[32] = index;
        b[35] = length;
        for (std::size_t i = 0; i < text.size(); ++i)
            b[36 + i] = static_cast<std::uint8_t>(text[i]);
        return b;
    };
    const Case cases[] = {
        {"display", 0x4233000F, {0, 0, 0, 0, 0x0A, 0, 5, 'H', 'E', 'L', 'L', 'O'}, "Display 10 \"HELLO\""},
        {"two lines and a quote", 0x4233000F, {0, 0, 0, 0, 1, 0, 5, 'A', '\r', '\n', '"', 0xE9},
         "Display 1 \"A\\x0D\\x0A\\\"\\xE9\""},
        {"length byte too large", 0x4233000F, {0, 0, 0, 0, 2, 0, 9, 'H', 'I'},
         "Display 2 \"HI\" (length byte 9, 2 bytes sent)"},
        {"length byte too small", 0x4233000F, {0, 0, 0, 0, 2, 0, 1, 'H', 'I'},
         "Display 2 \"H\" (length byte 1, 2 bytes sent)"},
        {"too short to be a display request", 0x4233000F, {0, 0, 0, 0, 2, 0}, ""},
        {"message", 0x4233000C, spe(3, 9, "Enter PIN"), "SpeMessage 3 \"Enter PIN\""},
        {"other codes show nothing", 0x42330010, {0, 0, 0, 0, 2, 0, 1, 'X'}, ""},
    };
    std::size_t before = 0;
    for (const Case& c : cases) {
        std::uint8_t out[8];
        std::size_t n = 0;
        r.Control(c.code, c.request.data(), c.request.size(), out, sizeof out, &n);
        std::ifstream f(trace);
        std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        std::string added = all.substr(before);
        before = all.size();
        const std::size_t firstEnd = added.find('\n');
        ASSERT_NE(firstEnd, std::string::npos) << c.name;
        EXPECT_EQ(added.rfind("010000 Control ", 0), 0u) << c.name;
        EXPECT_EQ(added.substr(firstEnd + 1), c.shown.empty() ? "" : "010000 " + c.shown + "\n") << c.name;
    }
}

}  // namespace
