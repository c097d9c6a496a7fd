// SPDX-License-Identifier: BSD-3-Clause
// GoogleTest main for window tests: widgets need a QApplication. The
// console's tests build it with BENCHKIT_GUI_MAIN_CONSOLE (the kit's images
// and colours, as the program starts); BENCHKIT_GUI_MAIN_STYLE names a style
// for tests that check what a style draws.
#include <QApplication>

#include <gtest/gtest.h>

#ifdef BENCHKIT_GUI_MAIN_CONSOLE
#include "console/ConsoleApp.h"
#include "widgets/KitImages.h"
#endif

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
#ifdef BENCHKIT_GUI_MAIN_CONSOLE
    InitKitResources();
    CConsoleApp::ApplyColours();
#endif
#ifdef BENCHKIT_GUI_MAIN_STYLE
    QApplication::setStyle(QStringLiteral(BENCHKIT_GUI_MAIN_STYLE));
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
