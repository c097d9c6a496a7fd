// SPDX-License-Identifier: BSD-3-Clause
// The program's uname reports a 4.19 kernel, as on an older Linux: the
// console must take the same branch as everywhere (reader watcher, re-list
// after a disconnect), whatever the kernel's version.
#include <sys/utsname.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "../console/ConsoleHarness.h"
#include "../readerlink_pcscd/PcscdBench.h"

extern "C" int uname(struct utsname* name) noexcept {
    std::memset(name, 0, sizeof *name);
    std::strncpy(name->sysname, "Linux", sizeof name->sysname - 1);
    std::strncpy(name->nodename, "bench", sizeof name->nodename - 1);
    std::strncpy(name->release, "4.19.0-27-amd64", sizeof name->release - 1);
    std::strncpy(name->version, "#1 SMP", sizeof name->version - 1);
    std::strncpy(name->machine, "x86_64", sizeof name->machine - 1);
    return 0;
}

namespace {

using namespace console;
using namespace harness;

TEST(OldKernel, DisconnectReListsAndArrivalsAreFollowed) {
    utsname name{};
    ASSERT_EQ(uname(&name), 0);
    ASSERT_EQ(std::string(name.release).substr(0, 2), "4.");

    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    dlg.show();
    Click(dlg, IDC_ESTABLISH);
    Click(dlg, IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    pcsc.Clear();
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(pcsc.Calls("ListReaders").size(), 1u) << "the disconnect re-lists the readers";
    EXPECT_EQ(ReaderList(dlg)->currentIndex(), 0);
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");

    // The reader watcher runs: a reader's arrival re-lists.
    ASSERT_EQ(bench::Ctl({"add-reader", "Old Kernel Reader",
                          bench::Env("SIMREADER_STATE_DIR") + "/../scenarios/listing.scn"}),
              0);
    EXPECT_TRUE(WaitFor([&] { return ReaderList(dlg)->count() == 2; })) << "no re-list on arrival";
    ASSERT_EQ(bench::Ctl({"remove-reader", "Old Kernel Reader"}), 0);
    EXPECT_TRUE(WaitFor([&] { return ReaderList(dlg)->count() == 1; }));
    dlg.reject();
}

}  // namespace
