#pragma once
// The satellite system a satellite belongs to, from what a sentence tells:
// its talker, the system ID of NMEA 4.10 and the PRN ranges receivers use.

#include <cstdint>
#include <string_view>

namespace sorvane {

enum class Constellation : std::uint8_t {
    kUnknown = 0,
    kGps = 1,
    kGlonass = 2,
    kGalileo = 3,
    kBeiDou = 4,
    kQzss = 5,
    kNavIc = 6,
    kSbas = 7,
};
constexpr int kConstellationCount = 8;

// "GP" GPS, "GL" GLONASS, "GA" Galileo, "GB" and "BD" BeiDou, "GQ" and "QZ"
// QZSS, "GI" NavIC; kUnknown for "GN" (several systems) and any other.
Constellation ConstellationOfTalker(std::string_view talker);
// NMEA 4.10 system ID: 1 GPS, 2 GLONASS, 3 Galileo, 4 BeiDou, 5 QZSS, 6 NavIC.
Constellation ConstellationOfSystemId(long id);
// The numbering of NMEA 2.x to 4.0 and its common extensions: 1-32 GPS, 33-64
// and 120-158 SBAS, 65-96 GLONASS, 193-200 QZSS, 201-263 and 401-463 BeiDou,
// 301-336 Galileo.
Constellation ConstellationOfPrn(long prn);
// A satellite numbered prn in a sentence of this talker. GPS sentences also
// carry SBAS and QZSS satellites, told apart by their numbers.
Constellation SatelliteConstellation(std::string_view talker, long prn);
// The satellite's number within its own system (a GLONASS 65 is slot 1).
int SatelliteNumber(Constellation c, long prn);
// "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC", "SBAS" or "unknown".
const char* ConstellationName(Constellation c);

}  // namespace sorvane
