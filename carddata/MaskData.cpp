// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/MaskData.h"

#include "readerlink/Cp1252.h"

namespace {

bool IsAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string MakeHexMask(int groups) {
    std::string mask;
    if (groups <= 0) return mask;
    mask.reserve(static_cast<std::size_t>(groups) * 4);
    for (int g = 0; g < groups; ++g) {
        if (g > 0) mask += "\\ ";
        mask += "AA";
    }
    return mask;
}

CMaskData::CMaskData(std::string_view mask) { SetMask(mask); }

void CMaskData::SetMask(std::string_view mask) {
    m_mask.assign(mask);
    m_text.clear();
    m_editable.clear();
    for (std::size_t i = 0; i < mask.size(); ++i) {
        char c = mask[i];
        if (c == '\\') {
            // A trailing backslash escapes nothing and is dropped.
            if (++i >= mask.size()) break;
            m_text += mask[i];
            m_editable.push_back(false);
        } else if (c == 'A') {
            m_text += kBlank;
            m_editable.push_back(true);
        } else {
            m_text += c;
            m_editable.push_back(false);
        }
    }
}

bool CMaskData::IsEditable(std::size_t pos) const { return pos < m_editable.size() && m_editable[pos]; }

bool CMaskData::Accepts(char c) { return IsAsciiAlnum(c); }

void CMaskData::Clear() {
    for (std::size_t i = 0; i < m_text.size(); ++i)
        if (m_editable[i]) m_text[i] = kBlank;
}

bool CMaskData::IsEmpty() const {
    for (std::size_t i = 0; i < m_text.size(); ++i)
        if (m_editable[i] && m_text[i] != kBlank) return false;
    return true;
}

void CMaskData::SetText(std::string_view text) {
    Clear();
    std::size_t pos = 0;
    for (char c : text) {
        // A character that is not the literal of a literal position means
        // the text skipped it: move to the next position that can take c.
        while (pos < m_text.size() && !m_editable[pos] && m_text[pos] != c) ++pos;
        if (pos >= m_text.size()) break;
        if (!m_editable[pos]) {
            ++pos;  // the literal itself
        } else if (c == kBlank) {
            ++pos;  // stays untyped
        } else if (Accepts(c)) {
            m_text[pos++] = FoldCase(c);
        }
        // anything else is dropped and the position waits for the next character
    }
}

std::size_t CMaskData::NormalizeCursor(std::size_t cursor) const {
    while (cursor < m_text.size() && !m_editable[cursor]) ++cursor;
    return cursor < m_text.size() ? cursor : m_text.size();
}

std::size_t CMaskData::PrevEditable(std::size_t cursor) const {
    if (cursor > m_text.size()) cursor = m_text.size();
    while (cursor > 0) {
        --cursor;
        if (m_editable[cursor]) return cursor;
    }
    return std::string::npos;
}

std::size_t CMaskData::CursorRight(std::size_t cursor) const {
    if (cursor >= m_text.size()) return m_text.size();
    return NormalizeCursor(NormalizeCursor(cursor) + 1);
}

std::size_t CMaskData::CursorLeft(std::size_t cursor) const {
    std::size_t p = PrevEditable(cursor);
    return p == std::string::npos ? FirstEditable() : p;
}

std::size_t CMaskData::EndOfInput() const {
    for (std::size_t i = m_text.size(); i > 0; --i)
        if (m_editable[i - 1] && m_text[i - 1] != kBlank) return NormalizeCursor(i);
    return FirstEditable();
}

std::size_t CMaskData::ClickPosition(std::size_t pos) const {
    const std::size_t clicked = NormalizeCursor(pos);
    for (std::size_t i = 0; i < m_text.size() && i <= clicked; ++i)
        if (m_editable[i] && m_text[i] == kBlank) return i;
    return clicked;
}

std::size_t CMaskData::Type(std::size_t cursor, char c) {
    if (!Accepts(c)) return cursor;
    std::size_t pos = NormalizeCursor(cursor);
    if (pos >= m_text.size()) return cursor;  // full
    m_text[pos] = FoldCase(c);
    return NormalizeCursor(pos + 1);
}

std::size_t CMaskData::Backspace(std::size_t cursor) {
    std::size_t p = PrevEditable(cursor);
    if (p == std::string::npos) return NormalizeCursor(cursor);
    m_text[p] = kBlank;
    return p;
}

std::size_t CMaskData::Delete(std::size_t cursor) {
    std::size_t p = NormalizeCursor(cursor);
    if (p < m_text.size()) m_text[p] = kBlank;
    return p;
}

std::size_t CMaskData::ClearRange(std::size_t from, std::size_t to) {
    if (to > m_text.size()) to = m_text.size();
    for (std::size_t i = from; i < to; ++i)
        if (m_editable[i]) m_text[i] = kBlank;
    return NormalizeCursor(from);
}

std::size_t CMaskData::Paste(std::size_t cursor, std::string_view text) {
    std::size_t pos = NormalizeCursor(cursor);
    std::size_t i = 0;
    while (i < text.size() && pos < m_text.size()) {
        if (!Accepts(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && Accepts(text[end])) ++end;
        if ((end - i) % 2 != 0) pos = Type(pos, '0');
        for (; i < end && pos < m_text.size(); ++i) pos = Type(pos, text[i]);
        i = end;
    }
    return pos;
}
