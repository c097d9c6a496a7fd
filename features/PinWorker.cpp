// SPDX-License-Identifier: BSD-3-Clause
#include "features/PinWorker.h"

PcscResult PinWorker(PinWorkerParams& params) {
    if (params.done.load() == 0) {
        DWORD returned = 0;
        const PcscResult result = params.reader->Control(params.controlCode, params.request, params.requestLength,
                                                         params.answer, params.answerSize, &returned);
        params.returned = returned;
        params.result.store(result);
    }
    params.done.store(1);
    return params.result.load();
}
