// SPDX-License-Identifier: BSD-3-Clause
// "Get Key Pressed" (CKeyHistoryDlg): follows the keys typed on the reader
// during a PIN entry, sixteen cells of history and the last key's meaning.
#pragma once

#include <array>

#include "features/FeatureWindow.h"

class CKeyHistoryDlg : public CFeatureWindow {
    Q_OBJECT
public:
    CKeyHistoryDlg(QWidget* parent, CReaderLink* link, DWORD code, Report report);

    // Polls the keys until the entries are done, a cancel or timeout key, a
    // failed poll, or the window's closing; reports the last result.
    PcscResult PollKeys(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtraDigit);

    QLineEdit* Cell(int index) const { return m_cells[index]; }
    QLineEdit* LastReceiveField() const { return m_lastReceive; }

private:
    std::array<QLineEdit*, 16> m_cells{};
    QLineEdit* m_lastReceive = nullptr;
};
