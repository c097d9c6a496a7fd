// SPDX-License-Identifier: BSD-3-Clause
// What the pacing of the players costs: the 10 ms wait (how long it really
// takes and how much processor it uses), the pump with nothing waiting, and
// the mask work of a full command field.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTimer>
#include <string>

#include "carddata/MaskData.h"
#include "widgets/MessagePump.h"

namespace {

void BM_DelayMs(benchmark::State& state) {
    const int ms = static_cast<int>(state.range(0));
    for (auto _ : state) DelayMs(ms);
}
// Real time against processor time shows whether the wait burns a core.
BENCHMARK(BM_DelayMs)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

void BM_PumpIdle(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(PumpMessages());
}
BENCHMARK(BM_PumpIdle)->Unit(benchmark::kMicrosecond);

void BM_PumpTenEvents(benchmark::State& state) {
    int ran = 0;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) QTimer::singleShot(0, [&ran] { ++ran; });
        PumpMessages();
    }
    state.counters["events"] = benchmark::Counter(ran, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PumpTenEvents)->Unit(benchmark::kMicrosecond);

void BM_PasteFullCommandField(benchmark::State& state) {
    CMaskData mask(MakeHexMask(COMMAND_MASK_GROUPS));
    std::string text;
    for (int i = 0; i < COMMAND_MASK_GROUPS; ++i) text += "A5 ";
    for (auto _ : state) {
        mask.Clear();
        benchmark::DoNotOptimize(mask.Paste(0, text));
    }
}
BENCHMARK(BM_PasteFullCommandField)->Unit(benchmark::kMicrosecond);

void BM_SetTextFullCommandField(benchmark::State& state) {
    CMaskData mask(MakeHexMask(COMMAND_MASK_GROUPS));
    mask.Paste(0, std::string(2 * COMMAND_MASK_GROUPS, 'F'));
    const std::string shown = mask.Text();
    for (auto _ : state) mask.SetText(shown);
}
BENCHMARK(BM_SetTextFullCommandField)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
