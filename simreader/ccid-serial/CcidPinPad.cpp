// SPDX-License-Identifier: BSD-3-Clause
#include "CcidPinPad.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "SerialFrames.h"

namespace ccidserial {

namespace {

// Message types, host to reader.
constexpr std::uint8_t kSetParameters = 0x61;
constexpr std::uint8_t kIccPowerOn = 0x62;
constexpr std::uint8_t kIccPowerOff = 0x63;
constexpr std::uint8_t kGetSlotStatus = 0x65;
constexpr std::uint8_t kSecure = 0x69;
constexpr std::uint8_t kEscape = 0x6B;
constexpr std::uint8_t kGetParameters = 0x6C;
constexpr std::uint8_t kResetParameters = 0x6D;
constexpr std::uint8_t kXfrBlock = 0x6F;
// Reader to host.
constexpr std::uint8_t kDataBlock = 0x80;
constexpr std::uint8_t kSlotStatusMsg = 0x81;
constexpr std::uint8_t kParametersMsg = 0x82;
constexpr std::uint8_t kEscapeMsg = 0x83;

// bStatus: bits 0-1 the card, bits 6-7 the command.
constexpr std::uint8_t kIccActive = 0x00;
constexpr std::uint8_t kIccInactive = 0x01;
constexpr std::uint8_t kIccAbsent = 0x02;
constexpr std::uint8_t kCommandFailed = 0x40;

// Escape commands: firmware version, and the gemalto-style firmware
// features this model does not have.
constexpr std::uint8_t kEscapeFirmware = 0x02;
constexpr std::uint8_t kEscapeFirmwareFeatures = 0x6A;

// T=0 parameters: Fi/Di 1/1, no extra guard time, WI 10, no clock stop.
const Bytes kT0Parameters = {0x11, 0x00, 0x00, 0x0A, 0x00};

Bytes Header(std::uint8_t type, const Bytes& m, std::size_t dataLength, std::uint8_t status, std::uint8_t error,
             std::uint8_t last)
{
    return {type,
            static_cast<std::uint8_t>(dataLength),
            static_cast<std::uint8_t>(dataLength >> 8),
            static_cast<std::uint8_t>(dataLength >> 16),
            static_cast<std::uint8_t>(dataLength >> 24),
            m[5],
            m[6],
            status,
            error,
            last};
}

// The message type that answers a command.
std::uint8_t AnswerTypeOf(std::uint8_t command)
{
    switch (command) {
    case kIccPowerOn:
    case kXfrBlock:
    case kSecure:
        return kDataBlock;
    case kEscape:
        return kEscapeMsg;
    case kSetParameters:
    case kGetParameters:
    case kResetParameters:
        return kParametersMsg;
    default:
        return kSlotStatusMsg;
    }
}

Bytes WithData(Bytes header, const Bytes& data)
{
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

}  // namespace

CcidPinPad::CcidPinPad(const simreader::Scenario& s, std::string trace)
    : sleep([](unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }), m_card(s),
      m_keypad(s.keypad), m_trace(std::move(trace))
{
    m_lastPresent = m_card.Present();
}

void CcidPinPad::Trace(const std::string& line)
{
    simreader::AppendTraceLine(m_trace, "ccid " + line);
}

std::uint8_t CcidPinPad::IccStatus()
{
    if (!m_card.Present())
        return kIccAbsent;
    return m_card.Powered() ? kIccActive : kIccInactive;
}

int CcidPinPad::PresenceChange()
{
    const bool present = m_card.Present();
    if (present == m_lastPresent)
        return -1;
    m_lastPresent = present;
    return present ? 1 : 0;
}

Bytes CcidPinPad::SlotStatus(const Bytes& m, std::uint8_t error, bool failed)
{
    return Header(kSlotStatusMsg, m, 0, static_cast<std::uint8_t>(IccStatus() | (failed ? kCommandFailed : 0)), error,
                  0x00);
}

Bytes CcidPinPad::DataBlock(const Bytes& m, const Bytes& data)
{
    return WithData(Header(kDataBlock, m, data.size(), IccStatus(), 0x00, 0x00), data);
}

Bytes CcidPinPad::Failed(std::uint8_t type, const Bytes& m, std::uint8_t error)
{
    return Header(type, m, 0, static_cast<std::uint8_t>(IccStatus() | kCommandFailed), error, 0x00);
}

Bytes CcidPinPad::Parameters(const Bytes& m, std::uint8_t protocol, const Bytes& data)
{
    return WithData(Header(kParametersMsg, m, data.size(), IccStatus(), 0x00, protocol), data);
}

Bytes CcidPinPad::Handle(const Bytes& m)
{
    if (m.size() < kHeaderSize)
        return {};
    const std::uint8_t type = m[0];
    if (m[5] != 0) {
        return Failed(AnswerTypeOf(type), m, kErrBadSlot);
    }
    const Bytes data(m.begin() + kHeaderSize, m.end());
    switch (type) {
    case kGetSlotStatus:
        return SlotStatus(m, 0x00, false);
    case kIccPowerOn:
        return PowerOn(m);
    case kIccPowerOff:
        m_card.PowerDown();
        return SlotStatus(m, 0x00, false);
    case kXfrBlock:
        return Transfer(m);
    case kSetParameters:
        return Parameters(m, m[7], data);
    case kGetParameters:
    case kResetParameters:
        return Parameters(m, 0x00, kT0Parameters);
    case kEscape:
        return Escape(m);
    case kSecure:
        return Secure(m);
    default:
        return SlotStatus(m, kErrCommandNotSupported, true);
    }
}

Bytes CcidPinPad::PowerOn(const Bytes& m)
{
    if (!m_card.Present())
        return Failed(kDataBlock, m, kErrIccMute);
    // A power on of a powered card resets it.
    const simreader::Answer& a = m_card.PowerUp(m_card.Powered());
    if (a.isError)
        return Failed(kDataBlock, m, kErrIccMute);
    return DataBlock(m, a.bytes);
}

Bytes CcidPinPad::Transfer(const Bytes& m)
{
    if (!m_card.Present() || !m_card.Powered())
        return Failed(kDataBlock, m, kErrIccMute);
    const simreader::Answer& a = m_card.Respond(m.data() + kHeaderSize, m.size() - kHeaderSize);
    if (a.isError)
        return Failed(kDataBlock, m, kErrIccMute);
    return DataBlock(m, a.bytes);
}

Bytes CcidPinPad::Escape(const Bytes& m)
{
    const std::size_t n = m.size() - kHeaderSize;
    const std::uint8_t first = n > 0 ? m[kHeaderSize] : 0xFF;
    if (n == 1 && first == kEscapeFirmware) {
        const Bytes text(kFirmwareText, kFirmwareText + sizeof kFirmwareText - 1);
        return WithData(Header(kEscapeMsg, m, text.size(), IccStatus(), 0x00, 0x00), text);
    }
    if (first == kEscapeFirmwareFeatures)
        return Failed(kEscapeMsg, m, kErrCommandNotSupported);
    // Card-movement mode, display strings and the like: taken, nothing to say.
    return Header(kEscapeMsg, m, 0, IccStatus(), 0x00, 0x00);
}

Bytes CcidPinPad::Secure(const Bytes& m)
{
    const std::size_t n = m.size() - kHeaderSize;
    if (m_keypad.Empty() || n < 1 || m[kHeaderSize] > 1) {
        Trace("Secure refused: no keypad or unknown bPINOperation");
        return Failed(kDataBlock, m, kErrCommandNotSupported);
    }
    const bool modify = m[kHeaderSize] == 1;
    simreader::PinParams params;
    std::string why;
    if (!simreader::ParsePinRequest(modify ? simreader::PinLayout::CcidModify : simreader::PinLayout::CcidVerify,
                                    m.data() + kHeaderSize + 1, n - 1, params, why)) {
        Trace("Secure refused: " + why);
        return Failed(kDataBlock, m, kErrBadPinStructure);
    }
    if (!m_card.Present() || !m_card.Powered())
        return Failed(kDataBlock, m, kErrIccMute);
    const simreader::PinEntry entry = simreader::TypePins(m_keypad.Take(), m_keypad.paceMs, params);
    // The host waits while the user types.
    sleep(entry.durationMs);
    simreader::SimCard::PinOutcome o = m_card.PinExchange(params, entry);
    switch (o.kind) {
    case simreader::SimCard::PinOutcome::PadWord: {
        Trace("PinPad " + simreader::HexText(o.bytes.data(), o.bytes.size()));
        const std::uint16_t sw = static_cast<std::uint16_t>(o.bytes[0] << 8 | o.bytes[1]);
        // Cancel and timeout are the reader's own errors; the driver turns
        // them into 64 01 and 64 00.
        if (sw == simreader::kSwPinCancelled)
            return Failed(kDataBlock, m, kErrPinCancelled);
        if (sw == simreader::kSwPinTimeout)
            return Failed(kDataBlock, m, kErrPinTimeout);
        return DataBlock(m, o.bytes);
    }
    case simreader::SimCard::PinOutcome::Refused:
        Trace("PinPad refused: " + o.note);
        return Failed(kDataBlock, m, kErrBadPinStructure);
    case simreader::SimCard::PinOutcome::NoCard:
    case simreader::SimCard::PinOutcome::NotPowered:
        return Failed(kDataBlock, m, kErrIccMute);
    case simreader::SimCard::PinOutcome::CardAnswer:
        break;
    }
    Trace("PinTransmit " + o.note);
    if (o.answer->isError)
        return Failed(kDataBlock, m, kErrIccMute);
    return DataBlock(m, o.answer->bytes);
}

}  // namespace ccidserial
