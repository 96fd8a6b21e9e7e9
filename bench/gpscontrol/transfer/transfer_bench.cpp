// A track download of 10 000 points from a newer-family receiver: points per
// second on an unthrottled line, and at 9600 and 115200 baud the time against
// the line's own limit (every byte of both directions at baud / 10 bytes per
// second). Peak memory is the transfer's own: the largest amount its thread
// held allocated at once, next to the whole process's maximum resident size.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <string>

#include "options.h"
#include "simulator.h"
#include "store/kel_data.h"
#include "transfer/transfers.h"

namespace {

// Allocations of the thread that runs the transfer.
thread_local bool tCounting = false;
thread_local long long tCurrent = 0;
thread_local long long tPeak = 0;

void* Allocate(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr)
        throw std::bad_alloc();
    if (tCounting) {
        tCurrent += static_cast<long long>(malloc_usable_size(p));
        if (tCurrent > tPeak)
            tPeak = tCurrent;
    }
    return p;
}

void Free(void* p) {
    if (p == nullptr)
        return;
    if (tCounting)
        tCurrent -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}

}  // namespace

void* operator new(std::size_t n) {
    return Allocate(n);
}
void* operator new[](std::size_t n) {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    Free(p);
}
void operator delete[](void* p) noexcept {
    Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Free(p);
}

namespace {

constexpr int kPoints = 10000;

gpssim::DataSet LongTrack() {
    gpssim::DataSet d;
    gpssim::SimTrack t{"ACTIVE LOG", {}};
    t.points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        gpssim::SimTrackPoint p;
        p.latitude = 35.0 + i * 1e-5;
        p.longitude = 139.0 - i * 1e-5;
        p.time = 400000000u + static_cast<std::uint32_t>(i);
        p.altitude = 10.0f + static_cast<float>(i % 100);
        p.newSegment = i % 2500 == 0;
        t.points.push_back(p);
    }
    d.tracks.push_back(std::move(t));
    return d;
}

struct Run {
    bool ok = false;
    double seconds = 0.0;
    std::uint64_t lineBytes = 0;
    long long peakBytes = 0;
};

Run DownloadOnce(std::uint32_t baud) {
    gpssim::Options options;
    options.profile = gpssim::ProfileForProduct(130);
    options.data = LongTrack();
    options.baud = baud;
    gpssim::Simulator sim(options);
    Run r;
    if (!sim.Start())
        return r;
    ::setenv("SORVANE_COM9", sim.slavePath().c_str(), 1);
    sorvane::KelData store;
    store.SetProductID(130);
    sorvane::PortSettings port;
    port.port = 9;
    const sorvane::TransferContext ctx{store, port, nullptr, 2000};

    tCurrent = tPeak = 0;
    tCounting = true;
    const auto start = std::chrono::steady_clock::now();
    const int result = sorvane::DownloadTrack(ctx);
    const auto end = std::chrono::steady_clock::now();
    tCounting = false;
    r.peakBytes = tPeak;
    // The last acknowledgement is still on its way to the receiver.
    sim.WaitForReceived(kPoints + 5, std::chrono::seconds(10));
    const gpssim::SimulatorStats stats = sim.Stats();
    r.lineBytes = stats.bytesRead + stats.bytesWritten;
    r.seconds = std::chrono::duration<double>(end - start).count();
    r.ok = result == 1 && store.GetTrackDataCount(0) == kPoints;
    return r;
}

double MaxResidentMiB() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_DownloadTrack10000Unthrottled(benchmark::State& state) {
    Run last;
    for (auto _ : state) {
        last = DownloadOnce(0);
        if (!last.ok) {
            state.SkipWithError("download failed");
            return;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["points_per_s"] =
        benchmark::Counter(static_cast<double>(kPoints) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["transfer_peak_MiB"] = static_cast<double>(last.peakBytes) / (1024.0 * 1024.0);
    state.counters["process_maxrss_MiB"] = MaxResidentMiB();
}
BENCHMARK(BM_DownloadTrack10000Unthrottled)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_DownloadTrack10000Throttled(benchmark::State& state) {
    const auto baud = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        const Run r = DownloadOnce(baud);
        if (!r.ok) {
            state.SkipWithError("download failed");
            return;
        }
        state.SetIterationTime(r.seconds);
        const double limit = static_cast<double>(r.lineBytes) * 10.0 / baud;
        state.counters["elapsed_s"] = r.seconds;
        state.counters["line_limit_s"] = limit;
        state.counters["ratio_to_limit"] = r.seconds / limit;
        state.counters["line_bytes"] = static_cast<double>(r.lineBytes);
        state.counters["points_per_s"] = kPoints / r.seconds;
        state.counters["transfer_peak_MiB"] = static_cast<double>(r.peakBytes) / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_DownloadTrack10000Throttled)
    ->Arg(115200)
    ->Arg(9600)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
