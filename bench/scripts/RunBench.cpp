// SPDX-License-Identifier: BSD-3-Clause
// cardbench-run over 1,000 commands against the simulated reader, beside a
// bare SCardTransmit loop of the same commands and beside scriptor (Debian's
// pcsc-tools) given the same commands, all in one run under a private pcscd
// holding two simulated readers (conf-run-pair):
//
//   ninja run_scripts_run_bench
//
// The runner times every exchange and writes JSON; it is measured in the
// process (RunCommandFile, output discarded), as the program (process start,
// connect and all), and on both readers at once (--all-readers) beside one.
// Prints the medians and the ratios.
#include <benchmark/benchmark.h>

#include "bench/BenchReader.h"
#include "bench/MedianReporter.h"

#include <PCSC/winscard.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "readerlink/ReaderLink.h"
#include "scripts/CommandRun.h"

namespace {

namespace fs = std::filesystem;

constexpr int kCommands = 1000;
constexpr std::uint8_t kCommandBytes[] = {0x00, 0xA4, 0x04, 0x00};  // answered 90 00 by the simulated card

struct Files {
    fs::path dir;
    fs::path phb;
    fs::path one;  // one command: the run's fixed cost (context, listing, connect)
    fs::path scriptor;
};

const Files& Shared() {
    static const Files files = [] {
        Files f;
        char pattern[] = "/tmp/scripts-run-bench-XXXXXX";
        f.dir = mkdtemp(pattern) ? pattern : "/tmp";
        f.phb = f.dir / "bench.phb";
        f.scriptor = f.dir / "bench.txt";
        f.one = f.dir / "one.phb";
        std::ofstream(f.one, std::ios::binary) << "[Command]\r\nC = 00 A4 04 00 \r\n";
        std::ofstream phb(f.phb, std::ios::binary);
        std::ofstream txt(f.scriptor, std::ios::binary);
        phb << "[Command]\r\n";
        for (int i = 0; i < kCommands; ++i) {
            phb << "C" << 1000 + i << " = 00 A4 04 00 \r\n";
            txt << "00 A4 04 00\n";
        }
        return f;
    }();
    return files;
}

std::string ReaderName() {
    CReaderLink link;
    link.SetMaxReaders(kReaderSlots);
    if (link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr) != 0 || link.ListReaders(nullptr) != 0) return {};
    std::string name = link.ReaderName(0);
    link.ReleaseContext();
    return name;
}

void BM_BareTransmit1000(benchmark::State& state) {
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
            if (SCardTransmit(link.CardHandle(), &sendPci, kCommandBytes, sizeof kCommandBytes, nullptr, receive,
                              &length) != SCARD_S_SUCCESS) {
                state.SkipWithError("transmit failed");
                break;
            }
        }
    }
    link.Disconnect(SCARD_LEAVE_CARD);
    link.ReleaseContext();
}

void BM_RunnerInProcess1000(benchmark::State& state) {
    RunOptions options;
    options.file = state.range(0) == 0 ? Shared().one.string() : Shared().phb.string();
    options.shareMode = SCARD_SHARE_SHARED;
    options.json = true;
    options.allReaders = state.range(0) == 2;
    std::ofstream discard("/dev/null");
    std::ofstream errors("/dev/null");
    for (auto _ : state) {
        if (RunCommandFile(options, discard, errors) != kRunOk) {
            state.SkipWithError("the run failed: run under tests/pcscd/with-private-pcscd.sh with conf-one");
            break;
        }
    }
}

int System(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

void BM_RunnerProgram1000(benchmark::State& state) {
    const std::string command = "'" + std::string(BENCHKIT_RUNNER) + "' --json --share shared '" +
                                Shared().phb.string() + "' >/dev/null";
    for (auto _ : state) {
        if (System(command) != 0) {
            state.SkipWithError("cardbench-run failed");
            break;
        }
    }
}

void BM_Scriptor1000(benchmark::State& state) {
    const std::string command =
        "scriptor -r '" + ReaderName() + "' '" + Shared().scriptor.string() + "' >/dev/null 2>&1";
    if (System("command -v scriptor >/dev/null") != 0) {
        state.SkipWithError("scriptor not installed (Debian package pcsc-tools)");
        return;
    }
    for (auto _ : state) {
        if (System(command) != 0) {
            state.SkipWithError("scriptor failed");
            break;
        }
    }
}

BENCHMARK(BM_BareTransmit1000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
// Argument: readers at once (1: the first; 2: --all-readers); 0: the first
// reader and a file of one command, the cost of a run before its exchanges.
BENCHMARK(BM_RunnerInProcess1000)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_RunnerProgram1000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(5);
BENCHMARK(BM_Scriptor1000)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    fs::remove_all(Shared().dir);
    auto median = [&](const char* name) {
        const auto it = reporter.m_medians.find(name);
        return it == reporter.m_medians.end() ? 0.0 : it->second;
    };
    const double bare = median("BM_BareTransmit1000");
    if (bare <= 0) return 1;
    const double one = median("BM_RunnerInProcess1000/1");
    const double fixed = median("BM_RunnerInProcess1000/0");
    std::printf("per exchange, without the run's fixed %.2f ms (context, listing, connect): cardbench-run %.1f us, "
                "bare SCardTransmit %.1f us (ratio %.3f)\n",
                fixed, (one - fixed) / (kCommands - 1) * 1000, bare / kCommands * 1000,
                (one - fixed) / (kCommands - 1) / (bare / kCommands));
    std::printf("median of %d commands, timed, JSON out: bare SCardTransmit %.1f ms, cardbench-run in process %.1f ms "
                "(ratio %.3f), as a program %.1f ms (ratio %.3f), scriptor %.1f ms (ratio %.3f); on two readers at once "
                "%.1f ms (ratio %.3f to one reader)\n",
                kCommands, bare, one, one / bare, median("BM_RunnerProgram1000"), median("BM_RunnerProgram1000") / bare,
                median("BM_Scriptor1000"), median("BM_Scriptor1000") / bare, median("BM_RunnerInProcess1000/2"),
                median("BM_RunnerInProcess1000/2") / one);
    return 0;
}
