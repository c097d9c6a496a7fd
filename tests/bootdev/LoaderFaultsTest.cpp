// SPDX-License-Identifier: BSD-3-Clause
// The loader's side of the faults a scripted reader and hostile files found:
// the version text it reads is bounded like the library's, a short answer is
// a failed read, and only a regular file is an image.
#include <sys/stat.h>

#include "BootTestBench.h"
#include "bootdev/LoaderText.h"

using namespace boottest;

namespace {

// Version texts without a terminating zero, of any claimed length: the log
// shows at most the 30 bytes a version is given.
struct LoaderVersionCase {
    std::size_t textLength;
    std::uint8_t lengthByte;
    std::size_t shown;
};

class LoaderVersion : public testing::TestWithParam<LoaderVersionCase> {};

TEST_P(LoaderVersion, LogShowsAtMostThirtyBytes) {
    const LoaderVersionCase& c = GetParam();
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    std::vector<std::uint8_t> text(c.textLength);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>('A' + i % 26);
    reader.SetVersionBytes(SimMode::Application, text);
    reader.SetVersionLengthByte(c.lengthByte);
    Transcript transcript;
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);
    device.SetHooks(transcript.Hooks());

    ASSERT_TRUE(device.LogFirmVersion());
    ASSERT_EQ(transcript.lines.size(), 1u);
    EXPECT_EQ(transcript.lines[0], "Version  --> " + std::string(text.begin(), text.begin() + c.shown));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LoaderVersion,
                         testing::Values(LoaderVersionCase{250, 200, 30}, LoaderVersionCase{31, 31, 30},
                                         LoaderVersionCase{30, 30, 30}, LoaderVersionCase{29, 200, 29},
                                         LoaderVersionCase{0, 0, 0}));

// A short answer is the read failing, in every loader command that reads.
struct LoaderShortCase {
    const char* name;
    int header;
    int command;
    std::function<void(BootDevice&)> run;
    std::vector<std::string> log;
};

class LoaderShortAnswer : public testing::TestWithParam<LoaderShortCase> {};

TEST_P(LoaderShortAnswer, IsACantReadFailure) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Transcript transcript;
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);
    device.SetHooks(transcript.Hooks());
    if (GetParam().header == 0x53 && GetParam().command == 0x01) {
        ASSERT_TRUE(device.StartDownload());
        transcript.lines.clear();
    }
    SimFaultRule rule{SimFault::ShortRead, -1, 0, GetParam().header, GetParam().command};
    rule.shortLength = 5;  // report id, status 00 00 and the length: the rest missing
    reader.InjectFault(rule);
    GetParam().run(device);
    EXPECT_EQ(transcript.lines, GetParam().log);
    EXPECT_FALSE(device.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, LoaderShortAnswer,
    testing::Values(
        LoaderShortCase{"GetVersion", 0x52, 0x02, [](BootDevice& d) { d.LogFirmVersion(); },
                        {loadertext::kCantReadAck, loadertext::kGetVersionFail}},
        LoaderShortCase{"StartDownload", 0x53, 0x00, [](BootDevice& d) { d.StartDownload(); },
                        {loadertext::kCantReadAck, loadertext::kStartFail}},
        LoaderShortCase{"DataPacket", 0x53, 0x01,
                        [](BootDevice& d) { d.Download(WriteImageFile("short.bin", Pattern(10))); },
                        {loadertext::kInProgress, loadertext::kSendCantRead,
                         "[box] Download fail at Offset: 0", "Download fail at Offset: 0",
                         loadertext::kDownloadFail}}),
    [](const testing::TestParamInfo<LoaderShortCase>& info) { return std::string(info.param.name); });

// Paths that name no regular file are refused at once, by both policies,
// without a block sent; the download may go on with a proper file.
TEST(ImageFiles, OnlyRegularFilesAreImages) {
    const std::string fifo = testing::TempDir() + "bootdev_fifo_" + std::to_string(::getpid());
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> refused = {fifo, "/dev/zero", "/dev/null", "/", testing::TempDir(), "",
                                              "/nonexistent/x.bin", std::string(20000, 'y')};
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        Transcript transcript;
        BootDevice device(bus, policy, kVendor, kProducts);
        device.SetHooks(transcript.Hooks());
        ASSERT_TRUE(device.StartDownload());
        transcript.lines.clear();
        for (const std::string& path : refused) {
            SCOPED_TRACE(path.substr(0, 40));
            EXPECT_EQ(device.Download(path), DownloadResult::FileOpen);
        }
        if (policy == BootPolicy::Loader) {
            std::vector<std::string> expected;
            for (std::size_t i = 0; i < refused.size(); ++i)
                expected.insert(expected.end(), {"[box] ERROR open file to download", "ERROR open file to download"});
            EXPECT_EQ(transcript.lines, expected);
        }
        EXPECT_EQ(reader.BlocksTaken(), 0u);
        EXPECT_EQ(device.Download(WriteImageFile("regular.bin", Pattern(513))), DownloadResult::Ok);
        EXPECT_EQ(reader.BlocksTaken(), 3u);
    }
    ::unlink(fifo.c_str());
}

}  // namespace
