#pragma once
// What a position source hands to its host once per position cycle.

#include <cstdint>
#include <functional>

namespace sorvane {

// Which events a fix is for.
enum class FixKind : std::uint8_t {
    kCycle,  // a cycle the source read: every event carries it
    kStale,  // values already reported, or the empty ones of a receiver started
             // afresh, which an RMC still raises: only the automation event carries them
    kLast,   // the cycle in hand when the stream ended, which no RMC will close:
             // only the full fix event carries it
};

struct NmeaFix {
    std::int16_t valid = 0;   // 1 when the RMC status was "A" and its mode, if any, not "N"
    double latitude = 0.0;    // degrees, south negative, as the receiver sends them
    double longitude = 0.0;   // degrees, west negative
    double altitude = 0.0;    // metres above mean sea level from the latest GGA
    std::int32_t time = 0;    // seconds since 1970 built from the RMC date and time
    double speed = 0.0;       // km/h
    std::int16_t course = 0;  // whole degrees

    // Beyond what the automation event carries.
    double utc = 0.0;               // seconds since 1970 with their fraction; 0 before a date came
    double courseOverGround = 0.0;  // degrees, not truncated
    std::int32_t quality = 0;       // GGA fix quality: 0 none, 1 GNSS, 2 differential, 4 RTK ...
    std::int32_t satellitesUsed = -1;  // GGA; -1 when unknown
    double hdop = 0.0;                 // 0 when unknown
    std::int32_t mode = 0;             // GSA fix mode: 1 none, 2 2D, 3 3D; 0 when unknown
    // The altitude of this fix's own GGA (the automation event keeps the latest one).
    double fixAltitude = -9999.0;
    FixKind kind = FixKind::kCycle;
};

// Called on the source's own thread.
using NmeaHandler = std::function<void(const NmeaFix&)>;

}  // namespace sorvane
