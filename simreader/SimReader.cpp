// SPDX-License-Identifier: BSD-3-Clause
#include "SimReader.h"

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace simreader {

namespace {

long CopyOut(const std::uint8_t* data, std::size_t n, std::uint8_t* out, std::size_t outSize, std::size_t* returned)
{
    if (n > outSize || (n > 0 && !out)) {
        *returned = 0;
        return IFD_ERROR_INSUFFICIENT_BUFFER;
    }
    if (n > 0)
        std::memcpy(out, data, n);
    *returned = n;
    return IFD_SUCCESS;
}

// Display text in the trace: printable characters as they are, anything
// else (line ends included) as \xHH, within double quotes.
std::string QuotedText(const std::uint8_t* data, std::size_t length)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t c = data[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            static const char digits[] = "0123456789ABCDEF";
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0F];
        }
    }
    return out + "\"";
}

std::string Hex8(unsigned long v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lX", v & 0xFFFFFFFFul);
    return buf;
}

}  // namespace

SimReader::SimReader(Scenario scenario, std::string label, const std::string& traceOverride)
    : m_s(std::move(scenario)), m_card(m_s), m_label(std::move(label)),
      m_trace(traceOverride.empty() ? m_s.traceFile : traceOverride)
{
}

void SimReader::Trace(const std::string& text)
{
    AppendTraceLine(m_trace, m_label + " " + text);
}

long SimReader::Reply(const Answer& a, std::uint8_t* out, std::size_t outSize, std::size_t* returned)
{
    if (a.isError) {
        *returned = 0;
        return static_cast<long>(a.error);
    }
    return CopyOut(a.bytes.data(), a.bytes.size(), out, outSize, returned);
}

long SimReader::Presence()
{
    std::lock_guard<std::mutex> g(m_lock);
    if (CardPresent())
        return IFD_ICC_PRESENT;
    m_protocol = 0;
    return IFD_ICC_NOT_PRESENT;
}

long SimReader::Power(unsigned long action, std::uint8_t* atr, std::size_t atrSize, std::size_t* atrLength)
{
    std::lock_guard<std::mutex> g(m_lock);
    Trace("PowerICC " + std::to_string(action));
    *atrLength = 0;
    if (action == IFD_POWER_DOWN) {
        m_card.PowerDown();
        m_protocol = 0;
        return IFD_SUCCESS;
    }
    if (action != IFD_POWER_UP && action != IFD_RESET)
        return IFD_NOT_SUPPORTED;
    if (!CardPresent())
        return IFD_ERROR_POWER_ACTION;
    const Answer& a = m_card.PowerUp(action == IFD_RESET);
    m_protocol = 0;
    if (a.isError)
        return static_cast<long>(a.error);
    std::size_t n = 0;
    long rv = CopyOut(a.bytes.data(), a.bytes.size(), atr, atrSize, &n);
    if (rv != IFD_SUCCESS)
        return rv;
    *atrLength = n;
    return IFD_SUCCESS;
}

long SimReader::SetProtocol(unsigned long protocol)
{
    std::lock_guard<std::mutex> g(m_lock);
    Trace("SetProtocolParameters " + std::to_string(protocol));
    if (!m_card.Powered() || !CardPresent())
        return IFD_COMMUNICATION_ERROR;
    if ((protocol != kProtocolT0 && protocol != kProtocolT1) || !(protocol & m_s.protocols))
        return IFD_PROTOCOL_NOT_SUPPORTED;
    m_protocol = protocol;
    return IFD_SUCCESS;
}

long SimReader::Transmit(const std::uint8_t* tx, std::size_t txLength, std::uint8_t* rx, std::size_t* rxLength,
                         unsigned long* protocolUsed)
{
    std::lock_guard<std::mutex> g(m_lock);
    Trace("Transmit " + HexText(tx, txLength));
    std::size_t rxSize = *rxLength;
    *rxLength = 0;
    if (!CardPresent())
        return IFD_ICC_NOT_PRESENT;
    if (!m_card.Powered())
        return IFD_COMMUNICATION_ERROR;
    if (protocolUsed)
        *protocolUsed = m_protocol;
    return CardAnswer(tx, txLength, rx, rxSize, rxLength);
}

long SimReader::CardAnswer(const std::uint8_t* tx, std::size_t txLength, std::uint8_t* rx, std::size_t rxSize,
                           std::size_t* rxLength)
{
    return Reply(m_card.Respond(tx, txLength), rx, rxSize, rxLength);
}

Bytes SimReader::FeatureList(const Scenario& s)
{
    Bytes list;
    for (const Feature& f : s.features) {
        list.push_back(f.tag);
        list.push_back(4);
        list.push_back(static_cast<std::uint8_t>(f.code >> 24));
        list.push_back(static_cast<std::uint8_t>(f.code >> 16));
        list.push_back(static_cast<std::uint8_t>(f.code >> 8));
        list.push_back(static_cast<std::uint8_t>(f.code));
    }
    return list;
}

long SimReader::Control(unsigned long code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                        std::size_t outSize, std::size_t* returned)
{
    std::lock_guard<std::mutex> g(m_lock);
    std::string line = "Control " + Hex8(code);
    if (inLength > 0 && in)
        line += " " + HexText(in, inLength);
    Trace(line);
    ShowOnDisplay(code, in, inLength);
    *returned = 0;
    if (!in)
        inLength = 0;
    if (long rv = 0; PinPadControl(code, in, inLength, out, outSize, returned, rv))
        return rv;
    PrefixRule* best = nullptr;
    for (ControlRule& r : m_s.controls)
        if (r.code == (code & 0xFFFFFFFFul) && IsPrefix(r.rule.prefix, in, inLength) &&
            (!best || r.rule.prefix.size() > best->prefix.size()))
            best = &r.rule;
    if (best)
        return Reply(best->answer.Take(), out, outSize, returned);
    if (code == CM_IOCTL_GET_FEATURE_REQUEST) {
        Bytes list = FeatureList(m_s);
        return CopyOut(list.data(), list.size(), out, outSize, returned);
    }
    if (!m_s.controlDefault.Empty())
        return Reply(m_s.controlDefault.Take(), out, outSize, returned);
    return IFD_COMMUNICATION_ERROR;
}

std::uint32_t SimReader::FeatureCode(std::uint8_t tag) const
{
    std::uint32_t code = 0;
    for (const Feature& f : m_s.features)
        if (f.tag == tag)
            code = f.code;
    return code;
}

void SimReader::ShowOnDisplay(unsigned long code, const std::uint8_t* in, std::size_t inLength)
{
    if (!in)
        inLength = 0;
    // FEATURE_WRITE_DISPLAY: 4 zero bytes, display time, 0, length, text.
    // FEATURE_SET_SPE_MESSAGE: 32 zero bytes, index, 0, 0, length, text.
    const std::uint32_t writeDisplay = FeatureCode(0x0F);
    const std::uint32_t speMessage = FeatureCode(0x0C);
    std::size_t header = 0;
    std::string what;
    if (writeDisplay != 0 && code == writeDisplay && inLength >= 7) {
        header = 7;
        what = "Display " + std::to_string(in[4]);
    } else if (speMessage != 0 && code == speMessage && inLength >= 36) {
        header = 36;
        what = "SpeMessage " + std::to_string(in[32]);
    } else {
        return;
    }
    const std::size_t stated = in[header - 1];
    const std::size_t sent = inLength - header;
    const std::size_t shown = stated < sent ? stated : sent;
    m_display.assign(in + header, in + header + shown);
    std::string line = what + " " + QuotedText(in + header, shown);
    if (stated != sent)
        line += " (length byte " + std::to_string(stated) + ", " + std::to_string(sent) + " bytes sent)";
    Trace(line);
}

long SimReader::GetCapabilities(unsigned long tag, std::uint8_t* value, std::size_t* length)
{
    std::lock_guard<std::mutex> g(m_lock);
    Trace("GetCapabilities " + Hex8(tag));
    std::size_t size = *length;
    for (AttrRule& r : m_s.attrs)
        if (r.tag == (tag & 0xFFFFFFFFul))
            return Reply(r.answer.Take(), value, size, length);
    std::uint8_t small[4] = {};
    switch (tag) {
    case TAG_IFD_SLOTS_NUMBER:
        small[0] = 1;
        return CopyOut(small, 1, value, size, length);
    case TAG_IFD_THREAD_SAFE:
        small[0] = 1;  // every reader has its own lock
        return CopyOut(small, 1, value, size, length);
    case TAG_IFD_SLOT_THREAD_SAFE:
        small[0] = 0;
        return CopyOut(small, 1, value, size, length);
    case TAG_IFD_ATR:
    case SCARD_ATTR_ATR_STRING:
        return CopyOut(m_card.Atr().data(), m_card.Atr().size(), value, size, length);
    case SCARD_ATTR_ICC_PRESENCE:
        small[0] = CardPresent() ? 1 : 0;
        return CopyOut(small, 1, value, size, length);
    case SCARD_ATTR_CURRENT_PROTOCOL_TYPE:
        small[0] = static_cast<std::uint8_t>(m_protocol);
        return CopyOut(small, 4, value, size, length);
    default:
        *length = 0;
        return IFD_ERROR_TAG;
    }
}

}  // namespace simreader
