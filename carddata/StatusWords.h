// SPDX-License-Identifier: BSD-3-Clause
// The meaning of a bare ISO/IEC 7816-4 status word, as one line of text:
// "SW1 SW2  ( description ) ".
#pragma once

#include <string>

// Only the low 8 bits of each argument are used.
std::string StatusWordText(unsigned sw1, unsigned sw2);
