// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run: plays a command file against readers from a terminal or a
// CI job (see RunUsage).
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "scripts/CommandRun.h"

int main(int argc, char** argv) {
    // Lines go out in blocks to a file or pipe; a terminal sees each at once.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    RunOptions options;
    std::string text;
    switch (ParseRunArguments(args, options, text)) {
        case ParseOutcome::Help:
            std::cout << text;
            return kRunOk;
        case ParseOutcome::Error:
            std::cerr << "cardbench-run: " << text << "\n" << RunUsage();
            return kRunUsage;
        case ParseOutcome::Run: break;
    }
    options.progress = ::isatty(STDERR_FILENO) == 1;
    options.flushEachLine = ::isatty(STDOUT_FILENO) == 1;
    const int status = RunCommandFile(options, std::cout, std::cerr);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "cardbench-run: cannot write the standard output\n";
        return kRunUsage;
    }
    return status;
}
