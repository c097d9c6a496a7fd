// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/HexCodec.h"

namespace {

char HalfToDigit(unsigned half) {
    return static_cast<char>(half < 10 ? '0' + half : 'A' + half - 10);
}

}  // namespace

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void CHexCodec::BytesToHex(unsigned count, const std::uint8_t* bytes, std::string& text) const {
    text.clear();
    if (bytes == nullptr) return;
    text.resize(static_cast<std::size_t>(count) * 3);
    for (std::size_t i = 0; i < count; ++i) {
        text[3 * i] = HalfToDigit(bytes[i] >> 4);
        text[3 * i + 1] = HalfToDigit(bytes[i] & 0x0F);
        text[3 * i + 2] = ' ';
    }
}

std::string CHexCodec::BytesToHex(unsigned count, const std::uint8_t* bytes) const {
    std::string text;
    BytesToHex(count, bytes, text);
    return text;
}

unsigned CHexCodec::HexDigitsToValue(std::string_view digits) const {
    unsigned value = 0;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return 0;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

int CHexCodec::HexToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity, unsigned& count) const {
    count = 0;
    if (out == nullptr) capacity = 0;
    char token[2];
    std::size_t tokenLength = 0;
    unsigned stored = 0;
    auto endToken = [&] {
        if (tokenLength == 0) return;
        // A single digit reads as if a '0' came before it.
        const char pair[2] = {tokenLength == 1 ? '0' : token[0], token[tokenLength - 1]};
        const unsigned value = HexDigitsToValue(std::string_view(pair, 2));
        if (stored < capacity) out[stored++] = static_cast<std::uint8_t>(value & 0xFF);
        tokenLength = 0;
    };
    for (char c : text) {
        if (c == ' ') {
            endToken();
            continue;
        }
        if (tokenLength == 2) return 1;  // a token of three characters spoils the whole text
        token[tokenLength++] = c;
    }
    endToken();
    count = stored;
    return stored == 0 ? 1 : 0;
}

int CHexCodec::PackedHexToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity,
                                unsigned& count) const {
    count = 0;
    if (out == nullptr) capacity = 0;
    unsigned stored = 0;
    std::size_t i = 0;
    if (text.size() % 2 == 1 && stored < capacity) {
        const char padded[2] = {'0', text[0]};
        out[stored++] = static_cast<std::uint8_t>(HexDigitsToValue(std::string_view(padded, 2)) & 0xFF);
        i = 1;
    }
    for (; i + 1 < text.size() && stored < capacity; i += 2)
        out[stored++] = static_cast<std::uint8_t>(HexDigitsToValue(text.substr(i, 2)) & 0xFF);
    count = stored;
    return stored == 0 ? 1 : 0;
}

std::string CHexCodec::BytesToAscii(unsigned count, const std::uint8_t* bytes) const {
    std::string text;
    if (bytes == nullptr) return text;
    text.reserve(count);
    for (unsigned i = 0; i < count; ++i) text += bytes[i] == 0 ? ' ' : static_cast<char>(bytes[i]);
    return text;
}
