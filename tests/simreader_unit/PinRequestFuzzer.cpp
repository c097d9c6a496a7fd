// SPDX-License-Identifier: BSD-3-Clause
// Any bytes a PC/SC client sends with a secure PIN code are read, typed into
// and inserted without a fault: the first byte picks the layout and the
// user's keys, the rest is the request. An inserted command never outgrows
// what a short APDU can carry.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PinPad.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace simreader;
    if (size < 1)
        return 0;
    const PinLayout layouts[] = {PinLayout::PcscVerify, PinLayout::PcscModify, PinLayout::VendorVerify,
                                 PinLayout::VendorModify};
    const PinLayout layout = layouts[data[0] & 3];
    const std::vector<std::vector<std::string>> scripts = {
        {"1234", "enter", "5678", "enter", "5678", "enter"},
        {"123456789012345678", "enter", "1", "enter", "1", "enter"},
        {"1", "clear", "clear", "enter", "timeout", "enter", "enter"},
    };
    KeyScript script;
    std::string why;
    if (!ParseKeyScript(scripts[(data[0] >> 2) % scripts.size()], script, why))
        __builtin_trap();
    PinParams p;
    if (!ParsePinRequest(layout, data + 1, size - 1, p, why))
        return 0;
    PinEntry entry = TypePins(script, 0, p);
    Bytes apdu;
    std::uint16_t sw = 0;
    if (BuildCardApdu(p, entry, apdu, sw, why) && sw == 0) {
        // Fixed blocks stay inside the template; a PIN-long block may grow it
        // up to a full short command.
        if (apdu.size() > p.apdu.size() && apdu.size() > 5 + 255)
            __builtin_trap();
    }
    return 0;
}
