// What the automation boundary costs: the desktop program reads every point
// of a downloaded track through the typed wrapper (GetTrackPosition and
// GetTrackUnixTime by DISPID). Goal: a 100 000-point track in well under a
// second, and the wrapper within a small factor of calling the store.

#include <benchmark/benchmark.h>

#include <memory>

#include "control/module_objects.h"
#include "control/picture.h"
#include "control/tsorvane.h"
#include "store/kel_data.h"

using namespace sorvane;

namespace {

constexpr int kPoints = 100000;

SorvaneCtrl* ControlWithTrack() {
    auto ctrl = std::make_unique<CSorvaneCtrl>();
    std::vector<TrackRecord> tracks(1);
    tracks[0].segments.resize(1);
    auto& points = tracks[0].segments[0].points;
    points.reserve(kPoints);
    for (int i = 0; i < kPoints; ++i)
        points.push_back({35.0 + i * 1e-6, 139.0 + i * 1e-6, 10.0, static_cast<std::uint32_t>(i)});
    ctrl->Store()->ReplaceTracks(std::move(tracks));
    return NewControlObject(std::move(ctrl));
}

void BM_ReadTrackThroughWrapper(benchmark::State& state) {
    SorvaneCtrl* object = ControlWithTrack();
    {
        TSorvane gps(object);
        for (auto _ : state) {
            double sum = 0;
            const int n = gps.GetTrackSegmentDataCount(0, 0);
            for (int i = 0; i < n; ++i) {
                double lat = 0, lon = 0, alt = 0;
                gps.GetTrackPosition(0, 0, i, &lat, &lon, &alt);
                sum += lat + gps.GetTrackUnixTime(0, 0, i);
            }
            benchmark::DoNotOptimize(sum);
        }
    }
    object->lpVtbl->Release(object);
    state.counters["points/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kPoints, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTrackThroughWrapper)->Unit(benchmark::kMillisecond);

void BM_ReadTrackFromStore(benchmark::State& state) {
    SorvaneCtrl* object = ControlWithTrack();
    const KelData& store = *ControlOf(object)->Store();
    for (auto _ : state) {
        double sum = 0;
        for (int i = 0; i < kPoints; ++i) {
            double lat = 0, lon = 0, alt = 0;
            store.GetTrackPosition(0, 0, i, lat, lon, alt);
            sum += lat + store.GetTrackUnixTime(0, 0, i);
        }
        benchmark::DoNotOptimize(sum);
    }
    object->lpVtbl->Release(object);
    state.counters["points/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kPoints, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadTrackFromStore)->Unit(benchmark::kMillisecond);

void BM_InvokeGetVersion(benchmark::State& state) {
    SorvaneCtrl* object = ControlWithTrack();
    SorvaneVariant result;
    sorvane_variant_init(&result);
    for (auto _ : state) {
        object->lpVtbl->Invoke(object, 7, SORVANE_DISPATCH_METHOD, nullptr, 0, &result, nullptr);
        benchmark::DoNotOptimize(result.u.lVal);
    }
    object->lpVtbl->Release(object);
}
BENCHMARK(BM_InvokeGetVersion);

void BM_DrawControl(benchmark::State& state) {
    Image image(640, 480);
    for (auto _ : state) {
        DrawControl(image, Rect{0, 0, 640, 480});
        benchmark::DoNotOptimize(image.pixels.data());
    }
}
BENCHMARK(BM_DrawControl)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
