// SPDX-License-Identifier: BSD-3-Clause
// The console's exchange path without its window and without the 10 ms pause
// between commands, against a bare SCardTransmit loop on the same reader in
// the same run. Needs the private pcscd and the simulated reader:
//
//   tests/pcscd/with-private-pcscd.sh <build>/simreader/conf-one <build>/bench/exchange/exchange_bench
//
// (or `ninja run_exchange_bench`). Prints the median time of one exchange of
// each kind and their ratio.
#include <benchmark/benchmark.h>

#include "bench/MedianReporter.h"

#include <PCSC/winscard.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "carddata/HexCodec.h"
#include "carddata/StatusWords.h"
#include "readerlink/ReaderLink.h"
#include "scripts/LogFile.h"

namespace {

constexpr char kCommand[] = "00 A4 04 00";  // answered by 90 00 in the simulated card
constexpr std::uint8_t kCommandBytes[] = {0x00, 0xA4, 0x04, 0x00};

struct Bench {
    CReaderLink link;
    CLogFile log;
    std::string logDir;
    bool ready = false;
};

Bench& Shared() {
    static Bench bench;
    static bool tried = false;
    if (!tried) {
        tried = true;
        DWORD active = 0;
        bench.link.SetMaxReaders(10);
        if (bench.link.EstablishContext(SCARD_SCOPE_USER, nullptr, nullptr) != 0) return bench;
        if (bench.link.ListReaders(nullptr) != 0) return bench;
        if (bench.link.Connect(bench.link.ReaderName(0), SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1,
                               &active) != 0)
            return bench;
        char dir[] = "/tmp/exchange-bench-XXXXXX";
        if (mkdtemp(dir) == nullptr) return bench;
        bench.logDir = dir;
        bench.log.SetDirectory(bench.logDir);
        if (bench.log.OpenLog() != LogFailure::None) return bench;
        bench.ready = true;
    }
    return bench;
}

void BM_BareTransmit(benchmark::State& state) {
    Bench& bench = Shared();
    if (!bench.ready) {
        state.SkipWithError("no card: run under tests/pcscd/with-private-pcscd.sh with conf-one");
        return;
    }
    std::uint8_t receive[512];
    const SCARD_IO_REQUEST sendPci{bench.link.ActiveProtocol(), sizeof(SCARD_IO_REQUEST)};
    for (auto _ : state) {
        DWORD length = sizeof receive;
        const LONG rv = SCardTransmit(bench.link.CardHandle(), &sendPci, kCommandBytes, sizeof kCommandBytes,
                                      nullptr, receive, &length);
        if (rv != SCARD_S_SUCCESS || length != 2) {
            state.SkipWithError("transmit failed");
            break;
        }
        benchmark::DoNotOptimize(receive);
    }
}

// What TransmitCommand does apart from the window: parse, transmit, hex text,
// status word, log record written to the file.
void BM_ExchangePath(benchmark::State& state) {
    Bench& bench = Shared();
    if (!bench.ready) {
        state.SkipWithError("no card: run under tests/pcscd/with-private-pcscd.sh with conf-one");
        return;
    }
    const CHexCodec codec;
    std::uint8_t send[512];
    std::uint8_t receive[512];
    std::string responseText;
    for (auto _ : state) {
        unsigned sendLength = 0;
        codec.HexToBytes(kCommand, send, sizeof send, sendLength);
        DWORD length = sizeof receive;
        if (bench.link.Transmit(send, sendLength, receive, &length) != 0) {
            state.SkipWithError("transmit failed");
            break;
        }
        codec.BytesToHex(length, receive, responseText);
        if (bench.log.WriteRecord("SCardTransmit", kCommand, responseText) != LogFailure::None) {
            state.SkipWithError("log write failed");
            break;
        }
        if (length == 2) responseText = StatusWordText(receive[0], receive[1]);
        benchmark::DoNotOptimize(responseText.data());
    }
}

BENCHMARK(BM_BareTransmit)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(15);
BENCHMARK(BM_ExchangePath)->UseRealTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5)->Repetitions(15);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    Bench& bench = Shared();
    if (bench.ready) {
        bench.log.CloseLog();
        bench.link.Disconnect(SCARD_LEAVE_CARD);
        bench.link.ReleaseContext();
    }
    if (!bench.logDir.empty()) std::system(("rm -rf '" + bench.logDir + "'").c_str());
    const auto bare = reporter.m_medians.find("BM_BareTransmit");
    const auto path = reporter.m_medians.find("BM_ExchangePath");
    if (bare == reporter.m_medians.end() || path == reporter.m_medians.end() || bare->second <= 0) return 1;
    std::printf("median per exchange: bare SCardTransmit %.2f us, exchange path %.2f us, ratio %.3f\n", bare->second,
                path->second, path->second / bare->second);
    benchmark::Shutdown();
    return 0;
}
