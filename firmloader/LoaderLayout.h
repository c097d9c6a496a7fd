// SPDX-License-Identifier: BSD-3-Clause
// The loader window's template: controls, ids, dialog-unit geometry and
// texts, kept out of the window code so the window only builds what this
// table says. Texts are cp1252.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "widgets/DialogLayout.h"

enum class LoaderControlKind { GroupBox, Label, PathBox, Button, DefaultButton, LogList, ProgressBar };

struct LoaderControl {
    int id;
    LoaderControlKind kind;
    int x, y, width, height;  // dialog units
    std::string_view text;
};

// Control ids of the template.
inline constexpr int IDC_LOADER_GROUP = 1036;
inline constexpr int IDC_PATH_LABEL = 1014;
inline constexpr int IDC_IMAGE_PATH = 1002;
inline constexpr int IDC_BROWSE = 1011;
inline constexpr int IDC_DOWNLOAD = 3;
inline constexpr int IDC_GET_VERSION = 1055;
inline constexpr int IDC_LOG_LIST = 1027;
inline constexpr int IDC_EXIT = 2;
inline constexpr int IDC_PROGRESS = 1060;  // the download's block counter
inline constexpr int IDM_ABOUTBOX = 16;    // the system-menu item

inline constexpr std::string_view kLoaderTitle = "Corvane firmloader";
inline constexpr int kLoaderWidth = 328;  // dialog units
inline constexpr int kLoaderHeight = 215;
inline constexpr std::string_view kLoaderFontFace = "MS Sans Serif";
inline constexpr int kLoaderFontPoints = 8;
// The background, and the log list's, is kFieldRgb.

std::span<const LoaderControl> LoaderControls();

inline constexpr std::string_view kAboutMenuText = "&About Corvane firmloader...";
inline constexpr std::string_view kAboutTitle = "About Corvane firmloader";
inline constexpr std::string_view kAboutText = "firmloader version 2.10";
inline constexpr std::string_view kAboutOk = "OK";
inline constexpr int kAboutWidth = 235;
inline constexpr int kAboutHeight = 55;
struct AboutGeometry {
    int iconX, iconY;
    int textX, textY, textWidth, textHeight;
    int okX, okY, okWidth, okHeight;
};
inline constexpr AboutGeometry kAboutGeometry{11, 12, 40, 20, 119, 8, 178, 7, 50, 14};

// The open-file dialog's filter "Binary files: (*.bin)|*.bin||" in the name
// filter form "Description (patterns)": its description already names the
// pattern.
inline constexpr std::string_view kImageNameFilter = "Binary files: (*.bin)";

// What the block counter shows: blocks sent of blocks total.
inline constexpr std::string_view kProgressFormat = "%v / %m blocks";
