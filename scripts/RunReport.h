// SPDX-License-Identifier: BSD-3-Clause
// What cardbench-run keeps of a run for --stats, --junit and --report: per
// reader and command name the exchanges, failures, mismatches and every
// round trip, and the round trips in the order they came. The reports are
// built here as text; the runner writes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CommandRecord {
    std::string name;  // UTF-8
    unsigned count = 0;
    unsigned failures = 0;
    unsigned mismatches = 0;
    std::vector<std::uint32_t> micros;  // each exchange's round trip
    std::vector<std::string> problems;  // the first few failures and mismatches, described
};

inline constexpr std::size_t kProblemsKept = 10;

struct ReaderRecord {
    std::string reader;  // UTF-8
    std::vector<CommandRecord> commands;  // in the command file's order
    std::vector<std::uint32_t> timeline;  // every round trip in run order
    double seconds = 0;
    int status = 0;
    std::string note;  // why the run ended early, if it did
};

struct RunRecord {
    std::string file;
    std::string started;  // local time, "2026-12-09T10:41:07"
    int status = 0;
    std::vector<ReaderRecord> readers;
};

struct LatencySummary {
    std::uint32_t min = 0;
    std::uint32_t median = 0;
    std::uint32_t p95 = 0;
    std::uint32_t max = 0;
};

// Nearest-rank median and 95th percentile; all zero for no samples.
LatencySummary SummarizeLatency(std::vector<std::uint32_t> micros);

// JUnit XML as CI servers read it: one suite per reader, one test case per
// command name (skipped when never sent), failures with what was expected
// and what came.
std::string JunitReport(const RunRecord& run);

// One self-contained HTML page: summary, a table per reader, each command's
// latency histogram and the latency over the run, drawn as inline SVG.
std::string HtmlReport(const RunRecord& run);
