// SPDX-License-Identifier: BSD-3-Clause
// CPinParamsDlg: what the two secure PIN parameter windows share: a group of
// labelled hexadecimal fields with their defaults, the window's structure
// text, its placement near the screen's lower right corner, and the
// notification that it was closed.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QLineEdit;

class CPinParamsDlg : public QDialog {
    Q_OBJECT

public:
    struct Row {
        std::string_view label;
        std::string defaultText;
    };

    // The field of a row, in row order (for tests and the rows' readers).
    QLineEdit* Field(std::size_t row) const { return m_fields.at(row); }
    std::size_t FieldCount() const { return m_fields.size(); }

    // The text the last build produced; "xxxxxxxxxxxxxxxxx" before the first.
    const std::string& StructureText() const { return m_structureText; }

    // Called once when the window is closed (it then deletes itself).
    void SetOnClosed(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }

    // Shows the window at its place, below the other windows.
    void ShowAtPlace();

protected:
    CPinParamsDlg(std::string_view title, std::string_view group, const std::vector<Row>& rows, QWidget* parent);

    // The fields' texts, in row order (the window's data exchange).
    std::vector<std::string> FieldTexts() const;
    void SetStructureText(std::string text) { m_structureText = std::move(text); }

private:
    std::vector<QLineEdit*> m_fields;
    std::string m_structureText;
    std::function<void()> m_onClosed;
};
