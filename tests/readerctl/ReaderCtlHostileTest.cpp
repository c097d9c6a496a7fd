// SPDX-License-Identifier: BSD-3-Clause
// A foreign program's view of the built library: it is loaded with dlopen
// and all nine exports are called with hostile arguments (null pointers,
// counts of 0 and 255, paths that are no image files, a 20,000-character
// path). Run against libreaderctl.so on a machine without the reader, and
// against the same exports over a simulated reader, where every call gets
// past discovery to its argument and file handling. Expected codes are the
// library's documented status words.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bootdev/BootIds.h"

namespace {

constexpr std::uint16_t kOk = 0x0000;
constexpr std::uint16_t kNotStarted = 0xA001;
constexpr std::uint16_t kNoDownload = 0xA002;
constexpr std::uint16_t kNoDevice = 0xA003;
constexpr std::uint16_t kFileOpen = 0xA005;
constexpr std::uint16_t kBadArgument = 0xA006;

struct Exports {
    std::uint16_t (*StartDownload)();
    std::uint16_t (*Download)(const char*);
    std::uint16_t (*EndDownload)();
    std::uint16_t (*ResetDevice)();
    std::uint16_t (*GetFirmVersion)(std::uint16_t*, std::uint8_t*);
    std::uint16_t (*ReadEEPROM)(std::uint32_t, std::uint32_t, std::uint8_t*);
    std::uint16_t (*WriteEEPROM)(std::uint32_t, std::uint32_t, const std::uint8_t*);
    std::uint16_t (*SwitchInterface)(std::uint32_t);
    std::uint16_t (*ReadSwitchInterface)(std::uint8_t*);
};

template <typename F>
void Bind(void* library, const char* name, F*& to) {
    to = reinterpret_cast<F*>(dlsym(library, name));
    ASSERT_NE(to, nullptr) << "missing export " << name;
}

// Files of every kind a hostile path may name, made once per process.
struct Paths {
    std::string dir = testing::TempDir() + "readerctl_hostile_" + std::to_string(::getpid());
    std::string fifo = dir + "/fifo.bin";
    std::string empty = dir + "/empty.bin";
    std::string oneByte = dir + "/one.bin";
    std::string longPath = dir + "/" + std::string(20000, 'p');
    Paths() {
        ::mkdir(dir.c_str(), 0700);
        ::mkfifo(fifo.c_str(), 0600);
        std::ofstream(empty, std::ios::binary).flush();
        std::ofstream(oneByte, std::ios::binary) << 'x';
    }
    ~Paths() {
        for (const std::string& path : {fifo, empty, oneByte}) ::unlink(path.c_str());
        ::rmdir(dir.c_str());
    }
};

struct Call {
    const char* what;
    std::function<std::uint16_t(const Exports&, const Paths&)> run;
    std::uint16_t expected;
};

// Guard bytes around every output area: nothing may be written outside it.
struct Guarded {
    static constexpr std::size_t kGuard = 32;
    std::vector<std::uint8_t> memory;
    std::size_t size;
    explicit Guarded(std::size_t areaSize) : memory(kGuard + areaSize + kGuard, 0xA5), size(areaSize) {}
    std::uint8_t* area() { return memory.data() + kGuard; }
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (memory[i] != 0xA5 || memory[kGuard + size + i] != 0xA5) return false;
        return true;
    }
};

// GetFirmVersion into a 30-byte area between guards; the length must be
// what was copied, never more than the area.
std::uint16_t VersionIntoThirtyBytes(const Exports& e) {
    Guarded version(30);
    std::uint16_t length = 0xFFFF;
    const std::uint16_t result = e.GetFirmVersion(&length, version.area());
    EXPECT_TRUE(version.GuardsIntact());
    if (result == kOk) {
        EXPECT_LE(length, 30);
    } else {
        EXPECT_EQ(length, 0xFFFF) << "output written on failure";
    }
    return result;
}

std::uint16_t ReadEepromGuarded(const Exports& e, std::uint32_t address, std::uint32_t count, std::size_t room) {
    Guarded area(room);
    const std::uint16_t result = e.ReadEEPROM(address, count, area.area());
    EXPECT_TRUE(area.GuardsIntact());
    return result;
}

// The calls shared by both runs; the expected codes differ by whether a
// reader answers (the order matters: the download state carries over).
std::vector<Call> Calls(bool reader) {
    const std::uint16_t device = reader ? kOk : kNoDevice;
    std::vector<Call> calls = {
        {"EndDownload before any start", [](const Exports& e, const Paths&) { return e.EndDownload(); }, kNoDownload},
        {"Download before any start", [](const Exports& e, const Paths& p) { return e.Download(p.oneByte.c_str()); },
         kNotStarted},
        {"Download(null) before any start", [](const Exports& e, const Paths&) { return e.Download(nullptr); },
         kNotStarted},
        {"StartDownload", [](const Exports& e, const Paths&) { return e.StartDownload(); }, device},
    };
    // Started only when a reader answered; else every Download is refused
    // for that before it looks at the path.
    const std::uint16_t badFile = reader ? kFileOpen : kNotStarted;
    const std::vector<std::pair<const char*, std::function<std::string(const Paths&)>>> badPaths = {
        {"missing file", [](const Paths& p) { return p.dir + "/missing.bin"; }},
        {"directory", [](const Paths& p) { return p.dir; }},
        {"FIFO without a writer", [](const Paths& p) { return p.fifo; }},
        {"/dev/zero", [](const Paths&) { return std::string("/dev/zero"); }},
        {"/dev/null", [](const Paths&) { return std::string("/dev/null"); }},
        {"empty path", [](const Paths&) { return std::string(); }},
        {"20,000-character path", [](const Paths& p) { return p.longPath; }},
    };
    calls.push_back({"Download(null)", [](const Exports& e, const Paths&) { return e.Download(nullptr); }, badFile});
    for (const auto& bad : badPaths) {
        const auto path = bad.second;
        calls.push_back({bad.first, [path](const Exports& e, const Paths& p) { return e.Download(path(p).c_str()); },
                         badFile});
    }
    calls.insert(calls.end(), {
        {"Download(empty image)", [](const Exports& e, const Paths& p) { return e.Download(p.empty.c_str()); },
         reader ? kOk : kNotStarted},
        {"Download(1-byte image)", [](const Exports& e, const Paths& p) { return e.Download(p.oneByte.c_str()); },
         reader ? kOk : kNotStarted},
        {"Download again after blocks went", [](const Exports& e, const Paths& p) {
             return e.Download(p.oneByte.c_str()); }, kNotStarted},
        {"EndDownload", [](const Exports& e, const Paths&) { return e.EndDownload(); },
         reader ? kOk : kNoDownload},
        {"EndDownload again", [](const Exports& e, const Paths&) { return e.EndDownload(); }, kNoDownload},
        {"GetFirmVersion(null, null)", [](const Exports& e, const Paths&) { return e.GetFirmVersion(nullptr, nullptr); },
         kBadArgument},
        {"GetFirmVersion(null, area)", [](const Exports& e, const Paths&) {
             std::uint8_t area[30];
             return e.GetFirmVersion(nullptr, area); }, kBadArgument},
        {"GetFirmVersion(length, null)", [](const Exports& e, const Paths&) {
             std::uint16_t length = 0;
             return e.GetFirmVersion(&length, nullptr); }, kBadArgument},
        {"GetFirmVersion into 30 bytes", [](const Exports& e, const Paths&) { return VersionIntoThirtyBytes(e); },
         device},
        {"ReadEEPROM count 0, null", [](const Exports& e, const Paths&) { return e.ReadEEPROM(0, 0, nullptr); },
         device},
        {"ReadEEPROM count 255, null", [](const Exports& e, const Paths&) { return e.ReadEEPROM(0, 255, nullptr); },
         kBadArgument},
        {"ReadEEPROM count 255 at 0xFFFFFFFF", [](const Exports& e, const Paths&) {
             return ReadEepromGuarded(e, 0xFFFFFFFF, 255, 255); }, device},
        {"ReadEEPROM count 0x1FF (low byte 255)", [](const Exports& e, const Paths&) {
             return ReadEepromGuarded(e, 0, 0x1FF, 255); }, device},
        {"ReadEEPROM count 0x100 (low byte 0), 0-byte area", [](const Exports& e, const Paths&) {
             return ReadEepromGuarded(e, 0, 0x100, 0); }, device},
        {"WriteEEPROM count 255, null", [](const Exports& e, const Paths&) {
             return e.WriteEEPROM(0, 255, nullptr); }, kBadArgument},
        {"WriteEEPROM count 0, null", [](const Exports& e, const Paths&) { return e.WriteEEPROM(7, 0, nullptr); },
         device},
        {"WriteEEPROM count 255", [](const Exports& e, const Paths&) {
             const std::vector<std::uint8_t> data(255, 0x5A);
             return e.WriteEEPROM(0xFFFFFFFF, 0xFFFFFFFF, data.data()); }, device},
        {"SwitchInterface 0xFFFFFFFF", [](const Exports& e, const Paths&) { return e.SwitchInterface(0xFFFFFFFF); },
         device},
        {"ReadSwitchInterface(null)", [](const Exports& e, const Paths&) { return e.ReadSwitchInterface(nullptr); },
         kBadArgument},
        {"ReadSwitchInterface", [](const Exports& e, const Paths&) {
             std::uint8_t value = 0;
             return e.ReadSwitchInterface(&value); }, device},
        {"ResetDevice", [](const Exports& e, const Paths&) { return e.ResetDevice(); }, device},
        {"ResetDevice again", [](const Exports& e, const Paths&) { return e.ResetDevice(); }, device},
    });
    return calls;
}

// Whether a reader with the configured ids is attached to this machine.
bool ReaderAttached() {
    char id[40];
    for (std::uint16_t product : kBootProductIds) {
        std::snprintf(id, sizeof id, "HID_ID=0003:0000%04X:0000%04X", kBootVendorId, product);
        for (int n = 0; n < 64; ++n) {
            std::ifstream uevent("/sys/class/hidraw/hidraw" + std::to_string(n) + "/device/uevent");
            std::string line;
            while (uevent && std::getline(uevent, line))
                if (line == id) return true;
        }
    }
    return false;
}

void RunAgainst(const char* libraryPath, bool reader) {
    void* library = dlopen(libraryPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    Exports e{};
    Bind(library, "StartDownload", e.StartDownload);
    Bind(library, "Download", e.Download);
    Bind(library, "EndDownload", e.EndDownload);
    Bind(library, "ResetDevice", e.ResetDevice);
    Bind(library, "GetFirmVersion", e.GetFirmVersion);
    Bind(library, "ReadEEPROM", e.ReadEEPROM);
    Bind(library, "WriteEEPROM", e.WriteEEPROM);
    Bind(library, "SwitchInterface", e.SwitchInterface);
    Bind(library, "ReadSwitchInterface", e.ReadSwitchInterface);
    {
        const Paths paths;
        for (const Call& call : Calls(reader)) {
            SCOPED_TRACE(call.what);
            EXPECT_EQ(call.run(e, paths), call.expected);
        }
    }
    EXPECT_EQ(dlclose(library), 0) << dlerror();
}

TEST(HostileCaller, BuiltLibraryWithoutAReader) {
    if (ReaderAttached()) GTEST_SKIP() << "a reader with the configured ids is attached";
    RunAgainst(READERCTL_LIBRARY, false);
}

TEST(HostileCaller, SameExportsOverASimulatedReader) { RunAgainst(READERCTL_SIM_LIBRARY, true); }

}  // namespace
