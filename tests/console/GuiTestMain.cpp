// GoogleTest main for the console's window tests: they need a QApplication.
#include <QApplication>

#include <gtest/gtest.h>

#include "console/ConsoleApp.h"
#include "widgets/KitImages.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    InitKitResources();
    CConsoleApp::ApplyColours();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
