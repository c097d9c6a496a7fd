// SPDX-License-Identifier: BSD-3-Clause
// A 1,000-command play through the console's window (PlayCommandFile: each
// command one TransmitCommand with its 10 ms pace) against the simulated
// reader, beside the least such a play can take: 1,000 times a 10 ms wait
// and a bare SCardTransmit. Run under the private pcscd (conf-one):
//
//   ninja run_scripts_play_bench
//
// Prints the median of each and their ratio.
#include <benchmark/benchmark.h>

#include "bench/BenchReader.h"
#include "bench/MedianReporter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>

#include <PCSC/winscard.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "console/ConsoleDlg.h"
#include "readerlink/ReaderLink.h"
#include "scripts/CommandFileDlg.h"
#include "widgets/KitImages.h"
#include "widgets/MessagePump.h"

namespace {

constexpr int kCommands = 1000;
constexpr int kPaceMs = 10;
constexpr std::uint8_t kCommandBytes[] = {0x00, 0xA4, 0x04};  // and a varying P2: 90 00 or 6D 00 from the simulated card

QAbstractButton* Button(CConsoleDlg& dlg, int id) { return qobject_cast<QAbstractButton*>(dlg.Control(id)); }

void BM_PacedBareTransmit(benchmark::State& state) {
    CReaderLink link;
    if (!ConnectFirstReader(link)) {
        state.SkipWithError(kNoCardText);
        return;
    }
    const SCARD_IO_REQUEST sendPci{link.ActiveProtocol(), sizeof(SCARD_IO_REQUEST)};
    std::uint8_t receive[512];
    for (auto _ : state) {
        for (int i = 0; i < kCommands; ++i) {
            DWORD length = sizeof receive;
            const std::uint8_t command[] = {kCommandBytes[0], kCommandBytes[1], kCommandBytes[2],
                                            static_cast<std::uint8_t>(i & 0xFF)};
            if (SCardTransmit(link.CardHandle(), &sendPci, command, sizeof command, nullptr, receive,
                              &length) != SCARD_S_SUCCESS) {
                state.SkipWithError("transmit failed");
                break;
            }
            DelayMs(kPaceMs);
        }
    }
    link.Disconnect(SCARD_LEAVE_CARD);
    link.ReleaseContext();
}

void BM_WindowPlay(benchmark::State& state) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/scripts-play-XXXXXX";
    if (!mkdtemp(pattern)) return;
    const fs::path dir = pattern;
    const fs::path old = fs::current_path();
    {
        std::ofstream out(dir / "Tav_PCSC.phb", std::ios::binary);
        out << "[Command]\r\n";
        // Each command differs from the one before, as in a real file: the field is redrawn every time.
        char line[48];
        for (int i = 0; i < kCommands; ++i) {
            std::snprintf(line, sizeof line, "C%d = 00 A4 04 %02X \r\n", 1000 + i, i & 0xFF);
            out << line;
        }
    }
    fs::current_path(dir);
    {
        CConsoleDlg dlg;
        dlg.show();
        Button(dlg, 1000)->click();  // SCardEstablishContext
        Button(dlg, 1003)->click();  // SCardConnect
        CCommandFileDlg* window = dlg.CommandFileWindow();
        // Choosing a command fills the command field, which enables the player's controls.
        auto* names = window->findChild<QListWidget*>(QStringLiteral("1017"));
        names->setCurrentRow(1);
        names->setCurrentRow(0);
        Button(dlg, 1055)->click();  // Play Commands
        if (!Button(dlg, 1058)->isEnabled() || !dlg.PlayCommands() || window->List().Size() != kCommands) {
            state.SkipWithError("no card: run under tests/pcscd/with-private-pcscd.sh with conf-one");
        } else {
            for (auto _ : state) {
                PlayPosition start = window->Position();
                start.selected = 0;
                start.loopCount = 1;
                window->SetPosition(start, true);
                Button(dlg, 1058)->click();  // SCardTransmit: one lap of the file
                if (dlg.Session().LastResult() != 0 || window->SelectedIndex() != kCommands - 1) {
                    state.SkipWithError("the play stopped early");
                    break;
                }
            }
        }
        dlg.reject();
    }
    fs::current_path(old);
    fs::remove_all(dir);
}

// The command-file window made for a 10,000-command file (read, parse, sort,
// both list boxes filled), and its save.
std::string BigFile() {
    namespace fs = std::filesystem;
    static const std::string path = [] {
        char pattern[] = "/tmp/scripts-window-XXXXXX";
        const fs::path file = fs::path(mkdtemp(pattern) ? pattern : "/tmp") / "big.phb";
        std::ofstream out(file, std::ios::binary);
        out << "[Command]\r\n";
        for (int i = 0; i < 10000; ++i) out << "CMD" << (i * 7919) % 10007 << "_" << i << " = 00 A4 04 00 0" << i % 8 << " \r\n";
        return file.string();
    }();
    return path;
}

void BM_WindowLoad10000(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<CCommandFileDlg>(BigFile(), "big.phb");
        window->Start();
        if (window->List().Size() != 10000) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();  // closing the window is not loading it
        window.reset();
        state.ResumeTiming();
    }
}

void BM_WindowSave10000(benchmark::State& state) {
    CCommandFileDlg window(BigFile(), "big.phb");
    window.Start();
    for (auto _ : state) {
        if (window.SaveCommandFile() != FileFailure::None) {
            state.SkipWithError("save failed");
            break;
        }
    }
}

BENCHMARK(BM_WindowLoad10000)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_WindowSave10000)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_PacedBareTransmit)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_WindowPlay)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitKitResources();
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto bare = reporter.m_medians.find("BM_PacedBareTransmit");
    const auto play = reporter.m_medians.find("BM_WindowPlay");
    if (bare == reporter.m_medians.end() || play == reporter.m_medians.end() || bare->second <= 0) return 1;
    std::printf("median of %d commands: 10 ms + bare SCardTransmit %.1f ms, window play %.1f ms, ratio %.4f\n",
                kCommands, bare->second, play->second, play->second / bare->second);
    return 0;
}
