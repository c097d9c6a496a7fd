// SPDX-License-Identifier: BSD-3-Clause
// CMarkupTip: the tooltip window of the widget kit for a set of widgets. Each
// attached widget shows its markup text (TipMarkup.h) as rich text after the
// initial delay and for the display time; the whole set is switched off and
// on at once.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <string_view>

class QWidget;

class CMarkupTip : public QObject {
    Q_OBJECT
public:
    static constexpr int kInitialDelayMs = 100;
    static constexpr int kDisplayTimeMs = 6000;

    explicit CMarkupTip(QObject* parent = nullptr);
    ~CMarkupTip() override;

    // Gives widget the cp1252 markup text; a second call replaces it.
    void Attach(QWidget* widget, std::string_view cp1252Markup);
    void Detach(QWidget* widget);
    // The rich text shown for widget; empty when it is not attached.
    QString TipText(QWidget* widget) const;

    // Switched off, no tooltip shows and a shown one goes away.
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }

    void SetDelayTime(int initialMs);
    void SetDisplayTime(int displayMs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Arm(QWidget* widget);
    void ShowNow();
    void HideTip();

    // The attached widget a watched object stands for: itself, or the
    // widget whose viewport it is (clicks into a tree or an edit field
    // reach the viewport, not the widget).
    QWidget* Owner(QObject* watched) const;

    QHash<QWidget*, QString> m_texts;
    QHash<QObject*, QWidget*> m_viewports;  // viewport -> attached widget
    QPointer<QWidget> m_hovered;
    QTimer m_delay;
    int m_displayMs = kDisplayTimeMs;
    bool m_enabled = true;
};
