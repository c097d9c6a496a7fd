// SPDX-License-Identifier: BSD-3-Clause
// The commands' answer checks, the data packet's attempts, the image cut
// into blocks, the boot check and the bounds on what the device claims.
#include <cstring>
#include <functional>

#include "BootTestBench.h"
#include "bootdev/LoaderText.h"

using namespace boottest;

namespace {

// --- Answer acceptance: status 01 00 fails the library only, 00 01 both. ---

struct AcceptanceCase {
    const char* name;
    int header;
    int command;
    std::function<bool(BootDevice&)> run;
};

class Acceptance : public testing::TestWithParam<AcceptanceCase> {
protected:
    // Runs the command with the answer's status bytes forced; returns its outcome.
    bool Run(BootPolicy policy, std::uint8_t status1, std::uint8_t status2, std::uint16_t* statusWord) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        BootDevice device(bus, policy, kVendor, kProducts);
        if (GetParam().command == 0x02 && GetParam().header == 0x53) {  // end download needs a download
            EXPECT_TRUE(device.StartDownload());
        }
        if (policy == BootPolicy::Loader) device.Discover();
        SimFaultRule rule;
        rule.kind = SimFault::Status;
        rule.header = GetParam().header;
        rule.command = GetParam().command;
        rule.times = -1;
        rule.status1 = status1;
        rule.status2 = status2;
        reader.InjectFault(rule);
        const bool ok = GetParam().run(device);
        *statusWord = device.StatusWord();
        return ok;
    }
};

TEST_P(Acceptance, ByteOneFailsLibraryOnlyByteTwoFailsBoth) {
    std::uint16_t status = 0;
    EXPECT_FALSE(Run(BootPolicy::Library, 0x01, 0x00, &status));
    EXPECT_EQ(status, 0x0100);
    EXPECT_FALSE(Run(BootPolicy::Library, 0x00, 0x01, &status));
    EXPECT_EQ(status, 0x0001);
    EXPECT_TRUE(Run(BootPolicy::Loader, 0x01, 0x00, &status));
    EXPECT_FALSE(Run(BootPolicy::Loader, 0x00, 0x01, &status));
}

INSTANTIATE_TEST_SUITE_P(
    DownloadCommands, Acceptance,
    testing::Values(AcceptanceCase{"StartDownload", 0x53, 0x00, [](BootDevice& d) { return d.StartDownload(); }},
                    AcceptanceCase{"EndDownload", 0x53, 0x02, [](BootDevice& d) { return d.EndDownload(); }}),
    [](const testing::TestParamInfo<AcceptanceCase>& info) { return std::string(info.param.name); });

// The data packet reads byte 2 alone, in both policies.
TEST(DataPacket, ByteOneIsNeverConsulted) {
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        BootDevice device(bus, policy, kVendor, kProducts);
        ASSERT_TRUE(device.Discover());
        reader.InjectFault({SimFault::Status, -1, 0, 0x53, 0x01, 0x01, 0x00});
        EXPECT_TRUE(device.DataPacket(0, Pattern(256).data()));
        reader.ClearFaults();
        reader.InjectFault({SimFault::Status, -1, 0, 0x53, 0x01, 0x00, 0x01});
        EXPECT_FALSE(device.DataPacket(1, Pattern(256).data()));
        if (policy == BootPolicy::Library) {
            EXPECT_EQ(device.StatusWord(), 0x0001);
        }
    }
}

// --- Three attempts per data packet. ---

struct AttemptCase {
    const char* name;
    SimFault fault;
    int times;                 // consecutive bad answers
    bool libraryPasses;        // after them
    std::uint16_t libraryStatus;
    std::vector<std::string> loaderLog;
};

class Attempts : public testing::TestWithParam<AttemptCase> {};

TEST_P(Attempts, ThreeTriesThenFailure) {
    const AttemptCase& c = GetParam();
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        Transcript transcript;
        BootDevice device(bus, policy, kVendor, kProducts);
        device.SetHooks(transcript.Hooks());
        ASSERT_TRUE(device.Discover());
        SimFaultRule rule{c.fault, c.times, 0, 0x53, 0x01};
        rule.status1 = 0x6A;
        rule.status2 = 0x82;
        reader.InjectFault(rule);
        const bool ok = device.DataPacket(5, Pattern(256).data());
        if (policy == BootPolicy::Library) {
            EXPECT_EQ(ok, c.libraryPasses) << "library";
            if (!ok) {
                EXPECT_EQ(device.StatusWord(), c.libraryStatus);
            }
            EXPECT_EQ(reader.BlocksTaken() + (c.fault == SimFault::FailWrite ? c.times : 0),
                      std::size_t(std::min(c.times + (c.libraryPasses ? 1 : 0), 3)))
                << "attempts made";
        } else {
            EXPECT_EQ(transcript.lines, c.loaderLog) << "loader";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Attempts,
    testing::Values(
        AttemptCase{"WrongEchoTwice", SimFault::WrongEcho, 2, true, 0, {}},
        AttemptCase{"WrongEchoThrice", SimFault::WrongEcho, 3, false, 0x53F9, {}},
        AttemptCase{"StatusThrice", SimFault::Status, 3, false, 0x6A82,
                    {loadertext::kSendNotOk, loadertext::kSendNotOk, loadertext::kSendNotOk}},
        AttemptCase{"WrongLengthTwice", SimFault::WrongLength, 2, true, 0,
                    {loadertext::kSendBadLength, loadertext::kSendBadLength}},
        // The library keeps trying after a failed transfer; the loader stops.
        AttemptCase{"WriteFailsTwice", SimFault::FailWrite, 2, true, 0, {loadertext::kSendCantWrite}},
        AttemptCase{"WriteFailsThrice", SimFault::FailWrite, 3, false, 0x53F9, {loadertext::kSendCantWrite}},
        AttemptCase{"ReadFailsThrice", SimFault::FailRead, 3, false, 0x53F9, {loadertext::kSendCantRead}}),
    [](const testing::TestParamInfo<AttemptCase>& info) { return std::string(info.param.name); });

TEST(DataPacket, WrongEchoWithStatusBytesReportsThemHighByteFirst) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    ASSERT_TRUE(device.Discover());
    // Answers with a wrong echo carrying status 12 00: byte 2 passes, the echo does not.
    for (int i = 0; i < 3; ++i) {
        std::vector<std::uint8_t> answer = {0x00, 0x12, 0x00, 0x04, 0x00, 0x09, 0x00, 0x00, 0x00};
        reader.QueueRawAnswer(answer);
    }
    EXPECT_FALSE(device.DataPacket(8, Pattern(256).data()));
    EXPECT_EQ(device.StatusWord(), 0x1200);
}

// --- Images cut into blocks. ---

class ImageSizes : public testing::TestWithParam<std::size_t> {};

TEST_P(ImageSizes, BlocksCarryTheImageInOrder) {
    const std::size_t size = GetParam();
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    ASSERT_TRUE(device.StartDownload());
    reader.ClearFrames();
    const std::vector<std::uint8_t> image = Pattern(size, 3);
    const std::string path = WriteImageFile("image_" + std::to_string(size) + ".bin", image);

    EXPECT_EQ(device.Download(path), DownloadResult::Ok);
    EXPECT_EQ(device.StatusWord(), 0);
    const std::size_t blocks = (size + 255) / 256;
    ASSERT_EQ(reader.Frames().size(), blocks);
    for (std::size_t n = 0; n < blocks; ++n) EXPECT_EQ(bootproto::GetLe32(reader.Frames()[n].data() + 6), n);
    ASSERT_EQ(reader.Image().size(), blocks * 256);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), reader.Image().begin()));
    EXPECT_EQ(device.State(), size == 0 ? DownloadState::Started : DownloadState::Sending);
    EXPECT_TRUE(device.EndDownload());
    EXPECT_EQ(device.State(), DownloadState::Idle);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImageSizes, testing::Values(0, 1, 255, 256, 257, 512, 256 * 7, 256 * 7 + 255));

TEST(Download, StateRulesAndRestartNumbering) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    const std::string path = WriteImageFile("state.bin", Pattern(600));

    EXPECT_EQ(device.Download(path), DownloadResult::NotStarted);
    ASSERT_TRUE(device.StartDownload());
    ASSERT_TRUE(device.StartDownload());
    EXPECT_EQ(device.State(), DownloadState::Started);
    EXPECT_EQ(device.Download(testing::TempDir() + "no/such/image.bin"), DownloadResult::FileOpen);
    EXPECT_EQ(device.Download(testing::TempDir()), DownloadResult::FileOpen) << "a directory is no image";
    EXPECT_EQ(device.State(), DownloadState::Started);

    // Block 1 fails: the state stays Sending and a new Download is refused.
    reader.InjectFault({SimFault::WrongEcho, 3, 1, 0x53, 0x01});
    EXPECT_EQ(device.Download(path), DownloadResult::BlockFailed);
    EXPECT_EQ(device.State(), DownloadState::Sending);
    EXPECT_FALSE(device.HandleOpen());
    EXPECT_EQ(device.Download(path), DownloadResult::NotStarted);

    ASSERT_TRUE(device.StartDownload());
    reader.ClearFrames();
    EXPECT_EQ(device.Download(path), DownloadResult::Ok);
    EXPECT_EQ(bootproto::GetLe32(reader.Frames().front().data() + 6), 0u) << "numbering restarts at 0";
}

// --- Boot check and the restart into the boot loader. ---

struct BootCheckCase {
    const char* version;
    bool library;
    bool loader;
};

class BootCheck : public testing::TestWithParam<BootCheckCase> {};

TEST_P(BootCheck, LibraryIgnoresCaseLoaderDoesNot) {
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        reader.SetVersions("x", GetParam().version);
        BootDevice device(bus, policy, kVendor, kProducts);
        EXPECT_EQ(device.BootCheck(), policy == BootPolicy::Library ? GetParam().library : GetParam().loader)
            << GetParam().version;
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, BootCheck,
                         testing::Values(BootCheckCase{"Corvane_Lyra_Boot", true, true},
                                         BootCheckCase{"Corvane_Lyra_Boot 1.03", true, true},
                                         BootCheckCase{"corvane_lyra_boot 1.03", true, false},
                                         BootCheckCase{"Corvane_Lyra_Boo", false, false},
                                         BootCheckCase{"Corvane_Lyra_App 2.10", false, false},
                                         BootCheckCase{"", false, false}));

TEST(StartDownload, ResetsAnApplicationReaderIntoItsBootLoader) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    const std::uint16_t appProduct = reader.ProductId();
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);

    ASSERT_TRUE(device.StartDownload());
    EXPECT_EQ(device.StatusWord(), 0) << "the version query's status";
    EXPECT_EQ(reader.ResetCount(), 1);
    EXPECT_EQ(reader.Mode(), SimMode::Boot);
    EXPECT_NE(reader.ProductId(), appProduct);

    const std::vector<std::uint8_t> image = Pattern(1000);
    EXPECT_EQ(device.Download(WriteImageFile("restart.bin", image)), DownloadResult::Ok);
    EXPECT_TRUE(device.EndDownload());
    EXPECT_EQ(reader.ResetCount(), 2);
    EXPECT_EQ(reader.Mode(), SimMode::Application);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), reader.Firmware().begin()));

    // A reader already in its boot loader is not reset.
    ASSERT_TRUE(device.StartDownload());  // resets it again: it runs its application now
    EXPECT_EQ(reader.ResetCount(), 3);
    ASSERT_TRUE(device.StartDownload());
    EXPECT_EQ(reader.ResetCount(), 3);
}

TEST(StartDownload, DownloadBeforeTheReaderIsBackFailsAtBlockZero) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    reader.SetReturnAfterReset(false);
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);
    ASSERT_TRUE(device.StartDownload());
    EXPECT_EQ(device.Download(WriteImageFile("early.bin", Pattern(300))), DownloadResult::BlockFailed);
    EXPECT_EQ(device.StatusWord(), 0x53F9);
    EXPECT_EQ(device.State(), DownloadState::Started);
    reader.Replug();
    EXPECT_EQ(device.Download(WriteImageFile("early.bin", Pattern(300))), DownloadResult::Ok);
}

// --- Lengths claimed by the device are cut to the frame. ---

struct VersionLengthCase {
    std::size_t featureLength;
    std::uint8_t lengthByte;
    std::size_t textLength;
    std::size_t expected;
};

class VersionLength : public testing::TestWithParam<VersionLengthCase> {};

TEST_P(VersionLength, CutToWhatTheFrameHolds) {
    const VersionLengthCase& c = GetParam();
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot, c.featureLength));
    std::vector<std::uint8_t> text(c.textLength);
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<std::uint8_t>('A' + i % 26);
    if (!text.empty()) std::memcpy(text.data(), "Corvane_Lyra_Boot", std::min<std::size_t>(17, text.size()));
    reader.SetVersionBytes(SimMode::Boot, text);
    reader.SetVersionLengthByte(c.lengthByte);
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);

    std::vector<std::uint8_t> area(600, 0xEE);
    std::uint16_t length = 0;
    ASSERT_TRUE(device.GetFirmVersion(&length, area.data(), 255));
    EXPECT_EQ(length, c.expected);
    EXPECT_EQ(area[c.expected], 0xEE) << "nothing written past the copied bytes";
    // The boot check works within its own 30 bytes, whatever the length byte says.
    EXPECT_EQ(device.BootCheck(), c.textLength >= 17 && c.lengthByte >= 17);
}

INSTANTIATE_TEST_SUITE_P(Lengths, VersionLength,
                         testing::Values(VersionLengthCase{266, 20, 20, 20}, VersionLengthCase{266, 0x7F, 20, 0x7F},
                                         VersionLengthCase{266, 0x80, 300, 0x80}, VersionLengthCase{266, 0xFF, 300, 255},
                                         VersionLengthCase{266, 0xFF, 0, 255}, VersionLengthCase{266, 5, 30, 5},
                                         VersionLengthCase{512, 0xFF, 300, 255}));

TEST(ReadEeprom, CopiesExactlyCountBytes) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Application));
    for (std::size_t i = 0; i < 256; ++i) reader.Eeprom()[i] = static_cast<std::uint8_t>(255 - i);
    BootDevice device(bus, BootPolicy::Library, kVendor, kProducts);

    std::vector<std::uint8_t> area(300, 0xEE);
    EXPECT_TRUE(device.ReadEEPROM(0x10, 0, area.data()));
    EXPECT_EQ(area[0], 0xEE) << "count 0 copies nothing";
    EXPECT_TRUE(device.ReadEEPROM(0x00, 255, area.data()));
    EXPECT_EQ(area[254], 1);
    EXPECT_EQ(area[255], 0xEE);

    // A device that claims more than asked for changes nothing either.
    reader.QueueRawAnswer(std::vector<std::uint8_t>(266, 0x41));
    reader.Eeprom()[0] = 0;
    std::vector<std::uint8_t> small(8, 0xEE);
    reader.QueueRawAnswer({0x00, 0x00, 0x00, 0xFF, 0xFF, 1, 2, 3, 4});
    EXPECT_FALSE(device.ReadEEPROM(0, 4, small.data())) << "status 41 41 refuses";
    EXPECT_TRUE(device.ReadEEPROM(0, 4, small.data()));
    EXPECT_EQ(small, (std::vector<std::uint8_t>{1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE}));

    const std::vector<std::uint8_t> data = Pattern(255, 5);
    EXPECT_TRUE(device.WriteEEPROM(1, 255, data.data()));
    EXPECT_TRUE(device.ReadEEPROM(1, 255, area.data()));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), area.begin()));
}

// --- End download refused. ---

struct EndAnswerCase {
    const char* name;
    std::vector<std::uint8_t> answer;
    std::vector<std::string> loaderLog;
};

class EndRefused : public testing::TestWithParam<EndAnswerCase> {};

TEST_P(EndRefused, StateKeptAndSignatureRecognised) {
    for (BootPolicy policy : {BootPolicy::Library, BootPolicy::Loader}) {
        SimHidBus bus;
        SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
        Transcript transcript;
        BootDevice device(bus, policy, kVendor, kProducts);
        ASSERT_TRUE(device.StartDownload());
        device.SetHooks(transcript.Hooks());
        reader.QueueRawAnswer(GetParam().answer);
        EXPECT_FALSE(device.EndDownload());
        EXPECT_EQ(device.State(), DownloadState::Started);
        EXPECT_FALSE(device.Connected());
        EXPECT_EQ(reader.ResetCount(), 0);
        if (policy == BootPolicy::Loader) {
            EXPECT_EQ(transcript.lines, GetParam().loaderLog);
        } else {
            EXPECT_EQ(device.StatusWord(), bootproto::StatusWord(GetParam().answer.data()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, EndRefused,
    testing::Values(EndAnswerCase{"BadSignature", {0x00, 0x00, 0x02, 0x04, 0x00, 0xFE, 0xFF, 0xFF, 0xFF},
                                  {loadertext::kEndRefused, loadertext::kEndBadSignature}},
                    EndAnswerCase{"EmptyDataMatchesToo", {0x00, 0x00, 0x02, 0x00, 0x00, 0xAA},
                                  {loadertext::kEndRefused, loadertext::kEndBadSignature}},
                    EndAnswerCase{"OtherCode", {0x00, 0x00, 0x02, 0x04, 0x00, 0xFD, 0xFF, 0xFF, 0xFF},
                                  {loadertext::kEndRefused}},
                    EndAnswerCase{"LongerThanFour", {0x00, 0x00, 0x02, 0x05, 0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0x00},
                                  {loadertext::kEndRefused}},
                    EndAnswerCase{"HugeLength", {0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF},
                                  {loadertext::kEndRefused}}),
    [](const testing::TestParamInfo<EndAnswerCase>& info) { return std::string(info.param.name); });

TEST(EndDownload, SimulatedSignatureCheckRefusal) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    reader.SetSignatureCheck([](const std::vector<std::uint8_t>& image) { return !image.empty() && image[0] == 0x7E; });
    Transcript transcript;
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);
    device.SetHooks(transcript.Hooks());
    ASSERT_TRUE(device.StartDownload());
    ASSERT_EQ(device.Download(WriteImageFile("unsigned.bin", Pattern(256, 0))), DownloadResult::Ok);
    EXPECT_FALSE(device.EndDownload());
    EXPECT_EQ(transcript.lines.back(), loadertext::kEndBadSignature);
    EXPECT_TRUE(reader.Firmware().empty());
}

TEST(EndDownload, RefusedWhenIdle) {
    SimHidBus bus;
    SimBootLoader& reader = bus.AddBootLoader(ReaderConfig(SimMode::Boot));
    Transcript transcript;
    BootDevice device(bus, BootPolicy::Loader, kVendor, kProducts);
    device.SetHooks(transcript.Hooks());
    EXPECT_FALSE(device.EndDownload());
    EXPECT_TRUE(reader.Frames().empty());
    EXPECT_EQ(transcript.lines, std::vector<std::string>{loadertext::kEndNoDownload});
}

}  // namespace
