// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/KitImages.h"

#include <QString>

#include "widgets/IconMenu.h"

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitCardbenchResources() { Q_INIT_RESOURCE(cardbench); }

namespace {

QString PathOf(KitImage image) {
    switch (image) {
        case KitImage::AppIcon: return QStringLiteral(":/cardbench/app.png");
        case KitImage::CardAndReader: return QStringLiteral(":/cardbench/card_reader.png");
        case KitImage::Logo: return QStringLiteral(":/cardbench/logo.png");
        case KitImage::ReconnectIcon: return QStringLiteral(":/cardbench/reconnect.png");
        case KitImage::AttributesIcon: return QStringLiteral(":/cardbench/attributes.png");
        case KitImage::AddCommandIcon: return QStringLiteral(":/cardbench/add_command.png");
        case KitImage::ResponseFormatIcon: return QStringLiteral(":/cardbench/response_format.png");
        case KitImage::DeleteCommandIcon: return QStringLiteral(":/cardbench/delete_command.png");
    }
    return {};
}

}  // namespace

void InitKitResources() {
    static const bool done = [] {
        InitCardbenchResources();
        return true;
    }();
    (void)done;
}

QPixmap KitPixmap(KitImage image) {
    InitKitResources();
    return QPixmap(PathOf(image));
}

QIcon KitIcon(KitImage image) {
    InitKitResources();
    return QIcon(PathOf(image));
}

QList<QIcon> ResetMenuImages() {
    InitKitResources();
    return LoadImageStrip(QStringLiteral(":/cardbench/reset_menu.png"));
}

QList<QIcon> AttributeMenuImages() {
    InitKitResources();
    return LoadImageStrip(QStringLiteral(":/cardbench/attribute_menu.png"));
}
