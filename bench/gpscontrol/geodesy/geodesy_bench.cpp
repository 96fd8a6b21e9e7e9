// Datum conversions and distances per second.

#include <benchmark/benchmark.h>

#include "geodesy/map_datum.h"

using namespace sorvane;

namespace {

void BM_Wgs84ToLocal(benchmark::State& state) {
    MapDatum datum;
    double lat = 35.0;
    for (auto _ : state) {
        auto p = datum.wgs84ToLocal(lat, 139.0, 10.0);
        benchmark::DoNotOptimize(p);
        lat += 1e-9;
    }
    state.counters["conversions/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Wgs84ToLocal);

void BM_LocalToWgs84(benchmark::State& state) {
    MapDatum datum;
    double lat = 35.0;
    for (auto _ : state) {
        auto p = datum.localToWgs84(lat, 139.0, 10.0);
        benchmark::DoNotOptimize(p);
        lat += 1e-9;
    }
    state.counters["conversions/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LocalToWgs84);

void BM_Distance(benchmark::State& state) {
    MapDatum datum;
    double lat = 35.0;
    for (auto _ : state) {
        auto d = datum.distance(lat, 139.0, 35.1, 139.1);
        benchmark::DoNotOptimize(d);
        lat += 1e-9;
    }
    state.counters["distances/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
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
