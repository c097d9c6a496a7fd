// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run against one simulated reader, "Run Sim Reader" (run.scn):
// what it sends, prints, logs and checks, and what it refuses.
#include <sys/stat.h>

#include <regex>

#include "RunHarness.h"

namespace {

using namespace runtest;

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

enum class Given { Text, Missing, Folder, Fifo };

struct ErrorCase {
    const char* what;
    std::vector<std::string> args;  // @DIR@ is the test's folder
    const char* file;               // the command file's bytes (Given::Text)
    const char* err;                // the start of the line on standard error
    const char* expect = nullptr;   // written to @DIR@/expect.phb
    Given given = Given::Text;
};

std::string InDir(std::string text, const fs::path& dir) {
    for (std::size_t at; (at = text.find("@DIR@")) != std::string::npos;) text.replace(at, 5, dir.string());
    return text;
}

class CardbenchRunErrors : public CardbenchRun, public testing::WithParamInterface<ErrorCase> {};

// Nothing is sent and nothing written: every refusal comes before the first exchange.
TEST_P(CardbenchRunErrors, StopsWithStatusTwoAndOneLine) {
    const ErrorCase& c = GetParam();
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(InDir(arg, m_dir));
    if (c.expect) File(c.expect, "expect.phb");
    const fs::path file = m_dir / "commands.phb";
    switch (c.given) {
        case Given::Text: File(c.file, "commands.phb"); break;
        case Given::Missing: break;
        case Given::Folder: fs::create_directory(file); break;
        case Given::Fifo: ASSERT_EQ(mkfifo(file.c_str(), 0600), 0); break;
    }
    args.push_back(file.string());
    const auto before = std::distance(fs::directory_iterator(m_dir), fs::directory_iterator());
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err.rfind(InDir(c.err, m_dir), 0), 0u) << outcome.err;
    EXPECT_EQ(outcome.err.find("Fichier"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.sent.empty());
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), before + 2);  // out and err only
}

const char* const kOne = "[Command]\r\nONE = 00 A4 04 00\r\n";

INSTANTIATE_TEST_SUITE_P(
    Refusals, CardbenchRunErrors,
    testing::Values(ErrorCase{"MissingReader", {"--reader", "No Such Reader"}, kOne,
                              "cardbench-run: no reader No Such Reader (readers: Run Sim Reader 00 00)"},
                    ErrorCase{"ReaderPositionOutside", {"--reader", "3"}, kOne, "cardbench-run: no reader 3"},
                    ErrorCase{"NoSection", {}, "A = 00 A4 04 00\r\n", "cardbench-run: "},
                    ErrorCase{"MissingFile", {}, nullptr, "cardbench-run: cannot read @DIR@/commands.phb: no such file",
                              nullptr, Given::Missing},
                    ErrorCase{"FileIsAFolder", {}, nullptr, "cardbench-run: cannot read @DIR@/commands.phb: a folder",
                              nullptr, Given::Folder},
                    // Would block on open for good if it were opened for reading as a file.
                    ErrorCase{"FileIsAFifo", {}, nullptr,
                              "cardbench-run: cannot read @DIR@/commands.phb: not a regular file", nullptr, Given::Fifo},
                    ErrorCase{"UnknownCommand", {"--command", "NOPE"}, kOne, "cardbench-run: no command named NOPE"},
                    ErrorCase{"BadLoop", {"--loop", "10000"}, kOne,
                              "cardbench-run: --loop takes a whole number from 1 to 9999"},
                    ErrorCase{"UnknownOption", {"--fast"}, kOne, "cardbench-run: unknown option --fast"},
                    ErrorCase{"LogFolderMissing", {"--log", "@DIR@/none"}, kOne,
                              "cardbench-run: cannot write the log in @DIR@/none: no such file or folder"},
                    ErrorCase{"LogFolderIsAFile", {"--log", "@DIR@/expect.phb"}, kOne,
                              "cardbench-run: cannot write the log in @DIR@/expect.phb: not a folder", ""},
                    ErrorCase{"MalformedPattern", {"--expect", "@DIR@/expect.phb"}, kOne,
                              "cardbench-run: @DIR@/expect.phb line 3: bad pattern \"90 0\" at column 4",
                              "[Command]\r\nONE = * 90 00\r\nONE = 90 0\r\n"},
                    ErrorCase{"ExpectedNameUnknown", {"--expect", "@DIR@/expect.phb"}, kOne,
                              "cardbench-run: @DIR@/expect.phb line 3: no command named NOPE in @DIR@/commands.phb",
                              "; golden answers\r\n[Command]\r\nNOPE = 90 00\r\n"},
                    ErrorCase{"ExpectedTwice", {"--expect", "@DIR@/expect.phb"}, kOne,
                              "cardbench-run: @DIR@/expect.phb line 3: one is expected already on line 2",
                              "[Command]\r\nONE = 90 00\r\none = 61 ..\r\n"},
                    ErrorCase{"ReportFolderMissing", {"--report", "@DIR@/none/run.html"}, kOne,
                              "cardbench-run: cannot write @DIR@/none/run.html: no such file or folder"},
                    ErrorCase{"JunitIsAFolder", {"--junit", "@DIR@"}, kOne,
                              "cardbench-run: cannot write @DIR@: a folder, not a file"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.what); });

struct ExpectCase {
    const char* what;
    std::vector<std::string> args;  // besides --expect
    const char* expect;
    int status;
    std::vector<std::string> sent;
    const char* err;
};

class CardbenchRunChecks : public CardbenchRun, public testing::WithParamInterface<ExpectCase> {};

TEST_P(CardbenchRunChecks, ReportsEachWrongAnswer) {
    const ExpectCase& c = GetParam();
    std::vector<std::string> args = c.args;
    for (const std::string& arg : {std::string("--expect"), File(c.expect, "expect.phb").string(), File(kThree).string()})
        args.push_back(arg);
    const Outcome outcome = Run(args);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.sent, c.sent);
    EXPECT_EQ(outcome.err, c.err);
    EXPECT_EQ(Lines(outcome.out).size(), c.sent.size());
}

// The card answers ONE 90 00, THREE 61 10, TWO 41 42 90 00.
INSTANTIATE_TEST_SUITE_P(
    Expectations, CardbenchRunChecks,
    testing::Values(
        ExpectCase{"MismatchMidFileGoesOn", {}, "[Command]\r\nONE = 90 00\r\nTHREE = 61 11\r\nTWO = 41 .. 90 00\r\n", 1,
                   {kA4, kC3, kB2}, "cardbench-run: THREE: expected 61 11, received 61 10\n"},
        ExpectCase{"StopOnMismatch", {"--stop-on-mismatch", "--loop", "3"}, "[Command]\r\nTHREE = 61 11\r\n", 1,
                   {kA4, kC3}, "cardbench-run: THREE: expected 61 11, received 61 10\n"},
        ExpectCase{"WildcardsMatch", {"--loop", "2"}, "[Command]\r\nONE = * 90 00\r\nthree = 61 ..\r\nTWO = *42*\r\n", 0,
                   {kA4, kC3, kB2, kA4, kC3, kB2}, ""},
        // Without a star the length counts.
        ExpectCase{"ShortPatternIsWrong", {}, "[Command]\r\nTWO = 41 42 90\r\n", 1, {kA4, kC3, kB2},
                   "cardbench-run: TWO: expected 41 42 90, received 41 42 90 00\n"}),
    [](const testing::TestParamInfo<ExpectCase>& info) { return std::string(info.param.what); });

// A log that cannot take a record ends the run with status 2 and one English
// line, whether the disk is full from the start or fills during the run.
TEST_F(CardbenchRun, FailedLogWriteFailsTheRun) {
    const fs::path logs = m_dir / "logs";
    fs::create_directory(logs);
    const std::string commands = File(kThree).string();
    // The log of this minute or the next is /dev/full.
    for (int minute = 0; minute < 2; ++minute) {
        const std::time_t t = std::time(nullptr) + 60 * minute;
        std::tm local{};
        localtime_r(&t, &local);
        char name[32];
        std::snprintf(name, sizeof name, "%02d%02d%02d%02d.log", local.tm_mday, local.tm_mon + 1, local.tm_hour, local.tm_min);
        fs::create_symlink("/dev/full", logs / name);
    }
    Outcome outcome = Run({"--log", logs.string(), commands});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(std::regex_match(outcome.err, std::regex("cardbench-run: cannot write the log .*/\\d{8}\\.log: disk full\n")))
        << outcome.err;
    EXPECT_TRUE(outcome.sent.empty());

    // Room for the header and two records of about 830 bytes (/bin/sh counts
    // 512-byte blocks): the third cuts the run.
    fs::remove_all(logs);
    fs::create_directory(logs);
    outcome = Run({"--log", logs.string(), "--loop", "5", commands}, "trap '' XFSZ; ulimit -f 4; ");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(std::regex_match(outcome.err, std::regex("cardbench-run: cannot write the log .*: File too large\n")))
        << outcome.err;
    EXPECT_EQ(outcome.sent, (std::vector<std::string>{kA4, kC3, kB2}));
}

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
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"j(\{"reader":"Run Sim Reader 00 00","name":"ONE","command":"00 A4 04 00",)j"
                                                      R"j("answer":"90 00","result":0,"meaning":"90 00  \( Normal Processing. \)",)j"
                                                      R"j("microseconds":\d+\})j")))
        << lines[0];
    EXPECT_NE(lines[2].find(R"(,"name":"TWO","command":"00 B2 00 00","answer":"41 42 90 00","result":0,)"), std::string::npos);
}

// Each line: name, command, answer, meaning, microseconds; a failure shows
// the failure text and the result's sentence (the PC/SC result-code table).
TEST_F(CardbenchRun, LinesSpellOutAnswersAndFailures) {
    const Outcome outcome =
        Run({File("[Command]\r\nA = 00 B2 00 00\r\nB = 00 C3 00 00\r\nC = 00 EE 00 00\r\nD = 00 A4 04 00\r\n").string()});
    EXPECT_EQ(outcome.status, 1);
    std::vector<std::string> lines;
    for (const std::string& line : Lines(outcome.out)) {
        const std::size_t tab = line.rfind('\t');
        EXPECT_TRUE(std::regex_match(line.substr(tab + 1), std::regex(R"(\d+)"))) << line;
        lines.push_back(line.substr(0, tab));
    }
    EXPECT_EQ(lines,
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
