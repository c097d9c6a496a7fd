// SPDX-License-Identifier: BSD-3-Clause
// The two programs' icons and the card they share, painted with QPainter so
// that one drawing gives the window icons, the hicolor PNGs and the SVG.
#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace programicons {

inline const QColor kCardBlue(38, 92, 170);
inline const QColor kCardBlueLight(90, 150, 225);
inline const QColor kGold(214, 170, 60);
inline const QColor kGoldLight(246, 222, 140);

// A card with its chip, filling r.
void PaintCard(QPainter& p, const QRectF& r);

// The console's icon on a size x size canvas: the card, tilted.
void PaintCardbenchIcon(QPainter& p, double size);

// The loader's icon on a size x size canvas: a chip with a download arrow.
void PaintFirmloaderIcon(QPainter& p, double size);

}  // namespace programicons
