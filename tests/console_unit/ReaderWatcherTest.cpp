// SPDX-License-Identifier: BSD-3-Clause
// CReaderWatcher against a scripted resource manager: when it reports, that
// it goes on after the resource manager went away, and that Stop() ends a
// wait that would otherwise last for ever.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "console/ReaderWatcher.h"
#include "readerlink/PcscApi.h"

namespace {

// The scripted resource manager: a reader list the test changes, a service
// that can be down, and a status-change wait that blocks until cancelled.
struct Script {
    std::mutex lock;
    std::condition_variable changed;
    std::string readers;  // multi-string without the final terminator
    bool serviceUp = true;
    bool cancelled = false;
    bool endlessWaits = false;  // waits ignore their timeout
    int established = 0;
    int released = 0;
    int waits = 0;
};
Script* g_script = nullptr;

LONG Establish(DWORD, LPCVOID, LPCVOID, LPSCARDCONTEXT context) {
    std::lock_guard lock(g_script->lock);
    if (!g_script->serviceUp) return SCARD_E_NO_SERVICE;
    *context = ++g_script->established;
    return SCARD_S_SUCCESS;
}
LONG Release(SCARDCONTEXT) {
    std::lock_guard lock(g_script->lock);
    ++g_script->released;
    return SCARD_S_SUCCESS;
}
LONG List(SCARDCONTEXT, LPCSTR, LPSTR buffer, LPDWORD length) {
    std::lock_guard lock(g_script->lock);
    if (!g_script->serviceUp) return SCARD_E_NO_SERVICE;
    if (g_script->readers.empty()) return SCARD_E_NO_READERS_AVAILABLE;
    const std::string multi = g_script->readers + '\0';
    if (buffer) {
        if (*length < multi.size()) return SCARD_E_INSUFFICIENT_BUFFER;
        multi.copy(buffer, multi.size());
    }
    *length = static_cast<DWORD>(multi.size());
    return SCARD_S_SUCCESS;
}
// Ends on a Cancel, a lost service, a change of readers or the timeout
// (never, with endlessWaits).
LONG GetStatusChange(SCARDCONTEXT, DWORD timeoutMs, SCARD_READERSTATE*, DWORD) {
    std::unique_lock lock(g_script->lock);
    ++g_script->waits;
    const std::string seen = g_script->readers;
    const auto ended = [&] { return g_script->cancelled || !g_script->serviceUp || g_script->readers != seen; };
    if (g_script->endlessWaits) {
        g_script->changed.wait(lock, ended);
    } else if (!g_script->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ended)) {
        return SCARD_E_TIMEOUT;
    }
    if (g_script->cancelled) {
        g_script->cancelled = false;
        return SCARD_E_CANCELLED;
    }
    return g_script->serviceUp ? SCARD_S_SUCCESS : SCARD_E_NO_SERVICE;
}
LONG Cancel(SCARDCONTEXT) {
    {
        std::lock_guard lock(g_script->lock);
        g_script->cancelled = true;
    }
    g_script->changed.notify_all();
    return SCARD_S_SUCCESS;
}

PcscApi ScriptedApi() {
    PcscApi api = DefaultPcscApi();
    api.EstablishContext = Establish;
    api.ReleaseContext = Release;
    api.ListReaders = List;
    api.GetStatusChange = GetStatusChange;
    api.Cancel = Cancel;
    return api;
}

class ReaderWatcherTest : public testing::Test {
protected:
    void SetUp() override {
        g_script = &script;
        SetPcscApi(&api);
    }
    void TearDown() override {
        watcher.Stop();
        SetPcscApi(nullptr);
        g_script = nullptr;
    }
    void Change(const std::function<void(Script&)>& edit) {
        {
            std::lock_guard lock(script.lock);
            edit(script);
        }
        script.changed.notify_all();
    }
    // Waits (bounded) until the watcher has reported n times.
    bool Reports(int n) {
        for (int i = 0; i < 500 && reports.load() < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return reports.load() == n;
    }
    bool Waiting() {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard lock(script.lock);
                if (script.waits > 0) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    Script script;
    PcscApi api = ScriptedApi();
    std::atomic<int> reports{0};
    CReaderWatcher watcher{[this] { ++reports; }};
};

TEST_F(ReaderWatcherTest, ReportsArrivalsAndRemovalsButNotTheFirstLook) {
    script.readers = "Reader A";
    watcher.Start();
    ASSERT_TRUE(Waiting());
    EXPECT_EQ(reports.load(), 0) << "the readers present at start are no news";
    Change([](Script& s) { s.readers = std::string("Reader A\0Reader B", 17); });
    EXPECT_TRUE(Reports(1));
    Change([](Script& s) { s.readers.clear(); });
    EXPECT_TRUE(Reports(2)) << "the last reader leaving is a change too";
}

TEST_F(ReaderWatcherTest, GoesOnAfterTheResourceManagerRestarts) {
    script.readers = "Reader A";
    watcher.Start();
    ASSERT_TRUE(Waiting());
    // Down, then up again with another reader: that reader is reported,
    // although it came while there was no context to wait on.
    Change([](Script& s) { s.serviceUp = false; });
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * CReaderWatcher::kRetryMs));
    Change([](Script& s) {
        s.readers = std::string("Reader A\0Reader B", 17);
        s.serviceUp = true;
    });
    EXPECT_TRUE(Reports(1));
    std::lock_guard lock(script.lock);
    EXPECT_GE(script.established, 2);
}

TEST_F(ReaderWatcherTest, StopEndsAWaitThatWouldLastForEver) {
    script.readers = "Reader A";
    script.endlessWaits = true;
    watcher.Start();
    ASSERT_TRUE(Waiting());
    watcher.Stop();  // would hang here without the cancel
    EXPECT_FALSE(watcher.IsRunning());
    std::lock_guard lock(script.lock);
    EXPECT_EQ(script.released, script.established) << "every context the watcher made is released";
}

TEST_F(ReaderWatcherTest, StopWhileTheServiceIsDownReturns) {
    script.serviceUp = false;
    watcher.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(CReaderWatcher::kRetryMs / 2));
    watcher.Stop();
    EXPECT_FALSE(watcher.IsRunning());
    EXPECT_EQ(reports.load(), 0);
}

}  // namespace
