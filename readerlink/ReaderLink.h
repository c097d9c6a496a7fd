// SPDX-License-Identifier: BSD-3-Clause
// CReaderLink: the console's one object for talking to the smart-card
// resource manager. It adds almost no policy: every operation hands back the
// PC/SC result code unchanged, or NO_HANDLE when the handle it needs is 0.
#pragma once

#include <cstdint>

#include "readerlink/PcscApi.h"

// Result codes are kept as 32-bit values in the console, whatever the width
// of LONG on the platform.
using PcscResult = std::int32_t;

inline constexpr PcscResult NO_HANDLE = -1;
inline constexpr int kReaderSlots = 10;
inline constexpr int kReaderNameSize = 100;  // 99 characters and the terminator
// Bit 31 of a preferred-protocol mask: the reader's default parameters
// rather than the optimal ones.
inline constexpr DWORD kDefaultParameters = 0x80000000u;

class CReaderLink {
public:
    CReaderLink();

    PcscResult EstablishContext(DWORD scope, LPCVOID reserved1, LPCVOID reserved2);
    PcscResult ReleaseContext();
    void SetMaxReaders(int count);
    PcscResult ListReaders(LPCSTR groups);
    int GetReaderCount() const { return m_maxReaders; }

    PcscResult Connect(LPCSTR readerName, DWORD shareMode, DWORD preferredProtocols, DWORD* activeProtocol);
    PcscResult Reconnect(DWORD shareMode, DWORD preferredProtocols, DWORD initialization, DWORD* activeProtocol);
    PcscResult Disconnect(DWORD disposition);
    // The card went away under the handle: it stays, so that every call on
    // it reports the removal, and the next Connect lets it go first (the
    // resource manager would refuse that connect while it is outstanding).
    void MarkCardGone() { m_cardGone = true; }
    PcscResult Transmit(const std::uint8_t* send, DWORD sendLength, std::uint8_t* receive, DWORD* receiveLength);
    PcscResult Control(DWORD controlCode, const void* in, DWORD inLength, void* out, DWORD outSize,
                       DWORD* bytesReturned);
    // The same call on a handle taken before: a worker that may outlive this
    // link holds the handle, never the link.
    static PcscResult ControlCard(SCARDHANDLE card, DWORD controlCode, const void* in, DWORD inLength, void* out,
                                  DWORD outSize, DWORD* bytesReturned);
    PcscResult GetAttrib(DWORD attrId, std::uint8_t* attr, DWORD* attrLength);
    PcscResult Status(char* readerName, DWORD* readerLength, DWORD* state, DWORD* protocol, std::uint8_t* atr,
                      DWORD* atrLength);

    // Slot i of the reader table: always NUL-terminated, never null.
    char* ReaderName(int slot);
    const char* ReaderName(int slot) const;

    SCARDCONTEXT ContextHandle() const { return m_hContext; }
    SCARDHANDLE CardHandle() const { return m_hCard; }
    DWORD ActiveProtocol() const { return m_activeProtocol; }
    const SCARD_IO_REQUEST& IoRequest() const { return m_ioRequest; }

private:
    char m_readerNames[kReaderSlots][kReaderNameSize];
    DWORD m_activeProtocol;
    int m_maxReaders;
    SCARDCONTEXT m_hContext;
    SCARDHANDLE m_hCard;
    bool m_cardGone = false;
    SCARD_IO_REQUEST m_ioRequest;
};
