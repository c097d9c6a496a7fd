// SPDX-License-Identifier: BSD-3-Clause
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bootdev/ReportDescriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so any read past it is caught.
    std::vector<std::uint8_t> descriptor(data, data + size);
    (void)FeatureReportByteLength(descriptor.data(), descriptor.size());
    return 0;
}
