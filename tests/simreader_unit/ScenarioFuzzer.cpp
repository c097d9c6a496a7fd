// SPDX-License-Identifier: BSD-3-Clause
// Any byte string given as a scenario file is parsed without a fault, and a
// scenario that parses can be driven through every entry of the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <PCSC/ifdhandler.h>
#include <PCSC/reader.h>

#include "ScenarioParser.h"
#include "SimReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    simreader::Scenario s;
    std::string error;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!simreader::ParseScenario(text, "/fuzz/x.scn", s, error)) {
        if (error.rfind("/fuzz/x.scn:", 0) != 0)
            __builtin_trap();
        return 0;
    }
    s.cardFile.clear();
    s.traceFile.clear();
    simreader::SimReader r(std::move(s), "000000", "");
    std::uint8_t buf[300];
    std::size_t n = 0;
    r.Power(IFD_POWER_UP, buf, MAX_ATR_SIZE, &n);
    r.SetProtocol(1);
    std::size_t len = sizeof buf;
    r.Transmit(data, size < 300 ? size : 300, buf, &len, nullptr);
    r.Control(CM_IOCTL_GET_FEATURE_REQUEST, nullptr, 0, buf, 255, &n);
    r.Control(SCARD_CTL_CODE(2049), data, size < 8 ? size : 8, buf, 255, &n);
    len = sizeof buf;
    r.GetCapabilities(SCARD_ATTR_VENDOR_NAME, buf, &len);
    r.Power(IFD_RESET, buf, MAX_ATR_SIZE, &n);
    return 0;
}
