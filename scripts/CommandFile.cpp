// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandFile.h"

#include <algorithm>
#include <cctype>

#include "carddata/HexCodec.h"
#include "readerlink/Cp1252.h"
#include "scripts/UserFile.h"

namespace {

std::string WithoutLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

// Only hexadecimal digits between the blanks.
bool IsPackedHex(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

int FindNextEntry(std::string_view text, std::string_view marker, char separator, std::size_t& position,
                  std::string& name, std::string& value) {
    // A position past 0 comes from a call that found the marker already.
    std::size_t start = position + 1;
    if (position == 0) {
        const std::size_t h = text.find(marker);
        if (h == std::string_view::npos) return -1;
        start = h;
    }
    if (start >= text.size()) return -1;
    const std::size_t e = text.find(separator, start);
    if (e == std::string_view::npos) return -1;
    position = e;

    const std::size_t s = e == 0 ? std::string_view::npos : text.rfind('\n', e - 1);
    const std::string_view segment = text.substr(s == std::string_view::npos ? 0 : s, e - (s == std::string_view::npos ? 0 : s));
    if (segment.find_first_of("/;") != std::string_view::npos) return -2;

    const std::size_t lf = text.find('\n', e + 1);
    value = lf == std::string_view::npos ? std::string() : std::string(text.substr(e + 1, lf - e));
    name.clear();
    for (char c : segment)
        if (c != ' ') name.push_back(c);
    return 0;
}

std::string CleanCommandName(std::string_view name) { return WithoutLineEnds(name); }

std::string CleanCommandText(std::string_view text) {
    std::string out = WithoutLineEnds(text);
    std::size_t first = 0;
    while (first < out.size() && (out[first] < '0' || out[first] > 'F')) ++first;
    out.erase(0, first);
    return out;
}

std::vector<CommandEntry> ParseCommandFile(std::string_view text) {
    std::vector<CommandEntry> entries;
    std::size_t position = 0;
    std::string name;
    std::string value;
    for (;;) {
        const int result = FindNextEntry(text, kCommandSection, kCommandSeparator, position, name, value);
        if (result == -1) break;
        if (result == 0) entries.push_back({CleanCommandName(name), CleanCommandText(value)});
    }
    return entries;
}

std::string WriteCommandFile(const std::vector<CommandEntry>& entries) {
    std::size_t size = 11;
    for (const CommandEntry& entry : entries) size += entry.name.size() + entry.text.size() + 5;
    std::string out;
    out.reserve(size);
    out.append("[Command]\r\n");
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        out.append(it->name).append(" = ").append(it->text).append("\r\n");
    }
    return out;
}

bool CommandBefore(const CommandEntry& a, const CommandEntry& b) {
    if (const int c = CompareNoCase(a.name, b.name); c != 0) return c < 0;
    if (a.name != b.name) return a.name < b.name;
    return a.text < b.text;
}

std::size_t CCommandList::Add(std::string_view name, std::string_view text) {
    CommandEntry entry{CleanCommandName(name), CleanCommandText(text)};
    const auto at = std::upper_bound(m_entries.begin(), m_entries.end(), entry, CommandBefore);
    const auto index = static_cast<std::size_t>(at - m_entries.begin());
    m_entries.insert(at, std::move(entry));
    return index;
}

void CCommandList::Assign(std::vector<CommandEntry> entries) {
    std::stable_sort(entries.begin(), entries.end(), CommandBefore);
    m_entries = std::move(entries);
}

void CCommandList::Remove(std::size_t index) {
    if (index < m_entries.size()) m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
}

FileFailure CCommandList::Load(const std::string& path) {
    std::string bytes;
    const FileFailure failure = ReadRegularFile(path, kMaxCommandFileBytes, bytes);
    // A new or missing file is an empty list, said without a word.
    if (failure == FileFailure::FileNotFound) return FileFailure::None;
    if (failure != FileFailure::None) return failure;
    Assign(ParseCommandFile(bytes));
    return FileFailure::None;
}

FileFailure CCommandList::Save(const std::string& path) const { return RewriteUserFile(path, WriteCommandFile(m_entries)); }

unsigned CommandTextToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity) {
    const CHexCodec codec;
    unsigned count = 0;
    if (codec.HexToBytes(text, out, capacity, count) == 0) return count;
    // Packed digits ("00A40400") are read token by token; any other long
    // token (a tab or a comma is no separator) leaves the text unreadable,
    // sent as no bytes, as HexToBytes says.
    if (!IsPackedHex(text)) return 0;
    count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        std::size_t end = i;
        while (end < text.size() && text[end] != ' ') ++end;
        if (end > i && count < capacity) {
            unsigned written = 0;
            codec.PackedHexToBytes(text.substr(i, end - i), out + count, capacity - count, written);
            count += written;
        }
        i = end;
    }
    return count;
}

std::string CommandFieldText(std::string_view storedText, std::size_t maxBytes) {
    std::vector<std::uint8_t> bytes(storedText.size() + 1);
    const unsigned count = CommandTextToBytes(storedText, bytes.data(), std::min(bytes.size(), maxBytes));
    return CHexCodec().BytesToHex(count, bytes.data());
}
