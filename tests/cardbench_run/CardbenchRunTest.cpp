// cardbench-run as a CI job runs it: the program against the private pcscd
// and the simulated "Run Sim Reader" (run.scn). What reached the card is read
// from the reader's trace, what the program said from its output and status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../readerlink_pcscd/PcscdBench.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(BENCHKIT_BINARY_DIR) + "/scripts/cardbench-run";
const std::string kA4 = "Transmit 00 A4 04 00";
const std::string kB2 = "Transmit 00 B2 00 00";
const std::string kC3 = "Transmit 00 C3 00 00";
const std::string kEE = "Transmit 00 EE 00 00";

// ONE, THREE, TWO in the order the list sorts them.
const std::string kThree = "[Command]\r\nTWO = 00 B2 00 00\r\nTHREE = 00 C3 00 00\r\nONE = 00 A4 04 00\r\n";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> sent;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class CardbenchRun : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(bench::Ctl({"insert-card", "run", "Run Sim Reader"}), 0);
        char pattern[] = "/tmp/cardbench-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path File(const std::string& bytes, const char* name = "test.phb") {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    Outcome Run(std::vector<std::string> args) {
        bench::TraceWatch trace("trace-run.log");
        std::string command = "'" + kProgram + "'";
        for (const std::string& a : args) command += " '" + a + "'";
        command += " >'" + (m_dir / "out").string() + "' 2>'" + (m_dir / "err").string() + "'";
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.out = bench::ReadFile((m_dir / "out").string());
        outcome.err = bench::ReadFile((m_dir / "err").string());
        for (const std::string& call : trace.Calls())
            if (call.rfind("Transmit ", 0) == 0) outcome.sent.push_back(call);
        return outcome;
    }

    fs::path m_dir;
};

struct PlayCase {
    const char* what;
    std::vector<std::string> args;  // before the file
    std::string file;
    int status;
    std::vector<std::string> sent;
    std::vector<std::string> names;  // first column of each output line
};

class CardbenchRunPlays : public CardbenchRun, public testing::WithParamInterface<PlayCase> {};

TEST_P(CardbenchRunPlays, SendsWhatTheFileSays) {
    const PlayCase& c = GetParam();
    std::vector<std::string> args = c.args;
    args.push_back(File(c.file).string());
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    EXPECT_EQ(outcome.sent, c.sent);
    std::vector<std::string> names;
    for (const std::string& line : Lines(outcome.out)) names.push_back(line.substr(0, line.find('\t')));
    EXPECT_EQ(names, c.names) << outcome.out;
    EXPECT_EQ(outcome.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Files, CardbenchRunPlays,
    testing::Values(
        PlayCase{"WholeFile", {}, kThree, 0, {kA4, kC3, kB2}, {"ONE", "THREE", "TWO"}},
        PlayCase{"PlayedTwice", {"--loop", "2"}, kThree, 0, {kA4, kC3, kB2, kA4, kC3, kB2},
                 {"ONE", "THREE", "TWO", "ONE", "THREE", "TWO"}},
        // The first lap from TWO, the next from ONE, as the console's laps run.
        PlayCase{"LapRange", {"--start", "TWO", "--lap-start", "ONE", "--loop", "2"}, kThree, 0,
                 {kB2, kA4, kC3, kB2}, {"TWO", "ONE", "THREE", "TWO"}},
        PlayCase{"OneCommandRepeated", {"--command", "three", "--loop", "3"}, kThree, 0, {kC3, kC3, kC3},
                 {"THREE", "THREE", "THREE"}},
        // A failing command ends the run there: ZED is not sent.
        PlayCase{"FailingMidFile", {"--loop", "5"}, "[Command]\r\nZED = 00 C3 00 00\r\nTWO = 00 EE 00 00\r\nONE = 00 A4 04 00\r\n",
                 1, {kA4, kEE}, {"ONE", "TWO"}},
        // Packed and oddly spaced texts go out as their bytes.
        PlayCase{"StoredSpacings", {"--protocol", "t1", "--share", "shared"},
                 "[Command]\r\nP = 00A40400\r\nQ = 0  b2 0 00\r\n", 0, {kA4, kB2}, {"P", "Q"}}),
    [](const testing::TestParamInfo<PlayCase>& info) { return std::string(info.param.what); });

struct ErrorCase {
    const char* what;
    std::vector<std::string> args;
    const char* file;  // nullptr: a file that does not exist
    const char* err;   // the start of the one line on standard error
};

class CardbenchRunErrors : public CardbenchRun, public testing::WithParamInterface<ErrorCase> {};

TEST_P(CardbenchRunErrors, StopsWithStatusTwoAndOneLine) {
    const ErrorCase& c = GetParam();
    std::vector<std::string> args = c.args;
    args.push_back(c.file ? File(c.file).string() : (m_dir / "missing.phb").string());
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.rfind(c.err, 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.sent.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CardbenchRunErrors,
    testing::Values(ErrorCase{"MissingReader", {"--reader", "No Such Reader"}, "[Command]\r\nA = 00\r\n",
                              "cardbench-run: no reader No Such Reader (readers: Run Sim Reader 00 00)"},
                    ErrorCase{"ReaderPositionOutside", {"--reader", "3"}, "[Command]\r\nA = 00\r\n",
                              "cardbench-run: no reader 3"},
                    ErrorCase{"NoSection", {}, "A = 00 A4 04 00\r\n", "cardbench-run: "},
                    ErrorCase{"MissingFile", {}, nullptr, "cardbench-run: cannot read "},
                    ErrorCase{"UnknownCommand", {"--command", "NOPE"}, "[Command]\r\nA = 00\r\n",
                              "cardbench-run: no command named NOPE"},
                    ErrorCase{"BadLoop", {"--loop", "10000"}, "[Command]\r\nA = 00\r\n",
                              "cardbench-run: --loop takes a whole number from 1 to 9999"},
                    ErrorCase{"UnknownOption", {"--fast"}, "[Command]\r\nA = 00\r\n",
                              "cardbench-run: unknown option --fast"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.what); });

// The log is the console's: header, then per exchange the record with the
// command field's whole text (260 groups, untyped positions blank).
TEST_F(CardbenchRun, LogIsTheConsolesByteForByte) {
    const fs::path logs = m_dir / "logs";
    fs::create_directory(logs);
    const Outcome outcome =
        Run({"--log", logs.string(), File("[Command]\r\nSEL = 00A40400\r\nZ = 00 EE 00 00\r\n").string()});
    ASSERT_EQ(outcome.status, 1) << outcome.err;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(logs)) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(\d{8}\.log)")));
    const std::string log = bench::ReadFile(files[0].string());
    std::smatch header;
    ASSERT_TRUE(std::regex_search(log, header, std::regex(R"(^Date : \d\d/\d\d/\d{4}\r\nHour : \d\d/\d\d/\d\d\r\n)")));
    auto field = [](std::string typed) {
        typed.resize(260 * 3 - 1, ' ');
        return typed;
    };
    EXPECT_EQ(log.substr(header.length()),
              "[Command]\r\nSCardTransmit\r\n" + field("00 A4 04 00") + "\r\n[Answer]\r\n90 00 \r\n"
              "[Command]\r\nSCardTransmit\r\n" + field("00 EE 00 00") + "\r\n[Answer]\r\nxx xx xx xx xx\r\n");
}

TEST_F(CardbenchRun, JsonGivesOneObjectPerExchange) {
    const Outcome outcome = Run({"--json", File(kThree).string()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              R"j({"name":"ONE","command":"00 A4 04 00","answer":"90 00","result":0,"meaning":"90 00  ( Normal Processing. )"})j");
    EXPECT_EQ(lines[2].rfind(R"({"name":"TWO","command":"00 B2 00 00","answer":"41 42 90 00","result":0,)", 0), 0u);
}

// Each line: name, command, answer, meaning; a failure shows the failure
// text and the result's sentence (the PC/SC result-code table).
TEST_F(CardbenchRun, LinesSpellOutAnswersAndFailures) {
    const Outcome outcome =
        Run({File("[Command]\r\nA = 00 B2 00 00\r\nB = 00 C3 00 00\r\nC = 00 EE 00 00\r\nD = 00 A4 04 00\r\n").string()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(Lines(outcome.out),
              (std::vector<std::string>{"A\t00 B2 00 00\t41 42 90 00\t90 00  ( Normal Processing. )",
                                        "B\t00 C3 00 00\t61 10\t61 10  ( 10h Response Byte(s) still available. )",
                                        "C\t00 EE 00 00\txx xx xx xx xx\tAn attempt was made to end a non-existent transaction."}));
}

TEST_F(CardbenchRun, CardRemovedIsAFailingExchange) {
    ASSERT_EQ(bench::Ctl({"remove-card", "run", "Run Sim Reader"}), 0);
    const Outcome outcome = Run({File(kThree).string()});
    // Connecting to an empty reader is a reader error.
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.rfind("cardbench-run: cannot connect to Run Sim Reader 00 00: ", 0), 0u) << outcome.err;
}

}  // namespace
