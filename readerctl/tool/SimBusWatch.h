// SPDX-License-Identifier: BSD-3-Clause
// The bus watch of the tests and the benchmark: hears the simulated bus's
// arrivals and removals (which happen inside the reset frame's write) and
// hands them out in order.
#pragma once

#include <deque>
#include <functional>

#include "bootdev/sim/SimBootLoader.h"
#include "readerctl/tool/BusWatch.h"

class SimBusWatch final : public BusWatch {
public:
    explicit SimBusWatch(SimHidBus& bus);
    ~SimBusWatch() override;
    SimBusWatch(const SimBusWatch&) = delete;
    SimBusWatch& operator=(const SimBusWatch&) = delete;

    bool Start() override;
    // With nothing queued: runs the idle action once if one is set (a reader
    // that comes back later), else sleeps out the timeout.
    std::optional<Event> Next(std::chrono::milliseconds timeout) override;

    void WhenIdle(std::function<void()> action) { m_idle = std::move(action); }
    int StartCount() const { return m_starts; }

private:
    SimHidBus& m_bus;
    int m_observer = 0;
    bool m_active = false;
    int m_starts = 0;
    std::deque<Event> m_events;
    std::function<void()> m_idle;
};
