// SPDX-License-Identifier: BSD-3-Clause
// Control codes, the reader's features and its attributes through the main
// window, against the private pcscd with the demo PIN pad and a plain reader
// of another maker.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../readerlink_pcscd/PcscdBench.h"
#include "FeatureHarness.h"
#include "features/FeatureWindow.h"
#include "features/PinParamsDlg.h"

using namespace console;
using namespace harness;
using namespace fharness;

namespace {

namespace fs = std::filesystem;

class ConsoleControl : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bench::Ctl({"insert-card", "demo", "TAV Bench PinPad"}), 0);
        ASSERT_EQ(bench::Ctl({"insert-card", "plain", "Plain Sim Reader"}), 0);
        char pattern[] = "/tmp/console-control-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_oldDir = fs::current_path();
        fs::current_path(m_dir);
        dlg.show();
        demoTrace.Mark();
    }
    void TearDown() override {
        dlg.reject();
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }
    void ConnectTo(int reader) { EstablishAndConnect(dlg, reader); }
    // The status line after choosing an attribute menu entry.
    std::string ReadAttribute(int command) {
        emit qobject_cast<QToolButton*>(dlg.Control(IDC_ATTRIBUTES))->menu()->aboutToShow();
        QAction* action = dlg.MenuCommand(command);
        if (!action || !action->isEnabled()) return "<greyed>";
        action->trigger();
        QCoreApplication::processEvents();
        return StatusLine(dlg);
    }
    std::string LogBytes() {
        for (const auto& entry : fs::directory_iterator(m_dir))
            if (entry.path().extension() == ".log") return bench::ReadFile(entry.path().string());
        return "<no log>";
    }

    fs::path m_dir;
    fs::path m_oldDir;
    RecordingPcsc pcsc;
    bench::TraceWatch demoTrace{"trace-demo.log"};
    CConsoleDlg dlg;
};

const std::vector<std::string> kFixedShown = {
    "SELECT AN IOCTL",
    "IOCTL_SMARTCARD_VENDOR_IFD_EXCHANGE",
    "IOCTL_SMARTCARD_VENDOR_SAM_EXCHANGE",
    "IOCTL_SMARTCARD_VENDOR_GET_ATTRIBUTE",
    "IOCTL_SMARTCARD_VENDOR_SET_ATTRIBUTE",
    "IOCTL_SMARTCARD_VENDOR_SWITCH_SPEED",
    "IOCTL_SMARTCARD_VENDOR_VERIFY_PIN",
    "IOCTL_SMARTCARD_VENDOR_DISPLAY",
    "IOCTL_SMARTCARD_VENDOR_MODIFY_PIN",
};

// The features of demo.scn by their names.
const std::vector<std::string> kDemoFeatures = {
    "FEATURE_VERIFY_PIN_START",  "FEATURE_VERIFY_PIN_FINISH", "FEATURE_MODIFY_PIN_START",
    "FEATURE_MODIFY_PIN_FINISH", "FEATURE_GET_KEY_PRESSED",   "FEATURE_VERIFY_PIN_DIRECT",
    "FEATURE_MODIFY_PIN_DIRECT", "FEATURE_IFD_PIN_PROP",      "FEATURE_SET_SPE_MESSAGE",
    "FEATURE_WRITE_DISPLAY",     "FEATURE_GET_KEY",           "FEATURE_IFD_DISPLAY_PROPERTIES",
};

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

// The titles of the feature and PIN windows on screen, sorted.
std::vector<std::string> WindowsOnScreen() {
    std::vector<std::string> titles;
    for (QWidget* w : QApplication::topLevelWidgets())
        if ((qobject_cast<CFeatureWindow*>(w) || qobject_cast<CPinParamsDlg*>(w)) && w->isVisible())
            titles.push_back(FromQString(w->windowTitle()));
    return Sorted(titles);
}

TEST_F(ConsoleControl, ConnectListsTheTwelveFeaturesSorted) {
    ConnectTo(0);
    std::vector<std::string> expected = kFixedShown;
    expected.insert(expected.end(), kDemoFeatures.begin(), kDemoFeatures.end());
    // Upper case throughout, so plain byte order is the list's order.
    EXPECT_EQ(ControlTexts(dlg), Sorted(expected));
    EXPECT_EQ(FromQString(ReaderList(dlg)->itemText(0)), std::string(kDemoReader) + " PCSC V2 with 12 Feature(s)");
    EXPECT_EQ(FromQString(ReaderList(dlg)->itemText(1)), kPlainReader);
    EXPECT_EQ(ReaderList(dlg)->currentIndex(), 0);
    EXPECT_EQ(dlg.Session().FeatureCount(), 12);
    EXPECT_TRUE(dlg.Session().Features().m_keyPollingSupported);
    EXPECT_EQ(StatusLine(dlg), "");
    EXPECT_TRUE(dlg.Session().MakerReader());
}

TEST_F(ConsoleControl, TypedInputReachesTheReaderWithTheChosenCode) {
    dlg.OnSysCommand(IDM_USE_LOG_FILE);
    ConnectTo(0);
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_IFD_EXCHANGE"));
    TypeCommand(dlg, "0102A0");
    demoTrace.Mark();
    Click(dlg, IDC_CONTROL);
    const auto calls = demoTrace.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "Control 42000800 01 02 A0");
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(StatusLine(dlg), ResultText(0));
    EXPECT_EQ(dlg.Session().ResponseLength(), 2u);
    EXPECT_EQ(dlg.Session().ResponseBytes()[0], 0x90);
    EXPECT_TRUE(Button(dlg, IDC_RESPONSE_FORMAT)->isEnabled());
    // One record: the field's text as typed (blanks of the mask kept) and the answer.
    const std::string log = LogBytes();
    const std::string record = "[Command]\r\nSCardControl\r\n01 02 A0 ";
    const std::size_t at = log.rfind(record);
    ASSERT_NE(at, std::string::npos) << log;
    const std::size_t answer = log.find("\r\n[Answer]\r\n", at);
    ASSERT_NE(answer, std::string::npos);
    EXPECT_EQ(log.substr(answer), "\r\n[Answer]\r\n90 00 \r\n");
    EXPECT_EQ(log.substr(at + record.size(), answer - at - record.size()),
              std::string(dlg.Session().CommandText().size() - 9, ' '));

    // "Select an IOCTL" leaves the code chosen before it.
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_DISPLAY"));
    ASSERT_TRUE(ChooseControl(dlg, "Select an IOCTL"));
    TypeCommand(dlg, "55");
    demoTrace.Mark();
    Click(dlg, IDC_CONTROL);
    ASSERT_EQ(demoTrace.Calls().size(), 1u);
    EXPECT_EQ(demoTrace.Calls()[0], "Control 42000BD4 55");
}

// Selections in a row, the events of each handled before the next (the old
// windows' deferred deletion among them): only the last selection's windows
// stay, and the flag follows what is on screen.
TEST_F(ConsoleControl, ThreeSelectionsInARowLeaveOnlyTheLastWindows) {
    ConnectTo(0);
    const struct {
        std::vector<std::string> choices;
        std::vector<std::string> open;
    } cases[] = {
        {{"FEATURE_GET_KEY", "FEATURE_GET_KEY_PRESSED", "FEATURE_IFD_DISPLAY_PROPERTIES"}, {"Display Properties"}},
        {{"FEATURE_IFD_PIN_PROP", "FEATURE_MODIFY_PIN_DIRECT", "IOCTL_SMARTCARD_VENDOR_VERIFY_PIN"},
         {"Verify Pin Value"}},
        {{"FEATURE_VERIFY_PIN_START", "FEATURE_GET_KEY", "FEATURE_MODIFY_PIN_START"},
         {"Get Key Pressed", "Modify Pin Value"}},
        {{"FEATURE_GET_KEY", "IOCTL_SMARTCARD_VENDOR_DISPLAY", "FEATURE_GET_KEY_PRESSED"}, {"GetKey"}},
    };
    for (const auto& c : cases) {
        for (const std::string& choice : c.choices) {
            ASSERT_TRUE(ChooseControl(dlg, choice)) << choice;
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_EQ(WindowsOnScreen(), c.open) << c.choices.back();
        EXPECT_TRUE(dlg.FeatureWindowOpen()) << c.choices.back();
    }
    // A user's close clears the flag at once; the next selection opens its window.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<CFeatureWindow*>(w) && w->isVisible()) w->close();
    EXPECT_FALSE(dlg.FeatureWindowOpen());
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_IFD_DISPLAY_PROPERTIES"));
    EXPECT_EQ(WindowsOnScreen(), std::vector<std::string>{"Display Properties"});
}

// What the user types into the window on screen is what the reader gets.
TEST_F(ConsoleControl, TheVisiblePinWindowsFieldsAreSent) {
    ConnectTo(0);
    for (const char* choice : {"FEATURE_IFD_PIN_PROP", "FEATURE_MODIFY_PIN_DIRECT", "FEATURE_VERIFY_PIN_DIRECT"}) {
        ASSERT_TRUE(ChooseControl(dlg, choice));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ASSERT_EQ(WindowsOnScreen(), std::vector<std::string>{"Verify Pin Value"});
    auto* window = qobject_cast<CPinParamsDlg*>(dlg.FeatureWindowOf(features::FeatureWindow::VerifyPin).data());
    ASSERT_NE(window, nullptr);
    window->Field(0)->selectAll();
    QTest::keyClicks(window->Field(0), "1E");
    TypeCommand(dlg, "00 20 00 01 04 00 00 00 00");
    demoTrace.Mark();
    Click(dlg, IDC_CONTROL);
    const std::vector<std::string> calls = demoTrace.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].substr(0, 25), "Control 42330006 1E 00 82");
}

// Controls sent with no input: the button works on an empty field.
TEST_F(ConsoleControl, AnEmptyFieldSendsNoInputBytes) {
    ConnectTo(0);
    // First the entry the connect shows, with no choice made: the emptied
    // field counts as a change, so the button is there at once.
    const struct {
        const char* choice;
        const char* sent;
    } cases[] = {{nullptr, "Control 42000BD4"},
                 {"FEATURE_VERIFY_PIN_FINISH", "Control 42330002"},
                 {"FEATURE_MODIFY_PIN_FINISH", "Control 42330004"}};
    for (const auto& c : cases) {
        const std::string name = c.choice ? c.choice : "as connected";
        if (c.choice) {
            ASSERT_TRUE(ChooseControl(dlg, c.choice));
        }
        ASSERT_TRUE(Button(dlg, IDC_CONTROL)->isEnabled()) << name;
        demoTrace.Mark();
        Click(dlg, IDC_CONTROL);
        const std::vector<std::string> calls = demoTrace.Calls();
        ASSERT_FALSE(calls.empty()) << name;
        EXPECT_EQ(calls[0], c.sent) << name;
    }
}

// What the list shows is what is sent, even after another reader's choice.
TEST_F(ConsoleControl, AConnectSendsTheShownControl) {
    bench::TraceWatch plainTrace{"trace-plain.log"};
    ConnectTo(0);
    EXPECT_EQ(FromQString(ControlList(dlg)->currentText()), "IOCTL_SMARTCARD_VENDOR_DISPLAY");
    TypeCommand(dlg, "55");
    demoTrace.Mark();
    Click(dlg, IDC_CONTROL);
    EXPECT_EQ(demoTrace.Calls(), std::vector<std::string>{"Control 42000BD4 55"});

    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    Click(dlg, IDC_DISCONNECT);
    ChooseReader(dlg, 1);
    ConnectTo(1);
    TypeCommand(dlg, "00 20 00 01 04 00 00 00 00");
    plainTrace.Mark();
    Click(dlg, IDC_CONTROL);
    std::vector<std::string> controls;
    for (const std::string& call : plainTrace.Calls())
        if (call.rfind("Control", 0) == 0) controls.push_back(call);
    EXPECT_EQ(controls, std::vector<std::string>{"Control 42000BD4 00 20 00 01 04 00 00 00 00"});
}

TEST_F(ConsoleControl, AFailedControlShowsTheFailure) {
    dlg.OnSysCommand(IDM_USE_LOG_FILE);
    ConnectTo(0);
    // The demo reader knows nothing of the SAM exchange.
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_SAM_EXCHANGE"));
    TypeCommand(dlg, "00");
    Click(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "xx xx xx xx xx");
    EXPECT_EQ(StatusLine(dlg), ResultText(static_cast<std::uint32_t>(SCARD_E_NOT_TRANSACTED)));
    EXPECT_EQ(dlg.Session().ResponseLength(), 0u);
    // The log takes the failure's text as the answer.
    const std::string log = LogBytes();
    EXPECT_EQ(log.substr(log.rfind("[Answer]")),
              "[Answer]\r\n" + ResultText(static_cast<std::uint32_t>(SCARD_E_NOT_TRANSACTED)) + "\r\n");
}

TEST_F(ConsoleControl, ACommandLongerThanTheInputBufferIsNotSent) {
    ConnectTo(0);
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_IFD_EXCHANGE"));
    std::string keys;
    for (int i = 0; i < 257; ++i) keys += "A5";
    TypeCommand(dlg, keys);
    pcsc.Clear();
    demoTrace.Mark();
    Click(dlg, IDC_CONTROL);
    EXPECT_TRUE(pcsc.Calls("Control").empty());
    EXPECT_TRUE(demoTrace.Calls().empty());
    EXPECT_EQ(StatusLine(dlg), "Command longer than 256 bytes: not sent");

    // 256 bytes still go.
    keys.resize(256 * 2);
    TypeCommand(dlg, keys);
    Click(dlg, IDC_CONTROL);
    ASSERT_EQ(demoTrace.Calls().size(), 1u);
    EXPECT_EQ(demoTrace.Calls()[0].size(), std::string("Control 42000800").size() + 256 * 3);
}

TEST_F(ConsoleControl, EveryAttributeEntryShowsItsValue) {
    ConnectTo(0);
    struct Case {
        int command;
        const char* shown;  // from demo.scn
    };
    const Case cases[] = {
        {32832, "TAV-SIM-0001"}, {32771, "254"},         {32800, "8000"},     {32801, "38400"},
        {32802, "4000"},         {32803, "9600"},        {32804, "TAV"},      {32805, "Bench PinPad"},
        {32806, "00 00 01 02 "}, {32809, "1000000"},     {32810, "3"},        {32811, "10"},
        {32812, "32"},           {32813, "254"},         {32833, "00 20 00 01 "},
        {32831, "1.0.0.0"},      {32816, "5000"},        {32817, "10"},       {32818, "05 "},
        {32819, "PP-2.10"},      {32820, "TAV Bench Readers"},                {32821, "simreader.so"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAttribute(c.command), c.shown) << c.command;

    // A vendor read leaves its bytes for the response-format button.
    ReadAttribute(32819);
    EXPECT_EQ(dlg.Session().ResponseLength(), 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dlg.Session().ResponseBytes().data())), "PP-2.10");
}

TEST_F(ConsoleControl, PlainReaderKeepsTheFixedEntriesAndFallsBackToItsName) {
    ASSERT_FALSE(dlg.MenuCommand(IDM_USE_LOG_FILE) == nullptr);
    dlg.OnSysCommand(IDM_USE_LOG_FILE);
    ConnectTo(1);
    EXPECT_EQ(ControlTexts(dlg), Sorted(kFixedShown));
    EXPECT_EQ(FromQString(ReaderList(dlg)->itemText(1)), kPlainReader);
    EXPECT_EQ(dlg.Session().FeatureCount(), 0);
    EXPECT_FALSE(dlg.Session().MakerReader());
    // The manufacturer-name read at connect took the reader's own name; its
    // record names the attribute.
    EXPECT_NE(LogBytes().find(std::string("SCardControl\r\nManufacturer Name\r\n[Answer]\r\n") + kPlainReader +
                              "\r\n"),
              std::string::npos)
        << LogBytes();

    struct Case {
        int command;
        std::string shown;
    };
    const Case cases[] = {
        {32804, "Other Maker"},
        {32771, "254"},
        {32812, "16"},  // answered with the two bytes 10 00
        {32820, "<greyed>"},
        {32816, "<greyed>"},
        // Not known to this reader: the failure's text.
        {32832, ResultText(static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE))},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAttribute(c.command), c.shown) << c.command;
    EXPECT_EQ(Response(dlg), "xx xx xx xx xx");
    const std::string log = LogBytes();
    // A later good read does not leave the failure's mark in the response field.
    EXPECT_EQ(ReadAttribute(32771), "254");
    EXPECT_EQ(Response(dlg), "");
    EXPECT_NE(log.find("SCardGetAttrib\r\nMax IFSD\r\n[Answer]\r\n254\r\n"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.rfind("[Answer]")),
              "[Answer]\r\n" + ResultText(static_cast<std::uint32_t>(SCARD_E_UNSUPPORTED_FEATURE)) + "\r\n");
}

}  // namespace
