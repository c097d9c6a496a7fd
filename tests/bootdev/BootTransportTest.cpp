// SPDX-License-Identifier: BSD-3-Clause
// Discovery, the two exchange policies, and the device coming and going.
#include "BootTestBench.h"
#include "bootdev/LoaderText.h"

using namespace boottest;

namespace {

TEST(Discover, FirstMatchWinsAndStrangersAreSkipped) {
    SimHidBus bus;
    bus.AddOtherDevice(0x046D, 0xC077);            // some mouse
    bus.AddOtherDevice(kVendor, 0x0099);            // our vendor, not one of the four
    SimBootLoader& first = bus.AddBootLoader(ReaderConfig());
    SimBootLoader& second = bus.AddBootLoader(ReaderConfig());
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);

    ASSERT_TRUE(device.Discover());
    EXPECT_TRUE(device.Connected());
    EXPECT_EQ(device.DevicePath(), first.Path());
    EXPECT_EQ(first.OpenCount(), 1);
    EXPECT_EQ(second.OpenCount(), 0) << "the walk never looks past the first match";
    EXPECT_EQ(bus.OpenCount("/dev/simhidraw1"), 0) << "a wrong product id is not used";
}

TEST(Discover, NothingPresentOrNothingOpens) {
    SimHidBus empty;
    BootDevice none(empty, BootPolicy::Library, kVendor, kProducts);
    EXPECT_FALSE(none.Discover());
    EXPECT_FALSE(none.Connected());

    // A matching interface that cannot be opened is skipped like a stranger.
    SimHidBus bus;
    bus.AddBootLoader(ReaderConfig());
    bus.FailOpens(true);
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    EXPECT_FALSE(device.Discover());
    bus.FailOpens(false);
    EXPECT_TRUE(device.Discover());
}

// A device whose reports cannot carry a data packet, or would overflow the
// 512-byte buffer, is never written to or read from.
class FeatureLength : public testing::TestWithParam<std::pair<std::size_t, bool>> {};

TEST_P(FeatureLength, OnlyUsableLengthsAreTalkedTo) {
    const auto [length, usable] = GetParam();
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot, length));
    Transcript transcript;
    BootDevice loader(bus, BootPolicy::Loader, kVendor, kProducts);
    loader.SetHooks(transcript.Hooks());
    BootDevice library(bus, BootPolicy::Library, kVendor, kProducts);

    EXPECT_EQ(loader.Discover(), usable);
    std::uint8_t switchValue = 0;
    EXPECT_EQ(library.ReadSwitchInterface(&switchValue), usable);
    if (usable) {
        EXPECT_EQ(reader.Frames().back().size(), length);
        EXPECT_TRUE(transcript.lines.empty());
    } else {
        EXPECT_TRUE(reader.Frames().empty());
        EXPECT_EQ(library.StatusWord(), bootstatus::StatusNoDevice);
        ASSERT_EQ(transcript.lines.size(), 1u);
        EXPECT_EQ(transcript.lines[0], loadertext::kBadReportLengthPrefix + std::to_string(length));
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, FeatureLength,
                         testing::Values(std::pair<std::size_t, bool>{0, false}, std::pair<std::size_t, bool>{65, false},
                                         std::pair<std::size_t, bool>{265, false}, std::pair<std::size_t, bool>{266, true},
                                         std::pair<std::size_t, bool>{512, true}, std::pair<std::size_t, bool>{513, false},
                                         std::pair<std::size_t, bool>{4096, false}));

TEST(LibraryExchange, RediscoversEveryTimeAndSurvivesUnplug) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig());
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    std::uint8_t value = 0;

    ASSERT_TRUE(device.ReadSwitchInterface(&value));
    ASSERT_TRUE(device.ReadSwitchInterface(&value));
    EXPECT_EQ(reader.OpenCount(), 2);

    reader.Unplug();
    EXPECT_FALSE(device.StartDownload());
    EXPECT_EQ(device.StatusWord(), bootstatus::StatusNoDevice);
    EXPECT_FALSE(device.SwitchInterface(3));
    EXPECT_EQ(device.StatusWord(), bootstatus::StatusNoDevice);

    reader.SetMode(SimMode::Application);  // comes back under another product id
    reader.Replug();
    EXPECT_TRUE(device.SwitchInterface(3));
    EXPECT_EQ(device.StatusWord(), 0);
    EXPECT_EQ(reader.SwitchValue(), 3);
}

// A failed transfer leaves the request in the buffer, so the status word is
// the request's own header.
struct TransportFault {
    SimFault fault;
    bool download;
};

class FailedTransfer : public testing::TestWithParam<TransportFault> {};

TEST_P(FailedTransfer, StatusWordIsRequestHeaderAndDeviceIsDropped) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig());
    reader.InjectFault({GetParam().fault, 1});
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    const bool ok = GetParam().download ? device.StartDownload() : device.SwitchInterface(1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(device.StatusWord(), GetParam().download ? 0x53F9 : 0x52F8);
    EXPECT_FALSE(device.Connected());
    EXPECT_FALSE(device.HandleOpen());
    EXPECT_EQ(device.State(), DownloadState::Idle);
    EXPECT_TRUE(device.SwitchInterface(1)) << "the next call finds the device again";
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedTransfer,
                         testing::Values(TransportFault{SimFault::FailWrite, true}, TransportFault{SimFault::FailRead, true},
                                         TransportFault{SimFault::FailWrite, false},
                                         TransportFault{SimFault::FailRead, false}));

TEST(LoaderExchange, DiscoversOnlyWhenNotConnectedAndLogsFailures) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Transcript transcript;
    int registrations = 0;
    int cancellations = 0;
    BootDeviceHooks hooks = transcript.Hooks();
    hooks.registerNotification = [&](const std::string& path) {
        EXPECT_EQ(path, reader.Path());
        ++registrations;
        return true;
    };
    hooks.unregisterNotification = [&] {
        ++cancellations;
        return false;  // makes the close show its box
    };
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);
    device.SetHooks(hooks);

    EXPECT_TRUE(device.LogFirmVersion());
    EXPECT_TRUE(device.LogFirmVersion());
    EXPECT_EQ(bus.EnumerateCount(), 1) << "a connected loader does not look again";
    EXPECT_EQ(registrations, 1);

    reader.InjectFault({SimFault::FailWrite, 1});
    EXPECT_FALSE(device.LogFirmVersion());
    EXPECT_FALSE(device.Connected());
    EXPECT_EQ(cancellations, 1);
    reader.InjectFault({SimFault::FailRead, 1});
    EXPECT_FALSE(device.LogFirmVersion());
    EXPECT_EQ(bus.EnumerateCount(), 2);
    reader.Unplug();
    EXPECT_FALSE(device.LogFirmVersion());
    EXPECT_FALSE(device.Reset());

    const std::vector<std::string> expected = {
        "Version  --> Corvane_Lyra_Boot 1.03",
        "Version  --> Corvane_Lyra_Boot 1.03",
        "[box] Error : unable to unregister the notification",
        "Transmit command --> ERROR Can't write to device",
        "Get Version command --> FAIL",
        "[box] Error : unable to unregister the notification",
        "Transmit command --> Can't read the ACK from the device",
        "Get Version command --> FAIL",
        "Unable to Transmit command : no HID device found.",
        "Get Version command --> FAIL",
        "Unable to reset device : no HID device found.",
    };
    EXPECT_EQ(transcript.lines, expected);
}

TEST(SendWithoutAnswer, LibraryResetKeepsStatusWord) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    reader.SetReturnAfterReset(false);
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);

    // A start download that finds nothing leaves 0xA003; a reset after the
    // reader came back is sent but reports that value still.
    reader.Unplug();
    EXPECT_FALSE(device.StartDownload());
    reader.Replug();
    EXPECT_TRUE(device.Reset());
    EXPECT_EQ(device.StatusWord(), bootstatus::StatusNoDevice);
    EXPECT_EQ(reader.ResetCount(), 1);
}

}  // namespace
