// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run as a CI job runs it: the program against the private pcscd
// and its simulated readers. What reached each card is read from the
// reader's trace, what the program said from its output and status.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../readerlink_pcscd/PcscdBench.h"

namespace runtest {

namespace fs = std::filesystem;

inline const std::string kProgram = std::string(BENCHKIT_BINARY_DIR) + "/scripts/cardbench-run";
inline const std::string kA4 = "Transmit 00 A4 04 00";
inline const std::string kB2 = "Transmit 00 B2 00 00";
inline const std::string kC3 = "Transmit 00 C3 00 00";
inline const std::string kEE = "Transmit 00 EE 00 00";

// ONE, THREE, TWO in the order the list sorts them.
inline const std::string kThree = "[Command]\r\nTWO = 00 B2 00 00\r\nTHREE = 00 C3 00 00\r\nONE = 00 A4 04 00\r\n";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::map<std::string, std::vector<std::string>> sentTo;  // per trace file
    std::vector<std::string> sent;                           // to the first trace
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

class CardbenchRun : public testing::Test {
protected:
    void SetUp() override {
        for (const auto& [flag, reader] : Cards()) ASSERT_EQ(bench::Ctl({"insert-card", flag, reader}), 0);
        char pattern[] = "/tmp/cardbench-run-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Card flag and reader of each simulated reader of the run's pcscd.
    virtual std::vector<std::pair<std::string, std::string>> Cards() const { return {{"run", "Run Sim Reader"}}; }
    virtual std::vector<std::string> Traces() const { return {"trace-run.log"}; }

    fs::path File(const std::string& bytes, const char* name = "test.phb") {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    // shellPrefix: commands run before the program in the same shell (limits).
    Outcome Run(const std::vector<std::string>& args, const std::string& shellPrefix = "") {
        std::vector<bench::TraceWatch> traces;
        for (const std::string& trace : Traces()) traces.emplace_back(trace);
        std::string command = shellPrefix + Quote(kProgram);
        for (const std::string& a : args) command += " " + Quote(a);
        command += " >" + Quote((m_dir / "out").string()) + " 2>" + Quote((m_dir / "err").string());
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.out = bench::ReadFile((m_dir / "out").string());
        outcome.err = bench::ReadFile((m_dir / "err").string());
        for (std::size_t i = 0; i < traces.size(); ++i) {
            outcome.sentTo[Traces()[i]];
            for (const std::string& call : traces[i].Calls())
                if (call.rfind("Transmit ", 0) == 0) outcome.sentTo[Traces()[i]].push_back(call);
        }
        outcome.sent = outcome.sentTo[Traces().front()];
        return outcome;
    }

    fs::path m_dir;
};

}  // namespace runtest
