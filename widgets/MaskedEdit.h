// SPDX-License-Identifier: BSD-3-Clause
// CMaskedEdit: the masked entry field of the widget kit. It keeps its text in
// a CMaskData and handles every key itself: letters and digits fill the
// positions in upper case, the cursor skips fixed literals, untyped positions
// stay spaces and are part of the text read back. Several lines, wrapping
// between groups. Enter emits EnterPressed and changes nothing.
// Set the text with SetText only: a change made to the document any other
// way (setPlainText, a drag moving text out) is put back to the mask's text.
#pragma once

#include <QPlainTextEdit>
#include <string>
#include <string_view>

#include "carddata/MaskData.h"

class CMaskedEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CMaskedEdit(QWidget* parent = nullptr);

    void SetMask(std::string_view mask);
    // The hexadecimal entry mask with this many groups (COMMAND_MASK_GROUPS,
    // ATR_MASK_GROUPS).
    void SetHexGroups(int groups);
    const CMaskData& MaskData() const { return m_mask; }

    // The whole text as cp1252, untyped positions as spaces.
    std::string GetText() const;
    // cp1252 text placed as CMaskData::SetText places it.
    void SetText(std::string_view cp1252Text);
    void ClearText();

    int CursorPosition() const;
    void SetCursorPosition(int pos);

signals:
    void EnterPressed();
    // Every change of the text, typed, pasted or set.
    void TextEdited();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    void ShowText(std::size_t cursor);
    void KeepShaping();
    bool SelectionRange(std::size_t& from, std::size_t& to) const;
    void MoveCursor(std::size_t pos, bool keepAnchor);
    void CutSelection();
    void PasteText(const QString& text);
    void SnapCursor();

    CMaskData m_mask;
    bool m_syncing = false;
};
