// Raster tile areas: XYZ tiles from a local HTTP server with the disk cache,
// MBTiles files, missing and broken tiles, and layer scales that follow the
// data.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>

#include "map/map_ctrl.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::Angle;
using test::Render;

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

// Serves /z/x/y.png on 127.0.0.1: tiles, but 404 for odd x in row `missingRow`
// and bytes that are no image in row `brokenRow`.
class TileServer : public QObject {
  public:
    TileServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        listening = server_.listen(QHostAddress::LocalHost, 0);
    }
    QByteArray Source(const char* name) const {
        return QByteArray(name) +
               "|Local tiles|http://127.0.0.1:" + QByteArray::number(server_.serverPort()) +
               "/{z}/{x}/{y}.png|18\n";
    }
    void Stop() { server_.close(); }

    bool listening = false;
    QStringList paths, userAgents;
    int missingRow = -1, brokenRow = -1;

  private:
    void Serve(QTcpSocket* s) {
        QByteArray& buf = pending_[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = buf.split('\n');
        buf.clear();
        for (const QByteArray& line : lines)
            if (line.toLower().startsWith("user-agent:"))
                userAgents.append(QString::fromLatin1(line.mid(11).trimmed()));
        const QByteArray path = lines[0].split(' ').value(1);
        paths.append(QString::fromLatin1(path));
        const QList<QByteArray> parts = path.split('/');  // "", z, x, y.png
        const TileKey k{parts.value(1).toInt(), parts.value(2).toInt(),
                        parts.value(3).split('.').value(0).toInt()};
        QByteArray status = "200 OK", body = TilePng(k);
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
    // A map of the area, around Tokyo at 1:100,000 unless the area is empty.
    std::unique_ptr<MapCtrl> NewMap(const QString& area = {}) {
        auto map = std::make_unique<MapCtrl>(nullptr, paths_);
        map->resize(512, 384);
        map->SetDatumShift({});
        EXPECT_TRUE(area.isEmpty() || map->SetAreaCode(area)) << area.toStdString();
        EXPECT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
        return map;
    }
    // Renders until the tile loads settle.
    static QImage Settle(MapCtrl& map) {
        QImage image = Render(map);
        for (int i = 0; i < 5 && test::WaitFor([&] { return !map.IsLoadingTiles(); }); ++i) {
            image = Render(map);
            if (!map.IsLoadingTiles())
                break;
        }
        return image;
    }
    // The tile under a pixel at the zoom the view draws.
    static TileKey TileAt(const MapCtrl& map, int x, int y) {
        const MapView v = map.CurrentView();
        const int z = TileZoomFor(v.worldPerPixel);
        const WorldPoint w = v.PixelToWorld(x + 0.5, y + 0.5);
        return {z, static_cast<int>(std::floor(w.x * (1 << z))),
                static_cast<int>(std::floor(w.y * (1 << z)))};
    }
    static void ExpectTileColours(MapCtrl& map, const QImage& image,
                                  std::initializer_list<QPoint> pixels) {
        for (const QPoint& p : pixels) {
            const TileKey k = TileAt(map, p.x(), p.y());
            EXPECT_TRUE(SameColour(image.pixel(p), TileColour(k)))
                << p.x() << "," << p.y() << " tile " << k.z << "/" << k.x << "/" << k.y;
        }
    }
    // Whether the scales enabled are exactly those whose tile zoom at `lat` passes.
    static void ExpectEnabled(MapCtrl& map, double lat, const std::function<bool(int)>& zoomOk) {
        const LayerCollection layers = map.LayerCollect();
        for (int i = 0; i < layers.Count(); ++i) {
            const auto item = *layers.Item(i);
            EXPECT_EQ(item.Enabled, zoomOk(TileZoomFor(WorldPerPixel(item.LayerScale, lat))))
                << item.LayerScale;
        }
    }

    QTemporaryDir dir_;
    MapPaths paths_;
};

TEST_F(MapTilesTest, FetchedDrawnCachedAndDrawnAgainOffline) {
    TileServer server;
    ASSERT_TRUE(server.listening);
    WriteConfig("# test source\n" + server.Source("local"));
    TileKey centreTile;
    {
        auto map = NewMap();
        const AreaCollection areas = map->AreaCollect();
        ASSERT_EQ(areas.Count(), 2);
        EXPECT_EQ(areas.Item(0)->AreaCode, "local");
        EXPECT_EQ(areas.Item(0)->Title, "Local tiles");
        EXPECT_EQ(areas.Item(1)->AreaCode, "WORLD");  // the built-in map stays last
        EXPECT_EQ(map->AreaCode(), "WORLD");
        EXPECT_FALSE(map->SetAreaCode("NOWHERE"));
        ASSERT_TRUE(map->SetAreaCode("local"));
        const QImage image = Settle(*map);
        ASSERT_FALSE(server.paths.isEmpty());
        EXPECT_EQ(server.userAgents.value(0), "TobrelPA/0.20");
        ExpectTileColours(*map, image, {{256, 192}, {10, 10}, {500, 370}});
        centreTile = TileAt(*map, 256, 192);
        EXPECT_TRUE(QFile::exists(TileCachePath(paths_.tileCacheDir, "local", centreTile)));
    }
    server.Stop();
    const int requests = server.paths.size();
    auto map = NewMap("local");
    EXPECT_TRUE(SameColour(Settle(*map).pixel(256, 192), TileColour(centreTile)));
    EXPECT_EQ(server.paths.size(), requests);
}

TEST_F(MapTilesTest, MissingBrokenAndUnreachableTilesLeaveTheBaseMap) {
    TileServer server;
    QTcpServer probe;  // a port nobody listens on
    ASSERT_TRUE(server.listening && probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    WriteConfig(server.Source("local") + "gone|Gone|http://127.0.0.1:" + QByteArray::number(port) +
                "/{z}/{x}/{y}.png|18\n");
    const QImage plain = Render(*NewMap());  // the same view on the built-in map
    EXPECT_EQ(Settle(*NewMap("gone")), plain);

    auto map = NewMap("local");
    const TileKey centre = TileAt(*map, 256, 192);
    server.missingRow = centre.y;
    server.brokenRow = centre.y + 1;
    const QImage image = Settle(*map);
    int missing = 0;
    for (int x = 4; x < 500; x += 16) {
        for (int y = 4; y < 370; y += 16) {
            const TileKey k = TileAt(*map, x, y);
            if ((k.y == centre.y && k.x % 2 != 0) || k.y == centre.y + 1) {
                EXPECT_EQ(image.pixel(x, y), plain.pixel(x, y)) << x << "," << y;
                ++missing;
            } else {
                EXPECT_TRUE(SameColour(image.pixel(x, y), TileColour(k))) << x << "," << y;
            }
        }
    }
    EXPECT_GT(missing, 0);
    const TileKey broken{centre.z, centre.x, centre.y + 1};  // never cached
    EXPECT_FALSE(QFile::exists(TileCachePath(paths_.tileCacheDir, "local", broken)));
}

TEST_F(MapTilesTest, ScalesBeyondTheSourceZoomAreDisabled) {
    WriteConfig("coarse|Coarse|http://127.0.0.1:9/{z}/{x}/{y}.png|12|8\n");
    auto map = NewMap("coarse");
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 1000000));
    QSignalSpy layer(map.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 25000));
    // 1:25,000 wants zoom 14 here; the nearest scale with zoom 12 or less is used
    EXPECT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 12);
    EXPECT_EQ(map->LayerScale(), 100000);
    ASSERT_GE(layer.count(), 1);
    EXPECT_EQ(layer.last()[1].toInt(), 100000);
    ExpectEnabled(*map, 35.68, [](int z) { return z >= 8 && z <= 12; });
}

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
        ASSERT_TRUE(db.transaction());
        const std::tuple<int, double, double, int> spots[] = {
            {12, 35.68, 139.76, 3}, {9, 35.68, 139.76, 1}, {9, 34.70, 135.50, 1}};
        for (const auto& [z, lat, lon, radius] : spots) {
            const WorldPoint w = LatLonToWorld(lat, lon);
            const int cx = static_cast<int>(w.x * (1 << z)), cy = static_cast<int>(w.y * (1 << z));
            for (int x = cx - radius; x <= cx + radius; ++x) {
                for (int y = cy - radius; y <= cy + radius; ++y) {
                    q.prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)");
                    q.addBindValue(z);
                    q.addBindValue(x);
                    q.addBindValue(TmsRow(z, y));  // rows count from the south
                    q.addBindValue(TilePng({z, x, y}));
                    ASSERT_TRUE(q.exec());
                }
            }
        }
        ASSERT_TRUE(db.commit());
    }
    QSqlDatabase::removeDatabase(name);
}

TEST_F(MapTilesTest, MbTilesReadWithTheRowFlipAndLayersFollowTheData) {
    MakeMbTiles(paths_.mapsDir + "/kanto.mbtiles");
    // files that are no MBTiles are left out
    for (const auto& [file, bytes] : {std::pair{"/junk.mbtiles", QByteArray(4096, '\x5a')},
                                      std::pair{"/empty.mbtiles", QByteArray()}}) {
        QFile f(paths_.mapsDir + file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    auto map = NewMap();
    const AreaCollection areas = map->AreaCollect();
    ASSERT_EQ(areas.Count(), 2);
    EXPECT_EQ(areas.Item(0)->AreaCode, "kanto");
    EXPECT_EQ(areas.Item(0)->Title, "Kanto test map");
    ASSERT_TRUE(map->SetAreaCode("kanto"));
    ASSERT_EQ(map->LayerScale(), 100000);
    ASSERT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 12);
    ExpectTileColours(*map, Settle(*map), {{256, 192}, {20, 20}});

    // Osaka has only zoom 9: the layer changes to the nearest scale drawn at 9
    QSignalSpy layer(map.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map->MoveTo(Angle(34.70), Angle(135.50), 1, 100000));
    ASSERT_EQ(layer.count(), 1);
    const int newScale = layer[0][1].toInt();
    EXPECT_EQ(map->LayerScale(), newScale);
    EXPECT_EQ(TileZoomFor(WorldPerPixel(newScale, 34.70)), 9);
    ExpectEnabled(*map, 34.70, [](int z) { return z == 9; });
    ExpectTileColours(*map, Settle(*map), {{256, 192}});

    // dragging out of the fine tiles around Tokyo changes the layer as well
    ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76), 1, 100000));
    layer.clear();
    QSignalSpy moved(map.get(), &MapCtrl::OnMapMoved);
    test::Mouse(*map, QEvent::MouseButtonPress, {500, 190}, Qt::LeftButton);
    for (int x = 500; x >= -1500; x -= 100)
        test::Mouse(*map, QEvent::MouseMove, {x, 190}, Qt::LeftButton);
    test::Mouse(*map, QEvent::MouseButtonRelease, {-1500, 190}, Qt::LeftButton);
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(TileZoomFor(map->CurrentView().worldPerPixel), 9);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_TRUE(moved[0][2].toBool());

    // where there is nothing at all the scale stays and nothing is enabled
    layer.clear();
    ASSERT_TRUE(map->MoveTo(Angle(-33.86), Angle(151.2), 1, 250000));
    EXPECT_EQ(map->LayerScale(), 250000);
    EXPECT_EQ(layer.count(), 1);  // to the 250000 asked for
    ExpectEnabled(*map, -33.86, [](int) { return false; });
    Settle(*map);  // no tiles there, and no crash
}

}  // namespace
}  // namespace tobrel
