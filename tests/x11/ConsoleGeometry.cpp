// SPDX-License-Identifier: BSD-3-Clause
// console_geometry: prints where the console's controls lie in its window,
// one "id x y" line per control (the middle of the control, in pixels from
// the top left of the window's client area), for the x11 smoke test to
// click at. It builds the same window as cardbench on the same display, so
// fonts and sizes are those the user sees; the window is never shown.
// The command field also gets "1010-line2 x y": the far left of its second line.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>

#include <cstdio>

#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/KitImages.h"
#include "console/ConsoleApp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    InitKitResources();
    CConsoleApp::ApplyColours();
    CConsoleDlg dlg;
    for (const console::ControlSpec& control : console::ConsoleControls()) {
        const QWidget* w = dlg.Control(control.id);
        if (w == nullptr) continue;
        const QPoint middle = w->geometry().center();
        std::printf("%d %d %d\n", control.id, middle.x(), middle.y());
    }
    if (auto* field = qobject_cast<QAbstractScrollArea*>(dlg.Control(console::IDC_COMMAND))) {
        const QWidget* viewport = field->viewport();
        const QPoint line2 = viewport->mapTo(&dlg, QPoint(2, field->fontMetrics().height() * 3 / 2 + 2));
        std::printf("1010-line2 %d %d\n", line2.x(), line2.y());
    }
    std::fflush(stdout);
    return 0;
}
