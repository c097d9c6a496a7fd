// SPDX-License-Identifier: BSD-3-Clause
// CSteadyScrollBar: a scroll bar that redraws itself on a change of value
// only when that change shows, that is when its slider lands on other
// pixels or reaches or leaves an end. A list of a thousand entries that
// follows its selection row by row (a play stepping through a command file)
// moves the slider by a fraction of a pixel per row; a plain scroll bar
// redraws for every row all the same.
#pragma once

#include <QRect>
#include <QScrollBar>

class QAbstractItemView;

class CSteadyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CSteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What a value change can alter in the drawing.
    struct Look {
        QRect slider;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look& other) const {
            return slider == other.slider && atMinimum == other.atMinimum && atMaximum == other.atMaximum;
        }
    };
    Look CurrentLook() const;

    Look m_painted;               // what the last paint of the whole bar showed
    bool m_paintedValid = false;  // false until then, and after a partial paint
};

// Gives the view a CSteadyScrollBar as its vertical scroll bar, wired to the
// view as its own bar was (an item view connects its own bar only once).
void UseSteadyScrollBar(QAbstractItemView* view);
