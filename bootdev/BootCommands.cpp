// SPDX-License-Identifier: BSD-3-Clause
// The boot and maintenance commands and the download sequence, over the
// transfer loop. Library and loader send the same frames; they differ in how
// they read answers and what they report.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "bootdev/BootDevice.h"
#include "bootdev/ImageFile.h"
#include "bootdev/LoaderText.h"

using namespace bootproto;

namespace {

// Filler for the bytes past the end of the image in its last block: the
// value of erased flash.
constexpr std::uint8_t kFiller = 0xFF;

// Block numbers travel as 32 bits; no image beyond that is ever sent.
constexpr std::uint64_t kMaxImageSize = (std::uint64_t{1} << 32) * kBlockSize;

}  // namespace

void BootDevice::Build(Header header, std::uint8_t command, const std::uint8_t* payload, std::size_t payloadLength) {
    BuildRequest(m_buffer.data(), header, command, payload, payloadLength);
}

std::size_t BootDevice::AnswerRoom() const {
    return m_featureReportLength > kAnswerDataOffset ? m_featureReportLength - kAnswerDataOffset : 0;
}

std::string BootDevice::AnswerText() const {
    const auto* data = m_buffer.data() + kAnswerDataOffset;
    // The version text gets the room the library gives it, whatever the
    // device sends.
    const std::size_t room = std::min(AnswerRoom(), kBootCheckVersionRoom);
    const auto* end = std::find(data, data + room, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(end - data));
}

bool BootDevice::Maintenance(std::uint8_t command, const std::uint8_t* payload, std::size_t payloadLength) {
    Build(Header::Maintenance, command, payload, payloadLength);
    const bool ok = Exchange();
    // The library drops the device after any failed exchange; the next call
    // finds it again.
    if (!ok && m_policy == BootPolicy::Library) Close();
    return ok;
}

bool BootDevice::StartDownload() {
    Build(Header::Download, kStartDownload);
    const bool transferred = Exchange();
    if (m_policy == BootPolicy::Library) {
        if (!transferred) {
            Close();
            return false;
        }
    } else {
        if (!transferred) {
            Log(loadertext::kStartFail);
            return false;
        }
        if (m_buffer[2] != 0) {
            Log(loadertext::kStartNotReady);
            return false;
        }
    }
    m_downloadState = DownloadState::Started;
    Log(loadertext::kStartSuccess);

    m_startReset = false;
    if (!BootCheck()) {
        m_startReset = true;
        // Not in its boot loader: restart it there. The download goes on
        // when it is back on the bus.
        if (m_policy == BootPolicy::Loader) LogFirmVersion();
        Reset();
    }
    return true;
}

bool BootDevice::BootCheck() {
    if (m_policy == BootPolicy::Library) {
        std::uint8_t version[kBootCheckVersionRoom] = {};
        std::uint16_t length = 0;
        if (!GetFirmVersion(&length, version, sizeof version)) return false;
        return IsBootVersion(version, length);
    }
    Build(Header::Maintenance, kGetFirmVersion);
    if (!Exchange()) {
        Log(loadertext::kBootCheckVersionFail);
        return false;
    }
    m_bootFlag = AnswerText().rfind(kBootString, 0) == 0;
    return m_bootFlag;
}

bool BootDevice::DataPacket(std::uint32_t blockNumber, const std::uint8_t* block256) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Build(Header::Download, kDataPacket, nullptr, sizeof(DataPacketPayload));
        PutLe32(m_buffer.data() + kRequestPayloadOffset, blockNumber);
        std::memcpy(m_buffer.data() + kRequestPayloadOffset + 4, block256, kBlockSize);

        if (!WriteFeatureReport()) {
            m_connected = false;
            if (m_policy == BootPolicy::Loader) {
                Log(loadertext::kSendCantWrite);
                return false;
            }
            continue;
        }
        if (!ReadFeatureReport()) {
            m_connected = false;
            if (m_policy == BootPolicy::Loader) {
                Log(loadertext::kSendCantRead);
                return false;
            }
            continue;
        }
        const bool statusOk = m_buffer[2] == 0;
        const bool lengthOk = AnswerDataLength(m_buffer.data()) == 4;
        if (!statusOk) {
            Log(loadertext::kSendNotOk);
        } else if (!lengthOk) {
            Log(loadertext::kSendBadLength);
        } else if (GetLe32(m_buffer.data() + kAnswerDataOffset) == blockNumber) {
            return true;
        }
    }
    if (m_policy == BootPolicy::Library) {
        m_statusWord = bootproto::StatusWord(m_buffer.data());
        // A refused block whose answer says 00 00 (wrong echo or length) must
        // not read as success to the caller.
        if (m_statusWord == bootstatus::StatusOk) m_statusWord = bootstatus::DownloadTransportFailed;
    }
    return false;
}

DownloadResult BootDevice::SendImage(const std::uint8_t* image, std::size_t size, std::uint32_t* failedBlock) {
    if (size > kMaxImageSize) return DownloadResult::NoMemory;
    std::uint8_t packet[kBlockSize];
    const auto total = static_cast<std::uint32_t>((size + kBlockSize - 1) / kBlockSize);
    std::uint32_t block = 0;
    for (std::size_t offset = 0; offset < size; offset += kBlockSize, ++block) {
        const std::size_t chunk = std::min(kBlockSize, size - offset);
        std::memcpy(packet, image + offset, chunk);
        if (chunk < kBlockSize) std::memset(packet + chunk, kFiller, kBlockSize - chunk);
        if (!DataPacket(block, packet)) {
            if (failedBlock != nullptr) *failedBlock = block;
            return DownloadResult::BlockFailed;
        }
        m_downloadState = DownloadState::Sending;
        if (m_hooks.blockSent) m_hooks.blockSent(block + 1, total);
        if (m_hooks.stopRequested && m_hooks.stopRequested() && offset + kBlockSize < size)
            return DownloadResult::Stopped;
    }
    return DownloadResult::Ok;
}

DownloadResult BootDevice::Download(const std::string& path) {
    const bool loader = m_policy == BootPolicy::Loader;
    auto refuse = [&](const char* text, DownloadResult result) {
        Box(text);
        Log(text);
        return result;
    };

    // The library looks for the device up front; without one, block 0 fails.
    if (!loader) Discover();
    if (m_downloadState != DownloadState::Started) return refuse(loadertext::kNotStarted, DownloadResult::NotStarted);

    std::vector<std::uint8_t> image;
    switch (LoadImageFile(path, kMaxImageSize, image)) {
    case ImageLoad::Ok: break;
    case ImageLoad::CannotOpen: return refuse(loadertext::kFileOpen, DownloadResult::FileOpen);
    case ImageLoad::TooLarge: return refuse(loadertext::kNoMemory, DownloadResult::NoMemory);
    }

    Log(loadertext::kInProgress);
    std::uint32_t failedBlock = 0;
    const DownloadResult result = SendImage(image.data(), image.size(), &failedBlock);
    if (result == DownloadResult::Stopped) return result;  // the loader is closing
    // Every block went through: whatever an earlier attempt left in the
    // status word is no longer the outcome.
    if (result == DownloadResult::Ok && !loader) m_statusWord = bootstatus::StatusOk;
    if (result == DownloadResult::BlockFailed) {
        Close();
        if (loader) {
            const std::string text = loadertext::kFailAtOffset + std::to_string(failedBlock);
            Box(text);
            Log(text);
        }
    }
    Log(result == DownloadResult::Ok ? loadertext::kDownloadSuccess : loadertext::kDownloadFail);
    return result;
}

bool BootDevice::EndDownload() {
    if (m_downloadState == DownloadState::Idle) {
        Log(loadertext::kEndNoDownload);
        return false;
    }
    if (m_policy == BootPolicy::Loader && !m_connected) Log(loadertext::kEndNoDevice);

    Build(Header::Download, kEndDownload);
    const bool transferred = Exchange();
    const bool accepted = m_policy == BootPolicy::Library ? transferred : transferred && m_buffer[2] == 0;
    if (accepted) {
        m_downloadState = DownloadState::Idle;
        Reset();  // into the firmware just loaded
        if (m_policy == BootPolicy::Loader) {
            Close();
        } else {
            ReleaseHandle();
        }
        m_connected = false;
        return true;
    }

    if (m_policy == BootPolicy::Library) {
        Close();
    } else if (!transferred) {
        Log(loadertext::kEndFail);
    } else {
        Log(loadertext::kEndRefused);
        if (BadSignatureAnswer()) Log(loadertext::kEndBadSignature);
    }
    m_connected = false;
    return false;
}

bool BootDevice::BadSignatureAnswer() const {
    if (m_buffer[2] == 0) return false;
    const std::size_t length = AnswerDataLength(m_buffer.data());
    return length <= sizeof kBadSignature &&
           std::memcmp(m_buffer.data() + kAnswerDataOffset, kBadSignature, length) == 0;
}

bool BootDevice::Reset() {
    Build(Header::Maintenance, kReset);
    if (!SendWithoutAnswer()) return false;
    Log(loadertext::kResetSent);
    return true;
}

bool BootDevice::GetFirmVersion(std::uint16_t* length, std::uint8_t* version, std::size_t room) {
    if (!Maintenance(kGetFirmVersion, nullptr, 0)) return false;
    // The length is byte 3 alone; never trust it past the frame or the room.
    const std::size_t copied = std::min({static_cast<std::size_t>(m_buffer[3]), AnswerRoom(), room});
    if (version != nullptr && copied > 0) std::memcpy(version, m_buffer.data() + kAnswerDataOffset, copied);
    if (length != nullptr) *length = static_cast<std::uint16_t>(copied);
    return true;
}

bool BootDevice::LogFirmVersion() {
    Build(Header::Maintenance, kGetFirmVersion);
    if (!Exchange()) {
        Log(loadertext::kGetVersionFail);
        return false;
    }
    Log(loadertext::kVersionPrefix + AnswerText());
    return true;
}

bool BootDevice::ReadEEPROM(std::uint8_t address, std::uint8_t count, std::uint8_t* data) {
    const std::uint8_t payload[2] = {address, count};
    if (!Maintenance(kReadEeprom, payload, sizeof payload)) return false;
    const std::size_t copied = std::min(static_cast<std::size_t>(count), AnswerRoom());
    if (data != nullptr && copied > 0) std::memcpy(data, m_buffer.data() + kAnswerDataOffset, copied);
    return true;
}

bool BootDevice::WriteEEPROM(std::uint8_t address, std::uint8_t count, const std::uint8_t* data) {
    std::uint8_t payload[2 + 255] = {address, count};
    if (data != nullptr && count > 0) std::memcpy(payload + 2, data, count);
    return Maintenance(kWriteEeprom, payload, 2 + std::size_t{count});
}

bool BootDevice::SwitchInterface(std::uint8_t value) {
    const std::uint8_t payload[1] = {value};
    return Maintenance(kSwitchInterface, payload, sizeof payload);
}

bool BootDevice::ReadSwitchInterface(std::uint8_t* value) {
    if (!Maintenance(kReadSwitch, nullptr, 0)) return false;
    if (value != nullptr) *value = m_buffer[kAnswerDataOffset];
    return true;
}
