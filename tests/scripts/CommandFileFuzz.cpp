// SPDX-License-Identifier: BSD-3-Clause
// Any bytes as a command file: parsed without reading outside the text, and
// whatever was read survives a save and a second read unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "scripts/CommandFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CCommandList list;
    list.Assign(ParseCommandFile(text));
    for (const CommandEntry& entry : list.Entries()) {
        if (entry.name.find_first_of("\r\n") != std::string::npos) std::abort();
        if (entry.text.find_first_of("\r\n") != std::string::npos) std::abort();
        if (!entry.text.empty() && (entry.text[0] < '0' || entry.text[0] > 'F')) std::abort();
        // Every stored text reads as bytes within the field's size.
        if (CommandFieldText(entry.text, 260).size() > 260u * 3) std::abort();
    }
    // A name holding '=', '/' or ';' cannot be read back as written; the rest round-trips.
    bool plain = true;
    for (const CommandEntry& entry : list.Entries())
        if (entry.name.find_first_of("=/;") != std::string::npos || entry.text.find('=') != std::string::npos)
            plain = false;
    if (plain) {
        CCommandList again;
        again.Assign(ParseCommandFile(WriteCommandFile(list.Entries())));
        if (!(again.Entries() == list.Entries())) std::abort();
    }
    return 0;
}
