#pragma once
// What the NMEA receiver hands to its host once per position cycle.

#include <cstdint>
#include <functional>

namespace sorvane {

struct NmeaFix {
    std::int16_t valid = 0;   // 1 when the RMC status was "A"
    double latitude = 0.0;    // degrees, south negative, as the receiver sends them
    double longitude = 0.0;   // degrees, west negative
    double altitude = 0.0;    // metres above mean sea level from the latest GGA
    std::int32_t time = 0;    // seconds since 1970 built from the RMC date and time
    double speed = 0.0;       // km/h
    std::int16_t course = 0;  // whole degrees
};

// Called on the receiver's own thread.
using NmeaHandler = std::function<void(const NmeaFix&)>;

}  // namespace sorvane
