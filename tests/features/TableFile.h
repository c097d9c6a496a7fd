// Reads the tab-separated tables under tests/features: one row per line,
// '#' lines and blank lines skipped, empty fields kept.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tables {

using Row = std::vector<std::string>;

inline std::vector<Row> Read(const std::string& name) {
    std::ifstream in(std::string(BENCHKIT_SOURCE_DIR) + "/tests/features/" + name);
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        Row row;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            row.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        rows.push_back(row);
    }
    return rows;
}

inline std::uint32_t Number(const std::string& text) { return static_cast<std::uint32_t>(std::stoul(text, nullptr, 0)); }

// "01 0A FF" to bytes.
inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    std::vector<std::uint8_t> out;
    std::istringstream in(text);
    std::string pair;
    while (in >> pair) out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
    return out;
}

}  // namespace tables
