#pragma once
// The receiver's own memory: waypoints, routes and tracks it can send, in
// plain units (degrees, metres, receiver seconds since 1989-12-31 UTC).

#include <cstdint>
#include <string>
#include <vector>

namespace gpssim {

struct SimWaypoint {
    std::string name;  // receiver characters, at most 10
    std::string comment;
    double latitude = 0.0;
    double longitude = 0.0;
    float altitude = 1.0e25f;  // none
    std::uint16_t symbol = 0;
};

struct SimRoute {
    std::uint8_t number = 0;
    std::string name;
    std::vector<SimWaypoint> waypoints;
};

struct SimTrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint32_t time = 0;
    float altitude = 0.0f;
    bool newSegment = false;
};

struct SimTrack {
    std::string name;
    std::vector<SimTrackPoint> points;
};

struct DataSet {
    std::vector<SimWaypoint> waypoints;
    std::vector<SimRoute> routes;
    std::vector<SimTrack> tracks;
};

// A few waypoints, one route and two tracks (the first in two segments)
// around Tokyo Bay.
DataSet BuiltInDataSet();

}  // namespace gpssim
