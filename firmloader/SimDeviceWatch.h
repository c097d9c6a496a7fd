// SPDX-License-Identifier: BSD-3-Clause
// The simulated device watch of the tests and the demo build. Events are
// queued to the window thread's event loop, as udev's would be, and are heard
// only while a registration is live (when posted and when delivered).
#pragma once

#include <QObject>
#include <string>

#include "firmloader/DeviceWatch.h"

class SimHidBus;

class SimDeviceWatch final : public QObject, public DeviceWatch {
    Q_OBJECT
public:
    SimDeviceWatch() = default;
    ~SimDeviceWatch() override;

    // Hear the simulated bus's arrivals and removals (every interface on it).
    void Follow(SimHidBus& bus);
    // Deliver events this long after they happen, as a reader that takes
    // its time to restart would (0: at the next turn of the event loop).
    void SetDelay(int milliseconds) { m_delayMs = milliseconds; }

    bool Start() override;
    bool Stop() override;
    bool IsActive() const override { return m_active; }

    void PostArrival(const std::string& path);
    void PostRemovalComplete(const std::string& path);

    // Fault injection: the next cancel reports failure.
    void FailNextStop() { m_failNextStop = true; }
    int StartCount() const { return m_startCount; }

private:
    void Post(bool arrival, const std::string& path);

    SimHidBus* m_bus = nullptr;
    int m_observer = 0;
    int m_delayMs = 0;
    bool m_active = false;
    bool m_failNextStop = false;
    int m_startCount = 0;
};
