// SPDX-License-Identifier: BSD-3-Clause
#include "PinPad.h"

namespace simreader {

const KeyScript& KeypadScripts::Take()
{
    const KeyScript& s = steps[next];
    if (next + 1 < steps.size())
        ++next;
    return s;
}

namespace {

constexpr unsigned kMaxWaitMs = 600000;  // a scripted user never waits longer than 10 minutes
constexpr std::size_t kMaxKeys = 256;

bool AllDigits(const std::string& w)
{
    if (w.empty())
        return false;
    for (char c : w)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

bool ParseKeyScript(const std::vector<std::string>& words, KeyScript& out, std::string& why)
{
    out.clear();
    unsigned wait = 0;
    auto add = [&](KeyPress k) {
        if (out.size() >= kMaxKeys) {
            why = "more than " + std::to_string(kMaxKeys) + " keys in one entry script";
            return false;
        }
        k.waitMs = wait;
        wait = 0;
        out.push_back(k);
        return true;
    };
    for (const std::string& w : words) {
        if (w.rfind("wait:", 0) == 0) {
            std::string ms = w.substr(5);
            if (!AllDigits(ms) || ms.size() > 6 || wait + std::stoul(ms) > kMaxWaitMs) {
                why = "bad wait '" + w.substr(0, 40) + "' (wait:<milliseconds>, at most " +
                      std::to_string(kMaxWaitMs) + ")";
                return false;
            }
            wait += static_cast<unsigned>(std::stoul(ms));
            continue;
        }
        KeyPress k;
        if (AllDigits(w)) {
            for (char c : w) {
                k.kind = KeyPress::Digit;
                k.digit = static_cast<std::uint8_t>(c - '0');
                if (!add(k))
                    return false;
            }
            continue;
        }
        if (w == "enter")
            k.kind = KeyPress::Enter;
        else if (w == "clear")
            k.kind = KeyPress::Clear;
        else if (w == "cancel")
            k.kind = KeyPress::Cancel;
        else if (w == "timeout")
            k.kind = KeyPress::Timeout;
        else {
            why = "unknown key '" + w.substr(0, 40) + "' (digits, enter, clear, cancel, timeout, wait:<ms>)";
            return false;
        }
        if (!add(k))
            return false;
    }
    if (wait > 0) {
        KeyPress k;
        k.kind = KeyPress::Pause;
        if (!add(k))
            return false;
    }
    if (out.empty()) {
        why = "empty key script";
        return false;
    }
    return true;
}

namespace {

std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

namespace {

// Where each field the pad acts on sits in one request layout; kAbsent for a
// field the layout does not have.
constexpr int kAbsent = -1;
struct LayoutFields {
    std::size_t head;  // bytes before the APDU
    bool modify;
    int format, block, lengthFormat, offsetOld, offsetNew, maxDigits, minDigits, confirm, validation;
    int dataLength;  // ulDataLength, little-endian
};

// Part 10 verify: bTimerOut bTimerOut2 bmFormatString bmPINBlockString
// bmPINLengthFormat wPINMaxExtraDigit(2) bEntryValidationCondition
// bNumberMessage wLangId(2) bMsgIndex bTeoPrologue(3) ulDataLength(4).
// Part 10 modify: bTimerOut bTimerOut2 bmFormatString bmPINBlockString
// bmPINLengthFormat bInsertionOffsetOld bInsertionOffsetNew
// wPINMaxExtraDigit(2) bConfirmPIN bEntryValidationCondition bNumberMessage
// wLangId(2) bMsgIndex1..3 bTeoPrologue(3) ulDataLength(4).
// The maker's verify: part 10 without bTimerOut2, bTeoPrologue and
// ulDataLength; its modify also puts bInsertionOffsetNew before
// bInsertionOffsetOld and has one bMsgIndex. The CCID Secure data (after
// bPINOperation): part 10 without bTimerOut2 and ulDataLength.
LayoutFields FieldsOf(PinLayout layout)
{
    switch (layout) {
    case PinLayout::PcscVerify: return {19, false, 2, 3, 4, kAbsent, kAbsent, 5, 6, kAbsent, 7, 15};
    case PinLayout::PcscModify: return {24, true, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20};
    case PinLayout::VendorVerify: return {11, false, 1, 2, 3, kAbsent, kAbsent, 4, 5, kAbsent, 6, kAbsent};
    case PinLayout::VendorModify: return {14, true, 1, 2, 3, 5, 4, 6, 7, 8, 9, kAbsent};
    case PinLayout::CcidVerify: return {14, false, 1, 2, 3, kAbsent, kAbsent, 4, 5, kAbsent, 6, kAbsent};
    case PinLayout::CcidModify: return {19, true, 1, 2, 3, 4, 5, 6, 7, 8, 9, kAbsent};
    }
    return {};
}

constexpr std::size_t kMinApdu = 4;              // CLA INS P1 P2
constexpr std::size_t kModifyNumberMessage = 11;  // in the part 10 modify structure

// What the reader driver checks before a part 10 request reaches the pad: a
// whole command header at least, ulDataLength the APDU's length, and for a
// modify at most three messages (or 0xFF, the default).
bool Part10RequestFits(const LayoutFields& f, const std::uint8_t* in, std::size_t length, std::string& why)
{
    if (length < f.head + kMinApdu) {
        why = "request of " + std::to_string(length) + " bytes, shorter than its " + std::to_string(f.head) +
              "-byte structure and a " + std::to_string(kMinApdu) + "-byte command";
        return false;
    }
    if (LittleEndian32(in + f.dataLength) != length - f.head) {
        why = "ulDataLength " + std::to_string(LittleEndian32(in + f.dataLength)) + " but " +
              std::to_string(length - f.head) + " APDU bytes";
        return false;
    }
    if (f.modify && in[kModifyNumberMessage] > 3 && in[kModifyNumberMessage] != 0xFF) {
        why = "bNumberMessage " + std::to_string(in[kModifyNumberMessage]);
        return false;
    }
    return true;
}

}  // namespace

bool ParsePinRequest(PinLayout layout, const std::uint8_t* in, std::size_t length, PinParams& out, std::string& why)
{
    out = PinParams{};
    const LayoutFields f = FieldsOf(layout);
    if (!in || length < f.head) {
        why = "request of " + std::to_string(length) + " bytes, shorter than its " + std::to_string(f.head) +
              "-byte structure";
        return false;
    }
    auto at = [&](int pos) -> std::uint8_t { return pos == kAbsent ? 0 : in[pos]; };
    const bool part10 = f.dataLength != kAbsent;
    if (part10 && !Part10RequestFits(f, in, length, why))
        return false;
    out.modify = f.modify;
    out.formatString = at(f.format);
    out.blockString = at(f.block);
    out.lengthFormat = at(f.lengthFormat);
    out.offsetOld = at(f.offsetOld);
    out.offsetNew = at(f.offsetNew);
    out.maxDigits = at(f.maxDigits);
    out.minDigits = at(f.minDigits);
    out.confirmPin = at(f.confirm);
    out.validation = at(f.validation);
    // The reader driver takes a condition it cannot act on as "validation key".
    if (part10 && (out.validation == 0 || out.validation > 0x07))
        out.validation = 0x02;
    out.apdu.assign(in + f.head, in + length);
    return true;
}

std::size_t PinEntriesWanted(const PinParams& p)
{
    if (!p.modify)
        return 1;
    return 1 + ((p.confirmPin & 0x02) ? 1 : 0) + ((p.confirmPin & 0x01) ? 1 : 0);
}

PinEntry TypePins(const KeyScript& script, unsigned paceMs, const PinParams& p)
{
    // bEntryValidationCondition: bit 0 maximum size reached, bit 1 the
    // validation key, bit 2 the timeout end an entry.
    const bool onMax = p.validation & 0x01;
    const bool onEnter = p.validation & 0x02;
    const bool onTimeout = p.validation & 0x04;
    const std::size_t wanted = PinEntriesWanted(p);
    PinEntry e;
    std::string digits;
    unsigned t = 0;
    auto finishEntry = [&]() {
        if (digits.size() < p.minDigits) {
            e.sw = kSwPinLengthWrong;
            return;
        }
        e.pins.push_back(digits);
        digits.clear();
    };
    for (const KeyPress& k : script) {
        t += k.waitMs;
        if (k.kind == KeyPress::Pause)
            continue;
        t += paceMs;
        switch (k.kind) {
        case KeyPress::Digit:
            e.strokes.push_back({t, kKeyDigit});
            // A full entry takes no further digit.
            if (p.maxDigits == 0 || digits.size() < p.maxDigits)
                digits.push_back(static_cast<char>('0' + k.digit));
            if (onMax && p.maxDigits != 0 && digits.size() == p.maxDigits)
                finishEntry();
            break;
        case KeyPress::Clear:
            e.strokes.push_back({t, kKeyClear});
            if (!digits.empty())
                digits.pop_back();
            break;
        case KeyPress::Enter:
            e.strokes.push_back({t, kKeyEnter});
            if (onEnter)
                finishEntry();
            break;
        case KeyPress::Cancel:
            e.strokes.push_back({t, kKeyCancel});
            e.sw = kSwPinCancelled;
            break;
        case KeyPress::Timeout:
            e.strokes.push_back({t, kKeyTimeout});
            if (onTimeout)
                finishEntry();
            else
                e.sw = kSwPinTimeout;
            break;
        case KeyPress::Pause:
            break;
        }
        if (e.sw != 0 || e.pins.size() == wanted)
            break;
    }
    if (e.sw == 0 && e.pins.size() < wanted) {
        // The user stopped typing: the pad's own timer ends the operation.
        e.strokes.push_back({t, kKeyTimeout});
        e.sw = kSwPinTimeout;
    }
    if (e.sw == 0 && p.modify && (p.confirmPin & 0x01) && e.pins[wanted - 1] != e.pins[wanted - 2])
        e.sw = kSwPinMismatch;
    e.durationMs = t;
    return e;
}

namespace {

// Writes the low `bits` bits of value at bit position `at` (0 is the most
// significant bit of the first byte), most significant bit first.
void PutBits(Bytes& data, std::size_t at, unsigned bits, std::uint32_t value)
{
    for (unsigned i = 0; i < bits; ++i) {
        const bool one = (value >> (bits - 1 - i)) & 1u;
        const std::size_t pos = at + i;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (pos % 8));
        if (one)
            data[pos / 8] |= mask;
        else
            data[pos / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

constexpr std::size_t kHeader = 5;  // CLA INS P1 P2 Lc: positions count from the first byte after Lc

}  // namespace

InsertResult InsertPin(Bytes& apdu, const std::string& digits, const PinParams& p, unsigned offsetBytes,
                       std::string& why)
{
    if (apdu.size() < kHeader) {
        why = "command of " + std::to_string(apdu.size()) + " bytes has no data field for the PIN";
        return InsertResult::OutsideApdu;
    }
    // bmFormatString: bit 7 units (bytes or bits), bits 6-3 PIN position,
    // bit 2 right justification, bits 1-0 format (binary, BCD, ASCII).
    const unsigned unit = (p.formatString & 0x80) ? 8 : 1;
    const std::size_t pinPos = static_cast<std::size_t>((p.formatString >> 3) & 0x0F) * unit + offsetBytes * 8u;
    const bool right = p.formatString & 0x04;
    const unsigned format = p.formatString & 0x03;
    if (format == 3) {
        why = "PIN format 3 in bmFormatString is reserved";
        return InsertResult::OutsideApdu;
    }
    const unsigned digitBits = format == 1 ? 4 : 8;
    // bmPINBlockString: bits 7-4 size of the length field in bits, bits 3-0
    // the block's size in bytes (0: as long as the PIN).
    const unsigned lengthBits = p.blockString >> 4;
    const std::size_t pinBits = digits.size() * digitBits;
    const std::size_t blockBits = (p.blockString & 0x0F) ? (p.blockString & 0x0F) * 8u : (pinBits + 7) / 8 * 8;
    if (pinBits > blockBits) {
        why = std::to_string(digits.size()) + " digits do not fit a block of " + std::to_string(blockBits / 8) +
              " bytes";
        return InsertResult::PinTooLong;
    }
    // bmPINLengthFormat: bit 4 units, bits 3-0 position of the length field.
    const std::size_t lengthPos =
        static_cast<std::size_t>(p.lengthFormat & 0x0F) * ((p.lengthFormat & 0x10) ? 8u : 1u) + offsetBytes * 8u;
    std::size_t needBits = pinPos + blockBits;
    if (lengthBits > 0 && lengthPos + lengthBits > needBits)
        needBits = lengthPos + lengthBits;
    Bytes data(apdu.begin() + kHeader, apdu.end());
    if (needBits > data.size() * 8) {
        if (p.blockString & 0x0F) {
            why = "PIN block ends at data byte " + std::to_string((needBits + 7) / 8) + ", the command has " +
                  std::to_string(data.size());
            return InsertResult::OutsideApdu;
        }
        // A block as long as the PIN makes the command as long as it needs.
        data.resize((needBits + 7) / 8, 0x00);
    }
    std::size_t at = pinPos + (right ? blockBits - pinBits : 0);
    for (char c : digits) {
        const unsigned d = static_cast<unsigned>(c - '0');
        PutBits(data, at, digitBits, format == 2 ? 0x30 + d : d);
        at += digitBits;
    }
    if (lengthBits > 0)
        PutBits(data, lengthPos, lengthBits, static_cast<std::uint32_t>(digits.size()));
    if (!(p.blockString & 0x0F) && data.size() + kHeader != apdu.size()) {
        if (data.size() > 255) {
            why = "command data longer than 255 bytes";
            return InsertResult::OutsideApdu;
        }
        apdu[4] = static_cast<std::uint8_t>(data.size());
    }
    apdu.resize(kHeader);
    apdu.insert(apdu.end(), data.begin(), data.end());
    return InsertResult::Ok;
}

bool BuildCardApdu(const PinParams& p, const PinEntry& entry, Bytes& apdu, std::uint16_t& sw, std::string& why)
{
    sw = entry.sw;
    if (sw != 0)
        return true;
    apdu = p.apdu;
    struct Insertion {
        const std::string* pin;
        unsigned offset;
    } insertions[2];
    std::size_t count = 0;
    if (!p.modify) {
        insertions[count++] = {&entry.pins[0], 0};
    } else {
        std::size_t i = 0;
        if (p.confirmPin & 0x02)
            insertions[count++] = {&entry.pins[i++], p.offsetOld};
        insertions[count++] = {&entry.pins[i], p.offsetNew};
    }
    for (std::size_t i = 0; i < count; ++i) {
        switch (InsertPin(apdu, *insertions[i].pin, p, insertions[i].offset, why)) {
        case InsertResult::Ok:
            break;
        case InsertResult::PinTooLong:
            sw = kSwPinLengthWrong;
            return true;
        case InsertResult::OutsideApdu:
            return false;
        }
    }
    return true;
}

}  // namespace simreader
