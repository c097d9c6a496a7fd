// SPDX-License-Identifier: BSD-3-Clause
// The simulated reader's PIN pad: the secure PIN control codes take the PIN
// from the scenario's keypad script, put it into the card command and answer
// the card's status word, as a real PIN pad does.
#include "SimReader.h"

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include <cstdio>
#include <cstring>
#include <thread>

namespace simreader {

namespace {

// The maker's own secure PIN codes, with their shorter request layouts.
constexpr std::uint32_t kVendorVerifyPin = SCARD_CTL_CODE(2058);
constexpr std::uint32_t kVendorModifyPin = SCARD_CTL_CODE(2061);

long PadAnswer(const std::uint8_t* data, std::size_t n, std::uint8_t* out, std::size_t outSize, std::size_t* returned)
{
    *returned = 0;
    if (n > outSize || (n > 0 && !out))
        return IFD_ERROR_INSUFFICIENT_BUFFER;
    if (n > 0)
        std::memcpy(out, data, n);
    *returned = n;
    return IFD_SUCCESS;
}

unsigned ElapsedMs(std::chrono::steady_clock::time_point since)
{
    auto d = std::chrono::steady_clock::now() - since;
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}

}  // namespace

bool SimReader::PinPadControl(unsigned long code, const std::uint8_t* in, std::size_t inLength, std::uint8_t* out,
                              std::size_t outSize, std::size_t* returned, long& rv)
{
    if (m_s.keypad.Empty())
        return false;
    const std::uint32_t c = static_cast<std::uint32_t>(code & 0xFFFFFFFFul);
    auto is = [&](std::uint8_t tag) {
        const std::uint32_t f = FeatureCode(tag);
        return f != 0 && f == c;
    };
    if (is(FEATURE_GET_KEY_PRESSED)) {
        // Outside a started operation the control lines script the keys.
        if (!m_pendingPin.active)
            return false;
        std::uint8_t key = 0;
        const std::vector<KeyStroke>& strokes = m_pendingPin.entry.strokes;
        if (m_pendingPin.nextStroke < strokes.size() &&
            strokes[m_pendingPin.nextStroke].atMs <= ElapsedMs(m_pendingPin.start))
            key = strokes[m_pendingPin.nextStroke++].code;
        rv = PadAnswer(&key, 1, out, outSize, returned);
        return true;
    }
    if (is(FEATURE_VERIFY_PIN_FINISH) || is(FEATURE_MODIFY_PIN_FINISH)) {
        if (!m_pendingPin.active) {
            Trace("PinPad refused: no PIN operation to finish");
            rv = IFD_COMMUNICATION_ERROR;
            return true;
        }
        const unsigned elapsed = ElapsedMs(m_pendingPin.start);
        if (elapsed < m_pendingPin.entry.durationMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_pendingPin.entry.durationMs - elapsed));
        PendingPin done = std::move(m_pendingPin);
        m_pendingPin = PendingPin{};
        rv = PinToCard(done.params, done.entry, out, outSize, returned);
        return true;
    }
    PinLayout layout;
    bool start = false;
    if (is(FEATURE_VERIFY_PIN_DIRECT)) {
        layout = PinLayout::PcscVerify;
    } else if (is(FEATURE_VERIFY_PIN_START)) {
        layout = PinLayout::PcscVerify;
        start = true;
    } else if (is(FEATURE_MODIFY_PIN_DIRECT)) {
        layout = PinLayout::PcscModify;
    } else if (is(FEATURE_MODIFY_PIN_START)) {
        layout = PinLayout::PcscModify;
        start = true;
    } else if (c == kVendorVerifyPin) {
        layout = PinLayout::VendorVerify;
    } else if (c == kVendorModifyPin) {
        layout = PinLayout::VendorModify;
    } else {
        return false;
    }
    *returned = 0;
    PinParams params;
    std::string why;
    if (!ParsePinRequest(layout, in, inLength, params, why)) {
        Trace("PinPad refused: " + why);
        // A reader driver turns a part 10 structure down before the pad sees
        // it, as a request it does not support; pcscd then reports
        // SCARD_E_UNSUPPORTED_FEATURE. The maker's layouts go to the pad.
        const bool part10 = layout == PinLayout::PcscVerify || layout == PinLayout::PcscModify;
        rv = part10 ? IFD_NOT_SUPPORTED : IFD_COMMUNICATION_ERROR;
        return true;
    }
    PinEntry entry = TypePins(m_s.keypad.Take(), m_s.keypad.paceMs, params);
    if (start) {
        // The user types from now on; the keys are read with
        // FEATURE_GET_KEY_PRESSED and the card's answer with the _FINISH code.
        m_pendingPin = PendingPin{true, std::move(params), std::move(entry), std::chrono::steady_clock::now(), 0};
        rv = IFD_SUCCESS;
        return true;
    }
    // The caller waits while the user types.
    std::this_thread::sleep_for(std::chrono::milliseconds(entry.durationMs));
    rv = PinToCard(params, entry, out, outSize, returned);
    return true;
}

long SimReader::PinToCard(const PinParams& p, const PinEntry& entry, std::uint8_t* out, std::size_t outSize,
                          std::size_t* returned)
{
    *returned = 0;
    SimCard::PinOutcome o = m_card.PinExchange(p, entry);
    switch (o.kind) {
    case SimCard::PinOutcome::Refused:
        Trace("PinPad refused: " + o.note);
        return IFD_COMMUNICATION_ERROR;
    case SimCard::PinOutcome::PadWord:
        Trace("PinPad " + HexText(o.bytes.data(), o.bytes.size()));
        return PadAnswer(o.bytes.data(), o.bytes.size(), out, outSize, returned);
    case SimCard::PinOutcome::NoCard:
        return IFD_ICC_NOT_PRESENT;
    case SimCard::PinOutcome::NotPowered:
        return IFD_COMMUNICATION_ERROR;
    case SimCard::PinOutcome::CardAnswer:
        break;
    }
    Trace("PinTransmit " + o.note);
    return Reply(*o.answer, out, outSize, returned);
}

}  // namespace simreader
