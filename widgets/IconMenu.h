// SPDX-License-Identifier: BSD-3-Clause
// CIconMenu: a menu whose items carry a command number and may show a
// 16-by-16 image beside their text. Items marked vendor are the ones that only
// the kit maker's readers answer; they are greyed together.
#pragma once

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QString>
#include <string_view>

class CIconMenu : public QMenu {
    Q_OBJECT
public:
    explicit CIconMenu(QWidget* parent = nullptr);

    // cp1252 text; the image is shown even where the platform hides menu icons.
    QAction* AddItem(int command, std::string_view cp1252Text, const QIcon& image = QIcon(), bool vendor = false);
    void AddSeparator();
    QAction* FindItem(int command) const;
    void EnableItem(int command, bool enabled);
    void SetVendorItemsEnabled(bool enabled);

signals:
    // The command of the item the user chose.
    void CommandChosen(int command);
};

// Cuts a strip of square images of the given size out of a picture, the
// colour `transparent` (magenta by default) becoming transparent. A picture
// that cannot be read gives an empty list.
QList<QIcon> LoadImageStrip(const QString& path, int size = 16, unsigned transparentRgb = 0xFF00FF);
