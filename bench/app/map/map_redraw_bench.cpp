// Redraw time of the map widget with a 100 000-point track, at 1:25,000 and
// at 1:1,000,000, and the memory the widget holds for the track.
//
// "redraw" moves the view by one pixel first, so the base map is drawn again
// as well; "overlay" repaints an unchanged view (the base map comes from its
// cached image). Counters: median_ms over the iterations, element_kib the
// widget's own bookkeeping for the elements, rss_kib the growth of the
// process when the track was added.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "sample_track.h"

namespace {

long ResidentKib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

struct Scene {
    std::unique_ptr<tobrel::MapCtrl> map;
    std::unique_ptr<tobrel::MapOverlay> overlay;
    long rssKib = 0;
    double addMs = 0;
};

Scene& TheScene() {
    static Scene scene = [] {
        Scene s;
        s.map = std::make_unique<tobrel::MapCtrl>(nullptr, tobrel::MapPaths{});
        s.map->resize(1024, 768);
        s.map->SetScrollBar(false);
        s.overlay = std::make_unique<tobrel::MapOverlay>(s.map.get());
        const auto track = tobrel::bench::TokaidoTrack(100000);
        std::vector<double> lats;
        std::vector<double> lons;
        for (const auto& p : track) {
            lats.push_back(p.latitude);
            lons.push_back(p.longitude);
        }
        const long before = ResidentKib();
        const auto t0 = std::chrono::steady_clock::now();
        s.overlay->DrawPolyline(static_cast<int>(lats.size()), lats.data(), lons.data());
        s.addMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                      .count();
        s.rssKib = ResidentKib() - before;
        return s;
    }();
    return scene;
}

void Redraw(benchmark::State& state, bool moveFirst) {
    Scene& s = TheScene();
    const int scale = static_cast<int>(state.range(0));
    // Shizuoka, on the track
    s.overlay->CentreOnPosition(34.975, 138.383);
    s.overlay->SetLayerScale(scale);
    QImage image(s.map->size(), QImage::Format_RGB32);
    std::vector<double> ms;
    int step = 0;
    for (auto _ : state) {
        if (moveFirst) {
            std::int32_t lat = 0;
            std::int32_t lon = 0;
            s.overlay->PixelToLatLong(512 + ((step++ % 2) ? 1 : -1), 384, &lat, &lon);
            s.overlay->CentreMap(lat, lon, 1, 0);
        }
        const auto t0 = std::chrono::steady_clock::now();
        s.map->render(&image);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        benchmark::DoNotOptimize(image.constBits());
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
    state.counters["element_kib"] = static_cast<double>(s.map->ElementMemoryBytes()) / 1024.0;
    state.counters["rss_kib"] = static_cast<double>(s.rssKib);
    state.counters["add_track_ms"] = s.addMs;
}

// The same widget without any element, for reference.
void BM_NoTrack(benchmark::State& state) {
    tobrel::MapCtrl map(nullptr, tobrel::MapPaths{});
    map.resize(1024, 768);
    map.SetScrollBar(false);
    map.MoveTo(125910000, 498178800, 1, static_cast<int>(state.range(0)));
    QImage image(map.size(), QImage::Format_RGB32);
    std::vector<double> ms;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        map.render(&image);
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    state.counters["median_ms"] = ms.empty() ? 0.0 : ms[ms.size() / 2];
}

void BM_Redraw(benchmark::State& state) {
    Redraw(state, true);
}
void BM_OverlayOnly(benchmark::State& state) {
    Redraw(state, false);
}

BENCHMARK(BM_NoTrack)->Arg(25000)->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Redraw)->Arg(25000)->Arg(1000000)->Iterations(60)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlayOnly)->Arg(25000)->Arg(1000000)->Iterations(60)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheScene() = Scene{};
    return 0;
}
