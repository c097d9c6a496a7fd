// SPDX-License-Identifier: BSD-3-Clause
// CAtrAnalyser reads an Answer-To-Reset after ISO/IEC 7816-3 into one short
// labelled text per interface byte, a summary and the historical bytes;
// CheckAtr judges the same ATR against the console's acceptance rules.
// BuildAtrTree arranges both into the status tree's nodes, so the window only
// copies nodes into its tree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Interface-byte levels that have a text slot. Levels 9 and up (a long TD
// chain) are walked, so the historical bytes are still found, but their
// texts are dropped.
inline constexpr unsigned kAtrLevels = 8;
// The analysis never reads more than this many bytes of an ATR.
inline constexpr std::size_t kAtrCopySize = 256;

class CAtrAnalyser {
public:
    // Copies the length bytes that exist (at most 256) and reads the rest as
    // zeros; the walk stops at the end of the copy. Always returns 0.
    int Analyse(const std::uint8_t* atr, std::size_t length);

    // Filled by Analyse; element i-1 belongs to level i, an empty text means
    // nothing to show.
    std::string m_summary;
    std::string m_historicalHex;
    std::string m_historicalAscii;
    std::array<std::string, kAtrLevels> m_taText;
    std::array<std::string, kAtrLevels> m_tbText;
    std::array<std::string, kAtrLevels> m_tcText;
    std::array<std::string, kAtrLevels> m_tdText;

private:
    void DecodeTA(std::uint8_t a, unsigned level);
    void DecodeTB(std::uint8_t b, unsigned level);
    void DecodeTC(std::uint8_t c, unsigned level);
    // Decodes the TD byte at index and the TA/TB/TC bytes it announces.
    // Returns true when it announces a further TD and the walk may go on.
    bool DecodeTD(std::uint8_t td, unsigned index);
    void DecodeTA1(std::uint8_t a);
    // The byte at m_position, advancing; false past the copy.
    bool ReadNext(std::uint8_t& byte);

    std::array<std::uint8_t, kAtrCopySize> m_atrCopy{};
    unsigned m_position = 0;
    unsigned m_level = 1;
    bool m_t15Seen = false;
};

inline constexpr int kAtrAccepted = 0;
inline constexpr int kAtrRejected = 200;
inline constexpr int kAtrNoBuffer = 1;

// 0 when the ATR passes the acceptance rules, 200 at the first rule broken,
// 1 for a null pointer. Bytes past length read as zeros.
int CheckAtr(const std::uint8_t* atr, std::size_t length);

// Images of the status tree's nodes.
enum StatusTreeImage : int {
    kImageRoot = 0,      // root of an ATR that fails CheckAtr; historical bytes
    kImageGroup = 1,     // "T0", "TA", "TB", "TC", "TD"
    kImageLine = 2,      // analysis lines
    kImageRootPass = 3,  // root of an ATR that passes CheckAtr
};

struct AtrTreeNode {
    std::string text;  // code page 1252, or UTF-8 when utf8 is set
    int image = kImageLine;
    std::vector<AtrTreeNode> children;
    // Names from outside (the community card list) stay Unicode: code page
    // 1252 cannot hold most of their letters.
    bool utf8 = false;
};

// The status tree of an ATR: atrText at the root, then the groups "T0",
// "TA", "TB", "TC", "TD" with the analysis lines, in display order.
AtrTreeNode BuildAtrTree(std::string_view atrText, const std::uint8_t* atr, std::size_t length);
