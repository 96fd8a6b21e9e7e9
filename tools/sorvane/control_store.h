#pragma once
// What goes into and comes out of the GPS control's store: positions read
// from a file put back into the form the control takes, the checks every
// record passes before anything is sent, and copies between the control's
// store and the program's store (which the GPX and native files hold).

#include <optional>
#include <string>
#include <string_view>

#include "cli_common.h"

namespace sorvane {
class TSorvane;
}
namespace tobrel {
class TobrelFile;
}

namespace sorvane_cli {

struct Position {
    double lat = 0, lon = 0, alt = 0;
};

// The altitude the control gives a waypoint that has none; it converts the
// position at that height both ways and keeps the altitude itself as it is.
constexpr double kNoAltitude = -9999.0;

// A position as a download handed it out (converted by the control into its
// datum), corrected so that the control's conversion back gives the very
// receiver position it came from.
Position ForUpload(sorvane::TSorvane& gps, const Position& printed);

// Why the control must not be given a position in its datum: a coordinate
// that is not finite, or one outside the earth once converted into WGS 84, as
// the receiver would get it. A local datum hands out longitudes a little
// beyond 180 near the date line, which are fine. The texts are the values as
// the file has them; empty to print the numbers.
std::optional<std::string> PositionProblem(sorvane::TSorvane& gps, double lat, double lon,
                                           std::string_view latText = {},
                                           std::string_view lonText = {});
// Why an altitude or a proximity distance cannot be taken: it is not finite.
std::optional<std::string> FiniteProblem(const char* name, double value,
                                         std::string_view text = {});

// The number of records of a kind: tracks, waypoints or routes.
int RecordCount(const tobrel::TobrelFile& store, Kind kind);
int RecordCount(sorvane::TSorvane& gps, Kind kind);

// Appends the control's records of a kind to the store, positions in the
// control's selected datum. False when memory ran out.
bool CopyFromControl(sorvane::TSorvane& gps, Kind kind, tobrel::TobrelFile& store);

// The first record of a kind that the control must not be given, named by its
// place in the store ("waypoint 3: latitude 95.6 is outside -90 to 90"), or
// nullopt when every record may go.
std::optional<std::string> CheckRecords(sorvane::TSorvane& gps, const tobrel::TobrelFile& store,
                                        Kind kind);

// Adds the store's records of a kind to the control's store. With `correct`
// each position goes through ForUpload (positions that a download handed out
// in a local datum). False when the control did not take a record.
bool CopyToControl(const tobrel::TobrelFile& store, Kind kind, bool correct,
                   sorvane::TSorvane& gps);

}  // namespace sorvane_cli
