// SPDX-License-Identifier: BSD-3-Clause
// The nine exports: thin calls into the process-wide BootDevice, and the one
// place where download outcomes become the library's status codes.
#include "readerctl/readerctl.h"

#include "readerctl/ReaderCtlDevice.h"

static_assert(StatusOk == bootstatus::StatusOk);
static_assert(StatusNotStarted == bootstatus::StatusNotStarted);
static_assert(StatusNoDownload == bootstatus::StatusNoDownload);
static_assert(StatusNoDevice == bootstatus::StatusNoDevice);
static_assert(StatusNoMemory == bootstatus::StatusNoMemory);
static_assert(StatusFileOpen == bootstatus::StatusFileOpen);
static_assert(StatusBadArgument == bootstatus::StatusBadArgument);

namespace {

// Room the caller's version area is trusted with: what the library promises
// is enough, whatever the device's length byte says.
constexpr std::size_t kVersionRoom = bootproto::kBootCheckVersionRoom;

std::uint8_t LowByte(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

extern "C" {

uint16_t StartDownload(void) {
    BootDevice& device = ReaderCtlDevice();
    device.StartDownload();
    return device.StatusWord();
}

uint16_t Download(const char* path) {
    BootDevice& device = ReaderCtlDevice();
    switch (device.Download(path != nullptr ? path : "")) {
    case DownloadResult::NotStarted: return StatusNotStarted;
    case DownloadResult::FileOpen: return StatusFileOpen;
    case DownloadResult::NoMemory: return StatusNoMemory;
    case DownloadResult::Ok: return StatusOk;
    case DownloadResult::BlockFailed:
    case DownloadResult::Stopped: break;
    }
    return device.StatusWord();
}

uint16_t EndDownload(void) {
    BootDevice& device = ReaderCtlDevice();
    if (device.State() == DownloadState::Idle) return StatusNoDownload;
    device.EndDownload();
    return device.StatusWord();
}

uint16_t ResetDevice(void) {
    BootDevice& device = ReaderCtlDevice();
    if (!device.Reset()) return StatusNoDevice;
    return device.StatusWord();
}

uint16_t GetFirmVersion(uint16_t* length, uint8_t* version) {
    if (length == nullptr || version == nullptr) return StatusBadArgument;
    BootDevice& device = ReaderCtlDevice();
    std::uint16_t copied = 0;
    if (device.GetFirmVersion(&copied, version, kVersionRoom)) *length = copied;
    return device.StatusWord();
}

uint16_t ReadEEPROM(uint32_t address, uint32_t count, uint8_t* data) {
    if (data == nullptr && LowByte(count) != 0) return StatusBadArgument;
    BootDevice& device = ReaderCtlDevice();
    device.ReadEEPROM(LowByte(address), LowByte(count), data);
    return device.StatusWord();
}

uint16_t WriteEEPROM(uint32_t address, uint32_t count, const uint8_t* data) {
    if (data == nullptr && LowByte(count) != 0) return StatusBadArgument;
    BootDevice& device = ReaderCtlDevice();
    device.WriteEEPROM(LowByte(address), LowByte(count), data);
    return device.StatusWord();
}

uint16_t SwitchInterface(uint32_t value) {
    BootDevice& device = ReaderCtlDevice();
    device.SwitchInterface(LowByte(value));
    return device.StatusWord();
}

uint16_t ReadSwitchInterface(uint8_t* value) {
    if (value == nullptr) return StatusBadArgument;
    BootDevice& device = ReaderCtlDevice();
    device.ReadSwitchInterface(value);
    return device.StatusWord();
}

}  // extern "C"
