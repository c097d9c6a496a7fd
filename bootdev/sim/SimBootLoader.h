// SPDX-License-Identifier: BSD-3-Clause
// A simulated reader boot interface on a simulated HID bus, for tests, the
// fuzzer, the benchmark and the loader's demo. Zero latency, in memory.
//
// SimHidBus is a HidBackend. It holds simulated readers (SimBootLoader) and
// other HID devices. A reader runs in application or boot mode, answers every
// command of the boot and maintenance protocol, leaves the bus on reset and
// comes back under the product id of its new mode, and can be told to fail.
//
// Bus events (arrival, removal) go to the observers synchronously, from inside
// the call that causes them (a reset frame's write, Unplug, Replug). An
// observer that wants to act on them later (as a window does) should queue them.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bootdev/HidBackend.h"

enum class SimMode { Application, Boot };

enum class SimFault {
    FailWrite,    // the feature report write fails (frame not seen by the device)
    FailRead,     // the feature report read fails
    WrongEcho,    // a data packet is answered with block number + 1
    WrongLength,  // the answer data length field is off by one
    Status,       // the answer carries status bytes status1, status2
    Unplug,       // the device leaves the bus instead of taking the frame
    ShortRead,    // the answer read gives only `shortLength` bytes
};

// A fault hits frames that match header/command: after letting `skip`
// matching frames through, it hits the next `times` ones (-1: all of them).
struct SimFaultRule {
    SimFault kind = SimFault::FailWrite;
    int times = 1;
    int skip = 0;
    int header = -1;   // 0x53 (download) or 0x52 (maintenance); -1 any
    int command = -1;  // command code; -1 any
    std::uint8_t status1 = 0;
    std::uint8_t status2 = 0;
    std::size_t shortLength = 5;  // ShortRead: bytes the read gives (report id counted)
};

struct SimBootLoaderConfig {
    std::uint16_t vendorId = 0;
    std::array<std::uint16_t, 4> productIds{};
    int appProductIndex = 0;   // which of the four the application mode shows
    int bootProductIndex = 1;  // which of the four the boot loader shows
    SimMode mode = SimMode::Application;
    std::string appVersion = "Corvane_Lyra 2.10";
    std::string bootVersion = "Corvane_Lyra_Boot 1.03";
    std::size_t featureReportLength = 266;  // report id byte counted
};

class SimHidBus;

class SimBootLoader {
public:
    // --- Controls ---
    void SetMode(SimMode mode) { m_config.mode = mode; }
    SimMode Mode() const { return m_config.mode; }
    void SetVersions(std::string appVersion, std::string bootVersion);
    // Raw version bytes, for texts with odd lengths or embedded zeros.
    void SetVersionBytes(SimMode mode, std::vector<std::uint8_t> bytes);
    // Override the length byte (answer byte 3) of the version answer.
    void SetVersionLengthByte(std::optional<std::uint8_t> length) { m_versionLengthByte = length; }
    void SetFeatureReportLength(std::size_t length) { m_config.featureReportLength = length; }

    // On reset the device always leaves the bus. With returnAfterReset (the
    // default) it comes back at once, in the other mode (or modeAfterReset);
    // otherwise it stays away until Replug().
    void SetReturnAfterReset(bool back) { m_returnAfterReset = back; }
    void SetModeAfterReset(std::optional<SimMode> mode) { m_modeAfterReset = mode; }
    void Unplug();
    void Replug();
    bool Plugged() const { return m_plugged; }

    void InjectFault(const SimFaultRule& rule) { m_faults.push_back(rule); }
    void ClearFaults() { m_faults.clear(); }
    // The next reads answer these bytes (as many as the report holds) instead
    // of the device's own answer; the frames written are still processed.
    void QueueRawAnswer(std::vector<std::uint8_t> answer) { m_rawAnswers.push_back(std::move(answer)); }
    // End download accepts the image when this says so (default: any image).
    // A refusal answers status 00 02 with data FE FF FF FF (bad signature).
    void SetSignatureCheck(std::function<bool(const std::vector<std::uint8_t>&)> check) {
        m_signatureCheck = std::move(check);
    }
    // Each data packet takes this long, as a device writing its flash does.
    void SetBlockDelay(std::chrono::microseconds delay) { m_blockDelay = delay; }
    // The benchmark turns these off to keep memory flat.
    void KeepFrames(bool keep) { m_keepFrames = keep; }
    void KeepImage(bool keep) { m_keepImage = keep; }

    // --- Observations ---
    const std::string& Path() const { return m_path; }
    std::uint16_t ProductId() const;
    std::uint16_t VendorId() const { return m_config.vendorId; }
    std::size_t FeatureReportLength() const { return m_config.featureReportLength; }
    // Every frame the device took, each as written (feature report length bytes).
    const std::vector<std::vector<std::uint8_t>>& Frames() const { return m_frames; }
    void ClearFrames() { m_frames.clear(); }
    int ResetCount() const { return m_resets; }
    int StartCount() const { return m_starts; }
    int EndCount() const { return m_ends; }
    std::size_t BlocksTaken() const { return m_blocksTaken; }
    // The image assembled from the data packets since the last start download.
    const std::vector<std::uint8_t>& Image() const { return m_image; }
    // The image accepted by the last successful end download.
    const std::vector<std::uint8_t>& Firmware() const { return m_firmware; }
    std::array<std::uint8_t, 256>& Eeprom() { return m_eeprom; }
    std::uint8_t SwitchValue() const { return m_switch; }
    void SetSwitchValue(std::uint8_t value) { m_switch = value; }
    int OpenCount() const { return m_opens; }

    // --- Used by the bus's connections ---
    bool TakeFrame(std::uint64_t generation, const std::uint8_t* data, std::size_t length);
    // Bytes given (report id counted), negative when the read fails.
    std::ptrdiff_t GiveAnswer(std::uint64_t generation, std::uint8_t* data, std::size_t length);
    std::uint64_t Generation() const { return m_generation; }
    void CountOpen() { ++m_opens; }

private:
    friend class SimHidBus;
    SimBootLoader(SimHidBus& bus, const SimBootLoaderConfig& config);
    const SimFaultRule* NextFault(std::uint8_t header, std::uint8_t command);
    void Process(const std::uint8_t* frame, std::size_t length);
    void Answer(std::uint8_t status1, std::uint8_t status2, const std::uint8_t* data, std::size_t length);
    void LeaveForReset();

    SimHidBus& m_bus;
    SimBootLoaderConfig m_config;
    std::map<SimMode, std::vector<std::uint8_t>> m_versions;
    std::optional<std::uint8_t> m_versionLengthByte;
    bool m_returnAfterReset = true;
    std::optional<SimMode> m_modeAfterReset;
    bool m_plugged = true;
    std::uint64_t m_generation = 1;
    std::string m_path;

    std::vector<SimFaultRule> m_faults;
    std::vector<int> m_faultSeen;
    std::deque<std::vector<std::uint8_t>> m_rawAnswers;
    std::function<bool(const std::vector<std::uint8_t>&)> m_signatureCheck;
    bool m_keepFrames = true;
    bool m_keepImage = true;

    std::array<std::uint8_t, 512> m_answer{};
    bool m_failNextRead = false;
    std::optional<std::size_t> m_shortNextRead;
    std::chrono::microseconds m_blockDelay{0};
    std::vector<std::vector<std::uint8_t>> m_frames;
    int m_resets = 0;
    int m_starts = 0;
    int m_ends = 0;
    int m_opens = 0;
    std::size_t m_blocksTaken = 0;
    std::vector<std::uint8_t> m_image;
    std::vector<std::uint8_t> m_firmware;
    std::array<std::uint8_t, 256> m_eeprom{};
    std::uint8_t m_switch = 0;
};

class SimHidBus : public HidBackend {
public:
    enum class EventKind { Arrival, Removal };
    struct Event {
        EventKind kind;
        std::string path;
        std::uint16_t vendorId;
        std::uint16_t productId;
    };
    using Observer = std::function<void(const Event&)>;

    SimHidBus();
    ~SimHidBus() override;

    // A reader, plugged in at once (arrival announced). Lives as long as the bus.
    SimBootLoader& AddBootLoader(const SimBootLoaderConfig& config);
    // Some other HID device: enumerated, opens, but takes no feature reports.
    void AddOtherDevice(std::uint16_t vendorId, std::uint16_t productId);
    // Returns an id for RemoveObserver.
    int AddObserver(Observer observer);
    void RemoveObserver(int id);

    std::vector<HidInterfaceInfo> Enumerate() override;
    std::unique_ptr<HidConnection> Open(const std::string& path) override;

    int OpenCount(const std::string& path) const;
    int EnumerateCount() const { return m_enumerations; }
    // Every open fails while set (a device without permission).
    void FailOpens(bool fail) { m_failOpens = fail; }

    // Used by the readers.
    std::string NewPath();
    void Announce(const Event& event);

private:
    // Readers and other devices in the order they were added, which is the
    // enumeration order.
    struct Entry {
        SimBootLoader* reader = nullptr;
        HidInterfaceInfo other;
        std::string location;  // a reader's port, kept across its restarts
    };
    std::vector<std::unique_ptr<SimBootLoader>> m_readers;
    std::vector<Entry> m_entries;
    std::map<int, Observer> m_observers;
    std::map<std::string, int> m_openCounts;
    int m_nextObserver = 1;
    int m_nextPath = 0;
    int m_enumerations = 0;
    bool m_failOpens = false;
};
