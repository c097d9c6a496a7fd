// SPDX-License-Identifier: BSD-3-Clause
// The console's pictures, shipped as Qt resources (resources/cardbench/).
#pragma once

#include <QIcon>
#include <QList>
#include <QPixmap>

enum class KitImage {
    AppIcon,         // icon 128: program, tray and About box
    CardAndReader,   // bitmap 152: the main window before a context exists
    Logo,            // bitmap 130: the small picture at the lower right
    ReconnectIcon,   // the SCardReconnect drop-down button (1005)
    AttributesIcon,  // the reader-attributes drop-down button (1049)
    AddCommandIcon,  // the add-command icon button (1019)
    ResponseFormatIcon,  // the response-format icon button (1048)
    DeleteCommandIcon,   // the command-file window's delete button (1019 of dialog 103)
};

// Makes the kit's resources reachable (they live in a static library).
void InitKitResources();

QPixmap KitPixmap(KitImage image);
QIcon KitIcon(KitImage image);

// Index of the images of bitmap 190 (the SCardReconnect menu).
inline constexpr int RESET_IMAGE_COLD = 0;
inline constexpr int RESET_IMAGE_WARM = 1;
QList<QIcon> ResetMenuImages();

// Index of the images of bitmap 183 (the reader-attribute menu).
inline constexpr int ATTRIBUTE_IMAGE_STANDARD = 0;
inline constexpr int ATTRIBUTE_IMAGE_VENDOR = 1;
QList<QIcon> AttributeMenuImages();
