#pragma once
// The recorded streams of data/ (written by data/make_streams.py) with what
// each must give, and the checks that compare a source's output with them.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "nmea/constellation.h"
#include "nmea/nmea_fix.h"
#include "nmea/satellite_sky.h"

namespace sorvane::recorded {

struct ExpectedFix {
    bool valid = false;
    double utc = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    int quality = 0;
    int used = 0;
};

struct Stream {
    std::string name;
    std::string bytes;
    std::vector<ExpectedFix> fixes;
    // System, number, elevation, azimuth, SNR, used; sorted.
    std::vector<std::tuple<std::string, int, int, int, int, bool>> satellites;
    int inView = 0;
};

inline const char* const kStreamNames[] = {
    "sirf_gps_2x",     "ublox_m8_40",   "ublox_f9_410",      "rtk_8dp",
    "mtk_gps_glonass", "talker_switch", "phone_dual_talker",
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline Stream Load(const std::string& name) {
    Stream s;
    s.name = name;
    const std::string base = std::string(NMEA_STREAMS_DIR) + "/" + name;
    s.bytes = ReadAll(base + ".nmea");
    std::istringstream expected(ReadAll(base + ".expected"));
    std::string line;
    while (std::getline(expected, line)) {
        std::istringstream in(line);
        std::string tag;
        in >> tag;
        if (tag == "fix" || tag == "void") {
            ExpectedFix f;
            f.valid = tag == "fix";
            in >> f.utc;
            if (f.valid)
                in >> f.latitude >> f.longitude >> f.altitude >> f.quality >> f.used;
            s.fixes.push_back(f);
        } else if (tag == "satellite") {
            std::string system, used;
            int number = 0, elevation = 0, azimuth = 0, snr = 0;
            in >> system >> number >> elevation >> azimuth >> snr >> used;
            s.satellites.emplace_back(system, number, elevation, azimuth, snr, used == "used");
        } else if (tag == "inview") {
            in >> s.inView;
        }
    }
    std::sort(s.satellites.begin(), s.satellites.end());
    return s;
}

// The stream's lines, each with its line end.
inline std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t lf = bytes.find('\n', start);
        const std::size_t end = lf == std::string::npos ? bytes.size() : lf + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

inline std::vector<std::tuple<std::string, int, int, int, int, bool>> Sorted(
    const std::vector<SatelliteInfo>& list) {
    std::vector<std::tuple<std::string, int, int, int, int, bool>> out;
    for (const SatelliteInfo& s : list)
        out.emplace_back(ConstellationName(s.constellation), s.number, s.elevation, s.azimuth,
                         s.snr, s.used);
    std::sort(out.begin(), out.end());
    return out;
}

// Every fix of the stream, in order, from the full fix events of a source
// (the stale ones already left out).
inline void ExpectFixes(const Stream& s, const std::vector<NmeaFix>& got, double tolerance) {
    ASSERT_EQ(got.size(), s.fixes.size()) << s.name;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const ExpectedFix& e = s.fixes[i];
        const NmeaFix& f = got[i];
        SCOPED_TRACE(s.name + " fix " + std::to_string(i));
        EXPECT_EQ(f.valid != 0, e.valid);
        EXPECT_NEAR(f.utc, e.utc, 1e-3);
        EXPECT_EQ(f.time, static_cast<std::int32_t>(e.utc));
        if (!e.valid)
            continue;
        EXPECT_NEAR(f.latitude, e.latitude, tolerance);
        EXPECT_NEAR(f.longitude, e.longitude, tolerance);
        EXPECT_NEAR(f.fixAltitude, e.altitude, 1e-9);
        EXPECT_EQ(std::tuple(f.quality, f.satellitesUsed), std::tuple(e.quality, e.used));
    }
}

}  // namespace sorvane::recorded
