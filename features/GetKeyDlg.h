// SPDX-License-Identifier: BSD-3-Clause
// "GET KEY" (CGetKeyDlg): reads keys with FEATURE_GET_KEY until the reader's
// timeout key or a failure.
#pragma once

#include "features/FeatureWindow.h"

class QPushButton;
class QSpinBox;

class CGetKeyDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CGetKeyDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    PcscResult ReadKeys();

    QLineEdit* KeyField() const { return m_key; }
    QLineEdit* KeyCodeField() const { return m_keyCode; }
    QSpinBox* TimeOutField() const { return m_timeOut; }
    QPushButton* OkButton() const { return m_ok; }

private:
    QLineEdit* m_key = nullptr;
    QLineEdit* m_keyCode = nullptr;
    QSpinBox* m_timeOut = nullptr;
    QPushButton* m_ok = nullptr;
};
