// The daemon's reports as libgps decodes them, into fixes and satellites.

#include "gpsd/gpsd_reports.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

namespace sorvane {
namespace {

GpsdReport Decoded(GpsdDecoder& d, const std::string& line) {
    GpsdReport r;
    EXPECT_TRUE(d.Decode(line, &r)) << line;
    return r;
}

TEST(GpsdReports, PositionReports) {
    GpsdDecoder d;
    struct Row {
        std::string json;
        std::int16_t valid;
        double latitude, longitude, altitude, utc, speed;
        std::int16_t course;
        std::int32_t quality, mode;
    };
    const Row rows[] = {
        {R"({"class":"TPV","device":"/dev/pts/3","mode":3,"time":"2024-03-23T12:00:14.250Z","lat":35.658602058,"lon":139.745402058,"altHAE":84.4,"altMSL":45.4,"track":90.7,"speed":0.5})",
         1, 35.658602058, 139.745402058, 45.4, 1711195214.25, 1.8, 90, 1, 3},
        // 2D: no altitude; differential and RTK fixes keep their quality.
        {R"({"class":"TPV","mode":2,"status":2,"time":"2024-03-23T12:00:15.000Z","lat":-33.5,"lon":-70.25,"altMSL":12.0})",
         1, -33.5, -70.25, -9999.0, 1711195215.0, 0.0, 0, 2, 2},
        {R"({"class":"TPV","mode":3,"status":3,"lat":1.0,"lon":2.0,"altHAE":50.0,"geoidSep":40.0})",
         1, 1.0, 2.0, 10.0, 0.0, 0.0, 0, 4, 3},
        {R"({"class":"TPV","mode":3,"status":4,"lat":1.0,"lon":2.0})", 1, 1.0, 2.0, -9999.0, 0.0,
         0.0, 0, 5, 3},
        // No fix, and a position that is no number.
        {R"({"class":"TPV","device":"/dev/pts/3","mode":1})", 0, 0.0, 0.0, -9999.0, 0.0, 0.0, 0, 0,
         1},
        {R"({"class":"TPV","mode":3,"lat":1e999,"lon":2.0,"speed":1e999,"track":-1e999})", 0, 0.0,
         0.0, -9999.0, 0.0, 0.0, 0, 1, 3},
    };
    for (const Row& r : rows) {
        const GpsdReport g = Decoded(d, r.json);
        SCOPED_TRACE(r.json);
        EXPECT_EQ(g.type, GpsdReport::Type::kTpv);
        const NmeaFix& f = g.fix;
        EXPECT_EQ(std::tuple(f.valid, f.course, f.quality, f.mode, g.hasTime),
                  std::tuple(r.valid, r.course, r.quality, r.mode, r.utc != 0.0));
        EXPECT_DOUBLE_EQ(f.latitude, r.latitude);
        EXPECT_DOUBLE_EQ(f.longitude, r.longitude);
        EXPECT_NEAR(f.fixAltitude, r.altitude, 1e-9);
        EXPECT_DOUBLE_EQ(f.altitude, f.fixAltitude);
        EXPECT_NEAR(f.utc, r.utc, 1e-6);
        EXPECT_EQ(f.time, static_cast<std::int32_t>(r.utc));
        EXPECT_NEAR(f.speed, r.speed, 1e-9);
    }
}

TEST(GpsdReports, SkyReportsAndTheDaemonsOwn) {
    GpsdDecoder d;
    const GpsdReport sky = Decoded(
        d, R"({"class":"SKY","device":"/dev/pts/3","hdop":0.9,"nSat":4,"uSat":2,"satellites":[)"
           R"({"PRN":5,"el":40.0,"az":83.0,"ss":46.0,"used":true,"gnssid":0,"svid":5},)"
           R"({"PRN":70,"el":30.0,"az":200.4,"ss":35.0,"used":true,"gnssid":6,"svid":6},)"
           R"({"PRN":305,"el":-1.0,"az":359.6,"ss":0,"used":false,"gnssid":2,"svid":5},)"
           R"({"PRN":133,"el":20.0,"az":10.0,"used":false}]})");
    EXPECT_EQ(std::tuple(sky.type, sky.hasSatellites, sky.satellitesUsed),
              std::tuple(GpsdReport::Type::kSky, true, 2));
    EXPECT_DOUBLE_EQ(sky.hdop, 0.9);
    ASSERT_EQ(sky.satellites.size(), 4u);
    EXPECT_EQ(sky.satellites[0], (SatelliteInfo{Constellation::kGps, 5, 5, 40, 83, 46, true, 0}));
    EXPECT_EQ(sky.satellites[1],
              (SatelliteInfo{Constellation::kGlonass, 70, 6, 30, 200, 35, true, 0}));
    EXPECT_EQ(sky.satellites[2],
              (SatelliteInfo{Constellation::kGalileo, 305, 5, -1, 360, 0, false, 0}));
    // Without the daemon's system and number, the PRN tells.
    EXPECT_EQ(sky.satellites[3],
              (SatelliteInfo{Constellation::kSbas, 133, 133, 20, 10, 0, false, 0}));

    const GpsdReport dops = Decoded(d, R"({"class":"SKY","hdop":1.5,"uSat":4})");
    EXPECT_EQ(std::tuple(dops.hasSatellites, dops.satellites.size()), std::tuple(false, 0u));

    EXPECT_EQ(
        Decoded(
            d,
            R"({"class":"VERSION","release":"3.22","rev":"3.22","proto_major":3,"proto_minor":14})")
            .release,
        "3.22");
    EXPECT_EQ(Decoded(d, R"({"class":"DEVICES","devices":[]})").devices, 0);
    EXPECT_EQ(
        Decoded(
            d,
            R"({"class":"DEVICES","devices":[{"class":"DEVICE","path":"/dev/pts/3","driver":"NMEA0183","activated":"2024-03-23T12:00:00.000Z"}]})")
            .devices,
        1);
    EXPECT_TRUE(
        Decoded(d,
                R"({"class":"DEVICE","path":"/dev/pts/3","activated":"2024-03-23T12:00:00.000Z"})")
            .deviceActive);
    EXPECT_FALSE(
        Decoded(d, R"({"class":"DEVICE","path":"/dev/pts/3","activated":0})").deviceActive);
    EXPECT_EQ(Decoded(d, R"({"class":"WATCH","enable":true})").type, GpsdReport::Type::kOther);

    GpsdReport r;
    for (const std::string& bad :
         {std::string(), std::string("not json"), std::string("{\"class\":"),
          std::string("[1,2,3]"), std::string(R"({"mode":3,"class":"TPV"})"),
          std::string(100000, '{')})
        EXPECT_FALSE(d.Decode(bad, &r)) << bad.substr(0, 40);
}

}  // namespace
}  // namespace sorvane
