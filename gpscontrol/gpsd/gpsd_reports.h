#pragma once
// One line of the daemon's JSON protocol, decoded by libgps into what the
// control keeps: fixes, satellites, and what the daemon says of itself.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "nmea/nmea_fix.h"
#include "nmea/satellite_sky.h"

namespace sorvane {

struct GpsdReport {
    enum class Type { kOther, kVersion, kDevices, kDevice, kTpv, kSky };
    Type type = Type::kOther;
    std::string release;        // kVersion: the daemon's release
    int devices = 0;            // kDevices: receivers the daemon has
    bool deviceActive = false;  // kDevice: activated, or gone
    NmeaFix fix;                // kTpv (no satellites used nor HDOP: those come with kSky)
    bool hasTime = false;       // kTpv: the fix carries a time
    // kTpv: a 3D fix with speed and course, all a report of this time can
    // bring; the daemon may report a time first without them.
    bool complete = false;
    bool hasSatellites = false;  // kSky: the list came (a report may bring only the DOPs)
    std::vector<SatelliteInfo> satellites;  // kSky
    int satellitesUsed = -1;                // kSky; -1 when unknown
    double hdop = 0.0;                      // kSky; 0 when unknown
};

class GpsdDecoder {
  public:
    GpsdDecoder();
    ~GpsdDecoder();
    GpsdDecoder(const GpsdDecoder&) = delete;
    GpsdDecoder& operator=(const GpsdDecoder&) = delete;

    // False for a line that is no report of the daemon's.
    bool Decode(std::string_view line, GpsdReport* out);

  private:
    struct Data;
    std::unique_ptr<Data> data_;
    std::string line_;
};

}  // namespace sorvane
