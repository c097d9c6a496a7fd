// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/SimDeviceWatch.h"

#include <QTimer>

#include "bootdev/sim/SimBootLoader.h"

SimDeviceWatch::~SimDeviceWatch()
{
    if (m_bus)
        m_bus->RemoveObserver(m_observer);
}

void SimDeviceWatch::Follow(SimHidBus& bus)
{
    if (m_bus)
        m_bus->RemoveObserver(m_observer);
    m_bus = &bus;
    m_observer = bus.AddObserver([this](const SimHidBus::Event& event) {
        Post(event.kind == SimHidBus::EventKind::Arrival, event.path);
    });
}

bool SimDeviceWatch::Start()
{
    if (!m_active)
        ++m_startCount;
    m_active = true;
    return true;
}

bool SimDeviceWatch::Stop()
{
    if (!m_active)
        return true;
    m_active = false;
    const bool failed = m_failNextStop;
    m_failNextStop = false;
    return !failed;
}

void SimDeviceWatch::PostArrival(const std::string& path)
{
    Post(true, path);
}

void SimDeviceWatch::PostRemovalComplete(const std::string& path)
{
    Post(false, path);
}

void SimDeviceWatch::Post(bool arrival, const std::string& path)
{
    // Without a registration the event is never heard, even if one is made
    // before it would have been delivered.
    if (!m_active)
        return;
    QTimer::singleShot(m_delayMs, this, [this, arrival, path] {
        if (!m_active)
            return;
        if (arrival)
            NotifyArrival(path);
        else
            NotifyRemovalComplete(path);
    });
}
