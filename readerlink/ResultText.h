// SPDX-License-Identifier: BSD-3-Clause
// PC/SC result code to the status-line text (code page 1252).
#pragma once

#include <cstdint>
#include <string>

// A last result that tells the window to leave the status text a handler put there.
inline constexpr std::uint32_t KEEP_STATUS_TEXT = 0x20000000u;

// Assigns the text of code to text and returns 0, or the unknown-code text and
// returns 1. KEEP_STATUS_TEXT leaves text untouched and returns 0.
int GetResultText(std::uint32_t code, std::string& text);
