#pragma once
// Records of the GPS control's store. Positions are WGS 84 degrees; names and
// comments are zero-terminated code page 932 bytes.

#include <cmath>
#include <cstdint>
#include <vector>

#include "text/record_limits.h"

namespace sorvane {

constexpr double kNoAltitude = -9999.0;

// Whether an altitude stands for none: kNoAltitude, or a value no receiver
// measures, such as the 1.0e25 of a newer-family track point without one.
// Such positions convert between datums at height 0 and keep the value.
inline bool IsAltitudeAbsent(double altitude) {
    return altitude == kNoAltitude ||
           (std::isfinite(altitude) && (altitude < -9999.0 || altitude > 99999.0));
}

struct TrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::uint32_t time = 0;  // receiver seconds since 1989-12-31 00:00:00 UTC
};

struct TrackSegment {
    std::vector<TrackPoint> points;
};

struct TrackRecord {
    char name[kNameMax + 1] = {};
    std::vector<TrackSegment> segments;
};

struct WaypointRecord {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;  // kNoAltitude when absent
    char name[kNameMax + 1] = {};
    char comment[kCommentMax + 1] = {};
    float proximity = 0.0f;
    std::uint16_t symbol = 0;
    std::uint16_t display = 0;
};

struct RouteRecord {
    std::uint16_t number = 0;
    char name[kCommentMax + 1] = {};
    std::vector<WaypointRecord> waypoints;
};

}  // namespace sorvane
