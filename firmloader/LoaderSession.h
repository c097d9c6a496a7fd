// SPDX-License-Identifier: BSD-3-Clause
// LoaderSession: the loader's flow behind its window: the download action,
// the image download, the end download, Get Version, and the reactions to the
// reader arriving and leaving. It holds the BootDevice with the loader's
// policy and reports through plain callbacks, so the window only forwards
// clicks and shows what it is told. Texts are cp1252.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bootdev/BootDevice.h"

class DeviceWatch;

class LoaderSession {
public:
    struct Output {
        std::function<void(const std::string& line)> log;
        // Modal: returns when the user closed the box. Notifications may be
        // handled meanwhile, re-entering this object.
        std::function<void(const std::string& text)> messageBox;
        // Blocks acknowledged of blocks total while a download runs;
        // (0, 0) when it is over.
        std::function<void(std::size_t sent, std::size_t total)> progress;
        // Ends the program at once with the code given.
        std::function<void(int code)> exitProgram;
        // Called after each acknowledged block: the window handles its
        // waiting events (paints, clicks on Exit, notifications, which the
        // session holds back until the download is over).
        std::function<void()> keepAlive;
        // True while blocks are being sent: the window takes no new command.
        std::function<void(bool sending)> sending;
        // True when a reset sent the reader away and the download waits for
        // its return; false when it is back (or the wait is over). The
        // window calls ReturnOverdue when the wait lasts too long.
        std::function<void(bool waiting)> waitingForReturn;
    };

    // The backend and the watch must outlive the session.
    LoaderSession(HidBackend& backend, DeviceWatch& watch, Output output);
    ~LoaderSession();
    LoaderSession(const LoaderSession&) = delete;
    LoaderSession& operator=(const LoaderSession&) = delete;

    // Raw file-system path bytes; empty until the user picks a file.
    void SetImagePath(std::string path) { m_imagePath = std::move(path); }
    const std::string& ImagePath() const { return m_imagePath; }

    void DownloadAction();
    void GetVersionAction();
    void OnArrival(const std::string& path);
    void OnRemovalComplete(const std::string& path);
    // The reader has not come back in time after the reset: say what to
    // check, once, and keep listening for it.
    void ReturnOverdue();
    // Ends a running download after the block being sent (the window is
    // closing). Notifications held back meanwhile are dropped.
    void RequestStop() { m_stopRequested = true; }
    bool Sending() const { return m_sending; }

    const BootDevice& Device() const { return m_device; }

private:
    bool ImageDownload();
    void EndDownload();
    bool IsOurDevice(const std::string& path) const;
    bool WaitingForReturn() const;
    void KeepListeningWhileWaiting();
    void ReportWaiting();
    void KeepAlive();
    void HandleHeldBack();

    struct HeldBack {
        bool arrival;
        std::string path;
    };

    Output m_output;
    DeviceWatch& m_watch;
    BootDevice m_device;
    std::string m_imagePath;
    std::size_t m_blocksTotal = 0;
    bool m_sending = false;
    bool m_pumping = false;
    std::chrono::steady_clock::time_point m_lastPump{};
    bool m_stopRequested = false;
    bool m_waitReported = false;
    std::vector<HeldBack> m_heldBack;
};
