#pragma once
// Figures and plot series of one track: length, times, speeds, climb and the
// elevation and speed profiles against distance.
//
// Rules:
// - Length is the sum of the steps within each segment on a sphere of radius
//   6 378 137 m (the store's own sphere); the jump from the end of one segment
//   to the start of the next is not travelled and counts nothing. The distance
//   axis of the profiles follows the same rule, so segments abut.
// - A point has a time unless its stored time is 0 (the store's value for
//   none). Points without a time are left out of every time and speed figure
//   and of the speed profile.
// - A point has an altitude unless it is not finite, at or below -9000 m (the
//   store's no-altitude value -9999 and what a datum shift made of it) or above
//   99 999 m (a receiver's 1.0e25 for none). A track whose every altitude is
//   exactly 0 (older receivers, sketched tracks) is taken as having none.
//   Points without an altitude are left out of the climb, the highest and
//   lowest point and the elevation profile.
// - Speed at a timed point is the distance over time across a window of at
//   least kSpeedWindowSeconds centred on it, within its segment: from the last
//   timed point at or before t - kSpeedWindowSeconds / 2 (or the segment's
//   first timed point) to the first at or after t + kSpeedWindowSeconds / 2
//   (or its last). Maximum speed is the largest of these, so a single jumpy
//   fix does not make it.
// - A step between two timed points of one segment is moving when its own
//   speed is at least kMovingSpeed; moving time adds up such steps, and the
//   moving average is their distance over their time.
// - Ascent and descent use a hysteresis of kClimbThreshold metres per segment:
//   a climb or drop is counted only once the altitude has moved that far from
//   the last turn, and then in full from that turn to the next one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "data/tobrel_file.h"

namespace tobrel {

constexpr double kSpeedWindowSeconds = 10.0;
constexpr double kMovingSpeed = 1.0 / 3.6;  // 1 km/h, in m/s
constexpr double kClimbThreshold = 5.0;     // metres
constexpr std::size_t kDefaultPlotPoints = 2000;

bool HasAltitude(double altitude);
inline bool HasTime(const TrackData& p) {
    return p.time != 0;
}

// One plotted point: x is the distance along the track in metres, y the
// altitude in metres or the speed in m/s, `point` the index in the track.
struct ProfilePoint {
    double distance = 0.0;
    float value = 0.0f;  // plenty for a plot; keeps long series small
    int point = 0;
};

struct TrackStatistics {
    int points = 0;
    int segments = 0;  // runs of points with one segment number
    double lengthMetres = 0.0;

    // Only when at least two points have a time.
    std::optional<std::int64_t> startTime;  // Unix seconds
    std::optional<std::int64_t> endTime;
    std::optional<double> elapsedSeconds;  // last timed point minus the first
    std::optional<double> movingSeconds;
    std::optional<double> movingAverageSpeed;   // m/s
    std::optional<double> overallAverageSpeed;  // timed distance over elapsed time
    std::optional<double> maxSpeed;             // m/s, windowed as above
    std::optional<int> maxSpeedPoint;

    // Only when some point has an altitude.
    std::optional<double> ascentMetres;
    std::optional<double> descentMetres;
    std::optional<double> highestMetres;
    std::optional<int> highestPoint;
    std::optional<double> lowestMetres;
    std::optional<int> lowestPoint;
};

struct TrackAnalysis {
    TrackStatistics statistics;
    // Distance along the track of every point (same rule as the length).
    std::vector<double> distanceAt;
    // Full series, in point order, without the points left out.
    std::vector<ProfilePoint> elevation;
    std::vector<ProfilePoint> speed;
};

// Analyses `count` points in stored order.
TrackAnalysis AnalyseTrack(const TrackData* points, std::size_t count);
inline TrackAnalysis AnalyseTrack(const TrackHeader& track) {
    return AnalyseTrack(track.pTrackData.data(), track.pTrackData.size());
}

// Thins a series (ordered by distance) to at most about `maxPoints` points for
// drawing: the range is cut into maxPoints / 2 equal stretches of distance and
// each keeps its lowest and highest point in their order, so peaks and dips
// stay. The first and last points are always kept. Short series come back whole.
std::vector<ProfilePoint> DecimateProfile(const std::vector<ProfilePoint>& series,
                                          std::size_t maxPoints = kDefaultPlotPoints);

// The entry of a series nearest to `distance` (by distance along the track);
// null for an empty series.
const ProfilePoint* NearestProfilePoint(const std::vector<ProfilePoint>& series, double distance);

// Haversine distance in metres on the store's sphere.
double SphereDistance(double lat1, double lon1, double lat2, double lon2);

}  // namespace tobrel
