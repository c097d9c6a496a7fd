// SPDX-License-Identifier: BSD-3-Clause
// Establish and the reader list, against a private pcscd with no reader
// (conf-none) or with twelve simulated readers (conf-twelve). The same
// program runs under both; the reader count it finds picks the checks.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include "../readerlink_pcscd/PcscdBench.h"
#include "ConsoleHarness.h"
#include "widgets/QtText.h"

using namespace console;
using namespace harness;

namespace {

int ConfiguredReaders() { return std::atoi(bench::Env("PCSCD_EXPECTED_READERS").c_str()); }

TEST(ConsoleReaders, EstablishWithoutReadersStaysWithoutContext) {
    if (ConfiguredReaders() != 0) GTEST_SKIP() << "runs under conf-none";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    // The resource manager reports an empty system as an error code that
    // has no sentence of its own.
    EXPECT_EQ(StatusLine(dlg), "Unknow Error : 8010002Eh (Not described in Smart Card Error Codes)");
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
    EXPECT_EQ(ReaderList(dlg)->count(), 0);
    // Without readers no context is kept open behind the window.
    EXPECT_EQ(pcsc.Calls("EstablishContext").size(), pcsc.Calls("ReleaseContext").size());
    dlg.reject();
}

TEST(ConsoleReaders, TwelveReadersListTheFirstTenInOrder) {
    if (ConfiguredReaders() != 12) GTEST_SKIP() << "runs under conf-twelve";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    ASSERT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "") << StatusLine(dlg);
    QComboBox* list = ReaderList(dlg);
    ASSERT_EQ(list->count(), 10);
    for (int i = 0; i < 10; ++i) {
        char prefix[32];
        std::snprintf(prefix, sizeof prefix, "Bench Sim Reader %02d ", i + 1);
        EXPECT_EQ(FromQString(list->itemText(i)).rfind(prefix, 0), 0u) << i;
    }
    EXPECT_EQ(list->currentIndex(), 0);
    dlg.reject();
}

TEST(ConsoleReaders, ConnectUsesTheChosenReaderAndDisconnectResetsTheChoice) {
    if (ConfiguredReaders() != 12) GTEST_SKIP() << "runs under conf-twelve";
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Click(dlg, IDC_ESTABLISH);
    const std::string fourth = FromQString(ReaderList(dlg)->itemText(3));
    ChooseReader(dlg, 3);
    // Without a connection a choice only selects.
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");
    Click(dlg, IDC_CONNECT);
    ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    ASSERT_FALSE(pcsc.Calls("Connect").empty());
    EXPECT_EQ(pcsc.Calls("Connect").back().reader, fourth);
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(dlg.Session().SelectedReader(), 0);
    EXPECT_EQ(ReaderList(dlg)->currentIndex(), 0);
    EXPECT_EQ(ReaderList(dlg)->count(), 10);
    EXPECT_EQ(pcsc.Calls("Disconnect").back().c, static_cast<std::uint32_t>(SCARD_LEAVE_CARD));
    dlg.reject();
}

// These readers do not answer the maker's vendor attribute code: the chosen
// reader's own name stands in for the manufacturer name, as the log shows.
TEST(ConsoleReaders, AReaderWithoutTheMakersCodeIsJudgedByItsName) {
    if (ConfiguredReaders() != 12) GTEST_SKIP() << "runs under conf-twelve";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    RecordingPcsc pcsc;
    CConsoleDlg dlg;
    Command(dlg, IDM_USE_LOG_FILE);
    Click(dlg, IDC_ESTABLISH);
    const std::string fourth = FromQString(ReaderList(dlg)->itemText(3));
    ChooseReader(dlg, 3);
    Click(dlg, IDC_CONNECT);
    EXPECT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    EXPECT_EQ(StatusLine(dlg), "");
    EXPECT_FALSE(dlg.Session().MakerReader());
    Click(dlg, IDC_RELEASE);
    dlg.reject();
    QDir::setCurrent(previous);

    const QStringList logs = QDir(dir.path()).entryList({"*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const std::string log = bench::ReadFile(dir.filePath(logs.first()).toStdString());
    EXPECT_NE(log.find("[Command]\r\nSCardControl\r\nManufacturer Name\r\n[Answer]\r\n" + fourth + "\r\n"),
              std::string::npos)
        << log;
}

}  // namespace
