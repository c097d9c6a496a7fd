// SPDX-License-Identifier: BSD-3-Clause
// Renders the programs' icons for the desktop's icon theme:
//   DrawIcons <output folder>
// writes <output folder>/hicolor/<N>x<N>/apps/<program>.png at the theme's
// usual sizes and <output folder>/hicolor/scalable/apps/<program>.svg, all
// from the same painting code as the programs' window icons (the loader's
// resources/firmloader/firmloader.png is this tool's 32x32 PNG).
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "resources/ProgramIcons.h"

namespace {

struct Program {
    const char* name;
    const char* title;
    void (*paint)(QPainter&, double);
};

const Program kPrograms[] = {
    {"cardbench", "cardbench", programicons::PaintCardbenchIcon},
    {"firmloader", "firmloader", programicons::PaintFirmloaderIcon},
};

const int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

bool WritePng(const Program& program, int size, const QString& top) {
    const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(top).arg(size);
    if (!QDir().mkpath(dir)) return false;
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        program.paint(p, size);
    }
    return image.save(dir + QLatin1Char('/') + QLatin1String(program.name) + QLatin1String(".png"));
}

bool WriteSvg(const Program& program, const QString& top) {
    const QString dir = top + QStringLiteral("/hicolor/scalable/apps");
    if (!QDir().mkpath(dir)) return false;
    const int size = 256;
    QBuffer buffer;
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(size, size));
    svg.setViewBox(QRect(0, 0, size, size));
    svg.setTitle(QLatin1String(program.title));
    {
        QPainter p(&svg);
        program.paint(p, size);
    }
    QFile file(dir + QLatin1Char('/') + QLatin1String(program.name) + QLatin1String(".svg"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(buffer.data()) == buffer.data().size();
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString top = QString::fromLocal8Bit(argv[1]);
    int failures = 0;
    for (const Program& program : kPrograms) {
        for (int size : kSizes) {
            if (!WritePng(program, size, top)) {
                std::fprintf(stderr, "cannot write the %dx%d icon of %s\n", size, size, program.name);
                ++failures;
            }
        }
        if (!WriteSvg(program, top)) {
            std::fprintf(stderr, "cannot write the scalable icon of %s\n", program.name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
