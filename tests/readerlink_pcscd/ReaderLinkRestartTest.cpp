// SPDX-License-Identifier: BSD-3-Clause
// Readers coming and going and the resource manager restarting, as the
// console's reader watcher meets them (pcscd-ctl.sh add-reader, remove-reader,
// restart, stop and start).
#include <gtest/gtest.h>

#include <PCSC/winscard.h>

#include <string>
#include <thread>

#include "PcscdBench.h"
#include "readerlink/ReaderLink.h"

namespace {

int ListedCount()
{
    CReaderLink link;
    if (link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr) != SCARD_S_SUCCESS)
        return -1;
    link.SetMaxReaders(10);
    int count = link.ListReaders(nullptr) == SCARD_S_SUCCESS ? link.GetReaderCount() : 0;
    link.ReleaseContext();
    return count;
}

std::string Scenario(const char* name)
{
    std::string source = bench::Env("PCSCD_CONF_SOURCE");
    return source.substr(0, source.rfind('/')) + "/scenarios/" + name;
}

TEST(ReaderLinkRestart, ReadersAddedAndRemovedAreListedByNewContexts)
{
    ASSERT_EQ(ListedCount(), 1);
    struct Step {
        std::vector<std::string> ctl;
        int readers;
    } steps[] = {
        {{"add-reader", "Second Sim Reader", Scenario("t0.scn")}, 2},
        {{"add-reader", "Third Sim Reader", Scenario("t1.scn")}, 3},
        {{"remove-reader", "Second Sim Reader"}, 2},
        {{"remove-reader", "Third Sim Reader"}, 1},
    };
    for (const Step& s : steps) {
        ASSERT_EQ(bench::Ctl(s.ctl), 0) << s.ctl[0] << " " << s.ctl[1];
        EXPECT_EQ(ListedCount(), s.readers) << s.ctl[0] << " " << s.ctl[1];
    }
}

TEST(ReaderLinkRestart, OldContextFailsAfterRestartAndNewOneWorks)
{
    CReaderLink link;
    ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    link.SetMaxReaders(10);
    ASSERT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
    ASSERT_EQ(bench::Ctl({"restart"}), 0);
    EXPECT_NE(link.ListReaders(nullptr), SCARD_S_SUCCESS);
    ASSERT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    link.SetMaxReaders(10);
    EXPECT_EQ(link.ListReaders(nullptr), SCARD_S_SUCCESS);
    EXPECT_EQ(link.GetReaderCount(), 1);
}

TEST(ReaderLinkRestart, StoppedResourceManagerIsReportedAsNotRunning)
{
    ASSERT_EQ(bench::Ctl({"stop"}), 0);
    CReaderLink link;
    EXPECT_EQ(static_cast<std::uint32_t>(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr)),
              0x8010001Du);  // SCARD_E_NO_SERVICE
    ASSERT_EQ(bench::Ctl({"start"}), 0);
    EXPECT_EQ(link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr), SCARD_S_SUCCESS);
    link.ReleaseContext();
}

// A watcher blocked on the reader-arrival pseudo reader wakes up when pcscd
// goes away, so it can re-establish its context.
TEST(ReaderLinkRestart, PnpWatcherReturnsWhenThePcscdRestarts)
{
    SCARDCONTEXT ctx = 0;
    ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &ctx), SCARD_S_SUCCESS);
    LONG watched = SCARD_S_SUCCESS;
    std::thread watcher([&] {
        SCARD_READERSTATE st{};
        st.szReader = "\\\\?PnP?\\Notification";
        st.dwCurrentState = SCARD_STATE_UNAWARE;
        watched = SCardGetStatusChange(ctx, INFINITE, &st, 1);
        // The first call reports the current state; the second one waits.
        if (watched == SCARD_S_SUCCESS) {
            st.dwCurrentState = st.dwEventState;
            watched = SCardGetStatusChange(ctx, INFINITE, &st, 1);
        }
    });
    ASSERT_EQ(bench::Ctl({"restart"}), 0);
    watcher.join();
    EXPECT_NE(watched, SCARD_S_SUCCESS);
    SCardReleaseContext(ctx);
}

}  // namespace
