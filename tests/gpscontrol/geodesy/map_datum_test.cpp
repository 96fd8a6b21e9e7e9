#include "geodesy/map_datum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

using namespace sorvane;

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

TEST(DatumTable, TextHas124LinesWithoutFinalLineBreak) {
    const std::string_view text = BuiltInDatumTable();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 123);
    EXPECT_EQ(text.find('\r'), std::string_view::npos);
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(text.substr(0, 8), "Adindan,");
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), 124 * 6);
}

TEST(DatumTable, RowsAreSortedIgnoringCase) {
    const auto rows = ParseDatumTable(BuiltInDatumTable());
    ASSERT_EQ(rows.size(), 124u);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LT(Lower(rows[i - 1].name), Lower(rows[i].name)) << i;
    }
}

TEST(DatumTable, ShortLinesAreSkippedAndRowsStayContiguous) {
    const auto rows = ParseDatumTable("A,ea,1.5,2,3,4,5\nshort,line\nB,eb,-1,-2,-3,-4,-5,extra");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "A");
    EXPECT_EQ(rows[0].ellipsoid, "ea");
    EXPECT_DOUBLE_EQ(rows[0].shift.dA, 1.5);
    EXPECT_DOUBLE_EQ(rows[0].shift.dF, 2.0 * 0.0001);
    EXPECT_DOUBLE_EQ(rows[0].shift.dZ, 5.0);
    EXPECT_EQ(rows[1].name, "B");
    EXPECT_DOUBLE_EQ(rows[1].shift.dX, -3.0);
}

TEST(DatumTable, FieldsWithoutANumberReadAsZero) {
    const auto rows = ParseDatumTable("A,e,x,,3abc,-,.5");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].shift.dA, 0.0);
    EXPECT_EQ(rows[0].shift.dF, 0.0);
    EXPECT_EQ(rows[0].shift.dX, 3.0);
    EXPECT_EQ(rows[0].shift.dY, 0.0);
    EXPECT_EQ(rows[0].shift.dZ, 0.5);
}

TEST(MapDatum, KnownRowsAndDefaultSelection) {
    MapDatum d;
    EXPECT_EQ(d.count(), 124);
    EXPECT_EQ(d.selectedIndex(), 116);
    EXPECT_EQ(d.selectedName(), "Tokyo");
    EXPECT_EQ(d.entryName(0), "Adindan");
    EXPECT_EQ(d.entryName(116), "Tokyo");
    EXPECT_EQ(d.entryName(121), "WGS 84");
    EXPECT_EQ(d.entryName(123), "Zanderij");
    EXPECT_EQ(d.entryName(8), "Astro Beacon \"E\"");
    EXPECT_EQ(d.entryEllipsoidName(116), "Bessel_1841");
    EXPECT_EQ(d.entryEllipsoidName(109), "Bessel_1841_(Namibia)");
    EXPECT_EQ(d.entryName(-1), "");
    EXPECT_EQ(d.entryName(124), "");
    EXPECT_EQ(d.entryEllipsoidName(124), "");
}

TEST(MapDatum, SelectionFallsBackToTokyo) {
    MapDatum d("WGS 84");
    EXPECT_EQ(d.selectedIndex(), 121);
    EXPECT_EQ(d.selectByName("tokyo"), 116);  // case differs: fallback, not a match
    EXPECT_EQ(d.selectByName("Adindan"), 0);
    EXPECT_EQ(d.selectByName(""), 116);
    EXPECT_EQ(d.selectByName("Zanderij"), 123);
    EXPECT_EQ(d.selectByName("Zanderij "), 116);
    EXPECT_EQ(d.selectByName("WGS 84"), 121);
    EXPECT_EQ(d.selectByIndex(1000), 116);
    EXPECT_EQ(d.selectedName(), "Tokyo");
    EXPECT_EQ(d.selectByIndex(-1), 116);
    EXPECT_EQ(d.selectByIndex(124), 116);
    EXPECT_EQ(d.selectByIndex(123), 123);
    EXPECT_EQ(d.selectByIndex(0), 0);
    EXPECT_EQ(d.selectedName(), "Adindan");
    EXPECT_EQ(MapDatum("no such datum").selectedIndex(), 116);
}

TEST(MapDatum, TokyoAndNad83Parameters) {
    MapDatum d;
    EXPECT_DOUBLE_EQ(d.deltaA(), 739.845);
    EXPECT_DOUBLE_EQ(d.deltaF(), 1.0037483e-5);
    EXPECT_EQ(d.deltaX(), -128.0);
    EXPECT_EQ(d.deltaY(), 481.0);
    EXPECT_EQ(d.deltaZ(), 664.0);

    d.selectByName("NAD83");
    EXPECT_EQ(d.selectedIndex(), 78);
    EXPECT_EQ(d.deltaA(), 0.0);
    EXPECT_DOUBLE_EQ(d.deltaF(), -0.000000164348 * 0.0001);
    EXPECT_EQ(d.deltaX(), 0.0);
    EXPECT_EQ(d.deltaY(), 0.0);
    EXPECT_EQ(d.deltaZ(), 0.0);

    d.selectByName("WGS 72");
    EXPECT_EQ(d.deltaA(), 2.0);
    EXPECT_DOUBLE_EQ(d.deltaF(), 0.000312106 * 0.0001);
    EXPECT_EQ(d.deltaZ(), 5.0);
}

TEST(MapDatum, NameBuffersTruncateAndReportFullLength) {
    MapDatum d;
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(d.selectedName(buf, 4), 5u);
    EXPECT_STREQ(buf, "Tok");
    EXPECT_EQ(buf[4], 'x');  // nothing written past the given size
    EXPECT_EQ(d.selectedName(buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "Tokyo");
    EXPECT_EQ(d.selectedName(nullptr, 0), 5u);
    EXPECT_EQ(d.entryEllipsoidName(29, nullptr, 0), std::strlen("Danish Gi 1934"));

    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(d.entryName(0, buf, 0), 7u);  // size 0: nothing, not even a NUL
    EXPECT_EQ(buf[0], 'x');
    EXPECT_EQ(d.entryName(0, buf, 1), 7u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(d.entryName(500, buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(d.entryEllipsoidName(-3, buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "");
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
}

TEST(MapDatum, Wgs84IsTheIdentity) {
    MapDatum d("WGS 84");
    for (const GeoPosition p : {GeoPosition{35.0, 139.0, 10.0}, GeoPosition{-33.9, -70.6, 512.25},
                                GeoPosition{89.9, 179.99, -9999.0}, GeoPosition{0.0, 0.0, 0.0}}) {
        const auto a = d.wgs84ToLocal(p.latitude, p.longitude, p.height);
        const auto b = d.localToWgs84(p.latitude, p.longitude, p.height);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->latitude, p.latitude);
        EXPECT_EQ(a->longitude, p.longitude);
        EXPECT_EQ(a->height, p.height);
        EXPECT_EQ(b->latitude, p.latitude);
        EXPECT_EQ(b->longitude, p.longitude);
        EXPECT_EQ(b->height, p.height);
    }
}

TEST(MapDatum, ConversionOfNonFiniteInputFails) {
    MapDatum d;
    EXPECT_FALSE(d.wgs84ToLocal(std::nan(""), 139.0, 0.0));
    EXPECT_FALSE(d.localToWgs84(35.0, HUGE_VAL, 0.0));
    EXPECT_FALSE(d.localToWgs84(35.0, 139.0, -HUGE_VAL));
}

TEST(MapDatum, Distances) {
    MapDatum d;
    EXPECT_EQ(d.distance(35.0, 139.0, 35.0, 139.0), 0.0);
    // Closer than a thousandth of an arc second in both coordinates.
    EXPECT_EQ(d.distance(35.0, 139.0, 35.0 + 2.7e-7, 139.0 - 2.7e-7), 0.0);

    const auto tokyo = d.distance(0.0, 0.0, 0.0, 0.0001);
    ASSERT_TRUE(tokyo);
    EXPECT_NEAR(*tokyo, 11.13, 0.005);
    // The law of cosines resolves short arcs to about a millimetre.
    EXPECT_NEAR(*tokyo, 0.0001 * kDegToRad * (6378137.0 - 739.845), 1e-3);

    d.selectByName("WGS 84");
    const auto wgs = d.distance(0.0, 0.0, 0.0, 0.0001);
    ASSERT_TRUE(wgs);
    EXPECT_NEAR(*wgs, 0.0001 * kDegToRad * 6378137.0, 1e-3);
    EXPECT_GT(*wgs, *tokyo);

    EXPECT_FALSE(d.distance(std::nan(""), 0.0, 0.0, 1.0));
}
