// SPDX-License-Identifier: BSD-3-Clause
// Reading a HID report descriptor for what the transport needs from it.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest feature report the descriptor declares, in bytes, with the
// report id byte counted (as the HID class driver reports it even for
// devices without report ids). 0 when the descriptor declares no Feature
// item or is malformed.
std::size_t FeatureReportByteLength(const std::uint8_t* descriptor, std::size_t length);
