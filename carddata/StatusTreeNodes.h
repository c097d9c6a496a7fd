// SPDX-License-Identifier: BSD-3-Clause
// The status tree's nodes in full: the analysis's groups ("T0" to "TD", from
// BuildAtrTree), then "Card names" from the shared card list (not shown when
// the list cannot be read) and "ATR soundness".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "carddata/AtrAnalyser.h"

// length is the ATR's real length (received or typed): the soundness check
// relies on it.
AtrTreeNode BuildStatusTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length);
