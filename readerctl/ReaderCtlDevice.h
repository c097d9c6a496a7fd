// SPDX-License-Identifier: BSD-3-Clause
// The process-wide BootDevice behind the nine exports. The library defines it
// over hidapi; the export tests define it over the simulated boot loader.
#pragma once

#include "bootdev/BootDevice.h"

BootDevice& ReaderCtlDevice();
