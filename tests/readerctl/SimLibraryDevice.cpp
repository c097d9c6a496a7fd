// SPDX-License-Identifier: BSD-3-Clause
// The library's one BootDevice over a simulated bus holding one reader in
// its boot loader, for the hostile-caller test of the built library: the
// same exports and version script as libreaderctl.so, with a reader present
// so that every export reaches its argument and file handling.
#include <string>
#include <vector>

#include "bootdev/BootIds.h"
#include "bootdev/sim/SimBootLoader.h"
#include "readerctl/ReaderCtlDevice.h"

namespace {

struct SimProcess {
    SimHidBus bus;  // declared first: outlives the device
    BootDevice device{bus, BootPolicy::Library, kBootVendorId, kBootProductIds};

    SimProcess() {
        SimBootLoaderConfig config;
        config.vendorId = kBootVendorId;
        config.productIds = kBootProductIds;
        config.mode = SimMode::Boot;
        SimBootLoader& reader = bus.AddBootLoader(config);
        // A version that claims 200 bytes: the caller's 30-byte area must hold.
        std::string text = "Corvane_Lyra_Boot";
        text.resize(250, 'v');
        reader.SetVersionBytes(SimMode::Boot, std::vector<std::uint8_t>(text.begin(), text.end()));
        reader.SetVersionLengthByte(200);
        reader.KeepFrames(false);
    }
};

SimProcess g_process;

}  // namespace

BootDevice& ReaderCtlDevice() { return g_process.device; }
