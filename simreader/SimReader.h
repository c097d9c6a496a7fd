// SPDX-License-Identifier: BSD-3-Clause
// The behaviour of one simulated PIN-pad reader: card presence from a flag
// file, power and resets, protocol choice, scripted APDU and control-code
// answers, attributes, the part 10 feature list, and the call trace.
// Return values are IFD handler codes (IFD_* of ifdhandler.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "Scenario.h"
#include "SimCard.h"

namespace simreader {

class SimReader {
public:
    // label prefixes every trace line (the daemon's logical unit number);
    // a non-empty traceOverride replaces the scenario's trace file.
    SimReader(Scenario scenario, std::string label, const std::string& traceOverride);

    long Presence();
    long Power(unsigned long action, std::uint8_t* atr, std::size_t atrSize, std::size_t* atrLength);
    long SetProtocol(unsigned long protocol);
    long Transmit(const std::uint8_t* tx, std::size_t txLength, std::uint8_t* rx, std::size_t* rxLength,
                  unsigned long* protocolUsed);
    long Control(unsigned long code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                 std::size_t outSize, std::size_t* returned);
    long GetCapabilities(unsigned long tag, std::uint8_t* value, std::size_t* length);

    // Appends one line to the trace file (no-op without one).
    void Trace(const std::string& text);

    // The part 10 feature list in its TLV form: tag, 04, code big-endian.
    static Bytes FeatureList(const Scenario& s);

private:
    bool CardPresent() { return m_card.Present(); }
    long Reply(const Answer& a, std::uint8_t* out, std::size_t outSize, std::size_t* returned);
    // The card's answer to a command, from the apdu lines.
    long CardAnswer(const std::uint8_t* tx, std::size_t txLength, std::uint8_t* rx, std::size_t rxSize,
                    std::size_t* rxLength);

    // The PIN pad (SimReaderPinPad.cpp). True when it took the call; rv is
    // then the call's result.
    bool PinPadControl(unsigned long code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                       std::size_t outSize, std::size_t* returned, long& rv);
    long PinToCard(const PinParams& p, const PinEntry& entry, std::uint8_t* out, std::size_t outSize,
                   std::size_t* returned);

    // A PIN operation begun by a _START code, until its _FINISH.
    struct PendingPin {
        bool active = false;
        PinParams params;
        PinEntry entry;
        std::chrono::steady_clock::time_point start;
        std::size_t nextStroke = 0;
    };
    PendingPin m_pendingPin;
    // The code the scenario reports for a feature tag; 0 when none.
    std::uint32_t FeatureCode(std::uint8_t tag) const;
    // Keeps and traces what a display or PIN-message request shows.
    void ShowOnDisplay(unsigned long code, const std::uint8_t* in, std::size_t inLength);

    std::mutex m_lock;
    Scenario m_s;
    SimCard m_card;
    std::string m_label;
    std::string m_trace;
    unsigned long m_protocol = 0;
    Bytes m_display;  // the text the display shows
};

}  // namespace simreader
