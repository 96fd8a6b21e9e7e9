#pragma once
// Map server scripts (*.mps): drawing groups, polylines and labelled points in
// decimal degrees, a text overlay format of map display software. The whole
// store is written; lines are read back as tracks and points as waypoints.

#include <cstdint>
#include <string>
#include <string_view>

#include "data/tobrel_file.h"

namespace tobrel {

constexpr int kDefaultPaletteSize = 8;
// 0x00RRGGBB
extern const std::uint32_t kDefaultPalette[kDefaultPaletteSize];
// Track polylines are cut into statements of this many points.
constexpr int kScriptPointsPerLine = 1500;
constexpr std::uint16_t kScriptWaypointSymbol = 18;
constexpr std::size_t kScriptLabelMax = 41;

// A null palette means the default one. False when the file could not be
// written completely (the previous file then stays as it was) or a given
// palette is empty.
bool WriteMapServerScript(const TobrelFile& store, const std::string& path, bool withTracks,
                          bool withWaypoints, bool withRoutes, const std::uint32_t* palette,
                          int paletteSize, int lineWidth);
bool EncodeMapServerScript(const TobrelFile& store, std::string& out, bool withTracks,
                           bool withWaypoints, bool withRoutes, const std::uint32_t* palette,
                           int paletteSize, int lineWidth);

constexpr int kReadLines = 1;
constexpr int kReadPoints = 2;

// Mode 1 adds every line statement as a track, mode 2 every point statement as
// a waypoint; the store is never cleared. False only when the file cannot be read.
bool ReadMapServerScript(TobrelFile& store, const std::string& path, int mode);
// The same for a script in memory; it ends at its first NUL byte.
void ReadMapServerScriptText(TobrelFile& store, std::string_view text, int mode);

// One statement as the reader sees it.
struct MapServerStatement {
    enum class Kind { kNone, kPoint, kLine };
    Kind kind = Kind::kNone;
    std::string pos;
    char str[kScriptLabelMax + 1] = {};
};

// The statement's lines joined into one, comments and line ends dropped and
// blanks collapsed outside quotes.
std::string JoinStatementLines(std::string_view statement);
MapServerStatement ParseMapServerStatement(std::string_view statement);

}  // namespace tobrel
