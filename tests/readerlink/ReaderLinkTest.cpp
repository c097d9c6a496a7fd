// SPDX-License-Identifier: BSD-3-Clause
// CReaderLink against a scripted resource manager: the guards, the listing
// and the transmit header, without any pcscd.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <PCSC/reader.h>

#include "readerlink/ReaderLink.h"

namespace {

// What the scripted resource manager saw and what it answers.
struct Script {
    int calls = 0;
    std::string readerList;  // the multi-string, terminators included
    LONG firstListResult = SCARD_S_SUCCESS;
    LONG secondListResult = SCARD_S_SUCCESS;
    DWORD reportedLength = 0;  // 0: the true length of readerList
    DWORD secondCallLength = 0;
    SCARDHANDLE lastCard = 0;
    SCARD_IO_REQUEST lastPci{};
    DWORD connectProtocol = SCARD_PROTOCOL_T1;
};
Script g;

LONG Establish(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT ctx) { ++g.calls; *ctx = 0x1234; return SCARD_S_SUCCESS; }
LONG Release(SCARDCONTEXT) { ++g.calls; return static_cast<LONG>(SCARD_E_INVALID_HANDLE); }
LONG List(SCARDCONTEXT, LPCSTR, LPSTR buffer, LPDWORD length) {
    ++g.calls;
    const DWORD full = g.reportedLength ? g.reportedLength : static_cast<DWORD>(g.readerList.size());
    if (!buffer) {
        *length = full;
        return g.firstListResult;
    }
    g.secondCallLength = *length;
    if (g.secondListResult != SCARD_S_SUCCESS) return g.secondListResult;
    const DWORD n = std::min<DWORD>(*length, static_cast<DWORD>(g.readerList.size()));
    std::memcpy(buffer, g.readerList.data(), n);
    *length = n;
    return SCARD_S_SUCCESS;
}
LONG Connect(SCARDCONTEXT, LPCSTR, DWORD, DWORD, LPSCARDHANDLE card, LPDWORD protocol) {
    ++g.calls;
    *card = 0x77;
    *protocol = g.connectProtocol;
    return SCARD_S_SUCCESS;
}
LONG Reconnect(SCARDHANDLE card, DWORD, DWORD, DWORD, LPDWORD protocol) { ++g.calls; g.lastCard = card; *protocol = SCARD_PROTOCOL_T0; return SCARD_S_SUCCESS; }
LONG Disconnect(SCARDHANDLE card, DWORD) { ++g.calls; g.lastCard = card; return static_cast<LONG>(SCARD_E_INVALID_HANDLE); }
LONG Status(SCARDHANDLE card, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD) { ++g.calls; g.lastCard = card; return SCARD_S_SUCCESS; }
LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* pci, LPCBYTE, DWORD, SCARD_IO_REQUEST*, LPBYTE, LPDWORD) {
    ++g.calls;
    g.lastCard = card;
    g.lastPci = *pci;
    return SCARD_S_SUCCESS;
}
LONG Control(SCARDHANDLE card, DWORD, LPCVOID, DWORD, LPVOID, DWORD, LPDWORD) { ++g.calls; g.lastCard = card; return SCARD_S_SUCCESS; }
LONG GetAttrib(SCARDHANDLE card, DWORD, LPBYTE, LPDWORD) { ++g.calls; g.lastCard = card; return SCARD_S_SUCCESS; }
LONG GetStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE*, DWORD) { ++g.calls; return SCARD_S_SUCCESS; }
LONG Cancel(SCARDCONTEXT) { ++g.calls; return SCARD_S_SUCCESS; }

const PcscApi kScripted = {Establish, Release, List, Connect, Reconnect, Disconnect, Status,
                           Transmit,  Control, GetAttrib, GetStatusChange, Cancel};

std::string MultiString(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) s += n + '\0';
    return s + '\0';
}

std::vector<std::string> NumberedReaders(int count) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("Reader " + std::to_string(i));
    return names;
}

class ReaderLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = Script{};
        SetPcscApi(&kScripted);
    }
    void TearDown() override { SetPcscApi(nullptr); }

    CReaderLink EstablishedLink() {
        CReaderLink link;
        EXPECT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), 0);
        return link;
    }
};

TEST_F(ReaderLinkTest, OperationsNeedingAHandleReturnNoHandleWithoutCallingThrough) {
    CReaderLink link;
    std::uint8_t buffer[16];
    DWORD length = sizeof buffer, protocol = 0, state = 0;
    char name[kReaderNameSize];
    const std::vector<PcscResult> results = {
        link.ListReaders(nullptr),
        link.Connect("r", SCARD_SHARE_SHARED, 3, &protocol),
        link.Reconnect(SCARD_SHARE_SHARED, 3, SCARD_LEAVE_CARD, &protocol),
        link.Transmit(buffer, 4, buffer, &length),
        link.Control(1, buffer, 1, buffer, sizeof buffer, &length),
        link.GetAttrib(SCARD_ATTR_VENDOR_NAME, buffer, &length),
        link.Status(name, &length, &state, &protocol, buffer, &length),
    };
    for (const PcscResult r : results) EXPECT_EQ(r, NO_HANDLE);
    EXPECT_EQ(g.calls, 0);

    // Disconnect and ReleaseContext call through with the zero handle.
    EXPECT_EQ(static_cast<std::uint32_t>(link.Disconnect(SCARD_LEAVE_CARD)), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(static_cast<std::uint32_t>(link.ReleaseContext()), SCARD_E_INVALID_HANDLE);
    EXPECT_EQ(g.lastCard, 0);
    EXPECT_EQ(g.calls, 2);
}

TEST_F(ReaderLinkTest, ListingKeepsTheFirstNamesUpToTheLimitInOrder) {
    struct Case {
        int readers;
        int limit;
        int expected;
    };
    for (const Case c : {Case{12, 10, 10}, Case{3, 10, 3}, Case{1, 10, 1}, Case{5, 2, 2}}) {
        g.readerList = MultiString(NumberedReaders(c.readers));
        CReaderLink link = EstablishedLink();
        link.SetMaxReaders(c.limit);
        ASSERT_EQ(link.ListReaders(nullptr), 0);
        EXPECT_EQ(link.GetReaderCount(), c.expected) << c.readers << " readers, limit " << c.limit;
        for (int i = 0; i < c.expected; ++i) EXPECT_STREQ(link.ReaderName(i), ("Reader " + std::to_string(i)).c_str());
    }
}

TEST_F(ReaderLinkTest, ASecondListingWithoutANewLimitTakesAtMostTheLastCount) {
    CReaderLink link = EstablishedLink();
    link.SetMaxReaders(10);
    g.readerList = MultiString(NumberedReaders(3));
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    g.readerList = MultiString(NumberedReaders(8));
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    EXPECT_EQ(link.GetReaderCount(), 3);
}

TEST_F(ReaderLinkTest, LimitIgnoresNonPositiveCountsAndNeverExceedsTheTable) {
    CReaderLink link;
    EXPECT_EQ(link.GetReaderCount(), 1);
    link.SetMaxReaders(0);
    link.SetMaxReaders(-5);
    EXPECT_EQ(link.GetReaderCount(), 1);
    link.SetMaxReaders(500);
    EXPECT_EQ(link.GetReaderCount(), kReaderSlots);
}

TEST_F(ReaderLinkTest, EmptyListGivesSuccessAndNoReaders) {
    for (const std::string& list : {std::string(1, '\0'), std::string()}) {
        g.readerList = list;
        CReaderLink link = EstablishedLink();
        link.SetMaxReaders(10);
        EXPECT_EQ(link.ListReaders(nullptr), 0);
        EXPECT_EQ(link.GetReaderCount(), 0);
    }
}

TEST_F(ReaderLinkTest, FailedListingsLeaveTableAndLimitAlone) {
    g.readerList = MultiString({"Kept reader"});
    CReaderLink link = EstablishedLink();
    link.SetMaxReaders(10);
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    link.SetMaxReaders(7);

    g.firstListResult = static_cast<LONG>(SCARD_E_NO_READERS_AVAILABLE);
    EXPECT_EQ(static_cast<std::uint32_t>(link.ListReaders(nullptr)), SCARD_E_NO_READERS_AVAILABLE);
    g.firstListResult = SCARD_S_SUCCESS;
    g.secondListResult = static_cast<LONG>(SCARD_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(static_cast<std::uint32_t>(link.ListReaders(nullptr)), SCARD_E_INSUFFICIENT_BUFFER);

    EXPECT_EQ(link.GetReaderCount(), 7);
    EXPECT_STREQ(link.ReaderName(0), "Kept reader");
}

TEST_F(ReaderLinkTest, LongNamesAreCutAndLongListsFitTheirBuffer) {
    const std::string longName(300, 'N');
    std::vector<std::string> names = {longName, "Second"};
    for (int i = 0; i < 40; ++i) names.push_back(std::string(80, static_cast<char>('a' + i % 26)));
    g.readerList = MultiString(names);  // well over 2048 characters
    CReaderLink link = EstablishedLink();
    link.SetMaxReaders(10);
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    EXPECT_EQ(g.secondCallLength, g.readerList.size());
    EXPECT_EQ(link.GetReaderCount(), 10);
    EXPECT_EQ(std::string(link.ReaderName(0)), longName.substr(0, kReaderNameSize - 1));
    EXPECT_STREQ(link.ReaderName(1), "Second");
}

TEST_F(ReaderLinkTest, UnterminatedOrLyingListsStayInsideTheBuffer) {
    // A list without terminators, and a first call that claims less than the second delivers.
    g.readerList = std::string(150, 'X');
    CReaderLink link = EstablishedLink();
    link.SetMaxReaders(10);
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    EXPECT_EQ(link.GetReaderCount(), 1);
    EXPECT_EQ(std::strlen(link.ReaderName(0)), static_cast<std::size_t>(kReaderNameSize - 1));

    g.readerList = MultiString(NumberedReaders(4));
    g.reportedLength = 10;  // "Reader 0\0" and one character of the next
    link.SetMaxReaders(10);
    ASSERT_EQ(link.ListReaders(nullptr), 0);
    EXPECT_EQ(g.secondCallLength, 10u);
    EXPECT_STREQ(link.ReaderName(0), "Reader 0");
}

TEST_F(ReaderLinkTest, TransmitSendsWithTheProtocolOfTheLastConnect) {
    for (const DWORD protocol : {DWORD{SCARD_PROTOCOL_T0}, DWORD{SCARD_PROTOCOL_T1}}) {
        g.connectProtocol = protocol;
        CReaderLink link = EstablishedLink();
        DWORD active = 0;
        ASSERT_EQ(link.Connect("r", SCARD_SHARE_SHARED, 3, &active), 0);
        EXPECT_EQ(active, protocol);
        // A reconnect hands the new protocol back but the link keeps the connect's.
        ASSERT_EQ(link.Reconnect(SCARD_SHARE_SHARED, 3, SCARD_RESET_CARD, &active), 0);
        EXPECT_EQ(active, DWORD{SCARD_PROTOCOL_T0});
        std::uint8_t apdu[4] = {0x00, 0xA4, 0x04, 0x00}, answer[8];
        for (int i = 0; i < 2; ++i) {
            DWORD length = sizeof answer;
            ASSERT_EQ(link.Transmit(apdu, sizeof apdu, answer, &length), 0);
            EXPECT_EQ(g.lastPci.dwProtocol, protocol);
            EXPECT_EQ(g.lastPci.cbPciLength, sizeof(SCARD_IO_REQUEST));
            EXPECT_EQ(g.lastCard, 0x77);
        }
    }
}

TEST_F(ReaderLinkTest, ReleaseAndDisconnectKeepTheOldHandles) {
    CReaderLink link = EstablishedLink();
    DWORD active = 0;
    ASSERT_EQ(link.Connect("r", SCARD_SHARE_SHARED, 3, &active), 0);
    link.Disconnect(SCARD_LEAVE_CARD);
    link.ReleaseContext();
    EXPECT_EQ(link.ContextHandle(), 0x1234);
    EXPECT_EQ(link.CardHandle(), 0x77);
}

}  // namespace
