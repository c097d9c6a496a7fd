// SPDX-License-Identifier: BSD-3-Clause
// The library's one BootDevice: made when the library is loaded, destroyed
// (closing any open device) when it is unloaded.
#include "bootdev/BootIds.h"
#include "bootdev/HidapiBackend.h"
#include "readerctl/ReaderCtlDevice.h"

namespace {

struct ProcessDevice {
    std::unique_ptr<HidBackend> backend = MakeHidapiBackend();  // declared first: outlives the device
    BootDevice device{*backend, BootPolicy::Library, kBootVendorId, kBootProductIds};
};

ProcessDevice g_process;

}  // namespace

BootDevice& ReaderCtlDevice() { return g_process.device; }
