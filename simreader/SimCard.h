// SPDX-License-Identifier: BSD-3-Clause
// The scenario's card, shared by both simulated readers (the IFD handler and
// the serial CCID PIN pad): presence from the flag file, power and ATR, the
// answers to commands, and the command a PIN pad builds from the typed PIN.
// Not locked: each reader serialises its own calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "PinPad.h"
#include "Scenario.h"

namespace simreader {

class SimCard {
public:
    explicit SimCard(const Scenario& s);

    // Present while the scenario's card file exists (always without one).
    // A card found absent is powered down.
    bool Present();
    bool Powered() const { return m_powered; }
    const Bytes& Atr() const { return m_atr; }

    // Power up, or with warm a reset of a powered card (a warm reset of an
    // unpowered card is a power up). The ATR step's answer; an error step
    // leaves the card unpowered.
    const Answer& PowerUp(bool warm);
    void PowerDown();

    // The card's answer to a command: the longest matching apdu prefix, else
    // apdu-default, else 6D 00.
    const Answer& Respond(const std::uint8_t* tx, std::size_t length);

    // What a PIN pad's operation ends in: the pad's own status word, the
    // card's answer to the command with the PIN inserted, or a refusal.
    struct PinOutcome {
        enum Kind { PadWord, CardAnswer, Refused, NoCard, NotPowered } kind = Refused;
        Bytes bytes;              // PadWord: the two status bytes
        const Answer* answer = nullptr;  // CardAnswer
        std::string note;         // Refused: why; CardAnswer: the command sent, in HexText form
    };
    PinOutcome PinExchange(const PinParams& p, const PinEntry& entry);

private:
    std::string m_cardFile;
    AnswerSeq m_coldAtr;
    AnswerSeq m_warmAtr;
    std::vector<PrefixRule> m_apdus;
    AnswerSeq m_apduDefault;
    bool m_powered = false;
    Bytes m_atr;
};

// True when data begins with prefix (an empty prefix matches anything).
bool IsPrefix(const Bytes& prefix, const std::uint8_t* data, std::size_t length);

// Spaced upper-case hexadecimal, the trace's form of bytes.
std::string HexText(const std::uint8_t* data, std::size_t length);

// Appends one line to a trace file with one write, so a reader of the file
// never sees half a line. No-op for an empty file name.
void AppendTraceLine(const std::string& file, const std::string& line);

}  // namespace simreader
