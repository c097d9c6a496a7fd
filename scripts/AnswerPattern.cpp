// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/AnswerPattern.h"

#include <algorithm>

#include "carddata/HexCodec.h"

bool CAnswerPattern::Parse(std::string_view text, std::string& error) {
    m_items.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '*') {
            // Two stars in a row mean no more than one.
            if (m_items.empty() || m_items.back().kind != Kind::AnyRun) m_items.push_back({Kind::AnyRun, 0});
            ++i;
        } else if (c == '.' && i + 1 < text.size() && text[i + 1] == '.') {
            m_items.push_back({Kind::AnyByte, 0});
            i += 2;
        } else if (HexDigitValue(c) >= 0 && i + 1 < text.size() && HexDigitValue(text[i + 1]) >= 0) {
            m_items.push_back({Kind::Byte, static_cast<std::uint8_t>(HexDigitValue(c) * 16 + HexDigitValue(text[i + 1]))});
            i += 2;
        } else {
            error = "bad pattern \"" + std::string(text) + "\" at column " + std::to_string(i + 1) +
                    " (hexadecimal pairs, .. for any byte, * for any bytes)";
            return false;
        }
    }
    return true;
}

bool CAnswerPattern::Matches(const std::uint8_t* answer, std::size_t length) const {
    // Wildcard matching that backtracks only to the last star: linear for
    // the usual patterns, never worse than items times bytes.
    std::size_t p = 0;
    std::size_t a = 0;
    std::size_t starItem = std::string::npos;
    std::size_t starAnswer = 0;
    while (a < length) {
        if (p < m_items.size() && m_items[p].kind == Kind::AnyRun) {
            starItem = p++;
            starAnswer = a;
        } else if (p < m_items.size() &&
                   (m_items[p].kind == Kind::AnyByte || m_items[p].value == answer[a])) {
            ++p;
            ++a;
        } else if (starItem != std::string::npos) {
            p = starItem + 1;
            a = ++starAnswer;
        } else {
            return false;
        }
    }
    while (p < m_items.size() && m_items[p].kind == Kind::AnyRun) ++p;
    return p == m_items.size();
}

std::string CAnswerPattern::Text() const {
    const CHexCodec codec;
    std::string out;
    for (const Item& item : m_items) {
        if (!out.empty()) out += ' ';
        switch (item.kind) {
            case Kind::Byte: out += codec.BytesToHex(1, &item.value).substr(0, 2); break;
            case Kind::AnyByte: out += ".."; break;
            case Kind::AnyRun: out += '*'; break;
        }
    }
    return out;
}

bool ParseExpectations(std::string_view text, std::vector<Expectation>& expectations, std::string& error) {
    expectations.clear();
    std::size_t position = 0;
    std::size_t counted = 0;
    int line = 1;
    std::string name;
    std::string value;
    for (;;) {
        const int result = FindNextEntry(text, kCommandSection, kCommandSeparator, position, name, value);
        if (result == -1) break;
        line += static_cast<int>(std::count(text.begin() + static_cast<std::ptrdiff_t>(counted),
                                            text.begin() + static_cast<std::ptrdiff_t>(position), '\n'));
        counted = position;
        if (result != 0) continue;
        Expectation expectation;
        expectation.name = CleanCommandName(name);
        expectation.line = line;
        // Only the line end goes: a pattern may well begin with "*" or "..".
        std::string pattern;
        for (char c : value)
            if (c != '\r' && c != '\n') pattern.push_back(c);
        pattern.erase(0, pattern.find_first_not_of(" \t"));
        pattern.erase(pattern.find_last_not_of(" \t") + 1);
        std::string reason;
        if (!expectation.pattern.Parse(pattern, reason)) {
            error = "line " + std::to_string(line) + ": " + reason;
            return false;
        }
        expectations.push_back(std::move(expectation));
    }
    return true;
}

