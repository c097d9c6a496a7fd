// SPDX-License-Identifier: BSD-3-Clause
// The keypad and display features of a PIN-pad reader as plain rules: the
// requests of FEATURE_GET_KEY, FEATURE_WRITE_DISPLAY and
// FEATURE_SET_SPE_MESSAGE, what each key byte does to the key windows, the
// display limits and line wrap of the message window, the property answers,
// and where a feature window is placed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace features {

// Key bytes of FEATURE_GET_KEY_PRESSED.
enum KeyPressed : std::uint8_t {
    kNoKey = 0x00,
    kDigitKey = 0x2B,
    kCorrectionKey = 0x08,
    kValidationKey = 0x0D,
    kCancelKey = 0x1B,
    kSpeTimeout = 0x0E,
};
// Key bytes of FEATURE_GET_KEY with a meaning of their own.
enum GetKeyByte : std::uint8_t { kClearKey = 0x08, kEnterKey = 0x0D, kEscapeKey = 0x1B, kGetKeyTimeout = 0xFE };

// Answer sizes offered to the reader.
inline constexpr std::size_t kKeyAnswerSize = 12;
inline constexpr std::size_t kDisplayPropertiesAnswerSize = 12;
inline constexpr std::size_t kPinPropertiesAnswerSize = 24;
inline constexpr std::size_t kMessageAnswerSize = 100;
// The longest text a length byte can say.
inline constexpr std::size_t kMaxMessageLength = 255;

inline constexpr std::string_view kEnterText = "Enter Button";
inline constexpr std::string_view kCorrectionText = "Correction/Backspace button";
inline constexpr std::string_view kCancelText = "Cancel Button";
inline constexpr std::string_view kSpeTimeoutText = "TimeOut finished SPE operation";
inline constexpr std::string_view kMaxSizeText = "Max Size reached";
inline constexpr std::string_view kNoKeyText = "No key since last call";
inline constexpr std::string_view kNoDisplaySizeText = "Display size unknown: an empty message was sent";

// --- "Get Key Pressed": the key history that follows a PIN entry ---------
struct KeyHistory {
    static constexpr int kCells = 16;
    std::array<std::string, kCells> cells;  // one character each; blank = " "
    std::string lastReceive = " ";
    int count = 0;         // digits shown
    int entriesDone = 0;
    int entriesExpected = 0;
    int maximum = 0;       // wPINMaxExtraDigit's low byte (YY), its first in the structure
    bool stopAtMaximum = false;  // bit 0 of the validation byte

    // maxExtraDigit: the field's two bytes in the structure's (little-endian) order.
    KeyHistory(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtraDigit);
    void BlankCells();
};

struct PollStep {
    bool pauseAfterCancel = false;  // wait 500 ms before blanking
    bool finished = false;          // the loop ends after this pass
};
// One pass of the key loop: the key byte read and the result of the read.
PollStep PollKeysStep(KeyHistory& history, std::uint8_t key, long result);

// --- "GetKey": one key per press -------------------------------------------
struct KeyCells {
    std::array<std::string, 4> cells{" ", " ", " ", " "};
    std::string message = " ";
};
void PollKeyOnceStep(KeyCells& cells, std::uint8_t key);

// --- "GET KEY": the key loop of FEATURE_GET_KEY ----------------------------
std::string GetKeyText(std::uint8_t key);      // " Clear ", " Enter ", ..., or the character
std::string GetKeyCodeText(std::uint8_t key);  // "%02x"
bool GetKeyLoopEnds(std::uint8_t key, long result);
std::vector<std::uint8_t> GetKeyRequest(std::uint8_t timeout);

// --- Display ----------------------------------------------------------------
struct DisplayLimits {
    std::uint8_t characters = 0;
    std::uint8_t lines = 0;
    int Total() const { return characters * lines; }
};
// wLcdMaxCharacters and wLcdMaxLines by their low bytes (bytes 0 and 2);
// bytes the reader did not send count as zero.
DisplayLimits ReadDisplayLimits(const std::uint8_t* answer, std::size_t returned);

// What the message field does when its current line changed: line number k
// (from 1) of length n.
struct WrapAction {
    bool insertBreak = false;
    int position = 0;         // where CR LF goes
    bool raiseLimitBy2 = false;
    bool resetLimit = false;  // back to characters x lines
};
WrapAction WrapMessageLine(int n, int k, const DisplayLimits& limits);

// The text WriteDisplay sends: past the display's size the line breaks go
// and the text is cut to it; never longer than the length byte can say.
std::string DisplayMessage(std::string_view fieldText, const DisplayLimits& limits);
std::vector<std::uint8_t> WriteDisplayRequest(std::uint8_t displayTime, std::string_view text);
std::vector<std::uint8_t> SpeMessageRequest(std::uint8_t index, std::string_view text);

// --- Properties -----------------------------------------------------------
struct DisplayPropertiesText {
    std::string characters;
    std::string lines;
};
DisplayPropertiesText DisplayPropertiesOf(const std::uint8_t* answer, std::size_t returned);

struct PinPropertiesText {
    std::string layout;  // "%d_%d"
    std::string characters;
    std::string lines;
    std::string validation;
    std::string timeOut;
};
// The first read fills the layout, the validation condition and the time out.
PinPropertiesText PinPropertiesOf(const std::uint8_t* answer, std::size_t returned);
// The re-read (Enter) also fills the display size; an 8-byte answer is read
// in its long layout.
PinPropertiesText RereadPinPropertiesOf(const std::uint8_t* answer, std::size_t returned);

// --- Placement --------------------------------------------------------------
struct WindowPlace {
    int x, y, width, height;
};
// x = screen width - client width - dx, y likewise; size (client width - 5,
// client height + 10); kept wholly on a screen too small for the offsets.
WindowPlace PlaceFeatureWindow(int screenWidth, int screenHeight, int clientWidth, int clientHeight, int dx, int dy);

}  // namespace features
