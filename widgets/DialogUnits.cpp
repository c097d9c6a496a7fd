// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/DialogUnits.h"

#include <QFontMetrics>
#include <QString>

namespace {

// a * b / c rounded half away from zero, as the dialog manager rounds.
int MulDivRound(int a, int b, int c) {
    if (c == 0) return 0;
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    long long q = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(q);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits base;
    base.x = (letters / 26 + 1) / 2;
    base.y = metrics.height();
    return base;
}

int DialogXToPixels(int du, int baseX) { return MulDivRound(du, baseX, 4); }
int DialogYToPixels(int du, int baseY) { return MulDivRound(du, baseY, 8); }

QRect DialogRectToPixels(const QRect& dialogUnits, DialogBaseUnits base) {
    return QRect(DialogXToPixels(dialogUnits.x(), base.x), DialogYToPixels(dialogUnits.y(), base.y),
                 DialogXToPixels(dialogUnits.width(), base.x), DialogYToPixels(dialogUnits.height(), base.y));
}

QRect DialogRectToPixels(const DialogRect& dialogUnits, DialogBaseUnits base) {
    return DialogRectToPixels(QRect(dialogUnits.x, dialogUnits.y, dialogUnits.width, dialogUnits.height), base);
}

QColor RgbColour(std::uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QRect DialogRectToPixels(const QRect& dialogUnits, const QFont& font) {
    return DialogRectToPixels(dialogUnits, BaseUnitsOf(font));
}
