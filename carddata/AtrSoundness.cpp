// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/AtrSoundness.h"

#include <bit>
#include <cstdio>

namespace {

std::string Hex2(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

}  // namespace

AtrSoundness CheckAtrSoundness(const std::uint8_t* atr, std::size_t length) {
    AtrSoundness s;
    if (atr == nullptr) length = 0;
    s.present = length;
    if (length < 2) {
        // Not even T0: TS and T0 are all that is known to be due.
        s.announced = 2;
        s.truncated = true;
        s.protocols.push_back(0);
        return s;
    }

    const unsigned historical = atr[1] & 0x0F;
    std::size_t next = 2;  // index of the next interface byte
    unsigned indicator = atr[1];
    for (;;) {
        next += std::popcount(indicator & 0x70u);
        if (!(indicator & 0x80)) break;
        if (next >= length) {
            // The TD byte is announced but missing; what it announces is unknown.
            s.chainCut = true;
            ++next;
            break;
        }
        indicator = atr[next++];
        s.protocols.push_back(indicator & 0x0F);
    }
    if (s.protocols.empty() && !s.chainCut) s.protocols.push_back(0);
    for (unsigned protocol : s.protocols)
        if (protocol != 0) s.tckRequired = true;

    const std::size_t interfaceEnd = next + historical;  // index of the TCK, if any
    s.tckPresent = length > interfaceEnd;
    s.announced = interfaceEnd + ((s.tckRequired || s.tckPresent) ? 1 : 0);
    s.truncated = length < s.announced;
    s.tooLong = length > s.announced;
    if (s.tckPresent) {
        s.tck = atr[interfaceEnd];
        std::uint8_t sum = 0;
        for (std::size_t i = 1; i < interfaceEnd; ++i) sum ^= atr[i];
        s.expectedTck = sum;
        s.checkXor = static_cast<std::uint8_t>(sum ^ s.tck);
    }
    return s;
}

std::vector<std::string> AtrSoundnessLines(const AtrSoundness& s) {
    std::vector<std::string> lines;

    if (s.tckRequired) {
        // Each protocol once, in the order the TD bytes first name it.
        std::string offered;
        bool named[16] = {};
        for (unsigned protocol : s.protocols) {
            if (protocol == 0 || named[protocol & 0x0F]) continue;
            named[protocol & 0x0F] = true;
            offered += (offered.empty() ? "T=" : ", T=") + std::to_string(protocol);
        }
        lines.push_back("TCK required: " + offered + " offered");
    } else if (s.chainCut) {
        lines.push_back("TCK requirement unknown: a TD byte is missing");
    } else {
        lines.push_back("TCK not required: only T=0 offered");
    }

    if (!s.tckPresent) {
        lines.push_back(s.tckRequired ? "TCK absent although required" : "TCK absent");
    } else {
        std::string line = "TCK = " + Hex2(s.tck) + ", exclusive-or of T0 to TCK = " + Hex2(s.checkXor);
        line += s.checkXor == 0 ? ": correct" : ": wrong, TCK should be " + Hex2(s.expectedTck);
        if (!s.tckRequired && !s.chainCut) line += " (not expected: only T=0 offered)";
        lines.push_back(std::move(line));
    }

    const std::string counts =
        std::to_string(s.announced) + " bytes announced, " + std::to_string(s.present) + " present";
    if (s.truncated)
        lines.push_back("truncated: " + counts);
    else if (s.tooLong)
        lines.push_back("too long: " + counts);
    else
        lines.push_back("complete: " + counts);
    return lines;
}

AtrTreeNode AtrSoundnessNode(const std::uint8_t* atr, std::size_t length) {
    AtrTreeNode node{"ATR soundness", kImageGroup, {}};
    for (std::string& line : AtrSoundnessLines(CheckAtrSoundness(atr, length)))
        node.children.push_back({std::move(line), kImageLine, {}});
    return node;
}
