// SPDX-License-Identifier: BSD-3-Clause
#include "SimCard.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace simreader {

bool IsPrefix(const Bytes& prefix, const std::uint8_t* data, std::size_t length)
{
    return prefix.size() <= length && (prefix.empty() || std::memcmp(prefix.data(), data, prefix.size()) == 0);
}

namespace {

// The status word a card gives to a command it does not know.
const Answer& InsNotSupported()
{
    static const Answer a{false, 0, {0x6D, 0x00}};
    return a;
}

}  // namespace

std::string HexText(const std::uint8_t* data, std::size_t length)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            s.push_back(' ');
        s.push_back(digits[data[i] >> 4]);
        s.push_back(digits[data[i] & 0x0F]);
    }
    return s;
}

void AppendTraceLine(const std::string& file, const std::string& line)
{
    if (file.empty())
        return;
    const std::string text = line + "\n";
    int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored;
    ::close(fd);
}

SimCard::SimCard(const Scenario& s)
    : m_cardFile(s.cardFile), m_coldAtr(s.coldAtr), m_warmAtr(s.warmAtr), m_apdus(s.apdus),
      m_apduDefault(s.apduDefault)
{
}

bool SimCard::Present()
{
    struct stat st;
    if (m_cardFile.empty() || ::stat(m_cardFile.c_str(), &st) == 0)
        return true;
    PowerDown();
    return false;
}

const Answer& SimCard::PowerUp(bool warm)
{
    const bool useWarm = warm && m_powered && !m_warmAtr.Empty();
    const Answer& a = useWarm ? m_warmAtr.Take() : m_coldAtr.Take();
    if (a.isError) {
        PowerDown();
        return a;
    }
    m_atr = a.bytes;
    m_powered = true;
    return a;
}

void SimCard::PowerDown()
{
    m_powered = false;
    m_atr.clear();
}

const Answer& SimCard::Respond(const std::uint8_t* tx, std::size_t length)
{
    PrefixRule* best = nullptr;
    for (PrefixRule& r : m_apdus)
        if (IsPrefix(r.prefix, tx, length) && (!best || r.prefix.size() > best->prefix.size()))
            best = &r;
    if (best)
        return best->answer.Take();
    if (!m_apduDefault.Empty())
        return m_apduDefault.Take();
    return InsNotSupported();
}

SimCard::PinOutcome SimCard::PinExchange(const PinParams& p, const PinEntry& entry)
{
    PinOutcome out;
    Bytes apdu;
    std::uint16_t sw = 0;
    if (!BuildCardApdu(p, entry, apdu, sw, out.note)) {
        out.kind = PinOutcome::Refused;
        return out;
    }
    if (sw != 0) {
        out.kind = PinOutcome::PadWord;
        out.bytes = {static_cast<std::uint8_t>(sw >> 8), static_cast<std::uint8_t>(sw)};
        return out;
    }
    if (!Present()) {
        out.kind = PinOutcome::NoCard;
        return out;
    }
    if (!m_powered) {
        out.kind = PinOutcome::NotPowered;
        return out;
    }
    out.kind = PinOutcome::CardAnswer;
    out.note = HexText(apdu.data(), apdu.size());
    out.answer = &Respond(apdu.data(), apdu.size());
    return out;
}

}  // namespace simreader
