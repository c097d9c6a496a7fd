// SPDX-License-Identifier: BSD-3-Clause
// The HID transport seam. BootDevice reaches devices only through this
// interface: the hidapi backend in production, the simulated boot loader in
// tests. One connection object per opened interface; destroying it closes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One HID interface present on the bus, as enumeration sees it.
struct HidInterfaceInfo {
    std::string path;            // device node; what Open() takes and notifications name
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Where the device sits on the bus (its USB port), the same across the
    // reader's restarts while its node changes; empty when unknown.
    std::string location;
};

// An opened HID interface. Feature reports carry the report id in byte 0.
class HidConnection {
public:
    virtual ~HidConnection() = default;

    // The device's feature report length in bytes, report id byte counted;
    // 0 when the device declares no feature report or it cannot be learnt.
    virtual std::size_t FeatureReportLength() const = 0;

    // Exactly `length` bytes out of `data`. Blocking; no retries. False when
    // the platform took fewer.
    virtual bool WriteFeature(const std::uint8_t* data, std::size_t length) = 0;
    // Up to `length` bytes into `data`. Returns how many bytes the device
    // gave (report id byte counted), negative on failure. Blocking; no retries.
    virtual std::ptrdiff_t ReadFeature(std::uint8_t* data, std::size_t length) = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;

    // The HID interfaces present now, in the platform's enumeration order.
    virtual std::vector<HidInterfaceInfo> Enumerate() = 0;

    // Null when the interface cannot be opened (gone, no permission).
    virtual std::unique_ptr<HidConnection> Open(const std::string& path) = 0;
};
