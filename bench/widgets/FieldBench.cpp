// SPDX-License-Identifier: BSD-3-Clause
// What one step of a play costs the command field on the screen: a short
// command put into the shown 260-group field, then the pump that paints it.
// Two texts that differ in one group alternate, as the commands of a file do.
//
//   QT_QPA_PLATFORM=offscreen build/bench/widgets/widgets_field_bench
#include <benchmark/benchmark.h>

#include <QApplication>

#include "carddata/MaskData.h"
#include "widgets/MaskedEdit.h"
#include "widgets/MessagePump.h"

namespace {

void BM_ShownFieldSetText(benchmark::State& state) {
    CMaskedEdit field;
    field.resize(300, 60);
    field.SetHexGroups(COMMAND_MASK_GROUPS);
    field.show();
    PumpMessages();
    const char* texts[] = {"00 A4 04 00", "00 A4 04 01"};
    int i = 0;
    for (auto _ : state) {
        field.SetText(texts[i++ & 1]);
        PumpMessages();
    }
}
BENCHMARK(BM_ShownFieldSetText)->Unit(benchmark::kMicrosecond);

// The same text again changes nothing on the screen.
void BM_ShownFieldSameText(benchmark::State& state) {
    CMaskedEdit field;
    field.resize(300, 60);
    field.SetHexGroups(COMMAND_MASK_GROUPS);
    field.show();
    field.SetText("00 A4 04 00");
    PumpMessages();
    for (auto _ : state) {
        field.SetText("00 A4 04 00");
        PumpMessages();
    }
}
BENCHMARK(BM_ShownFieldSameText)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
