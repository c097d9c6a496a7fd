// SPDX-License-Identifier: BSD-3-Clause
// Hostile bytes from the driver's side of the line: the frame reader and the
// firmware behind it must never read or write outside a buffer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CcidPinPad.h"
#include "ScenarioParser.h"
#include "SerialFrames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ccidserial::CcidPinPad* pad = [] {
        simreader::Scenario s;
        std::string error;
        simreader::ParseScenario("cold-atr => 3B 02 14 50\napdu-default => 90 00\nkeypad => 1234 enter | 1 cancel\n",
                                 "fuzz.scn", s, error);
        auto* p = new ccidserial::CcidPinPad(s, "");
        p->sleep = [](unsigned) {};
        return p;
    }();
    ccidserial::SerialFrameReader reader;
    // Two feeds, so frames split across reads are exercised too.
    const std::size_t half = size / 2;
    for (const auto& [from, n] : {std::pair{data, half}, std::pair{data + half, size - half}}) {
        reader.Feed(from, n);
        for (auto e = reader.Next(); e != ccidserial::SerialFrameReader::Event::None; e = reader.Next())
            if (e == ccidserial::SerialFrameReader::Event::Frame) {
                ccidserial::EchoOf(reader.Message());
                ccidserial::WrapFrame(pad->Handle(reader.Message()));
            }
    }
    return 0;
}
