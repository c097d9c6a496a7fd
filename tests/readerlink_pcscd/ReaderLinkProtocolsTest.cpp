// SPDX-License-Identifier: BSD-3-Clause
// Connecting in each share mode and protocol choice to cards that offer
// T=0, T=1 or both (scenarios t0.scn, t1.scn, t0t1.scn): what pcscd
// negotiates with the simulated reader and what the link remembers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "PcscdBench.h"
#include "readerlink/ReaderLink.h"

namespace {

struct ConnectCase {
    const char* reader;  // name prefix
    DWORD share;
    DWORD preferred;
    std::uint32_t result;
    DWORD active;
    const char* negotiation;  // the SetProtocolParameters call expected, or nullptr for none
};

void PrintTo(const ConnectCase& c, std::ostream* os)
{
    *os << c.reader << " share " << c.share << " preferred 0x" << std::hex << c.preferred;
}

class Protocols : public ::testing::TestWithParam<ConnectCase> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
        link.SetMaxReaders(10);
        ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
        ASSERT_EQ(link.GetReaderCount(), 3);
    }
    void TearDown() override { link.ReleaseContext(); }
    int Slot(const char* prefix)
    {
        // "Sim T0 Card" must not match "Sim T0 T1 Card": compare up to the
        // daemon's " NN 00" suffix.
        for (int i = 0; i < link.GetReaderCount(); ++i) {
            std::string name = link.ReaderName(i);
            if (name.size() > 6 && name.substr(0, name.size() - 6) == prefix)
                return i;
        }
        return -1;
    }

    CReaderLink link;
    bench::TraceWatch trace{"trace-protocols.log"};
};

TEST_P(Protocols, ConnectNegotiatesWhatTheCardOffers)
{
    const ConnectCase& c = GetParam();
    int slot = Slot(c.reader);
    ASSERT_GE(slot, 0);
    trace.Mark();
    DWORD active = 0xABCD;
    PcscResult rv = link.Connect(link.ReaderName(slot), c.share, c.preferred, &active);
    EXPECT_EQ(static_cast<std::uint32_t>(rv), c.result);
    std::vector<std::string> negotiations;
    for (const std::string& call : trace.Calls())
        if (call.rfind("SetProtocolParameters", 0) == 0)
            negotiations.push_back(call);
    if (c.negotiation)
        EXPECT_EQ(negotiations, std::vector<std::string>{c.negotiation});
    else
        EXPECT_TRUE(negotiations.empty()) << negotiations.front();
    if (rv == SCARD_S_SUCCESS) {
        EXPECT_EQ(active, c.active);
        EXPECT_EQ(link.ActiveProtocol(), c.active);
        // Power down so the next case negotiates afresh.
        link.Disconnect(SCARD_UNPOWER_CARD);
    }
}

constexpr DWORD T0 = SCARD_PROTOCOL_T0;
constexpr DWORD T1 = SCARD_PROTOCOL_T1;
constexpr DWORD kShared = SCARD_SHARE_SHARED;
constexpr DWORD kExclusive = SCARD_SHARE_EXCLUSIVE;
constexpr DWORD kDirect = SCARD_SHARE_DIRECT;
constexpr std::uint32_t kProtoMismatch = 0x8010000F;

INSTANTIATE_TEST_SUITE_P(
    ShareAndProtocol, Protocols,
    ::testing::Values(
        // Both offered: the daemon prefers T=1 when both are allowed.
        ConnectCase{"Sim T0 T1 Card", kShared, T0 | T1, 0, T1, "SetProtocolParameters 2"},
        ConnectCase{"Sim T0 T1 Card", kExclusive, T0 | T1, 0, T1, "SetProtocolParameters 2"},
        ConnectCase{"Sim T0 T1 Card", kShared, T0, 0, T0, "SetProtocolParameters 1"},
        ConnectCase{"Sim T0 T1 Card", kExclusive, T1, 0, T1, "SetProtocolParameters 2"},
        ConnectCase{"Sim T0 Card", kShared, T0 | T1, 0, T0, "SetProtocolParameters 1"},
        ConnectCase{"Sim T0 Card", kExclusive, T0, 0, T0, "SetProtocolParameters 1"},
        ConnectCase{"Sim T0 Card", kShared, T1, kProtoMismatch, 0, nullptr},
        ConnectCase{"Sim T1 Card", kShared, T0 | T1, 0, T1, "SetProtocolParameters 2"},
        ConnectCase{"Sim T1 Card", kExclusive, T0, kProtoMismatch, 0, nullptr},
        // Direct mode talks to the reader only: no negotiation, protocol 0.
        ConnectCase{"Sim T0 T1 Card", kDirect, 0, 0, 0, nullptr},
        ConnectCase{"Sim T1 Card", kDirect, 0, 0, 0, nullptr}));

}  // namespace
