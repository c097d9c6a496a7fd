// SPDX-License-Identifier: BSD-3-Clause
#include "readerctl/tool/UdevBusWatch.h"

#include <libudev.h>
#include <poll.h>

#include <cerrno>
#include <cstring>

UdevBusWatch::~UdevBusWatch() {
    if (m_monitor != nullptr) udev_monitor_unref(m_monitor);
    if (m_udev != nullptr) udev_unref(m_udev);
}

bool UdevBusWatch::Start() {
    if (m_monitor != nullptr) return true;
    if (m_udev == nullptr) m_udev = udev_new();
    if (m_udev == nullptr) return false;
    // The "udev" source reports a node after the rules ran, so an arriving
    // reader already carries the permissions that let us open it.
    udev_monitor* monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (monitor == nullptr) return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        udev_monitor_unref(monitor);
        return false;
    }
    m_monitor = monitor;
    return true;
}

std::optional<BusWatch::Event> UdevBusWatch::Next(std::chrono::milliseconds timeout) {
    if (m_monitor == nullptr) return std::nullopt;
    pollfd watched{udev_monitor_get_fd(m_monitor), POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(timeout.count()));
    if (ready <= 0 || (watched.revents & POLLIN) == 0) return std::nullopt;
    udev_device* device = udev_monitor_receive_device(m_monitor);
    if (device == nullptr) return std::nullopt;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    std::optional<Event> event;
    if (action != nullptr && node != nullptr) {
        if (std::strcmp(action, "add") == 0) event = Event{true, node};
        if (std::strcmp(action, "remove") == 0) event = Event{false, node};
    }
    udev_device_unref(device);
    // Other actions ("change", "bind") give nothing; the caller looks at the
    // bus again either way.
    return event;
}
