// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run on two simulated readers (conf-two): "Run Sim Reader" and
// "Second Sim Reader", whose card answers TWO (00 B2 00 00) with 41 43 90 00
// instead of 41 42 90 00. Several readers at once, golden records replayed
// on another reader, the reports.
#include <chrono>
#include <future>
#include <regex>
#include <thread>

#include "RunHarness.h"

namespace {

using namespace runtest;

const std::string kFirst = "Run Sim Reader 00 00";
const std::string kSecond = "Second Sim Reader 01 00";

class CardbenchRunReaders : public CardbenchRun {
protected:
    std::vector<std::pair<std::string, std::string>> Cards() const override {
        return {{"run", "Run Sim Reader"}, {"run2", "Second Sim Reader"}};
    }
    std::vector<std::string> Traces() const override { return {"trace-run.log", "trace-run2.log"}; }
};

std::vector<std::string> Laps(int laps) {
    std::vector<std::string> sent;
    for (int i = 0; i < laps; ++i) sent.insert(sent.end(), {kA4, kC3, kB2});
    return sent;
}

TEST_F(CardbenchRunReaders, AllReadersRunTheFileAtOnce) {
    const Outcome outcome = Run({"--all-readers", "--loop", "3", "--stats", File(kThree).string()});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.sentTo.at("trace-run.log"), Laps(3));
    EXPECT_EQ(outcome.sentTo.at("trace-run2.log"), Laps(3));
    std::map<std::string, int> lines;  // each line names its reader first
    for (const std::string& line : Lines(outcome.out)) ++lines[line.substr(0, line.find('\t'))];
    EXPECT_EQ(lines, (std::map<std::string, int>{{"# reader", 1}, {kFirst, 9 + 3}, {kSecond, 9 + 3}})) << outcome.out;
    EXPECT_NE(outcome.out.find(kSecond + "\tTWO\t3\t0\t0\t"), std::string::npos) << outcome.out;
}

TEST_F(CardbenchRunReaders, RecordOnOneReaderReplayOnAnother) {
    const fs::path golden = m_dir / "golden.phb";
    const std::string commands = File(kThree).string();
    Outcome outcome = Run({"--reader", "Run Sim", "--record", golden.string(), commands});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(bench::ReadFile(golden.string()), "[Command]\r\nTWO = 41 42 90 00\r\nTHREE = 61 10\r\nONE = 90 00\r\n");

    outcome = Run({"--reader", "Run Sim", "--expect", golden.string(), "--loop", "2", commands});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");

    outcome = Run({"--reader", "Second", "--expect", golden.string(), "--loop", "2", commands});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.sentTo.at("trace-run2.log"), Laps(2));
    EXPECT_EQ(outcome.err, "cardbench-run: TWO: expected 41 42 90 00, received 41 43 90 00\n"
                           "cardbench-run: TWO: expected 41 42 90 00, received 41 43 90 00\n");
}

// The card of the second reader leaves mid-run: its run ends there, the
// first reader's goes to the end, and the status is the worse of the two.
TEST_F(CardbenchRunReaders, RemovedCardEndsOnlyItsReadersRun) {
    bench::TraceWatch second("trace-run2.log");
    auto run = std::async(std::launch::async, [&] {
        return Run({"--reader", "Run Sim", "--reader", "1", "--loop", "60", "--pace", "5", File(kThree).string()});
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (second.Calls().size() < 10 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(bench::Ctl({"remove-card", "run2"}), 0);
    const Outcome outcome = run.get();
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    EXPECT_EQ(outcome.sentTo.at("trace-run.log"), Laps(60));
    EXPECT_LT(outcome.sentTo.at("trace-run2.log").size(), 170u);
    EXPECT_GE(outcome.sentTo.at("trace-run2.log").size(), 3u);
    EXPECT_EQ(outcome.err, "");  // a failed exchange is a line of the output, not an error
    const std::vector<std::string> lines = Lines(outcome.out);
    ASSERT_FALSE(lines.empty());
    std::string lastOfSecond;
    for (const std::string& line : lines)
        if (line.rfind(kSecond + "\t", 0) == 0) lastOfSecond = line;
    EXPECT_NE(lastOfSecond.find("\txx xx xx xx xx\t"), std::string::npos) << lastOfSecond;
}

TEST_F(CardbenchRunReaders, AllReadersWithoutAnyCardIsRefused) {
    ASSERT_EQ(bench::Ctl({"remove-card", "run", "Run Sim Reader"}), 0);
    ASSERT_EQ(bench::Ctl({"remove-card", "run2", "Second Sim Reader"}), 0);
    const Outcome outcome = Run({"--all-readers", File(kThree).string()});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "cardbench-run: no reader has a card (readers: " + kFirst + ", " + kSecond + ")\n");
    EXPECT_TRUE(outcome.sentTo.at("trace-run.log").empty());
    EXPECT_TRUE(outcome.sentTo.at("trace-run2.log").empty());
}

int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Both readers checked against the first one's answers: the JUnit file names
// every case and the second reader's wrong answer; the HTML page stands alone
// and draws both plots (its screenshot is left in the build tree to look at).
TEST_F(CardbenchRunReaders, ReportsOfTwoReaders) {
    const fs::path junit = m_dir / "run.xml";
    const fs::path html = m_dir / "run.html";
    const Outcome outcome = Run({"--all-readers", "--loop", "20", "--expect",
                                 File("[Command]\r\nTWO = 41 42 90 00\r\nTHREE = 61 ..\r\n", "golden.phb").string(),
                                 "--junit", junit.string(), "--report", html.string(), File(kThree).string()});
    EXPECT_EQ(outcome.status, 1) << outcome.err;

    ASSERT_EQ(Shell("xmllint --noout " + Quote(junit.string())), 0);
    const std::string xml = bench::ReadFile(junit.string());
    std::vector<std::string> cases;
    const std::regex testcase(R"re(<testcase classname="([^"]*)" name="([^"]*)")re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), testcase); it != std::sregex_iterator(); ++it)
        cases.push_back((*it)[1].str() + "/" + (*it)[2].str());
    EXPECT_EQ(cases, (std::vector<std::string>{kFirst + "/ONE", kFirst + "/THREE", kFirst + "/TWO", kSecond + "/ONE",
                                               kSecond + "/THREE", kSecond + "/TWO"}));
    EXPECT_EQ(xml.find("<failure"), xml.rfind("<failure"));  // one failure, of the second reader's TWO
    EXPECT_NE(xml.find("name=\"TWO\" time=\""), std::string::npos);
    EXPECT_NE(xml.find("<failure type=\"mismatch\" message=\"0 failed and 20 wrong of 20 exchanges\">expected 41 42 90 "
                       "00, received 41 43 90 00\n"),
              std::string::npos)
        << xml;

    const std::string page = bench::ReadFile(html.string());
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("http:"), std::string::npos);
    EXPECT_EQ(page.find("https:"), std::string::npos);
    std::size_t histograms = 0;
    for (std::size_t at = 0; (at = page.find("class=\"histogram\"", at)) != std::string::npos; ++at) ++histograms;
    EXPECT_EQ(histograms, 6u);
    EXPECT_NE(page.find("class=\"timeline\""), std::string::npos);

    if (Shell("command -v chromium >/dev/null") != 0) GTEST_SKIP() << "chromium is not installed";
    const fs::path shot = fs::path(BENCHKIT_BINARY_DIR) / "tests/cardbench_run/report.png";
    fs::remove(shot);
    ASSERT_EQ(Shell("chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --user-data-dir=" +
                    Quote((m_dir / "chromium").string()) + " --window-size=1000,1300 --screenshot=" +
                    Quote(shot.string()) + " " + Quote("file://" + html.string()) + " >/dev/null 2>&1"),
              0);
    EXPECT_GT(fs::file_size(shot), 20000u);
}

}  // namespace
