#pragma once
// Shared helpers of the map tests.

#include <cmath>
#include <functional>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include "map/map_ctrl.h"

namespace tobrel::test {

// Paths inside a temporary folder, so that nothing of the user's leaks in.
inline MapPaths TempPaths(const QTemporaryDir& dir) {
    MapPaths p;
    p.tileSourcesFile = dir.filePath("config/tilesources.conf");
    p.tileCacheDir = dir.filePath("cache/tiles");
    p.mapsDir = dir.filePath("maps");
    return p;
}

// Spins the event loop until `done` or a generous limit (not a timing check).
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline bool IsTrackRed(QRgb c) {
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 110;
}

// Whether any pixel within `radius` of (x, y) satisfies `pred`.
inline bool AnyNear(const QImage& image, int x, int y, int radius,
                    const std::function<bool(QRgb)>& pred) {
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = x + dx;
            const int py = y + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height() &&
                pred(image.pixel(px, py))) {
                return true;
            }
        }
    }
    return false;
}

inline QImage Render(MapCtrl& map) {
    return map.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

constexpr std::int32_t Angle(double degrees) {
    return static_cast<std::int32_t>(degrees * 3600000.0);
}

}  // namespace tobrel::test
