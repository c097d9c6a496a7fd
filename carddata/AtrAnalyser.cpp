// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/AtrAnalyser.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "carddata/HexCodec.h"

namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

// Writes the text of level into its slot, or drops it past the last slot.
void SetLevelText(std::array<std::string, kAtrLevels>& slots, unsigned level, std::string text) {
    if (level >= 1 && level <= kAtrLevels) slots[level - 1] = std::move(text);
}

const char* DiText(unsigned di) {
    switch (di) {
        case 1: return "[TA1] Di = 1 ";
        case 2: return "[TA1] Di = 2 ";
        case 3: return "[TA1] Di = 4 ";
        case 4: return "[TA1] Di = 8 ";
        case 5: return "[TA1] Di = 16 ";
        case 6: return "[TA1] Di = 32 ";
        case 7: return "[TA1] Di = 64 ";
        case 8: return "[TA1] Di = 12 ";
        case 9: return "[TA1] Di = 20 ";
        default: return "[TA1] DI RFU ";
    }
}

const char* FiText(unsigned fi) {
    switch (fi) {
        case 0:
        case 1: return " Fi = 372";
        case 2: return " Fi = 558";
        case 3: return " Fi = 744";
        case 4: return " Fi = 1116";
        case 5: return " Fi = 1488";
        case 6: return " Fi = 1860";
        case 9: return " Fi = 512";
        case 10: return " Fi = 768";
        case 11: return " Fi = 1024";
        case 12: return " Fi = 1536";
        case 13: return " Fi = 2048";
        default: return "FI RFU";
    }
}

}  // namespace

bool CAtrAnalyser::ReadNext(std::uint8_t& byte) {
    if (m_position >= kAtrCopySize) return false;
    byte = m_atrCopy[m_position++];
    return true;
}

int CAtrAnalyser::Analyse(const std::uint8_t* atr, std::size_t length) {
    m_atrCopy.fill(0);
    if (atr != nullptr) std::memcpy(m_atrCopy.data(), atr, std::min(length, kAtrCopySize));
    m_summary.clear();
    m_historicalHex.clear();
    m_historicalAscii.clear();
    for (auto* slots : {&m_taText, &m_tbText, &m_tcText, &m_tdText})
        for (std::string& text : *slots) text.clear();
    m_t15Seen = false;

    const std::uint8_t t0 = m_atrCopy[1];
    m_position = 2;
    m_level = 1;
    const unsigned historicalCount = t0 & 0x0F;
    m_summary = Format("ATR with %d Historical Byte(s) ", static_cast<int>(historicalCount));

    std::uint8_t byte = 0;
    if ((t0 & 0x10) && ReadNext(byte))
        DecodeTA(byte, 1);
    else if (!(t0 & 0x10))
        m_taText[0] = "[TA1] Absent. Default Value are Fi= 372 Di= 1 ";
    if ((t0 & 0x20) && ReadNext(byte))
        DecodeTB(byte, 1);
    else if (!(t0 & 0x20))
        m_tbText[0] = "[TB1] Absent";
    if ((t0 & 0x40) && ReadNext(byte))
        DecodeTC(byte, 1);
    else if (!(t0 & 0x40))
        m_tcText[0] = "[TC1] Absent. Extra Guardtime Default Value is 0 ";
    if (t0 & 0x80) {
        // Iterative: a chain of TD bytes may run to the end of the copy.
        bool more = true;
        while (more && m_position < kAtrCopySize) more = DecodeTD(m_atrCopy[m_position], m_position);
    } else {
        m_tdText[0] = "[TD1] Absent. The first offered protocol is T=0 ";
    }

    const std::size_t start = std::min<std::size_t>(m_position, kAtrCopySize);
    const std::size_t count = std::min<std::size_t>(historicalCount, kAtrCopySize - start);
    const std::uint8_t* historical = m_atrCopy.data() + start;
    CHexCodec().BytesToHex(static_cast<unsigned>(count), historical, m_historicalHex);
    for (std::size_t i = 0; i < count; ++i)
        m_historicalAscii += historical[i] == 0 ? '.' : static_cast<char>(historical[i]);
    return 0;
}

bool CAtrAnalyser::DecodeTD(std::uint8_t td, unsigned index) {
    m_position = index + 1;
    if ((td & 0x0F) == 15) m_t15Seen = true;
    const unsigned level = m_level;
    SetLevelText(m_tdText, level, Format("Protocole reference on TD%u is T=%d ", level, td & 0x0F));
    m_level = level + 1;
    std::uint8_t byte = 0;
    if (td & 0x10) {
        if (!ReadNext(byte)) return false;
        DecodeTA(byte, m_level);
    }
    if (td & 0x20) {
        if (!ReadNext(byte)) return false;
        DecodeTB(byte, m_level);
    }
    if (td & 0x40) {
        if (!ReadNext(byte)) return false;
        DecodeTC(byte, m_level);
    }
    return (td & 0x80) != 0;
}

void CAtrAnalyser::DecodeTA(std::uint8_t a, unsigned level) {
    if (level == 1) {
        DecodeTA1(a);
    } else if (level == 2) {
        m_taText[1] = Format("[TA2] Specific Mode T=%d ", a & 0x0F);
    } else if (level == 3) {
        m_taText[2] = m_t15Seen ? Format("[TA3] Clock Stop : %02X and Class Indicator U : %02X ", a & 0xC0, a & 0x3F)
                                : Format("[TA3] T=1 IFSD=%d ", a);
    } else if (m_t15Seen) {
        SetLevelText(m_taText, level,
                     Format("[TA%u] Clock Stop : %02X and Class Indicator U : %02X ", level, a & 0xC0, a & 0x3F));
    }
}

void CAtrAnalyser::DecodeTB(std::uint8_t b, unsigned level) {
    if (level == 1)
        m_tbText[0] = Format("[TB1] =%d ", b);
    else if (level == 2)
        m_tbText[1] = Format("[TB2] =%d ", b);
    else if (level == 3)
        m_tbText[2] = Format("[TB3] T=1 CWT=%d BWT=%d ", b & 0x0F, b >> 4);
}

void CAtrAnalyser::DecodeTC(std::uint8_t c, unsigned level) {
    if (level == 1)
        m_tcText[0] = Format("[TC1] Extra GuardTime : %d ", c);
    else if (level == 2)
        m_tcText[1] = Format("[TC2] T=0 WI : %d ", c);
    else if (level == 3)
        m_tcText[2] = (c & 0x01) ? "[TC3] CRC Block error detection " : "[TC3] LRC Block error detection ";
}

void CAtrAnalyser::DecodeTA1(std::uint8_t a) {
    m_taText[0] = std::string(DiText(a & 0x0F)) + FiText(a >> 4);
}

int CheckAtr(const std::uint8_t* atr, std::size_t length) {
    if (atr == nullptr) return kAtrNoBuffer;
    std::array<std::uint8_t, kAtrCopySize> copy{};
    std::memcpy(copy.data(), atr, std::min(length, kAtrCopySize));
    std::size_t q = 2;
    // Only the TD chain can run off the copy; its walk stops there.
    auto next = [&]() -> std::uint8_t { return q < kAtrCopySize ? copy[q++] : 0; };

    const std::uint8_t t0 = copy[1];
    unsigned t1 = 0;
    unsigned t2 = 0;
    unsigned n = 0;
    unsigned cwi = 0;
    if (t0 & 0x10) next();                      // TA1 is not judged
    if ((t0 & 0x20) && next() != 0x00) return kAtrRejected;
    if (t0 & 0x40) n = next();
    if (!(t0 & 0x80)) return kAtrAccepted;      // T=0 only, nothing more to judge

    const std::uint8_t td1 = next();
    t1 = td1 & 0x0F;
    if (t1 > 1) return kAtrRejected;
    if (td1 & 0x10) {
        const std::uint8_t ta2 = next();
        if ((ta2 & 0x10) || (ta2 & 0x0F) > 1 || (ta2 & 0x0F) != t1) return kAtrRejected;
    }
    if (td1 & 0x20) return kAtrRejected;
    if ((td1 & 0x40) && next() == 0x00 && t1 == 0) return kAtrRejected;
    if (!(td1 & 0x80)) return t1 == 0 ? kAtrAccepted : kAtrRejected;

    const std::uint8_t td2 = next();
    t2 = td2 & 0x0F;
    if (!(t2 == 1 || (t2 == 14 && t1 == 0))) return kAtrRejected;
    if (t2 == 1) {
        if (td2 & 0x10) {
            const std::uint8_t ta3 = next();
            if (ta3 < 0x10 || ta3 > 0xFE) return kAtrRejected;
        }
        if (!(td2 & 0x20)) return kAtrRejected;
        const std::uint8_t tb3 = next();
        if (tb3 > 0x4F || (tb3 & 0x0F) > 5) return kAtrRejected;
        cwi = tb3 & 0x0F;
        if ((td2 & 0x40) && next() != 0x00) return kAtrRejected;
    } else {
        for (unsigned bit : {0x10u, 0x20u, 0x40u})
            if (td2 & bit) next();
    }

    unsigned highest = std::max(t1, t2);
    bool more = (td2 & 0x80) != 0;
    while (more && q < kAtrCopySize) {
        const std::uint8_t td = next();
        if ((td & 0x0Fu) < highest) return kAtrRejected;
        highest = td & 0x0F;
        for (unsigned bit : {0x10u, 0x20u, 0x40u})
            if (td & bit) next();
        more = (td & 0x80) != 0;
    }

    if (t2 == 1 && (1u << cwi) <= n + 1) return kAtrRejected;
    return kAtrAccepted;
}

AtrTreeNode BuildAtrTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length) {
    CAtrAnalyser analyser;
    analyser.Analyse(atr, length);

    AtrTreeNode root{std::string(atrText), CheckAtr(atr, length) == kAtrAccepted ? kImageRootPass : kImageRoot, {}};
    AtrTreeNode t0{"T0", kImageGroup, {}};
    t0.children.push_back({analyser.m_summary, kImageLine, {}});
    AtrTreeNode historical{analyser.m_historicalHex, kImageRoot, {}};
    historical.children.push_back({analyser.m_historicalAscii, kImageLine, {}});
    t0.children.push_back(std::move(historical));
    root.children.push_back(std::move(t0));

    const std::pair<const char*, const std::array<std::string, kAtrLevels>*> groups[] = {
        {"TA", &analyser.m_taText}, {"TB", &analyser.m_tbText}, {"TC", &analyser.m_tcText}, {"TD", &analyser.m_tdText}};
    for (const auto& [name, lines] : groups) {
        AtrTreeNode group{name, kImageGroup, {}};
        for (const std::string& line : *lines)
            if (line.size() > 1) group.children.push_back({line, kImageLine, {}});
        root.children.push_back(std::move(group));
    }
    return root;
}
