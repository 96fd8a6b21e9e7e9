// Raster tile areas: XYZ tiles from a local HTTP server with the disk cache,
// MBTiles files, missing and broken tiles, and layer scales that follow the
// data.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>

#include "map/map_ctrl.h"
#include "map/tile_layer.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::Angle;
using test::Render;
using test::WaitFor;

// A solid tile whose colour tells its coordinates apart.
QColor TileColour(const TileKey& k) {
    return QColor((k.x * 37) % 200 + 20, (k.y * 53) % 200 + 20, 180 + k.z % 50);
}

QByteArray TilePng(const TileKey& k) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(TileColour(k));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool SameColour(QRgb a, const QColor& b) {
    return std::abs(qRed(a) - b.red()) <= 2 && std::abs(qGreen(a) - b.green()) <= 2 &&
           std::abs(qBlue(a) - b.blue()) <= 2;
}

// Serves /z/x/y.png on 127.0.0.1: tiles with an even x, 404 for odd x in
// row `missingRow`, and bytes that are no image in row `brokenRow`.
class TileServer : public QObject {
  public:
    TileServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool Listen() { return server_.listen(QHostAddress::LocalHost, 0); }
    quint16 Port() const { return server_.serverPort(); }
    void Stop() { server_.close(); }

    QStringList paths;
    QStringList userAgents;
    int missingRow = -1;
    int brokenRow = -1;

  private:
    void Serve(QTcpSocket* s) {
        QByteArray& buf = pending_[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n")) {
            return;
        }
        const QList<QByteArray> lines = buf.split('\n');
        buf.clear();
        const QByteArray path = lines[0].split(' ').value(1);
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:")) {
                userAgents.append(QString::fromLatin1(line.mid(11).trimmed()));
            }
        }
        paths.append(QString::fromLatin1(path));
        const QList<QByteArray> parts = path.split('/');  // "", z, x, y.png
        TileKey k{parts.value(1).toInt(), parts.value(2).toInt(),
                  parts.value(3).split('.').value(0).toInt()};
        QByteArray status = "200 OK";
        QByteArray body = TilePng(k);
        if (k.y == missingRow && k.x % 2 != 0) {
            status = "404 Not Found";
            body = "no such tile";
        } else if (k.y == brokenRow) {
            body = "this is not a picture";
        }
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: image/png\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

class MapTilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        paths_ = test::TempPaths(dir_);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(paths_.tileSourcesFile).absolutePath()));
        ASSERT_TRUE(QDir().mkpath(paths_.mapsDir));
    }
    void WriteConfig(const QByteArray& text) {
        QFile f(paths_.tileSourcesFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    std::unique_ptr<MapCtrl> NewMap() {
        auto map = std::make_unique<MapCtrl>(nullptr, paths_);
        map->resize(512, 384);
        map->SetDatumShift({});
        return map;
    }
    // Renders until the tile loads settle.
    static QImage Settle(MapCtrl& map) {
        QImage image = Render(map);
        for (int i = 0; i < 5 && WaitFor([&] { return !map.IsLoadingTiles(); }); ++i) {
            image = Render(map);
            if (!map.IsLoadingTiles()) {
                break;
            }
        }
        return image;
    }
    // The tile under a pixel at the zoom the view draws.
    static TileKey TileAt(const MapCtrl& map, int x, int y) {
        const MapView v = map.CurrentView();
        const int z = TileZoomFor(v.worldPerPixel);
        const int n = 1 << z;
        const WorldPoint w = v.PixelToWorld(x + 0.5, y + 0.5);
        return {z, static_cast<int>(std::floor(w.x * n)), static_cast<int>(std::floor(w.y * n))};
    }

    QTemporaryDir dir_;
    MapPaths paths_;
};

TEST_F(MapTilesTest, FetchedDrawnCachedAndDrawnAgainOffline) {
    TileServer server;
    ASSERT_TRUE(server.Listen());
    WriteConfig("# test source\nlocal|Local tiles|http://127.0.0.1:" +
                QByteArray::number(server.Port()) + "/{z}/{x}/{y}.png|18\n");
    TileKey centreTile;
    {
        auto map = NewMap();
        const AreaCollection areas = map->AreaCollect();
        ASSERT_EQ(areas.Count(), 2);
        EXPECT_EQ(areas.Item(0)->AreaCode, "local");
        EXPECT_EQ(areas.Item(0)->Title, "Local tiles");
        EXPECT_EQ(areas.Item(1)->AreaCode, "WORLD");  // the built-in map stays last
        EXPECT_EQ(map->AreaCode(), "WORLD");
        ASSERT_TRUE(map->SetAreaCode("local"));
        ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
        const QImage image = Settle(*map);
        ASSERT_FALSE(server.paths.isEmpty());
        EXPECT_EQ(server.userAgents.value(0), "TobrelPA/0.20");
        for (const QPoint& p : {QPoint(256, 192), QPoint(10, 10), QPoint(500, 370)}) {
            const TileKey k = TileAt(*map, p.x(), p.y());
            EXPECT_TRUE(SameColour(image.pixel(p), TileColour(k)))
                << p.x() << "," << p.y() << " tile " << k.z << "/" << k.x << "/" << k.y;
        }
        centreTile = TileAt(*map, 256, 192);
        EXPECT_TRUE(QFile::exists(TileCachePath(paths_.tileCacheDir, "local", centreTile)));
    }
    server.Stop();
    const int requests = server.paths.size();
    auto map = NewMap();
    ASSERT_TRUE(map->SetAreaCode("local"));
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    const QImage image = Settle(*map);
    EXPECT_TRUE(SameColour(image.pixel(256, 192), TileColour(centreTile)));
    EXPECT_EQ(server.paths.size(), requests);
}

TEST_F(MapTilesTest, MissingAndBrokenTilesLeaveTheBaseMap) {
    TileServer server;
    ASSERT_TRUE(server.Listen());
    WriteConfig("local|Local|http://127.0.0.1:" + QByteArray::number(server.Port()) +
                "/{z}/{x}/{y}.png|18\n");
    // the same view on the built-in map, for comparison
    auto world = NewMap();
    ASSERT_TRUE(world->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    const QImage plain = Render(*world);

    auto map = NewMap();
    ASSERT_TRUE(map->SetAreaCode("local"));
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    const TileKey centre = TileAt(*map, 256, 192);
    server.missingRow = centre.y;
    server.brokenRow = centre.y + 1;
    const QImage image = Settle(*map);
    int checked = 0;
    for (int x = 4; x < 500; x += 16) {
        for (int y = 4; y < 370; y += 16) {
            const TileKey k = TileAt(*map, x, y);
            const bool missing = (k.y == centre.y && k.x % 2 != 0) || k.y == centre.y + 1;
            if (missing) {
                EXPECT_EQ(image.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
                ++checked;
            } else {
                EXPECT_TRUE(SameColour(image.pixel(x, y), TileColour(k))) << x << "," << y;
            }
        }
    }
    EXPECT_GT(checked, 0);
    // a broken tile is never cached
    const TileKey broken{centre.z, centre.x, centre.y + 1};
    EXPECT_FALSE(QFile::exists(TileCachePath(paths_.tileCacheDir, "local", broken)));
}

TEST_F(MapTilesTest, UnreachableSourceShowsTheBaseMap) {
    // a port nobody listens on
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    WriteConfig("gone|Gone|http://127.0.0.1:" + QByteArray::number(port) + "/{z}/{x}/{y}.png|18\n");
    auto map = NewMap();
    ASSERT_TRUE(map->SetAreaCode("gone"));
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    auto world = NewMap();
    ASSERT_TRUE(world->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    const QImage image = Settle(*map);
    EXPECT_EQ(image, Render(*world));
}

TEST_F(MapTilesTest, ScalesBeyondTheSourceZoomAreDisabled) {
    WriteConfig("coarse|Coarse|http://127.0.0.1:9/{z}/{x}/{y}.png|12|8\n");
    auto map = NewMap();
    ASSERT_TRUE(map->SetAreaCode("coarse"));
    QSignalSpy layer(map.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 25000));
    // 1:25,000 wants zoom 14 here; the nearest scale with zoom 12 or less is used
    EXPECT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 12);
    EXPECT_EQ(map->LayerScale(), 100000);
    ASSERT_GE(layer.count(), 1);
    EXPECT_EQ(layer.last()[1].toInt(), 100000);
    const LayerCollection layers = map->LayerCollect();
    for (int i = 0; i < layers.Count(); ++i) {
        const auto item = *layers.Item(i);
        const int z = TileZoomFor(WorldPerPixel(item.LayerScale, 35.68));
        EXPECT_EQ(item.Enabled, z >= 8 && z <= 12) << item.LayerScale;
    }
}

class MbTilesTest : public MapTilesTest {
  protected:
    // Tiles at zoom 12 around Tokyo and at zoom 9 around Tokyo and Osaka.
    void MakeMbTiles(const QString& path) {
        const QString name = "make-mbtiles";
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(path);
            ASSERT_TRUE(db.open());
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec("CREATE TABLE metadata (name TEXT, value TEXT)"));
            ASSERT_TRUE(q.exec("INSERT INTO metadata VALUES ('name', 'Kanto test map')"));
            ASSERT_TRUE(
                q.exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, "
                       "tile_row INTEGER, tile_data BLOB)"));
            auto add = [&](int z, double lat, double lon, int radius) {
                const WorldPoint w = LatLonToWorld(lat, lon);
                const int n = 1 << z;
                const int cx = static_cast<int>(w.x * n);
                const int cy = static_cast<int>(w.y * n);
                for (int x = cx - radius; x <= cx + radius; ++x) {
                    for (int y = cy - radius; y <= cy + radius; ++y) {
                        QSqlQuery ins(db);
                        ins.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
                        ins.addBindValue(z);
                        ins.addBindValue(x);
                        ins.addBindValue(TmsRow(z, y));  // rows count from the south
                        ins.addBindValue(TilePng({z, x, y}));
                        ASSERT_TRUE(ins.exec());
                    }
                }
            };
            ASSERT_TRUE(db.transaction());
            add(12, 35.68, 139.76, 3);
            add(9, 35.68, 139.76, 1);
            add(9, 34.70, 135.50, 1);
            ASSERT_TRUE(db.commit());
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
};

TEST_F(MbTilesTest, ReadsTilesWithTheRowFlipAndFollowsTheData) {
    MakeMbTiles(paths_.mapsDir + "/kanto.mbtiles");
    // files that are no MBTiles are left out
    QFile junk(paths_.mapsDir + "/junk.mbtiles");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, '\x5a'));
    junk.close();
    QFile empty(paths_.mapsDir + "/empty.mbtiles");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    auto map = NewMap();
    const AreaCollection areas = map->AreaCollect();
    ASSERT_EQ(areas.Count(), 2);
    EXPECT_EQ(areas.Item(0)->AreaCode, "kanto");
    EXPECT_EQ(areas.Item(0)->Title, "Kanto test map");
    ASSERT_TRUE(map->SetAreaCode("kanto"));

    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    ASSERT_EQ(map->LayerScale(), 100000);
    ASSERT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 12);
    const QImage image = Settle(*map);
    EXPECT_TRUE(SameColour(image.pixel(256, 192), TileColour(TileAt(*map, 256, 192))));
    EXPECT_TRUE(SameColour(image.pixel(20, 20), TileColour(TileAt(*map, 20, 20))));

    // Osaka has only zoom 9: the layer changes to the nearest scale drawn at 9
    QSignalSpy layer(map.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map->MoveTo(Angle(34.70), Angle(135.50), 1, 100000));
    ASSERT_EQ(layer.count(), 1);
    const int newScale = layer[0][1].toInt();
    EXPECT_EQ(map->LayerScale(), newScale);
    EXPECT_EQ(TileZoomFor(WorldPerPixel(newScale, 34.70)), 9);
    const LayerCollection layers = map->LayerCollect();
    for (int i = 0; i < layers.Count(); ++i) {
        const auto item = *layers.Item(i);
        EXPECT_EQ(item.Enabled, TileZoomFor(WorldPerPixel(item.LayerScale, 34.70)) == 9)
            << item.LayerScale;
    }
    const QImage osaka = Settle(*map);
    EXPECT_TRUE(SameColour(osaka.pixel(256, 192), TileColour(TileAt(*map, 256, 192))));

    // dragging out of the fine tiles around Tokyo changes the layer as well
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    layer.clear();
    QSignalSpy moved(map.get(), &MapCtrl::OnMapMoved);
    auto send = [&](QEvent::Type type, QPoint p) {
        QMouseEvent e(type, QPointF(p), map->mapToGlobal(QPointF(p)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(map.get(), &e);
    };
    send(QEvent::MouseButtonPress, {500, 190});
    for (int x = 500; x >= -1500; x -= 100) {
        send(QEvent::MouseMove, {x, 190});
    }
    send(QEvent::MouseButtonRelease, {-1500, 190});
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 9);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_TRUE(moved[0][2].toBool());

    // where there is nothing at all the scale stays and nothing is enabled
    layer.clear();
    ASSERT_TRUE(map->MoveTo(Angle(-33.86), Angle(151.2), 1, 250000));
    EXPECT_EQ(map->LayerScale(), 250000);
    EXPECT_EQ(layer.count(), 1);  // to the 250000 asked for
    const LayerCollection none = map->LayerCollect();
    for (int i = 0; i < none.Count(); ++i) {
        EXPECT_FALSE(none.Item(i)->Enabled);
    }
    Settle(*map);  // no tiles there, and no crash
}

TEST_F(MbTilesTest, LayerOpensOnlyRealFiles) {
    EXPECT_FALSE(MbTilesLayer::Open(paths_.mapsDir + "/none.mbtiles"));
    EXPECT_FALSE(MbTilesLayer::Open(paths_.mapsDir));
    MakeMbTiles(paths_.mapsDir + "/ok.mbtiles");
    auto layer = MbTilesLayer::Open(paths_.mapsDir + "/ok.mbtiles");
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->MinZoom(), 9);
    EXPECT_EQ(layer->MaxZoom(), 12);
    const WorldPoint tokyo = LatLonToWorld(35.68, 139.76);
    const TileKey k{12, static_cast<int>(tokyo.x * 4096), static_cast<int>(tokyo.y * 4096)};
    EXPECT_TRUE(layer->HasTile(k));
    EXPECT_FALSE(layer->HasTile({12, k.x + 10, k.y}));
    EXPECT_FALSE(layer->HasTile({13, k.x * 2, k.y * 2}));
}

}  // namespace
}  // namespace tobrel
