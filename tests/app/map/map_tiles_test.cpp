// Raster tile areas: XYZ tiles from a local HTTP server with the disk cache,
// MBTiles files, missing and broken tiles, and layer scales that follow the
// data.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "map/map_ctrl.h"
#include "map/tile_layer.h"
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

// Serves /z/x/y.png on 127.0.0.1 (or another loopback address): tiles, but
// 404 for odd x in row `missingRow` and bytes that are no image in row
// `brokenRow`. With an `etag` it sends it with `cacheControl` and answers a
// matching If-None-Match with 304; while `down` it answers 503; `delayMs`
// holds every answer back.
class TileServer : public QObject {
  public:
    explicit TileServer(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0) {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { Serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        listening = server_.listen(address, port);
    }
    quint16 Port() const { return server_.serverPort(); }
    QByteArray Source(const char* name, const QByteArray& extra = {}) const {
        return QByteArray(name) +
               "|Local tiles|http://127.0.0.1:" + QByteArray::number(server_.serverPort()) +
               "/{z}/{x}/{y}.png|18" + extra + "\n";
    }
    void Stop() { server_.close(); }

    bool listening = false;
    QStringList paths, userAgents, ifNoneMatch;
    int missingRow = -1, brokenRow = -1;
    QByteArray etag, cacheControl;
    int colourShift = 0;  // changes every tile's colour, as a new edition would
    bool down = false;
    int delayMs = 0;
    int open = 0, mostOpen = 0;  // answers pending at once

  private:
    void Serve(QTcpSocket* s) {
        QByteArray& buf = pending_[s];
        buf += s->readAll();
        if (!buf.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> lines = buf.split('\n');
        buf.clear();
        QByteArray conditional;
        for (const QByteArray& line : lines) {
            const QByteArray lower = line.toLower();
            if (lower.startsWith("user-agent:"))
                userAgents.append(QString::fromLatin1(line.mid(11).trimmed()));
            if (lower.startsWith("if-none-match:"))
                conditional = line.mid(14).trimmed();
        }
        ifNoneMatch.append(QString::fromLatin1(conditional));
        const QByteArray path = lines[0].split(' ').value(1);
        paths.append(QString::fromLatin1(path));
        const QList<QByteArray> parts = path.split('/');  // "", z, x, y.png
        const TileKey k{parts.value(1).toInt(), parts.value(2).toInt(),
                        parts.value(3).split('.').value(0).toInt()};
        QByteArray status = "200 OK", body = TilePng({k.z, k.x + colourShift, k.y}), headers;
        if (!etag.isEmpty())
            headers = "ETag: " + etag + "\r\nCache-Control: " + cacheControl + "\r\n";
        if (down) {
            status = "503 Service Unavailable";
            body = "busy";
        } else if (k.y == missingRow && k.x % 2 != 0) {
            status = "404 Not Found";
            body = "no such tile";
        } else if (k.y == brokenRow) {
            body = "this is not a picture";
        } else if (!etag.isEmpty() && conditional == etag) {
            status = "304 Not Modified";
            body.clear();
        }
        const QByteArray answer = "HTTP/1.1 " + status + "\r\nContent-Type: image/png\r\n" +
                                  headers + "Content-Length: " + QByteArray::number(body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + body;
        mostOpen = std::max(mostOpen, ++open);
        QTimer::singleShot(delayMs, s, [this, s, answer] {
            --open;
            s->write(answer);
            s->disconnectFromHost();
        });
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
        const QString file = TileCachePath(paths_.tileCacheDir, "local", centreTile);
        EXPECT_TRUE(QFile::exists(file));
        // no caching headers: fresh for a week
        ASSERT_TRUE(test::WaitFor([&] { return QFile::exists(TileMetaPath(file)); }));
        QFile meta(TileMetaPath(file));
        ASSERT_TRUE(meta.open(QIODevice::ReadOnly));
        EXPECT_NEAR(DecodeTileMeta(meta.readAll()).expiresAt,
                    QDateTime::currentSecsSinceEpoch() + kDefaultTileLifetime, 60);
    }
    server.Stop();
    const int requests = server.paths.size();
    auto map = NewMap("local");
    EXPECT_TRUE(SameColour(Settle(*map).pixel(256, 192), TileColour(centreTile)));
    EXPECT_EQ(server.paths.size(), requests);
}

// Everything but the corner where the retry note goes.
QImage WithoutNote(const MapCtrl& map, QImage image) {
    QPainter p(&image);
    p.fillRect(QRect(map.LabelArea().right() - 200, 0, 201, 30), Qt::black);
    return image;
}

TEST_F(MapTilesTest, MissingBrokenAndUnreachableTilesLeaveTheBaseMap) {
    TileServer server;
    QTcpServer probe;  // a port nobody listens on
    ASSERT_TRUE(server.listening && probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    WriteConfig(server.Source("local") + "gone|Gone|http://127.0.0.1:" + QByteArray::number(port) +
                "/{z}/{x}/{y}.png|18\n");
    auto plainMap = NewMap();  // the same view on the built-in map
    const QImage plain = Render(*plainMap);
    auto gone = NewMap("gone");
    QSignalSpy status(gone.get(), &MapCtrl::TileStatusChanged);
    EXPECT_EQ(WithoutNote(*gone, Settle(*gone)), WithoutNote(*gone, plain));
    // a quiet note on the map, and the window is told
    EXPECT_TRUE(gone->IsTileRetryPending());
    EXPECT_TRUE(test::WaitFor([&] { return status.count() > 0; }));
    EXPECT_TRUE(status.value(0).value(0).toBool());
    EXPECT_FALSE(plainMap->IsTileRetryPending());

    auto map = NewMap("local");
    const TileKey centre = TileAt(*map, 256, 192);
    server.missingRow = centre.y;
    server.brokenRow = centre.y + 1;
    const QImage image = WithoutNote(*map, Settle(*map));
    const QImage plainMasked = WithoutNote(*map, plain);
    int missing = 0;
    for (int x = 4; x < 500; x += 16) {
        for (int y = 36; y < 370; y += 16) {
            const TileKey k = TileAt(*map, x, y);
            if ((k.y == centre.y && k.x % 2 != 0) || k.y == centre.y + 1) {
                EXPECT_EQ(image.pixel(x, y), plainMasked.pixel(x, y)) << x << "," << y;
                ++missing;
            } else if (!map->ScaleBarRect().contains(x, y)) {
                EXPECT_TRUE(SameColour(image.pixel(x, y), TileColour(k))) << x << "," << y;
            }
        }
    }
    EXPECT_GT(missing, 0);
    const TileKey broken{centre.z, centre.x, centre.y + 1};  // never cached
    EXPECT_FALSE(QFile::exists(TileCachePath(paths_.tileCacheDir, "local", broken)));
    // a broken tile is retried later, not at once: drawing again asks for nothing
    const int asked = server.paths.size();
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(map->MoveTo(Angle(35.68), Angle(139.76 + i * 1e-5), 1, 0));
        Render(*map);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(server.paths.size(), asked);
    EXPECT_TRUE(map->IsTileRetryPending());
}

TEST_F(MapTilesTest, AFailingServerGetsARestAndTilesAreRetriedLater) {
    TileServer server;
    ASSERT_TRUE(server.listening);
    server.down = true;
    WriteConfig(server.Source("local"));
    auto map = NewMap("local");
    QSignalSpy status(map.get(), &MapCtrl::TileStatusChanged);
    const TileKey centre = TileAt(*map, 256, 192);
    Settle(*map);
    ASSERT_TRUE(map->IsTileRetryPending());
    // after the first answers failed nothing more was sent
    EXPECT_LE(server.paths.size(), XyzTileLayer::kMaxPerServer);
    server.down = false;
    // the map repaints itself when the back-off ends and then gets its tiles
    map->show();
    ASSERT_TRUE(test::WaitFor([&] { return !map->IsTileRetryPending(); }, 60000));
    map->hide();
    ExpectTileColours(*map, Settle(*map), {{256, 192}, {500, 370}});
    const QString path = QStringLiteral("/%1/%2/%3.png").arg(centre.z).arg(centre.x).arg(centre.y);
    EXPECT_GE(server.paths.count(path), 1);
    ASSERT_TRUE(test::WaitFor([&] { return status.count() >= 2; }));
    EXPECT_TRUE(status.first().value(0).toBool());
    EXPECT_FALSE(status.last().value(0).toBool());
}

TEST_F(MapTilesTest, ExpiredTileRevalidatedWithIfNoneMatchAndFreshTileKept) {
    TileServer server;
    ASSERT_TRUE(server.listening);
    server.etag = "\"v1\"";
    server.cacheControl = "max-age=3600";
    WriteConfig(server.Source("local"));
    const TileKey centre = TileAt(*NewMap(), 256, 192);
    const QString file = TileCachePath(paths_.tileCacheDir, "local", centre);
    auto readMeta = [&] {
        QFile f(TileMetaPath(file));
        return f.open(QIODevice::ReadOnly) ? DecodeTileMeta(f.readAll()) : TileCacheMeta{};
    };
    auto expire = [&] {
        TileCacheMeta meta = readMeta();
        meta.expiresAt = QDateTime::currentSecsSinceEpoch() - 10;
        QFile f(TileMetaPath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeTileMeta(meta));
    };
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    {
        auto map = NewMap("local");
        ExpectTileColours(*map, Settle(*map), {{256, 192}});
    }
    ASSERT_TRUE(test::WaitFor([&] { return !readMeta().etag.isEmpty(); }));
    EXPECT_EQ(readMeta().etag, "\"v1\"");
    EXPECT_GE(readMeta().expiresAt, before + 3600);
    EXPECT_LE(readMeta().expiresAt, QDateTime::currentSecsSinceEpoch() + 3600);

    // fresh: shown from the cache without asking
    int asked = server.paths.size();
    {
        auto map = NewMap("local");
        ExpectTileColours(*map, Settle(*map), {{256, 192}});
    }
    EXPECT_EQ(server.paths.size(), asked);

    // expired: shown at once, asked for with If-None-Match, 304 keeps it fresh again
    expire();
    QFileInfo info(file);
    const QDateTime written = info.lastModified();
    {
        auto map = NewMap("local");
        ExpectTileColours(*map, Settle(*map), {{256, 192}});
        ASSERT_TRUE(test::WaitFor(
            [&] { return readMeta().expiresAt > QDateTime::currentSecsSinceEpoch() + 3000; }));
    }
    const QString path = QStringLiteral("/%1/%2/%3.png").arg(centre.z).arg(centre.x).arg(centre.y);
    ASSERT_EQ(server.paths.lastIndexOf(path) >= asked, true);
    EXPECT_EQ(server.ifNoneMatch.value(server.paths.lastIndexOf(path)), "\"v1\"");
    EXPECT_EQ(QFileInfo(file).lastModified(), written);  // the tile itself untouched

    // a new edition: the server answers the old ETag with the new tile
    expire();
    server.etag = "\"v2\"";
    server.colourShift = 1;
    {
        auto map = NewMap("local");
        ASSERT_TRUE(test::WaitFor([&] {
            return SameColour(Render(*map).pixel(256, 192),
                              TileColour({centre.z, centre.x + 1, centre.y}));
        }));
        ASSERT_TRUE(test::WaitFor([&] { return readMeta().etag == "\"v2\""; }));
    }

    // offline with an expired tile: still shown
    expire();
    server.Stop();
    asked = server.paths.size();
    auto map = NewMap("local");
    const QImage image = Settle(*map);
    EXPECT_TRUE(SameColour(image.pixel(256, 192), TileColour({centre.z, centre.x + 1, centre.y})));
}

TEST_F(MapTilesTest, TwoRequestsAtATimePerServerAndSubdomainsBySum) {
    // two servers on one port at two loopback addresses, as {s} picks them
    TileServer one(QHostAddress("127.0.0.1"));
    ASSERT_TRUE(one.listening);
    TileServer two(QHostAddress("127.0.0.2"), one.Port());
    if (!two.listening)
        GTEST_SKIP() << "127.0.0.2 cannot be bound here";
    one.delayMs = two.delayMs = 30;
    WriteConfig("sub|Sub|http://127.0.0.{s}:" + QByteArray::number(one.Port()) +
                "/{z}/{x}/{y}.png|18||Test attribution|1,2\n");
    auto map = NewMap("sub");
    const QImage image = Settle(*map);
    ExpectTileColours(*map, image, {{256, 192}, {10, 40}, {500, 370}});
    EXPECT_GT(one.paths.size(), 2);
    EXPECT_GT(two.paths.size(), 2);
    EXPECT_EQ(one.mostOpen, 2);
    EXPECT_EQ(two.mostOpen, 2);
    for (const auto* server : {&one, &two}) {
        for (const QString& path : server->paths) {
            const QStringList part = path.split('/');  // "", z, x, y.png
            const int sum = part[2].toInt() + part[3].split('.')[0].toInt();
            EXPECT_EQ(sum % 2, server == &one ? 0 : 1) << path.toStdString();
        }
    }
}

TEST_F(MapTilesTest, AttributionDrawnForItsSourceOnly) {
    TileServer server;
    ASSERT_TRUE(server.listening);
    WriteConfig(server.Source("local", "||© Test contributors"));
    auto world = NewMap();
    EXPECT_TRUE(world->Attribution().isEmpty());
    EXPECT_TRUE(world->AttributionRect().isEmpty());
    auto map = NewMap("local");
    EXPECT_EQ(map->Attribution(), QString::fromUtf8("© Test contributors"));
    const QRect box = map->AttributionRect();
    ASSERT_FALSE(box.isEmpty());
    // bottom-right, clear of the scroll bars and of the scale bar
    EXPECT_TRUE(map->LabelArea().contains(box));
    EXPECT_GT(box.right(), map->LabelArea().right() - 5);
    EXPECT_GT(box.bottom(), map->LabelArea().bottom() - 5);
    EXPECT_FALSE(box.intersects(map->ScaleBarRect()));
    const QImage image = Settle(*map);
    // a light box with dark text in it over the tiles
    int light = 0, dark = 0;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            const int v = qGray(image.pixel(x, y));
            light += v > 200;
            dark += v < 110;
        }
    }
    EXPECT_GT(light, box.width() * box.height() / 2);
    EXPECT_GT(dark, 20);
    // the same view without the attribution has no such box
    WriteConfig(server.Source("local"));
    auto bare = NewMap("local");
    EXPECT_TRUE(bare->AttributionRect().isEmpty());
}

TEST_F(MapTilesTest, ReadyMadeSourcesComeBeforeTheWorldMapAndGiveWayToTheUsers) {
    paths_.builtInSources = true;
    WriteConfig("osm|My street map|http://127.0.0.1:9/{z}/{x}/{y}.png|19\n");
    // Only the lists and the attribution are read: nothing is drawn, so
    // nothing is fetched from a public server.
    MapCtrl map(nullptr, paths_);
    const AreaCollection areas = map.AreaCollect();
    ASSERT_EQ(areas.Count(), 3);
    EXPECT_EQ(areas.Item(0)->AreaCode, "osm");
    EXPECT_EQ(areas.Item(0)->Title, "My street map");
    EXPECT_EQ(areas.Item(1)->AreaCode, "gsi-std");
    EXPECT_EQ(areas.Item(2)->AreaCode, "WORLD");
    EXPECT_EQ(map.AreaCode(), "WORLD");
    ASSERT_TRUE(map.SetAreaCode("gsi-std"));
    EXPECT_EQ(map.Attribution(), QString::fromUtf8("出典: 地理院タイル"));
    ASSERT_TRUE(map.SetAreaCode("osm"));
    EXPECT_TRUE(map.Attribution().isEmpty());  // the user's source named none
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
    test::WriteMbTiles(path, "Kanto test map",
                       {{12, 35.68, 139.76, 3}, {9, 35.68, 139.76, 1}, {9, 34.70, 135.50, 1}},
                       TilePng);
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
