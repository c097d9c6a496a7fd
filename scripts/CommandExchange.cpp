#include "scripts/CommandExchange.h"

#include <algorithm>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"

namespace {
constexpr char kFailedAnswer[] = "xx xx xx xx xx";
}  // namespace

ExchangeOutcome ExchangeCommandText(CReaderLink& link, std::string_view commandText, CLogFile* log) {
    std::array<std::uint8_t, ExchangeOutcome::kBufferSize> bytes{};
    unsigned length = 0;
    CHexCodec().HexToBytes(commandText, bytes.data(), bytes.size(), length);
    return ExchangeCommandBytes(link, bytes.data(), length, commandText, log);
}

ExchangeOutcome ExchangeCommandBytes(CReaderLink& link, const std::uint8_t* bytes, unsigned length,
                                     std::string_view commandText, CLogFile* log) {
    ExchangeOutcome outcome;
    const CHexCodec codec;
    outcome.sentLength = std::min<unsigned>(length, static_cast<unsigned>(outcome.sent.size()));
    std::copy_n(bytes, outcome.sentLength, outcome.sent.data());

    DWORD receiveLength = static_cast<DWORD>(outcome.answer.size());
    const auto before = std::chrono::steady_clock::now();
    outcome.result = link.Transmit(outcome.sent.data(), outcome.sentLength, outcome.answer.data(), &receiveLength);
    outcome.roundTrip = std::chrono::steady_clock::now() - before;
    if (outcome.result == SCARD_S_SUCCESS) {
        outcome.answerLength = std::min<unsigned>(receiveLength, static_cast<unsigned>(outcome.answer.size()));
        outcome.answerText = codec.BytesToHex(outcome.answerLength, outcome.answer.data());
        outcome.shownText = outcome.answerLength == 2 ? StatusWordText(outcome.answer[0], outcome.answer[1])
                                                      : outcome.answerText;
    } else {
        outcome.answer.fill(0);
        outcome.answerText = kFailedAnswer;
        outcome.shownText = kFailedAnswer;
    }
    if (log) outcome.logFailure = log->WriteRecord("SCardTransmit", commandText, outcome.answerText);
    return outcome;
}
