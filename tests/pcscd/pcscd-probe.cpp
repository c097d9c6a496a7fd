// SPDX-License-Identifier: BSD-3-Clause
// A small PC/SC client for the test bench's scripts: waits until the private
// pcscd answers with its readers, until a reader comes or goes, or until a
// card is seen inserted or removed. Polls; never sleeps a fixed time.
//
//   pcscd-probe list
//   pcscd-probe wait-up <timeout-ms>
//   pcscd-probe wait-readers <count> <timeout-ms>          at least count readers
//   pcscd-probe wait-reader <name-prefix> present|absent <timeout-ms>
//   pcscd-probe wait-card <name-prefix> present|empty <timeout-ms>
//
// Exit status 0 when the condition holds, 1 on timeout (with one line on
// stderr saying what was seen), 2 on bad usage.
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Listing {
    LONG rv = SCARD_E_NO_SERVICE;
    std::vector<std::string> names;
};

Listing ListReaders()
{
    Listing out;
    SCARDCONTEXT ctx = 0;
    out.rv = SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx);
    if (out.rv != SCARD_S_SUCCESS)
        return out;
    char buf[8192];
    DWORD len = sizeof buf;
    out.rv = SCardListReaders(ctx, nullptr, buf, &len);
    if (out.rv == SCARD_S_SUCCESS) {
        for (DWORD off = 0; off < len && buf[off] != '\0';) {
            std::string name(buf + off);
            off += static_cast<DWORD>(name.size()) + 1;
            out.names.push_back(name);
        }
    } else if (out.rv == SCARD_E_NO_READERS_AVAILABLE) {
        out.rv = SCARD_S_SUCCESS;
    }
    SCardReleaseContext(ctx);
    return out;
}

const std::string* FindReader(const Listing& l, const std::string& prefix)
{
    for (const std::string& n : l.names)
        if (n.compare(0, prefix.size(), prefix) == 0)
            return &n;
    return nullptr;
}

// Card state of a reader: 1 present, 0 empty, -1 unknown.
int CardState(const std::string& reader)
{
    SCARDCONTEXT ctx = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &ctx) != SCARD_S_SUCCESS)
        return -1;
    SCARD_READERSTATE st{};
    st.szReader = reader.c_str();
    st.dwCurrentState = SCARD_STATE_UNAWARE;
    LONG rv = SCardGetStatusChange(ctx, 0, &st, 1);
    SCardReleaseContext(ctx);
    if (rv != SCARD_S_SUCCESS)
        return -1;
    if (st.dwEventState & SCARD_STATE_PRESENT)
        return 1;
    if (st.dwEventState & SCARD_STATE_EMPTY)
        return 0;
    return -1;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: pcscd-probe list | wait-up <ms> | wait-readers <count> <ms> |\n"
                 "       wait-reader <prefix> present|absent <ms> | wait-card <prefix> present|empty <ms>\n");
    return 2;
}

bool ParseMs(const char* s, long& ms)
{
    char* end = nullptr;
    ms = std::strtol(s, &end, 10);
    return end && *end == '\0' && ms >= 0;
}

template <typename Check>
int PollUntil(long timeoutMs, Check check, std::string& seen)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (check(seen))
            return 0;
        if (Clock::now() >= deadline)
            return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
}

std::string Describe(const Listing& l)
{
    if (l.rv != SCARD_S_SUCCESS) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "no answer from pcscd (0x%08lX)", static_cast<unsigned long>(l.rv));
        return buf;
    }
    std::string s = std::to_string(l.names.size()) + " reader(s)";
    for (const std::string& n : l.names)
        s += " [" + n + "]";
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    std::string cmd = argv[1];
    long ms = 0;
    std::string seen;
    int rc = 2;
    if (cmd == "list" && argc == 2) {
        Listing l = ListReaders();
        if (l.rv != SCARD_S_SUCCESS) {
            std::fprintf(stderr, "pcscd-probe: %s\n", Describe(l).c_str());
            return 1;
        }
        for (const std::string& n : l.names)
            std::printf("%s\n", n.c_str());
        return 0;
    } else if (cmd == "wait-up" && argc == 3 && ParseMs(argv[2], ms)) {
        rc = PollUntil(ms, [](std::string& s) {
            Listing l = ListReaders();
            s = Describe(l);
            return l.rv == SCARD_S_SUCCESS;
        }, seen);
    } else if (cmd == "wait-readers" && argc == 4 && ParseMs(argv[3], ms)) {
        std::size_t want = std::strtoul(argv[2], nullptr, 10);
        rc = PollUntil(ms, [want](std::string& s) {
            Listing l = ListReaders();
            s = Describe(l);
            return l.rv == SCARD_S_SUCCESS && l.names.size() >= want;
        }, seen);
    } else if (cmd == "wait-reader" && argc == 5 && ParseMs(argv[4], ms)) {
        std::string prefix = argv[2];
        bool wantPresent = std::strcmp(argv[3], "present") == 0;
        if (!wantPresent && std::strcmp(argv[3], "absent") != 0)
            return Usage();
        rc = PollUntil(ms, [&](std::string& s) {
            Listing l = ListReaders();
            s = Describe(l);
            return l.rv == SCARD_S_SUCCESS && (FindReader(l, prefix) != nullptr) == wantPresent;
        }, seen);
    } else if (cmd == "wait-card" && argc == 5 && ParseMs(argv[4], ms)) {
        std::string prefix = argv[2];
        int want = std::strcmp(argv[3], "present") == 0 ? 1 : std::strcmp(argv[3], "empty") == 0 ? 0 : -2;
        if (want == -2)
            return Usage();
        rc = PollUntil(ms, [&](std::string& s) {
            Listing l = ListReaders();
            const std::string* name = FindReader(l, prefix);
            if (!name) {
                s = "no reader starting with \"" + prefix + "\": " + Describe(l);
                return false;
            }
            int state = CardState(*name);
            s = "card state of \"" + *name + "\" is " + (state == 1 ? "present" : state == 0 ? "empty" : "unknown");
            return state == want;
        }, seen);
    } else {
        return Usage();
    }
    if (rc != 0)
        std::fprintf(stderr, "pcscd-probe: %s: timed out after %ld ms; last seen: %s\n", cmd.c_str(), ms,
                     seen.c_str());
    return rc;
}
