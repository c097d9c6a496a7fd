// SPDX-License-Identifier: BSD-3-Clause
// The command list's scroll bar skips the repaints of value changes that do
// not show. What the window shows must stay what a plain scroll bar shows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <ostream>

#include "widgets/MessagePump.h"
#include "widgets/SteadyScrollBar.h"

namespace {

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// What the window holds on the screen (its backing store), not a fresh render.
QImage Shown(QWidget& window) { return window.screen()->grabWindow(window.winId()).toImage(); }

struct WalkCase {
    const char* name;
    int maximum;  // range 0..maximum
    int height;   // bar height in pixels
    int from;
    int to;
    int step;
    bool fewerPaints;  // steps of less than a pixel of slider travel happen
};

void PrintTo(const WalkCase& c, std::ostream* out) { *out << c.name; }

class SteadyScrollBarWalk : public ::testing::TestWithParam<WalkCase> {};

// Side by side, a plain bar and a steady bar take the same values; after each
// pump the two show the same pixels, and the steady bar repaints less often
// whenever a step moves its slider by less than a pixel.
TEST_P(SteadyScrollBarWalk, ShowsWhatAPlainBarShows) {
    const WalkCase& c = GetParam();
    // Two like windows, as the style's shading depends on where a bar sits.
    QWidget plainWindow, steadyWindow;
    auto* plain = new QScrollBar(Qt::Vertical, &plainWindow);
    auto* steady = new CSteadyScrollBar(Qt::Vertical, &steadyWindow);
    for (QScrollBar* bar : {plain, static_cast<QScrollBar*>(steady)}) {
        bar->setRange(0, c.maximum);
        bar->setPageStep(10);
        bar->setValue(c.from);
        bar->setGeometry(0, 0, 20, c.height);
        QWidget* window = bar->parentWidget();
        window->resize(20, c.height);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    }
    PumpMessages();
    PaintCounter plainPaints, steadyPaints;
    plain->installEventFilter(&plainPaints);
    steady->installEventFilter(&steadyPaints);

    for (int value = c.from; c.step > 0 ? value <= c.to : value >= c.to; value += c.step) {
        plain->setValue(value);
        steady->setValue(value);
        PumpMessages();
        ASSERT_EQ(Shown(plainWindow), Shown(steadyWindow)) << c.name << " at " << value;
    }
    EXPECT_GT(plainPaints.paints, 0) << c.name;
    if (c.fewerPaints) {
        EXPECT_LT(steadyPaints.paints, plainPaints.paints) << c.name;
    } else {
        // Every step moves the slider: every step repaints.
        EXPECT_EQ(steadyPaints.paints, plainPaints.paints) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Walks, SteadyScrollBarWalk,
                         ::testing::Values(WalkCase{"long list down to the end", 1000, 120, 900, 1000, 1, true},
                                           WalkCase{"long list up to the start", 1000, 120, 90, 0, -1, true},
                                           WalkCase{"long list in big steps", 1000, 120, 0, 1000, 37, false},
                                           WalkCase{"short list", 20, 200, 0, 20, 1, false}),
                         [](const ::testing::TestParamInfo<WalkCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == ' ') ch = '_';
                             return name;
                         });

// A resize between two changes must not let a stale slider stand.
TEST(SteadyScrollBar, ResizeThenSubPixelStepRepaints) {
    QWidget plainWindow, steadyWindow;
    auto* plain = new QScrollBar(Qt::Vertical, &plainWindow);
    auto* steady = new CSteadyScrollBar(Qt::Vertical, &steadyWindow);
    for (QScrollBar* bar : {plain, static_cast<QScrollBar*>(steady)}) {
        bar->setRange(0, 1000);
        bar->setValue(500);
        bar->setGeometry(0, 0, 20, 200);
        bar->parentWidget()->resize(20, 200);
        bar->parentWidget()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(bar->parentWidget()));
    }
    PumpMessages();
    plain->setGeometry(0, 0, 20, 120);
    steady->setGeometry(0, 0, 20, 120);
    PumpMessages();
    for (int value = 501; value < 520; ++value) {
        plain->setValue(value);
        steady->setValue(value);
        PumpMessages();
        ASSERT_EQ(Shown(plainWindow), Shown(steadyWindow)) << value;
    }
}

// The view still scrolls through its new bar, by keys and by the bar.
TEST(SteadyScrollBar, ListScrollsThroughIt) {
    QListWidget list;
    for (int i = 0; i < 300; ++i) list.addItem(QStringLiteral("C%1").arg(i));
    UseSteadyScrollBar(&list);
    list.resize(150, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    ASSERT_NE(qobject_cast<CSteadyScrollBar*>(list.verticalScrollBar()), nullptr);
    list.setFocus();
    list.setCurrentRow(0);
    QTest::keyClick(&list, Qt::Key_End);
    PumpMessages();
    EXPECT_EQ(list.currentRow(), 299);
    EXPECT_EQ(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
    EXPECT_TRUE(list.viewport()->rect().intersects(list.visualItemRect(list.item(299))));
    list.verticalScrollBar()->setValue(0);
    PumpMessages();
    EXPECT_TRUE(list.viewport()->rect().contains(list.visualItemRect(list.item(0))));
}

}  // namespace
