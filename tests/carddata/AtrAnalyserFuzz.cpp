// SPDX-License-Identifier: BSD-3-Clause
// Any bytes as an ATR of exactly that size: the analysis and the acceptance
// rules must stay inside the buffer and the text tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "carddata/AtrAnalyser.h"
#include "carddata/AtrSoundness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto atr = std::make_unique<std::uint8_t[]>(size + 1);
    for (std::size_t i = 0; i < size; ++i) atr[i] = data[i];
    CAtrAnalyser analyser;
    analyser.Analyse(atr.get(), size);
    const int verdict = CheckAtr(atr.get(), size);
    if (verdict != kAtrAccepted && verdict != kAtrRejected) std::abort();
    if (analyser.m_historicalHex.size() != 3 * analyser.m_historicalAscii.size()) std::abort();
    const AtrTreeNode root = BuildAtrTree("", atr.get(), size);
    if (root.children.size() != 5) std::abort();
    const AtrSoundness soundness = CheckAtrSoundness(atr.get(), size);
    if (soundness.truncated == (soundness.present >= soundness.announced)) std::abort();
    if (AtrSoundnessNode(atr.get(), size).children.size() != 3) std::abort();
    return 0;
}
