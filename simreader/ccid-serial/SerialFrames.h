// SPDX-License-Identifier: BSD-3-Clause
// The serial line of the emulated CCID PIN pad: every CCID message travels as
// SYNC (03), a control byte (06 ack, 15 nak), the message and an XOR
// checksum over all of it. The reader first echoes each frame it takes, then
// sends its answer; a card movement is two bytes (50, then 02 absent or 03
// present) ahead of an answer. What comes from the line is hostile: the
// reader takes bytes in any chunks and never holds more than one frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ccidserial {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSync = 0x03;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kSlotChange = 0x50;
inline constexpr std::uint8_t kEscapeCommand = 0x6B;
inline constexpr std::size_t kHeaderSize = 10;  // CCID message header
// The driver never writes a frame longer than its own serial buffer: the
// largest message is that buffer less SYNC, control byte and checksum.
inline constexpr std::size_t kMaxMessage = 545;

// What the reader answers a frame it cannot take: SYNC, NAK, checksum.
inline constexpr std::uint8_t kNakFrame[] = {kSync, kNak, kSync ^ kNak};

// A message framed for the line.
Bytes WrapFrame(const Bytes& message);
// The echo of a frame taken. The driver reads an escape's echo into the
// buffer meant for the escape's answer, so a long escape (the display strings
// it loads at start-up) echoed whole would overflow it: an escape is echoed
// as its header with no data. Every other command is echoed whole.
Bytes EchoOf(const Bytes& message);
// The card-movement notice.
Bytes SlotChangeNotice(bool present);

class SerialFrameReader {
public:
    enum class Event {
        None,         // need more bytes
        Frame,        // Raw() is the whole frame (for the echo), Message() the CCID message
        BadChecksum,  // a whole frame whose checksum is wrong: dropped, answer with a NAK
        Overlong,     // a length no frame can have: everything held is dropped, answer with a NAK
    };

    // Takes bytes from the line. Call Next() until it returns None before
    // feeding again; anything beyond one frame's worth that is still held
    // is dropped (a well-behaved driver waits for the answer).
    void Feed(const std::uint8_t* data, std::size_t length);
    Event Next();

    const Bytes& Raw() const { return m_raw; }
    const Bytes& Message() const { return m_message; }
    // Bytes skipped while looking for SYNC or dropped for want of room.
    std::size_t Discarded() const { return m_discarded; }

private:
    Bytes m_held;
    Bytes m_raw;
    Bytes m_message;
    std::size_t m_discarded = 0;
};

}  // namespace ccidserial
