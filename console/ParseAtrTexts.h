// SPDX-License-Identifier: BSD-3-Clause
// Template 194, the "Parse ATR" dialog: captions and geometry in dialog
// units. Its font is the main window's.
#pragma once

#include <string_view>

#include "console/ConsoleTexts.h"

namespace parseatr {


inline constexpr std::string_view kCaption = "Parse ATR";
inline constexpr std::string_view kParse = "Parse";
inline constexpr std::string_view kExit = "Exit";

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_ATR_FIELD = 1051;

inline constexpr int kWidthDu = 262;
inline constexpr int kHeightDu = 96;
inline constexpr DialogRect kFieldRect{7, 7, 248, 62};
inline constexpr DialogRect kParseRect{148, 75, 50, 14};
inline constexpr DialogRect kExitRect{205, 75, 50, 14};

}  // namespace parseatr
