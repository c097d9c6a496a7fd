// SPDX-License-Identifier: BSD-3-Clause
#include "widgets/TipMarkup.h"

#include <array>

#include "readerlink/Cp1252.h"

namespace {

struct TagRule {
    std::string_view markup;  // lower case, as matched
    std::string_view html;
};

// The tags of the dialect that pass; the heading is handled on its own.
constexpr std::array<TagRule, 8> kPassingTags = {{
    {"<b>", "<b>"},
    {"</b>", "</b>"},
    {"<i>", "<i>"},
    {"</i>", "</i>"},
    {"<u>", "<u>"},
    {"</u>", "</u>"},
    {"<br>", "<br/>"},
    {"<hr>", "<hr/>"},
}};

constexpr std::string_view kHeadingOpen = "<h0>";
constexpr std::string_view kHeadingClose = "</h0>";

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view tag) {
    if (text.size() - at < tag.size()) return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        char c = text[at + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tag[i]) return false;
    }
    return true;
}

void AppendEscaped(std::string& out, char c) {
    switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
    }
}

// Walks the markup once; html chooses between rich and plain output. The
// output is still cp1252 here; the caller converts it once.
std::string Convert(std::string_view markup, bool html) {
    std::string out;
    bool inHeading = false;
    std::size_t i = 0;
    while (i < markup.size()) {
        if (markup[i] == '<') {
            if (StartsWithNoCase(markup, i, kHeadingOpen)) {
                if (html && !inHeading) out += "<b>";
                inHeading = true;
                i += kHeadingOpen.size();
                continue;
            }
            if (StartsWithNoCase(markup, i, kHeadingClose)) {
                if (html && inHeading) out += "</b><br/>";
                inHeading = false;
                i += kHeadingClose.size();
                continue;
            }
            bool matched = false;
            for (const TagRule& rule : kPassingTags) {
                if (StartsWithNoCase(markup, i, rule.markup)) {
                    if (html) out += rule.html;
                    else if (rule.markup == "<br>") out += '\n';
                    i += rule.markup.size();
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        if (html) AppendEscaped(out, markup[i]);
        else out += markup[i];
        ++i;
    }
    if (html && inHeading) out += "</b>";
    return out;
}

}  // namespace

std::string TipMarkupToHtml(std::string_view cp1252Markup) {
    // The paragraph makes the tooltip render the text as rich text always;
    // the texts are single sentences, broken only where the markup says so
    // (rich tooltips otherwise wrap into a narrow column).
    return "<p style=\"white-space:nowrap\">" + Cp1252ToUtf8(Convert(cp1252Markup, true)) + "</p>";
}

std::string TipMarkupToPlain(std::string_view cp1252Markup) { return Cp1252ToUtf8(Convert(cp1252Markup, false)); }
