#pragma once
// NMEA 0183 text as a receiver streams it along a track: each cycle is one
// $GPRMC, $GPGGA, $GPGSA and the $GPGSV messages, with checksums.

#include <cstdint>
#include <string>
#include <string_view>

#include "dataset.h"

namespace gpssim {

struct NmeaOptions {
    bool enabled = false;      // stream text instead of answering packets
    double rate = 1.0;         // cycles per second
    int satellites = 8;        // satellites in view, reported in $GPGSV
    int badChecksumCycle = 0;  // this cycle's $GPRMC carries a wrong checksum
    int longLineCycle = 0;     // this cycle begins with a $GPRMC line of 150 bytes
    int burstCycle = 0;        // this cycle begins with 2048 bytes without a line feed
    // In-process use: no cycle goes out before Simulator::ResumeNmea, so that
    // a test can open its reader first and count cycles from there.
    bool paused = false;
};

// What one cycle sent, in the values its text carries.
struct NmeaCycle {
    int number = 0;         // from 1
    double latitude = 0.0;  // degrees, from the minutes as printed
    double longitude = 0.0;
    std::int64_t unixTime = 0;  // the RMC date and time
    double speedKnots = 0.0;
    double course = 0.0;
    double altitude = 0.0;  // the GGA altitude
    int satellites = 0;
    std::string text;  // every byte of the cycle, faults included
};

// "$" + body + "*hh" + CR LF; a wrong checksum on request.
std::string NmeaSentence(std::string_view body, bool badChecksum = false);

// The cycle at point here, heading for next.
NmeaCycle BuildNmeaCycle(int number, const SimTrackPoint& here, const SimTrackPoint& next,
                         const NmeaOptions& options);

}  // namespace gpssim
