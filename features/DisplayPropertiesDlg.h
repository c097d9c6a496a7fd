// SPDX-License-Identifier: BSD-3-Clause
// "Display Properties" (CDisplayPropertiesDlg): the display's size as the
// reader reports it with FEATURE_IFD_DISPLAY_PROPERTIES.
#pragma once

#include "features/FeatureWindow.h"

class CDisplayPropertiesDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CDisplayPropertiesDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    void ReadDisplayProperties();

    QLineEdit* CharactersField() const { return m_characters; }
    QLineEdit* LinesField() const { return m_lines; }

private:
    QLineEdit* m_characters = nullptr;
    QLineEdit* m_lines = nullptr;
};
