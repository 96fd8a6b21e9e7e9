#pragma once
// The host's own text form of the control's store: one record a line, fields
// separated by tabs, numbers with a decimal point whatever the locale.
//   W name comment latitude longitude altitude symbol display proximity
//   T name                a track; S starts a segment of it
//   P latitude longitude altitude seconds time
//                         a point: receiver seconds and the same time in ISO
//                         8601 UTC (either may be left empty; files without
//                         the last column read too)
//   R name                a route; RW (as W) a waypoint of it
// Lines starting with # are comments.

#include <optional>
#include <string>
#include <string_view>

#include "cli_common.h"

namespace sorvane {
class TSorvane;
}

namespace sorvane_cli {

// Appends the control's records of a kind, after a comment line that counts
// them and names the datum.
void AppendTabRecords(sorvane::TSorvane& gps, Kind kind, std::string& out);

struct LineProblem {
    long line = 0;  // from 1
    std::string message;
};

// Adds the text's records of a kind to the control's store (records of other
// kinds are skipped). Every value is checked as it is read; the first line
// with a bad one is returned, and then nothing must be sent. `count` gets the
// number of tracks, waypoints or routes added.
std::optional<LineProblem> LoadTabRecords(std::string_view text, Kind kind, sorvane::TSorvane& gps,
                                          int* count);

}  // namespace sorvane_cli
