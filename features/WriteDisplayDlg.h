// SPDX-License-Identifier: BSD-3-Clause
// The message window (CWriteDisplayDlg): writes a message on the reader's
// display with FEATURE_WRITE_DISPLAY, wrapping the field's lines at the
// display's width as read with FEATURE_IFD_DISPLAY_PROPERTIES.
#pragma once

#include "features/FeatureWindow.h"
#include "features/KeypadDisplay.h"

class QPlainTextEdit;
class QPushButton;
class QSpinBox;

class CWriteDisplayDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CWriteDisplayDlg(QWidget* parent, CReaderLink* link, DWORD code, DWORD displayPropertiesCode, Report report);

    bool ReadDisplayLimits();
    void WriteDisplay();
    void WrapMessageLine();

    const features::DisplayLimits& Limits() const { return m_limits; }
    int Limit() const { return m_limit; }
    // The field's text with CR LF line ends, as the reader gets it.
    std::string MessageText() const;
    QPlainTextEdit* MessageField() const { return m_message; }
    QSpinBox* DisplayTimeField() const { return m_displayTime; }
    QPushButton* OkButton() const { return m_ok; }

private:
    DWORD m_displayPropertiesCode;
    features::DisplayLimits m_limits;
    int m_limit = 0;
    bool m_editing = false;
    QPlainTextEdit* m_message = nullptr;
    QSpinBox* m_displayTime = nullptr;
    QPushButton* m_ok = nullptr;
};
