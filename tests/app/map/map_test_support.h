#pragma once
// Shared helpers of the map tests.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include "map/map_ctrl.h"
#include "map/map_projection.h"
#include "map/tile_sources.h"

namespace tobrel::test {

// Paths inside a temporary folder, so that nothing of the user's leaks in,
// and without the ready-made online maps (no test may reach a public server).
inline MapPaths TempPaths(const QTemporaryDir& dir) {
    MapPaths p;
    p.tileSourcesFile = dir.filePath("config/tilesources.conf");
    p.tileCacheDir = dir.filePath("cache/tiles");
    p.mapsDir = dir.filePath("maps");
    p.builtInSources = false;
    return p;
}

// Spins the event loop until `done` or a generous limit (not a timing check).
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline bool IsTrackRed(QRgb c) {
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 110;
}
inline bool IsLabelBlue(QRgb c) {
    return qBlue(c) > 60 && qRed(c) < 60 && qGreen(c) < 60;
}

// Whether any pixel within `radius` of (x, y) satisfies `pred`.
inline bool AnyNear(const QImage& image, int x, int y, int radius,
                    const std::function<bool(QRgb)>& pred) {
    for (int py = y - radius; py <= y + radius; ++py)
        for (int px = x - radius; px <= x + radius; ++px)
            if (image.valid(px, py) && pred(image.pixel(px, py)))
                return true;
    return false;
}

inline QImage Render(MapCtrl& map) {
    return map.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

constexpr std::int32_t Angle(double degrees) {
    return static_cast<std::int32_t>(degrees * 3600000.0);
}

inline void Mouse(MapCtrl& map, QEvent::Type type, QPoint p, Qt::MouseButton button = Qt::NoButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(p), map.mapToGlobal(QPointF(p)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, modifiers);
    QCoreApplication::sendEvent(&map, &e);
}

// Tiles of an MBTiles file: at zoom z, the square of tiles `radius` around the
// one that holds the place.
struct MbTilesSpot {
    int z;
    double latitude;
    double longitude;
    int radius;
};

// Writes an MBTiles file named `title` with the tiles of the spots, each with
// the picture `png` makes for it.
inline void WriteMbTiles(const QString& path, const QString& title,
                         const std::vector<MbTilesSpot>& spots,
                         const std::function<QByteArray(const TileKey&)>& png) {
    const QString name = QStringLiteral("write-mbtiles");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TABLE metadata (name TEXT, value TEXT)"));
        q.prepare("INSERT INTO metadata VALUES ('name', ?)");
        q.addBindValue(title);
        ASSERT_TRUE(q.exec());
        ASSERT_TRUE(
            q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, "
                   "tile_row INTEGER, tile_data BLOB)"));
        ASSERT_TRUE(db.transaction());
        for (const MbTilesSpot& spot : spots) {
            const WorldPoint w = LatLonToWorld(spot.latitude, spot.longitude);
            const int z = spot.z;
            const int cx = static_cast<int>(w.x * (1 << z)), cy = static_cast<int>(w.y * (1 << z));
            for (int x = cx - spot.radius; x <= cx + spot.radius; ++x) {
                for (int y = cy - spot.radius; y <= cy + spot.radius; ++y) {
                    q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
                    q.addBindValue(z);
                    q.addBindValue(x);
                    q.addBindValue(TmsRow(z, y));  // rows count from the south
                    q.addBindValue(png({z, x, y}));
                    ASSERT_TRUE(q.exec());
                }
            }
        }
        ASSERT_TRUE(db.commit());
    }
    QSqlDatabase::removeDatabase(name);
}

// A 400 x 300 map widget in a temporary folder.
class MapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        map_ = std::make_unique<MapCtrl>(nullptr, TempPaths(dir_));
        map_->resize(400, 300);
    }
    // WGS 84 at the interface, so pixels can be computed without a datum shift.
    void UseWgs84At(double lat, double lon, int scale) {
        map_->SetDatumShift({});
        ASSERT_TRUE(map_->MoveTo(Angle(lat), Angle(lon), 1, scale));
    }
    std::shared_ptr<MpsCollection> Collection() {
        client_ = map_->MPSObject()->GetClient();
        return client_ ? client_->GetCollection() : nullptr;
    }
    std::int32_t Line(MpsCollection& c, std::vector<double> lats, std::vector<double> lons) {
        std::vector<std::int32_t> a, b;
        for (std::size_t i = 0; i < lats.size(); ++i) {
            a.push_back(Angle(lats[i]));
            b.push_back(Angle(lons[i]));
        }
        return c.AddPolyline(a, b, static_cast<std::int32_t>(a.size()), 0);
    }
    QPoint Pixel(double lat, double lon) {
        return map_->GetLogPoint(Angle(lat), Angle(lon)).value();
    }

    QTemporaryDir dir_;
    std::unique_ptr<MapCtrl> map_;
    std::shared_ptr<MpsClient> client_;
};

}  // namespace tobrel::test
