// SPDX-License-Identifier: BSD-3-Clause
// The transfer loop: discovery, the raw feature report transfers, the two
// exchange policies, send without answer and close.
#include <algorithm>
#include <cstring>

#include "bootdev/BootDevice.h"
#include "bootdev/LoaderText.h"

using namespace bootproto;

BootDevice::BootDevice(HidBackend& backend, BootPolicy policy, std::uint16_t vendorId, const ProductIds& productIds)
    : m_backend(backend), m_policy(policy), m_vendorId(vendorId), m_productIds(productIds) {
    std::sort(m_productIds.begin(), m_productIds.end());
}

BootDevice::~BootDevice() {
    if (m_registered && m_hooks.unregisterNotification) m_hooks.unregisterNotification();
    m_registered = false;
    ReleaseHandle();
}

void BootDevice::SetHooks(BootDeviceHooks hooks) { m_hooks = std::move(hooks); }

bool BootDevice::Matches(std::uint16_t vendorId, std::uint16_t productId) const {
    return vendorId == m_vendorId &&
           std::find(m_productIds.begin(), m_productIds.end(), productId) != m_productIds.end();
}

void BootDevice::Log(const std::string& line) const {
    if (m_policy == BootPolicy::Loader && m_hooks.log) m_hooks.log(line);
}

void BootDevice::Box(const std::string& text) const {
    if (m_policy == BootPolicy::Loader && m_hooks.messageBox) m_hooks.messageBox(text);
}

void BootDevice::ReleaseHandle() { m_handle.reset(); }

void BootDevice::CancelRegistration() {
    if (!m_registered) return;
    m_registered = false;
    if (m_hooks.unregisterNotification && !m_hooks.unregisterNotification()) Box(loadertext::kUnregisterFailed);
}

bool BootDevice::Discover() {
    m_connected = false;
    CancelRegistration();
    ReleaseHandle();

    for (const HidInterfaceInfo& info : m_backend.Enumerate()) {
        if (!Matches(info.vendorId, info.productId)) continue;
        if (!m_chosenPath.empty() && info.path != m_chosenPath) continue;
        std::unique_ptr<HidConnection> connection = m_backend.Open(info.path);
        if (!connection) continue;  // gone or not ours to open: skip it like a stranger
        const std::size_t length = connection->FeatureReportLength();
        if (length < kMinFeatureReportLength || length > kMaxFeatureReportLength) {
            // A data packet would not fit in one report, or a report would
            // overflow the buffer: never talk to such a device.
            Log(loadertext::kBadReportLengthPrefix + std::to_string(length));
            continue;
        }
        m_handle = std::move(connection);
        m_featureReportLength = length;
        m_connected = true;
        if (m_policy == BootPolicy::Loader) {
            m_devicePath = info.path;
            if (m_hooks.registerNotification) m_registered = m_hooks.registerNotification(info.path);
        }
        break;  // the first match wins; the rest are never opened
    }
    return m_connected;
}

bool BootDevice::WriteFeatureReport() {
    return m_handle != nullptr && m_handle->WriteFeature(m_buffer.data(), m_featureReportLength);
}

bool BootDevice::ReadFeatureReport() {
    if (m_handle == nullptr) return false;
    // Read aside so that a failed read leaves the request in the buffer,
    // whatever the platform did with the bytes. Zeroed: a platform may fill
    // less than it was asked to, and the rest must not be stale stack bytes.
    std::array<std::uint8_t, kReportBufferSize> answer{};
    answer[0] = m_buffer[0];
    // A report shorter than the device's feature report is no answer: its
    // missing bytes would read as zeros, i.e. as success.
    const std::ptrdiff_t got = m_handle->ReadFeature(answer.data(), m_featureReportLength);
    if (got < 0 || static_cast<std::size_t>(got) != m_featureReportLength) return false;
    std::memcpy(m_buffer.data(), answer.data(), m_featureReportLength);
    return true;
}

bool BootDevice::Exchange() {
    if (m_policy == BootPolicy::Library) {
        if (!Discover()) {
            m_statusWord = bootstatus::StatusNoDevice;
            return false;
        }
        bool transferred = WriteFeatureReport();
        if (transferred) transferred = ReadFeatureReport();
        if (!transferred) {
            ReleaseHandle();
            m_connected = false;
        }
        m_statusWord = bootproto::StatusWord(m_buffer.data());
        return transferred && m_statusWord == bootstatus::StatusOk;
    }

    if (!m_connected && !Discover()) {
        Log(loadertext::kNoDevice);
        return false;
    }
    if (!WriteFeatureReport()) {
        Close();
        Log(loadertext::kCantWrite);
        m_connected = false;
        return false;
    }
    if (!ReadFeatureReport()) {
        Close();
        Log(loadertext::kCantReadAck);
        m_connected = false;
        return false;
    }
    return true;
}

bool BootDevice::SendWithoutAnswer() {
    if (m_policy == BootPolicy::Library) {
        // Found afresh like every library command: a handle kept from an
        // earlier call may belong to a device that has since restarted.
        if (!Discover()) return false;
        // A reset the device never took must not read as the previous
        // success.
        if (!WriteFeatureReport()) m_statusWord = bootstatus::MaintenanceTransportFailed;
        // The device restarts (or is gone): whatever comes next finds it anew.
        ReleaseHandle();
        m_connected = false;
        return true;
    }
    if (!m_connected && !Discover()) {
        Log(loadertext::kResetNoDevice);
        return false;
    }
    if (m_handle != nullptr) (void)WriteFeatureReport();
    return true;
}

void BootDevice::Close() {
    if (m_policy == BootPolicy::Library) {
        ReleaseHandle();
        m_connected = false;
        return;
    }
    if (!m_connected) return;
    CancelRegistration();
    ReleaseHandle();
    m_connected = false;
}
