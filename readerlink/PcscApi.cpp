// SPDX-License-Identifier: BSD-3-Clause
#include "readerlink/PcscApi.h"

namespace {

const PcscApi kPcscLite = {
    SCardEstablishContext, SCardReleaseContext, SCardListReaders, SCardConnect,
    SCardReconnect,        SCardDisconnect,     SCardStatus,      SCardTransmit,
    SCardControl,          SCardGetAttrib,      SCardGetStatusChange, SCardCancel,
};

const PcscApi* g_current = &kPcscLite;

}  // namespace

const PcscApi& DefaultPcscApi() { return kPcscLite; }

const PcscApi& CurrentPcscApi() { return *g_current; }

void SetPcscApi(const PcscApi* api) { g_current = api ? api : &kPcscLite; }
