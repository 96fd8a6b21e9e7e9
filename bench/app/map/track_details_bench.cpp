// Figures and both profiles of a 100 000-point track: the analysis alone, and
// the dock showing a track (analysis, thinning and filling both plots) and
// then drawing its plots. Counters: median_ms over the iterations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include <QApplication>
#include <QChartView>
#include <QImage>

#include "data/tobrel_file.h"
#include "data/track_statistics.h"
#include "sample_track.h"
#include "ui/docks/track_details_dock.h"

namespace {

const tobrel::TobrelFile& Store() {
    static const tobrel::TobrelFile store = [] {
        tobrel::TobrelFile s;
        tobrel::bench::AddSampleHike(s, 100000);
        return s;
    }();
    return store;
}

template <typename Work>
void Measure(benchmark::State& state, Work work) {
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
}

void BM_Analyse(benchmark::State& state) {
    const tobrel::TrackHeader& track = *Store().GetTrackHeader(0);
    Measure(state, [&] { benchmark::DoNotOptimize(tobrel::AnalyseTrack(track)); });
}

void BM_ShowTrack(benchmark::State& state) {
    tobrel::TrackDetailsDock dock(Store(), nullptr);
    dock.resize(360, 700);
    Measure(state, [&] {
        dock.Clear();
        dock.ShowTrack(0);
    });
}

void BM_ShowTrackAndDrawPlots(benchmark::State& state) {
    tobrel::TrackDetailsDock dock(Store(), nullptr);
    dock.resize(360, 700);
    QImage image(360, 260, QImage::Format_ARGB32_Premultiplied);
    Measure(state, [&] {
        dock.Clear();
        dock.ShowTrack(0);
        for (QChartView* view : {dock.ElevationView(), dock.SpeedView()}) {
            view->resize(360, 260);
            static_cast<QWidget*>(view)->render(&image);  // the widget, not the scene
        }
        benchmark::DoNotOptimize(image.constBits());
    });
}

BENCHMARK(BM_Analyse)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowTrack)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowTrackAndDrawPlots)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
