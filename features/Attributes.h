// SPDX-License-Identifier: BSD-3-Clause
// The reader attributes of the console's attribute menu: which identifier or
// vendor tag each entry reads, and the four forms a value is shown in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace features {

enum class AttributeForm { Text, Number, Hex, HexReversed };

struct StandardAttribute {
    int command;  // menu command
    std::string_view entry;
    std::uint32_t id;  // SCARD_ATTR_VALUE(class, tag)
    AttributeForm form;
};

struct VendorAttribute {
    int command;
    std::string_view entry;
    unsigned tag;  // sent as 0x00070000 + tag
    AttributeForm form;
};

std::span<const StandardAttribute> StandardAttributes();
std::span<const VendorAttribute> VendorAttributes();
std::optional<StandardAttribute> FindStandardAttribute(int command);
std::optional<VendorAttribute> FindVendorAttribute(int command);

// What an attribute read's log record names as its command: the menu entry
// that reads it, or, for one outside the menu, the identifier (standard) or
// the request value (vendor) as 0x%08X.
std::string StandardAttributeName(std::uint32_t id);
std::string VendorAttributeName(unsigned tag);

// pcsc-lite refuses SCardGetAttrib buffers larger than its MAX_BUFFER_SIZE
// before asking the reader, so a standard read offers at most this.
std::size_t StandardAnswerSize();

// The value text of an answer. buffer holds size bytes, zero-filled before
// the call; returned is what the reader gave (more than size counts as size).
// Text: up to the first zero byte of the buffer. Number: the first four
// bytes, little-endian, signed, missing ones zero. Hex: the returned bytes.
// Hex reversed: the returned bytes last first (a 4-byte value most
// significant byte first); never reads past what was returned.
std::string FormatAttribute(AttributeForm form, const std::uint8_t* buffer, std::size_t size,
                            std::size_t returned);

}  // namespace features
