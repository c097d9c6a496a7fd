// SPDX-License-Identifier: BSD-3-Clause
// The maker's vendor attribute read: the request that asks a reader for one
// of its vendor-defined attributes through IOCTL_SMARTCARD_VENDOR_GET_ATTRIBUTE,
// and the text form of its answer. Connect uses it to tell the maker's
// readers (their manufacturer name holds "TAV") from the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "readerlink/ReaderLink.h"

namespace features {

// IOCTL_SMARTCARD_VENDOR_GET_ATTRIBUTE (kVendorGetAttributeN of the control table).
DWORD VendorGetAttributeCode();

// Size of the answer buffer offered to the reader.
inline constexpr std::size_t kVendorAnswerSize = 255;
// The manufacturer-name tag that connect reads.
inline constexpr unsigned kManufacturerNameTag = 400;

// 0x00070000 + tag (attribute class 7, vendor defined), little-endian.
std::array<std::uint8_t, 4> VendorAttributeRequest(unsigned tag);

// The text form of an answer: its bytes up to the first zero byte, never
// past the buffer's size, whether or not a terminator came.
std::string AttributeText(const std::uint8_t* answer, std::size_t size);

}  // namespace features
