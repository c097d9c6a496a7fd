// SPDX-License-Identifier: BSD-3-Clause
// The markup of the console's tooltip texts: a small HTML-like dialect whose
// texts begin with the heading tag "<h0>". Turned here into the rich text the
// tooltip window shows, or into plain text with the tags stripped.
#pragma once

#include <string>
#include <string_view>

// cp1252 markup -> UTF-8 rich text. "<h0>" starts a bold heading that runs to
// "</h0>" or the end of the text; <b> <i> <u> and their closing tags, <br>
// and <hr> pass; every other character, tags included, is shown as written.
std::string TipMarkupToHtml(std::string_view cp1252Markup);

// cp1252 markup -> UTF-8 plain text without any of the tags above.
std::string TipMarkupToPlain(std::string_view cp1252Markup);
