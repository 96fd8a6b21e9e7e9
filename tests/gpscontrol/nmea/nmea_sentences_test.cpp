#include "nmea/nmea_sentences.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace sorvane {
namespace {

// A sentence with its checksum and CR LF.
std::string Sentence(const std::string& body) {
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
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
    SatelliteEntry Entry(int n) {
        SatelliteEntry e{-1, -1, -1, -1};
        EXPECT_TRUE(nmea_.Satellite(n, &e)) << "entry " << n;
        return e;
    }
};

TEST_F(Sentences, RmcExampleGivesPositionSpeedCourseAndUtcTime) {
    ASSERT_TRUE(Feed(Sentence(kRmcBody)));
    const NmeaFix f = nmea_.Current();
    EXPECT_EQ(f.valid, 1);
    EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
    EXPECT_NEAR(f.longitude, 11.516666666666667, 1e-12);
    EXPECT_NEAR(f.speed, 41.4848, 1e-12);
    EXPECT_EQ(f.course, 84);
    EXPECT_EQ(f.time, k20010323_123519);
}

TEST_F(Sentences, DateBeyond32BitsGivesTheFixedTime) {
    // 230394 is 2094-03-23: no century window.
    ASSERT_TRUE(Feed(Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,,")));
    EXPECT_EQ(nmea_.Current().time, 631065600);
    EXPECT_EQ(NmeaRmcTime("031407", "190138"), 2147483647);  // the last 32-bit second
    EXPECT_EQ(NmeaRmcTime("031408", "190138"), kNmeaTimeOutOfRange);
}

TEST_F(Sentences, TimeIsUtcWhateverTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "Asia/Tokyo", 1);
    ::tzset();
    const std::int32_t t = NmeaRmcTime("123519", "230301");
    if (old) {
        ::setenv("TZ", saved.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
    EXPECT_EQ(t, k20010323_123519);
}

TEST_F(Sentences, ShortTimeCountsAsMidnightAndMissingDateKeepsTheTime) {
    ASSERT_TRUE(Feed(Sentence("GPRMC,1235,A,4807.038,N,01131.000,E,0,0,230301,,")));
    EXPECT_EQ(nmea_.Current().time, k20010323_123519 - (12 * 3600 + 35 * 60 + 19));
    ASSERT_TRUE(Feed(Sentence(kRmcBody)));
    ASSERT_TRUE(Feed(Sentence("GPRMC,130000,A,4807.038,N,01131.000,E,0,0,2303,,")));
    EXPECT_EQ(nmea_.Current().time, k20010323_123519);
}

TEST_F(Sentences, VoidStatusStillUpdatesThePosition) {
    ASSERT_TRUE(Feed(Sentence("GPRMC,123519,V,3539.516,S,13944.724,W,1.0,270.9,230301,,")));
    const NmeaFix f = nmea_.Current();
    EXPECT_EQ(f.valid, 0);
    EXPECT_NEAR(f.latitude, -35.6586, 1e-12);
    EXPECT_NEAR(f.longitude, -139.7454, 1e-12);
    EXPECT_NEAR(f.speed, 1.852, 1e-12);
    EXPECT_EQ(f.course, 270);
}

TEST_F(Sentences, ShortRmcLeavesUnreachedFieldsAtZero) {
    ASSERT_TRUE(Feed(Sentence(kRmcBody)));
    ASSERT_TRUE(Feed("$GPRMC,123520,A,4807.038,N\r\n"));
    const NmeaFix f = nmea_.Current();
    EXPECT_EQ(f.valid, 1);
    EXPECT_NEAR(f.latitude, 48.1173, 1e-12);
    EXPECT_EQ(f.longitude, 0.0);
    EXPECT_EQ(f.speed, 0.0);
    EXPECT_EQ(f.course, 0);
    EXPECT_EQ(f.time, k20010323_123519);  // kept
}

TEST_F(Sentences, EventCarriesThePreviousCycleAndNotForTheFirstRmc) {
    ASSERT_TRUE(Feed(Sentence(kRmcBody)));
    EXPECT_TRUE(events_.empty());
    EXPECT_TRUE(seen_.load());
    ASSERT_TRUE(Feed(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")));
    ASSERT_TRUE(Feed(Sentence("GPRMC,123520,V,0000.000,N,00000.000,E,0,0,230301,,")));
    ASSERT_EQ(events_.size(), 1u);
    const NmeaFix& e = events_[0];
    EXPECT_EQ(e.valid, 1);
    EXPECT_NEAR(e.latitude, 48.1173, 1e-12);
    EXPECT_NEAR(e.longitude, 11.516666666666667, 1e-12);
    EXPECT_DOUBLE_EQ(e.altitude, 545.4);
    EXPECT_EQ(e.time, k20010323_123519);
    EXPECT_NEAR(e.speed, 41.4848, 1e-12);
    EXPECT_EQ(e.course, 84);
}

TEST_F(Sentences, FlagSetEarlierGivesAnEventWithZeroValues) {
    seen_ = true;
    ASSERT_TRUE(Feed(Sentence(kRmcBody)));
    ASSERT_EQ(events_.size(), 1u);
    EXPECT_EQ(events_[0].valid, 0);
    EXPECT_EQ(events_[0].latitude, 0.0);
    EXPECT_EQ(events_[0].time, 0);
}

TEST(NmeaSentencesProcess, FirstRmcSetsTheProcessWideFlag) {
    NmeaSentences nmea(nullptr);
    nmea.Dispatch(Sentence(kRmcBody));
    EXPECT_TRUE(NmeaSeenRmcFlag().load());
}

TEST_F(Sentences, GgaWithFewerThanTenFieldsLeavesNoAltitude) {
    ASSERT_TRUE(Feed(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M")));
    EXPECT_DOUBLE_EQ(nmea_.Current().altitude, 545.4);
    ASSERT_TRUE(Feed(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9")));
    EXPECT_EQ(nmea_.Current().altitude, -9999.0);
    ASSERT_TRUE(Feed(Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,,M")));
    EXPECT_EQ(nmea_.Current().altitude, 0.0);
}

// Message 1 of a new set starts the table afresh; later messages continue it.
TEST_F(Sentences, GsvMessageOneClearsThePreviousSet) {
    ASSERT_TRUE(Feed(Sentence("GPGSV,2,1,05,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,2,2,05,14,25,170,00")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,1,1,02,21,40,083,46,22,17,308,41")));
    EXPECT_EQ(nmea_.SatelliteCount(), 2);
    EXPECT_EQ(Entry(0).prn, 21);
    EXPECT_EQ(Entry(1).prn, 22);
    EXPECT_EQ(Entry(1).snr, 41);
    ASSERT_TRUE(Feed(Sentence("GPGSV,2,1,06,31,40,083,46,32,17,308,41,33,1,2,3,34,1,2,3")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,2,2,06,35,40,083,46,36,17,308,41")));
    const int prns[6] = {31, 32, 33, 34, 35, 36};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Entry(i).prn, prns[i]) << "entry " << i;
}

TEST_F(Sentences, GsvSetFillsTheTableAndGsaEmptiesIt) {
    ASSERT_TRUE(Feed(Sentence("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,3,2,11,14,25,170,00,16,57,208,39,18,67,296,40,19,40,246,00")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,3,3,11,22,42,067,42,24,14,311,43,27,05,244,00")));
    EXPECT_EQ(nmea_.SatelliteCount(), 11);
    const int prns[11] = {3, 4, 6, 13, 14, 16, 18, 19, 22, 24, 27};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(Entry(i).prn, prns[i]) << "entry " << i;
    const SatelliteEntry e = Entry(10);
    EXPECT_EQ(e.elevation, 5);
    EXPECT_EQ(e.azimuth, 244);
    EXPECT_EQ(e.snr, 0);
    EXPECT_EQ(Entry(9).snr, 43);
    SatelliteEntry untouched{7, 7, 7, 7};
    EXPECT_FALSE(nmea_.Satellite(11, &untouched));
    EXPECT_FALSE(nmea_.Satellite(-1, &untouched));
    EXPECT_EQ(untouched.prn, 7);

    ASSERT_TRUE(Feed(Sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1")));
    EXPECT_EQ(nmea_.SatelliteCount(), 11);
    const SatelliteEntry cleared = Entry(0);
    EXPECT_EQ(cleared.prn, 0);
    EXPECT_EQ(cleared.elevation, 0);
    EXPECT_EQ(cleared.azimuth, 0);
    EXPECT_EQ(cleared.snr, 0);
}

TEST_F(Sentences, EntryPastTheTableFailsWhateverTheCount) {
    ASSERT_TRUE(Feed(Sentence("GPGSV,8,1,30,01,10,100,30,02,10,100,30,03,10,100,30,04,10,100,30")));
    EXPECT_EQ(nmea_.SatelliteCount(), 30);
    Entry(3);
    SatelliteEntry e;
    EXPECT_TRUE(nmea_.Satellite(23, &e));
    EXPECT_FALSE(nmea_.Satellite(24, &e));
    EXPECT_FALSE(nmea_.Satellite(29, &e));
}

TEST_F(Sentences, SatellitesRunningPastTheTableAreDroppedAndTheRestKept) {
    // Messages 1 to 5 fill entries 0 to 19, message 6 brings two more.
    for (int m = 1; m <= 5; ++m) {
        std::string body = "GPGSV,7,";
        body += std::to_string(m) + ",26";
        for (int s = 0; s < 4; ++s)
            body += "," + std::to_string((m - 1) * 4 + s + 1) + ",10,100,30";
        ASSERT_TRUE(Feed(Sentence(body)));
    }
    ASSERT_TRUE(Feed(Sentence("GPGSV,7,6,26,21,10,100,30,22,10,100,30")));
    // Message 7 starts at the first free entry, 22, and has four satellites.
    ASSERT_TRUE(Feed(Sentence("GPGSV,7,7,26,23,11,101,31,24,12,102,32,25,13,103,33,26,14,104,34")));
    EXPECT_EQ(Entry(22).prn, 23);
    EXPECT_EQ(Entry(23).prn, 24);
    EXPECT_EQ(Entry(23).snr, 32);
    EXPECT_EQ(Entry(0).prn, 1);  // nothing wrapped round
    EXPECT_EQ(Entry(21).prn, 22);
}

TEST_F(Sentences, FullTableIsWrittenAgainFromTheStart) {
    for (int m = 1; m <= 6; ++m) {
        std::string body = "GPGSV,7,";
        body += std::to_string(m) + ",28";
        for (int s = 0; s < 4; ++s)
            body += "," + std::to_string((m - 1) * 4 + s + 1) + ",10,100,30";
        ASSERT_TRUE(Feed(Sentence(body)));
    }
    ASSERT_TRUE(Feed(Sentence("GPGSV,7,7,28,25,10,100,30")));
    EXPECT_EQ(Entry(0).prn, 25);
    EXPECT_EQ(Entry(1).prn, 2);
}

TEST_F(Sentences, LastSatelliteMayBePartlyWritten) {
    ASSERT_TRUE(Feed(Sentence("GPGSV,1,1,02,05,40,083,46,09,77")));
    const SatelliteEntry e = Entry(1);
    EXPECT_EQ(e.prn, 9);
    EXPECT_EQ(e.elevation, 77);
    EXPECT_EQ(e.azimuth, 0);
    EXPECT_EQ(Entry(0).snr, 46);
}

TEST_F(Sentences, GsvWithoutItsFirstThreeFieldsChangesNothing) {
    ASSERT_TRUE(Feed(Sentence("GPGSV,1,1,02,05,40,083,46")));
    ASSERT_TRUE(Feed(Sentence("GPGSV,1,1")));
    EXPECT_EQ(nmea_.SatelliteCount(), 2);
    EXPECT_EQ(Entry(0).prn, 5);
}

TEST_F(Sentences, WrongChecksumIsDroppedAndMissingOneIsAccepted) {
    std::string bad = Sentence(kRmcBody);
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    EXPECT_FALSE(Feed(bad));
    EXPECT_EQ(nmea_.Current().latitude, 0.0);
    EXPECT_FALSE(seen_.load());

    EXPECT_TRUE(Feed("$" + kRmcBody + "\r\n"));
    EXPECT_NEAR(nmea_.Current().latitude, 48.1173, 1e-12);

    std::string lower = Sentence("GPGGA,1,2,3,4,5,6,7,8,12.5,M");
    const std::size_t star = lower.find('*');
    for (std::size_t i = star; i < lower.size(); ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lower[i])));
    EXPECT_TRUE(Feed(lower));
    EXPECT_DOUBLE_EQ(nmea_.Current().altitude, 12.5);
}

TEST(NmeaChecksum, Cases) {
    EXPECT_EQ(CheckNmeaChecksum("$GPGSA,A*3E\r\n"), NmeaChecksum::kBad);
    EXPECT_EQ(CheckNmeaChecksum(Sentence("GPGSA,A")), NmeaChecksum::kGood);
    EXPECT_EQ(CheckNmeaChecksum("$GPGSA,A\r\n"), NmeaChecksum::kAbsent);
    EXPECT_EQ(CheckNmeaChecksum("$GPGSA,A*"), NmeaChecksum::kAbsent);
    EXPECT_EQ(CheckNmeaChecksum("$GPGSA,A*4"), NmeaChecksum::kAbsent);
    EXPECT_EQ(CheckNmeaChecksum("$GPGSA,A*G1\r\n"), NmeaChecksum::kAbsent);
}

TEST_F(Sentences, OtherSentencesAndLowerCaseNamesAreIgnored) {
    EXPECT_FALSE(Feed(Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")));
    EXPECT_FALSE(Feed("$gprmc,123519,A,4807.038,N,01131.000,E,022.4,084.4,230301\r\n"));
    EXPECT_FALSE(Feed("$GPRM"));
    EXPECT_EQ(nmea_.Current().latitude, 0.0);
    EXPECT_FALSE(seen_.load());
}

TEST_F(Sentences, GarbageFieldsConvertToZeroWithoutHarm) {
    ASSERT_TRUE(Feed("$GPRMC,xx,A,abc,N,1e999,E,nan,1e300,zzzzzz\r\n"));
    const NmeaFix f = nmea_.Current();
    EXPECT_EQ(f.latitude, 0.0);
    EXPECT_EQ(f.valid, 1);
    ASSERT_TRUE(Feed("$GPGSV,1,1,99999999999999999999,-5,999999,7,8\r\n"));
    EXPECT_EQ(nmea_.SatelliteCount(), 2147483647);
}

TEST(NmeaDegrees, MinutesBecomeDegrees) {
    EXPECT_NEAR(NmeaDegrees("4807.038"), 48.1173, 1e-12);
    EXPECT_NEAR(NmeaDegrees("13944.724"), 139.7454, 1e-12);
    EXPECT_EQ(NmeaDegrees(""), 0.0);
    EXPECT_NEAR(NmeaDegrees("0030.0"), 0.5, 1e-12);
}

}  // namespace
}  // namespace sorvane
