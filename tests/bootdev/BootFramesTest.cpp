// SPDX-License-Identifier: BSD-3-Clause
// The frames on the wire, byte for byte, as the device receives them.
#include <functional>

#include "BootTestBench.h"

using namespace boottest;

namespace {

struct FrameCase {
    const char* name;
    std::function<void(BootDevice&)> send;
    std::vector<std::uint8_t> head;  // the frame starts so; every byte after it is 0
    int index = -1;                  // which frame the device took; -1 the last
};

class WorkedFrames : public testing::TestWithParam<FrameCase> {};

TEST_P(WorkedFrames, DeviceReceivesExactFrame) {
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot, 300));
        reader.SetReturnAfterReset(false);
        BootDevice device(bus, policy, kVendor, kProducts);
        if (policy == BootPolicy::Loader) {
            ASSERT_TRUE(device.Discover());
        }
        GetParam().send(device);
        ASSERT_FALSE(reader.Frames().empty());
        const int index = GetParam().index;
        ASSERT_LT(index, static_cast<int>(reader.Frames().size()));
        const std::vector<std::uint8_t>& frame = index < 0 ? reader.Frames().back() : reader.Frames()[index];
        EXPECT_EQ(frame.size(), 300u) << "every report carries the device's feature report length";
        EXPECT_EQ(Head(frame, GetParam().head.size()), GetParam().head);
        EXPECT_TRUE(ZeroFrom(frame, GetParam().head.size()));
    }
}

std::vector<std::uint8_t> DataPacketBlock2() {
    std::vector<std::uint8_t> head = {0x00, 0x53, 0xF9, 0x01, 0x04, 0x01, 0x02, 0x00, 0x00, 0x00};
    const std::vector<std::uint8_t> block = Pattern(256, 9);
    head.insert(head.end(), block.begin(), block.end());
    return head;
}

const std::uint8_t kEepromData[3] = {0xDE, 0xAD, 0x01};

INSTANTIATE_TEST_SUITE_P(
    Commands, WorkedFrames,
    testing::Values(
        FrameCase{"StartDownload", [](BootDevice& d) { d.StartDownload(); },
                  {0x00, 0x53, 0xF9, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0},
        FrameCase{"DataPacketBlock2", [](BootDevice& d) { d.Discover(); d.DataPacket(2, Pattern(256, 9).data()); },
                  DataPacketBlock2()},
        FrameCase{"ReadEeprom16At20", [](BootDevice& d) { std::uint8_t out[16]; d.ReadEEPROM(0x20, 16, out); },
                  {0x00, 0x52, 0xF8, 0x00, 0x02, 0x00, 0x20, 0x10, 0x00, 0x00}},
        FrameCase{"SwitchInterface1", [](BootDevice& d) { d.SwitchInterface(1); },
                  {0x00, 0x52, 0xF8, 0x04, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00}},
        FrameCase{"Reset", [](BootDevice& d) { d.Reset(); },
                  {0x00, 0x52, 0xF8, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        FrameCase{"WriteEeprom3At7F", [](BootDevice& d) { d.WriteEEPROM(0x7F, 3, kEepromData); },
                  {0x00, 0x52, 0xF8, 0x01, 0x05, 0x00, 0x7F, 0x03, 0xDE, 0xAD, 0x01}},
        FrameCase{"GetFirmVersion", [](BootDevice& d) { std::uint16_t n; std::uint8_t v[64]; d.GetFirmVersion(&n, v, 64); },
                  {0x00, 0x52, 0xF8, 0x02, 0x00, 0x00}},
        FrameCase{"ReadSwitch", [](BootDevice& d) { std::uint8_t v; d.ReadSwitchInterface(&v); },
                  {0x00, 0x52, 0xF8, 0x03, 0x00, 0x00}}),

    [](const testing::TestParamInfo<FrameCase>& info) { return std::string(info.param.name); });

TEST(WorkedFrames, EndDownloadFrameThenReset) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    device.StartDownload();
    reader.ClearFrames();
    ASSERT_TRUE(device.EndDownload());
    ASSERT_EQ(reader.Frames().size(), 2u);
    EXPECT_EQ(Head(reader.Frames()[0], 6), (std::vector<std::uint8_t>{0x00, 0x53, 0xF9, 0x02, 0x00, 0x00}));
    EXPECT_TRUE(ZeroFrom(reader.Frames()[0], 6));
    EXPECT_EQ(reader.Frames()[1][3], 0x05);
}

}  // namespace
