// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/LoaderAbout.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "firmloader/LoaderLayout.h"
#include "widgets/DialogUnits.h"
#include "widgets/QtText.h"

LoaderAbout::LoaderAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(ToQString(kAboutTitle));
    if (parent)
        setFont(parent->font());
    const DialogBaseUnits base = BaseUnitsOf(font());
    auto x = [&](int units) { return DialogXToPixels(units, base.x); };
    auto y = [&](int units) { return DialogYToPixels(units, base.y); };
    const AboutGeometry& g = kAboutGeometry;
    setFixedSize(x(kAboutWidth), y(kAboutHeight));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/firmloader/firmloader.png")).pixmap(32, 32));
    icon->setGeometry(x(g.iconX), y(g.iconY), 32, 32);
    auto* text = new QLabel(ToQString(kAboutText), this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setGeometry(x(g.textX), y(g.textY), x(g.textWidth), y(g.textHeight));
    auto* ok = new QPushButton(ToQString(kAboutOk), this);
    ok->setDefault(true);
    ok->setGeometry(x(g.okX), y(g.okY), x(g.okWidth), y(g.okHeight));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
