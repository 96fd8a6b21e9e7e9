// Units, projection, layer scales, geometry helpers, the tile source file, the
// built-in world map file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include <QFile>

#include "map/map_geometry.h"
#include "map/map_projection.h"
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
        "short|only three|https://x.example/{z}/{x}/{y}.png\n";
    QStringList problems;
    const auto sources = ParseTileSources(text, &problems);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources[0].name, "osm");
    EXPECT_EQ(sources[0].title, "Street map");
    EXPECT_EQ(std::make_pair(sources[0].minZoom, sources[0].maxZoom), std::make_pair(0, 19));
    EXPECT_EQ(sources[1].title, QString::fromUtf8("地理院地図"));
    EXPECT_EQ(sources[1].minZoom, 2);
    EXPECT_EQ(problems.size(), 8);
    EXPECT_TRUE(IsSafeSourceName("osm-2_b.v1"));
    for (const QString& name :
         {QString(".."), QString("."), QString("a/b"), QString(""), QString(65, 'a')})
        EXPECT_FALSE(IsSafeSourceName(name)) << name.toStdString();
    const TileKey k{12, 3638, 1612};
    EXPECT_EQ(ExpandTileUrl("http://h/{z}/{x}/{y}.png?k={z}", k), "http://h/12/3638/1612.png?k=12");
    EXPECT_EQ(TileCachePath("/c", "osm", k), "/c/osm/12/3638/1612.png");
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
    QByteArray huge = good, wrongMagic = raw;
    huge[0] = '\xff';  // a stated size of 4 GiB must not be trusted
    wrongMagic[0] = 'X';
    // valid compression of bad content: truncated, wrong magic, trailing bytes, a point
    // count far beyond the data, coordinates out of range
    const QByteArray bad[] = {
        QByteArray(),
        QByteArray("\x00\x00"),
        good.left(good.size() / 2),
        huge,
        qCompress(raw.left(raw.size() - 3)),
        qCompress(wrongMagic),
        qCompress(raw + QByteArray(1, '\0')),
        qCompress(QByteArray("TBWM\x01\x01\xff\xff\xff\x0f", 10)),
        qCompress(QByteArray("TBWM\x01\x01\x01\xff\xff\xff\xff\x0f\x00\x00", 14))};
    for (std::size_t i = 0; i < std::size(bad); ++i)
        EXPECT_FALSE(DecodeWorldMap(bad[i]).has_value()) << i;
}

}  // namespace
}  // namespace tobrel
