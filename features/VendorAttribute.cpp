// SPDX-License-Identifier: BSD-3-Clause
#include "features/VendorAttribute.h"

#include <algorithm>

#include "features/ControlCodes.h"

namespace features {

DWORD VendorGetAttributeCode() { return ControlCode(kVendorGetAttributeN); }

std::array<std::uint8_t, 4> VendorAttributeRequest(unsigned tag) {
    const std::uint32_t value = 0x00070000u + tag;
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::string AttributeText(const std::uint8_t* answer, std::size_t size) {
    if (answer == nullptr) return {};
    const std::uint8_t* end = std::find(answer, answer + size, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(answer), static_cast<std::size_t>(end - answer));
}

}  // namespace features
