// SPDX-License-Identifier: BSD-3-Clause
// The one rule that concludes every exchange of the console and the runner,
// whatever its path (APDU, control, attribute, secure PIN, status): the text
// the response field or the status line shows, the answer the log record
// holds, and the bytes the last-response store keeps. A failed exchange of
// any kind shows "xx xx xx xx xx"; the APDU exchange logs that text, the
// others log the failure's result text.
//
// ExchangeCommandText is the APDU exchange of a command text, as the
// console's command field sends it: the text read with HexToBytes (its
// verdict not consulted: the bytes it reported are sent, none included), a
// bare two-byte answer spelled out as its status word.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "readerlink/ReaderLink.h"
#include "scripts/LogFile.h"

enum class ExchangePath {
    Apdu,               // "SCardTransmit"
    Control,            // "SCardControl"
    StandardAttribute,  // "SCardGetAttrib": the value goes to the status line
    VendorAttribute,    // "SCardControl": the value goes to the status line
    SecurePin,          // the four PIN operations, each with its own log name
    Status,             // "SCardStatus Request": a short record of the ATR
};

struct ExchangeOutcome {
    static constexpr std::size_t kBufferSize = 512;  // each way; the field holds at most 260 bytes

    PcscResult result = 0;
    std::array<std::uint8_t, kBufferSize> sent{};
    unsigned sentLength = 0;
    std::array<std::uint8_t, kBufferSize> answer{};
    unsigned answerLength = 0;  // what the store keeps; 0 after a failed APDU
    std::string answerText;     // what the log record holds as its answer
    std::string shownText;      // what the response field (or, with toStatusLine, the status line) shows
    bool toStatusLine = false;  // an attribute's value: the response field keeps its text
    bool clearsResponse = false;  // a standard attribute read: an earlier failure's mark goes
    bool showsResponse = true;  // false: neither field changes (a status record)
    bool stored = false;        // the answer replaces the last-response store
    LogFailure logFailure = LogFailure::None;
    std::chrono::nanoseconds roundTrip{0};  // SCardTransmit alone, by the steady clock
};

// Concludes one exchange. operation names the log record (unused for
// Status); value is an attribute's formatted value, or the ATR text of a
// status record. log: null when logging is off.
ExchangeOutcome ConcludeExchange(ExchangePath path, std::string_view operation, std::string_view command,
                                 PcscResult result, const std::uint8_t* answer, unsigned answerLength,
                                 CLogFile* log, std::string_view value = {});

// log: null when logging is off.
ExchangeOutcome ExchangeCommandText(CReaderLink& link, std::string_view commandText, CLogFile* log);
// The same for bytes already read from commandText (a player that sends the
// same texts many times reads each once).
ExchangeOutcome ExchangeCommandBytes(CReaderLink& link, const std::uint8_t* bytes, unsigned length,
                                     std::string_view commandText, CLogFile* log);
