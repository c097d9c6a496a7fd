// SPDX-License-Identifier: BSD-3-Clause
#include "features/KeypadDisplay.h"

#include <algorithm>
#include <cstdio>

namespace features {

namespace {

std::string Decimal(int value) { return std::to_string(value); }

std::uint8_t ByteAt(const std::uint8_t* answer, std::size_t returned, std::size_t index) {
    return answer != nullptr && index < returned ? answer[index] : 0;
}

const std::string kBlank = " ";
const std::string kDigit = "x";

}  // namespace

KeyHistory::KeyHistory(std::uint8_t entries, std::uint8_t validation, const std::uint8_t* maxExtraDigit)
    : entriesExpected(entries), maximum(maxExtraDigit ? maxExtraDigit[0] : 0), stopAtMaximum((validation & 1) != 0) {
    BlankCells();
}

void KeyHistory::BlankCells() { cells.fill(kBlank); }

PollStep PollKeysStep(KeyHistory& h, std::uint8_t key, long result) {
    PollStep step;
    switch (key) {
    case kDigitKey:
        h.lastReceive = kBlank;
        if (h.count < KeyHistory::kCells) h.cells[h.count] = kDigit;
        ++h.count;
        break;
    case kValidationKey:
        h.lastReceive = kEnterText;
        h.BlankCells();
        ++h.entriesDone;
        h.count = 0;
        break;
    case kCorrectionKey:
        if (h.count >= 1 && h.count <= KeyHistory::kCells) h.cells[h.count - 1] = kBlank;
        if (h.count >= 1) --h.count;
        h.lastReceive = kCorrectionText;
        break;
    case kCancelKey:
        h.lastReceive = kCancelText;
        step.pauseAfterCancel = true;
        h.BlankCells();
        h.count = 0;
        break;
    case kSpeTimeout:
        h.lastReceive = kSpeTimeoutText;
        h.count = 0;
        break;
    default:
        break;
    }
    if (h.stopAtMaximum && h.count == h.maximum) {
        h.lastReceive = kMaxSizeText;
        h.BlankCells();
        h.count = 0;
        if (h.entriesDone == h.entriesExpected) {
            step.finished = true;
        } else {
            ++h.entriesDone;
        }
    }
    if (key == kCancelKey || key == kSpeTimeout || result != 0 || h.entriesDone >= h.entriesExpected) {
        step.finished = true;
    }
    return step;
}

void PollKeyOnceStep(KeyCells& k, std::uint8_t key) {
    switch (key) {
    case kDigitKey:
        for (std::string& cell : k.cells) {
            if (cell != kDigit) {
                cell = kDigit;
                break;
            }
        }
        break;
    case kCorrectionKey: {
        std::size_t run = 0;
        while (run < k.cells.size() && k.cells[run] == kDigit) ++run;
        if (run > 0) k.cells[run - 1] = kBlank;
        k.message = kCorrectionText;
        break;
    }
    case kValidationKey:
        k.message = kEnterText;
        k.cells.fill(kBlank);
        break;
    case kCancelKey:
        k.message = kCancelText;
        k.cells.fill(kBlank);
        break;
    case kSpeTimeout:
        k.message = kSpeTimeoutText;
        break;
    case kNoKey:
        k.message = kNoKeyText;
        break;
    default:
        break;
    }
}

std::string GetKeyText(std::uint8_t key) {
    switch (key) {
    case kClearKey:
        return " Clear ";
    case kEnterKey:
        return " Enter ";
    case kEscapeKey:
        return " Cancel ";
    case kGetKeyTimeout:
        return " TimeOut ";
    default:
        return std::string(1, static_cast<char>(key));
    }
}

std::string GetKeyCodeText(std::uint8_t key) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", key);
    return text;
}

bool GetKeyLoopEnds(std::uint8_t key, long result) { return result != 0 || key == kGetKeyTimeout; }

std::vector<std::uint8_t> GetKeyRequest(std::uint8_t timeout) { return {timeout}; }

DisplayLimits ReadDisplayLimits(const std::uint8_t* answer, std::size_t returned) {
    return {ByteAt(answer, returned, 0), ByteAt(answer, returned, 2)};
}

WrapAction WrapMessageLine(int n, int k, const DisplayLimits& limits) {
    WrapAction action;
    if (limits.characters > 0 && n >= limits.characters && k < limits.lines) {
        action.insertBreak = true;
        action.position = (n + 2) * k - 2;
        action.raiseLimitBy2 = true;
    } else if (n == 0 && k == 1) {
        action.resetLimit = true;
    }
    return action;
}

std::string DisplayMessage(std::string_view fieldText, const DisplayLimits& limits) {
    std::string text(fieldText);
    const std::size_t total = static_cast<std::size_t>(limits.Total());
    if (text.size() > total) {
        std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
        text.resize(std::min(text.size(), total));
    }
    if (text.size() > kMaxMessageLength) text.resize(kMaxMessageLength);
    return text;
}

std::vector<std::uint8_t> WriteDisplayRequest(std::uint8_t displayTime, std::string_view text) {
    text = text.substr(0, std::min(text.size(), kMaxMessageLength));
    std::vector<std::uint8_t> request(7, 0);
    request[4] = displayTime;
    request[6] = static_cast<std::uint8_t>(text.size());
    request.insert(request.end(), text.begin(), text.end());
    return request;
}

std::vector<std::uint8_t> SpeMessageRequest(std::uint8_t index, std::string_view text) {
    text = text.substr(0, std::min(text.size(), kMaxMessageLength));
    std::vector<std::uint8_t> request(36, 0);
    request[32] = index;
    request[35] = static_cast<std::uint8_t>(text.size());
    request.insert(request.end(), text.begin(), text.end());
    return request;
}

DisplayPropertiesText DisplayPropertiesOf(const std::uint8_t* answer, std::size_t returned) {
    return {Decimal(ByteAt(answer, returned, 0)), Decimal(ByteAt(answer, returned, 2))};
}

PinPropertiesText PinPropertiesOf(const std::uint8_t* answer, std::size_t returned) {
    PinPropertiesText t;
    t.layout = Decimal(ByteAt(answer, returned, 0)) + "_" + Decimal(ByteAt(answer, returned, 1));
    t.validation = Decimal(ByteAt(answer, returned, 2));
    t.timeOut = Decimal(ByteAt(answer, returned, 3));
    return t;
}

PinPropertiesText RereadPinPropertiesOf(const std::uint8_t* answer, std::size_t returned) {
    PinPropertiesText t;
    auto at = [&](std::size_t i) { return Decimal(ByteAt(answer, returned, i)); };
    t.layout = at(0) + "_" + at(1);
    if (returned == 8) {
        t.characters = at(2);
        t.lines = at(4);
        t.validation = at(6);
        t.timeOut = at(7);
    } else {
        t.characters = at(0);
        t.lines = at(1);
        t.validation = at(2);
        t.timeOut = at(3);
    }
    return t;
}

WindowPlace PlaceFeatureWindow(int screenWidth, int screenHeight, int clientWidth, int clientHeight, int dx, int dy) {
    WindowPlace place{screenWidth - clientWidth - dx, screenHeight - clientHeight - dy, clientWidth - 5,
                      clientHeight + 10};
    // On a screen smaller than the offsets the formula puts the window off
    // its left or top edge: keep it wholly on the screen instead.
    place.x = std::clamp(place.x, 0, std::max(0, screenWidth - place.width));
    place.y = std::clamp(place.y, 0, std::max(0, screenHeight - place.height));
    return place;
}

}  // namespace features
