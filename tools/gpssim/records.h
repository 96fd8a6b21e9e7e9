#pragma once
// Record layouts as the receiver sends them, and what it makes of the
// records a host uploads. Written from the protocol description, apart from
// the control's own code, so that the two check each other.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dataset.h"
#include "profile.h"

namespace gpssim {

constexpr std::uint8_t kPidRouteHeader = 29;
constexpr std::uint8_t kPidRouteWaypoint = 30;
constexpr std::uint8_t kPidTrackPoint = 34;
constexpr std::uint8_t kPidWaypoint = 35;
constexpr std::uint8_t kPidRouteLink = 98;
constexpr std::uint8_t kPidTrackHeader = 99;

constexpr std::uint16_t kCommandRoutes = 4;
constexpr std::uint16_t kCommandTracks = 6;
constexpr std::uint16_t kCommandWaypoints = 7;

// Positions on the wire: signed 32-bit units of 180 / 2^31 degree.
std::int32_t DegreesToWire(double degrees);  // nearest unit
double WireToDegrees(std::int32_t units);

std::vector<std::uint8_t> EncodeWaypoint(int waypointType, const SimWaypoint& w);
std::vector<std::uint8_t> EncodeRouteHeader(bool newerFamily, const SimRoute& r);
std::vector<std::uint8_t> EncodeRouteLink();
std::vector<std::uint8_t> EncodeTrackHeader(const SimTrack& t);
std::vector<std::uint8_t> EncodeTrackPoint(bool newerFamily, const SimTrackPoint& p,
                                           bool newSegment);

// One packet of an upload, decoded for the layout of the receiver played.
// Only the members of the packet's kind are filled.
struct UploadedPacket {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> data;
    bool sizeMatches = true;  // the data size is the layout's

    // Waypoints (35) and route waypoints (30). Names and comments lose their
    // padding (spaces for the older family, zero bytes for the newer).
    SimWaypoint waypoint;
    // Track points (34): positions and time, altitude, depth and flag byte
    // (newer family), and the three trailing bytes of the newer layout.
    SimTrackPoint trackPoint;
    float depth = 0.0f;
    std::uint8_t flagByte = 0;
    std::uint8_t trailer[3] = {};
    // Waypoint and track point positions as sent.
    std::int32_t rawLatitude = 0;
    std::int32_t rawLongitude = 0;
    // Track headers (99).
    std::uint8_t trackDisplay = 0;
    std::uint8_t trackColour = 0;
    std::string trackName;
    // Route headers (29).
    std::uint8_t routeNumber = 0;
    std::string routeName;
};

UploadedPacket DecodeUpload(const Profile& profile, std::uint8_t id,
                            std::span<const std::uint8_t> data);
// One line of text for a log.
std::string DescribeUpload(const UploadedPacket& p);

}  // namespace gpssim
