// Units, projection, layer scales, geometry helpers, the tile source file, the
// built-in world map file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include <QFile>

#include "map/map_decorations.h"
#include "map/map_geometry.h"
#include "map/map_projection.h"
#include "map/tile_layer.h"
#include "map/tile_sources.h"
#include "map/world_map.h"

namespace tobrel {
namespace {

TEST(MapUnits, DegreesTruncateTowardZeroAndClamp) {
    // 1.0000001 degrees is 3600000.36 units: truncated, not rounded
    const std::pair<double, std::int32_t> rows[] = {
        {35.0, 126000000},
        {139.0, 500400000},
        {1.0000001, 3600000},
        {-1.0000001, -3600000},
        {-0.9999999, -3599999},
        {std::nan(""), 0},
        {1e12, std::numeric_limits<std::int32_t>::max()},
        {-1e12, std::numeric_limits<std::int32_t>::min()}};
    for (const auto& [degrees, units] : rows)
        EXPECT_EQ(DegreesToMapAngle(degrees), units) << degrees;
    EXPECT_DOUBLE_EQ(MapAngleToDegrees(126000000), 35.0);
}

TEST(MapUnits, MercatorRoundTripAndLimits) {
    for (double lat : {-85.0, -33.87, 0.0, 35.6812, 85.0}) {
        for (double lon : {-179.9, -0.5, 0.0, 139.7671, 179.9}) {
            double lat2 = 0, lon2 = 0;
            WorldToLatLon(LatLonToWorld(lat, lon), &lat2, &lon2);
            EXPECT_NEAR(lat2, lat, 1e-9);
            EXPECT_NEAR(lon2, lon, 1e-9);
        }
    }
    EXPECT_NEAR(LatLonToWorld(0, 0).x, 0.5, 1e-15);
    EXPECT_NEAR(LatLonToWorld(0, 0).y, 0.5, 1e-15);
    EXPECT_NEAR(LatLonToWorld(90, 0).y, 0.0, 1e-12);  // clamped to the Mercator limit
    EXPECT_NEAR(LatLonToWorld(-90, 0).y, 1.0, 1e-12);
    EXPECT_NEAR(LatLonToWorld(0, 190).x, LatLonToWorld(0, -170).x, 1e-12);
}

TEST(MapUnits, ScaleMeansOneToSAtNinetySixDpiOnTheGround) {
    const double groundPerPixel = 25000 * 0.0254 / 96;  // 6.6146 m at 1:25,000
    for (double lat : {0.0, 35.0, 60.0}) {
        const double projected = WorldPerPixel(25000, lat) * 2 * M_PI * kEarthRadius;
        EXPECT_NEAR(projected * std::cos(lat * M_PI / 180), groundPerPixel, 1e-9);
    }
    EXPECT_EQ(TileZoomFor(WorldPerPixel(25000, 35.0)), 14);  // tiles nearest near Tokyo
    EXPECT_EQ(TileZoomFor(1.0 / 256), 0);
    EXPECT_EQ(TileZoomFor(0.0), 0);
}

TEST(MapUnits, LayerListSnapsAndTitles) {
    const auto& scales = LayerScales();
    for (int s : {25000, 70000, 250000, 1000000})
        EXPECT_GE(LayerScaleIndex(s), 0) << s;
    EXPECT_EQ(LayerScaleIndex(12345), -1);
    EXPECT_TRUE(std::is_sorted(scales.begin(), scales.end()));
    const std::pair<int, int> snaps[] = {{25000, 25000},      {30000, 25000},
                                         {65000, 70000},      {200000000, scales.back()},
                                         {1, scales.front()}, {-5, scales.front()}};
    for (const auto& [asked, got] : snaps)
        EXPECT_EQ(SnapToLayerScale(asked), got) << asked;
    EXPECT_EQ(LayerScaleTitle(25000), "1:25,000");
    EXPECT_EQ(LayerScaleTitle(1000000), "1:1,000,000");
    EXPECT_EQ(LayerScaleTitle(5000), "1:5,000");
}

TEST(MapGeometry, DecimateKeepsEndsAndClipKeepsInsideTheRectangle) {
    std::vector<WorldPoint> pts;
    for (int i = 0; i <= 1000; ++i)
        pts.push_back({i * 0.001, 0.5});
    const auto out = DecimateToGrid(pts.data(), pts.size(), 0.1);  // one point per cell
    ASSERT_GE(out.size(), 2u);
    EXPECT_LE(out.size(), 12u);
    EXPECT_DOUBLE_EQ(out.front().x, 0.0);
    EXPECT_DOUBLE_EQ(out.back().x, 1.0);
    EXPECT_TRUE(DecimateToGrid(pts.data(), 0, 0.1).empty());
    EXPECT_EQ(DecimateToGrid(pts.data(), 1, 0.1).size(), 1u);
    EXPECT_EQ(DecimateToGrid(pts.data(), pts.size(), 0.0).size(), pts.size());

    const QRectF r(0, 0, 100, 100);
    const QPointF line[] = {{-50, 50}, {50, 50}, {50, 150}, {50, 250}, {150, 50}, {60, 60}};
    std::vector<QPolygonF> runs;
    ClipPolyline(line, 6, r, &runs);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], QPolygonF({{0, 50}, {50, 50}, {50, 100}}));
    EXPECT_EQ(runs[1].back(), QPointF(60, 60));
    for (const QPointF& p : runs[1])
        EXPECT_TRUE(r.contains(p)) << p.x() << "," << p.y();
    runs.clear();
    const QPointF far[] = {{-1e9, 50}, {1e9, 50}};  // never comes through as it is
    ClipPolyline(far, 2, r, &runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], QPolygonF({{0, 50}, {100, 50}}));
    const QPolygonF square({{-10, -10}, {50, -10}, {50, 50}, {-10, 50}});
    EXPECT_EQ(ClipPolygon(square, r).boundingRect(), QRectF(0, 0, 50, 50));
    EXPECT_TRUE(ClipPolygon(square, QRectF(200, 200, 10, 10)).isEmpty());
}

TEST(TileSources, GoodLinesAndNoneThatLeaveTheCacheFolder) {
    const QString text =
        "# comment\n"
        "\n"
        "osm|Street map|https://tile.example.org/{z}/{x}/{y}.png|19\n"
        "gsi|地理院地図|https://maps.example.jp/xyz/std/{z}/{x}/{y}.png|18|2\n"
        "../evil|Escape|https://x.example/{z}/{x}/{y}.png|10\n"
        "nozoom|No zoom|https://x.example/{z}/{x}/{y}.png|abc\n"
        "ftp|Wrong scheme|ftp://x.example/{z}/{x}/{y}.png|10\n"
        "noy|Missing y|https://x.example/{z}/{x}.png|10\n"
        "deep|Too deep|https://x.example/{z}/{x}/{y}.png|30\n"
        "inverted|Min above max|https://x.example/{z}/{x}/{y}.png|5|9\n"
        "osm|Duplicate|https://other.example/{z}/{x}/{y}.png|19\n"
        "short|only three|https://x.example/{z}/{x}/{y}.png\n"
        "subs|Lettered|https://{s}.tile.example/{z}/{x}/{y}.png|17||© Example|abc\n"
        "subs2|Named|https://{s}.tile.example/{z}/{x}/{y}.png|17|3||t1, t2\n"
        "subs3|Default|https://{s}.tile.example/{z}/{x}/{y}.png|17\n"
        "nos|No placeholder|https://tile.example/{z}/{x}/{y}.png|17|||a,b\n"
        "long|Too many|https://x.example/{z}/{x}/{y}.png|17|1|a|b|c\n";
    QStringList problems;
    const auto sources = ParseTileSources(text, &problems);
    ASSERT_EQ(sources.size(), 5u);
    EXPECT_EQ(sources[0].name, "osm");
    EXPECT_EQ(sources[0].title, "Street map");
    EXPECT_EQ(std::make_pair(sources[0].minZoom, sources[0].maxZoom), std::make_pair(0, 19));
    EXPECT_TRUE(sources[0].attribution.isEmpty());
    EXPECT_TRUE(sources[0].subdomains.isEmpty());
    EXPECT_EQ(sources[1].title, QString::fromUtf8("地理院地図"));
    EXPECT_EQ(sources[1].minZoom, 2);
    EXPECT_EQ(sources[2].attribution, QString::fromUtf8("© Example"));
    EXPECT_EQ(sources[2].subdomains, QStringList({"a", "b", "c"}));
    EXPECT_EQ(sources[3].minZoom, 3);
    EXPECT_EQ(sources[3].subdomains, QStringList({"t1", "t2"}));
    EXPECT_EQ(sources[4].subdomains, QStringList({"a", "b", "c"}));
    EXPECT_EQ(problems.size(), 10);
    EXPECT_TRUE(IsSafeSourceName("osm-2_b.v1"));
    for (const QString& name :
         {QString(".."), QString("."), QString("a/b"), QString(""), QString(65, 'a')})
        EXPECT_FALSE(IsSafeSourceName(name)) << name.toStdString();
    const TileKey k{12, 3638, 1612};
    EXPECT_EQ(ExpandTileUrl("http://h/{z}/{x}/{y}.png?k={z}", k), "http://h/12/3638/1612.png?k=12");
    // a tile always gets the same subdomain: (x + y) mod their number
    EXPECT_EQ(ExpandTileUrl("http://{s}.h/{z}/{x}/{y}.png", k, {"a", "b", "c"}),
              "http://a.h/12/3638/1612.png");  // 5250 = 3 * 1750
    EXPECT_EQ(ExpandTileUrl("http://{s}.h/{z}/{x}/{y}.png", {12, 3639, 1612}, {"a", "b", "c"}),
              "http://b.h/12/3639/1612.png");
    EXPECT_EQ(TileCachePath("/c", "osm", k), "/c/osm/12/3638/1612.png");
    EXPECT_EQ(TileMetaPath("/c/osm/12/3638/1612.png"), "/c/osm/12/3638/1612.meta");
    for (const auto& source : BuiltInTileSources()) {
        // what a user could write in the file, and with a licence text
        EXPECT_TRUE(IsSafeSourceName(source.name));
        EXPECT_TRUE(source.urlTemplate.startsWith("https://"));
        EXPECT_FALSE(source.attribution.isEmpty());
        EXPECT_TRUE(source.attributionUrl.startsWith("https://"));
    }
    EXPECT_EQ(TmsRow(12, 1612), 4095 - 1612);  // MBTiles rows count from the south
}

TEST(WorldMap, BuiltInCopyLoadsAndCorruptFilesAreRefused) {
    const auto map = BuiltInWorldMap();
    ASSERT_TRUE(map);
    EXPECT_GT(map->borders.size(), 100u);
    const WorldPoint tokyo = LatLonToWorld(35.68, 139.77);  // some land ring covers Tokyo
    EXPECT_TRUE(std::any_of(map->land.begin(), map->land.end(), [&](const auto& ring) {
        return ring.bounds.contains(QPointF(tokyo.x, tokyo.y));
    }));

    QFile file(":/tobrel/worldmap.bin");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    ASSERT_TRUE(DecodeWorldMap(good).has_value());
    const QByteArray raw = qUncompress(good);
    QByteArray huge = good, wrongMagic = raw, oldVersion = raw;
    huge[0] = '\xff';  // a stated size of 4 GiB must not be trusted
    wrongMagic[0] = 'X';
    oldVersion[4] = '\x01';
    // A grid of steps 0.01 degrees from the origin 0, 0, then the given bytes.
    auto withGrid = [](double latStep, double lonStep, const QByteArray& rest) {
        QByteArray b("TBWM\x02", 5);
        for (double v : {latStep, lonStep, 0.0, 0.0})
            b.append(reinterpret_cast<const char*>(&v), 8);
        return qCompress(b + rest);
    };
    // one ring of one point at row 100, column 200 (1, 2 degrees), no borders
    const QByteArray onePoint("\x01\x01\xc8\x01\x90\x03\x00", 7);
    const auto tiny = DecodeWorldMap(withGrid(0.01, 0.01, onePoint));
    ASSERT_TRUE(tiny.has_value());
    ASSERT_EQ(tiny->points.size(), 1u);
    const WorldPoint expected = LatLonToWorld(1.0, 2.0);
    EXPECT_NEAR(tiny->points[0].x, expected.x, 1e-12);
    EXPECT_NEAR(tiny->points[0].y, expected.y, 1e-12);
    // valid compression of bad content: truncated, wrong magic or version,
    // trailing bytes, a point count far beyond the data, grids that are none,
    // coordinates out of range
    const QByteArray bad[] = {
        QByteArray(),
        QByteArray("\x00\x00"),
        good.left(good.size() / 2),
        huge,
        qCompress(raw.left(raw.size() - 3)),
        qCompress(wrongMagic),
        qCompress(oldVersion),
        qCompress(raw + QByteArray(1, '\0')),
        qCompress(raw.left(20)),
        withGrid(0.01, 0.01, QByteArray("\x01\xff\xff\xff\x0f", 5)),
        withGrid(0.0, 0.01, onePoint),
        withGrid(0.01, std::nan(""), onePoint),
        withGrid(1e300, 0.01, onePoint),
        withGrid(1.0, 1.0, QByteArray("\x01\x01\xb6\x01\x00\x00", 6)),  // 91 N
        withGrid(0.01, 0.01,
                 QByteArray("\x01\x01\xff\xff\xff\xff\xff\xff\xff\xff\x7f\x00\x00", 13))};
    for (std::size_t i = 0; i < std::size(bad); ++i)
        EXPECT_FALSE(DecodeWorldMap(bad[i]).has_value()) << i;
}

TEST(WorldMap, GraticuleLabelsStayInsideTheirArea) {
    // 400 x 300 at 1:1,000,000 around Tokyo, with room for scroll bars taken off
    MapView view;
    view.centre = LatLonToWorld(35.5, 139.5);
    view.worldPerPixel = WorldPerPixel(1000000, 35.5);
    view.width = 400;
    view.height = 300;
    QFont font;
    font.setPixelSize(kGraticuleLabelPixels);
    for (const QRect area : {QRect(0, 0, 400, 300), QRect(0, 0, 385, 285)}) {
        const auto labels = GraticuleLabels(view, area, font);
        int meridians = 0, parallels = 0;
        for (const auto& label : labels) {
            EXPECT_TRUE(QRectF(area).contains(label.box)) << label.text.toStdString();
            EXPECT_LT(label.box.bottom(), area.bottom() - kGraticuleBottomBand + 1);
            (label.meridian ? meridians : parallels)++;
        }
        EXPECT_GE(meridians, 1);
        EXPECT_GE(parallels, 1);
        for (std::size_t i = 0; i < labels.size(); ++i)
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                EXPECT_FALSE(labels[i].box.intersects(labels[j].box));
    }
}

TEST(TileCache, LifetimeFromTheCachingHeaders) {
    struct Row {
        const char* cacheControl;
        const char* expires;
        const char* date;
        const char* age;
        bool store;
        qint64 lifetime;
    };
    const Row rows[] = {
        {"max-age=604800", "", "", "", true, 604800},
        {"public, max-age=3600, stale-if-error=60", "", "", "", true, 3600},
        {"MAX-AGE=100", "", "", "30", true, 70},  // time spent in other caches counts
        {"max-age=100", "", "", "500", true, 0},
        {"max-age=60", "Sun, 06 Nov 2050 08:49:37 GMT", "", "", true, 60},  // max-age wins
        {"no-cache", "", "", "", true, 0},
        {"no-store, max-age=100", "", "", "", false, 0},
        {"", "Sun, 06 Nov 1994 09:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 GMT", "", true, 3600},
        {"", "Sun, 06 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 09:49:37 GMT", "", true, 0},
        {"", "0", "Sun, 06 Nov 1994 08:49:37 GMT", "", true, 0},  // "already expired"
        {"max-age=abc", "", "", "", true, 0},
        {"", "", "", "", true, kDefaultTileLifetime},
        {"public", "", "", "", true, kDefaultTileLifetime}};
    for (const Row& r : rows) {
        const TileCachePolicy p = CachePolicyOf(r.cacheControl, r.expires, r.date, r.age);
        EXPECT_EQ(p.store, r.store) << r.cacheControl << " / " << r.expires;
        EXPECT_EQ(p.lifetimeSeconds, r.lifetime) << r.cacheControl << " / " << r.expires;
    }
    // what the cache keeps beside a tile, with no way to add lines of its own
    const TileCacheMeta meta{1700000000, "\"abc\r\nexpires=0\"", "Sun, 06 Nov 1994 08:49:37 GMT"};
    const TileCacheMeta back = DecodeTileMeta(EncodeTileMeta(meta));
    EXPECT_EQ(back.expiresAt, 1700000000);
    EXPECT_EQ(back.etag, "\"abc  expires=0\"");
    EXPECT_EQ(back.lastModified, meta.lastModified);
    const TileCacheMeta none = DecodeTileMeta("garbage\n");
    EXPECT_EQ(none.expiresAt, 0);  // stale, to be revalidated without validators
    EXPECT_TRUE(none.etag.isEmpty());
}

TEST(ScaleBar, RoundDistancesThatFit) {
    struct Row {
        double metresPerPixel;
        double metres;
        const char* label;
    };
    const Row rows[] = {{1.3229, 200, "200 m"},       {6.6146, 1000, "1 km"},
                        {66.146, 10000, "10 km"},     {132.29, 20000, "20 km"},
                        {264.58, 50000, "50 km"},     {661.46, 100000, "100 km"},
                        {7937.5, 1000000, "1000 km"}, {0.001, 1, "1 m"}};
    for (const Row& r : rows) {
        const ScaleBar bar = ScaleBarFor(r.metresPerPixel);
        EXPECT_EQ(bar.metres, r.metres) << r.metresPerPixel;
        EXPECT_EQ(bar.label, r.label) << r.metresPerPixel;
        EXPECT_NEAR(bar.pixels, r.metres / r.metresPerPixel, 1e-9);
    }
    // every listed scale gives a bar of a readable length
    for (double lat : {0.0, 35.0, 60.0}) {
        for (int scale : LayerScales()) {
            MapView view;
            view.centre = LatLonToWorld(lat, 0);
            view.worldPerPixel = WorldPerPixel(scale, lat);
            const ScaleBar bar = ScaleBarFor(MetresPerPixel(view));
            EXPECT_GE(bar.pixels, 80.0) << scale;
            EXPECT_LE(bar.pixels, 200.0) << scale;
        }
    }
    EXPECT_EQ(ScaleBarFor(0.0).pixels, 0.0);
    EXPECT_EQ(ScaleBarFor(std::nan("")).pixels, 0.0);
}

}  // namespace
}  // namespace tobrel
