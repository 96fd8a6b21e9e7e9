// Throughput of the data files for a store of one million track points in
// ten tracks: native file write and read (through the file system, and in
// memory), the map server script writer and reader, and GPX writing and
// reading in WGS 84 and in Tokyo, with the reader's peak memory measured in a
// fresh process. Goals for GPX: read under 1 s, write under 0.7 s, peak memory
// under 2.5 times the store's own size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/gpx_file.h"
#include "data/map_server_script.h"
#include "data/native_file.h"
#include "data/safe_file.h"
#include "geodesy/map_datum.h"

namespace {

constexpr int kPoints = 1000000;

// A position as a download gives it: a whole number of wire units.
double WireDegrees(double degrees) {
    return std::round(degrees * 11930464.711111112) * 8.381903171539307e-8;
}

const tobrel::TobrelFile& BigStore() {
    static tobrel::TobrelFile store = [] {
        tobrel::TobrelFile s;
        s.AddTracks(10);
        for (int t = 0; t < 10; ++t) {
            s.SetTrackName(t, ("TRACK-" + std::to_string(t)).c_str());
            s.SetTrackPointCount(t, kPoints / 10);
            for (int i = 0; i < kPoints / 10; ++i) {
                s.SetTrackPoint(t, i, 1 + i / 20000, WireDegrees(35.0 + i * 1e-5),
                                WireDegrees(139.0 + t * 0.01 + i * 1e-5), (i % 7000) * 0.1);
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

// ---- GPX ------------------------------------------------------------------------

const sorvane::DatumShift& Tokyo() {
    static const sorvane::DatumShift shift = sorvane::MapDatum("Tokyo").selectedShift();
    return shift;
}

tobrel::GpxOptions GpxOptionsFor(bool tokyo) {
    return tobrel::GpxOptions(tokyo ? Tokyo() : sorvane::DatumShift{});
}

// The file every GPX read works on: the big store written in WGS 84.
const std::string& GpxFile() {
    static const std::string path = [] {
        const std::string p = Folder() + "/bench.gpx";
        if (!tobrel::WriteGpx(p, BigStore(), GpxOptionsFor(false)))
            std::fprintf(stderr, "could not write %s\n", p.c_str());
        return p;
    }();
    return path;
}

void BM_GpxWriteFile(benchmark::State& state) {
    const auto options = GpxOptionsFor(state.range(0) != 0);
    const auto& store = BigStore();
    const std::string path = Folder() + "/written.gpx";
    for (auto _ : state) {
        if (!tobrel::WriteGpx(path, store, options))
            state.SkipWithError("write failed");
    }
    SetFileRates(state, FileSize(path));
    state.SetLabel(state.range(0) != 0 ? "Tokyo" : "WGS 84");
}
BENCHMARK(BM_GpxWriteFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GpxReadFile(benchmark::State& state) {
    const auto options = GpxOptionsFor(state.range(0) != 0);
    const std::string& path = GpxFile();
    for (auto _ : state) {
        tobrel::TobrelFile store;
        if (!tobrel::ReadGpx(path, options, store))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(store.GetTrackPointCount(9));
    }
    SetFileRates(state, FileSize(path));
    state.SetLabel(state.range(0) != 0 ? "Tokyo" : "WGS 84");
}
BENCHMARK(BM_GpxReadFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Bytes the store's records take: what a read must build at least.
double StoreBytes(const tobrel::TobrelFile& s) {
    double bytes = sizeof s;
    for (int t = 0; t < s.GetTrackCount(); ++t)
        bytes += sizeof(tobrel::TrackHeader) + sizeof(tobrel::TrackData) * s.GetTrackPointCount(t);
    bytes += sizeof(tobrel::WaypointData) * s.GetWaypointCount();
    for (int r = 0; r < s.GetRouteCount(); ++r)
        bytes +=
            sizeof(tobrel::RouteHeader) + sizeof(tobrel::WaypointData) * s.GetRouteWaypointCount(r);
    return bytes;
}

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    return -1;
}

// Run as `data_file_bench --gpx-read-peak FILE` in a fresh process: reads the
// file in Tokyo and prints the growth of its peak resident memory, the
// store's size (both in bytes) and whether the read succeeded.
int GpxReadPeak(const char* path) {
    const long before = StatusKb("VmRSS:");
    tobrel::TobrelFile store;
    const bool ok = tobrel::ReadGpx(path, GpxOptionsFor(true), store).ok();
    std::printf("%ld %.0f %d\n", (StatusKb("VmHWM:") - before) * 1024, StoreBytes(store), ok);
    return 0;
}

struct Peak {
    double bytes = 0;
    double storeBytes = 0;
    bool ok = false;
};

std::optional<Peak> MeasurePeak(const std::string& path) {
    std::string self(4096, '\0');
    self.resize(static_cast<std::size_t>(
        std::max<ssize_t>(0, ::readlink("/proc/self/exe", self.data(), self.size()))));
    const std::string out = Folder() + "/peak.txt";
    const std::string command = "'" + self + "' --gpx-read-peak '" + path + "' > '" + out + "'";
    if (std::system(command.c_str()) != 0)
        return std::nullopt;
    Peak p;
    std::ifstream(out) >> p.bytes >> p.storeBytes >> p.ok;
    return p;
}

void BM_GpxReadPeakMemory(benchmark::State& state) {
    std::optional<Peak> peak;
    for (auto _ : state)
        peak = MeasurePeak(GpxFile());
    if (!peak || !peak->ok) {
        state.SkipWithError("peak measurement failed");
        return;
    }
    state.counters["peak_MB"] = peak->bytes / 1e6;
    state.counters["store_MB"] = peak->storeBytes / 1e6;
    state.counters["peak/store"] = peak->bytes / peak->storeBytes;
}
BENCHMARK(BM_GpxReadPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Hostile files: how much memory a read takes beside the file's own size,
// and how long it takes to give up (or, for many tiny waypoints, to finish).
const struct Hostile {
    const char* name;
    std::string (*make)();
} kHostile[] = {
    {"billion laughs",
     [] {
         std::string t = "<?xml version=\"1.0\"?>\n<!DOCTYPE gpx [<!ENTITY a0 \"ha\">";
         for (int i = 1; i < 10; ++i) {
             t += "<!ENTITY a" + std::to_string(i) + " \"";
             for (int k = 0; k < 10; ++k)
                 t += "&a" + std::to_string(i - 1) + ";";
             t += "\">";
         }
         return t + "]>\n<gpx><wpt lat=\"1\" lon=\"2\"><name>&a9;</name></wpt></gpx>";
     }},
    {"nesting 10M deep",
     [] {
         std::string t = "<gpx>";
         for (int i = 0; i < 10000000; ++i)
             t += "<x>";
         return t;
     }},
    {"50 MB attribute",
     [] { return "<gpx><wpt lat=\"1" + std::string(50 << 20, '0') + "\" lon=\"2\"/></gpx>"; }},
    {"50 MB name",
     [] {
         return "<gpx><wpt lat=\"1\" lon=\"2\"><name>" + std::string(50 << 20, 'n') +
                "</name></wpt></gpx>";
     }},
    {"2M tiny waypoints",
     [] {
         std::string t = "<gpx>";
         for (int i = 0; i < 2000000; ++i)
             t += "<wpt lat=\"0\" lon=\"0\"/>";
         return t + "</gpx>";
     }},
};

void BM_GpxHostilePeakMemory(benchmark::State& state) {
    const Hostile& h = kHostile[state.range(0)];
    const std::string path = Folder() + "/hostile.gpx";
    const std::string text = h.make();
    std::ofstream(path, std::ios::binary) << text;
    std::optional<Peak> peak;
    for (auto _ : state)
        peak = MeasurePeak(path);
    if (!peak) {
        state.SkipWithError("peak measurement failed");
        return;
    }
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["peak_MB"] = peak->bytes / 1e6;
    state.counters["peak/file"] = peak->bytes / static_cast<double>(text.size());
    state.SetLabel(std::string(h.name) + (peak->ok ? ", read" : ", refused"));
}
BENCHMARK(BM_GpxHostilePeakMemory)
    ->DenseRange(0, std::size(kHostile) - 1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--gpx-read-peak") == 0)
        return GpxReadPeak(argv[2]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::system(("rm -rf '" + Folder() + "'").c_str());
    return 0;
}
