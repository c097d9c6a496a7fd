// SPDX-License-Identifier: BSD-3-Clause
// Draws the console's pictures into the folder given on the command line.
// The PNGs are committed; run this only to change them.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

#include "../ProgramIcons.h"

namespace {

using programicons::kCardBlue;
const QColor kReaderDark(58, 62, 70);
const QColor kReaderLight(112, 118, 130);
const QColor kWarm(226, 120, 32);
const QColor kCold(40, 120, 210);
const QColor kGreen(52, 160, 80);

QImage Blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

const auto& Card = programicons::PaintCard;

// The program icon: a card with its chip.
QImage AppIcon(int size) {
    QImage image = Blank(size, size);
    QPainter p(&image);
    programicons::PaintCardbenchIcon(p, size);
    return image;
}

// Bitmap 152: a desk reader with a card going into its slot.
QImage CardAndReader() {
    const int W = 256, H = 236;
    QImage image = Blank(W, H);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // soft shadow
    QRadialGradient shadow(QPointF(W / 2.0, H - 28), W / 2.0);
    shadow.setColorAt(0, QColor(0, 0, 0, 70));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(W / 2.0, H - 28), W * 0.46, 18);

    // reader body: a wedge seen from the front
    QPainterPath body;
    body.moveTo(30, H - 30);
    body.lineTo(W - 30, H - 30);
    body.lineTo(W - 44, H - 112);
    body.lineTo(44, H - 112);
    body.closeSubpath();
    QLinearGradient bg(0, H - 112, 0, H - 30);
    bg.setColorAt(0, kReaderLight);
    bg.setColorAt(1, kReaderDark);
    p.setPen(QPen(kReaderDark.darker(130), 2));
    p.setBrush(bg);
    p.drawPath(body);

    // the card, half inserted, behind the slot lip
    p.save();
    p.translate(W / 2.0, 86);
    p.rotate(-4);
    Card(p, QRectF(-78, -72, 156, 100));
    p.restore();

    // slot lip over the card
    QLinearGradient lip(0, H - 120, 0, H - 100);
    lip.setColorAt(0, QColor(150, 156, 168));
    lip.setColorAt(1, kReaderDark);
    p.setPen(QPen(kReaderDark.darker(140), 1.5));
    p.setBrush(lip);
    p.drawRoundedRect(QRectF(40, H - 122, W - 80, 18), 6, 6);
    p.setPen(QPen(QColor(20, 20, 24), 3));
    p.drawLine(QPointF(58, H - 113), QPointF(W - 58, H - 113));

    // status lamp and key row
    QRadialGradient led(QPointF(W - 66, H - 60), 8);
    led.setColorAt(0, QColor(170, 255, 170));
    led.setColorAt(1, kGreen);
    p.setPen(QPen(kGreen.darker(160), 1));
    p.setBrush(led);
    p.drawEllipse(QPointF(W - 66, H - 60), 6, 6);
    p.setBrush(QColor(90, 96, 108));
    p.setPen(QPen(QColor(40, 42, 48), 1));
    for (int i = 0; i < 4; ++i) p.drawRoundedRect(QRectF(66 + i * 24, H - 68, 18, 14), 3, 3);
    return image;
}

// Bitmap 130: a small word mark.
QImage Logo() {
    const int W = 150, H = 40;
    QImage image = Blank(W, H);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.save();
    p.translate(20, 20);
    p.rotate(-12);
    Card(p, QRectF(-15, -10, 30, 19));
    p.restore();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(17);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kCardBlue.darker(120));
    p.drawText(QRectF(40, 0, W - 40, H), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("cardbench"));
    return image;
}

void CircleArrow(QPainter& p, const QRectF& r, const QColor& colour, double width) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 60 * 16, 280 * 16);
    // head at the arc's start (60 degrees), pointing along the turn
    const QPointF c = r.center();
    const double rad = r.width() / 2;
    const QPointF tip(c.x() + rad * 0.5, c.y() - rad * 0.866);
    QPainterPath head;
    head.moveTo(tip + QPointF(width * 1.6, -width * 0.4));
    head.lineTo(tip + QPointF(-width * 1.2, -width * 1.5));
    head.lineTo(tip + QPointF(-width * 0.4, width * 1.5));
    head.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(head);
}

QImage Reconnect() {
    QImage image = Blank(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    CircleArrow(p, QRectF(2.5, 2.5, 11, 11), kCardBlue, 2.0);
    return image;
}

// Button 1049: a card with an information mark.
QImage Attributes() {
    QImage image = Blank(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    Card(p, QRectF(1, 4, 18, 12));
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(17, 16), 6, 6);
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(17, 15.5), QPointF(17, 19));
    p.drawPoint(QPointF(17, 12.8));
    return image;
}

// Button 1019: a page of commands with a plus.
QImage AddCommand() {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(6, 3);
    page.lineTo(19, 3);
    page.lineTo(25, 9);
    page.lineTo(25, 28);
    page.lineTo(6, 28);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 96, 108), 1.2));
    p.setBrush(QColor(250, 250, 246));
    p.drawPath(page);
    p.setPen(QPen(QColor(140, 146, 158), 1.4));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(9, 11 + i * 4), QPointF(20, 11 + i * 4));
    p.setPen(QPen(kGreen.darker(140), 1));
    p.setBrush(kGreen);
    p.drawEllipse(QPointF(23, 23), 7, 7);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 19.5), QPointF(23, 26.5));
    p.drawLine(QPointF(19.5, 23), QPointF(26.5, 23));
    return image;
}

// Button 1019 of the command-file window: a page of commands with a cross.
QImage DeleteCommand() {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(6, 3);
    page.lineTo(19, 3);
    page.lineTo(25, 9);
    page.lineTo(25, 28);
    page.lineTo(6, 28);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 96, 108), 1.2));
    p.setBrush(QColor(250, 250, 246));
    p.drawPath(page);
    p.setPen(QPen(QColor(140, 146, 158), 1.4));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(9, 11 + i * 4), QPointF(20, 11 + i * 4));
    const QColor red(200, 52, 44);
    p.setPen(QPen(red.darker(140), 1));
    p.setBrush(red);
    p.drawEllipse(QPointF(23, 23), 7, 7);
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.5, 20.5), QPointF(25.5, 25.5));
    p.drawLine(QPointF(25.5, 20.5), QPointF(20.5, 25.5));
    return image;
}

// Button 1048: characters and hexadecimal, swapped.
QImage ResponseFormat() {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kCardBlue);
    p.drawText(QRectF(1, 1, 20, 12), Qt::AlignCenter, QStringLiteral("Ab"));
    p.setPen(kWarm.darker(115));
    p.drawText(QRectF(11, 19, 20, 12), Qt::AlignCenter, QStringLiteral("41"));
    p.setPen(QPen(QColor(80, 84, 92), 1.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 5), QPointF(27, 9));
    p.drawLine(QPointF(27, 9), QPointF(27, 15));
    p.drawLine(QPointF(25, 13), QPointF(27, 15));
    p.drawLine(QPointF(29, 13), QPointF(27, 15));
    p.drawLine(QPointF(9, 27), QPointF(5, 23));
    p.drawLine(QPointF(5, 23), QPointF(5, 17));
    p.drawLine(QPointF(3, 19), QPointF(5, 17));
    p.drawLine(QPointF(7, 19), QPointF(5, 17));
    return image;
}

// Strips for image lists keyed on magenta: drawn smooth, then every pixel is
// made either opaque or magenta so no pink fringe survives the keying.
QImage KeyOnMagenta(const QImage& drawn) {
    QImage out = drawn.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int a = qAlpha(line[x]);
            if (a < 110) {
                line[x] = qRgb(255, 0, 255);
            } else {
                // blend the partly covered edge onto the menu's light grey
                auto mix = [a](int c) { return (c * a + 236 * (255 - a)) / 255; };
                line[x] = qRgb(mix(qRed(line[x])), mix(qGreen(line[x])), mix(qBlue(line[x])));
            }
        }
    }
    return out;
}

QImage ResetMenu() {
    QImage image = Blank(32, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // cold reset: the power sign in blue
    p.setPen(QPen(kCold, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2.5, 3, 11, 11), 120 * 16, 300 * 16);
    p.drawLine(QPointF(8, 1.5), QPointF(8, 8));
    // warm reset: the turning arrow in orange
    p.translate(16, 0);
    CircleArrow(p, QRectF(2.5, 2.5, 11, 11), kWarm, 2.0);
    p.end();
    return KeyOnMagenta(image);
}

QImage AttributeMenu() {
    QImage image = Blank(32, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // standard attribute: an information mark
    p.setPen(Qt::NoPen);
    p.setBrush(kCardBlue);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 7), QPointF(8, 11.5));
    p.drawPoint(QPointF(8, 4.3));
    // vendor attribute: a small gear
    p.translate(24, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(kWarm);
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.rotate(i * 45);
        p.drawRect(QRectF(-1.5, -7.2, 3, 3));
        p.restore();
    }
    p.drawEllipse(QPointF(0, 0), 5.2, 5.2);
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QPointF(0, 0), 2, 2);
    p.end();
    return KeyOnMagenta(image);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    struct Item {
        const char* name;
        QImage image;
    } items[] = {
        {"app.png", AppIcon(48)},           {"card_reader.png", CardAndReader()},
        {"logo.png", Logo()},               {"reconnect.png", Reconnect()},
        {"attributes.png", Attributes()},   {"add_command.png", AddCommand()},
        {"response_format.png", ResponseFormat()}, {"delete_command.png", DeleteCommand()}, {"reset_menu.png", ResetMenu()},
        {"attribute_menu.png", AttributeMenu()},
    };
    int failures = 0;
    for (const Item& item : items) {
        if (!item.image.save(dir + QLatin1String(item.name))) {
            std::fprintf(stderr, "cannot write %s\n", item.name);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
