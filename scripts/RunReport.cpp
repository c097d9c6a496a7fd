// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/RunReport.h"

#include <algorithm>
#include <cstdio>

namespace {

// Text for XML and HTML, attribute values included; control characters,
// which XML 1.0 cannot carry, become blanks.
std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += (static_cast<unsigned char>(c) < 0x20 && c != '\n') ? ' ' : c;
        }
    }
    return out;
}

std::string Number(double value, const char* format = "%.6f") {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

double SumSeconds(const std::vector<std::uint32_t>& micros) {
    double sum = 0;
    for (std::uint32_t m : micros) sum += m;
    return sum / 1e6;
}

std::string StatusText(int status) {
    switch (status) {
        case 0: return "passed";
        case 1: return "failed";
        default: return "error";
    }
}

constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b"};

std::string Histogram(const std::vector<std::uint32_t>& micros) {
    constexpr int kWidth = 320, kHeight = 120, kBins = 24, kLeft = 8, kBottom = 18;
    std::string svg = "<svg class=\"histogram\" width=\"" +
                      std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) + "\">";
    if (micros.empty()) return svg + "<text x=\"8\" y=\"60\">never sent</text></svg>";
    const auto [lo, hi] = std::minmax_element(micros.begin(), micros.end());
    const double low = *lo;
    const double span = std::max(1.0, static_cast<double>(*hi) - low);
    std::vector<unsigned> bins(kBins, 0);
    for (std::uint32_t m : micros) bins[std::min(kBins - 1, static_cast<int>((m - low) / span * kBins))]++;
    const unsigned top = *std::max_element(bins.begin(), bins.end());
    const double barWidth = static_cast<double>(kWidth - 2 * kLeft) / kBins;
    for (int i = 0; i < kBins; ++i) {
        const double h = (kHeight - kBottom - 6) * static_cast<double>(bins[i]) / top;
        svg += "<rect x=\"" + Number(kLeft + i * barWidth, "%.1f") + "\" y=\"" +
               Number(kHeight - kBottom - h, "%.1f") + "\" width=\"" + Number(barWidth - 1, "%.1f") +
               "\" height=\"" + Number(h, "%.1f") + "\" fill=\"#1f77b4\"><title>" + std::to_string(bins[i]) +
               "</title></rect>";
    }
    svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kHeight - 4) + "\">" +
           std::to_string(*lo) + " \xC2\xB5s</text><text x=\"" + std::to_string(kWidth - kLeft) + "\" y=\"" +
           std::to_string(kHeight - 4) + "\" text-anchor=\"end\">" + std::to_string(*hi) + " \xC2\xB5s</text>";
    return svg + "</svg>";
}

std::string Timeline(const RunRecord& run) {
    constexpr int kWidth = 900, kHeight = 260, kLeft = 60, kRight = 12, kTop = 12, kBottom = 28;
    constexpr std::size_t kPoints = 900;  // the line keeps each stretch's slowest exchange
    std::size_t longest = 1;
    std::uint32_t slowest = 1;
    for (const ReaderRecord& reader : run.readers) {
        longest = std::max(longest, reader.timeline.size());
        for (std::uint32_t m : reader.timeline) slowest = std::max(slowest, m);
    }
    std::string svg = "<svg class=\"timeline\" width=\"" +
                      std::to_string(kWidth) + "\" height=\"" + std::to_string(kHeight) + "\">";
    const double plotW = kWidth - kLeft - kRight, plotH = kHeight - kTop - kBottom;
    svg += "<rect x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kTop) + "\" width=\"" +
           Number(plotW, "%.0f") + "\" height=\"" + Number(plotH, "%.0f") + "\" fill=\"none\" stroke=\"#999\"/>";
    svg += "<text x=\"" + std::to_string(kLeft - 4) + "\" y=\"" + std::to_string(kTop + 10) +
           "\" text-anchor=\"end\">" + std::to_string(slowest) + " \xC2\xB5s</text>";
    svg += "<text x=\"" + std::to_string(kLeft - 4) + "\" y=\"" + std::to_string(kTop + static_cast<int>(plotH)) +
           "\" text-anchor=\"end\">0</text>";
    svg += "<text x=\"" + std::to_string(kLeft) + "\" y=\"" + std::to_string(kHeight - 8) +
           "\">exchange 1</text><text x=\"" + std::to_string(kWidth - kRight) + "\" y=\"" +
           std::to_string(kHeight - 8) + "\" text-anchor=\"end\">exchange " + std::to_string(longest) + "</text>";
    for (std::size_t r = 0; r < run.readers.size(); ++r) {
        const std::vector<std::uint32_t>& times = run.readers[r].timeline;
        if (times.empty()) continue;
        const std::size_t step = (times.size() + kPoints - 1) / kPoints;
        std::string points;
        for (std::size_t i = 0; i < times.size(); i += step) {
            const std::uint32_t m = *std::max_element(times.begin() + static_cast<std::ptrdiff_t>(i),
                                                      times.begin() + static_cast<std::ptrdiff_t>(std::min(times.size(), i + step)));
            const double x = kLeft + plotW * (longest > 1 ? static_cast<double>(i) / (longest - 1) : 0.5);
            const double y = kTop + plotH * (1.0 - static_cast<double>(m) / slowest);
            points += Number(x, "%.1f") + "," + Number(y, "%.1f") + " ";
        }
        svg += "<polyline fill=\"none\" stroke-width=\"1.2\" stroke=\"" + std::string(kColours[r % 6]) +
               "\" points=\"" + points + "\"><title>" + Escape(run.readers[r].reader) + "</title></polyline>";
    }
    return svg + "</svg>";
}

}  // namespace

LatencySummary SummarizeLatency(std::vector<std::uint32_t> micros) {
    LatencySummary summary;
    if (micros.empty()) return summary;
    std::sort(micros.begin(), micros.end());
    const std::size_t n = micros.size();
    summary.min = micros.front();
    summary.max = micros.back();
    summary.median = micros[(n + 1) / 2 - 1];
    summary.p95 = micros[(95 * n + 99) / 100 - 1];
    return summary;
}

std::string JunitReport(const RunRecord& run) {
    unsigned tests = 0, failures = 0, skipped = 0;
    double seconds = 0;
    for (const ReaderRecord& reader : run.readers) {
        for (const CommandRecord& command : reader.commands) {
            ++tests;
            failures += (command.failures + command.mismatches) > 0;
            skipped += command.count == 0;
        }
        seconds = std::max(seconds, reader.seconds);
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"cardbench-run " +
                      Escape(run.file) + "\" tests=\"" + std::to_string(tests) + "\" failures=\"" +
                      std::to_string(failures) + "\" errors=\"0\" skipped=\"" + std::to_string(skipped) +
                      "\" time=\"" + Number(seconds) + "\">\n";
    for (const ReaderRecord& reader : run.readers) {
        unsigned readerFailures = 0, readerSkipped = 0;
        for (const CommandRecord& command : reader.commands) {
            readerFailures += (command.failures + command.mismatches) > 0;
            readerSkipped += command.count == 0;
        }
        xml += "  <testsuite name=\"" + Escape(reader.reader) + "\" tests=\"" + std::to_string(reader.commands.size()) +
               "\" failures=\"" + std::to_string(readerFailures) + "\" errors=\"0\" skipped=\"" +
               std::to_string(readerSkipped) + "\" time=\"" + Number(reader.seconds) + "\" timestamp=\"" +
               Escape(run.started) + "\">\n";
        for (const CommandRecord& command : reader.commands) {
            xml += "    <testcase classname=\"" + Escape(reader.reader) + "\" name=\"" + Escape(command.name) +
                   "\" time=\"" + Number(SumSeconds(command.micros)) + "\"";
            if (command.count == 0) {
                xml += ">\n      <skipped message=\"never sent" +
                       (reader.note.empty() ? std::string() : ": " + Escape(reader.note)) + "\"/>\n    </testcase>\n";
            } else if (command.failures + command.mismatches > 0) {
                xml += ">\n      <failure type=\"" + std::string(command.failures ? "exchange" : "mismatch") +
                       "\" message=\"" + std::to_string(command.failures) + " failed and " +
                       std::to_string(command.mismatches) + " wrong of " + std::to_string(command.count) +
                       " exchanges\">";
                for (const std::string& problem : command.problems) xml += Escape(problem) + "\n";
                xml += "</failure>\n    </testcase>\n";
            } else {
                xml += "/>\n";
            }
        }
        xml += "  </testsuite>\n";
    }
    return xml + "</testsuites>\n";
}

std::string HtmlReport(const RunRecord& run) {
    unsigned exchanges = 0, failures = 0, mismatches = 0;
    for (const ReaderRecord& reader : run.readers)
        for (const CommandRecord& command : reader.commands) {
            exchanges += command.count;
            failures += command.failures;
            mismatches += command.mismatches;
        }
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>cardbench-run: " + Escape(run.file) +
        "</title>\n<style>body{font:14px sans-serif;margin:24px;color:#222}table{border-collapse:collapse;margin:8px 0 "
        "20px}td,th{border:1px solid #ccc;padding:3px 8px;text-align:right}td:first-child,th:first-child,"
        "td.name{text-align:left}.passed{color:#2a7d2a}.failed,.error{color:#c62828}.plots{display:flex;flex-wrap:"
        "wrap;gap:12px}figure{margin:0;border:1px solid #ddd;padding:6px}figcaption{font-size:12px}svg text{font:"
        "11px sans-serif;fill:#444}</style></head><body>\n";
    html += "<h1>cardbench-run: " + Escape(run.file) + "</h1>\n<p class=\"" + StatusText(run.status) + "\"><b>" +
            StatusText(run.status) + "</b> (exit status " + std::to_string(run.status) + ") &middot; started " +
            Escape(run.started) + " &middot; " + std::to_string(run.readers.size()) + " reader(s) &middot; " +
            std::to_string(exchanges) + " exchanges &middot; " + std::to_string(failures) + " failed &middot; " +
            std::to_string(mismatches) + " wrong answers</p>\n";
    for (const ReaderRecord& reader : run.readers) {
        html += "<h2>" + Escape(reader.reader) + " <span class=\"" + StatusText(reader.status) + "\">" +
                StatusText(reader.status) + "</span></h2>\n";
        if (!reader.note.empty()) html += "<p>" + Escape(reader.note) + "</p>\n";
        html += "<table><tr><th>command</th><th>exchanges</th><th>failed</th><th>wrong</th><th>min \xC2\xB5s</th>"
                "<th>median \xC2\xB5s</th><th>p95 \xC2\xB5s</th><th>max \xC2\xB5s</th><th>first problem</th></tr>\n";
        for (const CommandRecord& command : reader.commands) {
            const LatencySummary l = SummarizeLatency(command.micros);
            html += "<tr><td>" + Escape(command.name) + "</td><td>" + std::to_string(command.count) + "</td><td>" +
                    std::to_string(command.failures) + "</td><td>" + std::to_string(command.mismatches) + "</td><td>" +
                    std::to_string(l.min) + "</td><td>" + std::to_string(l.median) + "</td><td>" +
                    std::to_string(l.p95) + "</td><td>" + std::to_string(l.max) + "</td><td class=\"name\">" +
                    (command.problems.empty() ? "" : Escape(command.problems.front())) + "</td></tr>\n";
        }
        html += "</table>\n";
    }
    html += "<h2>Latency per command</h2>\n<div class=\"plots\">\n";
    for (const ReaderRecord& reader : run.readers)
        for (const CommandRecord& command : reader.commands)
            html += "<figure>" + Histogram(command.micros) + "<figcaption>" + Escape(command.name) +
                    (run.readers.size() > 1 ? " on " + Escape(reader.reader) : std::string()) + "</figcaption></figure>\n";
    html += "</div>\n<h2>Latency over the run</h2>\n<figure>" + Timeline(run) + "<figcaption>";
    for (std::size_t r = 0; r < run.readers.size(); ++r)
        html += "<span style=\"color:" + std::string(kColours[r % 6]) + "\">&#9632; " + Escape(run.readers[r].reader) +
                "</span> ";
    return html + "</figcaption></figure>\n</body></html>\n";
}
