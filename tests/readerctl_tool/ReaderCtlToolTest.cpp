// SPDX-License-Identifier: BSD-3-Clause
// The readerctl program's commands against the simulated boot loader: what
// reaches the reader, what is printed, the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bootdev/BootIds.h"
#include "readerctl/tool/ReaderCtlTool.h"
#include "readerctl/tool/SimBusWatch.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Ids(int productIndex) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", kBootVendorId, kBootProductIds[static_cast<std::size_t>(productIndex)]);
    return text;
}

std::string TempPath(const std::string& name) {
    return testing::TempDir() + "readerctl_tool_" + std::to_string(::getpid()) + "_" + name;
}

std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256 + 5);
    return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A simulated bus with its watch; readers are added per case.
struct Bench {
    SimHidBus bus;
    SimBusWatch watch{bus};

    SimBootLoader& AddReader(SimMode mode = SimMode::Application) {
        SimBootLoaderConfig config;
        config.vendorId = kBootVendorId;
        config.productIds = kBootProductIds;
        config.mode = mode;
        return bus.AddBootLoader(config);
    }

    Outcome Run(const std::vector<std::string>& args, bool terminal = false) {
        ToolOptions options;
        Outcome outcome;
        if (!ParseToolArguments(args, options, outcome.err)) {
            outcome.status = kToolUsage;
            return outcome;
        }
        std::ostringstream out, err;
        ToolReport report(out, err, options.json, terminal);
        ReaderCtlTool tool(options, bus, watch, report);
        outcome.status = tool.Run();
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }
};

}  // namespace

// Bad arguments and bad files: exit 2 with the reason, and the reader sees
// nothing at all.
TEST(ReaderCtlTool, BadArgumentsAndFilesSendNothing) {
    const std::string missing = TempPath("missing.bin");
    const std::string empty = WriteFile("empty.bin", {});
    const std::string tooLong = WriteFile("eeprom256.bin", Pattern(256));
    const std::string folder = TempPath("folder");
    ::mkdir(folder.c_str(), 0700);
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{}, "no command"},
        {{"flash"}, "unknown command"},
        {{"version", "now"}, "usage: readerctl version"},
        {{"--verbose", "list"}, "unknown option"},
        {{"--device"}, "--device needs a value"},
        {{"--wait", "0", "list"}, "--wait must be 1 to 3600"},
        {{"switch", "256"}, "0 to 255"},
        {{"switch", "1", "2"}, "usage: readerctl switch"},
        {{"eeprom", "read", "0x100", "1"}, "the address must be 0 to 255"},
        {{"eeprom", "read", "0", "0"}, "the length must be 1 to 255"},
        {{"eeprom", "read", "0xF0", "17"}, "passes the end"},
        {{"eeprom", "write", "0", "ABC"}, "whole bytes"},
        {{"eeprom", "write", "0", "0G"}, "hexadecimal digits"},
        {{"eeprom", "write", "0", "1 234"}, "one or two hexadecimal digits"},
        {{"eeprom", "write", "0xFF", "0102"}, "passes the end"},
        {{"eeprom", "write", "0", std::string(512, 'A')}, "at most 255 bytes"},
        {{"eeprom", "write", "0", "@" + missing}, "not a readable regular file"},
        {{"eeprom", "write", "0", "@" + tooLong}, "at most 255 bytes"},
        {{"eeprom", "write", "0", "@" + empty}, "is empty"},
        {{"download"}, "usage: readerctl download"},
        {{"download", missing}, "not a readable regular file"},
        {{"download", folder}, "not a readable regular file"},
        {{"download", "/dev/zero"}, "not a readable regular file"},
        {{"download", empty}, "is empty"},
    };
    for (const auto& c : cases) {
        Bench bench;
        SimBootLoader& reader = bench.AddReader();
        const Outcome outcome = bench.Run(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(outcome.status, kToolUsage) << label;
        EXPECT_NE(outcome.err.find(c.reason), std::string::npos) << label << ": " << outcome.err;
        EXPECT_TRUE(reader.Frames().empty()) << label;
        EXPECT_EQ(reader.ResetCount(), 0) << label;
    }
    std::remove(empty.c_str());
    std::remove(tooLong.c_str());
    ::rmdir(folder.c_str());
}

// Each maintenance command: the frame that reaches the reader, what the
// reader holds afterwards, and the line printed.
TEST(ReaderCtlTool, MaintenanceCommandsReachTheReader) {
    using Frame = std::vector<std::uint8_t>;
    const struct {
        std::vector<std::string> args;
        Frame head;  // the last frame's first bytes
        std::string out;
        std::function<void(SimBootLoader&)> before;
        std::function<bool(SimBootLoader&)> after;
    } cases[] = {
        {{"version"}, {0x00, 0x52, 0xF8, 0x02, 0x00, 0x00}, "Corvane_Lyra 2.10\n", nullptr, nullptr},
        // A device's text never reaches the terminal raw.
        {{"version"}, {0x00, 0x52, 0xF8, 0x02}, "v\\x1B[2J\\x5C\\xE9\n",
         [](SimBootLoader& r) { r.SetVersionBytes(SimMode::Application, {'v', 0x1B, '[', '2', 'J', '\\', 0xE9, 0, 'x'}); },
         nullptr},
        {{"switch"}, {0x00, 0x52, 0xF8, 0x03, 0x00, 0x00}, "interface switch: 0x07\n",
         [](SimBootLoader& r) { r.SetSwitchValue(7); }, nullptr},
        {{"switch", "0x21"}, {0x00, 0x52, 0xF8, 0x04, 0x01, 0x00, 0x21}, "interface switch set to 0x21\n", nullptr,
         [](SimBootLoader& r) { return r.SwitchValue() == 0x21; }},
        {{"eeprom", "write", "0x10", "0A0b0C"}, {0x00, 0x52, 0xF8, 0x01, 0x05, 0x00, 0x10, 0x03, 0x0A, 0x0B, 0x0C},
         "wrote 3 bytes at 0x10\n", nullptr,
         [](SimBootLoader& r) { return r.Eeprom()[0x10] == 0x0A && r.Eeprom()[0x12] == 0x0C && r.Eeprom()[0x13] == 0; }},
        {{"eeprom", "write", "255", "5A"}, {0x00, 0x52, 0xF8, 0x01, 0x03, 0x00, 0xFF, 0x01, 0x5A},
         "wrote 1 bytes at 0xFF\n", nullptr, [](SimBootLoader& r) { return r.Eeprom()[0xFF] == 0x5A; }},
        {{"eeprom", "read", "0x0E", "18"}, {0x00, 0x52, 0xF8, 0x00, 0x02, 0x00, 0x0E, 0x12},
         "0E  41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50  |ABCDEFGHIJKLMNOP|\n"
         "1E  00 7F                                            |..|\n",
         [](SimBootLoader& r) {
             for (int i = 0; i < 16; ++i) r.Eeprom()[static_cast<std::size_t>(0x0E + i)] = static_cast<std::uint8_t>('A' + i);
             r.Eeprom()[0x1F] = 0x7F;
         },
         nullptr},
        {{"reset"}, {0x00, 0x52, 0xF8, 0x05, 0x00, 0x00}, "reset sent to /dev/simhidraw0\n", nullptr,
         [](SimBootLoader& r) { return r.ResetCount() == 1; }},
    };
    for (const auto& c : cases) {
        Bench bench;
        SimBootLoader& reader = bench.AddReader();
        if (c.before) c.before(reader);
        const Outcome outcome = bench.Run(c.args);
        const std::string label = c.args.front() + " " + (c.args.size() > 1 ? c.args[1] : "");
        EXPECT_EQ(outcome.status, kToolOk) << label << ": " << outcome.err;
        EXPECT_EQ(outcome.out, c.out) << label;
        ASSERT_FALSE(reader.Frames().empty()) << label;
        const Frame& last = reader.Frames().back();
        EXPECT_EQ(Frame(last.begin(), last.begin() + static_cast<std::ptrdiff_t>(c.head.size())), c.head) << label;
        if (c.after) {
            EXPECT_TRUE(c.after(reader)) << label;
        }
    }
}

// A refusal or a broken answer: exit 1 and the status word in hexadecimal
// with its name; a reader gone: exit 3.
TEST(ReaderCtlTool, FailuresShowTheStatusWordAndItsName) {
    const struct {
        SimFaultRule fault;
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {{SimFault::Status, -1, 0, 0x52, 0x02, 0x6A, 0x82}, {"version"}, kToolRefused,
         "readerctl: version: status 0x6A82 device status\n"},
        {{SimFault::ShortRead, -1, 0, 0x52, 0x03, 0, 0, 5}, {"switch"}, kToolRefused,
         "readerctl: switch: status 0x52F8 maintenance transfer failed\n"},
        {{SimFault::FailWrite, -1, 0, 0x52, 0x00}, {"eeprom", "read", "0", "4"}, kToolRefused,
         "readerctl: eeprom read: status 0x52F8 maintenance transfer failed\n"},
        {{SimFault::Status, -1, 0, 0x52, 0x01, 0x01, 0x00}, {"eeprom", "write", "0", "01"}, kToolRefused,
         "readerctl: eeprom write: status 0x0100 device status\n"},
        {{SimFault::Unplug, -1, 0, 0x52, 0x04}, {"switch", "1"}, kToolRefused,
         "readerctl: switch: status 0x52F8 maintenance transfer failed\n"},
    };
    for (const auto& c : cases) {
        Bench bench;
        bench.AddReader().InjectFault(c.fault);
        const Outcome outcome = bench.Run(c.args);
        EXPECT_EQ(outcome.status, c.status) << c.args.front();
        EXPECT_EQ(outcome.err, c.err) << c.args.front();
        EXPECT_EQ(outcome.out, "") << c.args.front();
    }
    Bench none;
    const Outcome outcome = none.Run({"--json", "version"});
    EXPECT_EQ(outcome.status, kToolNoDevice);
    EXPECT_EQ(outcome.out, "{\"event\":\"error\",\"message\":\"no reader found (vendor " + Ids(0).substr(0, 4) + ")\"}\n");
}

// Two readers: listed one line each; a command without --device lists them
// and stops before touching either; --device picks one and only that one.
TEST(ReaderCtlTool, TwoReadersAreListedAndOneIsChosenByNode) {
    Bench bench;
    SimBootLoader& first = bench.AddReader(SimMode::Application);
    SimBootLoader& second = bench.AddReader(SimMode::Boot);
    const std::string listing = "/dev/simhidraw0  " + Ids(0) + "  application  Corvane_Lyra 2.10\n" +
                                "/dev/simhidraw1  " + Ids(1) + "  boot  Corvane_Lyra_Boot 1.03\n";

    Outcome outcome = bench.Run({"list"});
    EXPECT_EQ(outcome.status, kToolOk);
    EXPECT_EQ(outcome.out, listing);

    outcome = bench.Run({"--json", "list"});
    EXPECT_EQ(Lines(outcome.out).at(1), "{\"event\":\"reader\",\"node\":\"/dev/simhidraw1\",\"vendor\":\"" +
                                            Ids(1).substr(0, 4) + "\",\"product\":\"" + Ids(1).substr(5) +
                                            "\",\"mode\":\"boot\",\"version\":\"Corvane_Lyra_Boot 1.03\"}");

    first.ClearFrames();
    second.ClearFrames();
    outcome = bench.Run({"switch", "9"});
    EXPECT_EQ(outcome.status, kToolUsage);
    EXPECT_EQ(outcome.out, listing);
    EXPECT_NE(outcome.err.find("choose one with --device NODE"), std::string::npos);
    for (SimBootLoader* reader : {&first, &second}) {
        for (const auto& frame : reader->Frames()) EXPECT_EQ(frame[3], 0x02) << "only version queries";
    }
    EXPECT_EQ(first.SwitchValue() + second.SwitchValue(), 0);

    first.ClearFrames();
    outcome = bench.Run({"--device", "/dev/simhidraw1", "switch", "9"});
    EXPECT_EQ(outcome.status, kToolOk);
    EXPECT_EQ(second.SwitchValue(), 9);
    EXPECT_TRUE(first.Frames().empty());

    outcome = bench.Run({"--device", "/dev/hidraw99", "version"});
    EXPECT_EQ(outcome.status, kToolNoDevice);
    EXPECT_NE(outcome.err.find("no reader at /dev/hidraw99"), std::string::npos);
}

// The technician's flash: a 1 MiB image to a reader in its application,
// through the reset, the return, the blocks, the end and the restart.
TEST(ReaderCtlTool, DownloadFollowsTheReaderThroughBothRestarts) {
    const std::vector<std::uint8_t> image = Pattern(1u << 20);
    const std::string path = WriteFile("image1m.bin", image);
    Bench bench;
    SimBootLoader& reader = bench.AddReader(SimMode::Application);

    const Outcome outcome = bench.Run({"--json", "download", path});
    EXPECT_EQ(outcome.status, kToolOk) << outcome.out;
    EXPECT_EQ(reader.Firmware(), image);
    EXPECT_EQ(reader.ResetCount(), 2);
    std::vector<std::string> events;
    int lastPercent = -1;
    for (const std::string& line : Lines(outcome.out)) {
        if (line.rfind("{\"event\":\"progress\"", 0) == 0) {
            const int percent = std::stoi(line.substr(line.find("\"percent\":") + 10));
            EXPECT_GT(percent, lastPercent);
            lastPercent = percent;
            continue;
        }
        events.push_back(line);
    }
    EXPECT_EQ(lastPercent, 100);
    ASSERT_EQ(events.size(), 6u) << outcome.out;
    EXPECT_EQ(events[0], "{\"event\":\"image\",\"image\":\"" + path + "\",\"bytes\":1048576,\"blocks\":4096}");
    EXPECT_EQ(events[1], "{\"event\":\"reset\",\"node\":\"/dev/simhidraw0\",\"wait\":15}");
    EXPECT_EQ(events[2], "{\"event\":\"boot\",\"node\":\"/dev/simhidraw1\"}");
    EXPECT_EQ(events[3], "{\"event\":\"blocks\",\"blocks\":4096}");
    EXPECT_EQ(events[4], "{\"event\":\"end\",\"wait\":15}");
    EXPECT_EQ(events[5],
              "{\"event\":\"version\",\"node\":\"/dev/simhidraw2\",\"version\":\"Corvane_Lyra 2.10\",\"mode\":\"application\"}");
    std::remove(path.c_str());
}

// The progress bar: on a terminal only, on standard error, to 100 %.
TEST(ReaderCtlTool, ProgressBarOnlyOnATerminal) {
    const std::string path = WriteFile("image1k.bin", Pattern(1000));
    for (const bool terminal : {true, false}) {
        Bench bench;
        bench.AddReader(SimMode::Boot);
        const Outcome outcome = bench.Run({"download", path}, terminal);
        EXPECT_EQ(outcome.status, kToolOk);
        EXPECT_EQ(outcome.out, path + ": 1000 bytes, 4 blocks\n4 blocks sent\n"
                               "image accepted; the reader restarts, waiting up to 15 s for it\n"
                               "new version at /dev/simhidraw1: Corvane_Lyra 2.10\n");
        if (terminal) {
            EXPECT_NE(outcome.err.find("\r[##########..............................] 25 % (1/4 blocks)"), std::string::npos);
            EXPECT_NE(outcome.err.find("] 100 % (4/4 blocks)\n"), std::string::npos) << outcome.err;
        } else {
            EXPECT_EQ(outcome.err, "");
        }
    }
    std::remove(path.c_str());
}

// Downloads that go wrong: each ends with its message and status, and what
// should not have been sent was not.
TEST(ReaderCtlTool, DownloadFailures) {
    const std::string path = WriteFile("image2k.bin", Pattern(2048));
    const struct {
        const char* name;
        SimMode mode;
        std::function<void(SimBootLoader&, SimBusWatch&)> arrange;
        int status;
        std::string err;
        std::size_t blocks;  // data packet frames the reader took, attempts counted
        int ends;
    } cases[] = {
        {"never back after the start's reset", SimMode::Application,
         [](SimBootLoader& r, SimBusWatch&) { r.SetReturnAfterReset(false); }, kToolRefused,
         "readerctl: the reader did not come back within 1 s after its reset into the boot loader\n", 0, 0},
        {"never back after the end", SimMode::Boot, [](SimBootLoader& r, SimBusWatch&) { r.SetReturnAfterReset(false); },
         kToolRefused, "readerctl: the reader did not come back within 1 s after the download\n", 8, 1},
        {"back later, heard through the watch", SimMode::Application,
         [](SimBootLoader& r, SimBusWatch& w) {
             r.SetReturnAfterReset(false);
             w.WhenIdle([&r] {
                 r.SetReturnAfterReset(true);
                 r.Replug();
             });
         },
         kToolOk, "", 8, 1},
        {"block 5 refused", SimMode::Boot,
         [](SimBootLoader& r, SimBusWatch&) { r.InjectFault({SimFault::Status, 3, 5, 0x53, 0x01, 0x00, 0x03}); },
         kToolRefused, "readerctl: block 5 of 8 failed: status 0x0003 device status\n", 8, 0},
        {"short answer to a block", SimMode::Boot,
         [](SimBootLoader& r, SimBusWatch&) { r.InjectFault({SimFault::ShortRead, 3, 2, 0x53, 0x01, 0, 0, 5}); },
         kToolRefused, "readerctl: block 2 of 8 failed: status 0x53F9 download transfer failed\n", 5, 0},
        {"bad signature", SimMode::Boot,
         [](SimBootLoader& r, SimBusWatch&) { r.SetSignatureCheck([](const std::vector<std::uint8_t>&) { return false; }); },
         kToolRefused, "readerctl: end download: bad image signature: status 0x0002 device status\n", 8, 1},
        {"start refused", SimMode::Boot,
         [](SimBootLoader& r, SimBusWatch&) { r.InjectFault({SimFault::Status, 1, 0, 0x53, 0x00, 0x00, 0x05}); },
         kToolRefused, "readerctl: start download: status 0x0005 device status\n", 0, 0},
    };
    for (const auto& c : cases) {
        Bench bench;
        SimBootLoader& reader = bench.AddReader(c.mode);
        c.arrange(reader, bench.watch);
        const Outcome outcome = bench.Run({"--wait", "1", "download", path});
        EXPECT_EQ(outcome.status, c.status) << c.name << ": " << outcome.err;
        EXPECT_EQ(outcome.err, c.err) << c.name;
        EXPECT_EQ(reader.BlocksTaken(), c.blocks) << c.name;
        EXPECT_EQ(reader.EndCount(), c.ends) << c.name;
    }
    std::remove(path.c_str());
}

// With two readers on the bus, the one named is flashed and followed through
// its restarts by its place on the bus; the other is never touched.
TEST(ReaderCtlTool, DownloadToOneOfTwoReaders) {
    const std::vector<std::uint8_t> image = Pattern(3000);
    const std::string path = WriteFile("image3k.bin", image);
    Bench bench;
    SimBootLoader& first = bench.AddReader(SimMode::Application);
    SimBootLoader& second = bench.AddReader(SimMode::Application);
    const Outcome outcome = bench.Run({"--device", second.Path(), "download", path});
    EXPECT_EQ(outcome.status, kToolOk) << outcome.err;
    ASSERT_EQ(second.Firmware().size(), 3072u);  // the last block filled up
    EXPECT_TRUE(std::equal(image.begin(), image.end(), second.Firmware().begin()));
    EXPECT_EQ(second.ResetCount(), 2);
    EXPECT_TRUE(first.Frames().empty());
    EXPECT_EQ(first.ResetCount(), 0);
    EXPECT_NE(outcome.out.find("new version at /dev/simhidraw3: Corvane_Lyra 2.10\n"), std::string::npos) << outcome.out;
    std::remove(path.c_str());
}
