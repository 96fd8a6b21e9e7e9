#pragma once
// GPX 1.1 files: tracks with their segments, waypoints and routes, read into
// and written from the program's store. GPX positions are WGS 84 while the
// store holds the datum selected in the GPS control, so every call takes that
// datum's parameters from the caller; this library never guesses a datum.
//
// Reading also accepts GPX 1.0 and files without a namespace, skips unknown
// elements and extensions, and refuses entity declarations, so no input can
// make it read another file or expand text without bound.

#include <cstdint>
#include <span>
#include <string>

#include "data/tobrel_file.h"
#include "geodesy/molodensky.h"

namespace tobrel {

// The waypoint record type whose symbol names are written and read by default:
// the long table, shared by both newer record types that carry symbols.
constexpr int kGpxDefaultSymbolTable = 4108;

// What the store holds for an absent altitude: a track point carries the
// receivers' own "none" (1.0e25, sent back unchanged on upload), a waypoint the
// store's -9999 (which the GPS control turns into that same "none"). Any
// altitude at or below -9999 or at or above 1e24 is written as none. The
// position of a point without an altitude converts at WGS 84 height 0.
constexpr float kGpxNoTrackAltitude = 1.0e25f;
constexpr float kGpxNoWaypointAltitude = -9999.0f;

// Namespace of the program's own extension elements (proximity distance,
// display option, symbol numbers without a name, time-zone bias).
constexpr const char* kGpxExtensionNamespace = "urn:x-tobrelpa:gpx:1";

struct GpxOptions {
    // `storeDatum` is the shift of the store's datum relative to WGS 84, as the
    // GPS control reports it (GetMapDatumDeltaA to GetMapDatumDeltaZ); all zero
    // for WGS 84.
    explicit GpxOptions(const sorvane::DatumShift& storeDatum) : datum(storeDatum) {}

    sorvane::DatumShift datum;
    // Waypoint record type whose symbol table names the symbols: 4103 gives the
    // short table; any type without a table gives the long one.
    int symbolTable = kGpxDefaultSymbolTable;
    // Reading: a waypoint or route point without a name is an error (for
    // uploads, where the receiver needs one).
    bool requireNames = false;
};

enum class GpxStatus {
    kOk,
    kCannotOpen,     // missing, unreadable, a folder or empty
    kNotWellFormed,  // not XML
    kNotGpx,         // XML, but not a GPX document
    kBadValue,       // a position, time or number that cannot be taken
    kRefused,        // entity declarations, nesting or tags beyond the limits
    kCannotWrite,
    kNoMemory,
};

struct GpxResult {
    GpxStatus status = GpxStatus::kOk;
    long line = 0;    // line of the file the message is about, from 1; 0 for none
    long column = 0;  // from 1 where known, else 0
    std::string message;

    bool ok() const { return status == GpxStatus::kOk; }
    explicit operator bool() const { return ok(); }
    // "line 12: latitude "95.6" is outside -90 to 90", or the message alone.
    std::string Describe() const;
};

// Counts of what a read or write handled, and of what it had to change.
struct GpxReport {
    int tracks = 0;
    int trackPoints = 0;
    int waypoints = 0;
    int routes = 0;
    int routePoints = 0;
    // Reading: characters without a code page 932 form; writing: bytes that are
    // no code page 932 character or not allowed in XML. Each became one "?".
    int replacedCharacters = 0;
    // Reading: names and comments cut at the store's byte limit.
    int cutTexts = 0;
    // Reading: times the store cannot hold (before 1989-12-31 or after
    // 2126-02-06 06:28:15 UTC); those points keep no time.
    int droppedTimes = 0;
    // Writing: points left out because their position is not a number or
    // their latitude lies beyond 90 degrees.
    int skippedPoints = 0;
};

// Reads the file into a fresh store that replaces `out` only on success (its
// time-zone bias too: the file's when it has one, else this machine's); on any
// failure `out` is left exactly as it was. The report is filled either way.
// Track distances and headings are computed on the datum's sphere, as after a
// download. A time of exactly 1989-12-31T00:00:00Z is the store's "no time".
GpxResult ReadGpx(const std::string& path, const GpxOptions& options, TobrelFile& out,
                  GpxReport* report = nullptr);
GpxResult ReadGpx(std::span<const std::uint8_t> bytes, const GpxOptions& options, TobrelFile& out,
                  GpxReport* report = nullptr);

// Writes every track, waypoint and route. The file that was there stays
// untouched unless the new one was written completely. Points the file cannot
// hold are left out and counted in the report; the write still succeeds.
GpxResult WriteGpx(const std::string& path, const TobrelFile& store, const GpxOptions& options,
                   GpxReport* report = nullptr);
// The same bytes in memory. False only when memory ran out.
bool EncodeGpx(const TobrelFile& store, const GpxOptions& options, std::string& out,
               GpxReport* report = nullptr);

}  // namespace tobrel
