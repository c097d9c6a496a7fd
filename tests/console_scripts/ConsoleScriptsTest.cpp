// SPDX-License-Identifier: BSD-3-Clause
// The command-file window and the command players, driven through the main
// window with real clicks and keys against a private pcscd and the simulated
// "Scripts Sim Reader" (scripts.scn). What went to the card is read from the
// reader's trace; what the files hold is read byte for byte.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../console/ConsoleHarness.h"
#include "../readerlink_pcscd/PcscdBench.h"
#include "widgets/QtText.h"
#include "scripts/CommandFileDlg.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace harness;

namespace {

namespace fs = std::filesystem;

constexpr char kReaderPrefix[] = "Scripts Sim Reader";
constexpr char kFailedAnswer[] = "xx xx xx xx xx";

// The three commands of the lap cases, sorted a, B, C: case is ignored.
const std::string kAbcFile = "[Command]\r\nC = 00 C3 00 00\r\nB = 00 B2 00 00\r\na = 00 A1 00 00\r\n";
const std::string kA = "Transmit 00 A1 00 00";
const std::string kB = "Transmit 00 B2 00 00";
const std::string kC = "Transmit 00 C3 00 00";

std::string Read(const fs::path& path) { return bench::ReadFile(path.string()); }
void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Answers the modal windows that the console opens: a file dialog gets the
// path set for it, a message box its Yes (or OK) button; their texts are kept.
class ModalAnswerer : public QObject {
public:
    ModalAnswerer() {
        connect(&m_timer, &QTimer::timeout, this, [this] { Answer(); });
        m_timer.start(10);
    }
    QString fileToChoose;
    std::vector<std::string> boxTexts;

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxTexts.push_back(FromQString(box->text()));
            QAbstractButton* yes = box->button(QMessageBox::Yes);
            if (yes) {
                yes->click();
            } else {
                box->accept();
            }
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            // Typed as a whole path, as a user may: selectFile() of a file in
            // another folder races with the dialog's folder model.
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(fileToChoose);
            else
                dialog->selectFile(fileToChoose);
            // Queued: its overwrite question runs a loop of its own, which
            // this timer must be free to answer.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
    }
    QTimer m_timer;
};

// For each text a field was painted with, how many exchanges had been made
// when it was painted first: what the user saw while the card worked.
class FirstPaints : public QObject {
public:
    FirstPaints(QLineEdit* field, std::function<std::size_t()> sent) : m_field(field), m_sent(std::move(sent)) {
        field->installEventFilter(this);
    }
    std::map<std::string, std::size_t> sentWhenShown;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) sentWhenShown.emplace(FromQString(m_field->text()), m_sent());
        return false;
    }

private:
    QLineEdit* m_field;
    std::function<std::size_t()> m_sent;
};

class ConsoleScripts : public testing::Test {
protected:
    void SetUp() override {
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        ASSERT_EQ(bench::Ctl({"insert-card", "scripts", kReaderPrefix}), 0);
        char pattern[] = "/tmp/console-scripts-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_oldDir = fs::current_path();
        fs::current_path(m_dir);
    }
    void TearDown() override {
        if (m_dlg) m_dlg->reject();
        m_dlg.reset();
        fs::current_path(m_oldDir);
        for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it) ::umount(it->c_str());
        fs::remove_all(m_dir);
    }

    // Starts the console in the test's folder, where its default file lies.
    void Start(const std::string& defaultFile = {}) {
        if (!defaultFile.empty()) Write(m_dir / "Tav_PCSC.phb", defaultFile);
        m_dlg = std::make_unique<CConsoleDlg>();
        m_dlg->show();
        ASSERT_NE(Window(), nullptr);
    }
    void Connect() {
        Click(*m_dlg, IDC_ESTABLISH);
        ASSERT_EQ(StateMismatches(*m_dlg, WindowState::ContextEstablished), "") << StatusLine(*m_dlg);
        Click(*m_dlg, IDC_CONNECT);
        ASSERT_EQ(StateMismatches(*m_dlg, WindowState::CardConnected), "") << StatusLine(*m_dlg);
        m_trace.Mark();
    }

    CCommandFileDlg* Window() { return m_dlg->CommandFileWindow(); }
    QListWidget* Names() { return Window()->findChild<QListWidget*>(QStringLiteral("1017")); }
    QLineEdit* Loop() { return Window()->findChild<QLineEdit*>(QStringLiteral("1054")); }
    CMaskedEdit* Field() { return qobject_cast<CMaskedEdit*>(m_dlg->Control(IDC_COMMAND)); }
    QLineEdit* NameField() { return qobject_cast<QLineEdit*>(m_dlg->Control(IDC_COMMAND_NAME)); }
    std::string Response() {
        return FromQString(qobject_cast<QPlainTextEdit*>(m_dlg->Control(IDC_RESPONSE))->toPlainText());
    }
    std::vector<std::string> NameList() {
        std::vector<std::string> names;
        for (int i = 0; i < Names()->count(); ++i) names.push_back(FromQString(Names()->item(i)->text()));
        return names;
    }

    void ClickName(int row) {
        const QRect rect = Names()->visualItemRect(Names()->item(row));
        QTest::mouseClick(Names()->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();
    }
    // Types a count over the "Loop :" field's text.
    void TypeLoop(const QString& keys) {
        Loop()->setFocus();
        QTest::keyClick(Loop(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Loop(), keys);
    }
    void CheckPlayCommands() {
        Click(*m_dlg, IDC_PLAY_COMMANDS);
        ASSERT_TRUE(m_dlg->PlayCommands());
    }
    // The commands that reached the card since the mark.
    std::vector<std::string> Sent() {
        std::vector<std::string> sent;
        for (const std::string& call : m_trace.Calls())
            if (call.rfind("Transmit ", 0) == 0) sent.push_back(call);
        return sent;
    }
    // Types a name and a command and presses the add button.
    void AddCommand(const char* name, const char* command) {
        NameField()->setFocus();
        QTest::keyClick(NameField(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(NameField(), Qt::Key_Delete);
        QTest::keyClicks(NameField(), QString::fromLatin1(name));
        Field()->ClearText();
        Field()->setFocus();
        QTest::keyClicks(Field(), command);
        Click(*m_dlg, IDC_ADD_COMMAND);
    }
    // The entry of the console's system menu that bears this text.
    QAction* SystemMenuEntry(const char* text) {
        for (QAction* action : m_dlg->SystemMenu()->actions())
            if (action->text() == QString::fromLatin1(text)) return action;
        ADD_FAILURE() << "no system-menu entry " << text;
        return nullptr;
    }
    void OpenByMenu(unsigned command, const fs::path& file) {
        m_answers.fileToChoose = QString::fromStdString(file.string());
        m_dlg->OnSysCommand(command);
        QCoreApplication::processEvents();
    }
    // A folder that nobody may write to, root included: a read-only bind
    // mount inside the test run's private mount namespace.
    bool MakeReadOnly(const fs::path& dir) {
        if (geteuid() != 0) {
            fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
            return true;
        }
        if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        m_mounts.push_back(dir.string());
        return ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }

    RecordingPcsc m_pcsc;
    ModalAnswerer m_answers;
    std::unique_ptr<CConsoleDlg> m_dlg;
    bench::TraceWatch m_trace{"trace-scripts.log"};
    fs::path m_dir;
    fs::path m_oldDir;
    std::vector<std::string> m_mounts;
};

TEST_F(ConsoleScripts, LoopCountThreeSendsThreeTimesAndCountsDown) {
    Start();
    Connect();
    Field()->setFocus();
    QTest::keyClicks(Field(), "00A40400");
    TypeLoop(QStringLiteral("3 "));  // reads as 3; so each count the player shows is new text
    ASSERT_EQ(Window()->m_loopCount, 3u);
    std::vector<std::string> shown;
    QObject::connect(Loop(), &QLineEdit::textChanged, [&](const QString& text) { shown.push_back(FromQString(text)); });
    FirstPaints painted(Loop(), [this] { return m_pcsc.Calls("Transmit").size(); });
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent(), std::vector<std::string>(3, "Transmit 00 A4 04 00"));
    EXPECT_EQ(shown, (std::vector<std::string>{"3", "2", "1"}));
    // Each count is on the screen before the next exchange starts.
    EXPECT_EQ(painted.sentWhenShown["2"], 2u);
    EXPECT_EQ(painted.sentWhenShown["1"], 3u);
    EXPECT_EQ(Window()->m_loopCount, 1u);
}

TEST_F(ConsoleScripts, LapsStartAtTheSelectionThenAtTheLastClickedCommand) {
    Start(kAbcFile);
    ASSERT_EQ(NameList(), (std::vector<std::string>{"a", "B", "C"}));
    Connect();

    // Last clicked B, two laps: B, C, B, C.
    ClickName(1);
    CheckPlayCommands();
    EXPECT_EQ(FromQString(NameField()->text()), "B");
    TypeLoop(QStringLiteral("2"));
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB, kC, kB, kC}));
    EXPECT_EQ(Loop()->text(), QStringLiteral("1"));

    // Last clicked A, whose first exchange fails: the play stops with B
    // selected and the count kept; the next play sends B, C, A, B, C.
    ClickName(0);
    TypeLoop(QStringLiteral("2"));
    m_trace.Mark();
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kA}));
    EXPECT_EQ(Response(), kFailedAnswer);
    EXPECT_EQ(Names()->currentRow(), 1);
    EXPECT_EQ(Loop()->text(), QStringLiteral("2"));
    m_trace.Mark();
    Command(*m_dlg, ID_PLAY_COMMANDS);  // the menu command plays the same way
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB, kC, kA, kB, kC}));
}

TEST_F(ConsoleScripts, FailingSecondCommandLeavesTheThirdSelected) {
    Start("[Command]\r\nP3 = 00 C3 00 00\r\nP2 = 00 EE 00 00\r\nP1 = 00 B2 00 00\r\n");
    Connect();
    ClickName(0);
    CheckPlayCommands();
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB, "Transmit 00 EE 00 00"}));
    EXPECT_EQ(Response(), kFailedAnswer);
    EXPECT_EQ(Names()->currentRow(), 2);
}

TEST_F(ConsoleScripts, CardRemovedDuringALoopStopsIt) {
    Start();
    Connect();
    Field()->setFocus();
    QTest::keyClicks(Field(), "00A40400");
    TypeLoop(QStringLiteral("5"));
    // The card goes once the field shows the second repetition's count.
    bool removed = false;
    QObject::connect(Loop(), &QLineEdit::textChanged, [&](const QString& text) {
        if (text == QStringLiteral("4") && !removed) {
            removed = true;
            EXPECT_EQ(bench::Ctl({"remove-card", "scripts", kReaderPrefix}), 0);
        }
    });
    Click(*m_dlg, IDC_TRANSMIT);
    ASSERT_TRUE(removed);
    EXPECT_EQ(Sent(), std::vector<std::string>(2, "Transmit 00 A4 04 00"));  // the third never reached the card
    EXPECT_EQ(Response(), kFailedAnswer);
    EXPECT_EQ(Loop()->text(), QStringLiteral("1"));
    EXPECT_EQ(m_pcsc.Calls("Transmit").size(), 3u);
}

TEST_F(ConsoleScripts, EscapeStopsALongPlayAndLeavesTheWindowOpen) {
    Start();
    Connect();
    Field()->setFocus();
    QTest::keyClicks(Field(), "00A40400");
    TypeLoop(QStringLiteral("9999"));
    // A second press and both menu commands during the play start nothing;
    // Escape after the third exchange stops it after that exchange. The loop
    // field shows each exchange's count (the response repeats, so it is not
    // redrawn once per exchange).
    QObject::connect(Loop(), &QLineEdit::textChanged, [&](const QString& text) {
        if (text != QStringLiteral("9997")) return;
        Click(*m_dlg, IDC_TRANSMIT);
        Command(*m_dlg, ID_TRANSMIT);
        Command(*m_dlg, ID_PLAY_COMMANDS);
        QTest::keyClick(Field(), Qt::Key_Escape);
    });
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_FALSE(m_dlg->PlayerRunning());
    EXPECT_TRUE(m_dlg->isVisible());
    EXPECT_EQ(Loop()->text(), QStringLiteral("1"));
}

TEST_F(ConsoleScripts, StoredTextsGoOutAsTheirBytesWhateverTheSpacing) {
    Start("[Command]\r\nPACKED = 00A40400\r\nDOUBLE = 00  a4  04  00\r\nSINGLE = 0 A4 4 0\r\n");
    ASSERT_EQ(NameList(), (std::vector<std::string>{"DOUBLE", "PACKED", "SINGLE"}));
    Connect();
    for (int row = 0; row < 3; ++row) {
        ClickName(row);
        EXPECT_EQ(Field()->GetText().substr(0, 12), "00 A4 04 00 ") << row;
        Click(*m_dlg, IDC_TRANSMIT);
    }
    EXPECT_EQ(Sent(), std::vector<std::string>(3, "Transmit 00 A4 04 00"));
}

TEST_F(ConsoleScripts, EmptyListOrNoSelectionPlaysNothing) {
    Start(kAbcFile);
    Connect();
    ClickName(1);
    CheckPlayCommands();
    Click(*m_dlg, IDC_TRANSMIT);  // one lap from B
    m_trace.Mark();
    // Delete the selected entry with the window's button: no selection is left.
    ClickName(2);
    QTest::mouseClick(Window()->findChild<QAbstractButton*>(QStringLiteral("1019")), Qt::LeftButton);
    EXPECT_EQ(NameList(), (std::vector<std::string>{"a", "B"}));
    EXPECT_EQ(Names()->currentRow(), -1);
    Click(*m_dlg, IDC_TRANSMIT);
    ClickName(0);
    QTest::mouseClick(Window()->findChild<QAbstractButton*>(QStringLiteral("1019")), Qt::LeftButton);
    ClickName(0);
    QTest::mouseClick(Window()->findChild<QAbstractButton*>(QStringLiteral("1019")), Qt::LeftButton);
    EXPECT_TRUE(NameList().empty());
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ConsoleScripts, AddedCommandsAreSavedAtCloseAndEmptyNamesAddNothing) {
    Start();
    Connect();
    AddCommand("select", "00A40400");
    AddCommand("", "80CA0000");      // no name: nothing added, nothing said
    AddCommand("Select", "00B00000");  // equal ignoring case: its own entry and text
    ASSERT_EQ(NameList(), (std::vector<std::string>{"Select", "select"}));
    EXPECT_TRUE(m_answers.boxTexts.empty());
    m_dlg->reject();
    const std::string field = std::string(260 * 3 - 1 - 11, ' ');
    EXPECT_EQ(Read(m_dir / "Tav_PCSC.phb"), "[Command]\r\nselect = 00 A4 04 00" + field +
                                                "\r\nSelect = 00 B0 00 00" + field + "\r\n");
    // The next start finds them, each with its own text.
    m_dlg.reset();
    Start();
    ClickName(0);
    EXPECT_EQ(Field()->GetText().substr(0, 12), "00 B0 00 00 ");
    ClickName(1);
    EXPECT_EQ(Field()->GetText().substr(0, 12), "00 A4 04 00 ");
}

TEST_F(ConsoleScripts, FilesGoBackWhereTheyWereReadAfterAnotherFolderBecameCurrent) {
    Start("[Command]\r\nHOME = 00 A4 04 00\r\n");
    const fs::path other = m_dir / "other";
    fs::create_directory(other);
    Write(other / "bench.phb", "[Command]\r\nAWAY = 00 B2 00 00\r\n");

    OpenByMenu(IDM_OPEN_COMMAND_FILE, other / "bench.phb");
    ASSERT_EQ(Window()->FileName(), "bench.phb");
    EXPECT_EQ(Window()->windowTitle(), QStringLiteral("bench.phb"));
    EXPECT_EQ(fs::current_path(), other);
    EXPECT_EQ(NameList(), (std::vector<std::string>{"AWAY"}));
    EXPECT_EQ(Read(m_dir / "Tav_PCSC.phb"), "[Command]\r\nHOME = 00 A4 04 00\r\n");
    EXPECT_FALSE(fs::exists(other / "Tav_PCSC.phb"));

    // Create NEW on an existing file (overwrite confirmed) loads it, empties nothing.
    OpenByMenu(IDM_CREATE_COMMAND_FILE, m_dir / "Tav_PCSC.phb");
    EXPECT_EQ(NameList(), (std::vector<std::string>{"HOME"}));
    // Create NEW on a missing file asks first, then starts an empty list.
    OpenByMenu(IDM_CREATE_COMMAND_FILE, other / "new.phb");
    EXPECT_TRUE(NameList().empty());
    EXPECT_FALSE(fs::exists(other / "new.phb"));
    m_dlg->reject();
    EXPECT_EQ(Read(other / "new.phb"), "[Command]\r\n");
    EXPECT_EQ(Read(other / "bench.phb"), "[Command]\r\nAWAY = 00 B2 00 00\r\n");
}

TEST_F(ConsoleScripts, SaveIntoAnUnwritableFolderKeepsTheOldFile) {
    const fs::path locked = m_dir / "locked";
    fs::create_directory(locked);
    const std::string old = "[Command]\r\nKEEP = 00 A4 04 00\r\n";
    Write(locked / "kept.phb", old);
    Start();
    OpenByMenu(IDM_OPEN_COMMAND_FILE, locked / "kept.phb");
    ASSERT_EQ(NameList(), (std::vector<std::string>{"KEEP"}));
    QTest::mouseClick(Window()->findChild<QAbstractButton*>(QStringLiteral("1019")), Qt::LeftButton);
    ASSERT_TRUE(NameList().empty());
    ASSERT_TRUE(MakeReadOnly(locked));
    m_answers.boxTexts.clear();
    m_dlg->reject();
    EXPECT_EQ(m_answers.boxTexts, (std::vector<std::string>{"Acc\xE9s au fichier refus\xE9"}));
    EXPECT_EQ(Read(locked / "kept.phb"), old);
}

TEST_F(ConsoleScripts, LoopFieldRefusesWhatIsNotACountFromOneTo9999) {
    Start();
    TypeLoop(QStringLiteral("12"));
    EXPECT_EQ(Window()->m_loopCount, 12u);
    const std::string message = "Tapez un nombre entier compris entre 1 et 9999.";
    // Each key is judged as it is typed: "10000" counts up to 1000, and its last digit is refused.
    struct Case {
        const char* keys;
        unsigned count;
    };
    for (const Case& c : {Case{"0", 12}, Case{"x", 12}, Case{"10000", 1000}, Case{"-", 1000}}) {
        m_answers.boxTexts.clear();
        TypeLoop(QString::fromLatin1(c.keys));
        EXPECT_EQ(m_answers.boxTexts, std::vector<std::string>{message}) << c.keys;
        EXPECT_EQ(Window()->m_loopCount, c.count) << c.keys;
        EXPECT_EQ(Loop()->text(), QString::number(c.count)) << c.keys;
    }
    // Escape with no player running leaves the window where it is.
    QTest::keyClick(Names(), Qt::Key_Escape);
    EXPECT_TRUE(Window()->isVisible());
}

// Six commands that the card answers 6D 00, sorted P1 to P6.
const std::string kSixFile =
    "[Command]\r\nP6 = 00 D6 00 00\r\nP5 = 00 D5 00 00\r\nP4 = 00 D4 00 00\r\nP3 = 00 D3 00 00\r\n"
    "P2 = 00 D2 00 00\r\nP1 = 00 D1 00 00\r\n";
std::vector<std::string> SixSent() {
    std::vector<std::string> sent;
    for (char k = '1'; k <= '6'; ++k) sent.push_back(std::string("Transmit 00 D") + k + " 00 00");
    return sent;
}

// Enter and the players' system-menu commands during a play send nothing in
// between; outside a play each sends what it says.
TEST_F(ConsoleScripts, EnterAndMenuCommandsDuringAPlayWaitForIt) {
    Start(kSixFile);
    Connect();
    ClickName(0);
    CheckPlayCommands();
    QAction* transmit = SystemMenuEntry("SCardTransmit");
    QAction* play = SystemMenuEntry("Play SmartCard Commands");
    ASSERT_TRUE(transmit && play);
    bool pressed = false;
    QObject::connect(NameField(), &QLineEdit::textChanged, [&](const QString& name) {
        if (name != QStringLiteral("P3") || pressed) return;
        pressed = true;
        QTest::keyClick(Field(), Qt::Key_Return);
        QTest::keyClick(Field(), Qt::Key_Enter);
        transmit->trigger();
        play->trigger();
    });
    Click(*m_dlg, IDC_TRANSMIT);
    ASSERT_TRUE(pressed);
    EXPECT_EQ(Sent(), SixSent());

    // After the play: Enter sends the field once, the menu's SCardTransmit
    // repeats it, its Play plays from the selection (the last command).
    m_trace.Mark();
    QTest::keyClick(Field(), Qt::Key_Return);
    transmit->trigger();
    play->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(Sent(), std::vector<std::string>(3, "Transmit 00 D6 00 00"));
}

// A closed command-file window keeps its list and count to itself: the
// players use only what the user sees, and the system menu brings it back.
TEST_F(ConsoleScripts, AClosedCommandFileWindowDrivesNoPlayer) {
    Start(kAbcFile);
    Connect();
    ClickName(1);
    TypeLoop(QStringLiteral("3"));
    Window()->close();
    ASSERT_FALSE(Window()->isVisible());
    Click(*m_dlg, IDC_TRANSMIT);  // B's command, once: the hidden count is not the user's
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB}));
    CheckPlayCommands();
    Click(*m_dlg, IDC_TRANSMIT);  // no play from an unseen list; the list comes back
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB}));
    EXPECT_TRUE(Window()->isVisible());

    Window()->close();
    QAction* show = SystemMenuEntry("Show Command File");
    ASSERT_NE(show, nullptr);
    show->trigger();
    EXPECT_TRUE(Window()->isVisible());
    m_trace.Mark();
    Click(*m_dlg, IDC_TRANSMIT);
    EXPECT_EQ(Sent(), (std::vector<std::string>{kB, kC, kB, kC, kB, kC}));
}

// A user's command file through open, edit and Exit, in every file-system
// case that once lost or mangled one: what is on disk afterwards, byte for
// byte, with its owner and mode.
constexpr uid_t kOther = 65534;
enum class Content { Commands, ManyCommands, Huge, Fifo };

struct DiskCase {
    const char* name;
    const char* chosen;  // the path the user types, under the case folder
    const char* stored;  // where the file is (a link's target), under the case folder
    Content content;
    mode_t mode;
    bool othersFile;    // the file is kOther's, not root's
    bool othersFolder;  // its folder is kOther's, not root's (0755)
    bool runAsOther;    // the console opens, edits and saves as kOther
    bool fullDisk;      // the folder is a small tmpfs without a page left
    bool add;           // the user adds NEW = 00 B2 00 00 before Exit
    bool loads;         // the window lists the file's commands
    std::vector<std::string> boxes;  // from the opening to the end of Exit
    bool rewritten;     // the file holds the window's list; otherwise it is as it was
};

void PrintTo(const DiskCase& c, std::ostream* out) { *out << c.name; }

const std::string kOld = "[Command]\r\nOLD = 00 A4 04 00\r\n";
const std::string kInvalid = "Fichier invalide";
const std::string kDenied = "Acc\xE9s au fichier refus\xE9";
const std::string kUnknown = "Erreur fichier inconnue";
std::string Replace(const char* name) {
    return std::string(name) + "\nThis file could not be read.\nDo you want to replace it with the commands added?";
}

std::string Contents(Content content) {
    if (content == Content::ManyCommands) {
        // 4011 bytes: one page of a tmpfs, and a rewrite with one more command needs two.
        std::string text = "[Command]\r\n";
        char line[32];
        for (int i = 0; i < 200; ++i) {
            std::snprintf(line, sizeof line, "C%03d = 00 A4 04 00\r\n", i);
            text += line;
        }
        return text;
    }
    return kOld;
}

std::set<std::string> FolderNames(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// Runs as another user until destroyed (the effective ids only, so root comes back).
class ActAs {
public:
    explicit ActAs(uid_t user) : m_active(user != 0) {
        if (m_active) {
            EXPECT_TRUE(::setegid(user) == 0 && ::seteuid(user) == 0);
        }
    }
    ~ActAs() {
        if (m_active) {
            EXPECT_TRUE(::seteuid(0) == 0 && ::setegid(0) == 0);
        }
    }

private:
    bool m_active;
};

class DiskCases : public ConsoleScripts, public testing::WithParamInterface<DiskCase> {
protected:
    // Root of a namespace that maps kOther (a normal run of the tests as root).
    bool CanUseOther() {
        const fs::path probe = m_dir / "probe";
        Write(probe, "");
        const bool ok = geteuid() == 0 && ::chown(probe.c_str(), kOther, kOther) == 0;
        fs::remove(probe);
        return ok;
    }
    void Prepare(const DiskCase& c, const fs::path& chosen, const fs::path& stored) {
        const fs::path folder = stored.parent_path();
        fs::create_directories(folder);
        if (c.fullDisk) {
            if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) GTEST_SKIP() << "no tmpfs";
            m_mounts.push_back(folder.string());
        }
        if (c.content == Content::Fifo) {
            ASSERT_EQ(::mkfifo(stored.c_str(), 0600), 0);
        } else {
            Write(stored, Contents(c.content));
        }
        if (c.content == Content::Huge) fs::resize_file(stored, 65u << 20);  // past the 64 MiB refused
        if (chosen != stored) fs::create_symlink(fs::relative(stored, chosen.parent_path()), chosen);
        ASSERT_EQ(::chown(stored.c_str(), c.othersFile ? kOther : 0, c.othersFile ? kOther : 0), 0);
        ASSERT_EQ(::chmod(stored.c_str(), c.mode), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.othersFolder ? kOther : 0, c.othersFolder ? kOther : 0), 0);
        if (c.fullDisk) {
            std::ofstream filler(folder / "filler", std::ios::binary);
            const std::string page(4096, 'x');
            while (filler.write(page.data(), page.size())) filler.flush();
        }
        // Anyone may pass, and the console's default file may be saved by kOther.
        fs::permissions(m_dir, fs::perms::all);
    }
};

TEST_P(DiskCases, OpenEditAndExitKeepTheFile) {
    const DiskCase& c = GetParam();
    if ((c.othersFile || c.othersFolder || c.runAsOther) && !CanUseOther()) GTEST_SKIP() << "needs root";
    const fs::path chosen = m_dir / "case" / fs::u8path(c.chosen);
    const fs::path stored = m_dir / "case" / fs::u8path(c.stored);
    Prepare(c, chosen, stored);
    if (IsSkipped() || HasFatalFailure()) return;
    const bool fifo = c.content == Content::Fifo;
    const std::string before = fifo ? "" : Read(stored);
    const std::set<std::string> namesBefore = FolderNames(stored.parent_path());

    Start();
    Connect();
    m_answers.boxTexts.clear();
    {
        ActAs user(c.runAsOther ? kOther : 0);
        OpenByMenu(IDM_OPEN_COMMAND_FILE, chosen);
        EXPECT_EQ(Window()->windowTitle(), QString::fromStdString(chosen.filename().string()));
        const std::size_t inFile = c.content == Content::ManyCommands ? 200 : 1;
        EXPECT_EQ(NameList().size(), c.loads ? inFile : 0);
        if (c.add) AddCommand("NEW", "00B20000");
        m_dlg->reject();  // Exit: the window saves its file
    }
    EXPECT_EQ(m_answers.boxTexts, c.boxes);

    struct stat after {};
    ASSERT_EQ(::lstat(stored.c_str(), &after), 0);
    EXPECT_EQ(S_ISFIFO(after.st_mode), fifo);
    EXPECT_EQ(after.st_uid, c.othersFile ? kOther : 0u);
    EXPECT_EQ(after.st_mode & 07777, c.mode);
    if (!fifo) {
        const std::string field(260 * 3 - 1 - 11, ' ');
        const std::string list = std::string("[Command]\r\n") + (c.loads ? "OLD = 00 A4 04 00\r\n" : "") +
                                 "NEW = 00 B2 00 00" + field + "\r\n";
        const std::string now = Read(stored);
        EXPECT_EQ(now.size(), (c.rewritten ? list : before).size());
        EXPECT_TRUE(now == (c.rewritten ? list : before));
    }
    if (chosen != stored) {
        EXPECT_TRUE(fs::is_symlink(chosen));
        EXPECT_EQ(fs::canonical(chosen), fs::canonical(stored));
    }
    EXPECT_EQ(FolderNames(stored.parent_path()), namesBefore);  // no temporary, no second name
}

INSTANTIATE_TEST_SUITE_P(
    FileSystem, DiskCases,
    testing::Values(
        // name, chosen, stored, content, mode, othersFile, othersFolder, runAsOther, fullDisk, add, loads, boxes, rewritten
        DiskCase{"TooBig", "big.phb", "big.phb", Content::Huge, 0644, false, false, false, false, false, false,
                 {kInvalid}, false},
        DiskCase{"TooBigReplacedOnceConfirmed", "big.phb", "big.phb", Content::Huge, 0644, false, false, false, false,
                 true, false, {kInvalid, Replace("big.phb")}, true},
        DiskCase{"UnreadableInAWritableFolder", "locked.phb", "locked.phb", Content::Commands, 0600, false, true, true,
                 false, false, false, {kDenied}, false},
        DiskCase{"AccentedFolder", "Donn\xC3\xA9" "es/bench.phb", "Donn\xC3\xA9" "es/bench.phb", Content::Commands,
                 0644, false, false, false, false, true, true, {}, true},
        DiskCase{"AccentedName", "cl\xC3\xA9.phb", "cl\xC3\xA9.phb", Content::Commands, 0644, false, false, false,
                 false, true, true, {}, true},
        DiskCase{"Symlink", "link.phb", "real/bench.phb", Content::Commands, 0644, false, false, false, false, true,
                 true, {}, true},
        DiskCase{"AnotherUsers0600SavedByRoot", "bench.phb", "bench.phb", Content::Commands, 0600, true, true, false,
                 false, true, true, {}, true},
        DiskCase{"WriteProtected0444", "bench.phb", "bench.phb", Content::Commands, 0444, false, false, false, false,
                 true, true, {kDenied}, false},
        DiskCase{"WritableFileInAReadOnlyFolder", "ro/bench.phb", "ro/bench.phb", Content::Commands, 0640, true, false,
                 true, false, true, true, {}, true},
        DiskCase{"Fifo", "pipe.phb", "pipe.phb", Content::Fifo, 0644, false, false, false, false, true, false,
                 {kInvalid, Replace("pipe.phb"), kInvalid}, false},
        DiskCase{"FullDisk", "disk/bench.phb", "disk/bench.phb", Content::ManyCommands, 0644, false, false, false, true,
                 true, true, {kUnknown}, false},
        DiskCase{"FullDiskInAReadOnlyFolder", "disk/bench.phb", "disk/bench.phb", Content::ManyCommands, 0640, true,
                 false, true, true, true, true, {kUnknown}, false}),
    [](const testing::TestParamInfo<DiskCase>& info) { return std::string(info.param.name); });

}  // namespace
