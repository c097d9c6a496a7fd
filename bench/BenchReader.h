// SPDX-License-Identifier: BSD-3-Clause
#pragma once
// The card connection the PC/SC benchmarks measure against: the first reader
// of a private pcscd, shared, T=0 or T=1.

#include "readerlink/ReaderLink.h"

inline constexpr char kNoCardText[] = "no card: run under tests/pcscd/with-private-pcscd.sh with conf-one";

inline bool ConnectFirstReader(CReaderLink& link) {
    DWORD active = 0;
    link.SetMaxReaders(kReaderSlots);
    return link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr) == 0 && link.ListReaders(nullptr) == 0 &&
           link.Connect(link.ReaderName(0), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &active) == 0;
}
