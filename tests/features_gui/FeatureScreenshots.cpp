// SPDX-License-Identifier: BSD-3-Clause
// features_screenshots <dir>: connects to the first reader, opens each
// keypad and display window from the control list and saves a picture of it
// and of the whole screen, for people to look at. Run it on a display beside
// a pcscd with the demo PIN pad, e.g. under Xvfb through
// with-private-pcscd.sh --no-net.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <cstdio>

#include "console/ConsoleApp.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "features/WriteDisplayDlg.h"
#include "widgets/KitImages.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: features_screenshots <output-dir>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    InitKitResources();
    CConsoleApp::ApplyColours();
    CConsoleDlg dlg;
    dlg.show();
    auto click = [&](int id) {
        if (auto* button = qobject_cast<QAbstractButton*>(dlg.Control(id))) button->click();
    };
    click(console::IDC_ESTABLISH);
    click(console::IDC_CONNECT);
    auto* list = qobject_cast<QComboBox*>(dlg.Control(console::IDC_CONTROL_CODES));
    list->showPopup();
    QTest::qWait(400);
    QGuiApplication::primaryScreen()->grabWindow(0).save(out.filePath(QStringLiteral("control-list.png")));
    list->hidePopup();
    const struct {
        const char* feature;
        const QPointer<QWidget>* window;
        const char* file;
    } shots[] = {
        {"FEATURE_VERIFY_PIN_START", &dlg.KeyHistoryWindow(), "key-history"},
        {"FEATURE_GET_KEY_PRESSED", &dlg.FeatureWindowOf(features::FeatureWindow::GetKeyPressed), "getkey"},
        {"FEATURE_GET_KEY", &dlg.FeatureWindowOf(features::FeatureWindow::GetKey), "get-key"},
        {"FEATURE_WRITE_DISPLAY", &dlg.FeatureWindowOf(features::FeatureWindow::WriteDisplay), "write-display"},
        {"FEATURE_IFD_DISPLAY_PROPERTIES", &dlg.FeatureWindowOf(features::FeatureWindow::DisplayProperties), "display-properties"},
        {"FEATURE_IFD_PIN_PROP", &dlg.FeatureWindowOf(features::FeatureWindow::PinProperties), "pin-properties"},
        {"FEATURE_SET_SPE_MESSAGE", &dlg.FeatureWindowOf(features::FeatureWindow::SpeMessage), "spe-message"},
    };
    for (const auto& shot : shots) {
        const int index = list->findText(QString::fromLatin1(shot.feature));
        if (index < 0) continue;
        list->setCurrentIndex(index);
        emit list->activated(index);
        if (auto* display = qobject_cast<CWriteDisplayDlg*>(shot.window->data())) {
            QTest::keyClicks(display->MessageField(), "Hello from the bench kit");
        }
        QTest::qWait(400);
        if (QWidget* window = shot.window->data()) {
            window->grab().save(out.filePath(QString::fromLatin1(shot.file) + ".png"));
        }
        QGuiApplication::primaryScreen()->grabWindow(0).save(
            out.filePath(QString::fromLatin1(shot.file) + "-screen.png"));
    }
    dlg.reject();
    return 0;
}
