// SPDX-License-Identifier: BSD-3-Clause
#include "ProgramIcons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace programicons {

namespace {

void Chip(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kGoldLight);
    g.setColorAt(1, kGold);
    p.setPen(QPen(kGold.darker(140), qMax(0.6, r.width() / 22)));
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() / 6, r.width() / 6);
    // contact pads
    p.setPen(QPen(kGold.darker(150), qMax(0.5, r.width() / 28)));
    p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    p.drawLine(QPointF(r.center().x(), r.top()), QPointF(r.center().x(), r.bottom()));
    p.drawLine(QPointF(r.left(), r.top() + r.height() / 4), QPointF(r.left() + r.width() / 3, r.top() + r.height() / 4));
    p.drawLine(QPointF(r.right() - r.width() / 3, r.bottom() - r.height() / 4), QPointF(r.right(), r.bottom() - r.height() / 4));
}

}  // namespace

void PaintCard(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, kCardBlueLight);
    g.setColorAt(1, kCardBlue);
    p.setPen(QPen(kCardBlue.darker(150), qMax(0.8, r.width() / 60)));
    p.setBrush(g);
    p.drawRoundedRect(r, r.width() / 14, r.width() / 14);
    const double cw = r.width() * 0.22;
    Chip(p, QRectF(r.left() + r.width() * 0.12, r.top() + r.height() * 0.32, cw, cw * 0.8));
}

void PaintCardbenchIcon(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    p.rotate(-12);
    const double w = size * 0.86, h = w * 0.63;
    PaintCard(p, QRectF(-w / 2, -h / 2, w, h));
    p.restore();
}

void PaintFirmloaderIcon(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);  // drawn on a 32-unit grid

    // pins, three a side
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    for (int i = 0; i < 3; ++i) {
        const double y = 10 + i * 5;
        p.drawRoundedRect(QRectF(1.5, y, 6, 2), 0.6, 0.6);
        p.drawRoundedRect(QRectF(24.5, y, 6, 2), 0.6, 0.6);
    }

    // the chip's body
    QLinearGradient body(QPointF(6, 5), QPointF(26, 28));
    body.setColorAt(0, kCardBlue.lighter(115));
    body.setColorAt(1, kCardBlue.darker(115));
    p.setPen(QPen(kCardBlue.darker(170), 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, 6, 20, 21), 2.5, 2.5);

    // the download arrow, into the chip
    QPainterPath arrow;
    arrow.moveTo(13.5, 3);
    arrow.lineTo(18.5, 3);
    arrow.lineTo(18.5, 13);
    arrow.lineTo(22.5, 13);
    arrow.lineTo(16, 21);
    arrow.lineTo(9.5, 13);
    arrow.lineTo(13.5, 13);
    arrow.closeSubpath();
    p.setPen(QPen(kCardBlue.darker(170), 0.8));
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(arrow);

    // the memory the image lands in
    p.setPen(Qt::NoPen);
    p.setBrush(kGold);
    p.drawRoundedRect(QRectF(11, 23, 10, 1.8), 0.5, 0.5);
    p.restore();
}

}  // namespace programicons
