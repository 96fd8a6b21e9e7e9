// Throughput of the data files for a store of one million track points:
// native file write and read (through the file system, and in memory), and
// the map server script writer and reader.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "data/map_server_script.h"
#include "data/native_file.h"
#include "data/safe_file.h"

namespace {

constexpr int kPoints = 1000000;

const tobrel::TobrelFile& BigStore() {
    static tobrel::TobrelFile store = [] {
        tobrel::TobrelFile s;
        s.AddTracks(10);
        for (int t = 0; t < 10; ++t) {
            s.SetTrackName(t, ("TRACK-" + std::to_string(t)).c_str());
            s.SetTrackPointCount(t, kPoints / 10);
            for (int i = 0; i < kPoints / 10; ++i) {
                s.SetTrackPoint(t, i, 1 + i / 20000, 35.0 + i * 1e-5, 139.0 + t * 0.01 + i * 1e-5,
                                i % 700);
                s.SetTrackPointTime(t, i, 1000000000u + i);
            }
            s.SetTrackSegmentCount(t, 5);
            s.RecalcTrack(t, 0.0);
        }
        const int first = s.AddWaypoints(1000);
        for (int i = 0; i < 1000; ++i)
            s.SetWaypoint(first + i, ("WP" + std::to_string(i)).c_str(), "", 35 + i * 1e-3, 139, 0,
                          0, 18, 0);
        return s;
    }();
    return store;
}

const std::string& Folder() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/tobrel_bench_XXXXXX";
        const char* made = ::mkdtemp(pattern);
        return std::string(made != nullptr ? made : "/tmp");
    }();
    return dir;
}

std::size_t FileSize(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    tobrel::ReadWholeFile(path, bytes);
    return bytes.size();
}

// Bytes of the file and track points handled per second.
void SetFileRates(benchmark::State& state, std::size_t fileBytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
    state.counters["points/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kPoints, benchmark::Counter::kIsRate);
}

void BM_NativeWriteFile(benchmark::State& state) {
    const auto& store = BigStore();
    const std::string path = Folder() + "/bench.tb2";
    for (auto _ : state) {
        if (!tobrel::WriteNativeFile(store, path))
            state.SkipWithError("write failed");
    }
    SetFileRates(state, FileSize(path));
}
BENCHMARK(BM_NativeWriteFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NativeReadFile(benchmark::State& state) {
    const std::string path = Folder() + "/bench.tb2";
    if (!tobrel::WriteNativeFile(BigStore(), path))
        state.SkipWithError("write failed");
    const std::size_t fileBytes = FileSize(path);
    for (auto _ : state) {
        tobrel::TobrelFile store;
        if (!tobrel::ReadNativeFile(store, path))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(store.GetTrackPointCount(9));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
}
BENCHMARK(BM_NativeReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NativeEncode(benchmark::State& state) {
    std::vector<std::uint8_t> bytes;
    for (auto _ : state) {
        tobrel::EncodeNativeFile(BigStore(), bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_NativeEncode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_NativeDecode(benchmark::State& state) {
    std::vector<std::uint8_t> bytes;
    tobrel::EncodeNativeFile(BigStore(), bytes);
    for (auto _ : state) {
        tobrel::TobrelFile store;
        tobrel::ReadNativeFile(store, std::span<const std::uint8_t>(bytes));
        benchmark::DoNotOptimize(store.GetTrackPointCount(9));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_NativeDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScriptWriteFile(benchmark::State& state) {
    const std::string path = Folder() + "/bench.mps";
    for (auto _ : state) {
        if (!tobrel::WriteMapServerScript(BigStore(), path, true, true, true, nullptr, 0, 2))
            state.SkipWithError("write failed");
    }
    SetFileRates(state, FileSize(path));
}
BENCHMARK(BM_ScriptWriteFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScriptReadFile(benchmark::State& state) {
    const std::string path = Folder() + "/bench.mps";
    if (!tobrel::WriteMapServerScript(BigStore(), path, true, true, true, nullptr, 0, 2))
        state.SkipWithError("write failed");
    const std::size_t fileBytes = FileSize(path);
    for (auto _ : state) {
        tobrel::TobrelFile store;
        tobrel::ReadMapServerScript(store, path, tobrel::kReadLines);
        tobrel::ReadMapServerScript(store, path, tobrel::kReadPoints);
        benchmark::DoNotOptimize(store.GetTrackCount());
    }
    SetFileRates(state, fileBytes);
}
BENCHMARK(BM_ScriptReadFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + Folder() + "'").c_str());
    return 0;
}
