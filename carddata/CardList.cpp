// SPDX-License-Identifier: BSD-3-Clause
#include "carddata/CardList.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <utility>

#include "carddata/HexCodec.h"
#include "readerlink/Cp1252.h"

namespace {

// Longest ATR (in bytes) that the index keys; longer ones meet only the
// patterns with '*', as no fixed pattern can be that long.
constexpr std::size_t kIndexedBytes = kCardListMaxPatternDigits / 2;
constexpr std::size_t kMaxElements = kCardListMaxPatternDigits + kCardListMaxRepeats;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsSingleDigit(std::uint16_t digits) { return digits != 0 && (digits & (digits - 1)) == 0; }

unsigned DigitOf(std::uint16_t single) {
    unsigned d = 0;
    while (!(single & 1u)) {
        single >>= 1;
        ++d;
    }
    return d;
}

// Counting sort of entry numbers into buckets, keeping the list's order in each.
template <typename Item>
void FillBuckets(const std::vector<std::pair<std::uint32_t, Item>>& keyed, std::size_t keys,
                 std::vector<std::uint32_t>& start, std::vector<Item>& items) {
    start.assign(keys + 1, 0);
    for (const auto& [key, item] : keyed) ++start[key + 1];
    for (std::size_t k = 0; k < keys; ++k) start[k + 1] += start[k];
    items.assign(keyed.size(), Item{});
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (const auto& [key, item] : keyed) items[fill[key]++] = item;
}

// The first four bytes of an ATR, zeros past its end, as one number.
std::uint32_t Head(const std::uint8_t* atr, std::size_t length) {
    std::uint32_t head = 0;
    for (std::size_t i = 0; i < 4; ++i) head = head << 8 | (i < length ? atr[i] : 0u);
    return head;
}

}  // namespace

CCardList::CCardList(std::string path) : m_path(std::move(path)) {}

CCardList CCardList::FromText(std::string_view text) {
    CCardList list;
    list.m_loaded = true;
    list.m_available = true;
    list.Parse(text.substr(0, kCardListMaxFileBytes));
    list.BuildIndex();
    return list;
}

bool CCardList::IsAvailable() {
    if (!m_loaded) Load();
    return m_available;
}

void CCardList::Load() {
    m_loaded = true;
    if (m_path.empty()) return;
    // Only a plain file: a FIFO or a device would block or never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(m_path, error)) return;
    std::ifstream file(m_path, std::ios::binary);
    if (!file) return;
    // Room for the file as it is now (one byte more tells a file over the
    // bound), never more than the bound.
    const std::uintmax_t size = std::filesystem::file_size(m_path, error);
    const std::size_t room = error ? kCardListMaxFileBytes : std::min<std::uintmax_t>(size, kCardListMaxFileBytes);
    std::string text(room + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) return;
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kCardListMaxFileBytes) {
        // Too long: keep the whole lines of the first part only.
        text.resize(kCardListMaxFileBytes);
        const std::size_t lastLineEnd = text.rfind('\n');
        text.resize(lastLineEnd == std::string::npos ? 0 : lastLineEnd + 1);
    }
    m_available = true;
    Parse(text);
    BuildIndex();
}

void CCardList::Parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    enum class State { kBetween, kInEntry, kSkipping } state = State::kBetween;
    Entry entry;
    bool full = false;

    // Keeps the entry being read if it has something to show; an entry without
    // descriptions, or one past the limit, leaves nothing behind.
    auto finish = [&] {
        if (state != State::kInEntry) return;
        if (entry.descriptionCount > 0 && m_entries.size() < kCardListMaxEntries) {
            m_entries.push_back(entry);
        } else {
            if (m_entries.size() >= kCardListMaxEntries) full = true;
            m_elements.resize(entry.firstElement);
            m_descriptions.resize(entry.firstDescription);
            ++m_skipped;
        }
        state = State::kBetween;
    };

    std::size_t position = 0;
    while (position < text.size() && !full) {
        std::size_t end = text.find('\n', position);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(position, end - position);
        position = end + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);

        const bool indented = !line.empty() && IsBlank(line.front());
        if (Trim(line).empty()) {
            finish();
            state = State::kBetween;
        } else if (line.front() == '#') {
            // A comment neither ends nor starts an entry.
        } else if (indented) {
            if (state != State::kInEntry || line.size() > kCardListMaxLineLength) continue;
            if (entry.descriptionCount >= kCardListMaxDescriptions) continue;
            m_descriptions.push_back(ValidUtf8(Trim(line)));
            ++entry.descriptionCount;
        } else {
            finish();
            entry = Entry{};
            entry.firstElement = static_cast<std::uint32_t>(m_elements.size());
            entry.firstDescription = static_cast<std::uint32_t>(m_descriptions.size());
            if (line.size() <= kCardListMaxLineLength && ParsePattern(line, entry)) {
                state = State::kInEntry;
            } else {
                m_elements.resize(entry.firstElement);
                ++m_skipped;
                state = State::kSkipping;  // its descriptions go with it
            }
        }
    }
    finish();
}

bool CCardList::ParsePattern(std::string_view line, Entry& entry) {
    std::size_t digits = 0;
    std::size_t repeats = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (IsBlank(c)) continue;
        Element element;
        if (const int value = HexDigitValue(c); value >= 0) {
            element.digits = static_cast<std::uint16_t>(1u << value);
        } else if (c == '.') {
            element.digits = 0xFFFF;
        } else if (c == '[') {
            const std::size_t close = line.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            const std::string_view set = line.substr(i + 1, close - i - 1);
            for (std::size_t j = 0; j < set.size(); ++j) {
                if (set[j] == ',' || IsBlank(set[j])) continue;
                const int low = HexDigitValue(set[j]);
                if (low < 0) return false;
                int high = low;
                if (j + 2 < set.size() && set[j + 1] == '-') {
                    high = HexDigitValue(set[j + 2]);
                    if (high < low) return false;  // also a non-digit (-1)
                    j += 2;
                }
                for (int d = low; d <= high; ++d) element.digits |= static_cast<std::uint16_t>(1u << d);
            }
            if (element.digits == 0) return false;
            i = close;
        } else if (c == '*') {
            if (m_elements.size() == entry.firstElement || m_elements.back().repeat) return false;
            if (++repeats > kCardListMaxRepeats) return false;
            m_elements.back().repeat = true;
            --digits;
            continue;
        } else {
            return false;
        }
        if (++digits > kCardListMaxPatternDigits) return false;
        m_elements.push_back(element);
    }
    entry.elementCount = static_cast<std::uint32_t>(m_elements.size() - entry.firstElement);
    entry.hasRepeat = repeats > 0;
    if (entry.elementCount == 0) return false;
    // Without '*' the digits must make whole bytes.
    return entry.hasRepeat || digits % 2 == 0;
}

void CCardList::BuildIndex() {
    std::vector<std::pair<std::uint32_t, Candidate>> byKey;
    std::vector<std::pair<std::uint32_t, Candidate>> byLength;
    m_repeating.clear();
    for (std::uint32_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        if (entry.hasRepeat) {
            m_repeating.push_back(i);
            continue;
        }
        const std::uint32_t bytes = entry.elementCount / 2;
        const Element* elements = m_elements.data() + entry.firstElement;
        Candidate candidate{i, 0, 0};
        for (std::uint32_t k = 0; k < 8; ++k) {
            const bool fixed = k < entry.elementCount && IsSingleDigit(elements[k].digits);
            candidate.headValue = candidate.headValue << 4 | (fixed ? DigitOf(elements[k].digits) : 0u);
            candidate.headMask = candidate.headMask << 4 | (fixed ? 0xFu : 0u);
        }
        if (bytes >= 2 && IsSingleDigit(elements[2].digits) && IsSingleDigit(elements[3].digits)) {
            const unsigned t0 = DigitOf(elements[2].digits) << 4 | DigitOf(elements[3].digits);
            byKey.emplace_back(bytes * 256 + t0, candidate);
        } else {
            byLength.emplace_back(bytes, candidate);
        }
    }
    FillBuckets(byKey, (kIndexedBytes + 1) * 256, m_keyStart, m_byKey);
    FillBuckets(byLength, kIndexedBytes + 1, m_lengthStart, m_byLength);
}

bool CCardList::MatchFixed(const Entry& entry, const std::uint8_t* atr, std::size_t length) const {
    if (entry.elementCount != 2 * length) return false;
    const Element* elements = m_elements.data() + entry.firstElement;
    for (std::size_t i = 0; i < length; ++i) {
        if (!((elements[2 * i].digits >> (atr[i] >> 4)) & 1u)) return false;
        if (!((elements[2 * i + 1].digits >> (atr[i] & 0x0F)) & 1u)) return false;
    }
    return true;
}

bool CCardList::MatchRepeating(const Entry& entry, const std::uint8_t* atr, std::size_t length) const {
    // The set of pattern positions reachable after each digit of the ATR; a
    // repeated element may also be passed over without a digit.
    const Element* elements = m_elements.data() + entry.firstElement;
    const std::size_t count = std::min<std::size_t>(entry.elementCount, kMaxElements);
    std::array<bool, kMaxElements + 1> now{};
    std::array<bool, kMaxElements + 1> next{};
    auto passOverRepeats = [&](std::array<bool, kMaxElements + 1>& states) {
        for (std::size_t k = 0; k < count; ++k)
            if (states[k] && elements[k].repeat) states[k + 1] = true;
    };
    now[0] = true;
    passOverRepeats(now);
    for (std::size_t i = 0; i < 2 * length; ++i) {
        const unsigned digit = (i % 2 == 0) ? atr[i / 2] >> 4 : atr[i / 2] & 0x0F;
        next.fill(false);
        bool any = false;
        for (std::size_t k = 0; k < count; ++k) {
            if (!now[k] || !((elements[k].digits >> digit) & 1u)) continue;
            next[elements[k].repeat ? k : k + 1] = true;
            any = true;
        }
        if (!any) return false;
        passOverRepeats(next);
        now.swap(next);
    }
    return now[count];
}

std::vector<std::string> CCardList::Lookup(const std::uint8_t* atr, std::size_t length) {
    std::vector<std::string> names;
    if (!IsAvailable() || (atr == nullptr && length > 0)) return names;

    std::vector<std::uint32_t> matched;
    const std::uint32_t head = Head(atr, length);
    auto tryBucket = [&](const std::vector<std::uint32_t>& start, const std::vector<Candidate>& items,
                         std::size_t key) {
        if (key + 1 >= start.size()) return;
        for (std::uint32_t k = start[key]; k < start[key + 1]; ++k) {
            const Candidate& candidate = items[k];
            if ((head & candidate.headMask) != candidate.headValue) continue;
            if (MatchFixed(m_entries[candidate.entry], atr, length)) matched.push_back(candidate.entry);
        }
    };
    if (length <= kIndexedBytes) {
        if (length >= 2) tryBucket(m_keyStart, m_byKey, length * 256 + atr[1]);
        tryBucket(m_lengthStart, m_byLength, length);
    }
    for (std::uint32_t i : m_repeating)
        if (MatchRepeating(m_entries[i], atr, length)) matched.push_back(i);
    std::sort(matched.begin(), matched.end());

    for (std::uint32_t i : matched) {
        const Entry& entry = m_entries[i];
        for (std::uint32_t d = 0; d < entry.descriptionCount; ++d) {
            const std::string& text = m_descriptions[entry.firstDescription + d];
            if (std::find(names.begin(), names.end(), text) != names.end()) continue;
            if (names.size() >= kCardListMaxMatches) return names;
            names.push_back(text);
        }
    }
    return names;
}

namespace {

CCardList& SharedList() {
    static CCardList list{std::string(kSystemCardListPath)};
    return list;
}

}  // namespace

CCardList& SharedCardList() { return SharedList(); }

void SetSharedCardListPath(std::string path) { SharedList() = CCardList(std::move(path)); }

bool CardNamesNode(CCardList& list, const std::uint8_t* atr, std::size_t length, AtrTreeNode& node) {
    if (!list.IsAvailable()) return false;
    node = AtrTreeNode{"Card names", kImageGroup, {}};
    for (std::string& name : list.Lookup(atr, length)) node.children.push_back({std::move(name), kImageLine, {}, true});
    if (node.children.empty()) node.children.push_back({"Not in the card list", kImageLine, {}});
    return true;
}
