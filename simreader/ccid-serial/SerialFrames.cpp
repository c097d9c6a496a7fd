// SPDX-License-Identifier: BSD-3-Clause
#include "SerialFrames.h"

namespace ccidserial {

namespace {

// SYNC + control + message + checksum.
constexpr std::size_t kMaxFrame = 2 + kMaxMessage + 1;
// Room for one frame and a read's worth of the next.
constexpr std::size_t kMaxHeld = 2 * kMaxFrame;

std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

Bytes WrapFrame(const Bytes& message)
{
    Bytes f;
    f.reserve(message.size() + 3);
    f.push_back(kSync);
    f.push_back(kAck);
    f.insert(f.end(), message.begin(), message.end());
    std::uint8_t lrc = 0;
    for (std::uint8_t b : f)
        lrc ^= b;
    f.push_back(lrc);
    return f;
}

Bytes EchoOf(const Bytes& message)
{
    if (message.size() < kHeaderSize || message[0] != kEscapeCommand)
        return WrapFrame(message);
    Bytes header(message.begin(), message.begin() + kHeaderSize);
    header[1] = header[2] = header[3] = header[4] = 0;
    return WrapFrame(header);
}

Bytes SlotChangeNotice(bool present)
{
    return {kSlotChange, static_cast<std::uint8_t>(present ? 0x03 : 0x02)};
}

void SerialFrameReader::Feed(const std::uint8_t* data, std::size_t length)
{
    if (!data)
        return;
    const std::size_t room = m_held.size() < kMaxHeld ? kMaxHeld - m_held.size() : 0;
    const std::size_t taken = length < room ? length : room;
    m_held.insert(m_held.end(), data, data + taken);
    m_discarded += length - taken;
}

SerialFrameReader::Event SerialFrameReader::Next()
{
    for (;;) {
        // Look for SYNC followed by the ack control byte; anything else is
        // line noise (the driver itself never sends a NAK).
        std::size_t skip = 0;
        while (skip < m_held.size() && m_held[skip] != kSync)
            ++skip;
        if (skip > 0) {
            m_held.erase(m_held.begin(), m_held.begin() + static_cast<std::ptrdiff_t>(skip));
            m_discarded += skip;
        }
        if (m_held.size() < 2)
            return Event::None;
        if (m_held[1] != kAck) {
            m_held.erase(m_held.begin());
            ++m_discarded;
            continue;
        }
        if (m_held.size() < 2 + kHeaderSize)
            return Event::None;
        const std::uint32_t dataLength = LittleEndian32(&m_held[3]);
        if (dataLength > kMaxMessage - kHeaderSize) {
            // Nothing tells where such a frame ends: start afresh.
            m_discarded += m_held.size();
            m_held.clear();
            return Event::Overlong;
        }
        const std::size_t frameSize = 2 + kHeaderSize + dataLength + 1;
        if (m_held.size() < frameSize)
            return Event::None;
        std::uint8_t lrc = 0;
        for (std::size_t i = 0; i < frameSize; ++i)
            lrc ^= m_held[i];
        const auto end = m_held.begin() + static_cast<std::ptrdiff_t>(frameSize);
        if (lrc != 0) {
            m_held.erase(m_held.begin(), end);
            m_discarded += frameSize;
            return Event::BadChecksum;
        }
        m_raw.assign(m_held.begin(), end);
        m_message.assign(m_held.begin() + 2, end - 1);
        m_held.erase(m_held.begin(), end);
        return Event::Frame;
    }
}

}  // namespace ccidserial
