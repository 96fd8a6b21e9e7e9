// Redraw time of the map widget with a 100 000-point track, at 1:25,000 and
// at 1:1,000,000, and the memory the widget holds for the track.
//
// "redraw" moves the view by one pixel first, so the base map is drawn again
// as well; "overlay" repaints an unchanged view (the base map comes from its
// cached image). The second argument picks the base map: 0 the built-in
// world map, 1 a tile source with an attribution, served from its disk cache
// (tiles made here, fresh, so nothing is fetched). The scale bar is drawn in
// every case. Counters: median_ms over the iterations, element_kib the
// widget's own bookkeeping for the elements, rss_kib the growth of the
// process when the track was added.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "map/tile_layer.h"
#include "sample_track.h"

namespace {

long ResidentKib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

// Shizuoka, on the track
constexpr double kLat = 34.975;
constexpr double kLon = 138.383;

// Cached tiles around Shizuoka for the two scales measured, marked fresh for a day.
void MakeTileCache(const QString& cacheDir) {
    for (int scale : {25000, 1000000}) {
        const int z = tobrel::TileZoomFor(tobrel::WorldPerPixel(scale, kLat));
        const tobrel::WorldPoint w = tobrel::LatLonToWorld(kLat, kLon);
        const int cx = static_cast<int>(w.x * (1 << z));
        const int cy = static_cast<int>(w.y * (1 << z));
        for (int x = cx - 4; x <= cx + 4; ++x) {
            for (int y = cy - 3; y <= cy + 3; ++y) {
                const QString path = tobrel::TileCachePath(cacheDir, "bench", {z, x, y});
                QDir().mkpath(QFileInfo(path).absolutePath());
                QImage tile(256, 256, QImage::Format_RGB32);
                tile.fill(QColor(200 + (x * 7) % 40, 220, 200 + (y * 11) % 40));
                QPainter p(&tile);
                p.setPen(Qt::darkGray);
                p.drawLine(0, 128, 255, 128 + (x % 5) * 20);
                p.end();
                tile.save(path, "PNG");
                QFile meta(tobrel::TileMetaPath(path));
                meta.open(QIODevice::WriteOnly);
                tobrel::TileCacheMeta m;
                m.expiresAt = QDateTime::currentSecsSinceEpoch() + 86400;
                meta.write(tobrel::EncodeTileMeta(m));
            }
        }
    }
}

struct Scene {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<tobrel::MapCtrl> map;
    std::unique_ptr<tobrel::MapOverlay> overlay;
    long rssKib = 0;
    double addMs = 0;
};

Scene& TheScene() {
    static Scene scene = [] {
        Scene s;
        s.dir = std::make_unique<QTemporaryDir>();
        tobrel::MapPaths paths;
        paths.builtInSources = false;
        paths.tileSourcesFile = s.dir->filePath("tilesources.conf");
        paths.tileCacheDir = s.dir->filePath("tiles");
        QFile config(paths.tileSourcesFile);
        config.open(QIODevice::WriteOnly);
        // Port 9 (discard) on this machine: nothing is ever asked for anyway.
        config.write(
            "bench|Bench tiles|http://127.0.0.1:9/{z}/{x}/{y}.png|18||"
            "\xc2\xa9 Bench tile contributors\n");
        config.close();
        MakeTileCache(paths.tileCacheDir);
        s.map = std::make_unique<tobrel::MapCtrl>(nullptr, paths);
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
    const bool tiles = state.range(1) != 0;
    s.map->SetAreaCode(tiles ? "bench" : tobrel::MapCtrl::kWorldAreaCode);
    s.map->SetDatumShift({});  // the cached tiles are around the WGS 84 place
    s.overlay->CentreOnPosition(kLat, kLon);
    s.overlay->SetLayerScale(scale);
    QImage image(s.map->size(), QImage::Format_RGB32);
    // Until every tile of the view is in memory.
    for (int i = 0; i < 200; ++i) {
        s.map->render(&image);
        QCoreApplication::processEvents();
        if (!s.map->IsLoadingTiles()) {
            s.map->render(&image);
            if (!s.map->IsLoadingTiles()) {
                break;
            }
        }
        QThread::msleep(5);
    }
    if (tiles && s.map->Attribution().isEmpty()) {
        state.SkipWithError("the tile area is missing");
        return;
    }
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
BENCHMARK(BM_Redraw)
    ->Args({25000, 0})
    ->Args({1000000, 0})
    ->Args({25000, 1})
    ->Args({1000000, 1})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OverlayOnly)
    ->Args({25000, 0})
    ->Args({1000000, 0})
    ->Args({25000, 1})
    ->Iterations(60)
    ->Unit(benchmark::kMillisecond);

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
