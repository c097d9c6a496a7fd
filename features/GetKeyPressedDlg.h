// SPDX-License-Identifier: BSD-3-Clause
// "GetKey" (CGetKeyPressedDlg): one FEATURE_GET_KEY_PRESSED poll per "OK",
// four cells of digits and the last key's meaning.
#pragma once

#include <array>

#include "features/FeatureWindow.h"

class QPushButton;

class CGetKeyPressedDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CGetKeyPressedDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    void PollKeyOnce();

    QLineEdit* Cell(int index) const { return m_cells[index]; }
    QLineEdit* MessageField() const { return m_message; }
    QPushButton* OkButton() const { return m_ok; }

private:
    std::array<QLineEdit*, 4> m_cells{};
    QLineEdit* m_message = nullptr;
    QPushButton* m_ok = nullptr;
};
