// SPDX-License-Identifier: BSD-3-Clause
// The console as a user meets it: the window is shown and driven by mouse
// clicks at positions and by keys, against the private pcscd with one
// simulated reader ("Bench Sim Reader", card ATR 3B 84 80 01 53 49 4D 31 63).
// The whole program runs as on a 4.x kernel (OldKernel.cpp).
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

#include "../console/ConsoleHarness.h"
#include "../readerlink_pcscd/PcscdBench.h"
#include "../tables/TableFile.h"
#include "console/ParseAtrDlg.h"
#include "widgets/QtText.h"
#include "widgets/DialogUnits.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace harness;

namespace {

constexpr char kReaderPrefix[] = "Bench Sim Reader";

// The status-line text of a result code, from the documents' table.
std::string TableResultText(const std::string& pcscName) {
    for (const tables::Row& row : tables::Load("result-texts.tsv"))
        if (row[1] == pcscName) return row[2];
    return "<" + pcscName + " not in the table>";
}

class ConsoleInput : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bench::Ctl({"remove-card", "one", kReaderPrefix}), 0);
        ASSERT_EQ(bench::Ctl({"insert-card", "one", kReaderPrefix}), 0);
        dlg = std::make_unique<CConsoleDlg>();
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    void TearDown() override {
        if (dlg) dlg->reject();
        dlg.reset();
    }

    QWidget* Control(int id) { return dlg->Control(id); }
    // Where a click lands: a scrolling control's viewport, else the control.
    static QWidget* ClickTarget(QWidget* w) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(w)) return area->viewport();
        return w;
    }
    // A left click in the middle of a control, as the user gives it.
    void Press(int id) {
        QWidget* w = Control(id);
        ASSERT_NE(w, nullptr) << id;
        ASSERT_TRUE(w->isVisible()) << "control " << id << " is hidden";
        ASSERT_TRUE(w->isEnabled()) << "control " << id << " is disabled";
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
        QCoreApplication::processEvents();
    }
    // Opens a drop-down button with the mouse and clicks one of its items.
    void Choose(int buttonId, int command) {
        QAction* action = dlg->MenuCommand(command);
        ASSERT_NE(action, nullptr);
        bool chosen = false;
        QTimer::singleShot(0, dlg.get(), [&] {
            WaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }, 3000);
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr) return;
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            chosen = true;
        });
        Press(buttonId);
        WaitFor([&] { return chosen; }, 3000);
        ASSERT_TRUE(chosen) << "the menu of " << buttonId << " did not open";
    }
    void EstablishAndConnect() {
        Press(IDC_ESTABLISH);
        ASSERT_EQ(StateMismatches(*dlg, WindowState::ContextEstablished), "") << StatusLine(*dlg);
        Press(IDC_CONNECT);
        ASSERT_EQ(StateMismatches(*dlg, WindowState::CardConnected), "") << StatusLine(*dlg);
    }
    CMaskedEdit* CommandField() { return qobject_cast<CMaskedEdit*>(Control(IDC_COMMAND)); }
    QTreeWidget* Tree() { return qobject_cast<QTreeWidget*>(Control(IDC_STATUS_TREE)); }
    std::string Response() {
        return FromQString(qobject_cast<QPlainTextEdit*>(Control(IDC_RESPONSE))->toPlainText());
    }

    RecordingPcsc pcsc;
    std::unique_ptr<CConsoleDlg> dlg;
};

// --- A click into the command field, then typing -------------------------

struct ClickCase {
    const char* name;
    double x, y;  // position in the field's viewport, as fractions of its size
};

void PrintTo(const ClickCase& c, std::ostream* out) { *out << c.name; }

class CommandFieldClick : public ConsoleInput, public testing::WithParamInterface<ClickCase> {};

TEST_P(CommandFieldClick, TypingFillsTheMaskFromTheStart) {
    EstablishAndConnect();
    QWidget* viewport = ClickTarget(CommandField());
    const QPoint at(static_cast<int>(GetParam().x * (viewport->width() - 1)),
                    static_cast<int>(GetParam().y * (viewport->height() - 1)));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::keyClicks(QApplication::focusWidget(), "00a4");
    EXPECT_EQ(CommandField()->GetText().substr(0, 6), "00 A4 ");
    // A second click past the digits goes on where they end.
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 2, viewport->height() - 2));
    QTest::keyClicks(QApplication::focusWidget(), "0400");
    EXPECT_EQ(CommandField()->GetText().substr(0, 12), "00 A4 04 00 ");
    // And the command goes to the card.
    Press(IDC_TRANSMIT);
    EXPECT_EQ(Response(), "90 00  ( Normal Processing. ) ");
}

INSTANTIATE_TEST_SUITE_P(Console, CommandFieldClick,
                         testing::Values(ClickCase{"FarLeftOfTheFirstLine", 0.0, 0.05},
                                         ClickCase{"FarLeftOfTheSecondLine", 0.0, 0.45},
                                         ClickCase{"Middle", 0.5, 0.5},
                                         ClickCase{"EndOfTheFirstLine", 0.98, 0.05},
                                         ClickCase{"BottomRight", 0.98, 0.95}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Escape --------------------------------------------------------------

class EscapeKey : public ConsoleInput, public testing::WithParamInterface<int> {};

TEST_P(EscapeKey, NeverClosesTheConsole) {
    EstablishAndConnect();
    QWidget* control = Control(GetParam());
    ASSERT_TRUE(control->isVisible());
    control->setFocus(Qt::OtherFocusReason);
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    pcsc.Clear();
    QTest::keyClick(focus, Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_TRUE(dlg->isVisible()) << "Escape closed the console";
    EXPECT_EQ(StateMismatches(*dlg, WindowState::CardConnected), "");
    EXPECT_TRUE(pcsc.Calls("ReleaseContext").empty());
    EXPECT_TRUE(dlg->StopRequested()) << "a running player is asked to stop";
    // Exit still ends the program.
    Press(IDC_EXIT);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(pcsc.Calls("ReleaseContext").size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Console, EscapeKey,
                         testing::Values(IDC_COMMAND, IDC_RESPONSE, IDC_STATUS_TREE, IDC_STATUS_LINE, IDC_READER_LIST,
                                         IDC_CONTROL_CODES, IDC_STATUS, IDC_DISCONNECT, IDC_PROTOCOL_T0),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_F(ConsoleInput, TheWindowsCloseButtonStillCloses) {
    EstablishAndConnect();
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(pcsc.Calls("ReleaseContext").size(), 1u);
}

// --- The card goes and comes back ----------------------------------------

struct DropBackCase {
    const char* name;
    int resetCommand;  // 0: the "SCardStatus" button notices the removal
};

void PrintTo(const DropBackCase& c, std::ostream* out) { *out << c.name; }

class CardReinserted : public ConsoleInput, public testing::WithParamInterface<DropBackCase> {};

TEST_P(CardReinserted, ConnectSucceedsAgain) {
    EstablishAndConnect();
    ASSERT_EQ(bench::Ctl({"remove-card", "one", kReaderPrefix}), 0);
    if (GetParam().resetCommand == 0) {
        Press(IDC_STATUS);
        EXPECT_EQ(StatusLine(*dlg), TableResultText("SCARD_W_REMOVED_CARD"));
        // The handle is kept: an attribute read names the removed card too.
        emit qobject_cast<QToolButton*>(Control(IDC_ATTRIBUTES))->menu()->aboutToShow();
        QAction* attribute = dlg->MenuCommand(32832);
        ASSERT_NE(attribute, nullptr);
        attribute->trigger();
        EXPECT_EQ(StatusLine(*dlg), TableResultText("SCARD_W_REMOVED_CARD"));
    } else {
        Choose(IDC_RECONNECT, GetParam().resetCommand);
        EXPECT_NE(StatusLine(*dlg), TableResultText("SCARD_S_SUCCESS"));
        EXPECT_TRUE(Control(IDC_ATTRIBUTES)->isHidden());
    }
    // Back where a new connect is possible, "SCardDisconnect" still offered.
    struct Expected {
        int id;
        bool enabled;
    };
    for (const Expected& e : {Expected{IDC_CONNECT, true}, Expected{IDC_DISCONNECT, true},
                              Expected{IDC_RELEASE, true}, Expected{IDC_RECONNECT, false},
                              Expected{IDC_COLD_RESET, false}, Expected{IDC_WARM_RESET, false},
                              Expected{IDC_STATUS, false}, Expected{IDC_TRANSMIT, false},
                              Expected{IDC_PLAY_COMMANDS, false}, Expected{IDC_CONTROL, false}}) {
        EXPECT_EQ(Control(e.id)->isEnabled(), e.enabled) << "control " << e.id;
    }
    for (int id : {IDC_COMMAND_NAME, IDC_COMMAND_NAME_LABEL, IDC_COMMAND, IDC_RESPONSE, IDC_CONTROL_CODES,
                   IDC_ADD_COMMAND, IDC_STATUS_TREE}) {
        EXPECT_TRUE(Control(id)->isHidden()) << "control " << id;
    }

    ASSERT_EQ(bench::Ctl({"insert-card", "one", kReaderPrefix}), 0);
    pcsc.Clear();
    Press(IDC_CONNECT);
    EXPECT_EQ(pcsc.Calls("Connect").size(), 1u);
    EXPECT_EQ(StateMismatches(*dlg, WindowState::CardConnected), "") << StatusLine(*dlg);
    EXPECT_EQ(StatusLine(*dlg), "");
    ASSERT_EQ(Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(FromQString(Tree()->topLevelItem(0)->text(0)), "3B 84 80 01 53 49 4D 31 63 ");
}

INSTANTIATE_TEST_SUITE_P(Console, CardReinserted,
                         testing::Values(DropBackCase{"StatusNoticesTheRemoval", 0},
                                         DropBackCase{"ColdResetFails", ID_COLD_RESET},
                                         DropBackCase{"WarmResetFails", ID_WARM_RESET}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Tooltips --------------------------------------------------------------

// The tooltip text of a control, as the table gives it, without the markup.
std::string TableTip(int id) {
    for (const tables::Row& row : tables::Load("console-tooltips.tsv"))
        if (std::stoi(row[0]) == id) return row[2].substr(4);  // after "<h0>"
    return "<no tip>";
}

std::string ShownTip() {
    QTextDocument html;
    html.setHtml(QToolTip::text());
    return FromQString(html.toPlainText());
}

class PendingTip : public ConsoleInput, public testing::WithParamInterface<int> {};

TEST_P(PendingTip, IsCancelledByAClickIntoTheControl) {
    EstablishAndConnect();
    QWidget* control = Control(GetParam());
    ASSERT_TRUE(control->isVisible());
    QWidget* away = Control(IDC_PICTURE_LOGO);

    // Hovering shows the control's tip: the mouse reaches the control.
    QTest::mouseMove(away, away->rect().center());
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 3000));
    QTest::mouseMove(control, control->rect().center());
    ASSERT_TRUE(WaitFor([] { return QToolTip::isVisible(); }, 3000)) << "no tip on hovering";
    EXPECT_EQ(ShownTip(), TableTip(GetParam()));
    QTest::mouseMove(away, away->rect().center());
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 3000));

    // A click before the tip is due: no tip comes to cover what was clicked.
    QTest::mouseMove(control, control->rect().center());
    QWidget* target = ClickTarget(control);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
    QTest::qWait(600);
    EXPECT_FALSE(QToolTip::isVisible()) << ShownTip();
}

INSTANTIATE_TEST_SUITE_P(Console, PendingTip, testing::Values(IDC_STATUS_TREE, IDC_COMMAND, IDC_RESPONSE),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_F(ConsoleInput, EveryTooltipShowsItsTableText) {
    EstablishAndConnect();
    QTest::keyClicks(CommandField(), "00");  // the add-command button follows the field
    QWidget* away = Control(IDC_PICTURE_LOGO);
    for (const tables::Row& row : tables::Load("console-tooltips.tsv")) {
        const int id = std::stoi(row[0]);
        QWidget* control = Control(id);
        ASSERT_NE(control, nullptr) << id;
        if (!control->isVisible() || !control->isEnabled()) continue;  // nothing a user can hover
        SCOPED_TRACE("control " + row[0]);
        QTest::mouseMove(away, away->rect().center());
        WaitFor([] { return !QToolTip::isVisible(); }, 3000);
        QTest::mouseMove(control, QPoint(2, 2));
        EXPECT_TRUE(WaitFor([] { return QToolTip::isVisible(); }, 3000));
        EXPECT_EQ(ShownTip(), row[2].substr(4));
    }
}

// --- The window against its control table ----------------------------------

TEST_F(ConsoleInput, StartUpShowsTheControlTable) {
    const DialogBaseUnits base = BaseUnitsOf(dlg->font());
    const std::vector<tables::Row> rows = tables::Load("console-controls.tsv");
    ASSERT_EQ(rows.size(), 34u);
    for (const tables::Row& row : rows) {
        SCOPED_TRACE("control " + row[0]);
        QWidget* w = Control(std::stoi(row[0]));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->isVisible(), row[7] == "shown");
        if (row[8] != "-") {
            EXPECT_EQ(w->isEnabled(), row[8] == "enabled");
        }
        QString text;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
        if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
        EXPECT_EQ(FromQString(text), row[2]);
        const QRect want = DialogRectToPixels(
            QRect(std::stoi(row[3]), std::stoi(row[4]), std::stoi(row[5]), std::stoi(row[6])), base);
        EXPECT_EQ(w->x(), want.x());
        EXPECT_EQ(w->y(), want.y());
        EXPECT_EQ(w->width(), want.width());
        // A drop-down list's height is that of its open list.
        if (row[1] != "drop-down list") {
            EXPECT_EQ(w->height(), want.height());
        }
    }
}

// --- Parse ATR without a card -------------------------------------------------

TEST_F(ConsoleInput, ParsedAtrTakesThePicturesPlaceWithoutTrailingBlanks) {
    // The system menu opens on a right click into the window, given to the
    // window as the platform gives it (that is where context menus arise).
    QTest::mouseClick(dlg->windowHandle(), Qt::RightButton, {}, QPoint(dlg->width() - 4, 4));
    ASSERT_TRUE(WaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }, 3000));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QAction* parseItem = dlg->MenuCommand(IDM_PARSE_ATR);
    ASSERT_NE(parseItem, nullptr);
    bool typed = false;
    QTimer::singleShot(0, dlg.get(), [&] {
        WaitFor([] { return qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget()) != nullptr; }, 3000);
        auto* parse = qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget());
        if (parse == nullptr) return;
        QWidget* field = parse->AtrField()->viewport();
        QTest::mouseClick(field, Qt::LeftButton, {}, field->rect().center());
        QTest::keyClicks(parse->AtrField(), "3B021450");
        QPushButton* button = parse->findChild<QPushButton*>(QStringLiteral("1"));
        if (button) QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        typed = true;
    });
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(parseItem).center());
    WaitFor([&] { return typed; }, 5000);
    ASSERT_TRUE(typed);

    EXPECT_EQ(dlg->Session().AtrText().size(), 239u) << "the typed text keeps the field's blanks";
    EXPECT_EQ(dlg->Session().AtrText().substr(0, 11), "3B 02 14 50");
    EXPECT_TRUE(Control(IDC_PICTURE_CARD)->isHidden()) << "the tree is drawn over the card picture";
    ASSERT_FALSE(Tree()->isHidden());
    ASSERT_EQ(Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(FromQString(Tree()->topLevelItem(0)->text(0)), "3B 02 14 50");
    QCoreApplication::processEvents();
    EXPECT_FALSE(Tree()->horizontalScrollBar()->isVisible());

    // Establish goes back to the picture of the context-established state.
    Press(IDC_ESTABLISH);
    EXPECT_EQ(StateMismatches(*dlg, WindowState::ContextEstablished), "") << StatusLine(*dlg);
    EXPECT_FALSE(Control(IDC_PICTURE_CARD)->isHidden());
}

}  // namespace
