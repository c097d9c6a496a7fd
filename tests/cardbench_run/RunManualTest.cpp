// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run(1) and --help name the same options, and --help answers
// wherever it stands among other options.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace {

const std::string kProgram = std::string(BENCHKIT_BINARY_DIR) + "/scripts/cardbench-run";

std::string Output(const std::string& command, int& status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int raw = ::pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

std::set<std::string> Options(const std::string& text, const std::regex& option) {
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert(std::regex_replace((*it)[1].str(), std::regex(R"(\\-)"), "-"));
    return found;
}

TEST(CardbenchRunManual, NamesTheOptionsOfHelp) {
    int status = -1;
    const std::string help = Output("'" + kProgram + "' --help", status);
    ASSERT_EQ(status, 0);
    std::ifstream page(std::string(BENCHKIT_SOURCE_DIR) + "/packaging/man/cardbench-run.1");
    const std::string manual((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    // The manual's OPTIONS section, each option where a .TP item names it.
    const std::size_t from = manual.find(".SH OPTIONS");
    const std::string options = manual.substr(from, manual.find(".SH EXIT STATUS") - from);
    const std::set<std::string> inHelp = Options(help, std::regex(R"((?:^|\s|,)(--[a-z][a-z-]*))"));
    const std::set<std::string> inManual = Options(options, std::regex(R"(\.TP\n\.B[I]? (\\-\\-[a-z\\-]+|\\-h))"));
    EXPECT_EQ(inManual, inHelp);
    EXPECT_EQ(inHelp.size(), 20u);  // the test reads them all
}

TEST(CardbenchRunManual, HelpWinsOverOtherOptions) {
    int status = -1;
    const std::string help = Output("'" + kProgram + "' --loop 2 --reader X --help file.phb", status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("--stop-on-mismatch"), std::string::npos);
}

}  // namespace
