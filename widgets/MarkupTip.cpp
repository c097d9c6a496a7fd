// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/MarkupTip.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QEvent>
#include <QToolTip>
#include <QWidget>

#include "widgets/TipMarkup.h"

CMarkupTip::CMarkupTip(QObject* parent) : QObject(parent) {
    m_delay.setSingleShot(true);
    m_delay.setInterval(kInitialDelayMs);
    connect(&m_delay, &QTimer::timeout, this, &CMarkupTip::ShowNow);
}

CMarkupTip::~CMarkupTip() {
    for (auto it = m_texts.begin(); it != m_texts.end(); ++it) it.key()->removeEventFilter(this);
    for (auto it = m_viewports.begin(); it != m_viewports.end(); ++it) it.key()->removeEventFilter(this);
}

void CMarkupTip::Attach(QWidget* widget, std::string_view cp1252Markup) {
    if (widget == nullptr) return;
    if (!m_texts.contains(widget)) {
        widget->installEventFilter(this);
        connect(widget, &QObject::destroyed, this, [this](QObject* gone) {
            m_texts.remove(static_cast<QWidget*>(gone));
        });
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
            QWidget* viewport = area->viewport();
            viewport->installEventFilter(this);
            m_viewports.insert(viewport, widget);
            connect(viewport, &QObject::destroyed, this, [this](QObject* gone) { m_viewports.remove(gone); });
        }
    }
    m_texts.insert(widget, QString::fromUtf8(TipMarkupToHtml(cp1252Markup)));
}

void CMarkupTip::Detach(QWidget* widget) {
    if (!m_texts.remove(widget)) return;
    widget->removeEventFilter(this);
    disconnect(widget, &QObject::destroyed, this, nullptr);
    for (auto it = m_viewports.begin(); it != m_viewports.end();) {
        if (it.value() == widget) {
            it.key()->removeEventFilter(this);
            disconnect(it.key(), &QObject::destroyed, this, nullptr);
            it = m_viewports.erase(it);
        } else {
            ++it;
        }
    }
    if (m_hovered == widget) HideTip();
}

QString CMarkupTip::TipText(QWidget* widget) const { return m_texts.value(widget); }

void CMarkupTip::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) HideTip();
}

void CMarkupTip::SetDelayTime(int initialMs) { m_delay.setInterval(initialMs < 0 ? 0 : initialMs); }

void CMarkupTip::SetDisplayTime(int displayMs) { m_displayMs = displayMs; }

QWidget* CMarkupTip::Owner(QObject* watched) const {
    auto* widget = static_cast<QWidget*>(watched);
    if (m_texts.contains(widget)) return widget;
    return m_viewports.value(watched, nullptr);
}

bool CMarkupTip::eventFilter(QObject* watched, QEvent* event) {
    if (m_viewports.contains(watched)) {
        // Hovering is followed on the widget itself; from its viewport only
        // the clicks and the wheel count, and they cancel the tip.
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::Wheel) {
            if (m_hovered == Owner(watched)) HideTip();
        }
        return false;
    }
    QWidget* widget = Owner(watched);
    if (widget == nullptr) return false;
    switch (event->type()) {
        case QEvent::ToolTip:
            // The platform's own tooltip would show after its own delay.
            return true;
        case QEvent::Enter:
        case QEvent::HoverEnter:
            Arm(widget);
            break;
        case QEvent::Leave:
        case QEvent::HoverLeave:
        case QEvent::Hide:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            if (m_hovered == widget) HideTip();
            break;
        default:
            break;
    }
    return false;
}

void CMarkupTip::Arm(QWidget* widget) {
    if (!m_enabled) return;
    m_hovered = widget;
    m_delay.start();
}

void CMarkupTip::ShowNow() {
    QWidget* widget = m_hovered;
    if (!m_enabled || widget == nullptr || !widget->isVisible()) return;
    const QString text = m_texts.value(widget);
    if (text.isEmpty()) return;
    QToolTip::showText(QCursor::pos(), text, widget, widget->rect(), m_displayMs);
}

void CMarkupTip::HideTip() {
    m_delay.stop();
    if (m_hovered != nullptr && QToolTip::isVisible()) QToolTip::hideText();
    m_hovered = nullptr;
}
