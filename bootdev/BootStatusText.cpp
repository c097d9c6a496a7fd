// SPDX-License-Identifier: BSD-3-Clause
#include "bootdev/BootStatusText.h"

#include "bootdev/BootDevice.h"

const char* BootStatusName(std::uint16_t status) {
    using namespace bootstatus;
    switch (status) {
    case StatusOk: return "StatusOk";
    case StatusNotStarted: return "StatusNotStarted";
    case StatusNoDownload: return "StatusNoDownload";
    case StatusNoDevice: return "StatusNoDevice";
    case StatusNoMemory: return "StatusNoMemory";
    case StatusFileOpen: return "StatusFileOpen";
    case StatusBadArgument: return "StatusBadArgument";
    case DownloadTransportFailed: return "download transfer failed";
    case MaintenanceTransportFailed: return "maintenance transfer failed";
    default: return "device status";
    }
}
