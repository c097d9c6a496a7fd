// SPDX-License-Identifier: BSD-3-Clause
// The reader link against a real pcscd with one simulated reader
// (scenarios/basic.scn): connect, transmit, status, control, attributes,
// resets and card removal.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "PcscdBench.h"
#include "readerlink/ReaderLink.h"

namespace {

using bench::Bytes;
using bench::Text;
using ByteVec = std::vector<std::uint8_t>;

const char kReader[] = "Bench Sim Reader 00 00";
const ByteVec kColdAtr = Bytes({0x3B, 0x84, 0x80, 0x01, 0x53, 0x49, 0x4D, 0x31, 0x63});
const ByteVec kWarmAtr = Bytes({0x3B, 0x84, 0x80, 0x01, 0x53, 0x49, 0x4D, 0x32, 0x60});

class OneReader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        link.SetMaxReaders(10);
        ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
        ASSERT_EQ(link.GetReaderCount(), 1);
        ASSERT_STREQ(link.ReaderName(0), kReader);
    }
    void TearDown() override
    {
        // Power the card down so the next test negotiates afresh.
        if (link.CardHandle() != 0)
            link.Disconnect(SCARD_UNPOWER_CARD);
        link.ReleaseContext();
        bench::Ctl({"insert-card", "one", "Bench Sim Reader"});
    }
    PcscResult Connect(DWORD share = SCARD_SHARE_SHARED, DWORD protocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1)
    {
        DWORD active = 0xFFFF;
        PcscResult rv = link.Connect(link.ReaderName(0), share, protocols, &active);
        lastActive = active;
        return rv;
    }
    ByteVec Exchange(const ByteVec& apdu, PcscResult& rv, DWORD size = 258)
    {
        ByteVec rx(size);
        DWORD len = size;
        rv = link.Transmit(apdu.data(), static_cast<DWORD>(apdu.size()), rx.data(), &len);
        rx.resize(rv == SCARD_S_SUCCESS ? len : 0);
        return rx;
    }
    ByteVec StatusAtr(PcscResult& rv, DWORD* state = nullptr)
    {
        char name[kReaderNameSize] = {};
        DWORD nameLen = sizeof name;
        DWORD st = 0, proto = 0;
        ByteVec atr(33);
        DWORD atrLen = 33;
        rv = link.Status(name, &nameLen, &st, &proto, atr.data(), &atrLen);
        if (state)
            *state = st;
        atr.resize(rv == SCARD_S_SUCCESS ? atrLen : 0);
        return atr;
    }

    CReaderLink link;
    DWORD lastActive = 0;
    bench::TraceWatch trace{"trace-one.log"};
};

TEST_F(OneReader, TransmitAnswersFromTheScenario)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    struct Case {
        ByteVec apdu;
        ByteVec answer;
    } cases[] = {
        {Bytes({0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00}), Bytes({0x90, 0x00})},
        {Bytes({0x00, 0xB0, 0x00, 0x00, 0x04}), Bytes({'D', 'A', 'T', 'A', 0x90, 0x00})},
        {Bytes({0x00, 0xB0, 0x00, 0x00, 0x10}), Bytes({0x6C, 0x04})},
        // A sequence: the first call fails, the later ones succeed.
        {Bytes({0x80, 0x10, 0x00, 0x00}), Bytes({0x6A, 0x86})},
        {Bytes({0x80, 0x10, 0x00, 0x00}), Bytes({0x90, 0x00})},
        {Bytes({0x80, 0x10, 0x00, 0x00}), Bytes({0x90, 0x00})},
        {Bytes({0xFF, 0xFF, 0x00, 0x00}), Bytes({0x6D, 0x00})},
    };
    for (const Case& c : cases) {
        PcscResult rv;
        EXPECT_EQ(Exchange(c.apdu, rv), c.answer) << "APDU of " << c.apdu.size() << " bytes";
        EXPECT_EQ(rv, SCARD_S_SUCCESS);
    }
    // The link sends with the protocol of the connect.
    EXPECT_EQ(link.IoRequest().dwProtocol, lastActive);
    std::vector<std::string> calls = trace.Calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "Transmit 00 B0 00 00 04"), calls.end());
}

TEST_F(OneReader, TransmitIntoTooSmallBufferFails)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    PcscResult rv;
    Exchange(Bytes({0x00, 0xB0, 0x00, 0x00, 0x04}), rv, 3);
    EXPECT_EQ(static_cast<std::uint32_t>(rv), 0x80100008u);  // SCARD_E_INSUFFICIENT_BUFFER
}

TEST_F(OneReader, StatusGivesReaderPresentCardAndAtr)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    char name[kReaderNameSize] = {};
    DWORD nameLen = sizeof name;
    DWORD state = 0, proto = 0;
    std::uint8_t atr[33];
    DWORD atrLen = sizeof atr;
    ASSERT_EQ(link.Status(name, &nameLen, &state, &proto, atr, &atrLen), SCARD_S_SUCCESS);
    EXPECT_STREQ(name, kReader);
    EXPECT_TRUE(state & SCARD_PRESENT);
    EXPECT_EQ(proto, lastActive);
    EXPECT_EQ(ByteVec(atr, atr + atrLen), kColdAtr);
}

struct ControlCase {
    const char* what;
    DWORD code;
    ByteVec input;
    std::uint32_t result;
    ByteVec answer;
};

class OneReaderControl : public OneReader, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(OneReaderControl, AnswersInSharedAndDirectMode)
{
    const ControlCase& c = GetParam();
    for (DWORD share : {DWORD(SCARD_SHARE_SHARED), DWORD(SCARD_SHARE_DIRECT)}) {
        ASSERT_EQ(Connect(share, share == SCARD_SHARE_DIRECT ? 0 : SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1),
                  SCARD_S_SUCCESS);
        std::uint8_t out[255];
        DWORD returned = 0xFFFF;
        PcscResult rv = link.Control(c.code, c.input.empty() ? nullptr : c.input.data(),
                                     static_cast<DWORD>(c.input.size()), out, sizeof out, &returned);
        EXPECT_EQ(static_cast<std::uint32_t>(rv), c.result) << c.what << " share " << share;
        if (rv == SCARD_S_SUCCESS) {
            EXPECT_EQ(ByteVec(out, out + returned), c.answer) << c.what;
        }
        link.Disconnect(SCARD_LEAVE_CARD);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OneReaderControl,
    ::testing::Values(
        ControlCase{"vendor attribute 0x190", SCARD_CTL_CODE(2049), Bytes({0x90, 0x01, 0x07, 0x00}), 0,
                    Text("Bench Sim", true)},
        ControlCase{"vendor exchange", SCARD_CTL_CODE(2048), Bytes({0x01}), 0,
                    Bytes({0x01, 0x02, 0x03, 0x04, 0x90, 0x00})},
        ControlCase{"feature request", CM_IOCTL_GET_FEATURE_REQUEST, {}, 0,
                    Bytes({0x06, 0x04, 0x42, 0x33, 0x00, 0x06, 0x0A, 0x04, 0x42, 0x33, 0x00, 0x0A})},
        ControlCase{"scripted error", SCARD_CTL_CODE(2052), {}, std::uint32_t(SCARD_E_UNSUPPORTED_FEATURE), {}},
        ControlCase{"unknown code", SCARD_CTL_CODE(2050), {}, 0x80100016u /* SCARD_E_NOT_TRANSACTED */, {}},
        ControlCase{"vendor attribute not scripted", SCARD_CTL_CODE(2049), Bytes({0x84, 0x01, 0x07, 0x00}),
                    0x80100016u, {}}));

TEST_F(OneReader, ControlIntoTooSmallBufferFails)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    std::uint8_t out[4];
    DWORD returned = 0;
    PcscResult rv = link.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, out, sizeof out, &returned);
    EXPECT_EQ(static_cast<std::uint32_t>(rv), 0x80100008u);
}

TEST_F(OneReader, ControlInDirectModeWithoutCard)
{
    ASSERT_EQ(bench::Ctl({"remove-card", "one", "Bench Sim Reader"}), 0);
    ASSERT_EQ(Connect(SCARD_SHARE_DIRECT, 0), SCARD_S_SUCCESS);
    EXPECT_EQ(lastActive, 0u);
    std::uint8_t out[255];
    DWORD returned = 0;
    trace.Mark();
    ASSERT_EQ(link.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, out, sizeof out, &returned), SCARD_S_SUCCESS);
    EXPECT_EQ(returned, 12u);
    std::vector<std::string> calls = trace.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "Control 42000D48");
}

TEST_F(OneReader, ConnectWithoutCardFailsOutsideDirectMode)
{
    ASSERT_EQ(bench::Ctl({"remove-card", "one", "Bench Sim Reader"}), 0);
    EXPECT_EQ(static_cast<std::uint32_t>(Connect(SCARD_SHARE_SHARED)), 0x8010000Cu);  // SCARD_E_NO_SMARTCARD
}

struct AttrCase {
    DWORD id;
    std::uint32_t result;
    ByteVec value;
};

TEST_F(OneReader, GetAttribAnswersStandardAttributes)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    const AttrCase cases[] = {
        {SCARD_ATTR_VENDOR_NAME, 0, Text("Bench Vendor", true)},
        {SCARD_ATTR_VENDOR_IFD_SERIAL_NO, 0, Text("SN-0001", true)},
        {SCARD_ATTR_MAX_IFSD, 0, Bytes({0xFE, 0x00, 0x00, 0x00})},
        {SCARD_ATTR_VENDOR_IFD_VERSION, 0, Bytes({0x00, 0x01, 0x02, 0x03})},
        {SCARD_ATTR_ATR_STRING, 0, kColdAtr},
        {SCARD_ATTR_MAX_CLK, std::uint32_t(SCARD_E_UNSUPPORTED_FEATURE), {}},  // not in the scenario
    };
    for (const AttrCase& c : cases) {
        // pcsc-lite refuses lengths above MAX_BUFFER_SIZE with
        // SCARD_E_INSUFFICIENT_BUFFER, whatever the answer.
        std::uint8_t buf[MAX_BUFFER_SIZE] = {};
        DWORD len = sizeof buf;
        PcscResult rv = link.GetAttrib(c.id, buf, &len);
        EXPECT_EQ(static_cast<std::uint32_t>(rv), c.result) << std::hex << c.id;
        if (rv == SCARD_S_SUCCESS) {
            EXPECT_EQ(ByteVec(buf, buf + len), c.value) << std::hex << c.id;
        }
    }
    bool traced = false;
    for (const std::string& call : trace.Calls())
        traced = traced || call == "GetCapabilities 00010100";
    EXPECT_TRUE(traced);
}

struct ResetCase {
    const char* what;
    DWORD initialization;
    std::vector<std::string> calls;
    ByteVec atr;
};

TEST_F(OneReader, ColdAndWarmReconnect)
{
    const ResetCase cases[] = {
        {"warm", SCARD_RESET_CARD, {"PowerICC 502"}, kWarmAtr},
        {"cold", SCARD_UNPOWER_CARD, {"PowerICC 501", "PowerICC 500"}, kColdAtr},
    };
    for (const ResetCase& c : cases) {
        ASSERT_EQ(Connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0), SCARD_S_SUCCESS);
        ASSERT_EQ(lastActive, DWORD(SCARD_PROTOCOL_T0));
        trace.Mark();
        DWORD active = 0;
        ASSERT_EQ(link.Reconnect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0, c.initialization, &active), SCARD_S_SUCCESS)
            << c.what;
        EXPECT_EQ(active, DWORD(SCARD_PROTOCOL_T0)) << c.what;
        std::vector<std::string> power;
        for (const std::string& call : trace.Calls())
            if (call.rfind("PowerICC", 0) == 0)
                power.push_back(call);
        EXPECT_EQ(power, c.calls) << c.what;
        // The protocol is negotiated again after the reset.
        bool negotiated = false;
        for (const std::string& call : trace.Calls())
            negotiated = negotiated || call == "SetProtocolParameters 1";
        EXPECT_TRUE(negotiated) << c.what;
        PcscResult rv;
        EXPECT_EQ(StatusAtr(rv), c.atr) << c.what;
        EXPECT_EQ(rv, SCARD_S_SUCCESS);
        link.Disconnect(SCARD_UNPOWER_CARD);
    }
}

TEST_F(OneReader, CardRemovalIsSeenByStatusAndTransmit)
{
    ASSERT_EQ(Connect(), SCARD_S_SUCCESS);
    ASSERT_EQ(bench::Ctl({"remove-card", "one", "Bench Sim Reader"}), 0);
    PcscResult rv;
    StatusAtr(rv);
    EXPECT_EQ(static_cast<std::uint32_t>(rv), 0x80100069u);  // SCARD_W_REMOVED_CARD
    Exchange(Bytes({0x00, 0xA4, 0x04, 0x00}), rv);
    EXPECT_EQ(static_cast<std::uint32_t>(rv), 0x80100069u);
    link.Disconnect(SCARD_LEAVE_CARD);
    ASSERT_EQ(bench::Ctl({"insert-card", "one", "Bench Sim Reader"}), 0);
    EXPECT_EQ(Connect(), SCARD_S_SUCCESS);
}

struct ShareCase {
    DWORD first;
    DWORD second;
    std::uint32_t secondResult;
};

TEST_F(OneReader, ShareModesOfTwoConnections)
{
    const ShareCase cases[] = {
        {SCARD_SHARE_SHARED, SCARD_SHARE_SHARED, 0},
        {SCARD_SHARE_EXCLUSIVE, SCARD_SHARE_SHARED, 0x8010000Bu},  // SCARD_E_SHARING_VIOLATION
        {SCARD_SHARE_SHARED, SCARD_SHARE_EXCLUSIVE, 0x8010000Bu},
        {SCARD_SHARE_EXCLUSIVE, SCARD_SHARE_EXCLUSIVE, 0x8010000Bu},
    };
    for (const ShareCase& c : cases) {
        ASSERT_EQ(Connect(c.first), SCARD_S_SUCCESS);
        CReaderLink other;
        ASSERT_EQ(other.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        DWORD active = 0;
        PcscResult rv = other.Connect(kReader, c.second, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &active);
        EXPECT_EQ(static_cast<std::uint32_t>(rv), c.secondResult) << c.first << " then " << c.second;
        if (rv == SCARD_S_SUCCESS)
            other.Disconnect(SCARD_LEAVE_CARD);
        other.ReleaseContext();
        link.Disconnect(SCARD_LEAVE_CARD);
    }
}

}  // namespace
