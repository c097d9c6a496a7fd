// BlockProgressTap: a pass-through HID backend that notices each data packet
// the device acknowledges, so the window can count blocks while BootDevice
// sends an image. It changes no byte in either direction.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bootdev/HidBackend.h"

class BlockProgressTap final : public HidBackend {
public:
    using Listener = std::function<void(std::uint32_t blockNumber)>;

    explicit BlockProgressTap(HidBackend& inner) : m_inner(inner) {}

    // Called with the block number of every acknowledged data packet.
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    std::vector<HidInterfaceInfo> Enumerate() override { return m_inner.Enumerate(); }
    std::unique_ptr<HidConnection> Open(const std::string& path) override;

    // Whether `answer` acknowledges the data packet `request` (both whole
    // feature reports of `length` bytes): status byte 2 zero, data length 4,
    // the block number echoed.
    static bool IsBlockAcknowledged(const std::uint8_t* request, const std::uint8_t* answer, std::size_t length,
                                    std::uint32_t* blockNumber);

private:
    HidBackend& m_inner;
    Listener m_listener;
};
