// Datum conversions and distances per second.

#include <benchmark/benchmark.h>

#include "geodesy/map_datum.h"

using namespace sorvane;

namespace {

// Runs op on a latitude that creeps a little each time, so nothing is folded
// away, and reports calls per second under counter.
template <typename Op>
void PerSecond(benchmark::State& state, const char* counter, Op op) {
    MapDatum datum;
    double lat = 35.0;
    for (auto _ : state) {
        auto r = op(datum, lat);
        benchmark::DoNotOptimize(r);
        lat += 1e-9;
    }
    state.counters[counter] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Wgs84ToLocal(benchmark::State& state) {
    PerSecond(state, "conversions/s",
              [](MapDatum& d, double lat) { return d.wgs84ToLocal(lat, 139.0, 10.0); });
}
BENCHMARK(BM_Wgs84ToLocal);

void BM_LocalToWgs84(benchmark::State& state) {
    PerSecond(state, "conversions/s",
              [](MapDatum& d, double lat) { return d.localToWgs84(lat, 139.0, 10.0); });
}
BENCHMARK(BM_LocalToWgs84);

void BM_Distance(benchmark::State& state) {
    PerSecond(state, "distances/s",
              [](MapDatum& d, double lat) { return d.distance(lat, 139.0, 35.1, 139.1); });
}
BENCHMARK(BM_Distance);

void BM_BuildTable(benchmark::State& state) {
    for (auto _ : state) {
        MapDatum datum;
        benchmark::DoNotOptimize(datum.count());
    }
}
BENCHMARK(BM_BuildTable);

}  // namespace

BENCHMARK_MAIN();
