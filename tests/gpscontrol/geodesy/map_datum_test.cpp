#include "geodesy/map_datum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>

using namespace sorvane;

TEST(DatumTable, TextHas124LinesWithoutFinalLineBreak) {
    const std::string_view text = BuiltInDatumTable();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 123);
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 124 * 6);
    EXPECT_EQ(text.find('\r'), std::string_view::npos);
    EXPECT_NE(text.back(), '\n');
}

TEST(DatumTable, ShortLinesAreSkippedAndFieldsWithoutANumberReadAsZero) {
    const auto rows = ParseDatumTable("A,ea,1.5,2,3,4,5\nshort,line\nB,eb,x,,3abc,-,.5,extra");
    ASSERT_EQ(rows.size(), 2u);
    const DatumShift& a = rows[0].shift;
    const DatumShift& b = rows[1].shift;
    EXPECT_EQ(std::tuple(rows[0].name, rows[0].ellipsoid, a.dA, a.dX, a.dY, a.dZ),
              std::tuple("A", "ea", 1.5, 3.0, 4.0, 5.0));
    EXPECT_DOUBLE_EQ(a.dF, 2.0 * 0.0001);
    EXPECT_EQ(std::tuple(rows[1].name, b.dA, b.dF, b.dX, b.dY, b.dZ),
              std::tuple("B", 0.0, 0.0, 3.0, 0.0, 0.5));
}

TEST(MapDatum, KnownRowsAndSelectionFallingBackToTokyo) {
    MapDatum d("WGS 84");
    EXPECT_EQ(std::tuple(d.count(), d.selectedIndex(), d.selectedName()),
              std::tuple(124, 121, "WGS 84"));
    const std::tuple<int, const char*, const char*> rows[] = {
        {0, "Adindan", "Clarke_1880"},
        {8, "Astro Beacon \"E\"", "International"},
        {109, "Schwarzeck", "Bessel_1841_(Namibia)"},
        {116, "Tokyo", "Bessel_1841"},
        {121, "WGS 84", "WGS 84"},
        {123, "Zanderij", "International"},
        {-1, "", ""},
        {124, "", ""},
    };
    for (const auto& [index, name, ellipsoid] : rows) {
        EXPECT_EQ(std::tuple(d.entryName(index), d.entryEllipsoidName(index)),
                  std::tuple(name, ellipsoid))
            << index;
        EXPECT_EQ(d.selectByName(name), *name ? index : 116) << name;
    }
    // Anything but an exact match selects Tokyo, and so does an index outside the table.
    for (const char* name : {"tokyo", "Zanderij ", "no such datum"})
        EXPECT_EQ(d.selectByName(name), 116) << name;
    for (int index : {1000, -1, 124})
        EXPECT_EQ(d.selectByIndex(index), 116) << index;
    EXPECT_EQ(d.selectByIndex(0), 0);
    EXPECT_EQ(d.selectByName("tokyo"), 116);
    EXPECT_EQ(d.selectedName(), "Tokyo");
    EXPECT_EQ(d.selectByIndex(0), 0);
    EXPECT_EQ(d.selectByIndex(124), 116);
    EXPECT_EQ(d.selectedName(), "Tokyo");
    EXPECT_EQ(MapDatum("no such datum").selectedIndex(), 116);
}

TEST(MapDatum, TokyoAndNad83Parameters) {
    MapDatum d;
    EXPECT_EQ(std::tuple(d.deltaA(), d.deltaX(), d.deltaY(), d.deltaZ()),
              std::tuple(739.845, -128.0, 481.0, 664.0));
    EXPECT_DOUBLE_EQ(d.deltaF(), 1.0037483e-5);
    EXPECT_EQ(d.selectByName("NAD83"), 78);
    EXPECT_EQ(std::tuple(d.deltaA(), d.deltaX(), d.deltaY(), d.deltaZ()),
              std::tuple(0.0, 0.0, 0.0, 0.0));
    EXPECT_DOUBLE_EQ(d.deltaF(), -0.000000164348 * 0.0001);
}

// At most size - 1 bytes and a NUL, nothing past size, and the full length back.
TEST(MapDatum, NameBuffersTruncateAndReportFullLength) {
    const MapDatum d;
    const std::tuple<std::function<std::size_t(char*)>, std::size_t, std::string> rows[] = {
        {[&](char* b) { return d.selectedName(b, 4); }, 5, std::string("Tok\0xxxx", 8)},
        {[&](char* b) { return d.selectedName(b, 8); }, 5, std::string("Tokyo\0xx", 8)},
        {[&](char*) { return d.selectedName(nullptr, 0); }, 5, "xxxxxxxx"},
        {[&](char*) { return d.entryEllipsoidName(29, nullptr, 0); }, 14, "xxxxxxxx"},
        {[&](char* b) { return d.entryName(0, b, 0); }, 7, "xxxxxxxx"},
        {[&](char* b) { return d.entryName(0, b, 1); }, 7, std::string("\0xxxxxxx", 8)},
        {[&](char* b) { return d.entryName(500, b, 8); }, 0, std::string("\0xxxxxxx", 8)},
        {[&](char* b) { return d.entryEllipsoidName(-3, b, 8); }, 0, std::string("\0xxxxxxx", 8)},
    };
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& [copy, length, bytes] = rows[i];
        char buf[8];
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(copy(buf), length) << "row " << i;
        EXPECT_EQ(std::string(buf, sizeof buf), bytes) << "row " << i;
    }
}

TEST(MapDatum, TokyoConversionAndRoundTrip) {
    MapDatum d;
    const auto local = d.wgs84ToLocal(35.0, 139.0, 0.0);
    ASSERT_TRUE(local);
    EXPECT_NEAR(local->latitude, 34.99667, 5e-6);
    EXPECT_NEAR(local->longitude, 139.00306, 5e-6);
    EXPECT_NEAR(local->height, -0.47, 0.005);
    // Double-precision evaluation of the formulas done independently.
    EXPECT_NEAR(local->latitude, 34.996665535685516, 1e-11);
    EXPECT_NEAR(local->longitude, 139.00305669127985, 1e-11);
    EXPECT_NEAR(local->height, -0.46715150171508313, 1e-7);

    const auto back = d.localToWgs84(local->latitude, local->longitude, local->height);
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->latitude, 35.0, 1e-6);
    EXPECT_NEAR(back->longitude, 139.0, 1e-6);
    EXPECT_NEAR(back->height, 0.0, 0.1);

    EXPECT_FALSE(d.wgs84ToLocal(std::nan(""), 139.0, 0.0));
    EXPECT_FALSE(d.localToWgs84(35.0, HUGE_VAL, 0.0));
    EXPECT_FALSE(d.localToWgs84(35.0, 139.0, -HUGE_VAL));
}

TEST(MapDatum, Wgs84IsTheIdentity) {
    MapDatum d("WGS 84");
    for (const auto& p : {std::tuple(35.0, 139.0, 10.0), std::tuple(-33.9, -70.6, 512.25),
                          std::tuple(89.9, 179.99, -9999.0), std::tuple(0.0, 0.0, 0.0)}) {
        const auto [lat, lon, h] = p;
        const auto a = d.wgs84ToLocal(lat, lon, h);
        const auto b = d.localToWgs84(lat, lon, h);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(std::tuple(a->latitude, a->longitude, a->height), p);
        EXPECT_EQ(std::tuple(b->latitude, b->longitude, b->height), p);
    }
}

TEST(MapDatum, Distances) {
    MapDatum d;
    EXPECT_EQ(d.distance(35.0, 139.0, 35.0, 139.0), 0.0);
    // Closer than a thousandth of an arc second in both coordinates.
    EXPECT_EQ(d.distance(35.0, 139.0, 35.0 + 2.7e-7, 139.0 - 2.7e-7), 0.0);
    const double tokyo = d.distance(0.0, 0.0, 0.0, 0.0001).value_or(0.0);
    EXPECT_NEAR(tokyo, 11.13, 0.005);
    // On the selected datum's sphere; the law of cosines resolves short arcs to a millimetre.
    EXPECT_NEAR(tokyo, 0.0001 * kDegToRad * (6378137.0 - 739.845), 1e-3);
    d.selectByName("WGS 84");
    EXPECT_NEAR(d.distance(0.0, 0.0, 0.0, 0.0001).value_or(0.0), 0.0001 * kDegToRad * 6378137.0,
                1e-3);
    EXPECT_FALSE(d.distance(std::nan(""), 0.0, 0.0, 1.0));
}
