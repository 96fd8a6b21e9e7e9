// Units, projection, layer scales, geometry helpers, palettes, the tile source
// file and the built-in world map file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QFile>

#include "map/map_geometry.h"
#include "map/map_overlay.h"
#include "map/map_palette.h"
#include "map/map_projection.h"
#include "map/map_view.h"
#include "map/tile_sources.h"
#include "map/world_map.h"

namespace tobrel {
namespace {

TEST(MapUnits, DegreesTruncateTowardZeroAndClamp) {
    EXPECT_EQ(DegreesToMapAngle(35.0), 126000000);
    EXPECT_EQ(DegreesToMapAngle(139.0), 500400000);
    // 1.0000001 degrees is 3600000.36 units: truncated, not rounded
    EXPECT_EQ(DegreesToMapAngle(1.0000001), 3600000);
    EXPECT_EQ(DegreesToMapAngle(-1.0000001), -3600000);
    EXPECT_EQ(DegreesToMapAngle(-0.9999999), -3599999);
    EXPECT_EQ(DegreesToMapAngle(std::nan("")), 0);
    EXPECT_EQ(DegreesToMapAngle(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(DegreesToMapAngle(-1e12), std::numeric_limits<std::int32_t>::min());
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
    // 1:25,000 at 96 dpi is 6.6146 m of ground per pixel.
    const double groundPerPixel = 25000 * 0.0254 / 96;
    for (double lat : {0.0, 35.0, 60.0}) {
        const double world = WorldPerPixel(25000, lat);
        const double projected = world * 2 * M_PI * kEarthRadius;
        EXPECT_NEAR(projected * std::cos(lat * M_PI / 180), groundPerPixel, 1e-9);
    }
    // at 1:25,000 near Tokyo tiles of zoom 14 come closest
    EXPECT_EQ(TileZoomFor(WorldPerPixel(25000, 35.0)), 14);
    EXPECT_EQ(TileZoomFor(1.0 / 256), 0);
    EXPECT_EQ(TileZoomFor(0.0), 0);
}

TEST(MapUnits, LayerListSnapsAndTitles) {
    const auto& scales = LayerScales();
    for (int s : {25000, 70000, 250000, 1000000}) {
        EXPECT_GE(LayerScaleIndex(s), 0) << s;
    }
    EXPECT_TRUE(std::is_sorted(scales.begin(), scales.end()));
    EXPECT_EQ(SnapToLayerScale(25000), 25000);
    EXPECT_EQ(SnapToLayerScale(30000), 25000);
    EXPECT_EQ(SnapToLayerScale(65000), 70000);
    EXPECT_EQ(SnapToLayerScale(200000000), scales.back());
    EXPECT_EQ(SnapToLayerScale(1), scales.front());
    EXPECT_EQ(SnapToLayerScale(-5), scales.front());
    EXPECT_EQ(LayerScaleIndex(12345), -1);
    EXPECT_EQ(LayerScaleTitle(25000), "1:25,000");
    EXPECT_EQ(LayerScaleTitle(1000000), "1:1,000,000");
    EXPECT_EQ(LayerScaleTitle(5000), "1:5,000");
}

TEST(MapView, CentreSitsOnTheHalfPixelRoundedDown) {
    MapView v;
    v.centre = {0.25, 0.75};
    v.worldPerPixel = 1e-6;
    v.width = 101;
    v.height = 51;
    const WorldPoint c = v.PixelToWorld(50, 25);
    EXPECT_DOUBLE_EQ(c.x, 0.25);
    EXPECT_DOUBLE_EQ(c.y, 0.75);
    const QPointF p = v.WorldToPixel(v.PixelToWorld(3, 7));
    EXPECT_NEAR(p.x(), 3, 1e-6);
    EXPECT_NEAR(p.y(), 7, 1e-6);
}

TEST(MapView, NearestCopyAcrossTheAntimeridian) {
    MapView v;
    v.centre = LatLonToWorld(0, 179.9);
    v.worldPerPixel = 1e-5;
    v.width = 200;
    v.height = 200;
    // 179.95 W lies just east of the centre, not a world away
    const QPointF p = v.WorldToPixelNearest(LatLonToWorld(0, -179.95));
    EXPECT_GT(p.x(), 100);
    EXPECT_LT(p.x(), 100 + 0.2 / 360 / 1e-5 + 1);
}

TEST(MapGeometry, DecimateKeepsEndsAndOnePointPerCell) {
    std::vector<WorldPoint> pts;
    for (int i = 0; i <= 1000; ++i) {
        pts.push_back({i * 0.001, 0.5});
    }
    const auto out = DecimateToGrid(pts.data(), pts.size(), 0.1);
    ASSERT_GE(out.size(), 2u);
    EXPECT_DOUBLE_EQ(out.front().x, 0.0);
    EXPECT_DOUBLE_EQ(out.back().x, 1.0);
    EXPECT_LE(out.size(), 12u);
    EXPECT_TRUE(DecimateToGrid(pts.data(), 0, 0.1).empty());
    EXPECT_EQ(DecimateToGrid(pts.data(), 1, 0.1).size(), 1u);
    EXPECT_EQ(DecimateToGrid(pts.data(), pts.size(), 0.0).size(), pts.size());
}

TEST(MapGeometry, ClipPolylineSplitsRunsAtTheRectangle) {
    const QRectF r(0, 0, 100, 100);
    const QPointF line[] = {{-50, 50}, {50, 50}, {50, 150}, {50, 250}, {150, 50}, {60, 60}};
    std::vector<QPolygonF> runs;
    ClipPolyline(line, 6, r, &runs);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].front(), QPointF(0, 50));
    EXPECT_EQ(runs[0][1], QPointF(50, 50));
    EXPECT_EQ(runs[0].back(), QPointF(50, 100));
    EXPECT_EQ(runs[1].back(), QPointF(60, 60));
    for (const auto& run : runs) {
        for (const QPointF& p : run) {
            EXPECT_TRUE(p.x() >= 0 && p.x() <= 100 && p.y() >= 0 && p.y() <= 100);
        }
    }
    // far away coordinates never come through
    runs.clear();
    const QPointF far[] = {{-1e9, 50}, {1e9, 50}};
    ClipPolyline(far, 2, r, &runs);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0][0], QPointF(0, 50));
    EXPECT_EQ(runs[0][1], QPointF(100, 50));
}

TEST(MapGeometry, ClipPolygonToRectangle) {
    const QPolygonF square({{-10, -10}, {50, -10}, {50, 50}, {-10, 50}});
    const QPolygonF clipped = ClipPolygon(square, QRectF(0, 0, 100, 100));
    EXPECT_EQ(clipped.boundingRect(), QRectF(0, 0, 50, 50));
    EXPECT_TRUE(ClipPolygon(square, QRectF(200, 200, 10, 10)).isEmpty());
}

TEST(MapPalette, GreyAndHalfRecolourOnly) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(200, 40, 10));
    image.setPixel(1, 0, qRgb(0, 0, 0));
    QImage grey = image;
    ApplyPalette(&grey, kPaletteGrey);
    const QRgb g = grey.pixel(0, 0);
    EXPECT_EQ(qRed(g), qGreen(g));
    EXPECT_EQ(qGreen(g), qBlue(g));
    QImage half = image;
    ApplyPalette(&half, kPaletteHalf);
    EXPECT_EQ(half.pixel(1, 0), qRgb(127, 127, 127));
    EXPECT_EQ(half.pixel(0, 0), qRgb(227, 147, 132));
    QImage same = image;
    ApplyPalette(&same, kPaletteNormal);
    EXPECT_EQ(same, image);
    ApplyPalette(&same, 7);
    EXPECT_EQ(same, image);
}

TEST(TileSources, ParsesGoodLinesAndSkipsBadOnes) {
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
    EXPECT_EQ(sources[0].maxZoom, 19);
    EXPECT_EQ(sources[0].minZoom, 0);
    EXPECT_EQ(sources[1].title, QString::fromUtf8("地理院地図"));
    EXPECT_EQ(sources[1].minZoom, 2);
    EXPECT_EQ(problems.size(), 8);
}

TEST(TileSources, NamesCannotLeaveTheCacheFolder) {
    EXPECT_TRUE(IsSafeSourceName("osm-2_b.v1"));
    EXPECT_FALSE(IsSafeSourceName(".."));
    EXPECT_FALSE(IsSafeSourceName("."));
    EXPECT_FALSE(IsSafeSourceName("a/b"));
    EXPECT_FALSE(IsSafeSourceName(""));
    EXPECT_FALSE(IsSafeSourceName(QString(65, 'a')));
}

TEST(TileSources, UrlCachePathAndTmsRow) {
    const TileKey k{12, 3638, 1612};
    EXPECT_EQ(ExpandTileUrl("http://h/{z}/{x}/{y}.png?k={z}", k), "http://h/12/3638/1612.png?k=12");
    EXPECT_EQ(TileCachePath("/c", "osm", k), "/c/osm/12/3638/1612.png");
    EXPECT_EQ(TmsRow(0, 0), 0);
    EXPECT_EQ(TmsRow(12, 1612), 4095 - 1612);
    EXPECT_NE(TileKeyHash({1, 0, 1}), TileKeyHash({1, 1, 0}));
}

TEST(WorldMap, BuiltInCopyLoadsWithLandAndBorders) {
    const auto map = BuiltInWorldMap();
    ASSERT_TRUE(map);
    EXPECT_GT(map->land.size(), 1000u);
    EXPECT_GT(map->borders.size(), 100u);
    EXPECT_GT(map->points.size(), 50000u);
    // some land ring covers Tokyo (35.68 N 139.77 E)
    const WorldPoint tokyo = LatLonToWorld(35.68, 139.77);
    bool covered = false;
    for (const auto& ring : map->land) {
        covered = covered || ring.bounds.contains(QPointF(tokyo.x, tokyo.y));
    }
    EXPECT_TRUE(covered);
}

TEST(WorldMap, CorruptFilesAreRefused) {
    QFile file(":/tobrel/worldmap.bin");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    ASSERT_TRUE(DecodeWorldMap(good).has_value());
    EXPECT_FALSE(DecodeWorldMap(QByteArray()).has_value());
    EXPECT_FALSE(DecodeWorldMap(QByteArray("\x00\x00")).has_value());
    EXPECT_FALSE(DecodeWorldMap(good.left(good.size() / 2)).has_value());
    // a stated size of 4 GiB must not be trusted
    QByteArray huge = good;
    huge[0] = '\xff';
    EXPECT_FALSE(DecodeWorldMap(huge).has_value());
    // valid compression of bad content: truncated, wrong magic, trailing bytes
    const QByteArray raw = qUncompress(good);
    EXPECT_FALSE(DecodeWorldMap(qCompress(raw.left(raw.size() - 3))).has_value());
    QByteArray wrongMagic = raw;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(DecodeWorldMap(qCompress(wrongMagic)).has_value());
    EXPECT_FALSE(DecodeWorldMap(qCompress(raw + QByteArray(1, '\0'))).has_value());
    // a point count far beyond the data
    QByteArray lie("TBWM\x01\x01\xff\xff\xff\x0f", 10);
    EXPECT_FALSE(DecodeWorldMap(qCompress(lie)).has_value());
    // coordinates out of range
    QByteArray outOfRange("TBWM\x01\x01\x01\xff\xff\xff\xff\x0f\x00\x00", 14);
    EXPECT_FALSE(DecodeWorldMap(qCompress(outOfRange)).has_value());
}

TEST(NodeText, FormatAndElementId) {
    EXPECT_EQ(NodeText("TRACK-1", 12), "TRACK-1/12");
    EXPECT_EQ(NodeText(QString::fromUtf8("東京"), -1), QString::fromUtf8("東京/-1"));
    EXPECT_EQ(ElementIdOfNodeText("TRACK-1/12"), 12);
    EXPECT_EQ(ElementIdOfNodeText("T/-1"), -1);
    // a name with a slash: the identifier is still the last part
    EXPECT_EQ(ElementIdOfNodeText("A/B/7"), 7);
    EXPECT_EQ(ElementIdOfNodeText("NOSLASH"), 0);
    EXPECT_EQ(ElementIdOfNodeText("X/"), 0);
    EXPECT_EQ(ElementIdOfNodeText("X/abc"), 0);
    EXPECT_EQ(ElementIdOfNodeText("X/99999999999"), 0);
    EXPECT_EQ(ElementIdOfNodeText(QString::fromUtf8("ソ/5")), 5);
}

}  // namespace
}  // namespace tobrel
