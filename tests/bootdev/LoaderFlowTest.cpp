// SPDX-License-Identifier: BSD-3-Clause
// The loader's sequences as its log shows them: the download across the
// reader's restart, no reader, no file, a reader pulled out mid-way.
#include "BootTestBench.h"
#include "bootdev/LoaderText.h"

using namespace boottest;

namespace {

class LoaderFlow : public testing::Test {
protected:
    SimHidBus bus;
    Transcript transcript;
    std::unique_ptr<BootDevice> device;

    void Make() {
        device = std::make_unique<BootDevice>(bus, BootPolicy::Loader, kVendor, kProducts);
        device->SetHooks(transcript.Hooks());
    }
    // What the loader's Download button does before the reader's return.
    void ClickDownload(const std::string& path) {
        if (!device->StartDownload()) return;
        if (device->Connected() && device->BootFlag() && device->Download(path) == DownloadResult::Ok)
            device->EndDownload();
    }
};

TEST_F(LoaderFlow, ApplicationReaderIsResetAndTheDownloadGoesOnWhenItReturns) {
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    reader.SetReturnAfterReset(false);
    Make();
    const std::vector<std::uint8_t> image = Pattern(700);
    const std::string path = WriteImageFile("loader.bin", image);

    ClickDownload(path);
    EXPECT_EQ(device->State(), DownloadState::Started);
    EXPECT_FALSE(device->BootFlag());

    // The reader comes back: the arrival handler closes, discovers, and goes on.
    reader.Replug();
    device->Close();
    ASSERT_TRUE(device->Discover());
    EXPECT_EQ(device->DevicePath(), reader.Path());
    device->LogFirmVersion();
    ASSERT_EQ(device->Download(path), DownloadResult::Ok);
    EXPECT_TRUE(device->EndDownload());

    const std::vector<std::string> expected = {
        "START DOWNLOAD SUCCESS",
        "Version  --> Corvane_Lyra 2.10",
        "Reset sent to device",
        "Version  --> Corvane_Lyra_Boot 1.03",
        "...Download in progress...",
        "DOWNLOAD SUCCESS",
        "Reset sent to device",
    };
    EXPECT_EQ(transcript.lines, expected);
    EXPECT_EQ(device->State(), DownloadState::Idle);
    EXPECT_FALSE(device->Connected());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), reader.Firmware().begin()));
}

TEST_F(LoaderFlow, NoReader) {
    Make();
    ClickDownload(WriteImageFile("none.bin", Pattern(10)));
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{loadertext::kNoDevice, loadertext::kStartFail}));
}

TEST_F(LoaderFlow, NotReadyAnswer) {
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    reader.InjectFault({SimFault::Status, 1, 0, 0x53, 0x00, 0x00, 0x09});
    Make();
    ClickDownload(WriteImageFile("busy.bin", Pattern(10)));
    EXPECT_EQ(transcript.lines, std::vector<std::string>{loadertext::kStartNotReady});
    EXPECT_EQ(device->State(), DownloadState::Idle);
}

TEST_F(LoaderFlow, NoFileChosenAgainstBootLoader) {
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Make();
    ClickDownload("");
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{"START DOWNLOAD SUCCESS", "[box] ERROR open file to download",
                                                          "ERROR open file to download"}));
    EXPECT_EQ(reader.EndCount(), 0);
}

TEST_F(LoaderFlow, DownloadWithoutStartIsRefusedWithABox) {
    bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Make();
    EXPECT_EQ(device->Download(WriteImageFile("x.bin", Pattern(10))), DownloadResult::NotStarted);
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{std::string("[box] ") + loadertext::kNotStarted,
                                                          loadertext::kNotStarted}));
}

TEST_F(LoaderFlow, ReaderPulledOutDuringTheBlocks) {
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Make();
    ASSERT_TRUE(device->StartDownload());
    reader.InjectFault({SimFault::Unplug, 1, 3, 0x53, 0x01});  // leaves while block 3 is written
    transcript.lines.clear();
    EXPECT_EQ(device->Download(WriteImageFile("pulled.bin", Pattern(2000))), DownloadResult::BlockFailed);
    EXPECT_EQ(device->State(), DownloadState::Sending);
    EXPECT_FALSE(device->Connected());
    const std::vector<std::string> expected = {
        "...Download in progress...",
        "Send Data --> Unable to write to device",
        "[box] Download fail at Offset: 3",
        "Download fail at Offset: 3",
        "DOWNLOAD FAIL",
    };
    EXPECT_EQ(transcript.lines, expected);

    // The removal notification then runs the end download, which fails.
    transcript.lines.clear();
    EXPECT_FALSE(device->EndDownload());
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{loadertext::kEndNoDevice, loadertext::kNoDevice,
                                                          loadertext::kEndFail}));
}

TEST_F(LoaderFlow, BlockHookCountsOnlyAcknowledgedBlocks) {
    bus.AddBootLoader(ReaderConfig(SimMode::Boot)).InjectFault({SimFault::Unplug, 1, 3, 0x53, 0x01});
    Make();
    std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;
    BootDeviceHooks hooks = transcript.Hooks();
    hooks.blockSent = [&](std::uint32_t sent, std::uint32_t total) { seen.emplace_back(sent, total); };
    device->SetHooks(std::move(hooks));
    ASSERT_TRUE(device->StartDownload());
    EXPECT_EQ(device->Download(WriteImageFile("counted.bin", Pattern(1300))), DownloadResult::BlockFailed);
    // 1300 bytes are 6 blocks; blocks 0 to 2 went through before the reader left at block 3.
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{1, 6}, {2, 6}, {3, 6}}));
}

TEST_F(LoaderFlow, EmptyImageSendsNothingAndEnds) {
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Make();
    ClickDownload(WriteImageFile("empty.bin", {}));
    EXPECT_EQ(transcript.lines, (std::vector<std::string>{"START DOWNLOAD SUCCESS", "...Download in progress...",
                                                          "DOWNLOAD SUCCESS", "Reset sent to device"}));
    EXPECT_EQ(reader.BlocksTaken(), 0u);
    EXPECT_EQ(reader.EndCount(), 1);
}

}  // namespace
