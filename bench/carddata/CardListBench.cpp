// SPDX-License-Identifier: BSD-3-Clause
// The card list as the console uses it: the system list read and parsed
// once (wanted under 20 ms), then one lookup per status-tree fill (wanted
// under 5 us), for a card the list knows, one it does not, and one that only
// its wildcard and open-ended entries can meet.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "carddata/AtrSoundness.h"
#include "carddata/CardList.h"

namespace {

std::string ReadSystemList() {
    std::ifstream file(kSystemCardListPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void BM_LoadSystemList(benchmark::State& state) {
    for (auto _ : state) {
        CCardList list{std::string(kSystemCardListPath)};
        if (!list.IsAvailable()) {
            state.SkipWithError("the system card list is not installed");
            return;
        }
        benchmark::DoNotOptimize(list.EntryCount());
    }
}
BENCHMARK(BM_LoadSystemList)->Unit(benchmark::kMillisecond);

void BM_ParseSystemListText(benchmark::State& state) {
    const std::string text = ReadSystemList();
    if (text.empty()) {
        state.SkipWithError("the system card list is not installed");
        return;
    }
    for (auto _ : state) {
        CCardList list = CCardList::FromText(text);
        benchmark::DoNotOptimize(list.EntryCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseSystemListText)->Unit(benchmark::kMillisecond);

const std::vector<std::vector<std::uint8_t>> kAtrs = {
    // Named by the list (a T=0 bank card).
    {0x3B, 0x02, 0x14, 0x50},
    // The demo card: not in the list.
    {0x3B, 0x88, 0x80, 0x01, 0x54, 0x41, 0x56, 0x20, 0x44, 0x45, 0x4D, 0x4F, 0x69},
    // A long T=15 ATR of a common length: many candidates by length.
    {0x3B, 0x9F, 0x96, 0x80, 0x1F, 0xC7, 0x80, 0x31, 0xE0, 0x73, 0xFE, 0x21,
     0x1B, 0x63, 0x3A, 0x20, 0x4E, 0x83, 0x00, 0x90, 0x00, 0x93},
};

void BM_Lookup(benchmark::State& state) {
    CCardList list{std::string(kSystemCardListPath)};
    if (!list.IsAvailable()) {
        state.SkipWithError("the system card list is not installed");
        return;
    }
    const auto& atr = kAtrs[static_cast<std::size_t>(state.range(0))];
    std::size_t found = 0;
    for (auto _ : state) {
        const auto names = list.Lookup(atr.data(), atr.size());
        found = names.size();
        benchmark::DoNotOptimize(names.data());
    }
    state.counters["names"] = static_cast<double>(found);
}
BENCHMARK(BM_Lookup)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_Soundness(benchmark::State& state) {
    const auto& atr = kAtrs[2];
    for (auto _ : state) benchmark::DoNotOptimize(AtrSoundnessNode(atr.data(), atr.size()));
}
BENCHMARK(BM_Soundness)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
