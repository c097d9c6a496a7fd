// SPDX-License-Identifier: BSD-3-Clause
#include "bootdev/ReportDescriptor.h"

#include <algorithm>
#include <array>
#include <map>

namespace {

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// Far beyond any real report; keeps the running sums from overflowing.
constexpr std::uint64_t kBitCeiling = std::uint64_t{1} << 40;
constexpr std::size_t kMaxPushDepth = 32;

}  // namespace

std::size_t FeatureReportByteLength(const std::uint8_t* descriptor, std::size_t length) {
    if (descriptor == nullptr) return 0;
    Globals globals;
    std::array<Globals, kMaxPushDepth> stack;
    std::size_t depth = 0;
    std::map<std::uint8_t, std::uint64_t> featureBits;  // per report id

    std::size_t i = 0;
    while (i < length) {
        const std::uint8_t prefix = descriptor[i++];
        if (prefix == 0xFE) {  // long item: size byte, tag byte, data
            if (length - i < 2) return 0;
            const std::size_t dataSize = descriptor[i];
            i += 2;
            if (length - i < dataSize) return 0;
            i += dataSize;
            continue;
        }
        std::size_t size = prefix & 0x03;
        if (size == 3) size = 4;
        if (length - i < size) return 0;
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < size; ++k) value |= static_cast<std::uint32_t>(descriptor[i + k]) << (8 * k);
        i += size;

        const int type = prefix >> 2 & 0x03;
        const int tag = prefix >> 4;
        if (type == 0 && tag == 0x0B) {  // Main: Feature
            std::uint64_t& bits = featureBits[globals.reportId];
            const std::uint64_t add = std::uint64_t{globals.reportSize} * globals.reportCount;
            bits = std::min(kBitCeiling, bits + std::min(kBitCeiling, add));
        } else if (type == 1) {  // Global
            switch (tag) {
            case 0x7: globals.reportSize = value; break;
            case 0x8: globals.reportId = static_cast<std::uint8_t>(value); break;
            case 0x9: globals.reportCount = value; break;
            case 0xA:  // Push
                if (depth == kMaxPushDepth) return 0;
                stack[depth++] = globals;
                break;
            case 0xB:  // Pop
                if (depth == 0) return 0;
                globals = stack[--depth];
                break;
            default: break;
            }
        }
    }

    std::uint64_t longest = 0;
    for (const auto& [id, bits] : featureBits) longest = std::max(longest, bits);
    if (featureBits.empty()) return 0;
    // Whole bytes, plus the report id byte that is always counted.
    return static_cast<std::size_t>((longest + 7) / 8 + 1);
}
