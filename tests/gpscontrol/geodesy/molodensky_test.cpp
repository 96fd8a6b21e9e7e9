#include "geodesy/molodensky.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace sorvane;

namespace {

constexpr DatumShift kTokyo{739.845, 1.0037483e-5, -128.0, 481.0, 664.0};

}  // namespace

TEST(Molodensky, RoundTripStaysCloseAcrossTheGlobe) {
    const auto a = MolodenskyShift(GeoPosition{35.0, 139.0, 0.0}, kTokyo);
    const auto b = MolodenskyShift(35.0, 139.0, 0.0, 739.845, 1.0037483e-5, -128.0, 481.0, 664.0);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(std::tuple(a->latitude, a->longitude, a->height),
              std::tuple(b->latitude, b->longitude, b->height));
    for (double lat = -80.0; lat <= 80.0; lat += 20.0) {
        for (double lon = -170.0; lon <= 170.0; lon += 40.0) {
            const auto local = MolodenskyShift(GeoPosition{lat, lon, 100.0}, kTokyo);
            ASSERT_TRUE(local);
            const auto back = MolodenskyShift(*local, Reversed(kTokyo));
            ASSERT_TRUE(back);
            // The abridged formulas are not an exact inverse pair; the residue is
            // a few tenths of a metre, in either direction on the ground.
            EXPECT_NEAR(back->latitude, lat, 3e-6) << lat << " " << lon;
            EXPECT_NEAR((back->longitude - lon) * std::cos(lat * kDegToRad), 0.0, 3e-6)
                << lat << " " << lon;
            EXPECT_NEAR(back->height, 100.0, 1.0) << lat << " " << lon;
        }
    }
}

TEST(Molodensky, InverseGivesBackWhatTheForwardShiftWasGiven) {
    // Tokyo and two datums with large shifts of other ellipsoids.
    const DatumShift shifts[] = {kTokyo,
                                 {-112.145, -0.54750714e-4, -162.0, -12.0, 206.0},
                                 {251.0, 0.14192702e-4, -134.0, 229.0, -29.0}};
    for (const DatumShift& shift : shifts) {
        for (double lat = -84.0; lat <= 84.0; lat += 12.0) {
            for (double lon = -179.5; lon <= 180.0; lon += 29.5) {
                for (double h : {0.0, 3776.24, -410.5}) {
                    const GeoPosition local{lat, lon, h};
                    const auto wgs = MolodenskyInverse(local, shift);
                    ASSERT_TRUE(wgs);
                    const auto again = MolodenskyShift(*wgs, shift);
                    ASSERT_TRUE(again);
                    // To the last bits, where one step back misses by decimetres.
                    EXPECT_NEAR(again->latitude, lat, 1e-13) << lat << " " << lon << " " << h;
                    EXPECT_NEAR(again->longitude, lon, 1e-12) << lat << " " << lon << " " << h;
                    EXPECT_NEAR(again->height, h, 1e-8) << lat << " " << lon << " " << h;
                    // A position shifted at height h whose own height was dropped.
                    const auto at = MolodenskyShift(GeoPosition{lat, lon, h}, shift);
                    ASSERT_TRUE(at);
                    const auto back =
                        MolodenskyInverse({at->latitude, at->longitude, 12345.0}, shift, h);
                    ASSERT_TRUE(back);
                    EXPECT_NEAR(back->latitude, lat, 1e-13) << lat << " " << lon << " " << h;
                    EXPECT_NEAR(back->longitude, lon, 1e-12) << lat << " " << lon << " " << h;
                    EXPECT_EQ(back->height, h);
                }
            }
        }
    }
    // The one-step way back is off by far more than that here.
    const auto local = MolodenskyShift(GeoPosition{35.0, 139.0, 0.0}, kTokyo);
    const auto oneStep = MolodenskyShift(*local, Reversed(kTokyo));
    const auto exact = MolodenskyInverse(*local, kTokyo);
    ASSERT_TRUE(oneStep && exact);
    EXPECT_GT(std::fabs(oneStep->latitude - 35.0) + std::fabs(oneStep->longitude - 139.0), 1e-7);
    EXPECT_NEAR(exact->latitude, 35.0, 1e-13);
    EXPECT_NEAR(exact->longitude, 139.0, 1e-13);
    // No shift returns the input as it is; bad input fails.
    const GeoPosition odd{12.345678901234567, -98.76543210987654, 12.5};
    const auto same = MolodenskyInverse(odd, DatumShift{});
    ASSERT_TRUE(same);
    EXPECT_EQ(std::tuple(same->latitude, same->longitude, same->height),
              std::tuple(odd.latitude, odd.longitude, odd.height));
    EXPECT_FALSE(MolodenskyInverse(GeoPosition{35.0, NAN, 0.0}, kTokyo));
    EXPECT_FALSE(MolodenskyInverse(GeoPosition{0.0, 10.0, -6378137.0}, kTokyo));
}

TEST(Molodensky, PoleStaysFiniteAndAHeightCancellingTheRadiusFails) {
    const auto p = MolodenskyShift(GeoPosition{90.0, 0.0, 0.0}, kTokyo);
    ASSERT_TRUE(p);
    EXPECT_TRUE(std::isfinite(p->latitude) && std::isfinite(p->longitude));
    // At the equator the prime vertical radius is exactly a.
    EXPECT_FALSE(MolodenskyShift(GeoPosition{0.0, 10.0, -6378137.0}, kTokyo));
    EXPECT_FALSE(MolodenskyShift(GeoPosition{0.0, 10.0, 0.0}, DatumShift{HUGE_VAL, 0, 0, 0, 0}));
    EXPECT_TRUE(MolodenskyShift(GeoPosition{0.0, 10.0, -6000000.0}, kTokyo));
}

TEST(SphericalDistance, AntipodalPointsAreHalfTheCircumference) {
    // Rounding takes the cosine of the first pair to -1.0000000000000002;
    // clamping keeps the answer instead of failing.
    const double r = 6378137.0;
    EXPECT_NEAR(SphericalDistance(-89.1, 0.0, 89.1, 180.0, r).value_or(0.0), M_PI * r, 1.0);
    EXPECT_NEAR(SphericalDistance(0.0, 0.0, 0.0, 180.0, r).value_or(0.0), M_PI * r, 1.0);
}

TEST(SphericalDistance, QuarterMeridianAndSymmetry) {
    const double r = 6377397.155;
    EXPECT_NEAR(SphericalDistance(0.0, 139.0, 90.0, 139.0, r).value_or(0.0), M_PI / 2 * r, 1.0);
    const auto ab = SphericalDistance(35.0, 139.0, 43.0, 141.3, r);
    const auto ba = SphericalDistance(43.0, 141.3, 35.0, 139.0, r);
    ASSERT_TRUE(ab && ba);
    EXPECT_NEAR(*ab, *ba, 1e-6);
    EXPECT_FALSE(SphericalDistance(0.0, 0.0, 1.0, INFINITY, r));
}
