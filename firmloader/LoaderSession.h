// LoaderSession: the loader's flow behind its window: the download action,
// the image download, the end download, Get Version, and the reactions to the
// reader arriving and leaving. It holds the BootDevice with the loader's
// policy and reports through plain callbacks, so the window only forwards
// clicks and shows what it is told. Texts are cp1252.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

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

    const BootDevice& Device() const { return m_device; }

private:
    bool ImageDownload();
    void EndDownload();
    bool IsOurDevice(const std::string& path) const;
    void KeepListeningWhileWaiting();

    Output m_output;
    DeviceWatch& m_watch;
    BootDevice m_device;
    std::string m_imagePath;
    std::size_t m_blocksTotal = 0;
};
