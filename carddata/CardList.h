// SPDX-License-Identifier: BSD-3-Clause
// CCardList: card names from a community list of ATRs, in the format of
// pcsc-tools' smartcard_list.txt: an ATR pattern line (hexadecimal digits,
// '.' for any digit, '[...]' for a set of digits, '*' after an element for
// any number of it), then tab-indented description lines, entries separated
// by blank lines, '#' lines are comments. A pattern matches the whole ATR;
// spaces inside it do not matter.
//
// The list is hostile input: lines, entries, descriptions and patterns are
// bounded, a malformed entry is skipped whole, and nothing in the file can
// make a lookup read or write outside its buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "carddata/AtrAnalyser.h"

inline constexpr const char* kSystemCardListPath = "/usr/share/pcsc/smartcard_list.txt";

inline constexpr std::size_t kCardListMaxFileBytes = 16u << 20;  // the real list is about half a megabyte
inline constexpr std::size_t kCardListMaxLineLength = 4096;      // longer lines are skipped
inline constexpr std::size_t kCardListMaxEntries = 100000;
inline constexpr std::size_t kCardListMaxDescriptions = 64;      // per entry; the rest are dropped
inline constexpr std::size_t kCardListMaxPatternDigits = 128;    // 64 bytes; an ATR has at most 33
inline constexpr std::size_t kCardListMaxRepeats = 8;            // '*' per pattern
inline constexpr std::size_t kCardListMaxMatches = 256;          // description lines one lookup returns

class CCardList {
public:
    // An empty list that reads nothing.
    CCardList() = default;
    // Reads path on first use, once.
    explicit CCardList(std::string path);
    // A list parsed at once from text (tests, benchmarks, fuzzing).
    static CCardList FromText(std::string_view text);

    // Loads the list if not done yet. False when the file could not be read:
    // the caller shows nothing about card names then.
    bool IsAvailable();

    // The descriptions of every entry whose pattern matches the whole ATR, in
    // the list's order, each text once, UTF-8 as in the list (ill-formed bytes
    // shown as U+FFFD). Loads the list if not
    // done yet; empty when unavailable or unknown.
    std::vector<std::string> Lookup(const std::uint8_t* atr, std::size_t length);

    // Entries kept and entries skipped as malformed (after loading).
    std::size_t EntryCount() const { return m_entries.size(); }
    std::size_t SkippedCount() const { return m_skipped; }

private:
    // One digit position of a pattern: the digits it admits (bit d for digit
    // d), and whether it stands for any number of such digits.
    struct Element {
        std::uint16_t digits = 0;
        bool repeat = false;
    };
    struct Entry {
        std::uint32_t firstElement = 0;
        std::uint32_t elementCount = 0;
        std::uint32_t firstDescription = 0;
        std::uint32_t descriptionCount = 0;
        bool hasRepeat = false;
    };

    void Load();
    void Parse(std::string_view text);
    bool ParsePattern(std::string_view line, Entry& entry);
    void BuildIndex();
    bool MatchFixed(const Entry& entry, const std::uint8_t* atr, std::size_t length) const;
    bool MatchRepeating(const Entry& entry, const std::uint8_t* atr, std::size_t length) const;

    std::string m_path;
    bool m_loaded = false;
    bool m_available = false;
    std::size_t m_skipped = 0;
    std::vector<Element> m_elements;
    std::vector<std::string> m_descriptions;
    std::vector<Entry> m_entries;
    // A fixed entry in an index bucket, with its first four bytes as value
    // and mask (0 where a digit is not one fixed digit): most entries of a
    // bucket are turned down on these alone, without reading the entry.
    struct Candidate {
        std::uint32_t entry = 0;
        std::uint32_t headValue = 0;
        std::uint32_t headMask = 0;
    };
    // Entries without '*' whose T0 is one fixed byte, by (length, T0): the
    // entries of key k are m_byKey[m_keyStart[k] .. m_keyStart[k + 1]).
    std::vector<std::uint32_t> m_keyStart;
    std::vector<Candidate> m_byKey;
    // Entries without '*' whose T0 has wildcards, by length, the same way.
    std::vector<std::uint32_t> m_lengthStart;
    std::vector<Candidate> m_byLength;
    // Entries with '*': tried on every lookup.
    std::vector<std::uint32_t> m_repeating;
};

// The list the console's status tree uses (window thread only): the system
// list unless a test names another before (or between) lookups.
CCardList& SharedCardList();
void SetSharedCardListPath(std::string path);

// The status tree's "Card names" node for the ATR, with one line per
// description (UTF-8 nodes), or a line saying that the list does not know the
// ATR. No node (false) when the list is unavailable.
bool CardNamesNode(CCardList& list, const std::uint8_t* atr, std::size_t length, AtrTreeNode& node);
