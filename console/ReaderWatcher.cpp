// SPDX-License-Identifier: BSD-3-Clause
#include "console/ReaderWatcher.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr char kPnpReader[] = "\\\\?PnP?\\Notification";

// A wait is bounded so that a Cancel that raced ahead of it cannot leave the
// thread waiting for ever.
constexpr DWORD kWaitMs = 1000;

// A reader list longer than this is not believed.
constexpr DWORD kMaxListLength = 1u << 20;

// Pause after a wake-up that came back at once.
constexpr int kSettleMs = 50;

}  // namespace

CReaderWatcher::CReaderWatcher(Callback onReadersChanged) : m_onReadersChanged(std::move(onReadersChanged)) {}

CReaderWatcher::~CReaderWatcher() { Stop(); }

void CReaderWatcher::Start() {
    if (m_thread.joinable()) return;
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
}

void CReaderWatcher::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        if (m_context != 0) CurrentPcscApi().Cancel(m_context);
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CReaderWatcher::Pause(int ms) {
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

void CReaderWatcher::Run() {
    const PcscApi& api = CurrentPcscApi();
    while (!m_stop) {
        SCARDCONTEXT context = 0;
        if (api.EstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) {
            // No resource manager (yet): try again shortly.
            Pause(kRetryMs);
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_stop) {
                api.ReleaseContext(context);
                break;
            }
            m_context = context;
        }
        const bool goOn = WatchWithContext(context);
        {
            std::lock_guard lock(m_mutex);
            m_context = 0;
        }
        api.ReleaseContext(context);
        if (!goOn) break;
        Pause(kRetryMs);
    }
}

bool CReaderWatcher::CheckReaders(SCARDCONTEXT context) {
    const PcscApi& api = CurrentPcscApi();
    std::string readers;
    DWORD length = 0;
    LONG rv = api.ListReaders(context, nullptr, nullptr, &length);
    if (rv == SCARD_S_SUCCESS && length > 0 && length <= kMaxListLength) {
        readers.assign(length, '\0');
        rv = api.ListReaders(context, nullptr, readers.data(), &length);
        readers.resize(std::min<std::size_t>(length, readers.size()));
    }
    if (rv == SCARD_E_NO_READERS_AVAILABLE) {
        readers.clear();
    } else if (rv == SCARD_E_INSUFFICIENT_BUFFER) {
        return true;  // a reader came between the two calls: look again next time
    } else if (rv != SCARD_S_SUCCESS) {
        return false;
    }
    const bool changed = m_primed && readers != m_knownReaders;
    m_knownReaders = std::move(readers);
    m_primed = true;
    if (changed && m_onReadersChanged) m_onReadersChanged();
    return true;
}

bool CReaderWatcher::WatchWithContext(SCARDCONTEXT context) {
    const PcscApi& api = CurrentPcscApi();
    // Readers that came or went while there was no context count too.
    if (!CheckReaders(context)) return !m_stop;
    while (!m_stop) {
        SCARD_READERSTATE state{};
        state.szReader = kPnpReader;
        state.dwCurrentState = SCARD_STATE_UNAWARE;
        const LONG rv = api.GetStatusChange(context, kWaitMs, &state, 1);
        if (m_stop) return false;
        if (rv != SCARD_S_SUCCESS && rv != SCARD_E_TIMEOUT && rv != SCARD_E_CANCELLED) return true;
        if (!CheckReaders(context)) return true;
        if (rv == SCARD_S_SUCCESS) Pause(kSettleMs);  // do not spin on a call that returns at once
    }
    return false;
}
