// SPDX-License-Identifier: BSD-3-Clause
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEnterEvent>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QToolTip>
#include <memory>

#include "carddata/HexCodec.h"
#include "widgets/DialogUnits.h"
#include "widgets/DropDownButton.h"
#include "widgets/IconMenu.h"
#include "widgets/KitImages.h"
#include "widgets/MarkupTip.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessagePump.h"

namespace {

std::string RightTrimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

unsigned ByteCount(const std::string& text) {
    std::uint8_t bytes[512];
    unsigned count = 0;
    CHexCodec().HexToBytes(text, bytes, sizeof bytes, count);
    return count;
}

// Waits for a condition while the events run; fails after a generous bound.
template <typename Condition>
bool WaitFor(Condition condition, int boundMs = 5000) {
    return QTest::qWaitFor(condition, boundMs);
}

class MaskedEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        edit = std::make_unique<CMaskedEdit>();
        edit->SetHexGroups(COMMAND_MASK_GROUPS);
        edit->resize(400, 120);
        edit->show();
        edit->setFocus();
    }
    std::unique_ptr<CMaskedEdit> edit;
};

TEST_F(MaskedEditTest, TypingFillsGroupsAndSkipsSpaces) {
    QTest::keyClicks(edit.get(), "00a4 04-00");
    EXPECT_EQ(RightTrimmed(edit->GetText()), "00 A4 04 00");
    EXPECT_EQ(edit->GetText().size(), 779u);
    EXPECT_EQ(edit->toPlainText().size(), 779) << "the field shows what is read back";
    EXPECT_EQ(edit->CursorPosition(), 12);
    EXPECT_EQ(ByteCount(edit->GetText()), 4u);

    QTest::keyClick(edit.get(), Qt::Key_Left);
    QTest::keyClick(edit.get(), Qt::Key_Left);
    QTest::keyClick(edit.get(), Qt::Key_Left);
    EXPECT_EQ(edit->CursorPosition(), 7);
    QTest::keyClick(edit.get(), Qt::Key_Backspace);
    EXPECT_EQ(edit->CursorPosition(), 6);
    EXPECT_EQ(RightTrimmed(edit->GetText()), "00 A4  4 00");
    QTest::keyClick(edit.get(), Qt::Key_Right);
    QTest::keyClick(edit.get(), Qt::Key_Delete);
    EXPECT_EQ(edit->CursorPosition(), 7);
    EXPECT_EQ(RightTrimmed(edit->GetText()), "00 A4    00");
    EXPECT_EQ(ByteCount(edit->GetText()), 3u) << "a blank group is no byte";
    QTest::keyClicks(edit.get(), "b");
    EXPECT_EQ(RightTrimmed(edit->GetText()), "00 A4  B 00");
    QTest::keyClick(edit.get(), Qt::Key_End);
    EXPECT_EQ(edit->CursorPosition(), 12);
}

TEST_F(MaskedEditTest, CursorPlacedOnASpaceMovesToTheNextGroup) {
    QTextCursor c = edit->textCursor();
    c.setPosition(5);  // the space after the second group, as a mouse click puts it
    edit->setTextCursor(c);
    EXPECT_EQ(edit->CursorPosition(), 6);
    edit->SetCursorPosition(2);
    EXPECT_EQ(edit->CursorPosition(), 3);
}

TEST_F(MaskedEditTest, EnterSignalsOnceAndChangesNothing) {
    QTest::keyClicks(edit.get(), "0084000008");
    const std::string before = edit->GetText();
    QSignalSpy enter(edit.get(), &CMaskedEdit::EnterPressed);
    QTest::keyClick(edit.get(), Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    QTest::keyClick(edit.get(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(enter.count(), 2);
    EXPECT_EQ(edit->GetText(), before);
    EXPECT_EQ(edit->toPlainText().count(QLatin1Char('\n')), 0);
}

TEST_F(MaskedEditTest, ClipboardPasteCutAndSelection) {
    QApplication::clipboard()->setText(QStringLiteral("00 a4\r\n0400"));
    QTest::keyClick(edit.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(RightTrimmed(edit->GetText()), "00 A4 04 00");
    EXPECT_EQ(edit->CursorPosition(), 12);

    // Select all and type: the field starts over, literals stay.
    QTest::keyClick(edit.get(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit.get(), "9");
    EXPECT_EQ(RightTrimmed(edit->GetText()), "9");
    EXPECT_EQ(edit->GetText().size(), 779u);

    edit->SetText("11 22 33");
    QTextCursor c = edit->textCursor();
    c.setPosition(3);
    c.setPosition(5, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    QTest::keyClick(edit.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("22"));
    EXPECT_EQ(RightTrimmed(edit->GetText()), "11    33");
    EXPECT_EQ(edit->GetText().size(), 779u);

    // Read-only: keys, paste and cut leave the text alone.
    edit->setReadOnly(true);
    QTest::keyClick(edit.get(), Qt::Key_Home);
    QTest::keyClicks(edit.get(), "FF");
    QTest::keyClick(edit.get(), Qt::Key_Delete);
    QTest::keyClick(edit.get(), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(edit.get(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit.get(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(RightTrimmed(edit->GetText()), "11    33");
}

TEST_F(MaskedEditTest, ChangesBehindTheMasksBackAreUndone) {
    // A drag that moves text out removes it from the document directly.
    edit->SetText("11 22 33");
    QSignalSpy edited(edit.get(), &CMaskedEdit::TextEdited);
    QTextCursor c(edit->document());
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    EXPECT_EQ(edit->toPlainText().toStdString(), edit->GetText());
    EXPECT_EQ(RightTrimmed(edit->GetText()), "11 22 33");
}

TEST_F(MaskedEditTest, AtrFieldHoldsEightyGroups) {
    edit->SetHexGroups(ATR_MASK_GROUPS);
    QApplication::clipboard()->setText(QString(300, QLatin1Char('3')));
    QTest::keyClick(edit.get(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->GetText().size(), 239u);
    EXPECT_EQ(ByteCount(edit->GetText()), 80u);
    QTest::keyClicks(edit.get(), "44");
    EXPECT_EQ(ByteCount(edit->GetText()), 80u);
}

TEST(MarkupTipTest, ShowsAfterHoverAndFollowsTheSwitch) {
    QWidget window;
    window.resize(200, 100);
    auto* button = new QPushButton(QStringLiteral("Exit"), &window);
    button->setGeometry(10, 10, 80, 30);
    auto* other = new QPushButton(QStringLiteral("Other"), &window);
    other->setGeometry(100, 10, 80, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    CMarkupTip tip;
    tip.Attach(button, "<h0>Leave Application.");
    EXPECT_EQ(tip.TipText(button), QStringLiteral("<p style=\"white-space:nowrap\"><b>Leave Application.</b></p>"));
    EXPECT_TRUE(tip.TipText(other).isEmpty());

    QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), QPointF(15, 15));
    QCoreApplication::sendEvent(button, &enter);
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Leave Application.")));

    // Switched off: the shown tip goes and hovering brings none.
    tip.SetEnabled(false);
    EXPECT_FALSE(tip.IsEnabled());
    EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }));
    QCoreApplication::sendEvent(button, &enter);
    QTest::qWait(400);
    EXPECT_FALSE(QToolTip::isVisible());
    // Nor does the platform's own tooltip event get through.
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
    EXPECT_TRUE(QCoreApplication::sendEvent(button, &help) || !QToolTip::isVisible());
    EXPECT_FALSE(QToolTip::isVisible());

    // Switched on again: tips come back.
    tip.SetEnabled(true);
    QCoreApplication::sendEvent(button, &enter);
    EXPECT_TRUE(WaitFor([] { return QToolTip::isVisible(); }));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    EXPECT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }));
}

TEST(MarkupTipTest, DestroyedWidgetIsForgotten) {
    CMarkupTip tip;
    auto* widget = new QWidget;
    widget->show();
    tip.Attach(widget, "<h0>Gone soon.");
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(widget, &enter);
    delete widget;  // while its tip is armed
    QTest::qWait(300);
    EXPECT_FALSE(QToolTip::isVisible());
    tip.SetEnabled(false);
    tip.SetEnabled(true);
}

QIcon SolidIcon(QColor colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

int CountPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF)) ++n;
    return n;
}

TEST(IconMenuTest, ImagesAreDrawnBesideTheItems) {
    // Even where the application hides menu icons, these menus show them.
    QApplication::setAttribute(Qt::AA_DontShowIconsInMenus, true);
    CIconMenu menu;
    menu.AddItem(32825, "Cold Reset", SolidIcon(QColor(255, 0, 0)));
    menu.AddItem(32826, "Warm Reset", SolidIcon(QColor(0, 0, 255)));
    menu.adjustSize();
    const QImage shot = menu.grab().toImage();
    QApplication::setAttribute(Qt::AA_DontShowIconsInMenus, false);
    EXPECT_GE(CountPixels(shot, qRgb(255, 0, 0)), 16 * 16);
    EXPECT_GE(CountPixels(shot, qRgb(0, 0, 255)), 16 * 16);
}

TEST(IconMenuTest, KitPicturesAndImageStripsLoad) {
    for (KitImage image : {KitImage::AppIcon, KitImage::CardAndReader, KitImage::Logo, KitImage::ReconnectIcon,
                           KitImage::AttributesIcon, KitImage::AddCommandIcon, KitImage::ResponseFormatIcon,
                           KitImage::DeleteCommandIcon}) {
        EXPECT_FALSE(KitPixmap(image).isNull()) << static_cast<int>(image);
    }
    for (const QList<QIcon>& strip : {ResetMenuImages(), AttributeMenuImages()}) {
        ASSERT_EQ(strip.size(), 2);
        for (const QIcon& icon : strip) {
            const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
            ASSERT_EQ(image.size(), QSize(16, 16));
            // The magenta key is gone, and something is drawn.
            int opaque = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x) {
                    const QRgb p = image.pixel(x, y);
                    if (qAlpha(p) == 0) continue;
                    ++opaque;
                    EXPECT_FALSE(qRed(p) == 255 && qGreen(p) == 0 && qBlue(p) == 255) << x << "," << y;
                }
            EXPECT_GT(opaque, 10);
            EXPECT_LT(opaque, 256);
        }
    }
    EXPECT_TRUE(LoadImageStrip(QStringLiteral(":/cardbench/missing.png")).isEmpty());
}

TEST(DropDownButtonTest, VendorItemsFollowTheMakerReader) {
    CDropDownButton button;
    button.setText(QStringLiteral("SCardReconnect"));
    EXPECT_EQ(button.popupMode(), QToolButton::InstantPopup);
    CIconMenu* menu = button.Menu();
    menu->AddItem(32832, "Serial Number");
    menu->AddItem(32831, "Driver Version", QIcon(), true);
    menu->AddItem(32820, "Manufacturer Name", QIcon(), true);
    QSignalSpy opened(&button, &CDropDownButton::MenuAboutToOpen);
    QSignalSpy chosen(&button, &CDropDownButton::CommandChosen);

    button.SetMakerReader(false);
    emit menu->aboutToShow();
    EXPECT_EQ(opened.count(), 1);
    EXPECT_TRUE(menu->FindItem(32832)->isEnabled());
    EXPECT_FALSE(menu->FindItem(32831)->isEnabled());
    EXPECT_FALSE(menu->FindItem(32820)->isEnabled());

    button.SetMakerReader(true);
    emit menu->aboutToShow();
    EXPECT_TRUE(menu->FindItem(32831)->isEnabled());
    EXPECT_TRUE(menu->FindItem(32820)->isEnabled());

    menu->FindItem(32820)->trigger();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), 32820);
    EXPECT_EQ(menu->FindItem(1), nullptr);
}

// Catches the quit events that reach the application, so the test program
// itself is not told to end.
class QuitCounter : public QObject {
public:
    int quits = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Quit) {
            ++quits;
            return true;
        }
        return false;
    }
};

TEST(MessagePumpTest, RunsWaitingEventsThenIdleWork) {
    int timerRuns = 0;
    QTimer::singleShot(0, [&] { ++timerRuns; });
    int idleCalls = 0;
    SetIdleHandler([&] { return ++idleCalls < 4; });
    EXPECT_TRUE(PumpMessages());
    SetIdleHandler({});
    EXPECT_EQ(timerRuns, 1);
    EXPECT_EQ(idleCalls, 4);

    // Idle work that never runs out, and an event that keeps posting itself,
    // cannot keep the pump from returning.
    SetIdleHandler([] { return true; });
    QTimer endless;
    endless.setInterval(0);
    endless.start();
    EXPECT_TRUE(PumpMessages());
    endless.stop();
    SetIdleHandler({});
}

TEST(MessagePumpTest, DelayDoesNotRunEvents) {
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    DelayMs(5);
    EXPECT_FALSE(ran);
    DelayMs(0);
    DelayMs(-10);
    PumpMessages();
    EXPECT_TRUE(ran);
}

TEST(MessagePumpTest, QuitStopsThePumpAndIsPostedAgain) {
    bool after = false;
    QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QTimer::singleShot(0, [&] { after = true; });
    EXPECT_FALSE(PumpMessages());

    // The program's own loop still gets the request, exactly once.
    QuitCounter counter;
    qApp->installEventFilter(&counter);
    QCoreApplication::sendPostedEvents();
    QTest::qWait(50);
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.quits, 1);
    EXPECT_TRUE(after);
}

TEST(DialogUnitsTest, BaseUnitsOfARealFont) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    const DialogBaseUnits base = BaseUnitsOf(font);
    EXPECT_GT(base.x, 2);
    EXPECT_LT(base.x, 12);
    EXPECT_GE(base.y, 11);
    const QRect window = DialogRectToPixels(QRect(0, 0, 375, 322), font);
    EXPECT_EQ(window.width(), DialogXToPixels(375, base.x));
    EXPECT_EQ(window.height(), DialogYToPixels(322, base.y));
}

}  // namespace
