// SPDX-License-Identifier: BSD-3-Clause
#include "readerctl/tool/ToolReport.h"

#include <cstdio>

#include "bootdev/BootStatusText.h"
#include "carddata/JsonText.h"

namespace {

constexpr int kBarWidth = 40;

}  // namespace

std::string ToolReport::StatusHex(std::uint16_t status) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(status));
    return hex;
}

void ToolReport::Result(std::string_view event, const std::string& text, std::initializer_list<ReportField> fields) {
    EndBar();
    if (!m_json) {
        m_out << text << '\n' << std::flush;
        return;
    }
    m_out << "{\"event\":" << JsonString(event);
    for (const ReportField& field : fields)
        m_out << ',' << JsonString(field.key) << ':' << (field.quoted ? JsonString(field.value) : field.value);
    m_out << "}\n" << std::flush;
}

void ToolReport::Failure(const std::string& message) {
    EndBar();
    if (m_json) {
        m_out << "{\"event\":\"error\",\"message\":" << JsonString(message) << "}\n" << std::flush;
    } else {
        m_err << "readerctl: " << message << '\n' << std::flush;
    }
}

void ToolReport::Refused(const std::string& what, std::uint16_t status) {
    EndBar();
    const std::string hex = StatusHex(status);
    if (m_json) {
        m_out << "{\"event\":\"error\",\"message\":" << JsonString(what) << ",\"status\":" << JsonString(hex)
              << ",\"status_name\":" << JsonString(BootStatusName(status)) << "}\n"
              << std::flush;
    } else {
        m_err << "readerctl: " << what << ": status " << hex << ' ' << BootStatusName(status) << '\n' << std::flush;
    }
}

void ToolReport::Progress(std::uint32_t sent, std::uint32_t total) {
    if (total == 0) return;
    const int percent = static_cast<int>(std::uint64_t{sent} * 100 / total);
    if (percent == m_lastPercent) return;
    m_lastPercent = percent;
    if (m_json) {
        m_out << "{\"event\":\"progress\",\"blocks\":" << sent << ",\"total\":" << total << ",\"percent\":" << percent
              << "}\n"
              << std::flush;
    } else if (m_bar) {
        const int filled = percent * kBarWidth / 100;
        m_err << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
              << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << percent << " % (" << sent
              << '/' << total << " blocks)" << std::flush;
        m_barDrawn = true;
    }
}

void ToolReport::EndBar() {
    if (!m_barDrawn) return;
    m_err << '\n' << std::flush;
    m_barDrawn = false;
}

std::string PrintableText(const std::uint8_t* bytes, std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (bytes[i] >= 0x20 && bytes[i] < 0x7F && bytes[i] != '\\') {
            text += static_cast<char>(bytes[i]);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", bytes[i]);
            text += escaped;
        }
    }
    return text;
}
