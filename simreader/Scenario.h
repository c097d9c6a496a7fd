// SPDX-License-Identifier: BSD-3-Clause
// What one simulated reader knows: the parsed scenario file. Plain data; the
// reader behaviour (SimReader) acts on it and the parser (ScenarioParser)
// fills it. Answer sequences carry their own position, so a copy of the
// scenario is the whole scripted state of one reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "PinPad.h"

namespace simreader {

using Bytes = std::vector<std::uint8_t>;

// One reply: bytes, or an IFD handler error code (IFD_* of ifdhandler.h).
struct Answer {
    bool isError = false;
    std::uint32_t error = 0;
    Bytes bytes;
};

// Successive replies to the same request; the last one repeats.
struct AnswerSeq {
    std::vector<Answer> steps;
    std::size_t next = 0;

    const Answer& Take();
    bool Empty() const { return steps.empty(); }
};

// An answer chosen by the longest matching prefix of the request.
struct PrefixRule {
    Bytes prefix;
    AnswerSeq answer;
    int line = 0;
};

struct ControlRule {
    std::uint32_t code = 0;
    PrefixRule rule;
};

struct AttrRule {
    std::uint32_t tag = 0;
    AnswerSeq answer;
};

struct Feature {
    std::uint8_t tag = 0;
    std::uint32_t code = 0;
};

inline constexpr std::uint32_t kProtocolT0 = 1;  // SCARD_PROTOCOL_T0
inline constexpr std::uint32_t kProtocolT1 = 2;  // SCARD_PROTOCOL_T1

struct Scenario {
    std::string sourceFile;  // for messages
    int slots = 1;
    std::string cardFile;    // card present while this file exists; empty: always present
    std::string traceFile;   // empty: no trace
    AnswerSeq coldAtr;       // power up
    AnswerSeq warmAtr;       // IFD_RESET on a powered card; empty: same as coldAtr
    std::uint32_t protocols = kProtocolT0 | kProtocolT1;  // accepted by SetProtocolParameters
    std::vector<PrefixRule> apdus;
    AnswerSeq apduDefault;
    std::vector<ControlRule> controls;
    AnswerSeq controlDefault;
    std::vector<AttrRule> attrs;
    std::vector<Feature> features;
    KeypadScripts keypad;    // what the user types for each PIN operation; empty: no PIN pad
};

// Limits that keep a hostile scenario file from exhausting the daemon.
inline constexpr std::size_t kMaxScenarioFileSize = 4u << 20;
inline constexpr std::size_t kMaxLineLength = 256u << 10;
inline constexpr std::size_t kMaxByteString = 65544;  // largest extended APDU answer pcsc-lite carries
inline constexpr std::size_t kMaxRules = 4096;
inline constexpr std::size_t kMaxSteps = 1024;
inline constexpr std::size_t kMaxAtr = 33;             // MAX_ATR_SIZE
inline constexpr std::size_t kMaxFeatures = 255;       // every tag once; more than one 255-byte answer holds

}  // namespace simreader
