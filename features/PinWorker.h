// SPDX-License-Identifier: BSD-3-Clause
// The worker of the secure PIN exchanges: one control call made off the
// window thread, so the window keeps handling its messages while the reader
// waits for the PIN. Plain C++.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "features/PinRequests.h"
#include "readerlink/ReaderLink.h"

// The block the window thread and the worker share. It holds the card
// handle, the request and the answer itself, so that a worker left behind by
// a closing console writes only into its own block. The worker writes the
// returned length and the result, then raises the done flag; the window
// thread polls the flag and the result, and reads the rest after the join.
struct PinWorkerParams {
    std::atomic<std::uint32_t> done{0};
    SCARDHANDLE card = 0;
    DWORD controlCode = 0;
    std::array<std::uint8_t, kPinRequestCapacity> request{};
    DWORD requestLength = 0;
    std::array<std::uint8_t, kPcscPinAnswerSize> answer{};
    DWORD answerSize = 0;  // at most answer.size()
    DWORD returned = 0;
    std::atomic<PcscResult> result{0};
};

// The worker's body: one control exchange, unless the window thread has
// already given up (done raised before the worker ran). Returns the result.
PcscResult PinWorker(PinWorkerParams& params);
