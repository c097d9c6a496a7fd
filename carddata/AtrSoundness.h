// SPDX-License-Identifier: BSD-3-Clause
// The ATR's own soundness, beside the analysis: is its TCK there when it has
// to be, does it check out, and does the ATR hold as many bytes as its
// indicator bits announce. The analysis walks a 256-byte copy and cannot
// tell; this check knows the real length of a received or typed ATR.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "carddata/AtrAnalyser.h"

struct AtrSoundness {
    std::size_t present = 0;    // bytes the ATR really has
    std::size_t announced = 0;  // TS, T0, interface and historical bytes, and TCK when required or present
    bool truncated = false;     // present < announced
    bool tooLong = false;       // bytes after the TCK (or after the historical bytes)
    bool chainCut = false;      // a TD byte that was announced is missing: the rest is unknown
    // Protocols the TD bytes name, in order; TD1 absent means T=0 alone.
    std::vector<unsigned> protocols;
    // Only T=0 offered (possibly by default) means no TCK; anything else, T=15 included, needs one.
    bool tckRequired = false;
    bool tckPresent = false;
    std::uint8_t tck = 0;
    std::uint8_t checkXor = 0;    // exclusive-or of T0 to TCK, 0 for a sound TCK
    std::uint8_t expectedTck = 0; // the TCK that would make it 0
};

// Bytes past length are never read.
AtrSoundness CheckAtrSoundness(const std::uint8_t* atr, std::size_t length);

// The lines of the status tree's "ATR soundness" node (code page 1252).
std::vector<std::string> AtrSoundnessLines(const AtrSoundness& soundness);

// The node itself: "ATR soundness" and its lines.
AtrTreeNode AtrSoundnessNode(const std::uint8_t* atr, std::size_t length);
