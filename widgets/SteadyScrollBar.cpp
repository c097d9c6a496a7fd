// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/SteadyScrollBar.h"

#include <QAbstractItemView>
#include <QPaintEvent>
#include <QStyle>
#include <QStyleOptionSlider>

CSteadyScrollBar::CSteadyScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {}

CSteadyScrollBar::Look CSteadyScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.atMinimum = option.sliderPosition <= minimum();
    look.atMaximum = option.sliderPosition >= maximum();
    return look;
}

void CSteadyScrollBar::sliderChange(SliderChange change) {
    // A style that fades its bars in on a change of value must see every change.
    const bool transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this) != 0;
    if (change == SliderValueChange && !transient && m_paintedValid && CurrentLook() == m_painted) return;
    QScrollBar::sliderChange(change);
}

void CSteadyScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    // Only a paint of the whole bar tells what all of it shows.
    m_paintedValid = (QRegion(rect()) - event->region()).isEmpty();
    if (m_paintedValid) m_painted = CurrentLook();
}

void UseSteadyScrollBar(QAbstractItemView* view) {
    auto* bar = new CSteadyScrollBar(Qt::Vertical);
    view->setVerticalScrollBar(bar);
    // The view's own handlers of its bar are protected slots: connected by name.
    QObject::connect(bar, SIGNAL(actionTriggered(int)), view, SLOT(verticalScrollbarAction(int)));
    QObject::connect(bar, SIGNAL(valueChanged(int)), view, SLOT(verticalScrollbarValueChanged(int)));
}
