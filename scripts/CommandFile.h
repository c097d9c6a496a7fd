// SPDX-License-Identifier: BSD-3-Clause
// Command files: named APDUs kept as cp1252 text, "[Command]" and then one
// "name = command text" line per command, every line ended by CR LF. The
// reader accepts more than the writer produces: everything before the first
// "[Command" is ignored, every later line holding "=" is a command, and a
// "/" or ";" before the "=" makes it a comment.
//
// The list pairs each name with its text in one record, so names that are
// equal when case is ignored can never trade texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scripts/LogFile.h"

// File failures of the command files share the log's causes and texts.
using FileFailure = LogFailure;

inline constexpr std::string_view kCommandSection = "[Command";
inline constexpr char kCommandSeparator = '=';

struct CommandEntry {
    std::string name;
    std::string text;
    bool operator==(const CommandEntry&) const = default;
};

// Finds the command line after position (0: the first after the marker).
// Returns 0 with name and value set, -2 for a comment line (name and value
// untouched), -1 when no marker or no further separator exists. position
// becomes the separator's index, so the next call goes on after it. Name is
// the text from the line start (its LF included) to the separator without
// spaces; value runs from after the separator up to and including the next
// LF, empty when no LF follows.
int FindNextEntry(std::string_view text, std::string_view marker, char separator, std::size_t& position,
                  std::string& name, std::string& value);

// The clean-up applied to every added command: the name loses every CR and
// LF; the text loses every CR and LF and then its leading characters outside
// '0'..'F' (blanks, and lower-case letters too).
std::string CleanCommandName(std::string_view name);
std::string CleanCommandText(std::string_view text);

// Every command of a file's bytes, cleaned, in file order.
std::vector<CommandEntry> ParseCommandFile(std::string_view text);

// The file's bytes for a list: the section line, then the commands from the
// last to the first.
std::string WriteCommandFile(const std::vector<CommandEntry>& entries);

// The list of a command-file window: records kept in the order the name list
// shows them, case-insensitive, ties broken by the exact name and then the
// text, so a list reads back from its file in the same order.
class CCommandList {
public:
    // Adds one command (cleaned first) at its sorted place; returns its index.
    std::size_t Add(std::string_view name, std::string_view text);
    // Replaces the list by these commands, sorted (n log n).
    void Assign(std::vector<CommandEntry> entries);
    // Removes entry index; an index outside the list changes nothing.
    void Remove(std::size_t index);
    void Clear() { m_entries.clear(); }

    std::size_t Size() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    const CommandEntry& At(std::size_t index) const { return m_entries.at(index); }
    const std::vector<CommandEntry>& Entries() const { return m_entries; }

    // Reads a file into the list. A missing file leaves it empty and reports
    // nothing; any other failure (a folder, a FIFO or a file past
    // kMaxCommandFileBytes: InvalidFile) leaves the list as it was.
    FileFailure Load(const std::string& path);
    // Rewrites path from the list as RewriteUserFile does: atomically, the
    // file keeping its mode, owner and links; a failed save keeps the old file.
    FileFailure Save(const std::string& path) const;

private:
    std::vector<CommandEntry> m_entries;
};

// Orders two records as the name list shows them.
bool CommandBefore(const CommandEntry& a, const CommandEntry& b);

// A stored command text read as bytes: spaced tokens of one or two digits as
// HexToBytes reads them, and where that fails on tokens of three or more
// hexadecimal digits (packed, as in "00A40400") each token read as packed
// digits. Any other text that HexToBytes refuses gives no bytes. At most
// capacity bytes are stored; returns their count.
unsigned CommandTextToBytes(std::string_view text, std::uint8_t* out, std::size_t capacity);
// The same bytes as the command field shows them ("00 A4 04 00 "), at most
// maxBytes of them.
std::string CommandFieldText(std::string_view storedText, std::size_t maxBytes);

// Files larger than this are refused as invalid rather than read whole.
inline constexpr std::size_t kMaxCommandFileBytes = 64u * 1024u * 1024u;
