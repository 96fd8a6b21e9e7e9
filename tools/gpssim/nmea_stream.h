#pragma once
// NMEA 0183 text as a receiver streams it along a track: each cycle is one
// RMC, GGA, the GSA of each satellite system and its GSV messages, with
// checksums. A GPS receiver talks as $GP; one that tracks several systems
// gives its position as $GN and its satellites per system ($GPGSV, $GLGSV,
// $GAGSV, $BDGSV or $GBGSV, $GQGSV).

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dataset.h"

namespace gpssim {

enum class NmeaSystem { kGps, kGlonass, kGalileo, kBeiDou, kQzss };

// "gps", "glonass", "galileo", "beidou" or "qzss", and back; false for another name.
bool ParseNmeaSystem(std::string_view name, NmeaSystem* out);
const char* NmeaSystemName(NmeaSystem s);  // "GPS", "GLONASS", ... as receivers' tables say

struct NmeaOptions {
    bool enabled = false;      // stream text instead of answering packets
    double rate = 1.0;         // cycles per second
    int satellites = 8;        // satellites in view of each system, reported in the GSV sets
    int badChecksumCycle = 0;  // this cycle's RMC carries a wrong checksum
    int longLineCycle = 0;     // this cycle begins with an RMC line of 150 bytes
    int burstCycle = 0;        // this cycle begins with 2048 bytes without a line feed
    // In-process use: no cycle goes out before Simulator::ResumeNmea, so that
    // a test can open its reader first and count cycles from there.
    bool paused = false;
    // The systems tracked, in the order their sentences go out.
    std::vector<NmeaSystem> systems = {NmeaSystem::kGps};
    // Talker of the RMC and GGA; empty: GP for GPS alone, else GN.
    std::string talker = {};
    // NMEA 4.10: the RMC's mode and navigation status, the GSA's system ID,
    // the GSV's signal ID, BeiDou as $GB and numbers within each system.
    bool version410 = false;
    // (from, seconds) of the stream, in seconds from its first cycle, during
    // which the receiver has no fix.
    std::vector<std::pair<double, double>> fixLoss = {};
};

struct NmeaSatellite {
    std::string system;  // NmeaSystemName
    int prn = 0;         // as the GSV gives it
    int number = 0;      // within its system
    int elevation = 0;
    int azimuth = 0;
    int snr = 0;
    bool used = false;  // named in the GSA (none while the fix is lost)
};

// What one cycle sent, in the values its text carries.
struct NmeaCycle {
    int number = 0;         // from 1
    bool valid = true;      // false while the fix is lost
    double latitude = 0.0;  // degrees, from the minutes as printed
    double longitude = 0.0;
    std::int64_t unixTime = 0;  // the RMC date and time
    double speedKnots = 0.0;
    double course = 0.0;
    double altitude = 0.0;  // the GGA altitude
    int satellites = 0;     // in view, all systems
    int satellitesUsed = 0;
    std::vector<NmeaSatellite> sky;
    std::string text;  // every byte of the cycle, faults included
};

// "$" + body + "*hh" + CR LF; a wrong checksum on request.
std::string NmeaSentence(std::string_view body, bool badChecksum = false);

// The cycle at point here, heading for next.
NmeaCycle BuildNmeaCycle(int number, const SimTrackPoint& here, const SimTrackPoint& next,
                         const NmeaOptions& options);

}  // namespace gpssim
