// SPDX-License-Identifier: BSD-3-Clause
// CMaskData: the mask record of the masked entry field and the text typed
// against it. Plain C++ so that every rule of the mask is testable without a
// screen; CMaskedEdit only maps keys and the clipboard onto it.
//
// Mask syntax: 'A' is one position that takes a letter or a digit (kept in
// upper case); a backslash makes the next character a fixed literal; any
// other character is a fixed literal too. Untyped positions hold a space, so
// the text always has one character per position.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Groups of the two hexadecimal entry fields.
inline constexpr int COMMAND_MASK_GROUPS = 260;
inline constexpr int ATR_MASK_GROUPS = 80;

// "AA\ AA\ ...AA": groups of two positions joined by an escaped space.
// 0 or fewer groups give the empty mask.
std::string MakeHexMask(int groups);

class CMaskData {
public:
    static constexpr char kBlank = ' ';

    CMaskData() = default;
    explicit CMaskData(std::string_view mask);

    // Replaces the mask; every position becomes untyped.
    void SetMask(std::string_view mask);
    const std::string& Mask() const { return m_mask; }

    // Number of characters of the text (positions and literals).
    std::size_t Length() const { return m_text.size(); }
    bool IsEditable(std::size_t pos) const;
    // Whether a typed character is taken at an editable position.
    static bool Accepts(char c);

    // The whole text: literals in place, untyped positions as spaces.
    const std::string& Text() const { return m_text; }
    // Places text as the field shows it, position by position: a character
    // equal to the literal at a literal position is taken as that literal, a
    // space leaves a position untyped, anything not accepted is dropped.
    // Text() fed back to SetText() gives the same text.
    void SetText(std::string_view text);
    void Clear();
    bool IsEmpty() const;  // no position typed

    // Cursor positions run from 0 to Length(); the cursor never rests on a
    // literal. These return the position after the move.
    std::size_t NormalizeCursor(std::size_t cursor) const;  // first editable >= cursor, or Length()
    std::size_t FirstEditable() const { return NormalizeCursor(0); }
    std::size_t CursorRight(std::size_t cursor) const;
    std::size_t CursorLeft(std::size_t cursor) const;
    // After the last typed position (where typing goes on), or the first position.
    std::size_t EndOfInput() const;
    // Where a click at pos leaves the cursor: on the first untyped position
    // when that lies at or before the click, else on the clicked position
    // (off any literal). So a click past the typed digits goes on typing
    // where they end, whatever the text layout made of the click.
    std::size_t ClickPosition(std::size_t pos) const;

    // Editing: each returns the new cursor. A rejected character or a full
    // field leaves text and cursor as they were.
    std::size_t Type(std::size_t cursor, char c);
    std::size_t Backspace(std::size_t cursor);
    std::size_t Delete(std::size_t cursor);
    // Makes every position in [from, to) untyped; returns the normalised from.
    std::size_t ClearRange(std::size_t from, std::size_t to);
    // Pasted text is read as tokens of letters and digits separated by
    // anything else; a token of odd length gets a leading '0' (so "0 A4 4"
    // and "00A404" both give the groups 00 A4 04). The digits are typed from
    // the cursor on; what does not fit is dropped. Returns the new cursor.
    std::size_t Paste(std::size_t cursor, std::string_view text);

private:
    std::size_t PrevEditable(std::size_t cursor) const;  // last editable < cursor, or npos

    std::string m_mask;
    std::string m_text;
    std::vector<bool> m_editable;
};
