#include "widgets/MarkupTip.h"

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
}

void CMarkupTip::Attach(QWidget* widget, std::string_view cp1252Markup) {
    if (widget == nullptr) return;
    if (!m_texts.contains(widget)) {
        widget->installEventFilter(this);
        connect(widget, &QObject::destroyed, this, [this](QObject* gone) {
            m_texts.remove(static_cast<QWidget*>(gone));
        });
    }
    m_texts.insert(widget, QString::fromUtf8(TipMarkupToHtml(cp1252Markup)));
}

void CMarkupTip::Detach(QWidget* widget) {
    if (!m_texts.remove(widget)) return;
    widget->removeEventFilter(this);
    disconnect(widget, &QObject::destroyed, this, nullptr);
    if (m_hovered == widget) HideTip();
}

QString CMarkupTip::TipText(QWidget* widget) const { return m_texts.value(widget); }

void CMarkupTip::SetEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) HideTip();
}

void CMarkupTip::SetDelayTime(int initialMs) { m_delay.setInterval(initialMs < 0 ? 0 : initialMs); }

void CMarkupTip::SetDisplayTime(int displayMs) { m_displayMs = displayMs; }

bool CMarkupTip::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = static_cast<QWidget*>(watched);
    if (!m_texts.contains(widget)) return false;
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
