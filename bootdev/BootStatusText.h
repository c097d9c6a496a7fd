// SPDX-License-Identifier: BSD-3-Clause
// The name of each library status word, for programs that print them.
#pragma once

#include <cstdint>

// "StatusOk", "StatusNoDevice", ... for the library's own codes,
// "download transfer failed" / "maintenance transfer failed" for the
// request headers a failed transfer leaves, "device status" otherwise.
const char* BootStatusName(std::uint16_t status);
