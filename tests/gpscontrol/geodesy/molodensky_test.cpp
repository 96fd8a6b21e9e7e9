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
