// SPDX-License-Identifier: BSD-3-Clause
// Any text through both parsers into exact-size buffers, and any bytes
// through the spaced form and back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "carddata/HexCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CHexCodec codec;
    if (size == 0) return 0;
    // First byte picks a buffer size, so writes at every boundary are tried.
    const std::size_t capacity = data[0] * 2u;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    auto buffer = std::make_unique<std::uint8_t[]>(capacity + 1);  // +1: new[0] is still a distinct block
    unsigned count = 0;

    const int spaced = codec.HexToBytes(text, buffer.get(), capacity, count);
    if (count > capacity || (spaced == 0) != (count > 0)) std::abort();
    // Whatever was parsed survives a trip through the spaced text.
    const std::string hex = codec.BytesToHex(count, buffer.get());
    if (hex.size() != 3u * count) std::abort();
    auto again = std::make_unique<std::uint8_t[]>(count + 1);
    unsigned againCount = 0;
    codec.HexToBytes(hex, again.get(), count, againCount);
    if (againCount != count) std::abort();
    for (unsigned i = 0; i < count; ++i)
        if (again[i] != buffer[i]) std::abort();

    const int packed = codec.PackedHexToBytes(text, buffer.get(), capacity, count);
    if (count > capacity || (packed == 0) != (count > 0)) std::abort();
    if (count < capacity && count != (text.size() + 1) / 2) std::abort();

    // Any bytes round-trip through the spaced form.
    const std::string all = codec.BytesToHex(static_cast<unsigned>(size), data);
    auto back = std::make_unique<std::uint8_t[]>(size);
    codec.HexToBytes(all, back.get(), size, count);
    if (count != size) std::abort();
    for (std::size_t i = 0; i < size; ++i)
        if (back[i] != data[i]) std::abort();
    (void)codec.BytesToAscii(static_cast<unsigned>(size), data);
    return 0;
}
