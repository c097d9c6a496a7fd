// SPDX-License-Identifier: BSD-3-Clause
// Reader arrival and removal: the window re-lists its readers when a reader
// comes or goes while a context is open and no card is connected, and the
// watcher outlives a restart of pcscd. Readers come and go here by
// restarting the private pcscd with a changed configuration.
#include <gtest/gtest.h>

#include <cstdlib>

#include "../readerlink_pcscd/PcscdBench.h"
#include "ConsoleHarness.h"

using namespace console;
using namespace harness;

namespace {

std::string Scenario(const char* name) {
    return bench::Env("SIMREADER_STATE_DIR") + "/../scenarios/" + name;
}

int ConfiguredReaders() { return std::atoi(bench::Env("PCSCD_EXPECTED_READERS").c_str()); }

TEST(ConsoleWatcher, FollowsReadersOnlyWithoutACardConnection) {
    if (ConfiguredReaders() != 1) GTEST_SKIP() << "runs under conf-one";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    ASSERT_EQ(ReaderList(dlg)->count(), 1);

    // A bare restart changes no reader: the list is not touched.
    ASSERT_EQ(bench::Ctl({"restart"}), 0);
    ASSERT_EQ(bench::Ctl({"add-reader", "Second Sim Reader", Scenario("listing.scn")}), 0);
    EXPECT_TRUE(WaitFor([&] { return ReaderList(dlg)->count() == 2; })) << "arrival re-lists the readers";
    EXPECT_EQ(ReaderList(dlg)->currentIndex(), 0);
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");

    // Connected: nothing happens when a reader comes.
    Click(dlg, IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    pcsc.Clear();
    ASSERT_EQ(bench::Ctl({"add-reader", "Third Sim Reader", Scenario("listing.scn")}), 0);
    WaitFor([] { return false; }, 1500);
    EXPECT_EQ(ReaderList(dlg)->count(), 2);
    EXPECT_TRUE(pcsc.Calls("ListReaders").empty());

    // Back without a connection, a removal is followed again.
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(ReaderList(dlg)->count(), 3);
    ASSERT_EQ(bench::Ctl({"remove-reader", "Second Sim Reader"}), 0);
    EXPECT_TRUE(WaitFor([&] { return ReaderList(dlg)->count() == 2; })) << "removal re-lists the readers";
    dlg.reject();
}

TEST(ConsoleWatcher, ReleasedContextIsNotReopenedByAnArrival) {
    if (ConfiguredReaders() != 1) GTEST_SKIP() << "runs under conf-one";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    Click(dlg, IDC_RELEASE);
    pcsc.Clear();
    ASSERT_EQ(bench::Ctl({"add-reader", "Fourth Sim Reader", Scenario("listing.scn")}), 0);
    WaitFor([] { return false; }, 1500);
    EXPECT_TRUE(pcsc.Calls("EstablishContext").empty()) << "the window made a new context";
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
    dlg.reject();
}

// Releasing the context while a card is connected ends that connection
// too: the next context follows arrivals like any other.
TEST(ConsoleWatcher, ArrivalsAreFollowedAfterAReleaseWhileConnected) {
    if (ConfiguredReaders() != 1) GTEST_SKIP() << "runs under conf-one";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    Click(dlg, IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    Click(dlg, IDC_RELEASE);
    Click(dlg, IDC_ESTABLISH);
    ASSERT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "") << StatusLine(dlg);
    const int before = ReaderList(dlg)->count();
    pcsc.Clear();
    ASSERT_EQ(bench::Ctl({"add-reader", "Fifth Sim Reader", Scenario("listing.scn")}), 0);
    EXPECT_TRUE(WaitFor([&] { return ReaderList(dlg)->count() == before + 1; })) << "arrival re-lists the readers";
    dlg.reject();
}

TEST(ConsoleWatcher, ReListingKeepsTheChosenPosition) {
    if (ConfiguredReaders() != 12) GTEST_SKIP() << "runs under conf-twelve";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    ASSERT_EQ(ReaderList(dlg)->count(), 10);
    ChooseReader(dlg, 3);
    pcsc.Clear();
    // A thirteenth reader does not fit the table, but the list is read again.
    ASSERT_EQ(bench::Ctl({"add-reader", "Bench Sim Reader 13", Scenario("listing.scn")}), 0);
    EXPECT_TRUE(WaitFor([&] { return !pcsc.Calls("ListReaders").empty(); })) << "arrival re-lists the readers";
    EXPECT_EQ(ReaderList(dlg)->count(), 10);
    EXPECT_EQ(ReaderList(dlg)->currentIndex(), 3);
    EXPECT_EQ(dlg.Session().SelectedReader(), 3);
    dlg.reject();
}

}  // namespace
