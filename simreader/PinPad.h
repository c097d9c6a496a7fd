// SPDX-License-Identifier: BSD-3-Clause
// The simulated reader as a PIN pad: what the scripted user types on the
// keypad, the secure PIN requests it reads (the part 10 verify and modify
// structures and the maker's two shorter layouts), and the PIN formatted and
// inserted into the card command as the request says. Plain logic over bytes
// and times; SimReader does the waiting and talks to the card.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace simreader {

using Bytes = std::vector<std::uint8_t>;

// One thing the scripted user does: press a key, or only let time pass.
struct KeyPress {
    enum Kind : std::uint8_t { Digit, Clear, Enter, Cancel, Timeout, Pause } kind = Pause;
    std::uint8_t digit = 0;  // 0 to 9 for Digit
    unsigned waitMs = 0;     // time before this key
};

// What the user does during one PIN operation.
using KeyScript = std::vector<KeyPress>;

// Successive PIN operations take successive scripts; the last one repeats.
struct KeypadScripts {
    std::vector<KeyScript> steps;
    std::size_t next = 0;
    unsigned paceMs = 0;  // time every key takes on top of its own wait

    bool Empty() const { return steps.empty(); }
    const KeyScript& Take();
};

// Words of one script: digits ("1234" or "1"), "enter", "clear", "cancel",
// "timeout", "wait:<ms>". False with a reason for anything else.
bool ParseKeyScript(const std::vector<std::string>& words, KeyScript& out, std::string& why);

// CcidVerify and CcidModify: the data of a CCID Secure command after its
// bPINOperation byte, as the serial PIN pad's firmware reads them (the modify
// form always carries the three message indexes).
enum class PinLayout { PcscVerify, PcscModify, VendorVerify, VendorModify, CcidVerify, CcidModify };

// The fields of a request that the pad acts on.
struct PinParams {
    bool modify = false;
    std::uint8_t formatString = 0;
    std::uint8_t blockString = 0;
    std::uint8_t lengthFormat = 0;
    std::uint8_t offsetOld = 0;
    std::uint8_t offsetNew = 0;
    std::uint8_t maxDigits = 0;  // low byte of wPINMaxExtraDigit; 0: no maximum
    std::uint8_t minDigits = 0;  // high byte
    std::uint8_t confirmPin = 0;
    std::uint8_t validation = 0;
    Bytes apdu;
};

// Reads a request of the given layout. The part 10 layouts must carry as many
// APDU bytes as their length field says.
bool ParsePinRequest(PinLayout layout, const std::uint8_t* in, std::size_t length, PinParams& out, std::string& why);

// Status words a PIN pad gives for an operation that did not reach the card.
inline constexpr std::uint16_t kSwPinTimeout = 0x6400;
inline constexpr std::uint16_t kSwPinCancelled = 0x6401;
inline constexpr std::uint16_t kSwPinMismatch = 0x6402;   // new PIN and its confirmation differ
inline constexpr std::uint16_t kSwPinLengthWrong = 0x6403;

// Key codes the pad reports while it takes a PIN (FEATURE_GET_KEY_PRESSED).
inline constexpr std::uint8_t kKeyDigit = 0x2B;
inline constexpr std::uint8_t kKeyClear = 0x08;
inline constexpr std::uint8_t kKeyEnter = 0x0D;
inline constexpr std::uint8_t kKeyCancel = 0x1B;
inline constexpr std::uint8_t kKeyTimeout = 0x0E;

struct KeyStroke {
    unsigned atMs = 0;  // from the start of the operation
    std::uint8_t code = 0;
};

// The outcome of the user's typing for one operation.
struct PinEntry {
    std::uint16_t sw = 0;             // 0: every PIN was entered; else one of kSwPin...
    std::vector<std::string> pins;    // digits of each entry, in order ('0' to '9')
    std::vector<KeyStroke> strokes;   // every key, as the pad reports it
    unsigned durationMs = 0;          // when the operation ended
};

// How many PINs the operation asks for: one to verify; to modify the current
// one (bConfirmPIN bit 1), the new one, and its confirmation (bit 0).
std::size_t PinEntriesWanted(const PinParams& p);

PinEntry TypePins(const KeyScript& script, unsigned paceMs, const PinParams& p);

// Puts one PIN into the APDU as bmFormatString, bmPINBlockString and
// bmPINLengthFormat say, offsetBytes further into the command data.
enum class InsertResult { Ok, PinTooLong, OutsideApdu };
InsertResult InsertPin(Bytes& apdu, const std::string& digits, const PinParams& p, unsigned offsetBytes,
                       std::string& why);

// The command the card gets: the PIN (verify), or the current and new PINs
// (modify) inserted. sw is set when the pad answers itself instead.
bool BuildCardApdu(const PinParams& p, const PinEntry& entry, Bytes& apdu, std::uint16_t& sw, std::string& why);

}  // namespace simreader
