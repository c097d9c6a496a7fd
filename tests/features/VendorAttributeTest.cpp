// SPDX-License-Identifier: BSD-3-Clause
// The maker's vendor attribute read: the request bytes a reader receives and
// the text taken from its answer, whatever the answer holds.
#include <gtest/gtest.h>

#include <PCSC/reader.h>

#include <array>
#include <string>
#include <vector>

#include "features/VendorAttribute.h"

using namespace features;

namespace {

TEST(VendorAttribute, RequestIsClassSevenPlusTagLittleEndian) {
    struct Case {
        unsigned tag;
        std::array<std::uint8_t, 4> bytes;
    };
    for (const Case& c : {Case{kManufacturerNameTag, {0x90, 0x01, 0x07, 0x00}},
                          Case{391, {0x87, 0x01, 0x07, 0x00}},
                          Case{0xFFFF, {0xFF, 0xFF, 0x07, 0x00}}}) {
        EXPECT_EQ(VendorAttributeRequest(c.tag), c.bytes) << c.tag;
    }
    EXPECT_EQ(VendorGetAttributeCode(), static_cast<DWORD>(SCARD_CTL_CODE(2049)));
}

TEST(VendorAttribute, TextEndsAtTheFirstZeroOrAtTheBuffersEnd) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> answer;
        std::size_t size;  // the size the reader was offered
        std::string text;
    };
    const std::vector<std::uint8_t> full(kVendorAnswerSize, 'T');
    const Case cases[] = {
        {"terminated", {'T', 'A', 'V', 0, 'x'}, 5, "TAV"},
        {"empty", {0, 'A'}, 2, ""},
        {"cp1252 bytes kept", {'R', 0xE9, 0x92, 0}, 4, "R\xE9\x92"},
        // A reader that fills the whole buffer sends no terminator: the text
        // stops at the buffer's end instead of reading on.
        {"no terminator", full, kVendorAnswerSize, std::string(kVendorAnswerSize, 'T')},
        {"size shorter than the bytes", {'A', 'B', 'C', 'D'}, 2, "AB"},
    };
    for (const Case& c : cases) EXPECT_EQ(AttributeText(c.answer.data(), c.size), c.text) << c.name;
    EXPECT_EQ(AttributeText(nullptr, 10), "");
}

}  // namespace
