// SPDX-License-Identifier: BSD-3-Clause
// Shared set-up of the boot interface tests: a simulated bus with one reader,
// a BootDevice of either policy over it, and the loader's log captured.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bootdev/BootDevice.h"
#include "bootdev/sim/SimBootLoader.h"

namespace boottest {

inline constexpr std::uint16_t kVendor = 0x1209;
inline constexpr BootDevice::ProductIds kProducts = {0x0011, 0x0012, 0x0013, 0x0014};

inline SimBootLoaderConfig ReaderConfig(SimMode mode = SimMode::Boot, std::size_t featureLength = 266) {
    SimBootLoaderConfig config;
    config.vendorId = kVendor;
    config.productIds = kProducts;
    config.mode = mode;
    config.featureReportLength = featureLength;
    return config;
}

// Lines the loader logged and boxes it showed, in order; boxes as "[box] text".
struct Transcript {
    std::vector<std::string> lines;
    BootDeviceHooks Hooks() {
        BootDeviceHooks hooks;
        hooks.log = [this](const std::string& line) { lines.push_back(line); };
        hooks.messageBox = [this](const std::string& text) { lines.push_back("[box] " + text); };
        return hooks;
    }
};

inline std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed = 1) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + seed + i / 256);
    return bytes;
}

// Named per process: other builds may run the same tests at the same time.
inline std::string WriteImageFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = testing::TempDir() + "bootdev_" + std::to_string(::getpid()) + "_" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The first `count` bytes of a frame, and whether all the rest are zero.
inline std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& frame, std::size_t count) {
    return std::vector<std::uint8_t>(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(std::min(count, frame.size())));
}
inline bool ZeroFrom(const std::vector<std::uint8_t>& frame, std::size_t from) {
    for (std::size_t i = from; i < frame.size(); ++i)
        if (frame[i] != 0) return false;
    return true;
}

}  // namespace boottest
