// SPDX-License-Identifier: BSD-3-Clause
// Any bytes as a card list: parsing and lookups stay inside their buffers
// and bounds, whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "carddata/CardList.h"
#include "readerlink/Cp1252.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CCardList list = CCardList::FromText(text);
    if (list.EntryCount() > kCardListMaxEntries) std::abort();

    static const std::uint8_t kDemo[] = {0x3B, 0x88, 0x80, 0x01, 0x54, 0x41, 0x56,
                                         0x20, 0x44, 0x45, 0x4D, 0x4F, 0x69};
    static const std::uint8_t kLong[200] = {0x3B, 0x00};
    const std::uint8_t* atrs[] = {kDemo, kLong, data};
    const std::size_t lengths[] = {sizeof kDemo, sizeof kLong, size < 40 ? size : 40};
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t length = 0; length <= lengths[i]; length += (length < 16 ? 1 : 7)) {
            const auto names = list.Lookup(atrs[i], length);
            if (names.size() > kCardListMaxMatches) std::abort();
            // Names are well-formed UTF-8; an ill-formed byte grows into
            // U+FFFD's three.
            for (const auto& name : names)
                if (name.size() > 3 * kCardListMaxLineLength || ValidUtf8(name) != name) std::abort();
        }
    }
    return 0;
}
