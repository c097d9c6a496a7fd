// SPDX-License-Identifier: BSD-3-Clause
// The IFD handler entry points the daemon calls. They only find the reader of
// a logical unit number and hand over to SimReader; nothing here may throw
// into the daemon, which is C.
// The header declares the entry points without C linkage guards.
extern "C" {
#include <PCSC/ifdhandler.h>
}

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "ScenarioParser.h"
#include "SimReader.h"

using simreader::SimReader;

namespace {

// PCSCLITE_MAX_READERS_CONTEXTS of the daemon.
constexpr unsigned char kMaxReaders = 16;

std::mutex g_readersLock;
std::map<DWORD, std::shared_ptr<SimReader>> g_readers;

std::shared_ptr<SimReader> Find(DWORD lun)
{
    std::lock_guard<std::mutex> g(g_readersLock);
    auto it = g_readers.find(lun);
    return it == g_readers.end() ? nullptr : it->second;
}

std::string LunLabel(DWORD lun)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%06lX", static_cast<unsigned long>(lun));
    return buf;
}

// The daemon's log shows our stderr; one line per refusal.
void LogLine(const std::string& text)
{
    std::fprintf(stderr, "simreader: %s\n", text.c_str());
    std::fflush(stderr);
}

template <typename F>
RESPONSECODE Guarded(DWORD lun, F&& f)
{
    try {
        std::shared_ptr<SimReader> r = Find(lun);
        if (!r)
            return IFD_NO_SUCH_DEVICE;
        return static_cast<RESPONSECODE>(f(*r));
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

}  // namespace

extern "C" {

RESPONSECODE IFDHCreateChannelByName(DWORD Lun, LPSTR DeviceName)
{
    try {
        std::string file = DeviceName ? DeviceName : "";
        simreader::Scenario s;
        std::string error;
        if (file.empty()) {
            LogLine("no scenario file on the DEVICENAME line: reader refused");
            return IFD_COMMUNICATION_ERROR;
        }
        if (!simreader::LoadScenario(file, s, error)) {
            LogLine(error + " (reader refused)");
            return IFD_COMMUNICATION_ERROR;
        }
        const char* traceEnv = std::getenv("SIMREADER_TRACE");
        auto reader = std::make_shared<SimReader>(std::move(s), LunLabel(Lun), traceEnv ? traceEnv : "");
        reader->Trace("CreateChannel " + file);
        std::lock_guard<std::mutex> g(g_readersLock);
        g_readers[Lun] = std::move(reader);
        return IFD_SUCCESS;
    } catch (...) {
        LogLine("out of memory loading the scenario (reader refused)");
        return IFD_COMMUNICATION_ERROR;
    }
}

RESPONSECODE IFDHCreateChannel(DWORD Lun, DWORD Channel)
{
    (void)Lun;
    LogLine("CHANNELID " + std::to_string(Channel) +
            " given without a DEVICENAME scenario file: reader refused");
    return IFD_COMMUNICATION_ERROR;
}

RESPONSECODE IFDHCloseChannel(DWORD Lun)
{
    try {
        std::shared_ptr<SimReader> r;
        {
            std::lock_guard<std::mutex> g(g_readersLock);
            auto it = g_readers.find(Lun);
            if (it == g_readers.end())
                return IFD_NO_SUCH_DEVICE;
            r = it->second;
            g_readers.erase(it);
        }
        r->Trace("CloseChannel");
        return IFD_SUCCESS;
    } catch (...) {
        return IFD_COMMUNICATION_ERROR;
    }
}

RESPONSECODE IFDHGetCapabilities(DWORD Lun, DWORD Tag, PDWORD Length, PUCHAR Value)
{
    if (!Length)
        return IFD_COMMUNICATION_ERROR;
    // One driver serves many readers: without this answer the daemon gives
    // every reader of the library the same logical unit number.
    if (Tag == TAG_IFD_SIMULTANEOUS_ACCESS) {
        if (!Value || *Length < 1)
            return IFD_ERROR_INSUFFICIENT_BUFFER;
        Value[0] = kMaxReaders;
        *Length = 1;
        return IFD_SUCCESS;
    }
    return Guarded(Lun, [&](SimReader& r) {
        std::size_t n = Value ? *Length : 0;
        long rv = r.GetCapabilities(Tag, Value, &n);
        *Length = n;
        return rv;
    });
}

RESPONSECODE IFDHSetCapabilities(DWORD Lun, DWORD Tag, DWORD Length, PUCHAR Value)
{
    (void)Tag;
    (void)Length;
    (void)Value;
    return Guarded(Lun, [](SimReader&) { return IFD_NOT_SUPPORTED; });
}

RESPONSECODE IFDHSetProtocolParameters(DWORD Lun, DWORD Protocol, UCHAR Flags, UCHAR PTS1, UCHAR PTS2, UCHAR PTS3)
{
    (void)Flags;
    (void)PTS1;
    (void)PTS2;
    (void)PTS3;
    return Guarded(Lun, [&](SimReader& r) { return r.SetProtocol(Protocol); });
}

RESPONSECODE IFDHPowerICC(DWORD Lun, DWORD Action, PUCHAR Atr, PDWORD AtrLength)
{
    return Guarded(Lun, [&](SimReader& r) {
        std::size_t n = 0;
        // The daemon's ATR buffers are MAX_ATR_SIZE long whatever it says.
        std::size_t size = (Atr && AtrLength) ? std::min<std::size_t>(*AtrLength, MAX_ATR_SIZE) : 0;
        long rv = r.Power(Action, Atr, size, &n);
        if (AtrLength)
            *AtrLength = n;
        return rv;
    });
}

RESPONSECODE IFDHTransmitToICC(DWORD Lun, SCARD_IO_HEADER SendPci, PUCHAR TxBuffer, DWORD TxLength,
                               PUCHAR RxBuffer, PDWORD RxLength, PSCARD_IO_HEADER RecvPci)
{
    (void)SendPci;
    if (!RxLength)
        return IFD_COMMUNICATION_ERROR;
    return Guarded(Lun, [&](SimReader& r) {
        std::size_t n = RxBuffer ? *RxLength : 0;
        unsigned long protocol = 0;
        long rv = r.Transmit(TxBuffer, TxBuffer ? TxLength : 0, RxBuffer, &n, &protocol);
        *RxLength = n;
        if (RecvPci)
            RecvPci->Protocol = protocol;
        return rv;
    });
}

RESPONSECODE IFDHControl(DWORD Lun, DWORD dwControlCode, PUCHAR TxBuffer, DWORD TxLength, PUCHAR RxBuffer,
                         DWORD RxLength, LPDWORD pdwBytesReturned)
{
    return Guarded(Lun, [&](SimReader& r) {
        std::size_t n = 0;
        long rv = r.Control(dwControlCode, TxBuffer, TxBuffer ? TxLength : 0, RxBuffer, RxBuffer ? RxLength : 0,
                            &n);
        if (pdwBytesReturned)
            *pdwBytesReturned = n;
        return rv;
    });
}

RESPONSECODE IFDHICCPresence(DWORD Lun)
{
    return Guarded(Lun, [](SimReader& r) { return r.Presence(); });
}

}  // extern "C"
