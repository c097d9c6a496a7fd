#include "console/ReaderWatcher.h"

#include <chrono>

namespace {

constexpr char kPnpReader[] = "\\\\?PnP?\\Notification";

// A wait is bounded so that a Cancel that raced ahead of it cannot leave the
// thread waiting for ever.
constexpr DWORD kWaitMs = 1000;

// The resource manager keeps the number of readers in the high word of the
// PnP reader's event state.
DWORD ReaderCountOf(DWORD state) { return state >> 16; }

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

bool CReaderWatcher::WatchWithContext(SCARDCONTEXT context) {
    const PcscApi& api = CurrentPcscApi();
    while (!m_stop) {
        SCARD_READERSTATE state{};
        state.szReader = kPnpReader;
        state.dwCurrentState = m_knownState;
        // The first look only learns how many readers there are; after a
        // restart of the resource manager the count seen before is kept, so
        // readers that came or went meanwhile are still reported.
        const LONG rv = api.GetStatusChange(context, m_primed ? kWaitMs : 0, &state, 1);
        if (m_stop) return false;
        if (rv == SCARD_E_TIMEOUT) {
            m_primed = true;
            continue;
        }
        if (rv == SCARD_E_CANCELLED) continue;  // a Cancel not meant to stop us
        if (rv != SCARD_S_SUCCESS) return true;  // service gone or context broken: start over
        const DWORD newState = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
        const bool countChanged = ReaderCountOf(newState) != ReaderCountOf(m_knownState);
        const bool report = m_primed && countChanged;
        m_knownState = newState;
        m_primed = true;
        if (report && m_onReadersChanged) m_onReadersChanged();
        if (!countChanged && (state.dwEventState & SCARD_STATE_CHANGED) == 0) {
            // Nothing moved but the call came back at once: do not spin.
            Pause(50);
        }
    }
    return false;
}
