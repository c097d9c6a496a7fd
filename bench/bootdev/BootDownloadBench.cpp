// SPDX-License-Identifier: BSD-3-Clause
// Host cost of a firmware download: a 1 MiB image to the zero-latency
// simulated boot loader, so only our own work is measured. Reports the time
// per block (median of the repetitions) and, before the benchmarks, how far
// one library download raises the heap and the resident set.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "bootdev/BootDevice.h"
#include "bootdev/BootIds.h"
#include "bootdev/sim/SimBootLoader.h"
#include "readerctl/tool/ReaderCtlTool.h"
#include "readerctl/tool/SimBusWatch.h"

namespace {

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_peak{0};

constexpr std::size_t kImageSize = 1u << 20;
constexpr std::size_t kBlocks = kImageSize / 256;
constexpr std::uint16_t kVendor = 0x1209;
constexpr BootDevice::ProductIds kProducts = {1, 2, 3, 4};

struct Bench {
    SimHidBus bus;
    SimBootLoader* reader;
    BootDevice device;
    Bench() : reader(nullptr), device(bus, BootPolicy::Library, kVendor, kProducts) {
        SimBootLoaderConfig config;
        config.vendorId = kVendor;
        config.productIds = kProducts;
        config.mode = SimMode::Boot;
        reader = &bus.AddBootLoader(config);
        reader->KeepFrames(false);  // keep the device side out of the memory figure
        reader->KeepImage(false);
    }
};

std::vector<std::uint8_t> MakeImage() {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 31 + 7);
    return image;
}

std::string ImageFile() {
    static const std::string path = [] {
        std::string p = "/tmp/bootdev_bench_image_" + std::to_string(::getpid()) + ".bin";
        // Written in small pieces so that making it does not raise the
        // resident-set high-water mark measured below.
        std::FILE* f = std::fopen(p.c_str(), "wb");
        if (f != nullptr) {
            std::uint8_t chunk[4096];
            for (std::size_t at = 0; at < kImageSize; at += sizeof chunk) {
                for (std::size_t i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<std::uint8_t>((at + i) * 31 + 7);
                std::fwrite(chunk, 1, sizeof chunk, f);
            }
            std::fclose(f);
        }
        return p;
    }();
    return path;
}

long MaxRssKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Time per block of a 1 MiB image, shown beside the total.
void CountPerBlock(benchmark::State& state) {
    state.counters["per_block"] =
        benchmark::Counter(static_cast<double>(kBlocks), benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
}

// The blocks alone: image already in memory.
void BM_SendImage1MiB(benchmark::State& state) {
    Bench bench;
    const std::vector<std::uint8_t> image = MakeImage();
    for (auto _ : state) {
        state.PauseTiming();
        bench.device.StartDownload();
        state.ResumeTiming();
        if (bench.device.SendImage(image.data(), image.size()) != DownloadResult::Ok) state.SkipWithError("refused");
    }
    CountPerBlock(state);
}
BENCHMARK(BM_SendImage1MiB)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The library's whole Download: discovery, file read, blocks.
void BM_LibraryDownloadFile1MiB(benchmark::State& state) {
    Bench bench;
    const std::string path = ImageFile();
    for (auto _ : state) {
        state.PauseTiming();
        bench.device.StartDownload();
        state.ResumeTiming();
        if (bench.device.Download(path) != DownloadResult::Ok) state.SkipWithError("refused");
    }
    CountPerBlock(state);
}
BENCHMARK(BM_LibraryDownloadFile1MiB)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The floor: the same 4096 data-packet frames written and answered on the
// open connection, with nothing of ours around them.
void BM_BareTransfers1MiB(benchmark::State& state) {
    Bench bench;
    std::unique_ptr<HidConnection> connection = bench.bus.Open(bench.reader->Path());
    std::uint8_t frame[bootproto::kReportBufferSize] = {};
    std::uint8_t answer[bootproto::kReportBufferSize] = {};
    const std::size_t length = bench.reader->FeatureReportLength();
    bootproto::BuildRequest(frame, bootproto::Header::Download, bootproto::kStartDownload, nullptr, 0);
    connection->WriteFeature(frame, length);
    connection->ReadFeature(answer, length);
    bootproto::BuildRequest(frame, bootproto::Header::Download, bootproto::kDataPacket, nullptr,
                            sizeof(bootproto::DataPacketPayload));
    for (auto _ : state) {
        for (std::uint32_t block = 0; block < kBlocks; ++block) {
            bootproto::PutLe32(frame + bootproto::kRequestPayloadOffset, block);
            if (!connection->WriteFeature(frame, length) || connection->ReadFeature(answer, length) < 0)
                state.SkipWithError("transfer failed");
        }
    }
    CountPerBlock(state);
}
BENCHMARK(BM_BareTransfers1MiB)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// The readerctl program's whole download of a 1 MiB image file to a reader
// in its application: file check, start, reset into the boot loader and the
// wait for it, the blocks, the end, the wait for the restart, the version.
void BM_ToolDownload1MiB(benchmark::State& state) {
    SimHidBus bus;
    SimBootLoaderConfig config;
    config.vendorId = kBootVendorId;
    config.productIds = kBootProductIds;
    SimBootLoader& reader = bus.AddBootLoader(config);
    reader.KeepFrames(false);
    reader.KeepImage(false);
    SimBusWatch watch(bus);
    ToolOptions options;
    options.command = ToolCommand::Download;
    options.imagePath = ImageFile();
    std::ostringstream out, err;
    for (auto _ : state) {
        out.str({});
        ToolReport report(out, err, false, false);
        ReaderCtlTool tool(options, bus, watch, report);
        if (tool.Run() != kToolOk) state.SkipWithError(err.str().c_str());
    }
    CountPerBlock(state);
}
BENCHMARK(BM_ToolDownload1MiB)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// One library download in a fresh process: how far the heap and the
// resident set rise above where they stood before it.
void MeasurePeakMemory() {
    const std::string path = ImageFile();
    Bench bench;
    bench.device.StartDownload();
    const std::size_t heapBefore = g_live.load();
    g_peak = heapBefore;
    const long rssBefore = MaxRssKib();
    const bool ok = bench.device.Download(path) == DownloadResult::Ok;
    std::printf("peak memory of one 1 MiB library download%s: heap +%.1f KiB, max resident set +%ld KiB\n",
                ok ? "" : " (REFUSED)", static_cast<double>(g_peak.load() - heapBefore) / 1024.0,
                MaxRssKib() - rssBefore);
}

}  // namespace

// Heap accounting for the memory figure, by the allocator's own block sizes.
// This new and delete pair malloc with free, which GCC cannot see.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    const std::size_t live = g_live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
    return p;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    g_live.fetch_sub(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

int main(int argc, char** argv) {
    MeasurePeakMemory();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(ImageFile().c_str());
    return 0;
}
