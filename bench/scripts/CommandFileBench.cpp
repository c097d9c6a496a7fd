// SPDX-License-Identifier: BSD-3-Clause
// Loading and saving command files of 1,000 to 100,000 commands, as the
// command-file window does: read the file, parse, sort; write it back
// through a temporary file and a rename. Google Benchmark fits the growth.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "scripts/CommandFile.h"

namespace {

std::string Directory() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/scripts-bench-XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return dir;
}

// n commands with names in no particular order and texts as the command field stores them.
std::string FileOf(std::int64_t n) {
    std::string text = "[Command]\r\n";
    unsigned seed = 12345;
    char line[96];
    for (std::int64_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::snprintf(line, sizeof line, "CMD_%08X_%lld = 00 A4 04 00 0%u %02X %02X \r\n", seed,
                      static_cast<long long>(i), static_cast<unsigned>(i % 8), static_cast<unsigned>(i & 0xFF),
                      seed >> 24);
        text += line;
    }
    return text;
}

std::string WriteSample(std::int64_t n) {
    const std::string path = Directory() + "/sample-" + std::to_string(n) + ".phb";
    FILE* out = std::fopen(path.c_str(), "wb");
    const std::string text = FileOf(n);
    if (out) {
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
    return path;
}

void BM_LoadCommandFile(benchmark::State& state) {
    const std::string path = WriteSample(state.range(0));
    for (auto _ : state) {
        CCommandList list;
        if (list.Load(path) != FileFailure::None || list.Size() != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(list.Entries().data());
    }
    state.SetComplexityN(state.range(0));
}

void BM_SaveCommandFile(benchmark::State& state) {
    CCommandList list;
    if (list.Load(WriteSample(state.range(0))) != FileFailure::None) {
        state.SkipWithError("load failed");
        return;
    }
    const std::string path = Directory() + "/saved.phb";
    for (auto _ : state) {
        if (list.Save(path) != FileFailure::None) {
            state.SkipWithError("save failed");
            break;
        }
    }
    state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_LoadCommandFile)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);
BENCHMARK(BM_SaveCommandFile)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + Directory() + "'").c_str());
    return 0;
}
