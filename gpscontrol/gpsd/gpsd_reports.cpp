#include "gpsd/gpsd_reports.h"

#include <gps.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "nmea/constellation.h"
#include "nmea/nmea_sentences.h"
#include "text/numbers.h"

namespace sorvane {

namespace {

constexpr double kMetresPerSecondToKmh = 3.6;

// libgps keeps parts of its JSON tables in static storage: one decoder at a time.
std::mutex& UnpackMutex() {
    static std::mutex m;
    return m;
}

std::string_view ClassOf(std::string_view line) {
    constexpr std::string_view kPrefix = "{\"class\":\"";
    if (!line.starts_with(kPrefix))
        return {};
    line.remove_prefix(kPrefix.size());
    return line.substr(0, line.find('"'));
}

double Finite(double v, double otherwise) {
    return std::isfinite(v) ? v : otherwise;
}

std::int16_t Degrees16(double v) {
    return static_cast<std::int16_t>(std::isfinite(v) ? std::lround(std::clamp(v, -360.0, 360.0))
                                                      : 0);
}

// The fix quality a GGA would have given.
std::int32_t Quality(int mode, int status) {
    if (mode < MODE_2D)
        return 0;
    switch (status) {
        case STATUS_DGPS_FIX:
            return 2;
        case STATUS_RTK_FIX:
            return 4;
        case STATUS_RTK_FLT:
            return 5;
        case STATUS_DR:
        case STATUS_GNSSDR:
            return 6;
        case STATUS_TIME:
            return 7;
        case STATUS_SIM:
            return 8;
        case STATUS_PPS_FIX:
            return 3;
        default:
            return 1;
    }
}

Constellation OfGnssId(unsigned gnssid) {
    switch (gnssid) {
        case GNSSID_GPS:
            return Constellation::kGps;
        case GNSSID_SBAS:
            return Constellation::kSbas;
        case GNSSID_GAL:
            return Constellation::kGalileo;
        case GNSSID_BD:
            return Constellation::kBeiDou;
        case GNSSID_QZSS:
            return Constellation::kQzss;
        case GNSSID_GLO:
            return Constellation::kGlonass;
        case GNSSID_IRNSS:
            return Constellation::kNavIc;
        default:
            return Constellation::kUnknown;
    }
}

NmeaFix FixOf(const gps_fix_t& f, bool* hasTime) {
    NmeaFix fix;
    const bool position =
        f.mode >= MODE_2D && std::isfinite(f.latitude) && std::isfinite(f.longitude);
    fix.valid = position ? 1 : 0;
    fix.latitude = position ? f.latitude : 0.0;
    fix.longitude = position ? f.longitude : 0.0;
    double altitude = -9999.0;
    if (std::isfinite(f.altMSL) && f.mode >= MODE_3D) {
        altitude = f.altMSL;
    } else if (std::isfinite(f.altHAE) && std::isfinite(f.geoid_sep) && f.mode >= MODE_3D) {
        altitude = f.altHAE - f.geoid_sep;
    }
    fix.altitude = fix.fixAltitude = altitude;
    *hasTime = f.time.tv_sec != 0;
    if (*hasTime) {
        fix.utc = static_cast<double>(f.time.tv_sec) + static_cast<double>(f.time.tv_nsec) * 1e-9;
        fix.time = f.time.tv_sec > std::numeric_limits<std::int32_t>::max() ||
                           f.time.tv_sec < std::numeric_limits<std::int32_t>::min()
                       ? kNmeaTimeOutOfRange
                       : static_cast<std::int32_t>(f.time.tv_sec);
    }
    fix.speed = Finite(f.speed, 0.0) * kMetresPerSecondToKmh;
    fix.courseOverGround = Finite(f.track, 0.0);
    fix.course = static_cast<std::int16_t>(TruncToInt32(fix.courseOverGround));
    fix.mode = f.mode >= MODE_NO_FIX && f.mode <= MODE_3D ? f.mode : 0;
    fix.quality = Quality(f.mode, f.status);
    return fix;
}

}  // namespace

struct GpsdDecoder::Data {
    gps_data_t gps{};
};

GpsdDecoder::GpsdDecoder() : data_(std::make_unique<Data>()) {}

GpsdDecoder::~GpsdDecoder() = default;

bool GpsdDecoder::Decode(std::string_view line, GpsdReport* out) {
    const std::string_view type = ClassOf(line);
    if (type.empty())
        return false;
    *out = GpsdReport{};
    gps_data_t& g = data_->gps;
    std::memset(&g, 0, sizeof g);
    line_.assign(line);
    {
        std::lock_guard lock(UnpackMutex());
        if (gps_unpack(line_.data(), &g) != 0)
            return false;
    }
    if (type == "VERSION") {
        out->type = GpsdReport::Type::kVersion;
        out->release = g.version.release;
    } else if (type == "DEVICES") {
        out->type = GpsdReport::Type::kDevices;
        out->devices = g.devices.ndevices;
    } else if (type == "DEVICE") {
        // A receiver that went away has "activated":0, which libgps leaves unset.
        out->type = GpsdReport::Type::kDevice;
        out->deviceActive = (g.set & DEVICE_SET) != 0 && g.dev.activated.tv_sec != 0;
    } else if (type == "TPV") {
        out->type = GpsdReport::Type::kTpv;
        out->fix = FixOf(g.fix, &out->hasTime);
        out->complete =
            g.fix.mode >= MODE_3D && std::isfinite(g.fix.speed) && std::isfinite(g.fix.track);
    } else if (type == "SKY") {
        out->type = GpsdReport::Type::kSky;
        out->hdop = g.dop.hdop > 0.0 && std::isfinite(g.dop.hdop) ? g.dop.hdop : 0.0;
        out->hasSatellites = line.find("\"satellites\":") != std::string_view::npos;
        if (out->hasSatellites) {
            int used = 0;
            for (int i = 0; i < g.satellites_visible && i < MAXCHANNELS; ++i) {
                const satellite_t& s = g.skyview[i];
                if (s.PRN == 0 && s.svid == 0)
                    continue;
                SatelliteInfo info;
                info.prn = s.PRN;
                if (s.svid != 0) {
                    info.constellation = OfGnssId(s.gnssid);
                    info.number = s.svid;
                } else {
                    info.constellation = ConstellationOfPrn(s.PRN);
                    info.number =
                        static_cast<std::int16_t>(SatelliteNumber(info.constellation, s.PRN));
                }
                info.elevation = Degrees16(s.elevation);
                info.azimuth = Degrees16(s.azimuth);
                info.snr = std::isfinite(s.ss) && s.ss > 0
                               ? static_cast<std::int16_t>(std::lround(std::min(s.ss, 255.0)))
                               : 0;
                info.used = s.used;
                used += s.used ? 1 : 0;
                out->satellites.push_back(info);
            }
            out->satellitesUsed = used;
        }
    }
    return true;
}

}  // namespace sorvane
