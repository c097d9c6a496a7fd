// SPDX-License-Identifier: BSD-3-Clause
// A faulty scenario makes the simulated reader refuse its reader with one log
// line naming the file and line; pcscd keeps running and serves the others.
#include <gtest/gtest.h>

#include <PCSC/winscard.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PcscdBench.h"
#include "readerlink/ReaderLink.h"

namespace {

std::vector<std::string> SimReaderLogLines()
{
    std::vector<std::string> out;
    std::istringstream in(bench::ReadFile(bench::Env("PCSCD_LOG")));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("simreader: ", 0) == 0)
            out.push_back(line);
    return out;
}

int Count(const std::vector<std::string>& lines, const std::string& needle)
{
    int n = 0;
    for (const std::string& l : lines)
        n += l.find(needle) != std::string::npos;
    return n;
}

bool PcscdAlive()
{
    std::string pid = bench::ReadFile(bench::Env("PCSCD_BENCH_DIR") + "/pid");
    return !pid.empty() && ::kill(std::stoi(pid), 0) == 0;
}

std::vector<std::string> Readers()
{
    CReaderLink link;
    std::vector<std::string> names;
    if (link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr) != SCARD_S_SUCCESS)
        return names;
    link.SetMaxReaders(10);
    if (link.ListReaders(nullptr) == SCARD_S_SUCCESS)
        for (int i = 0; i < link.GetReaderCount(); ++i)
            names.emplace_back(link.ReaderName(i));
    link.ReleaseContext();
    return names;
}

TEST(SimReaderRefusal, ConfiguredFaultyScenariosAreRefusedWithOneLineEach)
{
    std::vector<std::string> lines = SimReaderLogLines();
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(Count(lines, "scenarios/bad-keyword.scn:4: unknown keyword 'frobnicate'"), 1);
    EXPECT_EQ(Count(lines, "scenarios/bad-hex.scn:3: '9G' is not hexadecimal"), 1);
    EXPECT_EQ(Readers(), std::vector<std::string>{"Bench Sim Reader 00 00"});
    EXPECT_TRUE(PcscdAlive());
}

struct Hostile {
    const char* name;
    std::string text;
    const char* where;  // "<line>: <start of the message>"
};

std::string Repeat(const std::string& s, std::size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

TEST(SimReaderRefusal, HostileScenariosNeverTakeThePcscdDown)
{
    const std::string atr = "cold-atr => 3B 02 14 50\n";
    const std::vector<Hostile> cases = {
        {"empty", "", "0: no 'atr' line"},
        {"long-line", atr + "apdu 00 => " + std::string(300 * 1024, 'A') + "\n", "2: line longer than"},
        {"long-atr", "cold-atr => " + Repeat("3B ", 34) + "\n", "1: answer of 34 bytes, at most 33"},
        {"huge-repeat", atr + "apdu 00 => FF*99999999\n", "2: byte string longer than"},
        {"open-quote", atr + "attr 0x00010100 => \"TAV\n", "2: unterminated quoted text"},
        {"daemon-tag", atr + "attr 0x0FB3 => 01 02 03 04 05 06 07 08\n", "2: attribute identifiers 0x0F00"},
        {"binary", atr + std::string("\x00\xFF\xFE\x01 => \x80", 9) + "\n", "2: unknown keyword"},
        {"two-slots", "slots 2\n" + atr, "1: the simulated reader has exactly 1 slot"},
        {"error-zero", atr + "apdu 00 => error 0\n", "2: error 0 is success"},
        {"many-features", atr + Repeat("feature 06 0x42330006\n", 256), "257: more than 255 features"},
        {"bad-escape", atr + "apdu 00 => \"\\x4\"\n", "2: \\x needs two hexadecimal digits"},
        {"empty-step", atr + "apdu 00 => 90 00 | | 6A 82\n", "2: empty answer"},
        {"twice", atr + atr, "2: 'cold-atr' given twice"},
    };
    const std::string dir = bench::Env("SIMREADER_STATE_DIR");
    std::string conf;
    int channel = 100;
    for (const Hostile& h : cases) {
        std::string path = dir + "/hostile-" + h.name + ".scn";
        std::ofstream(path, std::ios::binary) << h.text;
        conf += "FRIENDLYNAME \"Hostile " + std::string(h.name) + "\"\nDEVICENAME " + path +
                "\nLIBPATH " + bench::Env("PCSCD_CONF_SOURCE") + "/../libsimreader.so\nCHANNELID " +
                std::to_string(channel++) + "\n\n";
    }
    std::ofstream(bench::Env("PCSCD_CONF_DIR") + "/hostile.conf") << conf;
    // All of them are refused: the good reader alone comes up again.
    ASSERT_EQ(bench::Ctl({"restart", "1"}), 0);
    EXPECT_TRUE(PcscdAlive());
    EXPECT_EQ(Readers(), std::vector<std::string>{"Bench Sim Reader 00 00"});
    std::vector<std::string> lines = SimReaderLogLines();
    for (const Hostile& h : cases) {
        std::string where = "hostile-" + std::string(h.name) + ".scn:" + h.where;
        EXPECT_EQ(Count(lines, where), 1) << where;
        // One line per refusal, never more.
        EXPECT_EQ(Count(lines, "hostile-" + std::string(h.name) + ".scn:"), 1) << h.name;
    }
}

}  // namespace
