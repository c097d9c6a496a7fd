// SPDX-License-Identifier: BSD-3-Clause
// cardbench: the interactive PC/SC test console.
#include <QApplication>

#include "console/ConsoleApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    CConsoleApp console;
    return console.Run();
}
