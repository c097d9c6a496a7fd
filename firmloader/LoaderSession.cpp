// SPDX-License-Identifier: BSD-3-Clause
#include "firmloader/LoaderSession.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "bootdev/BootIds.h"
#include "bootdev/ImageFile.h"
#include "bootdev/LoaderText.h"
#include "firmloader/DeviceWatch.h"

namespace {

constexpr std::chrono::milliseconds kPumpInterval{10};

bool EqualIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

LoaderSession::LoaderSession(HidBackend& backend, DeviceWatch& watch, Output output)
    : m_output(std::move(output)),
      m_watch(watch),
      m_device(backend, BootPolicy::Loader, kBootVendorId, kBootProductIds)
{
    BootDeviceHooks hooks;
    hooks.log = [this](const std::string& line) {
        if (m_output.log)
            m_output.log(line);
    };
    hooks.messageBox = [this](const std::string& text) {
        if (m_output.messageBox)
            m_output.messageBox(text);
    };
    hooks.registerNotification = [this](const std::string&) { return m_watch.Start(); };
    hooks.unregisterNotification = [this] { return m_watch.Stop(); };
    hooks.blockSent = [this](std::uint32_t sent, std::uint32_t total) {
        if (m_output.progress)
            m_output.progress(sent, total);
        KeepAlive();
    };
    hooks.stopRequested = [this] { return m_stopRequested; };
    m_device.SetHooks(std::move(hooks));
}

LoaderSession::~LoaderSession() = default;

void LoaderSession::DownloadAction()
{
    m_stopRequested = false;  // a click comes from a window that is open
    // The file first: a reader reset into its boot loader with nothing to
    // load would be left stranded there.
    if (!ImageFileOpens(m_imagePath)) {
        if (m_output.messageBox)
            m_output.messageBox(loadertext::kFileOpen);
        if (m_output.log)
            m_output.log(loadertext::kFileOpen);
        return;
    }
    if (!m_device.StartDownload()) {
        KeepListeningWhileWaiting();
        return;
    }
    ReportWaiting();
    // A reader that was reset is not back yet: its arrival goes on from here.
    if (m_device.Connected() && m_device.BootFlag() && ImageDownload())
        EndDownload();
    HandleHeldBack();
}

void LoaderSession::GetVersionAction()
{
    m_device.LogFirmVersion();
    KeepListeningWhileWaiting();
}

bool LoaderSession::WaitingForReturn() const
{
    // Started with the boot flag clear: the reader was reset out of its
    // application firmware and the download waits for its return.
    return m_device.State() == DownloadState::Started && !m_device.BootFlag();
}

void LoaderSession::ReportWaiting()
{
    const bool waiting = WaitingForReturn();
    if (waiting)
        m_waitReported = false;
    if (m_output.waitingForReturn)
        m_output.waitingForReturn(waiting);
}

void LoaderSession::ReturnOverdue()
{
    if (!WaitingForReturn() || m_waitReported)
        return;
    m_waitReported = true;
    if (m_output.log)
        m_output.log(loadertext::kReaderNotBack);
    KeepListeningWhileWaiting();
}

void LoaderSession::KeepAlive()
{
    if (!m_output.keepAlive || m_pumping)
        return;
    // Often enough for a live window, seldom enough that painting does not
    // slow a fast reader down.
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPump < kPumpInterval)
        return;
    m_lastPump = now;
    m_pumping = true;
    m_output.keepAlive();
    m_pumping = false;
}

void LoaderSession::HandleHeldBack()
{
    // Heard while blocks were going out; acted on now, in order, as if
    // they had come just after the download.
    std::vector<HeldBack> heldBack;
    heldBack.swap(m_heldBack);
    if (m_stopRequested)
        return;
    for (const HeldBack& event : heldBack) {
        if (event.arrival)
            OnArrival(event.path);
        else
            OnRemovalComplete(event.path);
    }
}

void LoaderSession::KeepListeningWhileWaiting()
{
    // Started with the boot flag clear: the reader was reset out of its
    // application firmware and the download waits for its return. A command
    // that failed meanwhile (the reader is away) or a discovery that found
    // nothing has dropped the registration; without it the return would
    // never be heard and the download would wait for ever.
    if (m_device.State() == DownloadState::Started && !m_device.BootFlag() && !m_watch.IsActive())
        m_watch.Start();
}

bool LoaderSession::ImageDownload()
{
    std::error_code error;
    const auto size = std::filesystem::file_size(m_imagePath, error);
    m_blocksTotal = error ? 0 : (size + bootproto::kBlockSize - 1) / bootproto::kBlockSize;
    if (m_output.progress && m_blocksTotal > 0)
        m_output.progress(0, m_blocksTotal);
    m_sending = true;
    if (m_output.sending)
        m_output.sending(true);
    const DownloadResult result = m_device.Download(m_imagePath);
    m_sending = false;
    if (m_output.sending)
        m_output.sending(false);
    m_blocksTotal = 0;
    if (m_output.progress)
        m_output.progress(0, 0);
    if (result == DownloadResult::NoMemory && m_output.exitProgram)
        m_output.exitProgram(1);
    return result == DownloadResult::Ok;
}

void LoaderSession::EndDownload()
{
    m_device.EndDownload();
}

bool LoaderSession::IsOurDevice(const std::string& path) const
{
    return !path.empty() && EqualIgnoringCase(path, m_device.DevicePath());
}

void LoaderSession::OnArrival(const std::string& path)
{
    // The handle is in use between two blocks: nothing may close it now.
    if (m_pumping) {
        m_heldBack.push_back({true, path});
        return;
    }
    const bool waiting = WaitingForReturn();
    m_device.Close();
    const bool found = m_device.Discover();
    if (!found) {
        // Some other device arrived (or took the reader's old node) while
        // the reader is still away.
        KeepListeningWhileWaiting();
        return;
    }
    if (IsOurDevice(path) && waiting) {
        if (m_output.waitingForReturn)
            m_output.waitingForReturn(false);
        m_device.LogFirmVersion();
        if (ImageDownload())
            EndDownload();
        HandleHeldBack();
    }
}

void LoaderSession::OnRemovalComplete(const std::string& path)
{
    if (m_pumping) {
        m_heldBack.push_back({false, path});
        return;
    }
    if (IsOurDevice(path) && m_device.State() == DownloadState::Sending) {
        if (m_output.log)
            m_output.log(loadertext::kDeviceRemoved);
        EndDownload();
    }
}
