#include "nmea_stream.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "text/numbers.h"
#include "text/record_limits.h"

namespace gpssim {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kKnot = 1852.0 / 3600.0;  // metres per second
constexpr double kPi = 3.14159265358979323846;

struct Angle {
    std::string text;  // ddmm.mmmm or dddmm.mmmm
    char hemisphere;
    double degrees;  // what the text says, signed
};

Angle FormatAngle(double degrees, int degreeDigits, char positive, char negative) {
    const double a = std::fabs(degrees);
    int d = static_cast<int>(a);
    long long tenThousandths = std::llround((a - d) * 60.0 * 10000.0);
    if (tenThousandths >= 600000) {
        ++d;
        tenThousandths -= 600000;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%0*d%02lld.%04lld", degreeDigits, d, tenThousandths / 10000,
                  tenThousandths % 10000);
    const double value = d + tenThousandths / 600000.0;
    return {buf, degrees < 0 ? negative : positive, degrees < 0 ? -value : value};
}

double Radians(double d) {
    return d * kPi / 180.0;
}

struct SystemTalk {
    NmeaSystem system;
    const char* name;
    const char* talker;  // of its GSV (and GSA in 4.10)
    const char* talker410;
    int systemId;   // NMEA 4.10
    int slots;      // satellite numbers 1 to slots
    int step;       // between the numbers of successive satellites
    int prnOffset;  // NMEA PRN = number + offset, before 4.10
    int prnOffset410;
};

constexpr SystemTalk kSystems[] = {
    {NmeaSystem::kGps, "GPS", "GP", "GP", 1, 32, 7, 0, 0},
    {NmeaSystem::kGlonass, "GLONASS", "GL", "GL", 2, 24, 5, 64, 64},
    {NmeaSystem::kGalileo, "Galileo", "GA", "GA", 3, 36, 7, 300, 0},
    {NmeaSystem::kBeiDou, "BeiDou", "BD", "GB", 4, 37, 5, 200, 0},
    {NmeaSystem::kQzss, "QZSS", "GQ", "GQ", 5, 7, 1, 192, 0},
};

const SystemTalk& TalkOf(NmeaSystem s) {
    for (const SystemTalk& t : kSystems) {
        if (t.system == s)
            return t;
    }
    return kSystems[0];
}

bool FixLost(int number, const NmeaOptions& options) {
    const double at = (number - 1) / (options.rate > 0 ? options.rate : 1.0);
    for (const auto& [from, seconds] : options.fixLoss) {
        if (at >= from - 1e-9 && at < from + seconds - 1e-9)
            return true;
    }
    return false;
}

}  // namespace

bool ParseNmeaSystem(std::string_view name, NmeaSystem* out) {
    for (const SystemTalk& t : kSystems) {
        std::string lower = t.name;
        for (char& c : lower)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (name == lower) {
            *out = t.system;
            return true;
        }
    }
    return false;
}

const char* NmeaSystemName(NmeaSystem s) {
    return TalkOf(s).name;
}

std::string NmeaSentence(std::string_view body, bool badChecksum) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    if (badChecksum)
        sum ^= 0x5A;
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum & 0xFF);
    return "$" + std::string(body) + tail;
}

NmeaCycle BuildNmeaCycle(int number, const SimTrackPoint& here, const SimTrackPoint& next,
                         const NmeaOptions& options) {
    NmeaCycle c;
    c.number = number;
    c.unixTime = sorvane::kReceiverEpochUnixTime + here.time;
    const std::time_t t = static_cast<std::time_t>(c.unixTime);
    std::tm utc{};
    ::gmtime_r(&t, &utc);
    char hms[64];
    char date[64];
    std::snprintf(hms, sizeof hms, "%02d%02d%02d.00", utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::snprintf(date, sizeof date, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1,
                  utc.tm_year % 100);

    // Speed and course toward the next point.
    const double lat1 = Radians(here.latitude);
    const double lat2 = Radians(next.latitude);
    const double dLon = Radians(next.longitude - here.longitude);
    const double dLat = lat2 - lat1;
    const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    const double metres = 2 * kEarthRadius * std::asin(std::sqrt(h));
    const double seconds = next.time > here.time ? static_cast<double>(next.time - here.time) : 0.0;
    double course = std::atan2(std::sin(dLon) * std::cos(lat2),
                               std::cos(lat1) * std::sin(lat2) -
                                   std::sin(lat1) * std::cos(lat2) * std::cos(dLon)) *
                    180.0 / kPi;
    if (course < 0)
        course += 360.0;
    const std::string speedText =
        sorvane::FormatFixed(seconds > 0 ? metres / seconds / kKnot : 0.0, 1);
    const std::string courseText = sorvane::FormatFixed(metres > 0 ? course : 0.0, 1);
    sorvane::ParseDecimal(speedText, &c.speedKnots);
    sorvane::ParseDecimal(courseText, &c.course);

    const Angle lat = FormatAngle(here.latitude, 2, 'N', 'S');
    const Angle lon = FormatAngle(here.longitude, 3, 'E', 'W');
    c.latitude = lat.degrees;
    c.longitude = lon.degrees;
    const std::string altText = sorvane::FormatFixed(
        here.altitude > -100000.0f && here.altitude < 100000.0f ? here.altitude : 0.0f, 1);
    sorvane::ParseDecimal(altText, &c.altitude);

    const bool lost = FixLost(number, options);
    c.valid = !lost;
    const bool gpsOnly = options.systems.size() == 1 && options.systems[0] == NmeaSystem::kGps;
    const std::string talker = !options.talker.empty() ? options.talker : gpsOnly ? "GP" : "GN";
    // The mode field of NMEA 2.3 (and 4.10's status after it); a GPS receiver
    // of the old kind sends neither.
    const bool modes = !gpsOnly || options.version410 || !options.talker.empty();

    char body[256];
    if (number == options.burstCycle)
        c.text.append(2048, 'B');
    if (number == options.longLineCycle) {
        std::string longBody =
            talker + "RMC," + hms + ",A,0000.0000,N,00000.0000,E,0.0,0.0," + date + ",,";
        // Padded so that the line with '$', checksum and CR LF is 150 bytes.
        longBody.append(150 - 6 - longBody.size(), '0');
        c.text += NmeaSentence(longBody);
    }
    std::string rmc;
    if (lost) {
        std::snprintf(body, sizeof body, "%sRMC,%s,V,,,,,,,%s,,", talker.c_str(), hms, date);
    } else {
        std::snprintf(body, sizeof body, "%sRMC,%s,A,%s,%c,%s,%c,%s,%s,%s,,", talker.c_str(), hms,
                      lat.text.c_str(), lat.hemisphere, lon.text.c_str(), lon.hemisphere,
                      speedText.c_str(), courseText.c_str(), date);
    }
    rmc = body;
    if (modes)
        rmc += lost ? ",N" : ",A";
    if (options.version410)
        rmc += ",V";
    c.text += NmeaSentence(rmc, number == options.badChecksumCycle);

    // Satellites: each system's in view, its first twelve in the fix.
    const int sats = options.satellites < 0 ? 0 : options.satellites;
    struct Seen {
        const SystemTalk* talk;
        std::vector<NmeaSatellite> satellites;
    };
    std::vector<Seen> systems;
    int used = 0;
    for (std::size_t k = 0; k < options.systems.size(); ++k) {
        const SystemTalk& t = TalkOf(options.systems[k]);
        Seen seen{&t, {}};
        for (int i = 0; i < sats; ++i) {
            NmeaSatellite v;
            v.system = t.name;
            v.number = 1 + (i * t.step) % t.slots;
            v.prn = v.number + (options.version410 ? t.prnOffset410 : t.prnOffset);
            const int s = i + static_cast<int>(k) * 3;
            v.elevation = 5 + (s * 11) % 85;
            v.azimuth = (s * 37) % 360;
            v.snr = 20 + (s * 3) % 30;
            v.used = !lost && i < 12;
            used += v.used ? 1 : 0;
            seen.satellites.push_back(v);
        }
        systems.push_back(std::move(seen));
    }
    c.satellites = sats * static_cast<int>(options.systems.size());
    c.satellitesUsed = gpsOnly ? (sats < 12 ? sats : 12) : used;
    if (lost) {
        std::snprintf(body, sizeof body, "%sGGA,%s,,,,,0,00,99.9,,M,,M,,", talker.c_str(), hms);
    } else {
        std::snprintf(body, sizeof body, "%sGGA,%s,%s,%c,%s,%c,1,%02d,1.0,%s,M,39.0,M,,",
                      talker.c_str(), hms, lat.text.c_str(), lat.hemisphere, lon.text.c_str(),
                      lon.hemisphere, c.satellitesUsed, altText.c_str());
    }
    c.text += NmeaSentence(body);

    for (const Seen& seen : systems) {
        std::string gsa = std::string(gpsOnly ? "GP" : "GN") + "GSA,A," + (lost ? "1" : "3");
        for (int i = 0; i < 12; ++i) {
            char prn[8] = "";
            if (i < static_cast<int>(seen.satellites.size()) && seen.satellites[i].used)
                std::snprintf(prn, sizeof prn, "%02d", seen.satellites[i].prn);
            gsa += ",";
            gsa += prn;
        }
        gsa += lost ? ",99.9,99.9,99.9" : ",1.8,1.0,1.5";
        if (options.version410)
            gsa += "," + std::to_string(seen.talk->systemId);
        c.text += NmeaSentence(gsa);
    }

    for (const Seen& seen : systems) {
        const char* gsvTalker = options.version410 ? seen.talk->talker410 : seen.talk->talker;
        const int count = static_cast<int>(seen.satellites.size());
        const int messages = count == 0 ? 1 : (count + 3) / 4;
        for (int m = 1; m <= messages; ++m) {
            char head[64];
            std::snprintf(head, sizeof head, "%sGSV,%d,%d,%02d", gsvTalker, messages, m, count);
            std::string gsv = head;
            for (int s = (m - 1) * 4; s < m * 4 && s < count; ++s) {
                const NmeaSatellite& v = seen.satellites[s];
                char entry[64];
                std::snprintf(entry, sizeof entry, ",%02d,%02d,%03d,%02d", v.prn, v.elevation,
                              v.azimuth, v.snr);
                gsv += entry;
            }
            if (options.version410)
                gsv += ",1";
            c.text += NmeaSentence(gsv);
        }
        c.sky.insert(c.sky.end(), seen.satellites.begin(), seen.satellites.end());
    }
    return c;
}

}  // namespace gpssim
