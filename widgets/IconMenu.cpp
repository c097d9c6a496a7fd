// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/IconMenu.h"

#include <QAction>
#include <QImage>
#include <QPixmap>
#include <QVariant>

#include "widgets/QtText.h"

namespace {
constexpr const char* kVendorProperty = "benchkitVendorItem";
}

CIconMenu::CIconMenu(QWidget* parent) : QMenu(parent) {
    connect(this, &QMenu::triggered, this, [this](QAction* action) {
        bool ok = false;
        const int command = action->data().toInt(&ok);
        if (ok) emit CommandChosen(command);
    });
}

QAction* CIconMenu::AddItem(int command, std::string_view cp1252Text, const QIcon& image, bool vendor) {
    QAction* action = addAction(image, ToQString(cp1252Text));
    action->setData(command);
    // Some platforms hide menu icons by default; these menus are made for them.
    action->setIconVisibleInMenu(true);
    action->setProperty(kVendorProperty, vendor);
    return action;
}

void CIconMenu::AddSeparator() { addSeparator(); }

QAction* CIconMenu::FindItem(int command) const {
    for (QAction* action : actions()) {
        bool ok = false;
        if (!action->isSeparator() && action->data().toInt(&ok) == command && ok) return action;
    }
    return nullptr;
}

void CIconMenu::EnableItem(int command, bool enabled) {
    if (QAction* action = FindItem(command)) action->setEnabled(enabled);
}

void CIconMenu::SetVendorItemsEnabled(bool enabled) {
    for (QAction* action : actions())
        if (action->property(kVendorProperty).toBool()) action->setEnabled(enabled);
}

QList<QIcon> LoadImageStrip(const QString& path, int size, unsigned transparentRgb) {
    QList<QIcon> icons;
    if (size <= 0) return icons;
    QImage strip(path);
    if (strip.isNull() || strip.height() < size) return icons;
    strip = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = 0xFF000000u | (transparentRgb & 0xFFFFFFu);
    for (int y = 0; y < strip.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(strip.scanLine(y));
        for (int x = 0; x < strip.width(); ++x)
            if (line[x] == key) line[x] = qRgba(0, 0, 0, 0);
    }
    for (int x = 0; x + size <= strip.width(); x += size)
        icons.append(QIcon(QPixmap::fromImage(strip.copy(x, 0, size, size))));
    return icons;
}
