// Track figures and profiles: a known track worked out by hand, points
// without altitude or time, the climb hysteresis, the speed window and the
// thinning of long profiles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "data/track_statistics.h"

namespace tobrel {
namespace {

constexpr std::uint32_t kT0 = 1000000000;  // receiver seconds; 0 means no time
// On the equator a degree of longitude is this long on the store's sphere.
constexpr double kMetresPerDegree = 6378137.0 * std::numbers::pi / 180.0;
constexpr float kNone = -9999.0f;

struct P {
    double eastMetres;      // along the equator
    std::uint32_t seconds;  // after kT0; kNoTime for none
    float altitude;
    std::int16_t segment = 1;
};
constexpr std::uint32_t kNoTime = std::numeric_limits<std::uint32_t>::max();

std::vector<TrackData> Track(const std::vector<P>& points) {
    std::vector<TrackData> out;
    for (const P& p : points) {
        TrackData d{};
        d.latitude = 0.0;
        d.longitude = p.eastMetres / kMetresPerDegree;
        d.time = p.seconds == kNoTime ? 0 : kT0 + p.seconds;
        d.altitude = p.altitude;
        d.segment = p.segment;
        out.push_back(d);
    }
    return out;
}

// Two segments; the second starts 9.4 km further on (a gap that is not
// travelled), its first point has no altitude and its middle one no time.
std::vector<TrackData> KnownTrack() {
    return Track({{0, 0, 100},
                  {100, 20, 102},
                  {200, 40, 110},
                  {200, 100, 108},  // a minute's stop
                  {300, 120, 120},
                  {400, 140, 117},
                  {600, 160, 100},  // 10 m/s
                  {10000, 400, kNone, 2},
                  {10100, kNoTime, 101, 2},
                  {10200, 440, 101, 2}});
}

TEST(TrackStatistics, KnownTrackByHand) {
    const auto points = KnownTrack();
    const TrackAnalysis a = AnalyseTrack(points.data(), points.size());
    const TrackStatistics& s = a.statistics;
    EXPECT_EQ(s.points, 10);
    EXPECT_EQ(s.segments, 2);
    EXPECT_NEAR(s.lengthMetres, 600 + 200, 1e-6);  // the gap counts nothing
    ASSERT_TRUE(s.elapsedSeconds && s.movingSeconds);
    EXPECT_EQ(*s.startTime, std::int64_t{kT0} + kUnixTimeOffset);
    EXPECT_EQ(*s.endTime, std::int64_t{kT0} + 440 + kUnixTimeOffset);
    EXPECT_DOUBLE_EQ(*s.elapsedSeconds, 440);
    // moving: 100 s of the first segment (not the stop), 40 s of the second
    EXPECT_DOUBLE_EQ(*s.movingSeconds, 140);
    EXPECT_NEAR(*s.movingAverageSpeed, 800.0 / 140.0, 1e-9);
    EXPECT_NEAR(*s.overallAverageSpeed, 800.0 / 440.0, 1e-9);
    // windowed speed at the last point of segment 1: from 140 s to 160 s, 200 m
    EXPECT_NEAR(*s.maxSpeed, 10.0, 1e-9);
    EXPECT_EQ(*s.maxSpeedPoint, 6);
    // climb: 100 -> 120 (the 110 -> 108 dip is below the 5 m threshold), then
    // 120 -> 100; the second segment stays at 101
    EXPECT_DOUBLE_EQ(*s.ascentMetres, 20);
    EXPECT_DOUBLE_EQ(*s.descentMetres, 20);
    EXPECT_DOUBLE_EQ(*s.highestMetres, 120);
    EXPECT_EQ(*s.highestPoint, 4);
    EXPECT_DOUBLE_EQ(*s.lowestMetres, 100);
    EXPECT_EQ(*s.lowestPoint, 0);

    // profiles: x the distance along the track, without the left-out points
    const std::vector<double> distances = {0, 100, 200, 200, 300, 400, 600, 600, 700, 800};
    ASSERT_EQ(a.distanceAt.size(), distances.size());
    for (std::size_t i = 0; i < distances.size(); ++i)
        EXPECT_NEAR(a.distanceAt[i], distances[i], 1e-6) << i;
    std::vector<int> elevationPoints, speedPoints;
    for (const auto& p : a.elevation)
        elevationPoints.push_back(p.point);
    for (const auto& p : a.speed)
        speedPoints.push_back(p.point);
    EXPECT_EQ(elevationPoints, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 8, 9}));
    EXPECT_EQ(speedPoints, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 9}));
    // around the stop the window reaches back to 20 s (100 m) and on to 100 s (200 m)
    const std::vector<double> speeds = {5, 5, 1.25, 1.25, 5, 7.5, 10, 5, 5};
    for (std::size_t i = 0; i < speeds.size(); ++i)
        EXPECT_NEAR(a.speed[i].value, speeds[i], 1e-9) << i;
    EXPECT_NEAR(a.elevation[7].distance, 700, 1e-6);
    EXPECT_EQ(a.elevation[7].value, 101);
}

TEST(TrackStatistics, PointsWithoutAltitudeOrTimeAreLeftOut) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* what;
        std::vector<P> points;
        int elevation;  // points in the elevation profile
        int speed;      // points in the speed profile
        bool times;
        bool altitudes;
    };
    const Row rows[] = {
        {"every kind of missing altitude",
         {{0, 0, kNone}, {10, 10, 1.0e25f}, {20, 20, nan}, {30, 30, -9999.9f}, {40, 40, 250}},
         1,
         5,
         true,
         true},
        // a datum shift moves the store's -9999 by some metres; still none
        {"shifted no-altitude", {{0, 0, -9963.5f}, {10, 10, 12}}, 1, 2, true, true},
        {"all zero: an older receiver", {{0, 0, 0}, {10, 10, 0}, {20, 20, 0}}, 0, 3, true, false},
        {"one zero among real ones", {{0, 0, 0}, {10, 10, 3}}, 2, 2, true, true},
        {"no times at all", {{0, kNoTime, 5}, {10, kNoTime, 6}}, 2, 0, false, true},
        {"a single time", {{0, 7, 5}, {10, kNoTime, 6}}, 2, 0, false, true},
        {"empty", {}, 0, 0, false, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        const auto points = Track(r.points);
        const TrackAnalysis a = AnalyseTrack(points.data(), points.size());
        EXPECT_EQ(static_cast<int>(a.elevation.size()), r.elevation);
        EXPECT_EQ(static_cast<int>(a.speed.size()), r.speed);
        EXPECT_EQ(a.statistics.elapsedSeconds.has_value(), r.times);
        EXPECT_EQ(a.statistics.maxSpeed.has_value(), r.times);
        EXPECT_EQ(a.statistics.ascentMetres.has_value(), r.altitudes);
        EXPECT_EQ(a.statistics.highestMetres.has_value(), r.altitudes);
        for (const auto& p : a.elevation)
            EXPECT_TRUE(HasAltitude(p.value)) << p.value;
    }
}

TEST(TrackStatistics, ClimbNeedsTheThresholdAndSpeedIgnoresOneJumpyFix) {
    // GPS altitude noise of 4 m up and down climbs nothing; a slow rise does
    std::vector<P> noisy, slow;
    for (int i = 0; i < 40; ++i) {
        noisy.push_back({i * 10.0, static_cast<std::uint32_t>(i), i % 2 ? 104.0f : 100.0f});
        slow.push_back({i * 10.0, static_cast<std::uint32_t>(i), 100.0f + i});
    }
    auto points = Track(noisy);
    EXPECT_EQ(*AnalyseTrack(points.data(), points.size()).statistics.ascentMetres, 0);
    points = Track(slow);
    EXPECT_EQ(*AnalyseTrack(points.data(), points.size()).statistics.ascentMetres, 39);

    // one fix a second at 1 m/s, the fix at 20 s thrown 30 m ahead: a step
    // speed of 31 m/s, but over a 10 s window at most 68 m / 10 s
    std::vector<P> walk;
    for (int i = 0; i <= 40; ++i)
        walk.push_back({i + (i == 20 ? 30.0 : 0.0), static_cast<std::uint32_t>(i), 50});
    points = Track(walk);
    const TrackAnalysis a = AnalyseTrack(points.data(), points.size());
    EXPECT_NEAR(*a.statistics.maxSpeed, 6.8, 1e-6);
    // steps taken backwards in time count for neither time nor speed
    points = Track({{0, 100, 1}, {10, 50, 1}, {20, 60, 1}});
    const TrackAnalysis back = AnalyseTrack(points.data(), points.size());
    EXPECT_EQ(*back.statistics.elapsedSeconds, 0);  // the last fix is older than the first
    EXPECT_EQ(*back.statistics.movingSeconds, 10);
}

TEST(TrackStatistics, LongProfilesThinnedKeepingPeaksAndEnds) {
    std::vector<ProfilePoint> series;
    for (int i = 0; i < 100000; ++i)
        series.push_back({i * 1.5, static_cast<float>(std::sin(i / 500.0) * 100.0), i});
    series[31337].value = 5000.0;  // a spike
    series[77777].value = -5000.0;
    const auto thin = DecimateProfile(series, 2000);
    EXPECT_LE(thin.size(), 2000u);
    EXPECT_GE(thin.size(), 1000u);
    EXPECT_EQ(thin.front().point, 0);
    EXPECT_EQ(thin.back().point, 99999);
    bool spike = false, dip = false;
    for (std::size_t i = 1; i < thin.size(); ++i) {
        EXPECT_LT(thin[i - 1].point, thin[i].point);  // still in order
        spike = spike || thin[i].point == 31337;
        dip = dip || thin[i].point == 77777;
    }
    EXPECT_TRUE(spike && dip);
    // short series come back whole; all points on one spot still thin
    EXPECT_EQ(
        DecimateProfile(std::vector<ProfilePoint>(series.begin(), series.begin() + 50)).size(),
        50u);
    std::vector<ProfilePoint> still(5000, ProfilePoint{42.0, 1.0f, 0});
    EXPECT_LE(DecimateProfile(still, 100).size(), 100u);

    // the entry nearest a distance (for hovering a plot)
    const std::vector<ProfilePoint> few = {{0, 1, 0}, {100, 2, 3}, {250, 3, 9}};
    EXPECT_EQ(NearestProfilePoint(few, -50)->point, 0);
    EXPECT_EQ(NearestProfilePoint(few, 49)->point, 0);
    EXPECT_EQ(NearestProfilePoint(few, 51)->point, 3);
    EXPECT_EQ(NearestProfilePoint(few, 200)->point, 9);
    EXPECT_EQ(NearestProfilePoint(few, 1e9)->point, 9);
    EXPECT_EQ(NearestProfilePoint({}, 10), nullptr);
}

}  // namespace
}  // namespace tobrel
