#pragma once
// The receiver's own memory: waypoints, routes and tracks it can send, in
// plain units (degrees, metres, receiver seconds since 1989-12-31 UTC), and
// the small text file that describes one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gpssim {

// What receivers put in a float field that has no value.
constexpr float kNoValue = 1.0e25f;

struct SimWaypoint {
    std::string name;     // as the receiver sends it (receiver codes for character set 2)
    std::string comment;  // older layouts carry 40 characters
    double latitude = 0.0;
    double longitude = 0.0;
    float altitude = kNoValue;  // newer layouts only
    std::uint16_t symbol = 0;
    std::uint8_t display = 0;  // layouts 4103 and 4104
    float proximity = 0.0f;    // layout 4104
    bool operator==(const SimWaypoint&) const = default;
};

struct SimRoute {
    std::uint8_t number = 0;  // older family
    std::string name;
    std::vector<SimWaypoint> waypoints;
    bool operator==(const SimRoute&) const = default;
};

struct SimTrackPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint32_t time = 0;
    float altitude = 0.0f;  // newer family
    bool newSegment = false;
    bool operator==(const SimTrackPoint&) const = default;
};

struct SimTrack {
    std::string name;
    std::vector<SimTrackPoint> points;  // segments begin at points with newSegment
    bool operator==(const SimTrack&) const = default;
};

struct DataSet {
    std::vector<SimWaypoint> waypoints;
    std::vector<SimRoute> routes;
    std::vector<SimTrack> tracks;
    bool operator==(const DataSet&) const = default;
};

// A few waypoints, one route and two tracks (the first in two segments)
// around Tokyo Bay. Character set 2 receivers get names in their own code.
DataSet BuiltInDataSet(int characterSet = 1);

// The data file: one item per line, '#' starts a comment.
//   track NAME                            a track; its first point starts a segment
//   segment                               the next point starts a new segment
//   point LAT LON TIME [ALT]              degrees, receiver seconds, metres
//   waypoint NAME LAT LON [KEY=VALUE...]  keys alt, symbol, display, proximity, comment
//   route NUMBER NAME                     a route
//   routepoint NAME LAT LON [KEY=VALUE...]  a waypoint of the last route
// Text is a bare word or "quoted" with the escapes \" \\ and \xHH.
bool ParseDataSet(std::string_view text, DataSet* out, std::string* error);
bool LoadDataSet(const std::string& path, DataSet* out, std::string* error);
// The data set in the file format; ParseDataSet reads it back unchanged
// (the first point of a track always starts a segment).
std::string FormatDataSet(const DataSet& data);
// Text quoted with escapes as the file format wants it.
std::string QuoteText(std::string_view text);

}  // namespace gpssim
