#pragma once
// Builds native data file images of any version, laid out field by field on
// their own so that the reader and writer are checked against an independent
// description of the format.

#include <cstdint>
#include <string>
#include <vector>

namespace tobrel::testing {

struct ImagePoint {
    double latitude = 0;
    double longitude = 0;
    std::uint32_t time = 0;
    std::int16_t segment = 1;
    std::uint16_t heading = 0;
    float altitude = 0;
    double distance = 0;  // as stored: per step in version 6, cumulative in 7
};

struct ImageWaypoint {
    double latitude = 0;
    double longitude = 0;
    float altitude = 0;
    float distance = 0;
    std::uint16_t symbol = 0;
    std::uint16_t display = 0;
    std::string ident;
    std::string comment;
};

struct ImageTrack {
    std::string name;
    std::int32_t segments = 1;
    std::vector<ImagePoint> points;
};

struct ImageRoute {
    std::string name;
    std::vector<ImageWaypoint> waypoints;
};

struct ImageContent {
    std::int32_t timeZoneBias = 0;
    std::vector<ImageTrack> tracks;  // versions below 6 hold only the first
    std::vector<ImageWaypoint> waypoints;
    std::vector<ImageRoute> routes;
};

std::vector<std::uint8_t> BuildNativeImage(std::int32_t version, const ImageContent& content);

// Offsets of the header, for tests that corrupt them.
constexpr std::size_t kVersionField = 16;
constexpr std::size_t kTrackOffsetField = 20;
constexpr std::size_t kWaypointOffsetField = 24;
constexpr std::size_t kRouteOffsetField = 28;
constexpr std::size_t kTimeZoneField = 104;

std::int32_t ReadInt32(const std::vector<std::uint8_t>& bytes, std::size_t at);
void WriteInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value);

}  // namespace tobrel::testing
