// SPDX-License-Identifier: BSD-3-Clause
// JSON string literals for the programs' --json output.
#pragma once

#include <string>
#include <string_view>

// The text quoted, with quotes, backslashes and control characters escaped
// (by nlohmann-json). The text should already be UTF-8; bytes that are not
// become U+FFFD.
std::string JsonString(std::string_view utf8);
