// SPDX-License-Identifier: BSD-3-Clause
// The APDU exchange, the response view, the exchange log and the status tree,
// driven through the main window against a private pcscd with the simulated
// "Exchange Sim Reader" (exchange.scn).
#include <QApplication>
#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <unistd.h>

#include <PCSC/reader.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "../console/ConsoleHarness.h"
#include "../readerlink_pcscd/PcscdBench.h"
#include "carddata/CardList.h"
#include "console/ParseAtrDlg.h"
#include "widgets/QtText.h"
#include "console/StatusTree.h"
#include "readerlink/ResultText.h"
#include "widgets/MaskedEdit.h"

using namespace console;
using namespace harness;

namespace {

namespace fs = std::filesystem;

constexpr char kReaderPrefix[] = "Exchange Sim Reader";
constexpr char kAtrText[] = "3B E2 00 00 81 31 20 45 01 02 34 ";
constexpr std::size_t kCommandFieldLength = 260 * 3 - 1;

std::string ResultText(std::uint32_t code) {
    std::string text;
    GetResultText(code, text);
    return text;
}

// The command field's text once these groups are typed: the rest stays blank.
std::string FieldText(std::string typed) {
    typed.resize(kCommandFieldLength, ' ');
    return typed;
}

// Answers every message box the window opens, keeping its text.
class BoxCatcher : public QObject {
public:
    BoxCatcher() {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(FromQString(box->text()));
                box->accept();
            }
        });
        m_timer.start(10);
    }
    std::vector<std::string> texts;

private:
    QTimer m_timer;
};

class ConsoleExchange : public testing::Test {
protected:
    void SetUp() override {
        // The card names come from the tests' own list, not the system's.
        SetSharedCardListPath(BENCHKIT_SOURCE_DIR "/tests/carddata/data/card_list_sample.txt");
        ASSERT_EQ(bench::Ctl({"insert-card", "exchange", kReaderPrefix}), 0);
        // Logs are written to the current directory.
        char pattern[] = "/tmp/console-exchange-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_oldDir = fs::current_path();
        fs::current_path(m_dir);
    }
    void TearDown() override {
        SetSharedCardListPath(kSystemCardListPath);
        m_dlg.reject();
        fs::current_path(m_oldDir);
        fs::remove_all(m_dir);
    }

    void Establish() {
        Click(m_dlg, IDC_ESTABLISH);
        ASSERT_EQ(StateMismatches(m_dlg, WindowState::ContextEstablished), "") << StatusLine(m_dlg);
    }
    void Connect() {
        Click(m_dlg, IDC_CONNECT);
        ASSERT_EQ(StateMismatches(m_dlg, WindowState::CardConnected), "") << StatusLine(m_dlg);
    }
    CMaskedEdit* Field() { return qobject_cast<CMaskedEdit*>(m_dlg.Control(IDC_COMMAND)); }
    // Types a command over an emptied field and sends it with "SCardTransmit".
    void Send(const char* keys) {
        Field()->ClearText();
        QTest::keyClicks(Field(), keys);
        Click(m_dlg, IDC_TRANSMIT);
    }
    QString ResponseField() { return qobject_cast<QPlainTextEdit*>(m_dlg.Control(IDC_RESPONSE))->toPlainText(); }
    std::string Response() { return FromQString(ResponseField()); }
    QTreeWidget* Tree() { return qobject_cast<QTreeWidget*>(m_dlg.Control(IDC_STATUS_TREE)); }
    std::string LogBytes() {
        std::vector<fs::path> logs;
        for (const auto& entry : fs::directory_iterator(m_dir))
            if (entry.path().extension() == ".log") logs.push_back(entry.path());
        if (logs.size() != 1) return "<" + std::to_string(logs.size()) + " log files>";
        return bench::ReadFile(logs[0].string());
    }

    RecordingPcsc m_pcsc;
    fs::path m_dir;
    fs::path m_oldDir;
    CConsoleDlg m_dlg;
};

TEST_F(ConsoleExchange, AnswersAreShownAsHexOrAsTheStatusWord) {
    Establish();
    Connect();
    struct Case {
        const char* keys;
        std::string response;
    };
    const Case cases[] = {
        {"00a40400", "90 00  ( Normal Processing. ) "},
        {"80CA0000", "61 10  ( 10h Response Byte(s) still available. ) "},
        {"00B0000002", "41 42 90 00 "},  // data and status word: hexadecimal only
        {"00B0FF00", "6D 00  ( Instruction code not supported or invalid ) "},
    };
    for (const Case& c : cases) {
        Send(c.keys);
        EXPECT_EQ(Response(), c.response) << c.keys;
        EXPECT_EQ(StatusLine(m_dlg), "OK") << c.keys;
        EXPECT_TRUE(Button(m_dlg, IDC_RESPONSE_FORMAT)->isEnabled());
    }
    EXPECT_EQ(m_dlg.Session().CommandText(), FieldText("00 B0 FF 00"));

    // An answer past 255 bytes is shown whole.
    Send("00B00100");
    const std::string response = Response();
    ASSERT_EQ(response.size(), 300u * 3);
    EXPECT_EQ(response.substr(0, 9), "03 08 0D ");
    EXPECT_EQ(response.substr(response.size() - 6), "90 00 ");
    EXPECT_EQ(m_dlg.Session().ResponseLength(), 300u);
}

TEST_F(ConsoleExchange, ResponseFormatButtonAlternatesFromTheStoredBytes) {
    Establish();
    Connect();
    Send("00B0000002");
    ASSERT_EQ(Response(), "41 42 90 00 ");
    // 0x90 has no character in code page 1252: compare the text the field was given.
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(m_dlg.Session().ResponseText(), "AB\x90 ");  // the zero byte as a space
    EXPECT_EQ(ResponseField(), ToQString("AB\x90 "));
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), "41 42 90 00 ");

    // A status-word text gives way to the plain conversion of the bytes.
    Send("00A40400");
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(m_dlg.Session().ResponseText(), "\x90 ");
    EXPECT_EQ(ResponseField(), ToQString("\x90 "));
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), "90 00 ");
}

// The window keeps "SCardTransmit" off while nothing is typed; Enter still
// sends what the field holds.
TEST_F(ConsoleExchange, EmptyFieldSendsACommandOfNoBytes) {
    Establish();
    Connect();
    Field()->ClearText();
    m_pcsc.Clear();
    QTest::keyClick(Field(), Qt::Key_Return);
    const auto calls = m_pcsc.Calls("Transmit");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].a, 0u);  // send length
    // The simulated card answers it as any unknown command.
    EXPECT_EQ(Response(), "6D 00  ( Instruction code not supported or invalid ) ");
    EXPECT_EQ(StatusLine(m_dlg), "OK");
}

// Enter in the command field runs the exchange whatever the state; with no
// card connection the link answers -1.
TEST_F(ConsoleExchange, WithoutAConnectionTheFailureIsShown) {
    Establish();
    QTest::keyClicks(Field(), "00A40400");
    QTest::keyClick(Field(), Qt::Key_Return);
    EXPECT_EQ(Response(), "xx xx xx xx xx");
    EXPECT_EQ(StatusLine(m_dlg), ResultText(0xFFFFFFFFu));
    EXPECT_EQ(m_dlg.Session().ResponseLength(), 0u);
    ASSERT_TRUE(Button(m_dlg, IDC_RESPONSE_FORMAT)->isEnabled());
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), "");
    Click(m_dlg, IDC_RESPONSE_FORMAT);
    EXPECT_EQ(Response(), "");
}

TEST_F(ConsoleExchange, LogHoldsEveryExchangeByteForByte) {
    m_dlg.OnSysCommand(IDM_USE_LOG_FILE);
    ASSERT_TRUE(m_dlg.Session().LogEnabled());
    Establish();
    Connect();  // the status step writes the ATR record
    Send("00A40400");
    Send("80CA0000");
    ASSERT_EQ(bench::Ctl({"remove-card", "exchange", kReaderPrefix}), 0);
    Send("00B0000002");
    EXPECT_EQ(Response(), "xx xx xx xx xx");
    Click(m_dlg, IDC_RELEASE);

    const std::string log = LogBytes();
    std::smatch header;
    ASSERT_TRUE(std::regex_search(log, header,
                                  std::regex(R"(^Date : \d\d/\d\d/\d{4}\r\nHour : \d\d/\d\d/\d\d\r\n)")))
        << log.substr(0, 60);
    // Connect reads the reader's manufacturer name after the status step;
    // its record names the attribute. An APDU's record holds the command
    // field's whole text.
    EXPECT_EQ(log.substr(header.length()),
              "[Command]\r\nSCardStatus Request\r\n[Answer]\r\n3B E2 00 00 81 31 20 45 01 02 34\r\n"
              "[Command]\r\nSCardControl\r\nManufacturer Name\r\n[Answer]\r\nTAV Bench Readers\r\n"
              "[Command]\r\nSCardTransmit\r\n" + FieldText("00 A4 04 00") + "\r\n[Answer]\r\n90 00 \r\n"
              "[Command]\r\nSCardTransmit\r\n" + FieldText("80 CA 00 00") + "\r\n[Answer]\r\n61 10 \r\n"
              "[Command]\r\nSCardTransmit\r\n" + FieldText("00 B0 00 00 02") +
                  "\r\n[Answer]\r\nxx xx xx xx xx\r\n");
}

TEST_F(ConsoleExchange, WithoutLoggingNoFileIsMade) {
    Establish();
    Connect();
    Send("00A40400");
    Click(m_dlg, IDC_RELEASE);
    EXPECT_EQ(LogBytes(), "<0 log files>");
}

// A log that cannot be created says so once at Establish, not again for every
// record of the same cause; the exchanges themselves go on.
TEST_F(ConsoleExchange, LogFailuresShowOneMessageBoxPerCause) {
    const fs::path gone = m_dir / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);  // the current directory no longer exists: nothing can be created in it
    m_dlg.OnSysCommand(IDM_USE_LOG_FILE);
    BoxCatcher boxes;
    Establish();
    Connect();
    Send("00A40400");
    EXPECT_EQ(Response(), "90 00  ( Normal Processing. ) ");
    const std::string notSelected = "Fichier non selectionn\xE9 !!";
    // The header; the status record, the manufacturer-name record and the exchange fail alike.
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{notSelected}));
}

TEST_F(ConsoleExchange, StatusTreeShowsTheCardsAtr) {
    Establish();
    Connect();
    QTreeWidget* tree = Tree();
    ASSERT_FALSE(tree->isHidden());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    const QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(FromQString(root->text(0)), kAtrText);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(root->icon(0).cacheKey(), CStatusTree::StatusImage(kImageRootPass).cacheKey());
    const std::vector<std::vector<std::string>> groups = {
        {"T0", "ATR with 2 Historical Byte(s) ", "01 02 "},
        {"TA", "[TA1] Absent. Default Value are Fi= 372 Di= 1 ", "[TA3] T=1 IFSD=32 "},
        {"TB", "[TB1] =0 ", "[TB3] T=1 CWT=5 BWT=4 "},
        {"TC", "[TC1] Extra GuardTime : 0 "},
        {"TD", "Protocole reference on TD1 is T=1 ", "Protocole reference on TD2 is T=1 "},
        {"Card names", "Not in the card list"},
        {"ATR soundness", "TCK required: T=1 offered", "TCK = 34, exclusive-or of T0 to TCK = 00: correct",
         "complete: 11 bytes announced, 11 present"},
    };
    ASSERT_EQ(root->childCount(), 7);
    for (int g = 0; g < 7; ++g) {
        const QTreeWidgetItem* group = root->child(g);
        EXPECT_EQ(FromQString(group->text(0)), groups[g][0]);
        EXPECT_FALSE(group->isExpanded()) << g;
        EXPECT_EQ(group->icon(0).cacheKey(), CStatusTree::StatusImage(kImageGroup).cacheKey()) << g;
        ASSERT_EQ(group->childCount() + 1, static_cast<int>(groups[g].size())) << g;
        for (int i = 0; i < group->childCount(); ++i) {
            EXPECT_EQ(FromQString(group->child(i)->text(0)), groups[g][i + 1]);
            const int image = g == 0 && i == 1 ? kImageRoot : kImageLine;
            EXPECT_EQ(group->child(i)->icon(0).cacheKey(), CStatusTree::StatusImage(image).cacheKey());
        }
    }
    EXPECT_EQ(tree->itemAt(2, 2), root);
}

// Connect asks the reader for its manufacturer name: one of the maker's
// readers gets the vendor attribute entries, and the status line is left
// empty whatever the status step said.
TEST_F(ConsoleExchange, ConnectRecognisesTheMakersReader) {
    Establish();
    m_pcsc.Clear();
    Connect();
    // The feature request comes first, then the manufacturer name.
    const auto controls = m_pcsc.Calls("Control");
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(controls[0].a, static_cast<std::uint32_t>(CM_IOCTL_GET_FEATURE_REQUEST));
    EXPECT_EQ(controls[1].a, static_cast<std::uint32_t>(SCARD_CTL_CODE(2049)));
    EXPECT_EQ(StatusLine(m_dlg), "");
    EXPECT_TRUE(m_dlg.Session().MakerReader());
    // The answer is kept for the response-format button, the field is not touched.
    EXPECT_EQ(m_dlg.Session().ResponseLength(), 18u);
    EXPECT_EQ(Response(), "");

    QMenu* menu = qobject_cast<QToolButton*>(m_dlg.Control(IDC_ATTRIBUTES))->menu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    for (int command : {32816, 32817, 32818, 32819, 32820, 32821, 32831}) {
        ASSERT_NE(m_dlg.MenuCommand(command), nullptr) << command;
        EXPECT_TRUE(m_dlg.MenuCommand(command)->isEnabled()) << command;
    }
}

TEST_F(ConsoleExchange, DirectModeShowsNoTree) {
    Establish();
    Click(m_dlg, IDC_SHARE_DIRECT);
    Click(m_dlg, IDC_CONNECT);
    ASSERT_TRUE(Button(m_dlg, IDC_DISCONNECT)->isEnabled()) << StatusLine(m_dlg);
    EXPECT_TRUE(Tree()->isHidden());
    Click(m_dlg, IDC_STATUS);
    EXPECT_EQ(StatusLine(m_dlg), "OK");
    EXPECT_TRUE(Tree()->isHidden());
}

TEST_F(ConsoleExchange, RemovedCardIsNoticedByTheStatusStep) {
    Establish();
    Connect();
    ASSERT_EQ(bench::Ctl({"remove-card", "exchange", kReaderPrefix}), 0);
    Click(m_dlg, IDC_STATUS);
    EXPECT_EQ(StatusLine(m_dlg), "The card has been removed so that further communication is not possible.");
    EXPECT_TRUE(Button(m_dlg, IDC_CONNECT)->isEnabled());
    EXPECT_TRUE(Button(m_dlg, IDC_DISCONNECT)->isEnabled());
    for (int id : {IDC_STATUS, IDC_TRANSMIT, IDC_RESPONSE_FORMAT}) EXPECT_FALSE(Button(m_dlg, id)->isEnabled()) << id;
    EXPECT_TRUE(Tree()->isHidden());
}

TEST_F(ConsoleExchange, ParseAtrFillsTheTreeWithoutAContext) {
    QTimer::singleShot(0, &m_dlg, [] {
        auto* dialog = qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->AtrField(), "3B020414");
        auto* parse = dialog->findChild<QPushButton*>("1");
        ASSERT_NE(parse, nullptr);
        parse->click();
    });
    m_dlg.OnSysCommand(IDM_PARSE_ATR);
    EXPECT_EQ(m_dlg.Session().Link().ContextHandle(), 0u);
    QTreeWidget* tree = Tree();
    ASSERT_FALSE(tree->isHidden());
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    std::string typed = "3B 02 04 14";
    typed.resize(80 * 3 - 1, ' ');
    // The root leaves out the field's blanks; the text itself keeps them.
    EXPECT_EQ(FromQString(tree->topLevelItem(0)->text(0)), "3B 02 04 14");
    EXPECT_EQ(m_dlg.Session().AtrText(), typed);
    const QTreeWidgetItem* historical = tree->topLevelItem(0)->child(0)->child(1);
    ASSERT_NE(historical, nullptr);
    EXPECT_EQ(FromQString(historical->text(0)), "04 14 ");
}

// "Parse ATR without Smart Card." with the demo card's ATR typed: the tree
// names the card from the list and judges its TCK, with no context.
TEST_F(ConsoleExchange, ParseAtrNamesTheCardAndJudgesItsTck) {
    QTimer::singleShot(0, &m_dlg, [] {
        auto* dialog = qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->AtrField(), "3B88800154415620444" "54D4F69");
        auto* parse = dialog->findChild<QPushButton*>("1");
        ASSERT_NE(parse, nullptr);
        QTest::mouseClick(parse, Qt::LeftButton, {}, parse->rect().center());
    });
    m_dlg.OnSysCommand(IDM_PARSE_ATR);
    const QTreeWidgetItem* root = Tree()->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    ASSERT_EQ(root->childCount(), 7);
    std::vector<std::string> names, soundness;
    for (int i = 0; i < root->child(5)->childCount(); ++i)
        names.push_back(FromQString(root->child(5)->child(i)->text(0)));
    for (int i = 0; i < root->child(6)->childCount(); ++i)
        soundness.push_back(FromQString(root->child(6)->child(i)->text(0)));
    EXPECT_EQ(FromQString(root->child(5)->text(0)), "Card names");
    EXPECT_EQ(names, (std::vector<std::string>{"Bench kit demo card (simulated reader)",
                                               "https://example.invalid/demo-card", "Demo family, any TCK"}));
    EXPECT_EQ(FromQString(root->child(6)->text(0)), "ATR soundness");
    EXPECT_EQ(soundness, (std::vector<std::string>{"TCK required: T=1 offered",
                                                   "TCK = 69, exclusive-or of T0 to TCK = 00: correct",
                                                   "complete: 13 bytes announced, 13 present"}));
}

}  // namespace
