// SPDX-License-Identifier: BSD-3-Clause
// CReaderWatcher: tells the console when a reader arrives or goes away.
// It waits in SCardGetStatusChange on the resource manager's PnP
// notification reader, on its own thread and with its own context, and calls
// back from that thread; the window queues the call to its own thread.
// After every wake-up, and at least once a second, it compares the list of
// reader names with the one it saw last: the PnP reader alone does not tell
// about readers that came while the resource manager was being restarted.
// When the resource manager goes away (pcscd restarted) it establishes a new
// context and goes on. Stop() cancels the wait and joins, so closing never
// blocks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "readerlink/PcscApi.h"

class CReaderWatcher {
public:
    using Callback = std::function<void()>;

    explicit CReaderWatcher(Callback onReadersChanged);
    ~CReaderWatcher();
    CReaderWatcher(const CReaderWatcher&) = delete;
    CReaderWatcher& operator=(const CReaderWatcher&) = delete;

    // Starts the thread; a second Start while running does nothing.
    void Start();
    // Cancels the wait and joins the thread. Safe to call more than once.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // Pause between attempts to reach a resource manager that is down.
    static constexpr int kRetryMs = 250;

private:
    void Run();
    // Watches until the context fails (true: start over) or Stop (false).
    bool WatchWithContext(SCARDCONTEXT context);
    // Compares the readers now listed with those seen last and reports a
    // difference; false when the context no longer works.
    bool CheckReaders(SCARDCONTEXT context);
    void Pause(int ms);

    Callback m_onReadersChanged;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;  // guards m_context against Stop() cancelling a released context
    std::condition_variable m_wake;
    SCARDCONTEXT m_context = 0;
    bool m_primed = false;      // m_knownReaders holds a first listing
    std::string m_knownReaders;  // the multi-string of reader names last seen
};
