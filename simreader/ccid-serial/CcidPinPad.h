// SPDX-License-Identifier: BSD-3-Clause
// The firmware of the emulated serial CCID PIN pad: one slot, TPDU exchanges,
// the escape commands the driver sends at start-up, and the Secure command
// for PIN verify and modify. The card and the keypad's user come from a
// scenario file, through the same card engine and PIN-pad logic as the
// simulated IFD handler.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "PinPad.h"
#include "Scenario.h"
#include "SimCard.h"

namespace ccidserial {

using simreader::Bytes;

// bError values of the answers.
inline constexpr std::uint8_t kErrCommandNotSupported = 0x00;
inline constexpr std::uint8_t kErrBadSlot = 0x05;           // offset of bSlot
inline constexpr std::uint8_t kErrBadPinStructure = 0x0B;   // offset of the PIN structure's data
inline constexpr std::uint8_t kErrPinCancelled = 0xEF;
inline constexpr std::uint8_t kErrPinTimeout = 0xF0;
inline constexpr std::uint8_t kErrIccMute = 0xFE;

// What the firmware-version escape (02) answers; the driver keeps it in a
// buffer of 50 bytes together with a terminator.
inline constexpr char kFirmwareText[] = "Bench CCID PinPad 1.00";

class CcidPinPad {
public:
    // trace: file for one line per PIN operation and refusal (empty: none).
    CcidPinPad(const simreader::Scenario& s, std::string trace);

    // The answer to one CCID message (at least its 10-byte header).
    Bytes Handle(const Bytes& message);

    // The card's presence when it changed since the last call: 1 inserted,
    // 0 removed, -1 unchanged.
    int PresenceChange();

    // How the pad waits while its user types (replaced in tests).
    std::function<void(unsigned ms)> sleep;

private:
    Bytes SlotStatus(const Bytes& m, std::uint8_t error, bool failed);
    Bytes DataBlock(const Bytes& m, const Bytes& data);
    Bytes Failed(std::uint8_t type, const Bytes& m, std::uint8_t error);
    Bytes PowerOn(const Bytes& m);
    Bytes Transfer(const Bytes& m);
    Bytes Escape(const Bytes& m);
    Bytes Secure(const Bytes& m);
    Bytes Parameters(const Bytes& m, std::uint8_t protocol, const Bytes& data);
    std::uint8_t IccStatus();
    void Trace(const std::string& line);

    simreader::SimCard m_card;
    simreader::KeypadScripts m_keypad;
    std::string m_trace;
    bool m_lastPresent = false;
};

}  // namespace ccidserial
