// SPDX-License-Identifier: BSD-3-Clause
// Shows the status tree for a few real-looking ATRs at the main window's
// geometry (control 1039, 271 x 65 dialog units) and, beside each, fully
// expanded, so people can look at it: statustree_shot [out.png]. With
// --window, the main window itself after "Parse ATR without Smart Card."
// with a typed ATR: statustree_shot --window [out.png]. Run it under Xvfb for
// a screenshot of the real window.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QTest>

#include "carddata/HexCodec.h"
#include "console/ParseAtrDlg.h"
#include "console/ConsoleApp.h"
#include "console/ConsoleDlg.h"
#include "console/ConsoleTexts.h"
#include "console/StatusTree.h"
#include "widgets/DialogUnits.h"
#include "widgets/KitImages.h"
#include "widgets/MaskedEdit.h"

namespace {

int ShowMainWindow(QApplication& app, const QString& out) {
    InitKitResources();
    CConsoleApp::ApplyColours();
    CConsoleDlg dlg;
    dlg.show();
    QTimer::singleShot(200, &dlg, [] {
        if (auto* parse = qobject_cast<CParseAtrDlg*>(QApplication::activeModalWidget())) {
            QTest::keyClicks(parse->AtrField(), "3BFA1300008131FE454A434F5034315632323196");
            parse->accept();
        }
    });
    QTimer::singleShot(100, &dlg, [&dlg] { dlg.OnSysCommand(console::IDM_PARSE_ATR); });
    if (!out.isEmpty()) {
        QTimer::singleShot(800, &dlg, [&] {
            dlg.grab().save(out);
            app.quit();
        });
    }
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == "--window")
        return ShowMainWindow(app, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    const DialogBaseUnits base = BaseUnitsOf(font);
    const QRect tree = DialogRectToPixels(QRect(94, 74, 271, 65), base);

    const std::vector<std::vector<std::uint8_t>> atrs = {
        {0x3B, 0xE2, 0x00, 0x00, 0x81, 0x31, 0x20, 0x45, 0x01, 0x02},
        {0x3B, 0x9F, 0x96, 0x80, 0x1F, 0xC7, 0x80, 0x31, 0xE0, 0x73, 0xFE, 0x21, 0x1B,
         0x63, 0x3A, 0x20, 0x4E, 0x83, 0x00, 0x90, 0x00, 0x31},
        {0x3B, 0xFA, 0x13, 0x00, 0x00, 0x81, 0x31, 0xFE, 0x45, 0x4A, 0x43, 0x4F, 0x50, 0x34, 0x31, 0x56, 0x32,
         0x32, 0x31, 0x96},
    };
    QWidget window;
    window.setFont(font);
    auto* grid = new QGridLayout(&window);
    int row = 0;
    for (const auto& bytes : atrs) {
        std::array<std::uint8_t, 200> atr{};
        std::copy(bytes.begin(), bytes.end(), atr.begin());
        const std::string text = CHexCodec().BytesToHex(static_cast<unsigned>(bytes.size()), bytes.data());
        auto* asFilled = new CStatusTree(&window);
        asFilled->setFixedSize(tree.size());
        asFilled->FillStatusTree(text, atr.data(), bytes.size());
        auto* expanded = new CStatusTree(&window);
        expanded->setFixedSize(tree.width() + 40, 330);
        expanded->FillStatusTree(text, atr.data(), bytes.size());
        expanded->expandAll();
        grid->addWidget(asFilled, row, 0, Qt::AlignTop);
        grid->addWidget(expanded, row, 1, Qt::AlignTop);
        ++row;
    }
    window.show();
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (!out.isEmpty()) {
        QTimer::singleShot(500, &window, [&] {
            window.grab().save(out);
            app.quit();
        });
    }
    return app.exec();
}
