// SPDX-License-Identifier: BSD-3-Clause
// Code page 1252 <-> UTF-8. The kit's texts, files and logs are cp1252 bytes;
// windows show them as Unicode through this one table.
#pragma once

#include <string>
#include <string_view>

std::string Cp1252ToUtf8(std::string_view text);

// Characters outside code page 1252 become replacement.
std::string Utf8ToCp1252(std::string_view text, char replacement = '?');

// text as well-formed UTF-8, for texts that come from outside in UTF-8 and
// stay Unicode: each ill-formed part (stray, truncated or overlong sequence,
// surrogate, beyond U+10FFFF) becomes one U+FFFD, and what follows is kept.
std::string ValidUtf8(std::string_view text);

// Case folding for the kit's names and matches: a-z as A-Z, every other byte
// as it is (as the "C" locale folds).
constexpr char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Below, equal to or above zero as a sorts before, with or after b, ignoring
// case; bytes compare unsigned, a prefix sorts first.
int CompareNoCase(std::string_view a, std::string_view b);
