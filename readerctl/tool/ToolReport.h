// SPDX-License-Identifier: BSD-3-Clause
// What the readerctl program prints: a line per result on standard output
// (or one JSON object per result or progress step with --json), failures on
// standard error, and a progress bar on a terminal.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

struct ReportField {
    std::string_view key;
    std::string value;
    bool quoted = true;  // false: a JSON number or literal
};

class ToolReport {
public:
    // `terminal`: standard error is a terminal, so a progress bar is drawn.
    ToolReport(std::ostream& out, std::ostream& err, bool json, bool terminal)
        : m_out(out), m_err(err), m_json(json), m_bar(terminal && !json) {}

    // A result or step: `text` as a line, or {"event": event, fields...}.
    void Result(std::string_view event, const std::string& text, std::initializer_list<ReportField> fields = {});
    // A failure without a status word (usage, file, no reader): on standard
    // error, or as {"event":"error","message":...}.
    void Failure(const std::string& message);
    // A command the reader refused or failed: the status word in
    // hexadecimal with its name.
    void Refused(const std::string& what, std::uint16_t status);
    // One acknowledged block of `total`.
    void Progress(std::uint32_t sent, std::uint32_t total);

    // "0x6A82 (device status)"-style texts shared by the lines above.
    static std::string StatusHex(std::uint16_t status);

private:
    void EndBar();

    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json;
    bool m_bar;
    bool m_barDrawn = false;
    int m_lastPercent = -1;
};

// A device's text made printable: bytes outside printable ASCII as \xNN.
std::string PrintableText(const std::uint8_t* bytes, std::size_t length);
