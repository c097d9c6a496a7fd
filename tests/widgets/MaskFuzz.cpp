// SPDX-License-Identifier: BSD-3-Clause
// Hostile text into the mask (stored command text, clipboard, keys) and the
// tooltip markup: the field keeps its length and its literals whatever comes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "carddata/MaskData.h"
#include "widgets/TipMarkup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const std::string mask = MakeHexMask(ATR_MASK_GROUPS);
    CMaskData field(mask);
    const std::string blank = field.Text();

    field.SetText(input);
    std::size_t cursor = size > 0 ? static_cast<std::uint8_t>(input[0]) : 0;
    cursor = field.Paste(cursor, input);
    for (char c : input.substr(0, 64)) {
        switch (static_cast<std::uint8_t>(c) % 5) {
            case 0: cursor = field.Backspace(cursor); break;
            case 1: cursor = field.Delete(cursor); break;
            case 2: cursor = field.CursorLeft(cursor); break;
            case 3: cursor = field.ClearRange(cursor / 2, cursor); break;
            default: cursor = field.Type(cursor, c); break;
        }
        if (cursor > field.Length()) std::abort();
    }
    const std::string& text = field.Text();
    if (text.size() != blank.size()) std::abort();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!field.IsEditable(i) && text[i] != blank[i]) std::abort();
        if (field.IsEditable(i) && text[i] != ' ' && !CMaskData::Accepts(text[i])) std::abort();
        if (text[i] >= 'a' && text[i] <= 'z') std::abort();
    }

    const std::string html = TipMarkupToHtml(input);
    (void)TipMarkupToPlain(input);
    // Only the tags the converter writes may appear: no '<' of the input survives raw.
    if (html.find("<img") != std::string::npos || html.find("<a ") != std::string::npos) std::abort();
    return 0;
}
