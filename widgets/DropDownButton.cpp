// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/DropDownButton.h"

CIconButton::CIconButton(QWidget* parent) : QToolButton(parent) {
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(32, 32));
    setFocusPolicy(Qt::StrongFocus);
}

void CIconButton::SetImage(const QIcon& image) { setIcon(image); }

CDropDownButton::CDropDownButton(QWidget* parent) : QToolButton(parent), m_menu(new CIconMenu(this)) {
    setMenu(m_menu);
    // A click anywhere on the button opens the menu; the button has no action of its own.
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::StrongFocus);
    m_menu->SetVendorItemsEnabled(m_makerReader);
    connect(m_menu, &QMenu::aboutToShow, this, [this] {
        m_menu->SetVendorItemsEnabled(m_makerReader);
        emit MenuAboutToOpen(m_menu);
    });
    connect(m_menu, &CIconMenu::CommandChosen, this, &CDropDownButton::CommandChosen);
}

void CDropDownButton::SetImage(const QIcon& image) { setIcon(image); }

void CDropDownButton::SetMakerReader(bool makerReader) {
    m_makerReader = makerReader;
    m_menu->SetVendorItemsEnabled(makerReader);
}
