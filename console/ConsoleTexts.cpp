// SPDX-License-Identifier: BSD-3-Clause
#include "console/ConsoleTexts.h"

#include <algorithm>
#include <cstdio>

#include "readerlink/Cp1252.h"

namespace console {

namespace {

using K = ControlKind;

constexpr std::array<ControlSpec, 34> kControls{{
    {IDC_ESTABLISH, K::PushButton, "SCardEstablishContext", {7, 48, 79, 19}, true, true},
    {IDC_CONNECT, K::PushButton, "SCardConnect", {7, 70, 74, 19}, true, false},
    {IDC_RECONNECT, K::DropDownButton, "SCardReconnect", {7, 94, 74, 19}, true, false},
    {IDC_WARM_RESET, K::PushButton, "Warm Reset", {7, 92, 74, 19}, false, false},
    {IDC_COLD_RESET, K::PushButton, "Cold Reset", {7, 115, 74, 19}, false, false},
    {IDC_STATUS, K::PushButton, "SCardStatus", {7, 139, 74, 19}, true, false},
    {IDC_TRANSMIT, K::PushButton, "SCardTransmit", {7, 164, 74, 19}, true, false},
    {IDC_PLAY_COMMANDS, K::CheckBox, "Play Commands", {7, 188, 73, 9}, true, false},
    {IDC_CONTROL, K::PushButton, "SCardControl", {7, 211, 74, 19}, true, false},
    {IDC_DISCONNECT, K::PushButton, "SCardDisconnect", {7, 235, 74, 19}, true, false},
    {IDC_RELEASE, K::PushButton, "SCardReleaseContext", {7, 258, 79, 19}, true, false},
    {IDC_EXIT, K::PushButton, "Exit", {7, 282, 54, 29}, true, true},
    {IDC_READER_LABEL, K::Label, "Reader Name", {10, 9, 46, 8}, false, true},
    {IDC_READER_LIST, K::DropDownList, "", {60, 5, 274, 45}, false, true},
    {IDC_ATTRIBUTES, K::DropDownIconButton, "", {339, 7, 27, 25}, false, true},
    {IDC_STATUS_LABEL, K::Label, "Status", {24, 26, 32, 9}, true, true},
    {IDC_STATUS_LINE, K::Edit, "", {60, 20, 274, 13}, true, true},
    {IDC_SHARE_EXCLUSIVE, K::CheckBox, "Share Exclusive", {93, 38, 65, 8}, false, true},
    {IDC_SHARE_SHARED, K::CheckBox, "Share Shared", {93, 49, 57, 8}, false, true},
    {IDC_SHARE_DIRECT, K::CheckBox, "Share Direct", {93, 60, 58, 9}, false, true},
    {IDC_PROTOCOL_T0, K::CheckBox, "Protocol T=0", {153, 48, 56, 9}, false, true},
    {IDC_PROTOCOL_T1, K::CheckBox, "Protocol T=1", {153, 61, 56, 9}, false, true},
    {IDC_OPTIMAL, K::RadioButtonFirst, "Optimal (Best communication parameters)", {210, 48, 149, 10}, false, true},
    {IDC_DEFAULT, K::RadioButton, "Default (Standard communication parameters)", {210, 61, 163, 10}, false, true},
    {IDC_STATUS_TREE, K::Tree, "", {94, 74, 271, 65}, false, true},
    {IDC_PICTURE_CARD, K::Picture, "", {126, 89, 171, 158}, true, true},
    {IDC_COMMAND_NAME_LABEL, K::Label, "Command Name", {94, 145, 56, 9}, false, true},
    {IDC_COMMAND_NAME, K::Edit, "", {165, 142, 145, 12}, false, true},
    {IDC_COMMAND, K::EditMultiUpper, "", {83, 159, 244, 48}, false, true},
    {IDC_ADD_COMMAND, K::IconButton, "", {332, 159, 37, 33}, false, false},
    {IDC_RESPONSE_FORMAT, K::IconButton, "", {83, 212, 38, 31}, true, false},
    {IDC_RESPONSE, K::EditMultiScroll, "", {122, 212, 244, 48}, false, true},
    {IDC_CONTROL_CODES, K::DropDownList, "", {122, 275, 244, 78}, false, true},
    {IDC_PICTURE_LOGO, K::Picture, "", {267, 291, 100, 25}, true, true},
}};
// A miscounted array would end in zero-filled entries.
static_assert(kControls.back().id == IDC_PICTURE_LOGO);

struct StringEntry {
    int id;
    std::string_view text;
};

constexpr std::array<StringEntry, 10> kStrings{{
    {IDS_ABOUTBOX, "&About Tav_PCSC..."},
    {IDS_USE_LOG_FILE, "Use Log File"},
    {IDS_OPEN_COMMAND_FILE, "Open Command File"},
    {IDS_CREATE_COMMAND_FILE, "Create NEW command file"},
    {IDS_PARSE_ATR, "Parse ATR without Smart Card."},
    {IDS_HIDE_TOOLTIPS, "Hide Tool Tips On Control."},
    {IDS_VERSION, "Version 2.0.0.0 / June 2010"},
    {IDS_SHOW_COMMAND_FILE, "Show Command File"},
    {IDS_TRANSMIT_COMMAND, "SCardTransmit"},
    {IDS_PLAY_COMMANDS, "Play SmartCard Commands"},
}};

constexpr std::array<ToolTipSpec, 19> kToolTips{{
    {IDC_EXIT, 109, "<h0>Leave Application."},
    {IDC_ESTABLISH, 110, "<h0>Establish a context with a PCSC reader."},
    {IDC_CONNECT, 111, "<h0>Make a connection with a SmartCard."},
    {IDC_RECONNECT, 112, "<h0>Do a Cold or a Warm Reset with the SmartCard connected."},
    {IDC_STATUS, 113, "<h0>Retrieve ATR from Smclib. The Smartcard won't be powered again."},
    {IDC_TRANSMIT, 114, "<h0>Send a APDU command to the SmartCard."},
    {IDC_CONTROL, 115, "<h0>Send a control command."},
    {IDC_DISCONNECT, 116,
     "<h0>Terminate a connection previously opened. Do not do anything special on SmartCard."},
    {IDC_RELEASE, 117, "<h0>Release the context with the PCSC Reader."},
    {IDC_ATTRIBUTES, 118, "<h0>Get specific attributes from the reader connected."},
    {IDC_ADD_COMMAND, 119, "<h0>Add the command in the file."},
    {IDC_RESPONSE_FORMAT, 120, "<h0>Convert Response in Ascii or Hexa mode."},
    {IDC_STATUS_LINE, 121,
     "<h0>Display Status of each Command sent ( SCardEstablish, ...). It also displays attributes."},
    {IDC_READER_LIST, 122, "<h0>Display the name of PCSC Reader(s) found. Select the reader to use."},
    {IDC_STATUS_TREE, 123, "<h0>Display Information about ATR."},
    {IDC_COMMAND_NAME, 124, "<h0>Enter the command name."},
    {IDC_COMMAND, 125, "<h0>Enter the command in Hexa."},
    {IDC_RESPONSE, 126, "<h0>Display the response returned by the Reader."},
    {IDC_CONTROL_CODES, 127, "<h0>Display all the I/O Control values used with SCardControl."},
}};

constexpr std::array<SysMenuEntry, 13> kSysMenu{{
    {0, 0},
    {IDM_USE_LOG_FILE, IDS_USE_LOG_FILE},
    {IDM_OPEN_COMMAND_FILE, IDS_OPEN_COMMAND_FILE},
    {IDM_CREATE_COMMAND_FILE, IDS_CREATE_COMMAND_FILE},
    {IDM_SHOW_COMMAND_FILE, IDS_SHOW_COMMAND_FILE},
    {0, 0},
    {ID_TRANSMIT, IDS_TRANSMIT_COMMAND},
    {ID_PLAY_COMMANDS, IDS_PLAY_COMMANDS},
    {0, 0},
    {IDM_PARSE_ATR, IDS_PARSE_ATR},
    {0, 0},
    {IDM_HIDE_TOOLTIPS, IDS_HIDE_TOOLTIPS},
    {IDM_ABOUTBOX, IDS_ABOUTBOX},
}};

constexpr std::array<MenuEntry, 2> kReconnectMenu{{
    {ID_COLD_RESET, "Cold Reset", false},
    {ID_WARM_RESET, "Warm Reset", false},
}};

constexpr std::array<MenuEntry, 22> kAttributeMenu{{
    {32832, "Serial Number", false},
    {32771, "Max IFSD", false},
    {32800, "Max Clk", false},
    {32801, "Max Data Rate", false},
    {32802, "Default Clk", false},
    {32803, "Default Data Rate", false},
    {32804, "Vendor Name", false},
    {32805, "Vendor IFD Type", false},
    {32806, "Vendor IFD Version", false},
    {32809, "Current BWT", false},
    {32810, "Current CWT", false},
    {32811, "Current Wx", false},
    {32812, "Current IFSC", false},
    {32813, "Current IFSD", false},
    {32831, "Driver Version", true},
    {32816, "Current Time Out", true},
    {32817, "Cold Reset Delay", true},
    {32818, "Current Voltage", true},
    {32819, "Firmware Version", true},
    {32820, "Manufacturer Name", true},
    {32821, "Original Filename", true},
    {32833, "Channel ID", false},
}};

// The control groups of the connection steps.
constexpr int kCommandArea[] = {IDC_COMMAND_NAME, IDC_COMMAND_NAME_LABEL, IDC_COMMAND, IDC_RESPONSE,
                                IDC_CONTROL_CODES, IDC_ADD_COMMAND};
constexpr int kConnectOptions[] = {IDC_SHARE_DIRECT, IDC_SHARE_SHARED, IDC_SHARE_EXCLUSIVE, IDC_PROTOCOL_T0,
                                   IDC_PROTOCOL_T1, IDC_OPTIMAL, IDC_DEFAULT};
constexpr int kShareBoxes[] = {IDC_SHARE_DIRECT, IDC_SHARE_EXCLUSIVE, IDC_SHARE_SHARED};
constexpr int kTree[] = {IDC_STATUS_TREE};
constexpr int kCardPicture[] = {IDC_PICTURE_CARD};
constexpr int kAttributes[] = {IDC_ATTRIBUTES};
constexpr int kConnect[] = {IDC_CONNECT};
constexpr int kEstablish[] = {IDC_ESTABLISH};
constexpr int kExit[] = {IDC_EXIT};
constexpr int kDisconnect[] = {IDC_DISCONNECT};
constexpr int kStatus[] = {IDC_STATUS};
constexpr int kResponseFormat[] = {IDC_RESPONSE_FORMAT};
constexpr int kExchange[] = {IDC_TRANSMIT, IDC_PLAY_COMMANDS};
constexpr int kReleaseConnect[] = {IDC_RELEASE, IDC_CONNECT};
constexpr int kReaderList[] = {IDC_READER_LIST, IDC_READER_LABEL};
constexpr int kCardButtons[] = {IDC_DISCONNECT, IDC_STATUS, IDC_RECONNECT, IDC_COLD_RESET, IDC_WARM_RESET};
constexpr int kCardGoneButtons[] = {IDC_RECONNECT, IDC_COLD_RESET, IDC_WARM_RESET, IDC_STATUS,
                                    IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_CONTROL};
constexpr int kDisconnectButtons[] = {IDC_RECONNECT, IDC_COLD_RESET, IDC_WARM_RESET, IDC_DISCONNECT,
                                      IDC_STATUS, IDC_CONTROL, IDC_RESPONSE_FORMAT};
constexpr int kStartEnabled[] = {IDC_EXIT, IDC_ESTABLISH};
constexpr int kStartDisabled[] = {IDC_ADD_COMMAND, IDC_RELEASE, IDC_CONNECT, IDC_CONTROL, IDC_TRANSMIT,
                                  IDC_PLAY_COMMANDS, IDC_STATUS, IDC_DISCONNECT, IDC_RESPONSE_FORMAT,
                                  IDC_COLD_RESET, IDC_WARM_RESET};
constexpr int kStartHidden[] = {IDC_ATTRIBUTES, IDC_STATUS_TREE, IDC_WARM_RESET, IDC_COLD_RESET};
constexpr int kReleaseButtons[] = {IDC_RELEASE, IDC_CONNECT, IDC_RECONNECT, IDC_COLD_RESET, IDC_WARM_RESET,
                                   IDC_CONTROL, IDC_TRANSMIT, IDC_PLAY_COMMANDS, IDC_STATUS, IDC_DISCONNECT,
                                   IDC_RESPONSE_FORMAT};

using A = ControlAction;

constexpr ControlChange kStartUp[] = {
    {A::Enable, kStartEnabled}, {A::Disable, kStartDisabled}, {A::Hide, kStartHidden},
    {A::Hide, kCommandArea},    {A::Hide, kConnectOptions},
};
constexpr ControlChange kEstablishing[] = {{A::Hide, kTree}, {A::Show, kCardPicture}};
constexpr ControlChange kEstablished[] = {
    {A::Show, kConnectOptions}, {A::Enable, kShareBoxes}, {A::Enable, kReleaseConnect},
    {A::Disable, kEstablish},   {A::Show, kReaderList},
};
constexpr ControlChange kConnectFailed[] = {{A::Hide, kAttributes}};
constexpr ControlChange kConnected[] = {
    {A::Disable, kConnect}, {A::Enable, kCardButtons}, {A::Show, kCommandArea},
    {A::Hide, kCardPicture}, {A::Show, kAttributes},
};
constexpr ControlChange kResetDone[] = {
    {A::Enable, kDisconnect}, {A::Disable, kConnect}, {A::Enable, kStatus}, {A::Show, kCommandArea},
};
constexpr ControlChange kCardGone[] = {
    {A::Hide, kCommandArea}, {A::Hide, kTree}, {A::Enable, kConnect}, {A::Disable, kCardGoneButtons},
};
constexpr ControlChange kResetFailed[] = {{A::Hide, kAttributes}};
constexpr ControlChange kStatusFailed[] = {{A::Disable, kResponseFormat}};
constexpr ControlChange kDisconnected[] = {
    {A::Disable, kExchange},   {A::Enable, kConnect},   {A::Disable, kDisconnectButtons},
    {A::Show, kCardPicture},   {A::Hide, kAttributes},  {A::Hide, kCommandArea},
    {A::Hide, kTree},          {A::Enable, kShareBoxes},
};
constexpr ControlChange kReleased[] = {
    {A::Enable, kExit},       {A::Disable, kReleaseButtons}, {A::Enable, kEstablish},
    {A::Hide, kCommandArea},  {A::Enable, kShareBoxes},      {A::Hide, kTree},
    {A::Show, kCardPicture},  {A::Hide, kAttributes},        {A::Hide, kConnectOptions},
};

}  // namespace

std::span<const ControlChange> ControlChanges(ConnectionStep step) {
    switch (step) {
    case ConnectionStep::StartUp: return kStartUp;
    case ConnectionStep::Establishing: return kEstablishing;
    case ConnectionStep::Established: return kEstablished;
    case ConnectionStep::ConnectFailed: return kConnectFailed;
    case ConnectionStep::Connected: return kConnected;
    case ConnectionStep::ResetDone: return kResetDone;
    case ConnectionStep::CardGone: return kCardGone;
    case ConnectionStep::ResetFailed: return kResetFailed;
    case ConnectionStep::StatusFailed: return kStatusFailed;
    case ConnectionStep::Disconnected: return kDisconnected;
    case ConnectionStep::Released: return kReleased;
    }
    return {};
}

std::span<const ControlSpec> ConsoleControls() { return kControls; }

std::string_view LoadString(int id) {
    for (const StringEntry& s : kStrings) {
        if (s.id == id) return s.text;
    }
    for (const ToolTipSpec& t : kToolTips) {
        if (t.stringId == id) return t.text;
    }
    return {};
}

std::span<const ToolTipSpec> ConsoleToolTips() { return kToolTips; }
std::span<const SysMenuEntry> SystemMenuEntries() { return kSysMenu; }
std::span<const MenuEntry> ReconnectMenu() { return kReconnectMenu; }
std::span<const MenuEntry> AttributeMenu() { return kAttributeMenu; }

std::string ReaderWithFeatures(std::string_view name, int featureCount) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, " PCSC V2 with %d Feature(s)", featureCount);
    std::string text(name);
    text += suffix;
    return text;
}

bool IsMakerText(std::string_view vendorText) {
    std::string upper(vendorText);
    std::transform(upper.begin(), upper.end(), upper.begin(), FoldCase);
    return upper.find("TAV") != std::string::npos;
}

}  // namespace console
