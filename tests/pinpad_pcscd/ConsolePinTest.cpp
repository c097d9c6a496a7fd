// SPDX-License-Identifier: BSD-3-Clause
// The secure PIN windows and exchanges driven through the main window with
// real clicks and typing, against a private pcscd whose simulated PIN pad
// types the PIN itself (pin-gui.scn: one keypad script per exchange, in the
// order of the tests below, which therefore run in this order).
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "../readerlink_pcscd/PcscdBench.h"
#include "FeatureHarness.h"
#include "features/KeyHistoryDlg.h"
#include "features/ModifyPinDlg.h"
#include "features/PinPromptDlg.h"
#include "features/VerifyPinDlg.h"

using namespace console;
using namespace harness;
using namespace fharness;

namespace {

namespace fs = std::filesystem;

const char kVerifyApdu[] = "00 20 00 01 04 00 00 00 00";
const char kModifyApdu[] = "00 24 00 01 0C FF FF FF FF FF FF FF FF FF FF FF FF";

std::string Success() { return ResultText(SCARD_S_SUCCESS); }

// A press of the left mouse button in the middle of a console button.
void Press(CConsoleDlg& dlg, int id) {
    QAbstractButton* button = Button(dlg, id);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    QCoreApplication::processEvents();
}

template <class W>
W* OpenWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* typed = qobject_cast<W*>(w); typed && typed->isVisible()) return typed;
    return nullptr;
}

class ConsolePin : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/console-pin-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_oldDir = fs::current_path();
        fs::current_path(m_dir);
        dlg.OnSysCommand(IDM_USE_LOG_FILE);
        dlg.show();
        ASSERT_NO_FATAL_FAILURE(EstablishAndConnect(dlg));
        trace.Mark();
    }
    void TearDown() override {
        dlg.reject();
        QCoreApplication::processEvents();
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }
    std::string LogBytes() {
        for (const auto& entry : fs::directory_iterator(m_dir))
            if (entry.path().extension() == ".log") return bench::ReadFile(entry.path().string());
        return "<no log>";
    }
    // The control calls the reader saw since the mark, and the commands the card got with a PIN.
    std::vector<std::string> Seen(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& call : trace.Calls())
            if (call.rfind(prefix, 0) == 0) out.push_back(call);
        return out;
    }

    fs::path m_dir;
    fs::path m_oldDir;
    bench::TraceWatch trace{"trace-pin-gui.log"};
    CConsoleDlg dlg;
};

TEST_F(ConsolePin, VerifyDirectWithTheRightPinGives9000) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    CVerifyPinDlg* window = OpenWindow<CVerifyPinDlg>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->StructureText(), "xxxxxxxxxxxxxxxxx");
    TypeCommand(dlg, kVerifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(StatusLine(dlg), Success());
    // The reader got the 19-byte head and the APDU; the card got the PIN the pad's user typed.
    EXPECT_EQ(Seen("Control 42330006"),
              std::vector<std::string>{"Control 42330006 00 00 82 04 00 04 04 02 00 09 04 00 00 00 00 09 00 00 00 "
                                       "00 20 00 01 04 00 00 00 00"});
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 31 32 33 34"});
    // The record: operation name, the command field's text, the answer.
    const std::string log = LogBytes();
    const std::size_t record = log.find("[Command]\r\nSCardVerifyPinControlPCSCV2\r\n00 20 00 01 04 00 00 00 00");
    ASSERT_NE(record, std::string::npos) << log;
    EXPECT_EQ(log.find("\r\n[Answer]\r\n90 00 \r\n", record), log.find("\r\n[Answer]", record)) << log;
}

TEST_F(ConsolePin, VerifyDirectWithAWrongPinGives63C2) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, kVerifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "63 C2 ");
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 39 39 39 39"});
}

TEST_F(ConsolePin, ModifyDirectWithOldNewAndConfirmation) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_MODIFY_PIN_DIRECT"));
    ASSERT_NE(OpenWindow<CModifyPinDlg>(), nullptr);
    TypeCommand(dlg, kModifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(Seen("PinTransmit"),
              std::vector<std::string>{"PinTransmit 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38"});
    EXPECT_NE(LogBytes().find("SCardModifyPinControlPCSCV2\r\n"), std::string::npos);
}

// The maker's way: the prompt shows while the pad's user takes 1.5 s, the
// window goes on handling events, a second press is ignored, then the answer.
TEST_F(ConsolePin, VendorVerifyShowsThePromptWhileThePadWaits) {
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_VERIFY_PIN"));
    ASSERT_NE(OpenWindow<CVerifyPinDlg>(), nullptr);
    TypeCommand(dlg, kVerifyApdu);
    bool promptShown = false;
    std::string promptText;
    bool pinFieldHidden = false;
    // Every 50 ms the console is asked to repaint; the paints are counted.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    dlg.installEventFilter(&counter);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        dlg.update();
    });
    ticker.start(50);
    QTimer::singleShot(900, [&] {
        CPinPromptDlg* prompt = OpenWindow<CPinPromptDlg>();
        promptShown = prompt != nullptr;
        if (prompt) {
            promptText = FromQString(prompt->Prompt()->text()) + "|" + FromQString(prompt->windowTitle());
            pinFieldHidden = prompt->PinField()->isHidden();
        }
        Press(dlg, IDC_CONTROL);   // ignored while the worker runs
        Press(dlg, IDC_TRANSMIT);  // so is an APDU
    });
    Press(dlg, IDC_CONTROL);
    ticker.stop();
    EXPECT_TRUE(promptShown);
    EXPECT_EQ(promptText, "Please Enter Your PinCode.|PIN Code");
    EXPECT_TRUE(pinFieldHidden);
    dlg.removeEventFilter(&counter);
    EXPECT_GE(ticks, 10) << "the window stopped handling events while the reader waited";
    EXPECT_GE(counter.paints, 5) << "the window stopped repainting while the reader waited";
    EXPECT_EQ(OpenWindow<CPinPromptDlg>(), nullptr);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(Seen("Control 4200080A"),
              std::vector<std::string>{"Control 4200080A 00 82 04 00 04 04 02 00 09 04 00 00 20 00 01 04 00 00 00 00"});
    EXPECT_TRUE(Seen("Transmit").empty());
    EXPECT_NE(LogBytes().find("[Command]\r\nSCardVerifyPinControl\r\n"), std::string::npos);
}

TEST_F(ConsolePin, ClosingTheConsoleDuringAVendorExchangeWaitsForTheWorker) {
    ASSERT_TRUE(ChooseControl(dlg, "IOCTL_SMARTCARD_VENDOR_VERIFY_PIN"));
    TypeCommand(dlg, kVerifyApdu);
    bool stillOpenAfterClose = false;
    QTimer::singleShot(900, [&] {
        dlg.close();
        stillOpenAfterClose = dlg.isVisible();
    });
    Press(dlg, IDC_CONTROL);
    EXPECT_TRUE(stillOpenAfterClose);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 31 32 33 34"});
}

TEST_F(ConsolePin, CancelOnThePadGives6401) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, kVerifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "64 01 ");
    EXPECT_TRUE(Seen("PinTransmit").empty());
}

// A start is followed by the key loop of "Get Key Pressed", which shows the
// keys the pad's user types (1, 2, correction, 2, 3, 4, enter); the finish
// code then brings the card's answer.
TEST_F(ConsolePin, VerifyStartFollowsTheKeysThenFinish) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_START"));
    auto* history = qobject_cast<CKeyHistoryDlg*>(dlg.KeyHistoryWindow().data());
    ASSERT_NE(history, nullptr);
    std::vector<QString> lastKey;
    QObject::connect(history->LastReceiveField(), &QLineEdit::textChanged,
                     [&](const QString& t) { if (lastKey.empty() || lastKey.back() != t) lastKey.push_back(t); });
    std::vector<QString> secondCell;
    QObject::connect(history->Cell(1), &QLineEdit::textChanged, [&](const QString& t) { secondCell.push_back(t); });
    TypeCommand(dlg, kVerifyApdu);
    // A second press while the key loop follows the keys is ignored.
    QTimer::singleShot(150, [&] { Press(dlg, IDC_CONTROL); });
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Seen("Control 42330001").size(), 1u);
    EXPECT_EQ(Response(dlg), "");
    EXPECT_EQ(StatusLine(dlg), Success());
    EXPECT_EQ(lastKey, (std::vector<QString>{" ", "Correction/Backspace button", " ", "Enter Button"}));
    // The second digit, its correction, the second digit again, then enter blanks the cells.
    ASSERT_FALSE(secondCell.empty());
    EXPECT_EQ(secondCell.back(), " ");
    EXPECT_GE(std::count(secondCell.begin(), secondCell.end(), QString("x")), 2);
    // Five digit keys, a correction and enter, each read with one poll.
    std::size_t keysRead = 0;
    for (const std::string& call : trace.Calls())
        if (call == "Control 42330005") ++keysRead;
    EXPECT_GE(keysRead, 7u);

    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_FINISH"));
    TypeCommand(dlg, "00");
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 31 32 33 34"});
}

TEST_F(ConsolePin, RequestOver256BytesIsRefusedAndNothingSent) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    std::string apdu;
    for (int i = 0; i < 240; ++i) apdu += "A5 ";
    TypeCommand(dlg, apdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(StatusLine(dlg), "Request of 259 bytes refused: at most 256 bytes can be sent.");
    EXPECT_TRUE(Seen("Control").empty());
}

// Closing the window and pressing again opens a fresh window with the defaults.
TEST_F(ConsolePin, ClosedWindowComesBackWithItsDefaults) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    CVerifyPinDlg* window = OpenWindow<CVerifyPinDlg>();
    ASSERT_NE(window, nullptr);
    QLineEdit* timeOut = window->Field(0);
    timeOut->selectAll();
    QTest::keyClicks(timeOut, "1E");
    EXPECT_EQ(window->ReadFields().timeOut, "1E");
    window->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dlg.FeatureWindowOpen());
    TypeCommand(dlg, kVerifyApdu);
    Press(dlg, IDC_CONTROL);
    CVerifyPinDlg* fresh = OpenWindow<CVerifyPinDlg>();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->ReadFields().timeOut, "00");
    EXPECT_TRUE(dlg.FeatureWindowOpen());
    // Sent with the fresh window's bTimeOut, not the closed window's 1E.
    const std::vector<std::string> sent = Seen("Control 42330006");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].substr(0, 25), "Control 42330006 00 00 82");
    EXPECT_EQ(Response(dlg), "90 00 ");
}

// A modify start: the key loop waits for as many entries as bNumberMessage
// says (3: current, new, confirmation), then the finish code answers.
TEST_F(ConsolePin, ModifyStartFollowsThreeEntriesThenFinish) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_MODIFY_PIN_START"));
    auto* history = qobject_cast<CKeyHistoryDlg*>(dlg.KeyHistoryWindow().data());
    ASSERT_NE(history, nullptr);
    int enters = 0;
    QObject::connect(history->LastReceiveField(), &QLineEdit::textChanged, [&](const QString& t) {
        if (t == "Enter Button") ++enters;
    });
    TypeCommand(dlg, kModifyApdu);
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(StatusLine(dlg), Success());
    EXPECT_EQ(enters, 3);
    EXPECT_EQ(history->LastReceiveField()->text(), "Enter Button");

    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_MODIFY_PIN_FINISH"));
    TypeCommand(dlg, "00");
    Press(dlg, IDC_CONTROL);
    EXPECT_EQ(Response(dlg), "90 00 ");
    EXPECT_EQ(Seen("PinTransmit"),
              std::vector<std::string>{"PinTransmit 00 24 00 01 0C 31 32 33 34 FF FF FF FF 35 36 37 38"});
}

// The pad's user is slow and the console's user clicks again meanwhile, a
// double click among it: the card sees one try, and the console says it waits.
TEST_F(ConsolePin, ClicksDuringASlowPinEntryAreNotFurtherTries) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, kVerifyApdu);
    std::string statusMeanwhile;
    QTimer::singleShot(400, [&] {
        statusMeanwhile = StatusLine(dlg);
        QAbstractButton* button = Button(dlg, IDC_CONTROL);
        QTest::mouseDClick(button, Qt::LeftButton, {}, button->rect().center());
        Press(dlg, IDC_CONTROL);
    });
    Press(dlg, IDC_CONTROL);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(statusMeanwhile, "Waiting for the reader: PIN entry on its keypad...");
    EXPECT_EQ(Response(dlg), "63 C2 ");
    EXPECT_EQ(Seen("Control 42330006").size(), 1u);
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 39 39 39 39"});
}

// The console is closed while the pad's user types: it says it waits,
// stays until the reader answers (the exchange is logged), then closes.
TEST_F(ConsolePin, ClosingDuringAPinEntryWaitsForTheReader) {
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_VERIFY_PIN_DIRECT"));
    TypeCommand(dlg, kVerifyApdu);
    std::string statusMeanwhile;
    bool openMeanwhile = false;
    QTimer::singleShot(400, [&] {
        dlg.reject();
        QCoreApplication::processEvents();
        statusMeanwhile = StatusLine(dlg);
        openMeanwhile = dlg.isVisible();
    });
    Press(dlg, IDC_CONTROL);
    EXPECT_TRUE(openMeanwhile);
    EXPECT_EQ(statusMeanwhile,
              "The console closes when the reader ends the PIN entry (at the latest at the keypad's time-out).");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(Seen("Control 42330006").size(), 1u);
    EXPECT_EQ(Seen("PinTransmit"), std::vector<std::string>{"PinTransmit 00 20 00 01 04 31 32 33 34"});
    const std::string log = LogBytes();
    EXPECT_NE(log.find("SCardVerifyPinControlPCSCV2"), std::string::npos) << log;
}

}  // namespace
