// Building one track segment of a million points through AddTrackData, with
// the datum conversion each point gets (goal: under one second).

#include <benchmark/benchmark.h>

#include "store/kel_data.h"

using namespace sorvane;

namespace {

void BM_AddTrackData(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KelData store;
        store.AddTrack("ACTIVE LOG");
        store.AddTrackSegment(0);
        for (int i = 0; i < n; ++i) {
            store.AddTrackData(0, 0, 35.0 + i * 1e-6, 139.0 + i * 1e-6, 10.0,
                               static_cast<std::uint32_t>(i));
        }
        benchmark::DoNotOptimize(store.GetTrackDataCount(0));
    }
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AddTrackData)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReadTrackPositions(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    KelData store;
    store.AddTrack("ACTIVE LOG");
    store.AddTrackSegment(0);
    for (int i = 0; i < n; ++i)
        store.AddTrackData(0, 0, 35.0, 139.0 + i * 1e-6, 10.0, i);
    for (auto _ : state) {
        double lat, lon, alt, sum = 0.0;
        for (int i = 0; i < n; ++i) {
            store.GetTrackPosition(0, 0, i, lat, lon, alt);
            sum += lat;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * n,
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTrackPositions)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_AddWaypoint(benchmark::State& state) {
    KelData store;
    for (auto _ : state) {
        if (store.GetWaypointCount() >= 100000)
            store.DeleteWaypointAll();
        store.AddWaypoint("WPT001", "comment", 35.0, 139.0, 10.0, 18, 0, 0.0);
    }
    state.counters["waypoints/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AddWaypoint);

}  // namespace

BENCHMARK_MAIN();
