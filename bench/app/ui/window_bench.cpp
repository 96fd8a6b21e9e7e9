// The window's two waits a user feels: opening a large native file until the
// tree and the map are drawn (goal: under 1.5 s for 1 000 000 track points in
// 10 tracks and 1 000 waypoints), and from start to the first painted window
// (goal: under 0.5 s). Runs on the offscreen platform with private settings.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeView>

#include "data/native_file.h"
#include "data/tobrel_file.h"
#include "map/map_ctrl.h"
#include "ui/files/file_commands.h"
#include "ui/files/file_formats.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"

namespace {

constexpr int kTracks = 10;
constexpr int kPointsPerTrack = 100000;
constexpr int kWaypoints = 1000;

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

// Tracks wandering around central Japan, a segment every 10 000 points.
QString LargeFile() {
    const QString path = Folder().filePath("large.tb2");
    if (QFile::exists(path))
        return path;
    tobrel::TobrelFile store;
    store.SetTrackCount(kTracks);
    for (int t = 0; t < kTracks; ++t) {
        store.SetTrackName(t, ("TRACK-" + std::to_string(t)).c_str());
        store.SetTrackPointCount(t, kPointsPerTrack);
        store.SetTrackSegmentCount(t, kPointsPerTrack / 10000);
        for (int k = 0; k < kPointsPerTrack; ++k) {
            const double a = k * 0.0005 + t;
            store.SetTrackPoint(t, k, 1 + k / 10000, 35.0 + 0.2 * std::sin(a) + 0.01 * t,
                                139.0 + 0.3 * std::cos(a * 0.7), 10.0);
        }
        store.RecalcTrack(t, 0.0);
    }
    store.SetWaypointCount(kWaypoints);
    for (int i = 0; i < kWaypoints; ++i)
        store.SetWaypoint(i, ("WPT" + std::to_string(i)).c_str(), "", 34.8 + 0.0004 * i,
                          138.8 + 0.0004 * (i % 37) * 10, 0, 0, 18, 0);
    if (!tobrel::WriteNativeFile(store, path.toStdString()))
        std::abort();
    return path;
}

// Waits until the map has been painted once more.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QWidget* map) : map_(map) { map_->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == map_ && event->type() == QEvent::Paint)
            painted_ = true;
        return false;
    }
    void Reset() { painted_ = false; }
    void Wait() {
        while (!painted_)
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        QApplication::processEvents();  // the paint itself runs to its end
    }

  private:
    QWidget* map_;
    bool painted_ = false;
};

void BM_OpenLargeNativeFile(benchmark::State& state) {
    const QString path = LargeFile();
    tobrel::TfrmMain window;
    window.show();
    PaintWatch watch(window.MapCtrl1());
    watch.Wait();
    for (auto _ : state) {
        watch.Reset();
        if (!window.Files()->OpenFile(path))
            state.SkipWithError("the file did not open");
        window.TreeView1()->repaint();
        window.MapCtrl1()->update();
        watch.Wait();
    }
    state.counters["nodes"] =
        window.Tree()->TrackRoot()->rowCount() + window.Tree()->WaypointRoot()->rowCount();
    state.counters["elements"] = static_cast<double>(window.MapCtrl1()->ElementCount());
}
BENCHMARK(BM_OpenLargeNativeFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The reading part of the above alone: file to store, checks included.
void BM_ReadLargeNativeFile(benchmark::State& state) {
    const QString path = LargeFile();
    for (auto _ : state) {
        tobrel::TobrelFile store;
        QString error;
        tobrel::FileContext context;
        if (!tobrel::NativeFormat().read(store, path, context, &error))
            state.SkipWithError("the file did not read");
        benchmark::DoNotOptimize(store.GetTrackCount());
    }
}
BENCHMARK(BM_ReadLargeNativeFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_StartToFirstPaintedWindow(benchmark::State& state) {
    for (auto _ : state) {
        auto window = std::make_unique<tobrel::TfrmMain>();
        PaintWatch watch(window->MapCtrl1());
        window->show();
        watch.Wait();
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartToFirstPaintedWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Private settings and no serial port: nothing of the user's is read or changed.
    qputenv("XDG_CONFIG_HOME", Folder().filePath("config").toLocal8Bit());
    qputenv("SORVANE_COM1", "/nonexistent/tty");
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder().filePath("config"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
