// SPDX-License-Identifier: BSD-3-Clause
// Reads the table files of tests/tables: the documents' tables written out
// as data, so that the code is checked against them and not against its own
// tables. One row a line, fields separated by tabs; '#' starts a comment
// line. A field in double quotes is a text: the quotes are dropped, and
// \xHH (one byte), \" and \\ are decoded, so cp1252 bytes stay exact.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tables {

using Row = std::vector<std::string>;

inline std::string Unquote(const std::string& field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return field;
    std::string text;
    for (std::size_t i = 1; i + 1 < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 2 < field.size() && field[i + 1] == 'x' && i + 4 < field.size()) {
            text += static_cast<char>(std::strtoul(field.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else if (c == '\\' && i + 2 < field.size()) {
            text += field[++i];
        } else {
            text += c;
        }
    }
    return text;
}

// The rows of tests/tables/<name>; empty when the file cannot be read.
inline std::vector<Row> Load(const std::string& name) {
    std::vector<Row> rows;
    std::ifstream file(std::string(BENCHKIT_SOURCE_DIR) + "/tests/tables/" + name);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        Row row;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            row.push_back(Unquote(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

inline unsigned long Number(const std::string& field) { return std::strtoul(field.c_str(), nullptr, 0); }

// "01 0A FF" to bytes.
inline std::vector<std::uint8_t> Bytes(const std::string& field) {
    std::vector<std::uint8_t> out;
    std::istringstream in(field);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::strtoul(pair.c_str(), nullptr, 16)));
    return out;
}

}  // namespace tables
