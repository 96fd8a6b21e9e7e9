// Every text the program and the control write or read keeps its decimal
// point under a locale whose separator is a comma, with a QApplication alive
// (which takes the user's locale into the C library).

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <string>

#include "data/angle_unit.h"
#include "data/map_server_script.h"
#include "data_test_support.h"
#include "geodesy/decimal_prefix.h"
#include "nmea/nmea_sentences.h"

namespace tobrel {
namespace {

class DecimalComma : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(QApplication::instance(), nullptr);
        saved_ = std::setlocale(LC_ALL, nullptr);
        ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
            << "scripts/setup.sh generates de_DE.UTF-8";
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        ASSERT_STREQ(text, "1,5");  // the locale is in force
    }
    void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }

  private:
    std::string saved_;
};

TEST_F(DecimalComma, MapServerScriptsAreWrittenAndReadWithADecimalPoint) {
    TobrelFile s;
    testing::AddTrack(s, "T1", {{1, 35.5, 139.25}, {1, -5.5, -0.125}});
    s.SetWaypoint(s.AddWaypoints(1), "ABC", "", 5.5, 139.25, 0, 0, 18, 0);
    const int r = s.AppendRoute() - 1;
    s.InsertRouteWaypoint(r, 99999, "R1", "", 35.6, 139.3, 0, 0, 0, 0);
    std::string text;
    ASSERT_TRUE(EncodeMapServerScript(s, text, true, true, true, nullptr, 0, 2));
    for (const char* line : {"35.500000,139.250000,\r\n", "-5.500000, -0.125000,\r\n",
                             "pos=\" 5.500000,139.250000\"", "pos=\" 35.600000,139.300000\""})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.find(",500000"), std::string::npos) << text;

    TobrelFile back;
    ReadMapServerScriptText(back, text, kReadLines);
    ReadMapServerScriptText(back, text, kReadPoints);
    ASSERT_GE(back.GetTrackPointCount(0), 2);
    double lat = 0, lon = 0, alt = 0;
    back.GetTrackPoint(0, 1, &lat, &lon, &alt);
    EXPECT_EQ(std::pair(lat, lon), std::pair(-5.5, -0.125));
    back.GetWaypointPosition(0, &lat, &lon, &alt);
    EXPECT_EQ(std::pair(lat, lon), std::pair(5.5, 139.25));
    EXPECT_EQ(ParseAngle("35.25"), 35.25);
}

TEST_F(DecimalComma, NmeaSentencesAndTheDatumTableReadTheirDecimals) {
    std::atomic<bool> seen{false};
    sorvane::NmeaSentences nmea(nullptr, &seen);
    ASSERT_TRUE(nmea.Dispatch("$GPRMC,123519,A,4807.038,N,01131.500,W,022.4,084.4,230301,,*0A"));
    ASSERT_TRUE(nmea.Dispatch("$GPGGA,123519,4807.038,N,01131.500,W,1,08,0.9,545.4,M,46.9,M,,*50"));
    const sorvane::NmeaFix fix = nmea.Current();
    EXPECT_DOUBLE_EQ(fix.latitude, 48.0 + 7.038 / 60.0);
    EXPECT_DOUBLE_EQ(fix.longitude, -(11.0 + 31.5 / 60.0));
    EXPECT_DOUBLE_EQ(fix.altitude, 545.4);
    EXPECT_DOUBLE_EQ(fix.speed, 22.4 * 1.852);
    EXPECT_EQ(sorvane::DecimalPrefix("-0.10037483,x"), -0.10037483);
}

}  // namespace
}  // namespace tobrel
