// SPDX-License-Identifier: BSD-3-Clause
// The feature-list parser against any answer a reader may give.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "features/ControlCodes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    features::FeatureTable table;
    table.Parse(data, size);
    const std::size_t expected = (size < features::kFeatureListMaxSize ? size : features::kFeatureListMaxSize) / 6;
    if (table.Count() != expected) std::abort();
    bool polling = false;
    for (const features::FeatureEntry& e : table.m_featureList) {
        if (e.tag == features::kGetKeyPressed) polling = true;
        // Each list name leads back to its own tag's code, never another's.
        const features::Selection s = features::SelectControl(features::FeatureName(e.tag), table);
        if (!s.setsCode || s.code != table.CodeOf(e.tag)) std::abort();
    }
    if (polling != table.m_keyPollingSupported) std::abort();
    features::DispatchControl(table.CodeOf(0x06), table);
    table.Release();
    return 0;
}
