// Renders the map widget offscreen with the built-in map of Japan, a track
// and a few labels, and saves it as a PNG (the picture in docs/).
#include <cstdio>

#include <QApplication>
#include <QImage>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "sample_track.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: map_screenshot output.png\n");
        return 2;
    }
    // Only the built-in map, whatever the user has configured.
    tobrel::MapPaths paths;
    tobrel::MapCtrl map(nullptr, paths);
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
    const QImage image = map.grab().toImage();
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
