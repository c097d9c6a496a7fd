// SPDX-License-Identifier: BSD-3-Clause
#include "readerctl/tool/ReaderCtlTool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "bootdev/BootIds.h"
#include "bootdev/ImageFile.h"
#include "carddata/HexCodec.h"

namespace {

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value));
    return text;
}

std::string Hex2(std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
    return text;
}

// Each turn of the wait looks at the bus at least this often, so a reader is
// found even when an event was missed.
constexpr std::chrono::milliseconds kWaitTurn{250};

// Room for a version text: what the answer's one length byte can say.
constexpr std::size_t kVersionRoom = 255;

}  // namespace

ReaderCtlTool::ReaderCtlTool(const ToolOptions& options, HidBackend& backend, BusWatch& watch, ToolReport& report)
    : m_options(options),
      m_backend(backend),
      m_watch(watch),
      m_report(report),
      m_device(backend, BootPolicy::Library, kBootVendorId, kBootProductIds) {}

int ReaderCtlTool::Run() {
    switch (m_options.command) {
    case ToolCommand::List: return OnList();
    case ToolCommand::Version: return OnVersion();
    case ToolCommand::Reset: return OnReset();
    case ToolCommand::Switch: return OnSwitch();
    case ToolCommand::EepromRead: return OnEepromRead();
    case ToolCommand::EepromWrite: return OnEepromWrite();
    case ToolCommand::Download: return OnDownload();
    }
    return kToolUsage;
}

std::vector<HidInterfaceInfo> ReaderCtlTool::Readers() {
    std::vector<HidInterfaceInfo> readers = m_backend.Enumerate();
    std::erase_if(readers, [this](const HidInterfaceInfo& info) { return !m_device.Matches(info.vendorId, info.productId); });
    return readers;
}

bool ReaderCtlTool::ReadVersion(std::string& text, bool& boot) {
    std::uint8_t version[kVersionRoom] = {};
    std::uint16_t length = 0;
    if (!m_device.GetFirmVersion(&length, version, sizeof version)) return false;
    const std::size_t shown = static_cast<std::size_t>(std::find(version, version + length, 0) - version);
    text = PrintableText(version, shown);
    boot = bootproto::IsBootVersion(version, length);
    return true;
}

void ReaderCtlTool::ListReaders(const std::vector<HidInterfaceInfo>& readers) {
    for (const HidInterfaceInfo& info : readers) {
        m_device.ChoosePath(info.path);
        std::string version;
        bool boot = false;
        const bool answered = ReadVersion(version, boot);
        const std::string mode = !answered ? "no-answer" : boot ? "boot" : "application";
        const std::string ids = Hex4(info.vendorId) + ":" + Hex4(info.productId);
        std::string line = info.path + "  " + ids + "  " + mode;
        if (answered) {
            line += "  " + version;
        } else {
            line += "  (version: status " + ToolReport::StatusHex(m_device.StatusWord()) + ")";
        }
        m_report.Result("reader", line,
                        {{"node", info.path}, {"vendor", Hex4(info.vendorId)}, {"product", Hex4(info.productId)},
                         {"mode", mode}, {"version", version}});
    }
    m_device.ChoosePath({});
}

int ReaderCtlTool::OnList() {
    const std::vector<HidInterfaceInfo> readers = Readers();
    if (readers.empty()) {
        m_report.Failure("no reader found (vendor " + Hex4(kBootVendorId) + ")");
        return kToolNoDevice;
    }
    ListReaders(readers);
    return kToolOk;
}

int ReaderCtlTool::Select() {
    const std::vector<HidInterfaceInfo> readers = Readers();
    auto chosen = readers.end();
    if (!m_options.device.empty()) {
        // A udev symlink names the same node.
        std::error_code ignored;
        const std::string canonical = std::filesystem::weakly_canonical(m_options.device, ignored).string();
        chosen = std::find_if(readers.begin(), readers.end(), [&](const HidInterfaceInfo& info) {
            return info.path == m_options.device || info.path == canonical;
        });
        if (chosen == readers.end()) {
            m_report.Failure("no reader at " + m_options.device + " (readerctl list shows the readers)");
            return kToolNoDevice;
        }
    } else if (readers.empty()) {
        m_report.Failure("no reader found (vendor " + Hex4(kBootVendorId) + ")");
        return kToolNoDevice;
    } else if (readers.size() > 1) {
        m_report.Failure("several readers present: choose one with --device NODE");
        ListReaders(readers);
        return kToolUsage;
    } else {
        chosen = readers.begin();
    }
    m_reader = *chosen;
    m_otherPaths.clear();
    for (const HidInterfaceInfo& info : readers)
        if (info.path != m_reader.path) m_otherPaths.push_back(info.path);
    m_device.ChoosePath(m_reader.path);
    return kToolOk;
}

int ReaderCtlTool::Refused(const std::string& what) {
    const std::uint16_t status = m_device.StatusWord();
    m_report.Refused(what, status);
    return status == bootstatus::StatusNoDevice ? kToolNoDevice : kToolRefused;
}

int ReaderCtlTool::OnVersion() {
    if (const int chosen = Select(); chosen != kToolOk) return chosen;
    std::string version;
    bool boot = false;
    if (!ReadVersion(version, boot)) return Refused("version");
    m_report.Result("version", version,
                    {{"node", m_reader.path}, {"version", version}, {"mode", boot ? "boot" : "application"}});
    return kToolOk;
}

int ReaderCtlTool::OnReset() {
    if (const int chosen = Select(); chosen != kToolOk) return chosen;
    if (!m_device.Reset()) {  // the reader left between the choice and the reset
        m_report.Refused("reset", bootstatus::StatusNoDevice);
        return kToolNoDevice;
    }
    if (m_device.StatusWord() != bootstatus::StatusOk) return Refused("reset");
    m_report.Result("reset", "reset sent to " + m_reader.path, {{"node", m_reader.path}});
    return kToolOk;
}

int ReaderCtlTool::OnSwitch() {
    if (const int chosen = Select(); chosen != kToolOk) return chosen;
    if (m_options.setSwitch) {
        if (!m_device.SwitchInterface(m_options.switchValue)) return Refused("switch");
        const std::string value = Hex2(m_options.switchValue);
        m_report.Result("switch", "interface switch set to " + value,
                        {{"node", m_reader.path}, {"value", std::to_string(m_options.switchValue), false}});
        return kToolOk;
    }
    std::uint8_t value = 0;
    if (!m_device.ReadSwitchInterface(&value)) return Refused("switch");
    m_report.Result("switch", "interface switch: " + Hex2(value),
                    {{"node", m_reader.path}, {"value", std::to_string(value), false}});
    return kToolOk;
}

int ReaderCtlTool::OnEepromRead() {
    if (const int chosen = Select(); chosen != kToolOk) return chosen;
    std::uint8_t data[256] = {};
    if (!m_device.ReadEEPROM(m_options.address, m_options.count, data)) return Refused("eeprom read");
    const CHexCodec codec;
    if (m_options.json) {
        m_report.Result("eeprom", {},
                        {{"node", m_reader.path},
                         {"address", std::to_string(m_options.address), false},
                         {"length", std::to_string(m_options.count), false},
                         {"data", codec.BytesToHex(m_options.count, data)}});
        return kToolOk;
    }
    // 16 bytes a line: address, bytes, the printable ones as characters.
    for (unsigned at = 0; at < m_options.count; at += 16) {
        const unsigned n = std::min(16u, m_options.count - at);
        char address[8];
        std::snprintf(address, sizeof address, "%02X  ", m_options.address + at);
        std::string line = address + codec.BytesToHex(n, data + at);
        line.append(3 * (16 - n), ' ');
        line += " |";
        for (unsigned i = 0; i < n; ++i) line += data[at + i] >= 0x20 && data[at + i] < 0x7F ? static_cast<char>(data[at + i]) : '.';
        m_report.Result("eeprom", line + "|");
    }
    return kToolOk;
}

int ReaderCtlTool::OnEepromWrite() {
    std::vector<std::uint8_t> data = m_options.data;
    if (!m_options.dataFile.empty()) {
        if (LoadImageFile(m_options.dataFile, kMaxEepromData, data) != ImageLoad::Ok) {
            m_report.Failure("cannot use " + m_options.dataFile +
                             ": not a readable regular file of at most 255 bytes");
            return kToolUsage;
        }
        std::string error;
        if (data.empty()) error = m_options.dataFile + " is empty";
        if (error.empty() && !CheckEepromRange(m_options, data.size(), error)) error = m_options.dataFile + ": " + error;
        if (!error.empty()) {
            m_report.Failure(error);
            return kToolUsage;
        }
    }
    if (const int chosen = Select(); chosen != kToolOk) return chosen;
    const auto count = static_cast<std::uint8_t>(data.size());
    if (!m_device.WriteEEPROM(m_options.address, count, data.data())) return Refused("eeprom write");
    m_report.Result("eeprom-write", "wrote " + std::to_string(count) + " bytes at " + Hex2(m_options.address),
                    {{"node", m_reader.path},
                     {"address", std::to_string(m_options.address), false},
                     {"length", std::to_string(count), false}});
    return kToolOk;
}

bool ReaderCtlTool::SameReader(const HidInterfaceInfo& info) const {
    if (!m_reader.location.empty()) return info.location == m_reader.location;
    return std::find(m_otherPaths.begin(), m_otherPaths.end(), info.path) == m_otherPaths.end();
}

std::optional<HidInterfaceInfo> ReaderCtlTool::WaitForReturn(const std::string& oldPath) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(m_options.waitSeconds);
    // The node may come back under the same name, so leaving is known from
    // the watch or from a look at the bus that misses the old node.
    bool left = false;
    for (;;) {
        const std::vector<HidInterfaceInfo> present = Readers();
        if (std::none_of(present.begin(), present.end(), [&](const HidInterfaceInfo& i) { return i.path == oldPath; }))
            left = true;
        for (const HidInterfaceInfo& info : present) {
            // Until udev's rules have run the node may not open for us yet.
            if (SameReader(info) && (left || info.path != oldPath) && m_backend.Open(info.path) != nullptr)
                return info;
        }
        const auto now = Clock::now();
        if (now >= deadline) return std::nullopt;
        const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const std::optional<BusWatch::Event> event = m_watch.Next(std::min(kWaitTurn, remaining));
        if (event && !event->arrival && event->path == oldPath) left = true;
    }
}

int ReaderCtlTool::OnDownload() {
    std::vector<std::uint8_t> image;
    const std::string& path = m_options.imagePath;
    switch (LoadImageFile(path, kMaxImageSize, image)) {
    case ImageLoad::Ok: break;
    case ImageLoad::CannotOpen:
        m_report.Failure("cannot read the image " + path + ": not a readable regular file");
        return kToolUsage;
    case ImageLoad::TooLarge:
        m_report.Failure("the image " + path + " is larger than 256 MiB");
        return kToolUsage;
    }
    if (image.empty()) {
        m_report.Failure("the image " + path + " is empty");
        return kToolUsage;
    }
    if (const int chosen = Select(); chosen != kToolOk) return chosen;

    const auto blocks = static_cast<std::uint32_t>((image.size() + bootproto::kBlockSize - 1) / bootproto::kBlockSize);
    const std::string wait = std::to_string(m_options.waitSeconds);
    m_report.Result("image", path + ": " + std::to_string(image.size()) + " bytes, " + std::to_string(blocks) + " blocks",
                    {{"image", path},
                     {"bytes", std::to_string(image.size()), false},
                     {"blocks", std::to_string(blocks), false}});
    // Listening before the reset, so that the reader's leaving is heard.
    m_watch.Start();

    if (!m_device.StartDownload() || m_device.StatusWord() != bootstatus::StatusOk) return Refused("start download");
    if (m_device.StartReset()) {
        m_report.Result("reset", "reset into the boot loader; waiting up to " + wait + " s for it",
                        {{"node", m_reader.path}, {"wait", wait, false}});
        const std::optional<HidInterfaceInfo> back = WaitForReturn(m_reader.path);
        if (!back) {
            m_report.Failure("the reader did not come back within " + wait + " s after its reset into the boot loader");
            return kToolRefused;
        }
        m_reader = *back;
        m_device.ChoosePath(m_reader.path);
        m_report.Result("boot", "boot loader at " + m_reader.path, {{"node", m_reader.path}});
    }

    BootDeviceHooks hooks;
    hooks.blockSent = [this](std::uint32_t sent, std::uint32_t total) { m_report.Progress(sent, total); };
    m_device.SetHooks(std::move(hooks));
    if (!m_device.Discover()) {
        m_report.Refused("download", bootstatus::StatusNoDevice);
        return kToolNoDevice;
    }
    std::uint32_t failedBlock = 0;
    if (m_device.SendImage(image.data(), image.size(), &failedBlock) != DownloadResult::Ok) {
        m_device.Close();
        return Refused("block " + std::to_string(failedBlock) + " of " + std::to_string(blocks) + " failed");
    }
    m_report.Result("blocks", std::to_string(blocks) + " blocks sent", {{"blocks", std::to_string(blocks), false}});

    const std::string bootPath = m_reader.path;
    if (!m_device.EndDownload())
        return Refused(m_device.BadSignatureAnswer() ? "end download: bad image signature" : "end download");
    m_report.Result("end", "image accepted; the reader restarts, waiting up to " + wait + " s for it",
                    {{"wait", wait, false}});
    const std::optional<HidInterfaceInfo> back = WaitForReturn(bootPath);
    if (!back) {
        m_report.Failure("the reader did not come back within " + wait + " s after the download");
        return kToolRefused;
    }
    m_reader = *back;
    m_device.ChoosePath(m_reader.path);
    std::string version;
    bool boot = false;
    if (!ReadVersion(version, boot)) return Refused("version after the download");
    m_report.Result("version", "new version at " + m_reader.path + ": " + version,
                    {{"node", m_reader.path}, {"version", version}, {"mode", boot ? "boot" : "application"}});
    if (boot) {
        m_report.Failure("the reader restarted into its boot loader, not into the new firmware");
        return kToolRefused;
    }
    return kToolOk;
}
