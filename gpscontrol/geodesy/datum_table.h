#pragma once
// The built-in table of local geodetic datums and its parser.

#include <string>
#include <string_view>
#include <vector>

#include "geodesy/molodensky.h"

namespace sorvane {

struct DatumRow {
    std::string name;
    std::string ellipsoid;
    DatumShift shift;  // dF already scaled from the table's x 10000 form
};

// The table text: one datum per line, seven comma-separated fields.
std::string_view BuiltInDatumTable();

// Reads table text; lines with fewer than seven fields are skipped.
std::vector<DatumRow> ParseDatumTable(std::string_view text);

}  // namespace sorvane
