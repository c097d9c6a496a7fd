// SPDX-License-Identifier: BSD-3-Clause
// Dialog units to pixels. The windows are laid out in the dialog units of
// their templates; one x unit is a quarter of the dialog font's average
// character width, one y unit an eighth of its character height. Used by
// every program of the kit (its own small library, dialogunits), with the
// templates' colours.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

#include <cstdint>

#include "widgets/DialogLayout.h"

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // character height in pixels
};

// Base units of a font: the width of the 52 letters A-Z a-z averaged and
// rounded, and the font's line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// du * base / 4 (x) and du * base / 8 (y), rounded to the nearest pixel.
int DialogXToPixels(int du, int baseX);
int DialogYToPixels(int du, int baseY);

QRect DialogRectToPixels(const QRect& dialogUnits, DialogBaseUnits base);
QRect DialogRectToPixels(const QRect& dialogUnits, const QFont& font);
QRect DialogRectToPixels(const DialogRect& dialogUnits, DialogBaseUnits base);

// A template colour, 0xRRGGBB.
QColor RgbColour(std::uint32_t rgb);
