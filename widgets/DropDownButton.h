// SPDX-License-Identifier: BSD-3-Clause
// The icon push button and the drop-down icon button of the widget kit.
#pragma once

#include <QToolButton>

#include "widgets/IconMenu.h"

// A push button with an image beside or instead of its text.
class CIconButton : public QToolButton {
    Q_OBJECT
public:
    explicit CIconButton(QWidget* parent = nullptr);
    void SetImage(const QIcon& image);
};

// A button with text, image and arrow that opens its CIconMenu when clicked.
// Before the menu opens it emits MenuAboutToOpen, where the window may change
// the items; vendor items follow SetMakerReader.
class CDropDownButton : public QToolButton {
    Q_OBJECT
public:
    explicit CDropDownButton(QWidget* parent = nullptr);

    CIconMenu* Menu() const { return m_menu; }
    void SetImage(const QIcon& image);

    // Vendor items are enabled for the maker's readers and greyed otherwise.
    void SetMakerReader(bool makerReader);
    bool MakerReader() const { return m_makerReader; }

signals:
    void MenuAboutToOpen(CIconMenu* menu);
    void CommandChosen(int command);

private:
    CIconMenu* m_menu;
    bool m_makerReader = false;
};
