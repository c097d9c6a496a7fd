// SPDX-License-Identifier: BSD-3-Clause
// The worker of the maker's secure PIN exchange: one control call made off
// the window thread, so the window keeps handling its messages while the
// reader waits for the PIN. Plain C++; the window side is CPinExchange.
#pragma once

#include <atomic>
#include <cstdint>

#include "readerlink/ReaderLink.h"

// The block the window thread and the worker share. The worker writes the
// returned length and the result, then raises the done flag; the window
// thread polls the flag and the result, and reads the rest after the join.
struct PinWorkerParams {
    std::atomic<std::uint32_t> done{0};
    CReaderLink* reader = nullptr;
    DWORD controlCode = 0;
    const std::uint8_t* request = nullptr;  // owned by the window side until the join
    DWORD requestLength = 0;
    std::uint8_t* answer = nullptr;         // owned by the window side until the join
    DWORD answerSize = 0;
    DWORD returned = 0;
    std::atomic<PcscResult> result{0};
};

// The worker's body: one control exchange, unless the window thread has
// already given up (done raised before the worker ran). Returns the result.
PcscResult PinWorker(PinWorkerParams& params);
