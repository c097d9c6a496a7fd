// SPDX-License-Identifier: BSD-3-Clause
// The resource-manager calls the console makes, as one table of function
// pointers. Production uses pcsc-lite's own functions; unit tests install a
// scripted table with SetPcscApi. This is the only place the console is
// swapped off the real resource manager.
#pragma once

#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

struct PcscApi {
    LONG (*EstablishContext)(DWORD scope, LPCVOID reserved1, LPCVOID reserved2, LPSCARDCONTEXT context);
    LONG (*ReleaseContext)(SCARDCONTEXT context);
    LONG (*ListReaders)(SCARDCONTEXT context, LPCSTR groups, LPSTR readers, LPDWORD length);
    LONG (*Connect)(SCARDCONTEXT context, LPCSTR reader, DWORD shareMode, DWORD preferredProtocols,
                    LPSCARDHANDLE card, LPDWORD activeProtocol);
    LONG (*Reconnect)(SCARDHANDLE card, DWORD shareMode, DWORD preferredProtocols, DWORD initialization,
                      LPDWORD activeProtocol);
    LONG (*Disconnect)(SCARDHANDLE card, DWORD disposition);
    LONG (*Status)(SCARDHANDLE card, LPSTR readerName, LPDWORD readerLength, LPDWORD state, LPDWORD protocol,
                   LPBYTE atr, LPDWORD atrLength);
    LONG (*Transmit)(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, LPCBYTE sendBuffer, DWORD sendLength,
                     SCARD_IO_REQUEST* recvPci, LPBYTE recvBuffer, LPDWORD recvLength);
    LONG (*Control)(SCARDHANDLE card, DWORD controlCode, LPCVOID inBuffer, DWORD inLength, LPVOID outBuffer,
                    DWORD outSize, LPDWORD bytesReturned);
    LONG (*GetAttrib)(SCARDHANDLE card, DWORD attrId, LPBYTE attr, LPDWORD attrLength);
    LONG (*GetStatusChange)(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* states, DWORD count);
    LONG (*Cancel)(SCARDCONTEXT context);
};

// The table every CReaderLink and the reader watcher call through.
const PcscApi& CurrentPcscApi();

// The real pcsc-lite functions.
const PcscApi& DefaultPcscApi();

// Replaces the table (tests only); nullptr restores the default. Not thread-safe:
// call it before any link is used.
void SetPcscApi(const PcscApi* api);
