#include "nmea/nmea_sentences.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using gpssim::NmeaSentence;  // "$", body, checksum and CR LF

// Message m of a GSV set of `total` messages announcing `count` satellites,
// with the PRNs given (elevation 10, azimuth 100, SNR 30 each).
std::string Gsv(int total, int m, int count, std::vector<int> prns) {
    std::string body =
        "GPGSV," + std::to_string(total) + "," + std::to_string(m) + "," + std::to_string(count);
    for (int prn : prns)
        body += "," + std::to_string(prn) + ",10,100,30";
    return NmeaSentence(body);
}

const std::string kRmcBody = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230301,003.1,W";
constexpr std::int32_t k20010323_123519 = 985350919;

class Sentences : public ::testing::Test {
  protected:
    // A flag of the test's own, so that the process-wide one does not decide
    // which RMC raises an event.
    std::atomic<bool> seen_{false};
    std::vector<NmeaFix> events_;
    NmeaSentences nmea_{[this](const NmeaFix& f) { events_.push_back(f); }, &seen_};

    bool Feed(const std::string& line) { return nmea_.Dispatch(line); }
    void FeedAll(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            ASSERT_TRUE(Feed(line)) << line;
    }
    // PRN, elevation, azimuth and SNR of entry n, which must exist.
    std::tuple<int, int, int, int> Entry(int n) {
        SatelliteEntry e{-1, -1, -1, -1};
        EXPECT_TRUE(nmea_.Satellite(n, &e)) << "entry " << n;
        return {e.prn, e.elevation, e.azimuth, e.snr};
    }
    int Prn(int n) { return std::get<0>(Entry(n)); }
};

TEST_F(Sentences, RmcExampleGivesPositionSpeedCourseAndUtcTime) {
    testsupport::ScopedEnv zone("TZ", "Asia/Tokyo");  // the time is UTC whatever the zone
    ASSERT_TRUE(Feed(NmeaSentence(kRmcBody)));
    const NmeaFix f = nmea_.Current();
    EXPECT_EQ(std::tuple(f.valid, f.course, f.time), std::tuple(1, 84, k20010323_123519));
    EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
    EXPECT_NEAR(f.longitude, 11.516666666666667, 1e-12);
    EXPECT_NEAR(f.speed, 41.4848, 1e-12);

    // Void status: not valid, but the position still moves; south and west negate.
    ASSERT_TRUE(Feed(NmeaSentence("GPRMC,123519,V,3539.516,S,13944.724,W,1.0,270.9,230301,,")));
    const NmeaFix v = nmea_.Current();
    EXPECT_EQ(std::tuple(v.valid, v.course), std::tuple(0, 270));
    EXPECT_NEAR(v.latitude, -35.6586, 1e-12);
    EXPECT_NEAR(v.longitude, -139.7454, 1e-12);
    EXPECT_NEAR(v.speed, 1.852, 1e-12);
    EXPECT_NEAR(NmeaDegrees("0030.0"), 0.5, 1e-12);
}

TEST_F(Sentences, RmcTimes) {
    // 230394 is 2094-03-23: no century window, and beyond 32 bits.
    ASSERT_TRUE(Feed(NmeaSentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,")));
    EXPECT_EQ(nmea_.Current().time, 631065600);
    EXPECT_EQ(NmeaRmcTime("031407", "190138"), 2147483647);  // the last 32-bit second
    EXPECT_EQ(NmeaRmcTime("031408", "190138"), kNmeaTimeOutOfRange);
    // A short time counts as midnight; a missing date keeps the time.
    ASSERT_TRUE(Feed(NmeaSentence("GPRMC,1235,A,4807.038,N,01131.000,E,0,0,230301,,")));
    EXPECT_EQ(nmea_.Current().time, k20010323_123519 - (12 * 3600 + 35 * 60 + 19));
    ASSERT_TRUE(Feed(NmeaSentence(kRmcBody)));
    ASSERT_TRUE(Feed(NmeaSentence("GPRMC,130000,A,4807.038,N,01131.000,E,0,0,2303,,")));
    EXPECT_EQ(nmea_.Current().time, k20010323_123519);
}

TEST_F(Sentences, ShortRmcLeavesUnreachedFieldsAtZero) {
    ASSERT_TRUE(Feed(NmeaSentence(kRmcBody)));
    ASSERT_TRUE(Feed("$GPRMC,123520,A,4807.038,N\r\n"));
    const NmeaFix f = nmea_.Current();
    EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
    // The time is kept.
    EXPECT_EQ(std::tuple(f.valid, f.longitude, f.speed, f.course, f.time),
              std::tuple(1, 0.0, 0.0, 0, k20010323_123519));
}

TEST_F(Sentences, EventCarriesThePreviousCycleAndNotForTheFirstRmc) {
    ASSERT_TRUE(Feed(NmeaSentence(kRmcBody)));
    EXPECT_EQ(std::tuple(events_.size(), seen_.load()), std::tuple(0u, true));
    ASSERT_TRUE(
        Feed(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")));
    ASSERT_TRUE(Feed(NmeaSentence("GPRMC,123520,V,0000.000,N,00000.000,E,0,0,230301,,")));
    ASSERT_EQ(events_.size(), 1u);
    const NmeaFix& e = events_[0];
    EXPECT_EQ(std::tuple(e.valid, e.time, e.course), std::tuple(1, k20010323_123519, 84));
    EXPECT_NEAR(e.latitude, 48.1173, 1e-12);
    EXPECT_NEAR(e.longitude, 11.516666666666667, 1e-12);
    EXPECT_NEAR(e.speed, 41.4848, 1e-12);
    EXPECT_DOUBLE_EQ(e.altitude, 545.4);
}

// As after a restart: the flag survives, the new receiver's fields are zero.
TEST_F(Sentences, FlagSetEarlierGivesAnEventWithZeroValues) {
    seen_ = true;
    ASSERT_TRUE(Feed(NmeaSentence(kRmcBody)));
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(std::tuple(events_[0].valid, events_[0].latitude, events_[0].time),
              std::tuple(0, 0.0, 0));
    NmeaSentences(nullptr).Dispatch(NmeaSentence(kRmcBody));  // the process-wide flag
    EXPECT_TRUE(NmeaSeenRmcFlag().load());
}

TEST_F(Sentences, GgaWithFewerThanTenFieldsLeavesNoAltitude) {
    ASSERT_TRUE(Feed(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M")));
    EXPECT_DOUBLE_EQ(nmea_.Current().altitude, 545.4);
    ASSERT_TRUE(Feed(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9")));
    EXPECT_EQ(nmea_.Current().altitude, -9999.0);
    ASSERT_TRUE(Feed(NmeaSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,,M")));
    EXPECT_EQ(nmea_.Current().altitude, 0.0);
}

TEST_F(Sentences, GsvSetFillsTheTableAndGsaEmptiesIt) {
    FeedAll({NmeaSentence("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
             NmeaSentence("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00"),
             NmeaSentence("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00")});
    EXPECT_EQ(nmea_.SatelliteCount(), 11);
    const int prns[11] = {3, 4, 6, 13, 14, 16, 18, 19, 22, 24, 27};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(Prn(i), prns[i]) << "entry " << i;
    EXPECT_EQ(Entry(10), std::tuple(27, 5, 244, 0));
    SatelliteEntry untouched{7, 7, 7, 7};
    EXPECT_EQ(std::tuple(nmea_.Satellite(11, &untouched), nmea_.Satellite(-1, &untouched)),
              std::tuple(false, false));
    EXPECT_EQ(untouched.prn, 7);

    ASSERT_TRUE(Feed(NmeaSentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")));
    EXPECT_EQ(std::tuple(nmea_.SatelliteCount(), Entry(0)), std::tuple(11, std::tuple(0, 0, 0, 0)));
}

// Message 1 of a new set starts the table afresh; later messages continue it
// from the first free entry, and a full table is written again from the start.
TEST_F(Sentences, GsvSetsAndTheEndOfTheTable) {
    FeedAll({Gsv(2, 1, 5, {3, 4, 6, 13}), Gsv(2, 2, 5, {14}), Gsv(1, 1, 2, {21, 22})});
    EXPECT_EQ(std::tuple(nmea_.SatelliteCount(), Prn(0), Prn(1)), std::tuple(2, 21, 22));

    // Messages 1 to 6 fill entries 0 to 21; message 7 brings four more, of
    // which those past entry 23 are dropped.
    for (int m = 1; m <= 5; ++m)
        FeedAll({Gsv(7, m, 26, {4 * m - 3, 4 * m - 2, 4 * m - 1, 4 * m})});
    FeedAll({Gsv(7, 6, 26, {21, 22}), Gsv(7, 7, 26, {23, 24, 25, 26})});
    EXPECT_EQ(std::tuple(Prn(0), Prn(21), Prn(22), Prn(23)), std::tuple(1, 22, 23, 24));
    // The count may exceed the table; entry 24 still fails.
    SatelliteEntry e;
    EXPECT_EQ(std::tuple(nmea_.SatelliteCount(), nmea_.Satellite(24, &e)), std::tuple(26, false));

    FeedAll({Gsv(7, 7, 28, {27, 28})});
    EXPECT_EQ(std::tuple(Prn(0), Prn(1), Prn(2)), std::tuple(27, 28, 3));
    // The last satellite may be partly written; without its header a GSV changes nothing.
    ASSERT_TRUE(Feed(NmeaSentence("GPGSV,1,1,02,05,40,083,46,09,77")));
    EXPECT_EQ(Entry(0), std::tuple(5, 40, 83, 46));
    EXPECT_EQ(Entry(1), std::tuple(9, 77, 0, 0));
    ASSERT_TRUE(Feed(NmeaSentence("GPGSV,1,1")));
    EXPECT_EQ(std::tuple(nmea_.SatelliteCount(), Prn(0)), std::tuple(2, 5));
}

TEST_F(Sentences, WrongChecksumIsDroppedAndMissingOneIsAccepted) {
    EXPECT_FALSE(Feed(NmeaSentence(kRmcBody, true)));
    EXPECT_EQ(std::tuple(nmea_.Current().latitude, seen_.load()), std::tuple(0.0, false));
    EXPECT_TRUE(Feed("$" + kRmcBody + "\r\n"));
    EXPECT_NEAR(nmea_.Current().latitude, 48.1173, 1e-12);

    const std::pair<std::string, NmeaChecksum> rows[] = {
        {"$GPGSA,A*3E\r\n", NmeaChecksum::kBad},    {NmeaSentence("GPGSA,A"), NmeaChecksum::kGood},
        {"$GPGSA,A*2f\r\n", NmeaChecksum::kGood},   {"$GPGSA,A\r\n", NmeaChecksum::kAbsent},
        {"$GPGSA,A*", NmeaChecksum::kAbsent},       {"$GPGSA,A*4", NmeaChecksum::kAbsent},
        {"$GPGSA,A*G1\r\n", NmeaChecksum::kAbsent},
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(CheckNmeaChecksum(line), expected) << line;
}

TEST_F(Sentences, OtherAndMalformedSentencesDoNoHarm) {
    EXPECT_FALSE(Feed(NmeaSentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")));
    EXPECT_FALSE(Feed("$gprmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230301\r\n"));
    EXPECT_FALSE(Feed("$GPRM"));
    EXPECT_EQ(std::tuple(nmea_.Current().latitude, seen_.load()), std::tuple(0.0, false));

    // Garbage fields convert to zero; a huge count saturates.
    ASSERT_TRUE(Feed("$GPRMC,xx,A,abc,N,1e999,E,nan,1e300,zzzzzz\r\n"));
    EXPECT_EQ(std::tuple(nmea_.Current().latitude, nmea_.Current().valid), std::tuple(0.0, 1));
    ASSERT_TRUE(Feed("$GPGSV,1,1,99999999999999999999,-5,999999,7,8\r\n"));
    EXPECT_EQ(nmea_.SatelliteCount(), 2147483647);
}

}  // namespace
}  // namespace sorvane
