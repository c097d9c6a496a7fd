// SPDX-License-Identifier: BSD-3-Clause
// Expected answers of cardbench-run. A pattern is hexadecimal pairs, ".." for
// any one byte and "*" for any number of bytes ("6F .. 84 * 90 00"). An
// expectations file is a command file whose entry "NAME = PATTERN" says what
// command NAME must answer; --record writes one from a run's answers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scripts/CommandFile.h"

class CAnswerPattern {
public:
    // False with an English reason for a malformed pattern.
    bool Parse(std::string_view text, std::string& error);
    bool Matches(const std::uint8_t* answer, std::size_t length) const;
    // The pattern as written back: items separated by one blank.
    std::string Text() const;

private:
    enum class Kind : std::uint8_t { Byte, AnyByte, AnyRun };
    struct Item {
        Kind kind;
        std::uint8_t value;
    };
    std::vector<Item> m_items;
};

struct Expectation {
    std::string name;
    CAnswerPattern pattern;
    int line = 0;  // in the file, from 1
};

// Every entry of an expectations file's bytes, in file order, read by the
// command files' own entry finder; false with "line N: reason" for the first
// malformed pattern.
bool ParseExpectations(std::string_view text, std::vector<Expectation>& expectations, std::string& error);

