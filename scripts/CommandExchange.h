// One APDU exchange of a command text, as the console's command field sends
// it: the text read with HexToBytes (its verdict not consulted: the bytes it
// reported are sent, none included), the answer as spaced hexadecimal, the
// log record written, and a bare two-byte answer spelled out as its status
// word. The console's TransmitCommand and cardbench-run both exchange so.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "readerlink/ReaderLink.h"
#include "scripts/LogFile.h"

struct ExchangeOutcome {
    static constexpr std::size_t kBufferSize = 512;  // each way; the field holds at most 260 bytes

    PcscResult result = 0;
    std::array<std::uint8_t, kBufferSize> sent{};
    unsigned sentLength = 0;
    std::array<std::uint8_t, kBufferSize> answer{};
    unsigned answerLength = 0;  // 0 after a failure
    std::string answerText;     // spaced hexadecimal, or "xx xx xx xx xx"; what the log holds
    std::string shownText;      // what the response field shows
    LogFailure logFailure = LogFailure::None;
    std::chrono::nanoseconds roundTrip{0};  // SCardTransmit alone, by the steady clock
};

// log: null when logging is off.
ExchangeOutcome ExchangeCommandText(CReaderLink& link, std::string_view commandText, CLogFile* log);
// The same for bytes already read from commandText (a player that sends the
// same texts many times reads each once).
ExchangeOutcome ExchangeCommandBytes(CReaderLink& link, const std::uint8_t* bytes, unsigned length,
                                     std::string_view commandText, CLogFile* log);
