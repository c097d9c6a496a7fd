// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinWorker.h"

#include <algorithm>

PcscResult PinWorker(PinWorkerParams& params) {
    if (params.done.load() == 0) {
        DWORD returned = 0;
        const DWORD answerSize = std::min<DWORD>(params.answerSize, static_cast<DWORD>(params.answer.size()));
        const DWORD requestLength =
            std::min<DWORD>(params.requestLength, static_cast<DWORD>(params.request.size()));
        const PcscResult result =
            CReaderLink::ControlCard(params.card, params.controlCode, params.request.data(), requestLength,
                                     params.answer.data(), answerSize, &returned);
        params.returned = std::min(returned, answerSize);
        params.result.store(result);
    }
    params.done.store(1);
    return params.result.load();
}
