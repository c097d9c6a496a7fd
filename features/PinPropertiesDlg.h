// SPDX-License-Identifier: BSD-3-Clause
// "Pin Properties" (CPinPropertiesDlg): the reader's PIN entry properties
// (FEATURE_IFD_PIN_PROP); Enter reads them again in full.
#pragma once

#include "features/FeatureWindow.h"

class CPinPropertiesDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CPinPropertiesDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    void ReadPinProperties();
    void RereadPinProperties();

    QLineEdit* LayoutField() const { return m_layout; }
    QLineEdit* CharactersField() const { return m_characters; }
    QLineEdit* LinesField() const { return m_lines; }
    QLineEdit* ValidationField() const { return m_validation; }
    QLineEdit* TimeOutField() const { return m_timeOut; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_layout = nullptr;
    QLineEdit* m_characters = nullptr;
    QLineEdit* m_lines = nullptr;
    QLineEdit* m_validation = nullptr;
    QLineEdit* m_timeOut = nullptr;
};
