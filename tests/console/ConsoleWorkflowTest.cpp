// SPDX-License-Identifier: BSD-3-Clause
// The connection workflow against the private pcscd with one simulated
// reader ("Bench Sim Reader", a card offering T=0 then T=1).
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "../readerlink_pcscd/PcscdBench.h"
#include "ConsoleHarness.h"
#include "carddata/StatusWords.h"
#include "widgets/QtText.h"
#include "readerlink/ResultText.h"
#include "console/ParseAtrDlg.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace harness;

namespace {

constexpr char kReaderPrefix[] = "Bench Sim Reader";

std::string ResultText(std::uint32_t code) {
    std::string text;
    GetResultText(code, text);
    return text;
}

class ConsoleWorkflow : public testing::Test {
protected:
    void SetUp() override {
        // A fresh card each time: the resource manager keeps the protocol a
        // card was left in, which would tie each test to the one before.
        ASSERT_EQ(bench::Ctl({"remove-card", "one", kReaderPrefix}), 0);
        ASSERT_EQ(bench::Ctl({"insert-card", "one", kReaderPrefix}), 0);
        trace.Mark();
    }
    void TearDown() override { dlg.reject(); }

    void Establish() {
        Click(dlg, IDC_ESTABLISH);
        ASSERT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "") << StatusLine(dlg);
    }
    void Connect() {
        Click(dlg, IDC_CONNECT);
        ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    }
    PcscCall LastCall(const std::string& name) {
        const auto calls = pcsc.Calls(name);
        return calls.empty() ? PcscCall{"none"} : calls.back();
    }
    bool Checked(int id) { return Button(dlg, id)->isChecked(); }
    void Type(const char* keys) { QTest::keyClicks(dlg.Control(IDC_COMMAND), keys); }
    QString Response() { return qobject_cast<QPlainTextEdit*>(dlg.Control(IDC_RESPONSE))->toPlainText(); }

    RecordingPcsc pcsc;
    bench::TraceWatch trace{"trace-one.log"};
    CConsoleDlg dlg;
};

TEST_F(ConsoleWorkflow, EveryControlFollowsTheThreeStates) {
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
    Establish();
    EXPECT_EQ(StatusLine(dlg), "OK");
    Connect();
    // The manufacturer-name read leaves the status line empty; this reader
    // names another maker, so the vendor attribute entries stay greyed.
    EXPECT_EQ(StatusLine(dlg), "");
    EXPECT_FALSE(dlg.Session().MakerReader());
    emit qobject_cast<QToolButton*>(dlg.Control(IDC_ATTRIBUTES))->menu()->aboutToShow();
    EXPECT_FALSE(dlg.MenuCommand(32820)->isEnabled());
    EXPECT_TRUE(dlg.MenuCommand(32832)->isEnabled()) << "standard entries stay available";
    Command(dlg, ID_WARM_RESET);
    EXPECT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    Command(dlg, ID_COLD_RESET);
    EXPECT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    Click(dlg, IDC_STATUS);
    EXPECT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
    EXPECT_EQ(StatusLine(dlg), "OK");
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");
    Connect();
    Click(dlg, IDC_RELEASE);
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
    // The reader list stays in view with its last contents.
    EXPECT_FALSE(ReaderList(dlg)->isHidden());
    EXPECT_EQ(ReaderList(dlg)->count(), 1);
    Establish();
    Click(dlg, IDC_RELEASE);
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
}

struct OptionCase {
    const char* name;
    std::vector<int> clicks;  // option controls clicked after Establish
    std::uint32_t shareMode;
    std::uint32_t protocols;
};

class ConnectOptions : public ConsoleWorkflow, public testing::WithParamInterface<OptionCase> {};

TEST_P(ConnectOptions, BecomeTheConnectArguments) {
    Establish();
    for (int id : GetParam().clicks) Click(dlg, id);
    Click(dlg, IDC_CONNECT);
    const PcscCall connect = LastCall("Connect");
    EXPECT_EQ(connect.a, GetParam().shareMode);
    EXPECT_EQ(connect.b, GetParam().protocols);
    EXPECT_EQ(connect.reader.rfind(kReaderPrefix, 0), 0u) << connect.reader;
}

INSTANTIATE_TEST_SUITE_P(
    Console, ConnectOptions,
    testing::Values(OptionCase{"StartValues", {}, 1, 3},
                    OptionCase{"DefaultParametersOnlyT1", {IDC_DEFAULT, IDC_PROTOCOL_T0}, 1, 0x80000002u},
                    OptionCase{"SharedAfterDefault", {IDC_DEFAULT, IDC_SHARE_SHARED}, 2, 3},
                    OptionCase{"OnlyT0", {IDC_PROTOCOL_T1}, 1, 1},
                    OptionCase{"Direct", {IDC_SHARE_DIRECT}, 3, 0},
                    OptionCase{"ProtocolAfterDirect", {IDC_SHARE_DIRECT, IDC_PROTOCOL_T1}, 3, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleWorkflow, DirectModeKeepsTheExchangeOffButNotTheControlCommand) {
    Establish();
    Click(dlg, IDC_SHARE_DIRECT);
    Click(dlg, IDC_CONNECT);
    // Connect ends on the manufacturer-name read, which keeps the status line's own (empty) text.
    ASSERT_TRUE(Button(dlg, IDC_DISCONNECT)->isEnabled()) << StatusLine(dlg);
    EXPECT_EQ(dlg.Session().LastResult(), static_cast<PcscResult>(KEEP_STATUS_TEXT));
    EXPECT_EQ(StatusLine(dlg), "");
    // No protocol is negotiated in direct mode.
    EXPECT_EQ(dlg.Session().PreferredProtocols(), 0u);
    EXPECT_TRUE(Checked(IDC_SHARE_DIRECT));
    EXPECT_FALSE(Button(dlg, IDC_SHARE_EXCLUSIVE)->isEnabled());
    EXPECT_TRUE(dlg.Control(IDC_STATUS_TREE)->isHidden());
    Type("00A4");
    EXPECT_FALSE(Button(dlg, IDC_TRANSMIT)->isEnabled());
    EXPECT_FALSE(Button(dlg, IDC_PLAY_COMMANDS)->isEnabled());
    EXPECT_TRUE(Button(dlg, IDC_CONTROL)->isEnabled());
    EXPECT_TRUE(Button(dlg, IDC_ADD_COMMAND)->isEnabled());
}

TEST_F(ConsoleWorkflow, ConnectShowsTheNegotiatedProtocol) {
    Establish();
    Click(dlg, IDC_DEFAULT);
    Connect();
    // The card offers T=0 and T=1 and the resource manager takes T=1.
    EXPECT_EQ(dlg.Session().PreferredProtocols(), 2u);
    EXPECT_FALSE(Checked(IDC_PROTOCOL_T0));
    EXPECT_TRUE(Checked(IDC_PROTOCOL_T1));
    EXPECT_TRUE(Checked(IDC_OPTIMAL)) << "a connection reports no parameter choice";
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(dlg.Session().PreferredProtocols(), 3u);
    EXPECT_TRUE(Checked(IDC_PROTOCOL_T0));
    EXPECT_TRUE(Checked(IDC_PROTOCOL_T1));
    for (int id : {IDC_SHARE_EXCLUSIVE, IDC_SHARE_SHARED, IDC_SHARE_DIRECT}) EXPECT_TRUE(Button(dlg, id)->isEnabled());
}

TEST_F(ConsoleWorkflow, ResetsReuseTheProtocolOfAT0Connection) {
    Establish();
    Click(dlg, IDC_PROTOCOL_T1);
    Connect();
    EXPECT_EQ(dlg.Session().PreferredProtocols(), 1u);
    EXPECT_TRUE(Checked(IDC_PROTOCOL_T0));
    EXPECT_FALSE(Checked(IDC_PROTOCOL_T1));
    EXPECT_TRUE(Checked(IDC_OPTIMAL));
    EXPECT_FALSE(Button(dlg, IDC_SHARE_SHARED)->isEnabled());

    trace.Mark();
    Command(dlg, ID_WARM_RESET);
    PcscCall reset = LastCall("Reconnect");
    EXPECT_EQ(reset.a, 1u);
    EXPECT_EQ(reset.b, 1u);
    EXPECT_EQ(reset.c, 1u);
    const auto warm = trace.Calls();
    EXPECT_NE(std::find(warm.begin(), warm.end(), "PowerICC 502"), warm.end()) << "warm reset reached the reader";

    Command(dlg, ID_COLD_RESET);
    reset = LastCall("Reconnect");
    EXPECT_EQ(reset.b, 1u);
    EXPECT_EQ(reset.c, 2u);
    // The hidden buttons run the same actions.
    Button(dlg, IDC_WARM_RESET)->click();
    EXPECT_EQ(LastCall("Reconnect").c, 1u);
    Button(dlg, IDC_COLD_RESET)->click();
    EXPECT_EQ(LastCall("Reconnect").c, 2u);
    EXPECT_EQ(StatusLine(dlg), "OK");
}

TEST_F(ConsoleWorkflow, RemovedCardDropsBackToConnect) {
    Establish();
    Connect();
    ASSERT_EQ(bench::Ctl({"remove-card", "one", kReaderPrefix}), 0);
    Click(dlg, IDC_STATUS);
    EXPECT_EQ(StatusLine(dlg), ResultText(SCARD_W_REMOVED_CARD));
    EXPECT_TRUE(Button(dlg, IDC_CONNECT)->isEnabled());
    EXPECT_TRUE(Button(dlg, IDC_DISCONNECT)->isEnabled());
    for (int id : {IDC_RECONNECT, IDC_STATUS, IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_CONTROL, IDC_RESPONSE_FORMAT}) {
        EXPECT_FALSE(Button(dlg, id)->isEnabled()) << id;
    }
    EXPECT_TRUE(dlg.Control(IDC_COMMAND)->isHidden());
    EXPECT_TRUE(dlg.Control(IDC_STATUS_TREE)->isHidden());
    // Disconnect is still the way back.
    Click(dlg, IDC_DISCONNECT);
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");
}

TEST_F(ConsoleWorkflow, FailedConnectShowsItsResultText) {
    ASSERT_EQ(bench::Ctl({"remove-card", "one", kReaderPrefix}), 0);
    Establish();
    Click(dlg, IDC_CONNECT);
    EXPECT_EQ(StatusLine(dlg), "The operation requires a smart card, but no smart card is currently in the device.");
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");
}

TEST_F(ConsoleWorkflow, ChoosingAReaderWhileConnectedReleasesTheContext) {
    Establish();
    Click(dlg, IDC_SHARE_SHARED);
    Connect();
    pcsc.Clear();
    ChooseReader(dlg, 0);
    EXPECT_EQ(pcsc.Calls("ReleaseContext").size(), 1u);
    EXPECT_TRUE(pcsc.Calls("Disconnect").empty());
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "");
    EXPECT_EQ(dlg.Session().ShareMode(), static_cast<DWORD>(SCARD_SHARE_EXCLUSIVE));
    EXPECT_EQ(dlg.Session().PreferredProtocols(), 3u);
}

TEST_F(ConsoleWorkflow, ClosingWhileConnectedReleasesWithoutDisconnecting) {
    Establish();
    Connect();
    pcsc.Clear();
    dlg.reject();
    EXPECT_EQ(pcsc.Calls("ReleaseContext").size(), 1u);
    EXPECT_TRUE(pcsc.Calls("Disconnect").empty());
}

TEST_F(ConsoleWorkflow, ConnectShowsTheAtrAndDisconnectClearsTheCommandArea) {
    Establish();
    Connect();
    auto* tree = qobject_cast<QTreeWidget*>(dlg.Control(IDC_STATUS_TREE));
    EXPECT_FALSE(tree->isHidden());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    EXPECT_EQ(FromQString(tree->topLevelItem(0)->text(0)), dlg.Session().AtrText());
    // The simulated card answers a cold reset and a warm one differently.
    Command(dlg, ID_COLD_RESET);
    EXPECT_EQ(dlg.Session().AtrText(), "3B 84 80 01 53 49 4D 31 63 ");
    Command(dlg, ID_WARM_RESET);
    EXPECT_EQ(dlg.Session().AtrText(), "3B 84 80 01 53 49 4D 32 60 ") << "the status step re-reads the ATR";
    EXPECT_EQ(FromQString(tree->topLevelItem(0)->text(0)), dlg.Session().AtrText());
    Type("00A40400");
    Click(dlg, IDC_DISCONNECT);
    // Clearing the field must not switch the exchange buttons back on.
    EXPECT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "");
    EXPECT_TRUE(qobject_cast<CMaskedEdit*>(dlg.Control(IDC_COMMAND))->MaskData().IsEmpty());
}

struct ExchangeCase {
    const char* name;
    const char* typed;
    std::string shown;       // response field after the exchange
    std::string otherForm;   // after one press of the response-format button
    std::string hex;         // after the second press
};

class Exchange : public ConsoleWorkflow, public testing::WithParamInterface<ExchangeCase> {};

TEST_P(Exchange, ShowsTheAnswerAndTogglesItsForm) {
    Establish();
    Connect();
    Type(GetParam().typed);
    ASSERT_TRUE(Button(dlg, IDC_TRANSMIT)->isEnabled());
    Click(dlg, IDC_TRANSMIT);
    EXPECT_EQ(Response(), ToQString(GetParam().shown));
    EXPECT_EQ(StatusLine(dlg), "OK");
    Click(dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), ToQString(GetParam().otherForm));
    Click(dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), ToQString(GetParam().hex)) << "the second press shows the stored bytes again";
}

INSTANTIATE_TEST_SUITE_P(
    Console, Exchange,
    testing::Values(ExchangeCase{"StatusWordOnly", "00A40400", StatusWordText(0x90, 0x00), std::string("\x90 ", 2),
                                 "90 00 "},
                    ExchangeCase{"DataAndStatus", "00B0000004", "44 41 54 41 90 00 ",
                                 std::string("DATA\x90 ", 6), "44 41 54 41 90 00 "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConsoleWorkflow, EnterInTheCommandFieldSendsOnce) {
    Establish();
    Connect();
    Type("00A40400");
    pcsc.Clear();
    QTest::keyClick(dlg.Control(IDC_COMMAND), Qt::Key_Return);
    EXPECT_EQ(pcsc.Calls("Transmit").size(), 1u);
    EXPECT_EQ(Response(), ToQString(StatusWordText(0x90, 0x00)));
}

TEST_F(ConsoleWorkflow, UseLogFileIsGreyedWhileAContextIsEstablished) {
    Command(dlg, IDM_USE_LOG_FILE);
    EXPECT_TRUE(dlg.Session().LogEnabled());
    Command(dlg, IDM_USE_LOG_FILE);
    EXPECT_FALSE(dlg.Session().LogEnabled());
    Establish();
    Command(dlg, IDM_USE_LOG_FILE);
    EXPECT_FALSE(dlg.Session().LogEnabled()) << "a greyed item cannot be chosen";
}

TEST_F(ConsoleWorkflow, ParseAtrFillsTheTreeWithoutContextOrCard) {
    QTimer::singleShot(0, [] {
        auto* parse = qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(parse, nullptr);
        parse->AtrField()->SetText("3B 00");
        parse->accept();
    });
    pcsc.Clear();
    dlg.OnSysCommand(IDM_PARSE_ATR);
    auto* tree = qobject_cast<QTreeWidget*>(dlg.Control(IDC_STATUS_TREE));
    EXPECT_FALSE(tree->isHidden());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* t0 = tree->topLevelItem(0)->child(0);
    ASSERT_NE(t0, nullptr);
    EXPECT_EQ(t0->text(0), "T0");
    ASSERT_GT(t0->childCount(), 0);
    EXPECT_EQ(FromQString(t0->child(0)->text(0)), "ATR with 0 Historical Byte(s) ");
    EXPECT_TRUE(pcsc.Calls().empty()) << "no resource manager is involved";
    // The tree takes the card picture's place; nothing else changes.
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "picture 1040: hidden\n");
}

TEST_F(ConsoleWorkflow, LogFileHoldsTheStatusAndExchangeRecords) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    Command(dlg, IDM_USE_LOG_FILE);
    Establish();
    Connect();
    Type("00A40400");
    Click(dlg, IDC_TRANSMIT);
    Click(dlg, IDC_RELEASE);
    QDir::setCurrent(previous);

    const QStringList logs = QDir(dir.path()).entryList({"*.log"}, QDir::Files);
    ASSERT_EQ(logs.size(), 1);
    const std::string log = bench::ReadFile(dir.filePath(logs.first()).toStdString());
    const std::string atr = dlg.Session().AtrText().substr(0, dlg.Session().AtrText().size() - 1);
    EXPECT_NE(log.find("[Command]\r\nSCardStatus Request\r\n[Answer]\r\n" + atr + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[Command]\r\nSCardTransmit\r\n00 A4 04 00 "), std::string::npos) << log;
    EXPECT_NE(log.find("[Answer]\r\n90 00 \r\n"), std::string::npos) << log;
}

TEST_F(ConsoleWorkflow, DisconnectsDoNotPileUpContexts) {
    Establish();
    for (int i = 0; i < 3; ++i) {
        Connect();
        Click(dlg, IDC_DISCONNECT);
        ASSERT_EQ(StateMismatches(dlg, WindowState::ContextEstablished), "") << StatusLine(dlg);
    }
    Click(dlg, IDC_RELEASE);
    // Each re-listing after a disconnect makes a new context: the one it
    // replaces is released.
    EXPECT_EQ(pcsc.Calls("EstablishContext").size(), pcsc.Calls("ReleaseContext").size());
}

TEST_F(ConsoleWorkflow, MinimisingWithoutATrayKeepsTheWindowReachable) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no tray";
    dlg.show();
    dlg.setWindowState(dlg.windowState() | Qt::WindowMinimized);
    QTest::qWait(50);
    EXPECT_FALSE(dlg.isHidden()) << "hidden with no tray icon to bring it back";
}

// Start-up warns once about a screen narrower than 800 pixels, before the
// window is drawn; the height is not looked at.
struct ScreenCase {
    const char* name;
    int width;
    bool warned;
};

class NarrowScreen : public testing::TestWithParam<ScreenCase> {
protected:
    void TearDown() override { CConsoleDlg::SetScreenWidthSource(nullptr); }
    static int s_width;
};
int NarrowScreen::s_width = 0;

TEST_P(NarrowScreen, WarnsOnceBeforeTheWindowShows) {
    s_width = GetParam().width;
    CConsoleDlg::SetScreenWidthSource([] { return s_width; });
    std::vector<std::string> texts;
    bool windowShownMeanwhile = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            texts.push_back(FromQString(box->text()));
            for (QWidget* top : QApplication::topLevelWidgets())
                if (qobject_cast<CConsoleDlg*>(top) && top->isVisible()) windowShownMeanwhile = true;
            box->accept();
        }
    });
    poll.start(10);
    CConsoleDlg dlg;
    QTest::qWait(30);
    poll.stop();
    if (GetParam().warned) {
        EXPECT_EQ(texts, std::vector<std::string>{"Recommended Minimal screen resolution is 800*600"});
    } else {
        EXPECT_TRUE(texts.empty());
    }
    EXPECT_FALSE(windowShownMeanwhile);
    EXPECT_EQ(StateMismatches(dlg, WindowState::NoContext), "") << "start-up goes on after the warning";
    dlg.reject();
}

INSTANTIATE_TEST_SUITE_P(Console, NarrowScreen,
                         testing::Values(ScreenCase{"Width640", 640, true}, ScreenCase{"Width799", 799, true},
                                         ScreenCase{"Width800", 800, false}, ScreenCase{"Width1024", 1024, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only a double click on the tray icon brings the window back. Where a tray
// exists the window is first minimised behind it; without one (offscreen)
// it is hidden as minimising would.
struct TrayCase {
    const char* name;
    QSystemTrayIcon::ActivationReason reason;
    bool restores;
};

class TrayIcon : public testing::TestWithParam<TrayCase> {};

TEST_P(TrayIcon, DoubleClickRestoresTheWindow) {
    CConsoleDlg dlg;
    auto* tray = dlg.findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(FromQString(tray->toolTip()), "Tav_PCSC");
    dlg.show();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        dlg.setWindowState(dlg.windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(WaitFor([&] { return dlg.isHidden(); }, 2000)) << "minimising hides behind the tray icon";
    } else {
        dlg.hide();
    }
    emit tray->activated(GetParam().reason);
    QCoreApplication::processEvents();
    EXPECT_EQ(dlg.isVisible(), GetParam().restores);
    if (GetParam().restores) {
        EXPECT_FALSE(dlg.windowState() & Qt::WindowMinimized);
    }
    dlg.reject();
}

INSTANTIATE_TEST_SUITE_P(Console, TrayIcon,
                         testing::Values(TrayCase{"DoubleClick", QSystemTrayIcon::DoubleClick, true},
                                         TrayCase{"SingleClick", QSystemTrayIcon::Trigger, false},
                                         TrayCase{"MiddleClick", QSystemTrayIcon::MiddleClick, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
