// SPDX-License-Identifier: BSD-3-Clause
// The plain records of the kit's window templates, shared by every window's
// data table: a rectangle in dialog units and the field colour. No Qt, so
// the tables stay plain C++; widgets/DialogUnits turns them into pixels.
#pragma once

#include <cstdint>

struct DialogRect {
    int x, y, width, height;
};

// The edit fields' colour, and the loader's background: RGB(189, 189, 183),
// 0xRRGGBB.
inline constexpr std::uint32_t kFieldRgb = 0xBDBDB7;
