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
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(palette);
}

int CConsoleApp::Run() {
    InitKitResources();
    ApplyColours();
    CConsoleDlg dialog;
    dialog.exec();  // the modal result is not used
    return 0;
}
