// SPDX-License-Identifier: BSD-3-Clause
// Feature report length from a report descriptor, as the HID class driver
// counts it (longest feature report, plus the report id byte).
#include <gtest/gtest.h>

#include <vector>

#include "bootdev/ReportDescriptor.h"

namespace {

struct DescriptorCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::size_t expected;
};

class Descriptor : public testing::TestWithParam<DescriptorCase> {};

TEST_P(Descriptor, FeatureReportByteLength) {
    const auto& bytes = GetParam().bytes;
    EXPECT_EQ(FeatureReportByteLength(bytes.data(), bytes.size()), GetParam().expected);
}

// Vendor page, collection, 8-bit fields.
#define HEAD 0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08
#define TAIL 0xC0

INSTANTIATE_TEST_SUITE_P(
    Descriptors, Descriptor,
    testing::Values(
        // 265 data bytes without report ids: 266 with the id byte.
        DescriptorCase{"Feature265", {HEAD, 0x96, 0x09, 0x01, 0x09, 0x01, 0xB1, 0x02, TAIL}, 266},
        // Input and output items do not count.
        DescriptorCase{"InputOutputIgnored",
                       {HEAD, 0x96, 0x00, 0x02, 0x09, 0x01, 0x81, 0x02, 0x91, 0x02, 0x95, 0x40, 0xB1, 0x02, TAIL},
                       65},
        // Two report ids: the longer one counts.
        DescriptorCase{"LongestReportId",
                       {HEAD, 0x85, 0x01, 0x95, 0x10, 0xB1, 0x02, 0x85, 0x02, 0x96, 0xFF, 0x01, 0xB1, 0x02, TAIL},
                       512},
        // Several Feature items in one report add up; bit fields round up.
        DescriptorCase{"ItemsAddUp",
                       {HEAD, 0x95, 0x03, 0xB1, 0x02, 0x75, 0x01, 0x95, 0x05, 0xB1, 0x02, TAIL}, 5},
        // Push and pop restore the report size.
        DescriptorCase{"PushPop",
                       {HEAD, 0xA4, 0x75, 0x10, 0x95, 0x02, 0xB1, 0x02, 0xB4, 0x95, 0x02, 0xB1, 0x02, TAIL}, 7},
        DescriptorCase{"NoFeature", {HEAD, 0x95, 0x40, 0x81, 0x02, TAIL}, 0},
        DescriptorCase{"Truncated", {HEAD, 0x96, 0x09}, 0},
        DescriptorCase{"PopWithoutPush", {HEAD, 0xB4, 0x95, 0x01, 0xB1, 0x02}, 0},
        DescriptorCase{"LongItemSkipped", {HEAD, 0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x95, 0x04, 0xB1, 0x02}, 5},
        DescriptorCase{"LongItemTruncated", {HEAD, 0x95, 0x04, 0xB1, 0x02, 0xFE, 0x09, 0x10, 0xAA}, 0},
        // Absurd sizes saturate instead of wrapping round to a small length.
        DescriptorCase{"HugeSaturates",
                       {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0xB1, 0x02, 0xB1, 0x02}, 137438953473},
        DescriptorCase{"Empty", {}, 0}),
    [](const testing::TestParamInfo<DescriptorCase>& info) { return std::string(info.param.name); });

}  // namespace
