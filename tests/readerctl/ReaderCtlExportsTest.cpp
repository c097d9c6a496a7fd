// SPDX-License-Identifier: BSD-3-Clause
// The nine exports over the simulated boot loader: each test starts as a
// freshly loaded library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <functional>
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
public:
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

// ---------------------------------------------------------------------------
// Faults found by a hostile caller and a scripted reader.

namespace {

// A block 0 that fails in each of the ways a reader can fail it, then the
// same Download once the reader behaves: every block acknowledged means 0.
struct RetryCase {
    const char* name;
    SimFaultRule fault;
    std::uint16_t firstResult;
};

class RetriedDownload : public Exports, public testing::WithParamInterface<RetryCase> {};

TEST_P(RetriedDownload, ReturnsZeroOnceEveryBlockIsAcknowledged) {
    SimBootLoader& reader = Plug(SimMode::Boot);
    ASSERT_EQ(StartDownload(), StatusOk);
    reader.InjectFault(GetParam().fault);
    const std::string path = Image("retry.bin", 256 * 3 + 1);
    EXPECT_EQ(Download(path.c_str()), GetParam().firstResult);
    reader.ClearFaults();
    EXPECT_EQ(Download(path.c_str()), StatusOk) << "block 0 failed, so the state is still Started";
    EXPECT_EQ(ResetDevice(), StatusOk) << "the status word follows the successful download";
    EXPECT_EQ(StartDownload(), StatusOk);
    EXPECT_EQ(Download(path.c_str()), StatusOk);
    EXPECT_EQ(EndDownload(), StatusOk);
    EXPECT_EQ(reader.Firmware().size(), 256u * 4);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RetriedDownload,
    testing::Values(RetryCase{"DeviceStatus", {SimFault::Status, 3, 0, 0x53, 0x01, 0x65, 0x81}, 0x6581},
                    RetryCase{"WriteFails", {SimFault::FailWrite, 3, 0, 0x53, 0x01}, 0x53F9},
                    RetryCase{"ReadFails", {SimFault::FailRead, 3, 0, 0x53, 0x01}, 0x53F9},
                    RetryCase{"WrongEcho", {SimFault::WrongEcho, 3, 0, 0x53, 0x01}, 0x53F9}),
    [](const testing::TestParamInfo<RetryCase>& info) { return std::string(info.param.name); });

// Whatever sent the first reset, the next ResetDevice finds the restarted
// reader and really resets it.
struct ResetCase {
    const char* name;
    SimMode mode;
    std::function<void(const std::string& image)> firstReset;
};

class SecondReset : public Exports, public testing::WithParamInterface<ResetCase> {};

TEST_P(SecondReset, ReachesTheRestartedReader) {
    SimBootLoader& reader = Plug(GetParam().mode);
    GetParam().firstReset(Image("reset.bin", 300));
    ASSERT_EQ(reader.ResetCount(), 1);
    EXPECT_EQ(ResetDevice(), StatusOk);
    EXPECT_EQ(reader.ResetCount(), 2);
    EXPECT_EQ(ResetDevice(), StatusOk);
    EXPECT_EQ(reader.ResetCount(), 3);

    // A reader that stays away after the reset is not reset "successfully".
    reader.SetReturnAfterReset(false);
    EXPECT_EQ(ResetDevice(), StatusOk);
    EXPECT_EQ(reader.ResetCount(), 4);
    EXPECT_EQ(ResetDevice(), StatusNoDevice);
    EXPECT_EQ(reader.ResetCount(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    FirstReset, SecondReset,
    testing::Values(ResetCase{"ResetDevice", SimMode::Boot, [](const std::string&) { ResetDevice(); }},
                    ResetCase{"ResetDeviceAfterACommand", SimMode::Boot,
                              [](const std::string&) {
                                  std::uint8_t value = 0;
                                  ReadSwitchInterface(&value);
                                  ResetDevice();
                              }},
                    ResetCase{"StartDownloadFromApplication", SimMode::Application,
                              [](const std::string&) { StartDownload(); }},
                    ResetCase{"EndDownload", SimMode::Boot,
                              [](const std::string& image) {
                                  StartDownload();
                                  Download(image.c_str());
                                  EndDownload();
                              }}),
    [](const testing::TestParamInfo<ResetCase>& info) { return std::string(info.param.name); });

TEST_F(Exports, ResetThatCannotBeWrittenIsNotASuccess) {
    SimBootLoader& reader = Plug(SimMode::Boot);
    std::uint8_t value = 0;
    ASSERT_EQ(ReadSwitchInterface(&value), StatusOk);
    reader.InjectFault({SimFault::FailWrite, 1, 0, 0x52, 0x05});
    EXPECT_EQ(ResetDevice(), 0x52F8);
    EXPECT_EQ(reader.ResetCount(), 0);
    EXPECT_EQ(ResetDevice(), 0x52F8) << "the status word keeps the failure";
    EXPECT_EQ(reader.ResetCount(), 1);
}

// The caller's 30-byte area, with guard bytes on both sides, whatever the
// reader's length byte claims. Expected lengths: the documented 30-byte room.
struct VersionAreaCase {
    std::uint8_t lengthByte;
    std::size_t textLength;
    std::uint16_t copied;
};

class VersionArea : public Exports, public testing::WithParamInterface<VersionAreaCase> {};

TEST_P(VersionArea, NeighboursOfThirtyByteAreaStayUntouched) {
    const VersionAreaCase& c = GetParam();
    SimBootLoader& reader = Plug(SimMode::Application);
    std::vector<std::uint8_t> text(c.textLength);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>('a' + i % 26);
    reader.SetVersionBytes(SimMode::Application, text);
    reader.SetVersionLengthByte(c.lengthByte);

    constexpr std::size_t kGuard = 16;
    std::vector<std::uint8_t> memory(kGuard + 30 + kGuard, 0xA5);
    std::uint16_t length = 0xFFFF;
    ASSERT_EQ(GetFirmVersion(&length, memory.data() + kGuard), StatusOk);
    EXPECT_EQ(length, c.copied);
    for (std::size_t i = 0; i < kGuard; ++i) {
        EXPECT_EQ(memory[i], 0xA5) << "guard before, byte " << i;
        EXPECT_EQ(memory[kGuard + 30 + i], 0xA5) << "guard after, byte " << i;
    }
    for (std::size_t i = 0; i < c.copied; ++i) EXPECT_EQ(memory[kGuard + i], text[i]);
}

INSTANTIATE_TEST_SUITE_P(Lengths, VersionArea,
                         testing::Values(VersionAreaCase{200, 250, 30}, VersionAreaCase{255, 300, 30},
                                         VersionAreaCase{31, 31, 30}, VersionAreaCase{30, 30, 30},
                                         VersionAreaCase{29, 29, 29}, VersionAreaCase{0, 0, 0}));

// A reader whose answer is shorter than its feature report has not answered:
// the missing bytes must not read as status 00 00.
struct ShortCase {
    const char* name;
    int header;
    int command;
    std::function<std::uint16_t()> call;
    std::uint16_t expected;
};

std::uint8_t g_area[8];

class ShortAnswer : public Exports, public testing::WithParamInterface<ShortCase> {};

TEST_P(ShortAnswer, FailsTheCommandAndWritesNoOutput) {
    for (std::size_t given : {std::size_t{1}, std::size_t{5}, std::size_t{9}, std::size_t{265}}) {
        SCOPED_TRACE(given);
        SetUp();
        SimBootLoader& reader = Plug(SimMode::Boot);
        reader.Eeprom()[0] = 0x11;
        SimFaultRule rule{SimFault::ShortRead, -1, 0, GetParam().header, GetParam().command};
        rule.shortLength = given;
        reader.InjectFault(rule);
        std::memset(g_area, 0xEE, sizeof g_area);
        EXPECT_EQ(GetParam().call(), GetParam().expected);
        for (std::uint8_t byte : g_area) EXPECT_EQ(byte, 0xEE);
        EXPECT_FALSE(g_device->HandleOpen());
        TearDown();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ShortAnswer,
    testing::Values(
        ShortCase{"ReadEEPROM", 0x52, 0x00, [] { return ReadEEPROM(0, 4, g_area); }, 0x52F8},
        ShortCase{"GetFirmVersion", 0x52, 0x02,
                  [] {
                      std::uint16_t length = 0;
                      const std::uint16_t result = GetFirmVersion(&length, g_area);
                      if (length != 0) g_area[0] = 0;  // a length written counts as output
                      return result;
                  },
                  0x52F8},
        ShortCase{"ReadSwitchInterface", 0x52, 0x03, [] { return ReadSwitchInterface(g_area); }, 0x52F8},
        ShortCase{"SwitchInterface", 0x52, 0x04, [] { return SwitchInterface(1); }, 0x52F8},
        ShortCase{"WriteEEPROM", 0x52, 0x01, [] { return WriteEEPROM(0, 1, g_area); }, 0x52F8},
        ShortCase{"StartDownload", 0x53, 0x00, [] { return StartDownload(); }, 0x53F9},
        ShortCase{"DataPacket", 0x53, 0x01,
                  [] {
                      StartDownload();
                      return Download(Exports::Image("short.bin", 10).c_str());
                  },
                  0x53F9}),
    [](const testing::TestParamInfo<ShortCase>& info) { return std::string(info.param.name); });

// Null areas are refused before any frame goes out; the status word is
// left to the reader's last answer.
TEST_F(Exports, NullPointersAreRefusedWithoutAFrame) {
    SimBootLoader& reader = Plug(SimMode::Boot);
    std::uint16_t length = 0;
    std::uint8_t area[32];
    const std::vector<std::pair<const char*, std::function<std::uint16_t()>>> calls = {
        {"GetFirmVersion(null, null)", [] { return GetFirmVersion(nullptr, nullptr); }},
        {"GetFirmVersion(null, area)", [&] { return GetFirmVersion(nullptr, area); }},
        {"GetFirmVersion(length, null)", [&] { return GetFirmVersion(&length, nullptr); }},
        {"ReadEEPROM(count 1, null)", [] { return ReadEEPROM(0, 1, nullptr); }},
        {"ReadEEPROM(count 255, null)", [] { return ReadEEPROM(0, 255, nullptr); }},
        {"ReadEEPROM(count 0x100 + 3, null)", [] { return ReadEEPROM(0, 0x103, nullptr); }},
        {"WriteEEPROM(count 255, null)", [] { return WriteEEPROM(0, 255, nullptr); }},
        {"ReadSwitchInterface(null)", [] { return ReadSwitchInterface(nullptr); }},
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        reader.ClearFrames();
        EXPECT_EQ(call(), StatusBadArgument);
        EXPECT_TRUE(reader.Frames().empty());
    }
    // Count 0 needs no area: the frame goes out as for any count 0.
    reader.ClearFrames();
    EXPECT_EQ(ReadEEPROM(0, 0x100, nullptr), StatusOk);
    EXPECT_EQ(WriteEEPROM(0, 0, nullptr), StatusOk);
    EXPECT_EQ(reader.Frames().size(), 2u);
    EXPECT_EQ(length, 0);
}

}  // namespace
