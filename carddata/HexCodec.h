// SPDX-License-Identifier: BSD-3-Clause
// CHexCodec: the console's one text form of bytes ("90 00 ": two upper-case
// digits and a space per byte) and the parsers that read typed or stored
// hexadecimal back. Every parser is told the size of the caller's buffer and
// never writes past it, whatever the text holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A hexadecimal digit's value (either case), or -1 for any other character.
int HexDigitValue(char c);

class CHexCodec {
public:
    // Replaces text with 3 * count characters; the text grows with the input
    // (an answer of 512 bytes gives 1536 characters).
    void BytesToHex(unsigned count, const std::uint8_t* bytes, std::string& text) const;
    std::string BytesToHex(unsigned count, const std::uint8_t* bytes) const;

    // Spaced text, tokens of one or two digits separated by spaces. Returns 0
    // when at least one byte was produced, 1 otherwise (empty text, or a token
    // of three or more characters anywhere, which also reports 0 bytes).
    // Bytes beyond capacity are not stored and not counted.
    int HexToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity, unsigned& count) const;

    // Digits without separators; an odd length reads a leading '0'. count is
    // the number of bytes written. Returns 0 when at least one byte was written.
    int PackedHexToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity, unsigned& count) const;

    // Value of the digits, or 0 when any character is not a hexadecimal digit.
    unsigned HexDigitsToValue(std::string_view digits) const;

    // The bytes as characters, a zero byte as a space; nothing else replaced.
    std::string BytesToAscii(unsigned count, const std::uint8_t* bytes) const;
};
