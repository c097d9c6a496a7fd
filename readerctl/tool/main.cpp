// SPDX-License-Identifier: BSD-3-Clause
// readerctl: the reader's boot and maintenance commands from a terminal or a
// script (see ToolUsage).
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "bootdev/HidapiBackend.h"
#include "readerctl/tool/ReaderCtlTool.h"
#include "readerctl/tool/UdevBusWatch.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << ToolUsage();
        return kToolOk;
    }
    ToolOptions options;
    std::string error;
    if (!ParseToolArguments(args, options, error)) {
        std::cerr << "readerctl: " << error << "\n" << ToolUsage();
        return kToolUsage;
    }
    const auto backend = MakeHidapiBackend();
    UdevBusWatch watch;
    ToolReport report(std::cout, std::cerr, options.json, ::isatty(STDERR_FILENO) == 1);
    ReaderCtlTool tool(options, *backend, watch, report);
    return tool.Run();
}
