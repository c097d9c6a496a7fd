// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/JsonText.h"

#include <cstdio>

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
