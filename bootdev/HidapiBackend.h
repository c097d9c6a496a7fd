// SPDX-License-Identifier: BSD-3-Clause
// The production HID backend: hidapi over hidraw. The feature report length
// comes from the device's report descriptor.
#pragma once

#include <memory>

#include "bootdev/HidBackend.h"

std::unique_ptr<HidBackend> MakeHidapiBackend();
