// SPDX-License-Identifier: BSD-3-Clause
// BootDevice: the connection to the reader's HID boot and maintenance
// interface and its command set. Both deliverables use it, each with its own
// policy:
//  - Library: every exchange discovers the device afresh, success means both
//    transfers went through and the status word is 0; results are status words.
//  - Loader: discovers only when not connected, reads answers itself and
//    reports each step as a log line through the hooks.
// Nothing here prints, throws across its interface or ends the process.
//
// Layers: commands (BootCommands.cpp) over the transfer loop (BootTransfer.cpp)
// over the HID backend (HidBackend.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "bootdev/BootProtocol.h"
#include "bootdev/HidBackend.h"

enum class DownloadState : std::uint8_t { Idle = 0, Started = 1, Sending = 2 };

enum class BootPolicy { Library, Loader };

// Library status words (0 and the library's own codes). Other values are the
// device's answer status, or the request header 0x53F9 / 0x52F8 left in the
// buffer by a failed transfer.
namespace bootstatus {
inline constexpr std::uint16_t StatusOk = 0x0000;
inline constexpr std::uint16_t StatusNotStarted = 0xA001;
inline constexpr std::uint16_t StatusNoDownload = 0xA002;
inline constexpr std::uint16_t StatusNoDevice = 0xA003;
inline constexpr std::uint16_t StatusNoMemory = 0xA004;
inline constexpr std::uint16_t StatusFileOpen = 0xA005;
// A null pointer where the caller must give an area: refused before anything
// is sent, the status word untouched.
inline constexpr std::uint16_t StatusBadArgument = 0xA006;
inline constexpr std::uint16_t DownloadTransportFailed = 0x53F9;
inline constexpr std::uint16_t MaintenanceTransportFailed = 0x52F8;
}  // namespace bootstatus

// What the loader's window supplies. Every member may be empty.
struct BootDeviceHooks {
    // One line for the log list (code page 1252).
    std::function<void(const std::string& line)> log;
    // A message box with an OK button. Texts that also belong in the log are
    // passed to `log` right after.
    std::function<void(const std::string& text)> messageBox;
    // Device-change notifications for the device just discovered (loader).
    // Return false when registering fails; the device is used all the same.
    std::function<bool(const std::string& path)> registerNotification;
    // Cancel that registration; false makes the close show a message box.
    std::function<bool()> unregisterNotification;
    // Each block the device acknowledged during a download: blocks sent so far
    // of the image's total.
    std::function<void(std::uint32_t sent, std::uint32_t total)> blockSent;
    // Asked after each acknowledged block: true ends the download there
    // (the loader's window is closing).
    std::function<bool()> stopRequested;
};

enum class DownloadResult {
    Ok,           // every block acknowledged (or the image was empty)
    NotStarted,   // the download state was not Started
    FileOpen,     // the image file could not be opened
    NoMemory,     // the image could not be held in memory (the loader ends)
    BlockFailed,  // a block was refused after its attempts
    Stopped,      // stopRequested said so between blocks; nothing logged
};

class BootDevice {
public:
    using ProductIds = std::array<std::uint16_t, 4>;

    // The backend must outlive the device.
    BootDevice(HidBackend& backend, BootPolicy policy, std::uint16_t vendorId, const ProductIds& productIds);
    ~BootDevice();  // closes any open device and cancels any registration
    BootDevice(const BootDevice&) = delete;
    BootDevice& operator=(const BootDevice&) = delete;

    void SetHooks(BootDeviceHooks hooks);
    // Only the interface at this path is ever discovered (empty: the first
    // matching one), for a caller that picks one reader among several.
    void ChoosePath(std::string path) { m_chosenPath = std::move(path); }
    const std::string& ChosenPath() const { return m_chosenPath; }

    // --- Transport (BootTransfer.cpp) ---
    // Find the first present interface with our vendor id and one of our
    // product ids and open it. A matching device whose feature report length
    // lies outside 266..512 is closed again and skipped (the loader logs it).
    bool Discover();
    // Raw transfers of exactly FeatureReportLength() bytes of the buffer.
    bool WriteFeatureReport();
    bool ReadFeatureReport();
    // The buffer holds a request: write it, read the answer over it. The
    // result follows the policy.
    bool Exchange();
    // Write the buffer and read nothing back (reset). False when no device
    // could be found. Library: the device is found afresh, a failed write
    // sets the maintenance transport status, and the device is dropped
    // afterwards (it restarts). Loader: the write's outcome is not examined.
    bool SendWithoutAnswer();
    // Release the open device (loader: only when connected, cancelling the
    // notification registration too).
    void Close();

    // --- Commands (BootCommands.cpp) ---
    // Each returns success; the library's status word is in StatusWord().
    bool StartDownload();  // includes the boot check and, when needed, reset
    // Whether the last successful StartDownload reset the device into its
    // boot loader (it is then off the bus for a while).
    bool StartReset() const { return m_startReset; }
    bool BootCheck();
    // One data packet, up to three attempts, on the open handle only.
    bool DataPacket(std::uint32_t blockNumber, const std::uint8_t* block256);
    // Send an image held in memory as blocks 0, 1, ...; the last block is
    // padded. On BlockFailed, *failedBlock (when given) names the block.
    DownloadResult SendImage(const std::uint8_t* image, std::size_t size, std::uint32_t* failedBlock = nullptr);
    // The whole download of an image file (library: discovery first; loader:
    // with its message boxes and log lines).
    DownloadResult Download(const std::string& path);
    bool EndDownload();
    // Whether the buffer holds an end download refused for a bad image
    // signature (the code FE FF FF FF, or no code at all).
    bool BadSignatureAnswer() const;
    bool Reset();
    // Library: copies the version (at most `room` bytes, never more than the
    // answer frame holds) and stores the copied length. Loader: also usable;
    // see LogFirmVersion for the Get Version action.
    bool GetFirmVersion(std::uint16_t* length, std::uint8_t* version, std::size_t room);
    // Copies `count` bytes (never more than the answer frame holds) to data.
    bool ReadEEPROM(std::uint8_t address, std::uint8_t count, std::uint8_t* data);
    bool WriteEEPROM(std::uint8_t address, std::uint8_t count, const std::uint8_t* data);
    bool SwitchInterface(std::uint8_t value);
    bool ReadSwitchInterface(std::uint8_t* value);
    // The loader's Get Version action: logs "Version  --> <text>" or its
    // failure line.
    bool LogFirmVersion();

    // --- State ---
    BootPolicy Policy() const { return m_policy; }
    bool Connected() const { return m_connected; }
    bool HandleOpen() const { return m_handle != nullptr; }
    std::uint16_t StatusWord() const { return m_statusWord; }
    DownloadState State() const { return m_downloadState; }
    bool BootFlag() const { return m_bootFlag; }
    const std::string& DevicePath() const { return m_devicePath; }
    std::size_t FeatureReportLength() const { return m_featureReportLength; }
    const std::uint8_t* ReportBuffer() const { return m_buffer.data(); }
    std::uint16_t VendorId() const { return m_vendorId; }
    const ProductIds& ProductIdList() const { return m_productIds; }
    bool Matches(std::uint16_t vendorId, std::uint16_t productId) const;

private:
    void Build(bootproto::Header header, std::uint8_t command, const std::uint8_t* payload = nullptr,
               std::size_t payloadLength = 0);
    void ReleaseHandle();
    void CancelRegistration();
    void Log(const std::string& line) const;
    void Box(const std::string& text) const;
    // The answer's data bytes that lie inside the frame, from byte 5.
    std::size_t AnswerRoom() const;
    // Answer bytes from byte 5 up to the first zero, inside the frame and
    // never more than the 30 bytes a version text is given.
    std::string AnswerText() const;
    bool Maintenance(std::uint8_t command, const std::uint8_t* payload, std::size_t payloadLength);

    HidBackend& m_backend;
    BootPolicy m_policy;
    std::uint16_t m_vendorId;
    ProductIds m_productIds;
    BootDeviceHooks m_hooks;

    bool m_connected = false;
    std::unique_ptr<HidConnection> m_handle;
    std::size_t m_featureReportLength = 0;
    std::array<std::uint8_t, bootproto::kReportBufferSize> m_buffer{};
    std::string m_devicePath;
    std::string m_chosenPath;
    bool m_registered = false;
    bool m_startReset = false;

    std::uint16_t m_statusWord = 0;
    DownloadState m_downloadState = DownloadState::Idle;
    bool m_bootFlag = false;
};
