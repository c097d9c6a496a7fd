// cardbench-run: plays a command file against a reader from a terminal or a
// CI job (see RunUsage).
#include <iostream>
#include <string>
#include <vector>

#include "scripts/CommandRun.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << RunUsage();
        return kRunOk;
    }
    RunOptions options;
    std::string error;
    if (!ParseRunArguments(args, options, error)) {
        std::cerr << "cardbench-run: " << error << "\n" << RunUsage();
        return kRunUsage;
    }
    return RunCommandFile(options, std::cout, std::cerr);
}
