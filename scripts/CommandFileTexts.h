// SPDX-License-Identifier: BSD-3-Clause
// The command-file window's fixed data (dialog 103): control identifiers,
// texts (code page 1252), sizes and colours. The window builds itself from
// these; no text or geometry lives in window code.
#pragma once

#include <cstdint>
#include <string_view>

#include "widgets/DialogLayout.h"

namespace scripts {

// Dialog 103.
inline constexpr std::string_view kCommandFileCaption = "Command File";
enum CommandFileControl : int {
    IDC_NAME_LIST = 1017,
    IDC_VALUE_LIST = 1018,
    IDC_DELETE_COMMAND = 1019,
    IDC_LOOP_COUNT = 1054,
    IDC_LOOP_LABEL = -1,
};
// Client size in dialog units and the rectangles of its controls.
inline constexpr int kCommandFileWidthDu = 120;
inline constexpr int kCommandFileHeightDu = 190;
inline constexpr DialogRect kNameListRect{5, 5, 110, 150};
inline constexpr DialogRect kLoopLabelRect{5, 164, 22, 9};
inline constexpr DialogRect kLoopFieldRect{29, 162, 32, 12};
inline constexpr DialogRect kDeleteRect{88, 158, 27, 25};

inline constexpr std::string_view kLoopLabel = "Loop :";
inline constexpr std::string_view kDeleteToolTip = "Delete selected Command from the file";

// "Loop :" takes whole numbers in this range.
inline constexpr unsigned kMinLoopCount = 1;
inline constexpr unsigned kMaxLoopCount = 9999;
// The framework's range message; %1 and %2 are the bounds.
inline constexpr std::string_view kRangeMessage = "Tapez un nombre entier compris entre %1 et %2.";

// Placement at the top right of the screen.
inline constexpr int kTopMargin = 2;
inline constexpr int kRightMargin = 5;
inline constexpr int kWidthTrim = 5;
inline constexpr int kHeightExtra = 10;

// The name list is black on kFieldRgb.

// Asked before "Create NEW command file" makes a file that does not exist; %1 is its name.
inline constexpr std::string_view kCreatePrompt = "%1\nThis file does not exist.\nDo you want to create it?";

// Asked before the commands added to a window whose file could not be read
// replace that file; %1 is its name.
inline constexpr std::string_view kOverwriteUnreadPrompt =
    "%1\nThis file could not be read.\nDo you want to replace it with the commands added?";

}  // namespace scripts
