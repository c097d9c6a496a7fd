// SPDX-License-Identifier: BSD-3-Clause
#include "bootdev/sim/SimBootLoader.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "bootdev/BootProtocol.h"

using namespace bootproto;

namespace {

// Refusals of the simulated device; byte 2 is never 0 so both readings of
// the answer see a failure.
constexpr std::uint8_t kUnknownCommand = 0x01;
constexpr std::uint8_t kBadSignatureStatus = 0x02;
constexpr std::uint8_t kBadPayload = 0x03;
constexpr std::uint8_t kOutOfRange = 0x04;
constexpr std::uint8_t kWrongMode = 0x05;

// The simulated flash holds 16 MiB; blocks beyond are refused.
constexpr std::uint32_t kMaxBlocks = 65536;

class SimConnection final : public HidConnection {
public:
    SimConnection(SimBootLoader* reader, std::uint64_t generation) : m_reader(reader), m_generation(generation) {}

    std::size_t FeatureReportLength() const override {
        return m_reader != nullptr ? m_reader->FeatureReportLength() : 0;
    }
    bool WriteFeature(const std::uint8_t* data, std::size_t length) override {
        return m_reader != nullptr && m_reader->TakeFrame(m_generation, data, length);
    }
    std::ptrdiff_t ReadFeature(std::uint8_t* data, std::size_t length) override {
        return m_reader != nullptr ? m_reader->GiveAnswer(m_generation, data, length) : -1;
    }

private:
    SimBootLoader* m_reader;  // null: a HID device that is not a reader
    std::uint64_t m_generation;
};

}  // namespace

// ---------------------------------------------------------------- reader

SimBootLoader::SimBootLoader(SimHidBus& bus, const SimBootLoaderConfig& config) : m_bus(bus), m_config(config) {
    SetVersions(config.appVersion, config.bootVersion);
    m_config.appProductIndex = std::clamp(m_config.appProductIndex, 0, 3);
    m_config.bootProductIndex = std::clamp(m_config.bootProductIndex, 0, 3);
    m_path = m_bus.NewPath();
}

void SimBootLoader::SetVersions(std::string appVersion, std::string bootVersion) {
    m_versions[SimMode::Application].assign(appVersion.begin(), appVersion.end());
    m_versions[SimMode::Boot].assign(bootVersion.begin(), bootVersion.end());
}

void SimBootLoader::SetVersionBytes(SimMode mode, std::vector<std::uint8_t> bytes) { m_versions[mode] = std::move(bytes); }

std::uint16_t SimBootLoader::ProductId() const {
    const int index = m_config.mode == SimMode::Application ? m_config.appProductIndex : m_config.bootProductIndex;
    return m_config.productIds[static_cast<std::size_t>(index)];
}

void SimBootLoader::Unplug() {
    if (!m_plugged) return;
    m_plugged = false;
    ++m_generation;  // handles opened before stay dead
    m_bus.Announce({SimHidBus::EventKind::Removal, m_path, m_config.vendorId, ProductId()});
}

void SimBootLoader::Replug() {
    if (m_plugged) return;
    m_plugged = true;
    ++m_generation;
    m_path = m_bus.NewPath();  // a new node, as the kernel gives
    m_bus.Announce({SimHidBus::EventKind::Arrival, m_path, m_config.vendorId, ProductId()});
}

void SimBootLoader::LeaveForReset() {
    ++m_resets;
    Unplug();
    const SimMode other = m_config.mode == SimMode::Application ? SimMode::Boot : SimMode::Application;
    m_config.mode = m_modeAfterReset.value_or(other);
    if (m_returnAfterReset) Replug();
}

const SimFaultRule* SimBootLoader::NextFault(std::uint8_t header, std::uint8_t command) {
    m_faultSeen.resize(m_faults.size(), 0);
    const SimFaultRule* fired = nullptr;
    for (std::size_t i = 0; i < m_faults.size(); ++i) {
        const SimFaultRule& rule = m_faults[i];
        if (rule.header >= 0 && rule.header != header) continue;
        if (rule.command >= 0 && rule.command != command) continue;
        const int seen = m_faultSeen[i]++;
        if (fired == nullptr && seen >= rule.skip && (rule.times < 0 || seen < rule.skip + rule.times)) fired = &rule;
    }
    return fired;
}

bool SimBootLoader::TakeFrame(std::uint64_t generation, const std::uint8_t* data, std::size_t length) {
    if (!m_plugged || generation != m_generation || data == nullptr) return false;
    const std::uint8_t header = length > 1 ? data[1] : 0;
    const std::uint8_t command = length > 3 ? data[3] : 0;
    const SimFaultRule* fault = NextFault(header, command);
    if (fault != nullptr && fault->kind == SimFault::FailWrite) return false;
    if (fault != nullptr && fault->kind == SimFault::Unplug) {
        Unplug();
        return false;
    }
    if (m_keepFrames) m_frames.emplace_back(data, data + length);
    m_failNextRead = false;
    m_shortNextRead.reset();
    if (m_blockDelay.count() > 0 && header == kDownloadHeader[0] && command == kDataPacket)
        std::this_thread::sleep_for(m_blockDelay);
    Process(data, length);
    if (fault == nullptr) return true;
    switch (fault->kind) {
    case SimFault::FailRead: m_failNextRead = true; break;
    case SimFault::ShortRead: m_shortNextRead = fault->shortLength; break;
    case SimFault::WrongEcho:
        PutLe32(m_answer.data() + kAnswerDataOffset, GetLe32(m_answer.data() + kAnswerDataOffset) + 1);
        break;
    case SimFault::WrongLength: ++m_answer[3]; break;
    case SimFault::Status:
        m_answer[1] = fault->status1;
        m_answer[2] = fault->status2;
        break;
    default: break;
    }
    return true;
}

std::ptrdiff_t SimBootLoader::GiveAnswer(std::uint64_t generation, std::uint8_t* data, std::size_t length) {
    if (!m_plugged || generation != m_generation || data == nullptr) return -1;
    if (m_failNextRead) {
        m_failNextRead = false;
        return -1;
    }
    // A short answer fills only its own bytes, as a platform would.
    const std::size_t given = std::min(length, m_shortNextRead.value_or(length));
    m_shortNextRead.reset();
    if (!m_rawAnswers.empty()) {
        const std::vector<std::uint8_t> raw = std::move(m_rawAnswers.front());
        m_rawAnswers.pop_front();
        std::memset(data, 0, given);
        if (!raw.empty()) std::memcpy(data, raw.data(), std::min(given, raw.size()));
        return static_cast<std::ptrdiff_t>(given);
    }
    std::memcpy(data, m_answer.data(), std::min(given, m_answer.size()));
    return static_cast<std::ptrdiff_t>(given);
}

void SimBootLoader::Answer(std::uint8_t status1, std::uint8_t status2, const std::uint8_t* data, std::size_t length) {
    m_answer.fill(0);
    m_answer[1] = status1;
    m_answer[2] = status2;
    m_answer[3] = static_cast<std::uint8_t>(length & 0xFF);
    m_answer[4] = static_cast<std::uint8_t>(length >> 8 & 0xFF);
    if (data != nullptr)
        std::memcpy(m_answer.data() + kAnswerDataOffset, data, std::min(length, m_answer.size() - kAnswerDataOffset));
}

void SimBootLoader::Process(const std::uint8_t* frame, std::size_t length) {
    m_answer.fill(0);
    if (length < kRequestPayloadOffset) {
        Answer(0x00, kBadPayload, nullptr, 0);
        return;
    }
    const bool download = frame[1] == kDownloadHeader[0] && frame[2] == kDownloadHeader[1];
    const bool maintenance = frame[1] == kMaintenanceHeader[0] && frame[2] == kMaintenanceHeader[1];
    const std::uint8_t command = frame[3];
    const std::size_t declared = static_cast<std::size_t>(frame[4] | frame[5] << 8);
    const std::uint8_t* payload = frame + kRequestPayloadOffset;
    const std::size_t carried = length - kRequestPayloadOffset;
    const bool boot = m_config.mode == SimMode::Boot;

    if (download) {
        switch (command) {
        case kStartDownload:
            ++m_starts;
            m_image.clear();
            Answer(0, 0, nullptr, 0);
            return;
        case kDataPacket: {
            if (!boot) return Answer(0x00, kWrongMode, nullptr, 0);
            if (declared != sizeof(DataPacketPayload) || carried < sizeof(DataPacketPayload))
                return Answer(0x00, kBadPayload, nullptr, 0);
            const std::uint32_t block = GetLe32(payload);
            if (block >= kMaxBlocks) return Answer(0x00, kOutOfRange, nullptr, 0);
            if (m_keepImage) {
                const std::size_t offset = std::size_t{block} * kBlockSize;
                if (m_image.size() < offset + kBlockSize) m_image.resize(offset + kBlockSize);
                std::memcpy(m_image.data() + offset, payload + 4, kBlockSize);
            }
            ++m_blocksTaken;
            return Answer(0, 0, payload, 4);  // the block number, echoed
        }
        case kEndDownload:
            ++m_ends;
            if (!boot) return Answer(0x00, kWrongMode, nullptr, 0);
            if (m_signatureCheck && !m_signatureCheck(m_image))
                return Answer(0x00, kBadSignatureStatus, kBadSignature, sizeof kBadSignature);
            m_firmware = m_image;
            return Answer(0, 0, nullptr, 0);
        default: return Answer(0x00, kUnknownCommand, nullptr, 0);
        }
    }
    if (maintenance) {
        switch (command) {
        case kReadEeprom: {
            if (declared != 2 || carried < 2) return Answer(0x00, kBadPayload, nullptr, 0);
            std::uint8_t data[256];
            for (std::size_t i = 0; i < payload[1]; ++i) data[i] = m_eeprom[(payload[0] + i) & 0xFF];
            return Answer(0, 0, data, payload[1]);
        }
        case kWriteEeprom: {
            if (carried < 2 || declared != std::size_t{payload[1]} + 2 || carried < declared)
                return Answer(0x00, kBadPayload, nullptr, 0);
            for (std::size_t i = 0; i < payload[1]; ++i) m_eeprom[(payload[0] + i) & 0xFF] = payload[2 + i];
            return Answer(0, 0, nullptr, 0);
        }
        case kGetFirmVersion: {
            const std::vector<std::uint8_t>& text = m_versions[m_config.mode];
            Answer(0, 0, text.data(), text.size());
            if (m_versionLengthByte) m_answer[3] = *m_versionLengthByte;
            return;
        }
        case kReadSwitch: return Answer(0, 0, &m_switch, 1);
        case kSwitchInterface:
            if (declared != 1 || carried < 1) return Answer(0x00, kBadPayload, nullptr, 0);
            m_switch = payload[0];
            return Answer(0, 0, nullptr, 0);
        case kReset: LeaveForReset(); return;
        default: return Answer(0x00, kUnknownCommand, nullptr, 0);
        }
    }
    Answer(0x00, kUnknownCommand, nullptr, 0);
}

// ---------------------------------------------------------------- bus

SimHidBus::SimHidBus() = default;
SimHidBus::~SimHidBus() = default;

SimBootLoader& SimHidBus::AddBootLoader(const SimBootLoaderConfig& config) {
    m_readers.push_back(std::unique_ptr<SimBootLoader>(new SimBootLoader(*this, config)));
    SimBootLoader& reader = *m_readers.back();
    m_entries.push_back({&reader, {}, "sim-usb-" + std::to_string(m_readers.size())});
    Announce({EventKind::Arrival, reader.Path(), reader.VendorId(), reader.ProductId()});
    return reader;
}

void SimHidBus::AddOtherDevice(std::uint16_t vendorId, std::uint16_t productId) {
    m_entries.push_back({nullptr, {NewPath(), vendorId, productId, {}}, {}});
}

int SimHidBus::AddObserver(Observer observer) {
    const int id = m_nextObserver++;
    m_observers[id] = std::move(observer);
    return id;
}

void SimHidBus::RemoveObserver(int id) { m_observers.erase(id); }

void SimHidBus::Announce(const Event& event) {
    const auto observers = m_observers;  // an observer may remove itself
    for (const auto& [id, observer] : observers)
        if (observer) observer(event);
}

std::string SimHidBus::NewPath() { return "/dev/simhidraw" + std::to_string(m_nextPath++); }

std::vector<HidInterfaceInfo> SimHidBus::Enumerate() {
    ++m_enumerations;
    std::vector<HidInterfaceInfo> present;
    for (const Entry& entry : m_entries) {
        if (entry.reader == nullptr) {
            present.push_back(entry.other);
        } else if (entry.reader->Plugged()) {
            present.push_back({entry.reader->Path(), entry.reader->VendorId(), entry.reader->ProductId(), entry.location});
        }
    }
    return present;
}

std::unique_ptr<HidConnection> SimHidBus::Open(const std::string& path) {
    if (m_failOpens) return nullptr;
    for (const Entry& entry : m_entries) {
        if (entry.reader == nullptr) {
            if (entry.other.path != path) continue;
            ++m_openCounts[path];
            return std::make_unique<SimConnection>(nullptr, 0);
        }
        if (entry.reader->Plugged() && entry.reader->Path() == path) {
            ++m_openCounts[path];
            entry.reader->CountOpen();
            return std::make_unique<SimConnection>(entry.reader, entry.reader->Generation());
        }
    }
    return nullptr;
}

int SimHidBus::OpenCount(const std::string& path) const {
    const auto found = m_openCounts.find(path);
    return found == m_openCounts.end() ? 0 : found->second;
}
