#include "scripts/CommandExchange.h"

#include <algorithm>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"

namespace {
constexpr char kFailedAnswer[] = "xx xx xx xx xx";
}  // namespace

ExchangeOutcome ExchangeCommandText(CReaderLink& link, std::string_view commandText, CLogFile* log) {
    ExchangeOutcome outcome;
    const CHexCodec codec;
    codec.HexToBytes(commandText, outcome.sent.data(), outcome.sent.size(), outcome.sentLength);

    DWORD receiveLength = static_cast<DWORD>(outcome.answer.size());
    outcome.result = link.Transmit(outcome.sent.data(), outcome.sentLength, outcome.answer.data(), &receiveLength);
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
