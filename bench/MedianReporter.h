// SPDX-License-Identifier: BSD-3-Clause
#pragma once
// A console reporter that also keeps each benchmark's median real time, so a
// benchmark program can print the ratio of two medians after its table.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median") {
                m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
                // A benchmark with arguments is also kept as "name/args".
                if (!run.run_name.args.empty())
                    m_medians[run.run_name.function_name + "/" + run.run_name.args] = run.GetAdjustedRealTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> m_medians;
};
