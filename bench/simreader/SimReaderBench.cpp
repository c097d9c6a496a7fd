// SPDX-License-Identifier: BSD-3-Clause
// What the simulated reader costs pcscd: loading a scenario when a reader is
// added, and answering a command with and without the trace.
#include <benchmark/benchmark.h>

#include <PCSC/ifdhandler.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "ScenarioParser.h"
#include "SimReader.h"

namespace {

void BM_LoadDemoScenario(benchmark::State& state)
{
    const std::string file = std::string(BENCHKIT_BINARY_DIR) + "/simreader/scenarios/demo.scn";
    for (auto _ : state) {
        simreader::Scenario s;
        std::string error;
        if (!simreader::LoadScenario(file, s, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_LoadDemoScenario);

// The largest scenario accepted: one rule per distinct command prefix.
void BM_ParseRules(benchmark::State& state)
{
    std::string text = "cold-atr => 3B 00\n";
    char line[64];
    for (int i = 0; i < state.range(0); ++i) {
        std::snprintf(line, sizeof line, "apdu 00 B0 %04X => 90 00\n", i);
        text += line;
    }
    for (auto _ : state) {
        simreader::Scenario s;
        std::string error;
        bool ok = simreader::ParseScenario(text, "bench.scn", s, error);
        benchmark::DoNotOptimize(ok);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseRules)->RangeMultiplier(4)->Range(64, 4096)->Complexity();

void BM_Transmit(benchmark::State& state)
{
    const bool traced = state.range(0) != 0;
    char dir[] = "/tmp/simreader-bench-XXXXXX";
    std::string trace = traced ? std::string(mkdtemp(dir)) + "/trace.log" : "";
    std::string text = "cold-atr => 3B 00\n";
    char line[64];
    for (int i = 0; i < 64; ++i) {
        std::snprintf(line, sizeof line, "apdu 00 B0 %04X => AA*16 90 00\n", i);
        text += line;
    }
    simreader::Scenario s;
    std::string error;
    simreader::ParseScenario(text, "bench.scn", s, error);
    simreader::SimReader r(std::move(s), "000000", trace);
    std::uint8_t atr[33];
    std::size_t n = 0;
    r.Power(IFD_POWER_UP, atr, sizeof atr, &n);
    const std::uint8_t apdu[5] = {0x00, 0xB0, 0x00, 0x3F, 0x10};
    std::uint8_t rx[258];
    for (auto _ : state) {
        std::size_t len = sizeof rx;
        benchmark::DoNotOptimize(r.Transmit(apdu, sizeof apdu, rx, &len, nullptr));
    }
    if (traced) {
        std::remove(trace.c_str());
        rmdir(dir);
    }
}
BENCHMARK(BM_Transmit)->Arg(0)->Arg(1)->ArgName("traced");

}  // namespace
