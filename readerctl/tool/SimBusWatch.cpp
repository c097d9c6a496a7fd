// SPDX-License-Identifier: BSD-3-Clause
#include "readerctl/tool/SimBusWatch.h"

#include <thread>

SimBusWatch::SimBusWatch(SimHidBus& bus) : m_bus(bus) {
    m_observer = bus.AddObserver([this](const SimHidBus::Event& event) {
        if (m_active) m_events.push_back({event.kind == SimHidBus::EventKind::Arrival, event.path});
    });
}

SimBusWatch::~SimBusWatch() { m_bus.RemoveObserver(m_observer); }

bool SimBusWatch::Start() {
    ++m_starts;
    m_active = true;
    return true;
}

std::optional<BusWatch::Event> SimBusWatch::Next(std::chrono::milliseconds timeout) {
    if (m_events.empty() && m_idle) {
        auto idle = std::move(m_idle);
        m_idle = nullptr;
        idle();
    }
    if (m_events.empty()) {
        std::this_thread::sleep_for(timeout);
        return std::nullopt;
    }
    Event event = m_events.front();
    m_events.pop_front();
    return event;
}
