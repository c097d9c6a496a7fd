// SPDX-License-Identifier: BSD-3-Clause
// DeviceWatch: where the loader hears about HID interfaces arriving and
// leaving. The loader registers once per successful discovery and cancels at
// close, so at most one registration is live; without one, nothing is heard.
// Production listens to udev; tests and the demo build use a simulated source.
#pragma once

#include <functional>
#include <string>

class DeviceWatch {
public:
    // The interface's path (the device node, e.g. "/dev/hidraw3").
    using Handler = std::function<void(const std::string& path)>;

    virtual ~DeviceWatch() = default;

    // Registers for notifications. True when the registration is live
    // afterwards (also when it already was: there is never a second one).
    virtual bool Start() = 0;
    // Cancels the registration. False when there was one and it could not be
    // cancelled cleanly; the registration is gone either way.
    virtual bool Stop() = 0;
    virtual bool IsActive() const = 0;

    void SetArrivalHandler(Handler handler) { m_onArrival = std::move(handler); }
    void SetRemovalCompleteHandler(Handler handler) { m_onRemovalComplete = std::move(handler); }

protected:
    // Implementations call these on the window thread, only while active.
    void NotifyArrival(const std::string& path)
    {
        if (m_onArrival)
            m_onArrival(path);
    }
    void NotifyRemovalComplete(const std::string& path)
    {
        if (m_onRemovalComplete)
            m_onRemovalComplete(path);
    }

private:
    Handler m_onArrival;
    Handler m_onRemovalComplete;
};
