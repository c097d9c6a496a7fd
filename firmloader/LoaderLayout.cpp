// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/LoaderLayout.h"


namespace {

constexpr std::array<LoaderControl, 9> kControls{{
    {IDC_LOADER_GROUP, LoaderControlKind::GroupBox, 7, 23, 314, 73, "firmloader"},
    {IDC_PATH_LABEL, LoaderControlKind::Label, 9, 38, 82, 8, "File path to download"},
    {IDC_IMAGE_PATH, LoaderControlKind::PathBox, 9, 46, 248, 14, ""},
    {IDC_BROWSE, LoaderControlKind::Button, 266, 46, 50, 14, "Browse"},
    {IDC_DOWNLOAD, LoaderControlKind::DefaultButton, 132, 65, 59, 24, "Download"},
    {IDC_GET_VERSION, LoaderControlKind::Button, 136, 97, 50, 14, "Get Version"},
    {IDC_LOG_LIST, LoaderControlKind::LogList, 7, 115, 314, 73, ""},
    // Under the log list, beside Exit: how far a running download has come.
    {IDC_PROGRESS, LoaderControlKind::ProgressBar, 7, 196, 255, 10, ""},
    {IDC_EXIT, LoaderControlKind::Button, 271, 194, 50, 14, "Exit"},
}};

}  // namespace

std::span<const LoaderControl> LoaderControls()
{
    return kControls;
}
