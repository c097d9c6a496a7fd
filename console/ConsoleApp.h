// SPDX-License-Identifier: BSD-3-Clause
// CConsoleApp: starts cardbench. It gives every dialog the console's colours
// and runs the main window; the program ends when it closes.
#pragma once

class CConsoleApp {
public:
    // Needs a QApplication. Returns the process exit code.
    int Run();

    // The console's light grey background and black text, for every dialog.
    static void ApplyColours();
};
