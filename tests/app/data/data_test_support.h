#pragma once
// Shared by the data tests and the fuzz seed writer: sample stores, and native
// data file images of any version built from a store's records field by field,
// an independent description of the format to check the reader and writer against.

#include <array>
#include <cstdint>
#include <vector>

#include "data/tobrel_file.h"

namespace tobrel::testing {

// Distances go in as the store holds them (so a version 6 image reads them as
// steps); versions below 6 hold only the first track.
std::vector<std::uint8_t> BuildNativeImage(std::int32_t version, const TobrelFile& store);

// Offsets of the header, for tests that corrupt them.
constexpr std::size_t kTrackOffsetField = 20;
constexpr std::size_t kWaypointOffsetField = 24;
constexpr std::size_t kRouteOffsetField = 28;

std::int32_t ReadInt32(const std::vector<std::uint8_t>& bytes, std::size_t at);
void WriteInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value);

// Two tracks, the first in two segments with a double-byte name; three
// waypoints, one with a double-byte identifier that fills the old 8-byte
// field; a route of two waypoints and an empty route. Every field is set.
void FillSample(TobrelFile& store);

// Appends a track of points given as {segment, latitude, longitude}.
void AddTrack(TobrelFile& store, const char* name, const std::vector<std::array<double, 3>>& points,
              int segments = 1);

// One track of pointCount points along a line, for size and split tests.
void FillLongTrack(TobrelFile& store, int pointCount);

}  // namespace tobrel::testing
