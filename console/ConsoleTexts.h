// SPDX-License-Identifier: BSD-3-Clause
// The console window's fixed data: its control table, string table, tooltip
// table, system-menu and menu commands. The window builds itself from these;
// no text or geometry lives in window code. Texts are code page 1252.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "widgets/DialogLayout.h"

namespace console {

// Dialog 102.
inline constexpr std::string_view kDialogCaption = "Tav_PCSC";
inline constexpr std::string_view kDialogFont = "Tahoma";
inline constexpr int kDialogFontPoints = 8;
inline constexpr int kDialogWidthDu = 375;
inline constexpr int kDialogHeightDu = 322;

// Control identifiers of dialog 102.
enum ControlId : int {
    IDC_EXIT = 2,
    IDC_CONTROL = 3,
    IDC_ESTABLISH = 1000,
    IDC_STATUS_LINE = 1001,
    IDC_RELEASE = 1002,
    IDC_CONNECT = 1003,
    IDC_DISCONNECT = 1004,
    IDC_RECONNECT = 1005,
    IDC_STATUS = 1007,
    IDC_COMMAND = 1010,
    IDC_RESPONSE = 1011,
    IDC_READER_LIST = 1014,
    IDC_CONTROL_CODES = 1015,
    IDC_PICTURE_LOGO = 1016,
    IDC_STATUS_LABEL = 1017,
    IDC_COMMAND_NAME = 1018,
    IDC_ADD_COMMAND = 1019,
    IDC_READER_LABEL = 1037,
    IDC_STATUS_TREE = 1039,
    IDC_PICTURE_CARD = 1040,
    IDC_PROTOCOL_T0 = 1041,
    IDC_PROTOCOL_T1 = 1042,
    IDC_OPTIMAL = 1046,
    IDC_DEFAULT = 1047,
    IDC_RESPONSE_FORMAT = 1048,
    IDC_ATTRIBUTES = 1049,
    IDC_SHARE_EXCLUSIVE = 1052,
    IDC_SHARE_SHARED = 1053,
    IDC_SHARE_DIRECT = 1054,
    IDC_PLAY_COMMANDS = 1055,
    IDC_WARM_RESET = 1056,
    IDC_COLD_RESET = 1057,
    IDC_TRANSMIT = 1058,
    IDC_COMMAND_NAME_LABEL = -1,  // the static without an identifier of its own
};

enum class ControlKind {
    PushButton,
    DropDownButton,
    DropDownIconButton,
    IconButton,
    CheckBox,
    RadioButtonFirst,
    RadioButton,
    Label,
    Edit,
    EditMultiUpper,
    EditMultiScroll,
    DropDownList,
    Tree,
    Picture,
};

struct ControlSpec {
    int id;
    ControlKind kind;
    std::string_view text;
    DialogRect rect;
    bool visible;  // after start-up
    bool enabled;  // after start-up
};

// Every control of dialog 102, in template order.
std::span<const ControlSpec> ConsoleControls();

// The steps of the connection workflow that change which controls are
// enabled or shown. The window's state is what these leave in the controls.
enum class ConnectionStep {
    StartUp,
    Establishing,   // whatever the listing then gives
    Established,    // the listing succeeded
    ConnectFailed,
    Connected,
    ResetDone,
    CardGone,       // a reset or a status step failed: connectable again, "SCardDisconnect" kept
    ResetFailed,    // after CardGone, for a failed reset
    StatusFailed,   // after CardGone, for a failed status step
    Disconnected,
    Released,
};

enum class ControlAction { Enable, Disable, Show, Hide };

// One change: an action on a group of controls. A step's changes apply in
// order, as the order decides where the focus goes.
struct ControlChange {
    ControlAction action;
    std::span<const int> ids;
};
std::span<const ControlChange> ControlChanges(ConnectionStep step);

// String table entries the console uses.
enum StringId : int {
    IDS_ABOUTBOX = 101,
    IDS_USE_LOG_FILE = 104,
    IDS_OPEN_COMMAND_FILE = 105,
    IDS_CREATE_COMMAND_FILE = 106,
    IDS_PARSE_ATR = 128,
    IDS_HIDE_TOOLTIPS = 129,
    IDS_VERSION = 131,
    IDS_SHOW_COMMAND_FILE = 132,
    IDS_TRANSMIT_COMMAND = 133,
    IDS_PLAY_COMMANDS = 134,
};
// The text of a string resource; empty for an unknown id.
std::string_view LoadString(int id);

struct ToolTipSpec {
    int controlId;
    int stringId;
    std::string_view text;
};
std::span<const ToolTipSpec> ConsoleToolTips();

// Tooltip timing of the console's tooltip control.
inline constexpr int kToolTipDelayMs = 100;
inline constexpr int kToolTipDisplayMs = 6000;

// System-menu commands (dispatched with the low four bits cleared).
enum SysCommand : unsigned {
    IDM_ABOUTBOX = 0x0010,
    IDM_USE_LOG_FILE = 0x0020,
    IDM_OPEN_COMMAND_FILE = 0x0040,
    IDM_CREATE_COMMAND_FILE = 0x0080,
    IDM_PARSE_ATR = 0x00A0,
    IDM_HIDE_TOOLTIPS = 0x00B0,
    IDM_SHOW_COMMAND_FILE = 0x00C0,  // brings a closed command-file window back
};

// One system-menu entry appended at start-up; command 0 is a separator. The
// players' menu commands (ID_TRANSMIT, ID_PLAY_COMMANDS) sit there too, and
// arrive whole rather than as system commands.
struct SysMenuEntry {
    unsigned command;
    int stringId;
};
std::span<const SysMenuEntry> SystemMenuEntries();

// Menu commands of the drop-down buttons.
enum MenuCommand : int {
    ID_COLD_RESET = 32825,
    ID_WARM_RESET = 32826,
    ID_TRANSMIT = 32830,
    ID_PLAY_COMMANDS = 32829,
};

struct MenuEntry {
    int command;
    std::string_view text;
    bool vendor;  // read through the vendor attribute control code
};
// The reconnect drop-down: "Cold Reset", "Warm Reset".
std::span<const MenuEntry> ReconnectMenu();
// Menu 164, the reader-attribute drop-down, in menu order.
std::span<const MenuEntry> AttributeMenu();

// The window background (the fields take kFieldRgb).
inline constexpr std::uint32_t kBackgroundRgb = 0xCCCCCC;  // RGB(204, 204, 204)

// Version text font: "Verdana", 9 pixels, bold.
inline constexpr std::string_view kVersionFont = "Verdana";
inline constexpr int kVersionFontPixels = 9;

inline constexpr std::string_view kNarrowScreenWarning = "Recommended Minimal screen resolution is 800*600";
inline constexpr int kMinimalScreenWidth = 800;
inline constexpr std::string_view kTrayTip = "Tav_PCSC";
inline constexpr std::string_view kDefaultCommandFile = "Tav_PCSC.phb";
inline constexpr std::string_view kAboutCaption = "About Box";

// The reader-list entry of the connected reader once its features are known:
// the name followed by " PCSC V2 with %d Feature(s)".
std::string ReaderWithFeatures(std::string_view name, int featureCount);

// Whether a vendor text names one of the kit maker's readers ("TAV" in any case).
bool IsMakerText(std::string_view vendorText);

}  // namespace console
