#pragma once
// Positions for the status bar, in degrees and in degrees, minutes and seconds.

#include <cstdint>

#include <QString>

namespace tobrel {

// "35°39'29.1\"N" for a latitude, "139°44'28.8\"E" for a longitude.
QString DmsText(double degrees, bool latitude);
// Map angles (1/3 600 000 degree) as "35.658083, 139.741333  35°39'29.1"N 139°44'28.8"E".
QString PositionText(std::int32_t latitude, std::int32_t longitude);
// "1:250,000"
QString ScaleText(std::int32_t scale);

}  // namespace tobrel
