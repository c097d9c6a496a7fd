// SPDX-License-Identifier: BSD-3-Clause
#include "console/ConsoleApp.h"

#include <QApplication>
#include <QPalette>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/KitImages.h"

void CConsoleApp::ApplyColours() {
    const std::uint32_t rgb = console::kBackgroundRgb;
    QPalette palette = QApplication::palette();
    const QColor background((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::Button, background);
    // Black text only for the active groups: the disabled group keeps the
    // style's grey, so a disabled button looks disabled.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
        palette.setColor(group, QPalette::Text, Qt::black);
    }
    QApplication::setPalette(palette);
}

int CConsoleApp::Run() {
    InitKitResources();
    ApplyColours();
    // The window runs until it closes; the program ends with it. It is not
    // run in a modal loop of its own, since hiding it behind the tray icon
    // would end that loop and with it the program.
    QApplication::setQuitOnLastWindowClosed(false);
    CConsoleDlg dialog;
    QObject::connect(&dialog, &QDialog::finished, qApp, &QCoreApplication::quit);
    dialog.show();
    QApplication::exec();
    return 0;
}
