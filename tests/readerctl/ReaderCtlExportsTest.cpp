// The nine exports over the simulated boot loader: each test starts as a
// freshly loaded library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "bootdev/sim/SimBootLoader.h"
#include "readerctl/ReaderCtlDevice.h"
#include "readerctl/readerctl.h"

namespace {

constexpr std::uint16_t kVendor = 0x1209;
constexpr BootDevice::ProductIds kProducts = {0x0021, 0x0022, 0x0023, 0x0024};

std::unique_ptr<SimHidBus> g_bus;
std::unique_ptr<BootDevice> g_device;

}  // namespace

BootDevice& ReaderCtlDevice() { return *g_device; }

namespace {

class Exports : public testing::Test {
protected:
    void SetUp() override {
        g_bus = std::make_unique<SimHidBus>();
        g_device = std::make_unique<BootDevice>(*g_bus, BootPolicy::Library, kVendor, kProducts);
    }
    void TearDown() override {
        g_device.reset();
        g_bus.reset();
    }
    SimBootLoader& Plug(SimMode mode) {
        SimBootLoaderConfig config;
        config.vendorId = kVendor;
        config.productIds = kProducts;
        config.mode = mode;
        return g_bus->AddBootLoader(config);
    }
    static std::string Image(const char* name, std::size_t size) {
        // Named per process: other builds may run the same tests at the same time.
        const std::string path = testing::TempDir() + "readerctl_" + std::to_string(::getpid()) + "_" + name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < size; ++i) out.put(static_cast<char>(i * 13 + 1));
        return path;
    }
};

TEST_F(Exports, NoReaderRightAfterLoading) {
    std::uint16_t length = 0x5555;
    std::uint8_t version[32] = {};
    EXPECT_EQ(ResetDevice(), StatusNoDevice);
    EXPECT_EQ(StartDownload(), StatusNoDevice);
    EXPECT_EQ(GetFirmVersion(&length, version), StatusNoDevice);
    EXPECT_EQ(length, 0x5555) << "outputs untouched on failure";
    EXPECT_EQ(EndDownload(), StatusNoDownload);
    EXPECT_EQ(Download(Image("a.bin", 10).c_str()), StatusNotStarted);
    std::uint8_t value = 0x77;
    EXPECT_EQ(ReadSwitchInterface(&value), StatusNoDevice);
    EXPECT_EQ(value, 0x77);
}

TEST_F(Exports, FullDownloadAcrossTheRestart) {
    SimBootLoader& reader = Plug(SimMode::Application);
    const std::string path = Image("full.bin", 256 * 4 + 3);

    EXPECT_EQ(StartDownload(), StatusOk);
    EXPECT_EQ(reader.Mode(), SimMode::Boot);
    EXPECT_EQ(Download(path.c_str()), StatusOk);
    EXPECT_EQ(Download(path.c_str()), StatusNotStarted) << "a second Download needs a new start";
    EXPECT_EQ(EndDownload(), StatusOk);
    EXPECT_EQ(reader.Mode(), SimMode::Application);
    EXPECT_EQ(reader.Firmware().size(), 256u * 5);
    EXPECT_EQ(EndDownload(), StatusNoDownload);
}

TEST_F(Exports, MissingFileThenCorrectedDownload) {
    Plug(SimMode::Boot);
    ASSERT_EQ(StartDownload(), StatusOk);
    EXPECT_EQ(Download("/nonexistent/image.bin"), StatusFileOpen);
    EXPECT_EQ(Download(nullptr), StatusFileOpen);
    EXPECT_EQ(Download(Image("fixed.bin", 300).c_str()), StatusOk);
}

TEST_F(Exports, EmptyImageKeepsStateStarted) {
    Plug(SimMode::Boot);
    ASSERT_EQ(StartDownload(), StatusOk);
    EXPECT_EQ(Download(Image("empty.bin", 0).c_str()), StatusOk);
    EXPECT_EQ(Download(Image("empty.bin", 0).c_str()), StatusOk) << "still Started";
    EXPECT_EQ(EndDownload(), StatusOk);
}

TEST_F(Exports, FailedBlockReportsDeviceStatusAndClosesDevice) {
    SimBootLoader& reader = Plug(SimMode::Boot);
    ASSERT_EQ(StartDownload(), StatusOk);
    SimFaultRule rule{SimFault::Status, -1, 2, 0x53, 0x01, 0x6F, 0x00};
    reader.InjectFault(rule);
    EXPECT_EQ(Download(Image("fail.bin", 256 * 5).c_str()), StatusOk)
        << "byte 1 alone does not fail a data packet";
    ASSERT_EQ(StartDownload(), StatusOk);
    reader.ClearFaults();
    rule.status1 = 0x65;
    rule.status2 = 0x81;
    reader.InjectFault(rule);
    EXPECT_EQ(Download(Image("fail.bin", 256 * 5).c_str()), 0x6581);
    EXPECT_FALSE(g_device->HandleOpen());
    EXPECT_EQ(EndDownload(), StatusOk) << "the state is Sending, so end download is allowed";
}

TEST_F(Exports, UnplugAndReplugBetweenCalls) {
    SimBootLoader& reader = Plug(SimMode::Boot);
    std::uint8_t value = 0;
    EXPECT_EQ(SwitchInterface(0x102), StatusOk);
    EXPECT_EQ(reader.SwitchValue(), 0x02) << "only the low byte is sent";
    reader.Unplug();
    EXPECT_EQ(StartDownload(), StatusNoDevice);
    EXPECT_EQ(ReadSwitchInterface(&value), StatusNoDevice);
    std::uint8_t eeprom[4];
    EXPECT_EQ(ReadEEPROM(0, 4, eeprom), StatusNoDevice);
    EXPECT_EQ(WriteEEPROM(0, 4, eeprom), StatusNoDevice);
    reader.SetMode(SimMode::Application);
    reader.Replug();
    EXPECT_EQ(ReadSwitchInterface(&value), StatusOk);
    EXPECT_EQ(value, 0x02);
    // A reset finds the reader again but reports the last status word.
    reader.Unplug();
    EXPECT_EQ(StartDownload(), StatusNoDevice);
    reader.Replug();
    EXPECT_EQ(ResetDevice(), StatusNoDevice);
    EXPECT_EQ(reader.ResetCount(), 1);
}

TEST_F(Exports, MaintenanceRoundTrips) {
    SimBootLoader& reader = Plug(SimMode::Application);
    const std::uint8_t data[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(WriteEEPROM(0x1FE, 0x105, data), StatusOk);  // address 0xFE, count 5
    EXPECT_EQ(reader.Eeprom()[0xFE], 1);
    EXPECT_EQ(reader.Eeprom()[0x02], 5) << "wraps round the EEPROM";

    std::uint8_t out[8];
    std::memset(out, 0xEE, sizeof out);
    EXPECT_EQ(ReadEEPROM(0xFE, 0, out), StatusOk);
    EXPECT_EQ(out[0], 0xEE) << "count 0 writes nothing";
    EXPECT_EQ(ReadEEPROM(0xFE, 5, out), StatusOk);
    EXPECT_EQ(std::memcmp(out, data, 5), 0);
    EXPECT_EQ(out[5], 0xEE);

    std::uint16_t length = 0;
    std::uint8_t version[255];
    EXPECT_EQ(GetFirmVersion(&length, version), StatusOk);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(version), length), "Corvane_Lyra 2.10");

    reader.InjectFault({SimFault::Status, 1, 0, 0x52, -1, 0x01, 0x00});
    EXPECT_EQ(SwitchInterface(1), 0x0100);
    EXPECT_FALSE(g_device->HandleOpen()) << "a refused answer drops the device too";
    EXPECT_EQ(ResetDevice(), 0x0100) << "reset keeps the last status word";
}

}  // namespace
