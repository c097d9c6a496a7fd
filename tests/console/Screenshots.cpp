// SPDX-License-Identifier: BSD-3-Clause
// console_screenshots <dir>: shows the main window and saves a picture of it
// in each of its three states (no context, context established, card
// connected), for people to look at. Run it on a display, beside a pcscd
// with a reader, e.g. under Xvfb through with-private-pcscd.sh --no-net.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPixmap>
#include <QTest>

#include <cstdio>

#include "console/ConsoleApp.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "widgets/KitImages.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: console_screenshots <output-dir>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    InitKitResources();
    CConsoleApp::ApplyColours();
    CConsoleDlg dlg;
    dlg.show();
    auto save = [&](const char* name) {
        QTest::qWait(300);
        const QString path = out.filePath(QString::fromLatin1(name));
        if (!dlg.grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    };
    auto click = [&](int id) {
        if (auto* button = qobject_cast<QAbstractButton*>(dlg.Control(id))) button->click();
    };
    save("state1-no-context.png");
    // The window's own system menu, as a right click opens it.
    QMenu* menu = dlg.SystemMenu();
    menu->popup(dlg.mapToGlobal(QPoint(200, 150)));
    QTest::qWait(300);
    menu->grab().save(out.filePath(QStringLiteral("system-menu.png")));
    menu->hide();
    click(console::IDC_ESTABLISH);
    save("state2-context.png");
    click(console::IDC_CONNECT);
    QTest::keyClicks(dlg.Control(console::IDC_COMMAND), "00A4040007A0000000041010");
    click(console::IDC_TRANSMIT);
    save("state3-connected.png");
    dlg.reject();
    return 0;
}
