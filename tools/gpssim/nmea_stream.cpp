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

}  // namespace

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

    char body[256];
    if (number == options.burstCycle)
        c.text.append(2048, 'B');
    if (number == options.longLineCycle) {
        std::string longBody =
            std::string("GPRMC,") + hms + ",A,0000.0000,N,00000.0000,E,0.0,0.0," + date + ",,";
        // Padded so that the line with '$', checksum and CR LF is 150 bytes.
        longBody.append(150 - 6 - longBody.size(), '0');
        c.text += NmeaSentence(longBody);
    }
    std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,%c,%s,%c,%s,%s,%s,,", hms, lat.text.c_str(),
                  lat.hemisphere, lon.text.c_str(), lon.hemisphere, speedText.c_str(),
                  courseText.c_str(), date);
    c.text += NmeaSentence(body, number == options.badChecksumCycle);
    const int sats = options.satellites < 0 ? 0 : options.satellites;
    c.satellites = sats;
    std::snprintf(body, sizeof body, "GPGGA,%s,%s,%c,%s,%c,1,%02d,1.0,%s,M,39.0,M,,", hms,
                  lat.text.c_str(), lat.hemisphere, lon.text.c_str(), lon.hemisphere,
                  sats < 12 ? sats : 12, altText.c_str());
    c.text += NmeaSentence(body);

    std::string gsa = "GPGSA,A,3";
    for (int i = 0; i < 12; ++i) {
        char prn[8] = "";
        if (i < sats)
            std::snprintf(prn, sizeof prn, "%02d", 1 + (i * 7) % 32);
        gsa += ",";
        gsa += prn;
    }
    gsa += ",1.8,1.0,1.5";
    c.text += NmeaSentence(gsa);

    const int messages = sats == 0 ? 1 : (sats + 3) / 4;
    for (int m = 1; m <= messages; ++m) {
        std::string gsv;
        char head[64];
        std::snprintf(head, sizeof head, "GPGSV,%d,%d,%02d", messages, m, sats);
        gsv = head;
        for (int s = (m - 1) * 4; s < m * 4 && s < sats; ++s) {
            char entry[64];
            std::snprintf(entry, sizeof entry, ",%02d,%02d,%03d,%02d", 1 + (s * 7) % 32,
                          5 + (s * 11) % 85, (s * 37) % 360, 20 + (s * 3) % 30);
            gsv += entry;
        }
        c.text += NmeaSentence(gsv);
    }
    return c;
}

}  // namespace gpssim
