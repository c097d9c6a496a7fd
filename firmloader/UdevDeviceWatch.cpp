// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/UdevDeviceWatch.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <cstring>
#include <string>

UdevDeviceWatch::UdevDeviceWatch() : m_udev(udev_new()) {}

UdevDeviceWatch::~UdevDeviceWatch()
{
    Release(false);
    if (m_udev)
        udev_unref(m_udev);
}

bool UdevDeviceWatch::Start()
{
    if (m_monitor)
        return true;
    if (!m_udev)
        return false;
    // The "udev" source delivers events after the rules ran, so an arriving
    // node already carries the permissions that let us open it.
    udev_monitor* monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!monitor)
        return false;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
        udev_monitor_unref(monitor);
        return false;
    }
    const int fd = udev_monitor_get_fd(monitor);
    if (fd < 0) {
        udev_monitor_unref(monitor);
        return false;
    }
    m_monitor = monitor;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { OnReadable(); });
    return true;
}

bool UdevDeviceWatch::Stop()
{
    // Stop may run inside the notifier's own signal (a handler closing the
    // device), so the notifier is disabled now and deleted later.
    return Release(true);
}

bool UdevDeviceWatch::Release(bool deferNotifierDelete)
{
    if (!m_monitor)
        return true;
    m_notifier->setEnabled(false);
    if (deferNotifierDelete)
        m_notifier->deleteLater();
    else
        delete m_notifier;
    m_notifier = nullptr;
    // unref returns the monitor when something else still holds it: then the
    // cancel did not really happen.
    const bool released = udev_monitor_unref(m_monitor) == nullptr;
    m_monitor = nullptr;
    return released;
}

void UdevDeviceWatch::OnReadable()
{
    if (!m_monitor)
        return;
    udev_device* device = udev_monitor_receive_device(m_monitor);
    if (!device)
        return;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    const std::string path = node ? node : "";
    const bool arrival = action && std::strcmp(action, "add") == 0;
    const bool removal = action && std::strcmp(action, "remove") == 0;
    udev_device_unref(device);
    // A handler may stop this watch (close cancels the registration), so
    // nothing of the monitor is touched after the call.
    if (path.empty())
        return;
    if (arrival)
        NotifyArrival(path);
    else if (removal)
        NotifyRemovalComplete(path);
}
