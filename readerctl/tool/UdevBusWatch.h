// SPDX-License-Identifier: BSD-3-Clause
// The production bus watch: a udev monitor on the hidraw subsystem, read
// with poll() so that the program needs no event loop.
#pragma once

#include "readerctl/tool/BusWatch.h"

struct udev;
struct udev_monitor;

class UdevBusWatch final : public BusWatch {
public:
    UdevBusWatch() = default;
    ~UdevBusWatch() override;
    UdevBusWatch(const UdevBusWatch&) = delete;
    UdevBusWatch& operator=(const UdevBusWatch&) = delete;

    bool Start() override;
    std::optional<Event> Next(std::chrono::milliseconds timeout) override;

private:
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
};
