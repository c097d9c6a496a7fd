// SPDX-License-Identifier: BSD-3-Clause
// The production device watch: a udev monitor on the hidraw subsystem whose
// socket is watched by the window thread's event loop. "add" is an arrival,
// "remove" a removal complete; the path is the device node.
#pragma once

#include "firmloader/DeviceWatch.h"

class QSocketNotifier;
struct udev;
struct udev_monitor;

class UdevDeviceWatch final : public DeviceWatch {
public:
    UdevDeviceWatch();
    ~UdevDeviceWatch() override;
    UdevDeviceWatch(const UdevDeviceWatch&) = delete;
    UdevDeviceWatch& operator=(const UdevDeviceWatch&) = delete;

    bool Start() override;
    bool Stop() override;
    bool IsActive() const override { return m_monitor != nullptr; }

private:
    bool Release(bool deferNotifierDelete);
    void OnReadable();

    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};
