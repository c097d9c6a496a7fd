// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandExchange.h"

#include <algorithm>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"
#include "readerlink/ResultText.h"

namespace {
constexpr char kFailedAnswer[] = "xx xx xx xx xx";
constexpr std::string_view kStatusRecord = "SCardStatus Request";
}  // namespace

ExchangeOutcome ConcludeExchange(ExchangePath path, std::string_view operation, std::string_view command,
                                 PcscResult result, const std::uint8_t* answer, unsigned answerLength,
                                 CLogFile* log, std::string_view value) {
    ExchangeOutcome outcome;
    outcome.result = result;
    const bool ok = result == SCARD_S_SUCCESS;
    const unsigned count = answer ? std::min<unsigned>(answerLength, ExchangeOutcome::kBufferSize) : 0;
    if (count > 0) std::copy_n(answer, count, outcome.answer.begin());
    outcome.answerLength = count;
    switch (path) {
    case ExchangePath::Status:
        outcome.showsResponse = false;
        if (log) outcome.logFailure = log->WriteShortRecord(kStatusRecord, value);
        return outcome;
    case ExchangePath::StandardAttribute:
    case ExchangePath::VendorAttribute:
        outcome.toStatusLine = ok;
        outcome.clearsResponse = ok && path == ExchangePath::StandardAttribute;
        outcome.shownText = ok ? std::string(value) : kFailedAnswer;
        break;
    case ExchangePath::Apdu:
        if (!ok) {
            outcome.answer.fill(0);
            outcome.answerLength = 0;
        }
        [[fallthrough]];
    case ExchangePath::Control:
    case ExchangePath::SecurePin:
        outcome.shownText = ok ? CHexCodec().BytesToHex(outcome.answerLength, outcome.answer.data()) : kFailedAnswer;
        break;
    }
    if (ok) {
        outcome.answerText = outcome.shownText;
        // A bare status word is spelled out on screen; the log keeps its bytes.
        if (path == ExchangePath::Apdu && outcome.answerLength == 2)
            outcome.shownText = StatusWordText(outcome.answer[0], outcome.answer[1]);
    } else if (path == ExchangePath::Apdu) {
        outcome.answerText = kFailedAnswer;
    } else {
        GetResultText(static_cast<std::uint32_t>(result), outcome.answerText);
    }
    outcome.stored = path == ExchangePath::Apdu || path == ExchangePath::Control ||
                     path == ExchangePath::VendorAttribute;
    if (log) outcome.logFailure = log->WriteRecord(operation, command, outcome.answerText);
    return outcome;
}

ExchangeOutcome ExchangeCommandText(CReaderLink& link, std::string_view commandText, CLogFile* log) {
    std::array<std::uint8_t, ExchangeOutcome::kBufferSize> bytes{};
    unsigned length = 0;
    CHexCodec().HexToBytes(commandText, bytes.data(), bytes.size(), length);
    return ExchangeCommandBytes(link, bytes.data(), length, commandText, log);
}

ExchangeOutcome ExchangeCommandBytes(CReaderLink& link, const std::uint8_t* bytes, unsigned length,
                                     std::string_view commandText, CLogFile* log) {
    std::array<std::uint8_t, ExchangeOutcome::kBufferSize> sent{};
    const unsigned sentLength = std::min<unsigned>(length, static_cast<unsigned>(sent.size()));
    std::copy_n(bytes, sentLength, sent.data());

    std::array<std::uint8_t, ExchangeOutcome::kBufferSize> answer{};
    DWORD receiveLength = static_cast<DWORD>(answer.size());
    const auto before = std::chrono::steady_clock::now();
    const PcscResult result = link.Transmit(sent.data(), sentLength, answer.data(), &receiveLength);
    const auto roundTrip = std::chrono::steady_clock::now() - before;
    ExchangeOutcome outcome = ConcludeExchange(ExchangePath::Apdu, "SCardTransmit", commandText, result,
                                               answer.data(), static_cast<unsigned>(receiveLength), log);
    outcome.sent = sent;
    outcome.sentLength = sentLength;
    outcome.roundTrip = roundTrip;
    return outcome;
}
