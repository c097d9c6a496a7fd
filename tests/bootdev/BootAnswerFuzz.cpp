// SPDX-License-Identifier: BSD-3-Clause
// Arbitrary answer frames for every command, in both policies. The input is:
// feature report length selector, policy, EEPROM count, then answer frames
// each preceded by its length (two bytes, little-endian, up to 600).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "bootdev/BootDevice.h"
#include "bootdev/sim/SimBootLoader.h"

namespace {

constexpr std::uint16_t kVendor = 0x1209;
constexpr BootDevice::ProductIds kProducts = {1, 2, 3, 4};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    SimHidBus bus;
    SimBootLoaderConfig config;
    config.vendorId = kVendor;
    config.productIds = kProducts;
    config.mode = data[1] & 0x02 ? SimMode::Boot : SimMode::Application;
    config.featureReportLength = 266 + data[0] % 247;
    SimBootLoader& reader = bus.AddBootLoader(config);
    reader.KeepFrames(false);
    const BootPolicy policy = data[1] & 0x01 ? BootPolicy::Loader : BootPolicy::Library;
    const std::uint8_t count = data[2];

    std::size_t at = 3;
    while (at + 2 <= size) {
        const std::size_t length = std::min<std::size_t>(data[at] | data[at + 1] << 8, 600);
        at += 2;
        const std::size_t take = std::min(length, size - at);
        reader.QueueRawAnswer(std::vector<std::uint8_t>(data + at, data + at + take));
        at += take;
    }

    BootDevice device(bus, policy, kVendor, kProducts);
    std::size_t lines = 0;
    BootDeviceHooks hooks;
    hooks.log = [&lines](const std::string& line) { lines += line.size(); };
    device.SetHooks(hooks);

    // Exactly sized areas, so that any write past what was asked for trips the sanitizer.
    std::vector<std::uint8_t> version(255);
    std::vector<std::uint8_t> eeprom(count);
    std::vector<std::uint8_t> block(256, 0x5A);
    std::vector<std::uint8_t> image(256 * 3 + 17, 0xA5);
    std::uint16_t versionLength = 0;
    std::uint8_t value = 0;
    for (int round = 0; round < 2; ++round) {
        device.StartDownload();
        device.DataPacket(0, block.data());
        device.SendImage(image.data(), image.size());
        device.EndDownload();
        device.GetFirmVersion(&versionLength, version.data(), version.size());
        if (versionLength > version.size()) __builtin_trap();
        device.ReadEEPROM(0x10, count, eeprom.data());
        device.WriteEEPROM(0x10, count, eeprom.data());
        device.SwitchInterface(value);
        device.ReadSwitchInterface(&value);
        device.BootCheck();
        device.LogFirmVersion();
        device.Reset();
        device.Close();
    }
    return 0;
}
