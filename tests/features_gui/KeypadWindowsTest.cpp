// SPDX-License-Identifier: BSD-3-Clause
// The keypad and display windows opened from the control list, against the
// private pcscd with "Keypad Sim Reader" (keypad.scn), whose user's typing is
// scripted. The key scripts are consumed in order: the tests of one program
// share one reader, so the key tests run as one.
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

#include "../readerlink_pcscd/PcscdBench.h"
#include "FeatureHarness.h"
#include "features/DisplayPropertiesDlg.h"
#include "features/GetKeyDlg.h"
#include "features/GetKeyPressedDlg.h"
#include "features/KeyHistoryDlg.h"
#include "features/PinPropertiesDlg.h"
#include "features/SpeMessageDlg.h"
#include "features/WriteDisplayDlg.h"

using namespace console;
using namespace harness;
using namespace fharness;

namespace {

class KeypadWindows : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bench::Ctl({"insert-card", "keypad", "Keypad Sim Reader"}), 0);
        dlg.show();
        Click(dlg, IDC_ESTABLISH);
        Click(dlg, IDC_CONNECT);
        ASSERT_EQ(StateMismatches(dlg, WindowState::CardConnected), "") << StatusLine(dlg);
        trace.Mark();
    }
    void TearDown() override { dlg.reject(); }

    template <class Window>
    Window* Open(const char* feature, const QPointer<QWidget>& slot) {
        EXPECT_TRUE(ChooseControl(dlg, feature)) << feature;
        auto* window = qobject_cast<Window*>(slot.data());
        EXPECT_NE(window, nullptr) << feature;
        if (window) {
            EXPECT_TRUE(window->isVisible()) << feature;
            // Wholly on the screen, whatever its offsets.
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            EXPECT_TRUE(screen.contains(window->geometry())) << feature;
        }
        return window;
    }
    std::vector<std::string> Calls(const std::string& prefix) {
        std::vector<std::string> out;
        for (const std::string& call : trace.Calls())
            if (call.rfind(prefix, 0) == 0) out.push_back(call);
        return out;
    }
    static void Press(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    static void SetNumber(QSpinBox* box, const char* value) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, value);
    }

    RecordingPcsc pcsc;
    bench::TraceWatch trace{"trace-keypad.log"};
    CConsoleDlg dlg;
};

TEST_F(KeypadWindows, ScriptedKeysDriveTheKeyWindows) {
    // A PIN start opens the key history beside its PIN window.
    auto* history = Open<CKeyHistoryDlg>("FEATURE_VERIFY_PIN_START", dlg.KeyHistoryWindow());
    ASSERT_NE(history, nullptr);
    QPointer<CKeyHistoryDlg> historyGone = history;
    EXPECT_EQ(history->windowTitle(), "Get Key Pressed");
    std::vector<QString> fourthCell;
    QObject::connect(history->Cell(3), &QLineEdit::textChanged, [&](const QString& t) { fourthCell.push_back(t); });
    const std::uint8_t maxExtra[2] = {0x04, 0x04};
    trace.Mark();
    EXPECT_EQ(history->PollKeys(1, 0x02, maxExtra), 0);
    EXPECT_EQ(Calls("Control 42330005").size(), 5u);  // four digits, then enter ends the entry
    // Blank from the first pass, a digit at the fourth, blank again at enter.
    EXPECT_EQ(fourthCell, (std::vector<QString>{" ", "x", " "}));
    EXPECT_EQ(history->LastReceiveField()->text(), "Enter Button");
    EXPECT_EQ(StatusLine(dlg), ResultText(0));

    // "GetKey": one key per "OK".
    auto* getKey = Open<CGetKeyPressedDlg>("FEATURE_GET_KEY_PRESSED", dlg.FeatureWindowOf(features::FeatureWindow::GetKeyPressed));
    ASSERT_NE(getKey, nullptr);
    EXPECT_TRUE(dlg.KeyHistoryWindow().isNull()) << "the selection closed the PIN start's windows";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(historyGone.isNull()) << "and the window itself is gone";
    auto cells = [&] {
        QString text;
        for (int i = 0; i < 4; ++i) text += getKey->Cell(i)->text();
        return text;
    };
    struct Step {
        QString cells;
        QString message;
        std::uint32_t status;
    };
    const std::uint32_t failed = static_cast<std::uint32_t>(SCARD_E_NOT_TRANSACTED);
    const Step steps[] = {
        {"x", " ", 0}, {"xx", " ", 0}, {"xxx", " ", 0}, {"xxxx", " ", 0},
        {"xxxx", " ", 0},  // a fifth digit changes nothing
        {"xxx ", "Correction/Backspace button", 0},
        {"xxx ", "No key since last call", 0},
        {"xxx ", " ", failed},  // a failed read is no key: the console says why
    };
    int n = 0;
    for (const Step& s : steps) {
        Press(getKey->OkButton());
        EXPECT_EQ(cells().trimmed(), s.cells.trimmed()) << n;
        EXPECT_EQ(getKey->MessageField()->text(), s.message) << n;
        EXPECT_EQ(StatusLine(dlg), ResultText(s.status)) << n;
        ++n;
    }

    // "GET KEY": keys until the pad's time out, each shown as it comes.
    auto* keys = Open<CGetKeyDlg>("FEATURE_GET_KEY", dlg.FeatureWindowOf(features::FeatureWindow::GetKey));
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->TimeOutField()->value(), 5);
    std::vector<QString> shown;
    std::vector<QString> codes;
    QObject::connect(keys->KeyField(), &QLineEdit::textChanged, [&](const QString& t) { shown.push_back(t); });
    QObject::connect(keys->KeyCodeField(), &QLineEdit::textChanged, [&](const QString& t) { codes.push_back(t); });
    trace.Mark();
    Press(keys->OkButton());
    EXPECT_EQ(shown, (std::vector<QString>{"A", "1", " Enter ", " TimeOut "}));
    EXPECT_EQ(codes, (std::vector<QString>{"41", "31", "0d", "fe"}));
    EXPECT_EQ(Calls("Control 42330010"), std::vector<std::string>(4, "Control 42330010 05"));
    // A failed read shows its result, not the last key's silence.
    SetNumber(keys->TimeOutField(), "7");
    Press(keys->OkButton());
    EXPECT_EQ(StatusLine(dlg), ResultText(failed));
    EXPECT_EQ(keys->KeyCodeField()->text(), "");
}

TEST_F(KeypadWindows, MessagesReachTheReadersDisplay) {
    auto* window = Open<CWriteDisplayDlg>("FEATURE_WRITE_DISPLAY", dlg.FeatureWindowOf(features::FeatureWindow::WriteDisplay));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Calls("Control 42330011").size(), 1u) << "the display's size is read at opening";
    EXPECT_EQ(window->Limits().characters, 16);
    EXPECT_EQ(window->Limits().lines, 2);
    EXPECT_EQ(window->Limit(), 32);

    QTest::keyClicks(window->MessageField(), "HELLO");
    trace.Mark();
    Press(window->OkButton());
    EXPECT_EQ(trace.Calls(), (std::vector<std::string>{"Control 4233000F 00 00 00 00 0A 00 05 48 45 4C 4C 4F",
                                                       "Display 10 \"HELLO\""}));
    EXPECT_EQ(StatusLine(dlg), ResultText(0));

    // Typing wraps after 16 characters and stops at two full lines.
    window->MessageField()->clear();
    QTest::keyClicks(window->MessageField(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    EXPECT_EQ(window->MessageField()->toPlainText(), "ABCDEFGHIJKLMNOP\nQRSTUVWXYZ012345");
    SetNumber(window->DisplayTimeField(), "3");
    trace.Mark();
    Press(window->OkButton());
    EXPECT_EQ(Calls("Display"), (std::vector<std::string>{"Display 3 \"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345\""}));

    // A shorter second line keeps its break.
    window->MessageField()->clear();
    QTest::keyClicks(window->MessageField(), "ABCDEFGHIJKLMNOPQR");
    trace.Mark();
    Press(window->OkButton());
    EXPECT_EQ(Calls("Display"), (std::vector<std::string>{"Display 3 \"ABCDEFGHIJKLMNOP\\x0D\\x0AQR\""}));

    // A reader whose display size cannot be read (no such feature): the
    // empty text still goes, and the status line says why.
    std::string said = "unsaid";
    CWriteDisplayDlg blind(&dlg, &dlg.Session().Link(), 0x4233000F, 0,
                           [&](PcscResult result, std::string_view text) {
                               EXPECT_EQ(static_cast<std::uint32_t>(result), KEEP_STATUS_TEXT);
                               said = text;
                           });
    EXPECT_FALSE(blind.ReadDisplayLimits());
    QTest::keyClicks(blind.MessageField(), "HI");
    trace.Mark();
    Press(blind.OkButton());
    EXPECT_EQ(Calls("Control 4233000F"), (std::vector<std::string>{"Control 4233000F 00 00 00 00 0A 00 00"}));
    EXPECT_EQ(said, features::kNoDisplaySizeText);
}

TEST_F(KeypadWindows, SpeMessagesAndTheirFailures) {
    auto* window = Open<CSpeMessageDlg>("FEATURE_SET_SPE_MESSAGE", dlg.FeatureWindowOf(features::FeatureWindow::SpeMessage));
    ASSERT_NE(window, nullptr);
    QTest::keyClicks(window->MessageField(), "Enter your PIN please");  // 16 characters at most
    EXPECT_EQ(window->MessageField()->text(), "Enter your PIN p");
    SetNumber(window->IndexField(), "3");
    trace.Mark();
    Press(window->OkButton());
    const auto controls = Calls("Control 4233000C");
    ASSERT_EQ(controls.size(), 1u);
    std::string zeros;
    for (int i = 0; i < 32; ++i) zeros += "00 ";
    EXPECT_EQ(controls[0].substr(17, 96), zeros);
    EXPECT_EQ(controls[0].substr(17 + 96, 12), "03 00 00 10 ");
    EXPECT_EQ(Calls("SpeMessage"), (std::vector<std::string>{"SpeMessage 3 \"Enter your PIN p\""}));
    EXPECT_EQ(StatusLine(dlg), ResultText(0));

    // The reader refuses index 7: the console's status line says so.
    SetNumber(window->IndexField(), "7");
    Press(window->OkButton());
    EXPECT_EQ(StatusLine(dlg), ResultText(static_cast<std::uint32_t>(SCARD_E_NOT_TRANSACTED)));
}

TEST_F(KeypadWindows, PropertiesWindowsShowTheReadersValues) {
    auto* display = Open<CDisplayPropertiesDlg>("FEATURE_IFD_DISPLAY_PROPERTIES", dlg.FeatureWindowOf(features::FeatureWindow::DisplayProperties));
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(display->CharactersField()->text(), "16");
    EXPECT_EQ(display->LinesField()->text(), "2");
    // A byte's value has up to three digits: none is cut.
    display->LinesField()->setText("255");
    EXPECT_EQ(display->LinesField()->text(), "255");

    QPointer<CDisplayPropertiesDlg> displayGone = display;
    auto* pin = Open<CPinPropertiesDlg>("FEATURE_IFD_PIN_PROP", dlg.FeatureWindowOf(features::FeatureWindow::PinProperties));
    ASSERT_NE(pin, nullptr);
    EXPECT_TRUE(dlg.FeatureWindowOf(features::FeatureWindow::DisplayProperties).isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(displayGone.isNull()) << "another selection closes the window";
    // Escape closes a window as its close button does.
    QPointer<CPinPropertiesDlg> pinGone = pin;
    QTest::keyClick(pin, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(pinGone.isNull());
    EXPECT_FALSE(dlg.FeatureWindowOpen());
    pin = Open<CPinPropertiesDlg>("FEATURE_IFD_PIN_PROP", dlg.FeatureWindowOf(features::FeatureWindow::PinProperties));
    ASSERT_NE(pin, nullptr);
    // The first read takes the short layout; the display size keeps its default.
    EXPECT_EQ(pin->LayoutField()->text(), "16_2");
    EXPECT_EQ(pin->CharactersField()->text(), "xx");
    EXPECT_EQ(pin->ValidationField()->text(), "20");
    EXPECT_EQ(pin->TimeOutField()->text(), "0");
    // Enter reads the 8-byte answer into all five fields.
    QTest::keyClick(pin, Qt::Key_Return);
    EXPECT_EQ(pin->LayoutField()->text(), "16_2");
    EXPECT_EQ(pin->CharactersField()->text(), "20");
    EXPECT_EQ(pin->LinesField()->text(), "4");
    EXPECT_EQ(pin->ValidationField()->text(), "3");
    EXPECT_EQ(pin->TimeOutField()->text(), "60");
}

TEST_F(KeypadWindows, TagsBeyondTheTableAreListedAndUsedByTheirOwnCodes) {
    const auto texts = ControlTexts(dlg);
    for (const char* name : {"FEATURE_GET_TLV_PROPERTIES", "FEATURE_0x21"}) {
        EXPECT_EQ(std::count(texts.begin(), texts.end(), name), 1) << name;
    }
    // The list outgrows the usual answer buffer: asked again, it is whole.
    EXPECT_EQ(dlg.Session().FeatureCount(), 43);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "FEATURE_0x51"), 1);
    ASSERT_TRUE(ChooseControl(dlg, "FEATURE_0x21"));
    TypeCommand(dlg, "AB");
    trace.Mark();
    Click(dlg, IDC_CONTROL);
    EXPECT_EQ(trace.Calls(), (std::vector<std::string>{"Control 42330021 AB"}));
    EXPECT_EQ(Response(dlg), "01 02 ");
}

// Exit ends the program: no feature window stays behind it.
TEST_F(KeypadWindows, ExitTakesTheFeatureWindowsAlong) {
    QPointer<CDisplayPropertiesDlg> window =
        Open<CDisplayPropertiesDlg>("FEATURE_IFD_DISPLAY_PROPERTIES", dlg.FeatureWindowOf(features::FeatureWindow::DisplayProperties));
    ASSERT_FALSE(window.isNull());
    bool finished = false;
    QObject::connect(&dlg, &QDialog::finished, [&] { finished = true; });
    Click(dlg, IDC_EXIT);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(dlg.isHidden());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST_F(KeypadWindows, ClosingEndsARunningLoopCleanly) {
    QPointer<CGetKeyDlg> window = Open<CGetKeyDlg>("FEATURE_GET_KEY", dlg.FeatureWindowOf(features::FeatureWindow::GetKey));
    ASSERT_FALSE(window.isNull());
    SetNumber(window->TimeOutField(), "9");  // the key A for ever
    // A second press during the read, even with another time out, starts
    // no read inside it.
    QTimer::singleShot(200, window.data(), [window] {
        SetNumber(window->TimeOutField(), "7");
        window->OkButton()->click();
        QTest::keyClick(window->TimeOutField(), Qt::Key_Return);
    });
    QTimer::singleShot(400, window.data(), [window] { window->close(); });
    trace.Mark();
    Press(window->OkButton());  // returns once the close is seen
    EXPECT_GE(Calls("Control 42330010 09").size(), 2u);
    EXPECT_EQ(Calls("Control 42330010 07"), std::vector<std::string>{});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_FALSE(dlg.FeatureWindowOpen());

    // The console closing under a running loop takes the window with it.
    window = Open<CGetKeyDlg>("FEATURE_GET_KEY", dlg.FeatureWindowOf(features::FeatureWindow::GetKey));
    ASSERT_FALSE(window.isNull());
    SetNumber(window->TimeOutField(), "9");
    QTimer::singleShot(400, &dlg, [this] { dlg.reject(); });
    Press(window->OkButton());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(dlg.isHidden());
}

}  // namespace
