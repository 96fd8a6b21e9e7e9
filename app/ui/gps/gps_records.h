#pragma once
// Tracks, waypoints and routes on their way between the program's store and
// the GPS control, in the control's terms: positions in the selected datum,
// names and comments as UTF-8, times in receiver seconds. The worker thread
// fills the control from them and reads downloads into them; the window
// thread reads them from the store and puts downloads into it.

#include <cstdint>
#include <string>
#include <vector>

namespace tobrel {

class TobrelFile;

struct GpsPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::uint32_t time = 0;  // receiver seconds since 1989-12-31 00:00:00 UTC
};

struct GpsTrack {
    std::string name;
    // Every segment the control gets; a segment may be empty (its points
    // could not be found in the store).
    std::vector<std::vector<GpsPoint>> segments;
};

struct GpsWaypoint {
    std::string name;
    std::string comment;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::int16_t symbol = 0;
    std::int16_t display = 0;
    double proximity = 0.0;
};

struct GpsRoute {
    std::string name;
    std::vector<GpsWaypoint> waypoints;
};

// The store's tracks as an upload sends them: per segment the points the
// store has for it, in order; a segment whose points cannot be found ends
// its track there (the segment itself is still sent, empty).
std::vector<GpsTrack> TracksForUpload(const TobrelFile& store);
// Every waypoint, up to the first the store cannot give.
std::vector<GpsWaypoint> WaypointsForUpload(const TobrelFile& store);

// What the route dialog chose for sending a track as a route.
struct RouteChoice {
    std::string name;    // the route waypoints' comment
    std::string prefix;  // route waypoint k is named prefix + k
    std::uint16_t symbol = 18;
};
// Store track `track` as route 0 named after it: one route waypoint per point
// over all its segments, display 3, proximity 0.
GpsRoute TrackAsRoute(const TobrelFile& store, int track, const RouteChoice& choice);

// Puts downloaded tracks in place of the store's (unnamed ones become
// "TRACK-" and their number), with distances and headings computed for the
// datum's semi-major axis difference.
void ReplaceTracks(TobrelFile& store, const std::vector<GpsTrack>& tracks, double axisDifference);
void ReplaceWaypoints(TobrelFile& store, const std::vector<GpsWaypoint>& waypoints);

// Between the store's code page 932 and the control's UTF-8.
std::string ToControlText(const char* cp932);
std::string ToStoreText(const std::string& utf8);

}  // namespace tobrel
