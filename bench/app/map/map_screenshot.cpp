// Renders the pictures in docs/ offscreen, from the built-in map only:
//   map_screenshot japan out.png          Japan at 1:5,000,000 with the old road and three labels
//   map_screenshot central-japan out.png  Tokyo Bay and around at 1:250,000
//   map_screenshot track out.png          a walk with its details dock beside the map
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QImage>
#include <QMainWindow>

#include "data/tobrel_file.h"
#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "sample_track.h"
#include "ui/docks/track_details_dock.h"

namespace {

tobrel::MapPaths BuiltInOnly() {
    tobrel::MapPaths paths;
    paths.builtInSources = false;
    return paths;
}

QImage Japan() {
    tobrel::MapCtrl map(nullptr, BuiltInOnly());
    map.resize(800, 600);
    tobrel::MapOverlay overlay(&map);
    overlay.CentreOnPosition(35.6, 137.6);
    overlay.SetLayerScale(5000000);
    const auto track = tobrel::bench::TokaidoTrack(20000);
    std::vector<double> lats;
    std::vector<double> lons;
    for (const auto& p : track) {
        lats.push_back(p.latitude);
        lons.push_back(p.longitude);
    }
    overlay.DrawPolyline(static_cast<int>(lats.size()), lats.data(), lons.data());
    overlay.SetLayerScale(70000);
    overlay.DrawText(35.681, 139.767, QString::fromUtf8("東京"));
    overlay.DrawText(35.171, 136.882, QString::fromUtf8("名古屋"));
    overlay.DrawText(34.702, 135.496, QString::fromUtf8("大阪"));
    overlay.SetLayerScale(5000000);
    overlay.SetScrollBar(false);
    return map.grab().toImage();
}

QImage CentralJapan() {
    tobrel::MapCtrl map(nullptr, BuiltInOnly());
    map.resize(800, 600);
    map.MoveTo(tobrel::DegreesToMapAngle(35.40), tobrel::DegreesToMapAngle(139.75), 1, 250000);
    return map.grab().toImage();
}

QImage TrackWithProfile() {
    tobrel::TobrelFile store;
    tobrel::bench::AddSampleHike(store, 20000);
    QMainWindow window;
    auto* map = new tobrel::MapCtrl(&window, BuiltInOnly());
    window.setCentralWidget(map);
    auto* dock = new tobrel::TrackDetailsDock(store, map, &window);
    window.addDockWidget(Qt::RightDockWidgetArea, dock);
    window.resize(1200, 760);
    tobrel::MapOverlay overlay(map);
    const tobrel::TrackHeader& track = *store.GetTrackHeader(0);
    std::vector<double> lats;
    std::vector<double> lons;
    for (const auto& p : track.pTrackData) {
        lats.push_back(p.latitude);
        lons.push_back(p.longitude);
    }
    const std::int32_t id =
        overlay.DrawPolyline(static_cast<int>(lats.size()), lats.data(), lons.data());
    dock->LinkElement(id, 0, 0);
    dock->ShowTrack(0);
    window.show();
    QApplication::processEvents();
    // Hakone: the top of the pass, marked as a pointer over the profile would
    const int top = *dock->Analysis().statistics.highestPoint;
    overlay.CentreOnPosition(lats[static_cast<std::size_t>(top)] - 0.15,
                             lons[static_cast<std::size_t>(top)] + 0.25);
    overlay.SetLayerScale(1000000);
    dock->MarkPoint(0, top);
    map->SetMarkedPoint(tobrel::DegreesToMapAngle(lats[static_cast<std::size_t>(top)]),
                        tobrel::DegreesToMapAngle(lons[static_cast<std::size_t>(top)]));
    QApplication::processEvents();
    return window.grab().toImage();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: map_screenshot japan|central-japan|track output.png\n");
        return 2;
    }
    QImage image;
    if (std::strcmp(argv[1], "japan") == 0) {
        image = Japan();
    } else if (std::strcmp(argv[1], "central-japan") == 0) {
        image = CentralJapan();
    } else if (std::strcmp(argv[1], "track") == 0) {
        image = TrackWithProfile();
    } else {
        std::fprintf(stderr, "unknown picture %s\n", argv[1]);
        return 2;
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
