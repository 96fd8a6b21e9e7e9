// Receivers of today: any talker, several constellations, NMEA 4.10 fields,
// and the recorded streams of several chip families.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "nmea/nmea_sentences.h"
#include "recorded_streams.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using gpssim::NmeaSentence;  // "$", body, checksum and CR LF

class Talkers : public ::testing::Test {
  protected:
    std::atomic<bool> seen_{false};
    std::vector<NmeaFix> events_;  // what the automation event gets
    std::vector<NmeaFix> fixes_;   // what the full fix event gets
    NmeaSentences nmea_{[this](const NmeaFix& f) {
                            if (f.kind != FixKind::kLast)
                                events_.push_back(f);
                            if (f.kind != FixKind::kStale)
                                fixes_.push_back(f);
                        },
                        &seen_};

    void Feed(const std::vector<std::string>& bodies) {
        for (const std::string& body : bodies)
            ASSERT_TRUE(nmea_.Dispatch(NmeaSentence(body))) << body;
    }
    std::vector<int> TablePrns() {
        std::vector<int> prns;
        SatelliteEntry e;
        for (int n = 0; nmea_.Satellite(n, &e); ++n)
            prns.push_back(e.prn);
        return prns;
    }
};

std::string Rmc(const std::string& talker, const std::string& time, char status = 'A',
                const std::string& tail = "") {
    return talker + "RMC," + time + "," + status +
           ",4807.038,N,01131.000,E,022.4,084.4,230301,003.1,W" + tail;
}

TEST_F(Talkers, EveryTalkerGivesTheFixAndMakersSentencesAreLeftAlone) {
    for (const char* talker : {"GP", "GN", "GL", "GA", "GB", "BD", "GQ", "GI", "QZ"}) {
        NmeaSentences one(nullptr, &seen_);
        EXPECT_EQ(one.Take(NmeaSentence(Rmc(talker, "123519"))), NmeaTake::kParsed) << talker;
        EXPECT_EQ(std::tuple(one.Current().valid, one.Current().course), std::tuple(1, 84))
            << talker;
        EXPECT_NEAR(one.Current().latitude, 48.1173, 1e-12) << talker;
    }
    const std::pair<std::string, NmeaTake> rows[] = {
        {NmeaSentence("PGRMC,123519,A,4807.038,N,01131.000,E"), NmeaTake::kOther},
        {NmeaSentence("PUBX,00,123519.00,4807.038,N"), NmeaTake::kOther},
        {NmeaSentence("GNVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"), NmeaTake::kOther},
        {NmeaSentence("GNRMC,123519,A", true), NmeaTake::kBadChecksum},
        {"$gnrmc,123519,A,4807.038,N\r\n", NmeaTake::kNotSentence},
        {"$G1RMC,123519,A,4807.038,N\r\n", NmeaTake::kNotSentence},
        {"GPRMC,123519,A,4807.038,N\r\n", NmeaTake::kNotSentence},
        {"$GN", NmeaTake::kNotSentence},
    };
    for (const auto& [line, expected] : rows)
        EXPECT_EQ(nmea_.Take(line), expected) << line;
    EXPECT_EQ(std::tuple(nmea_.Current().latitude, seen_.load()), std::tuple(0.0, true));
}

// The status makes a fix, unless the mode of NMEA 2.3 and later says none.
TEST_F(Talkers, ModeIndicatorAndNavigationStatus) {
    const std::tuple<std::string, std::int16_t> rows[] = {
        {Rmc("GN", "1", 'A', ",A"), 1},   {Rmc("GN", "1", 'A', ",D,V"), 1},
        {Rmc("GN", "1", 'A', ",N"), 0},   {Rmc("GN", "1", 'A', ",N,V"), 0},
        {Rmc("GN", "1", 'A', ",E,S"), 1}, {Rmc("GN", "1", 'V', ",A"), 0},
        {Rmc("GN", "1", 'A', ","), 1},    {Rmc("GN", "1", 'A', ",F,C"), 1},
    };
    for (const auto& [body, valid] : rows) {
        ASSERT_TRUE(nmea_.Dispatch(NmeaSentence(body)));
        EXPECT_EQ(nmea_.Current().valid, valid) << body;
    }
}

TEST_F(Talkers, TheSameFixUnderTwoTalkersIsOneEvent) {
    Feed({Rmc("GP", "120000"), Rmc("GN", "120000")});
    // The combined solution replaces the GPS one, which raised the only event.
    Feed({"GPRMC,120001,A,4807.000,N,01131.000,E,1,1,230301,,",
          "GNRMC,120001,A,4808.000,N,01131.000,E,1,1,230301,,,A",
          "GPRMC,120002,V,4809.000,N,01131.000,E,1,1,230301,,",
          "GNRMC,120002,A,4810.000,N,01131.000,E,1,1,230301,,,A",
          "GNRMC,120003,A,4811.000,N,01131.000,E,1,1,230301,,,A",
          "GPRMC,120003,A,4812.000,N,01131.000,E,1,1,230301,,"});
    // The same talker twice is two cycles, as it always was.
    Feed({"GPRMC,120004,A,4813.000,N,01131.000,E,1,1,230301,,",
          "GPRMC,120004,A,4814.000,N,01131.000,E,1,1,230301,,"});
    nmea_.Flush();
    std::vector<std::tuple<int, int, double>> got;
    for (const NmeaFix& f : fixes_)
        got.emplace_back(f.time % 60, f.valid, std::round(f.latitude * 60.0) - 48 * 60);
    EXPECT_EQ(
        got,
        (std::vector<std::tuple<int, int, double>>{
            {0, 1, 7.0}, {1, 1, 8.0}, {2, 1, 10.0}, {3, 1, 11.0}, {4, 1, 13.0}, {4, 1, 14.0}}));
    EXPECT_EQ(events_.size(), fixes_.size() - 1);  // the first RMC raises none; Flush the last
}

TEST_F(Talkers, GgaValuesGoWithTheirOwnRmcAndFractionsAndLateDatesStay) {
    // GGA before RMC, as some receivers send them: each fix keeps its own GGA.
    Feed({"GNGGA,235959.50,4807.038,N,01131.000,E,4,12,0.6,100.5,M,46.9,M,1.0,0001",
          "GNRMC,235959.50,A,4807.038,N,01131.000,E,0,0,311200,,,R",
          "GNGGA,000000.75,4807.038,N,01131.000,E,5,09,1.4,101.5,M,46.9,M,,",
          "GNRMC,000000.75,A,4807.038,N,01131.000,E,0,0,010101,,,F",
          // 2040 lies beyond 32 bits: the event keeps the old value, the full fix the date.
          "GNGGA,120000,4807.038,N,01131.000,E,1,,,7.0,M,,M,,",
          "GNRMC,120000,A,4807.038,N,01131.000,E,0,0,010140,,,A"});
    nmea_.Flush();
    ASSERT_EQ(fixes_.size(), 3u);
    EXPECT_EQ(std::tuple(fixes_[0].quality, fixes_[0].satellitesUsed, fixes_[0].fixAltitude,
                         fixes_[0].time),
              std::tuple(4, 12, 100.5, 978307199));
    EXPECT_DOUBLE_EQ(fixes_[0].hdop, 0.6);
    EXPECT_DOUBLE_EQ(fixes_[0].utc, 978307199.5);
    // The automation event keeps the latest GGA's altitude, as it always did.
    EXPECT_DOUBLE_EQ(events_[0].altitude, 101.5);
    EXPECT_EQ(std::tuple(fixes_[1].quality, fixes_[1].satellitesUsed, fixes_[1].fixAltitude),
              std::tuple(5, 9, 101.5));
    EXPECT_DOUBLE_EQ(fixes_[1].utc, 978307200.75);
    EXPECT_EQ(std::tuple(fixes_[2].time, fixes_[2].satellitesUsed, fixes_[2].hdop),
              std::tuple(kNmeaTimeOutOfRange, -1, 0.0));
    EXPECT_DOUBLE_EQ(fixes_[2].utc, 2209032000.0);
    // The stream's end gives the last cycle once.
    nmea_.Flush();
    EXPECT_EQ(fixes_.size(), 3u);
}

TEST_F(Talkers, SetsOfSeveralTalkersFillTheTableTogether) {
    const std::vector<std::string> cycle = {
        "GNGSA,A,3,02,05,,,,,,,,,,,1.8,0.9,1.5",
        "GNGSA,A,3,65,70,,,,,,,,,,,1.8,0.9,1.5",
        "GPGSV,2,1,05,02,10,100,30,05,11,101,31,07,12,102,32,09,13,103,33",
        "GPGSV,2,2,05,12,14,104,34",
        "GLGSV,1,1,03,65,20,200,40,70,21,201,41,71,22,202,42",
        "GAGSV,1,1,02,11,30,300,35,12,31,301,"};
    Feed(cycle);
    EXPECT_EQ(nmea_.SatelliteCount(), 10);
    EXPECT_EQ(TablePrns(), (std::vector<int>{2, 5, 7, 9, 12, 65, 70, 71, 11, 12}));
    // The first GSA of the next cycle empties the table, the second does not.
    Feed({cycle[0]});
    EXPECT_EQ(TablePrns(), std::vector<int>(10, 0));
    Feed({cycle[1], cycle[2]});
    // The count stays the last cycle's while this one comes in.
    EXPECT_EQ(TablePrns(), (std::vector<int>{2, 5, 7, 9, 0, 0, 0, 0, 0, 0}));
    // Until the new cycle is complete, the full list shows the last one.
    EXPECT_EQ(nmea_.Sky().List().size(), 10u);
    Feed({cycle[3], cycle[4], cycle[5]});

    const std::vector<SatelliteInfo> all = nmea_.Sky().List();
    ASSERT_EQ(all.size(), 10u);
    EXPECT_EQ(all[0], (SatelliteInfo{Constellation::kGps, 2, 2, 10, 100, 30, true, 0}));
    EXPECT_EQ(all[5], (SatelliteInfo{Constellation::kGlonass, 65, 1, 20, 200, 40, true, 0}));
    EXPECT_EQ(all[7], (SatelliteInfo{Constellation::kGlonass, 71, 7, 22, 202, 42, false, 0}));
    EXPECT_EQ(all[9], (SatelliteInfo{Constellation::kGalileo, 12, 12, 31, 301, 0, false, 0}));

    // A talker no longer sent leaves the list with the cycle after it.
    Feed({cycle[2], cycle[3], cycle[4]});
    EXPECT_EQ(nmea_.Sky().List().size(), 10u);
    Feed({cycle[2], cycle[3]});
    EXPECT_EQ(nmea_.Sky().List().size(), 8u);
    EXPECT_EQ(nmea_.SatelliteCount(), 8);
}

TEST_F(Talkers, SignalIdsAndTheEndOfTheTable) {
    // NMEA 4.10: the signal ID after the satellites; a set without satellites.
    Feed({"GPGSV,1,1,03,02,10,100,30,05,11,101,31,07,12,102,32,1",
          "GPGSV,1,1,02,02,10,100,44,05,11,101,45,6", "GQGSV,1,1,00,1",
          "GPGSV,1,1,02,02,10,100,30,07,12,102,32,F"});
    EXPECT_EQ(TablePrns(), (std::vector<int>{2, 5, 7}));
    EXPECT_EQ(nmea_.SatelliteCount(), 3);
    const auto all = nmea_.Sky().List();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(std::tuple(all[0].signal, all[0].snr), std::tuple(1, 30));

    // Three constellations of 12: the table takes the first 24 and the rest
    // is dropped, never written over the top.
    std::vector<std::string> sets;
    for (const auto& [talker, base] : {std::pair{"GP", 1}, {"GL", 65}, {"GA", 1}}) {
        for (int m = 1; m <= 3; ++m) {
            std::string body = std::string(talker) + "GSV,3," + std::to_string(m) + ",12";
            for (int s = 0; s < 4; ++s)
                body += "," + std::to_string(base + 4 * (m - 1) + s) + ",10,100,30";
            sets.push_back(body);
        }
    }
    Feed({"GNGSA,A,3,01,,,,,,,,,,,,1.8,0.9,1.5,1"});
    Feed(sets);
    EXPECT_EQ(nmea_.SatelliteCount(), 36);
    const std::vector<int> prns = TablePrns();
    ASSERT_EQ(prns.size(), 24u);
    EXPECT_EQ(std::tuple(prns[0], prns[11], prns[12], prns[23]), std::tuple(1, 12, 65, 76));
    EXPECT_EQ(nmea_.Sky().List().size(), 36u);
}

TEST(Constellations, TalkersSystemIdsAndNumbers) {
    const std::tuple<std::string, long, Constellation, int> rows[] = {
        {"GP", 5, Constellation::kGps, 5},         {"GP", 48, Constellation::kSbas, 135},
        {"GP", 193, Constellation::kQzss, 1},      {"GN", 70, Constellation::kGlonass, 6},
        {"GL", 70, Constellation::kGlonass, 6},    {"GL", 3, Constellation::kGlonass, 3},
        {"GN", 305, Constellation::kGalileo, 5},   {"GA", 5, Constellation::kGalileo, 5},
        {"BD", 206, Constellation::kBeiDou, 6},    {"GN", 410, Constellation::kBeiDou, 10},
        {"GB", 30, Constellation::kBeiDou, 30},    {"GN", 133, Constellation::kSbas, 133},
        {"GQ", 2, Constellation::kQzss, 2},        {"GI", 4, Constellation::kNavIc, 4},
        {"GN", 999, Constellation::kUnknown, 999}, {"XX", 40, Constellation::kSbas, 127},
    };
    for (const auto& [talker, prn, c, number] : rows) {
        EXPECT_EQ(SatelliteConstellation(talker, prn), c) << talker << " " << prn;
        EXPECT_EQ(SatelliteNumber(c, prn), number) << talker << " " << prn;
    }
    EXPECT_EQ(ConstellationOfSystemId(4), Constellation::kBeiDou);
    EXPECT_EQ(ConstellationOfSystemId(7), Constellation::kUnknown);
    EXPECT_STREQ(ConstellationName(Constellation::kGalileo), "Galileo");
}

class RecordedStream : public ::testing::TestWithParam<const char*> {};

// Line by line into the sentences: every fix where it belongs, no fix for the
// void cycles, the satellites of every constellation.
TEST_P(RecordedStream, GivesEveryFixAndEverySatellite) {
    const recorded::Stream s = recorded::Load(GetParam());
    ASSERT_FALSE(s.fixes.empty()) << "no expected results for " << s.name;
    std::atomic<bool> seen{false};
    std::vector<NmeaFix> fixes;
    NmeaSentences nmea(
        [&](const NmeaFix& f) {
            if (f.kind != FixKind::kStale)
                fixes.push_back(f);
        },
        &seen);
    for (const std::string& line : recorded::Lines(s.bytes))
        nmea.Take(line);
    nmea.Flush();
    recorded::ExpectFixes(s, fixes, 1e-9);
    EXPECT_EQ(recorded::Sorted(nmea.Sky().List()), s.satellites);
    EXPECT_EQ(nmea.SatelliteCount(), s.inView);
    // The table holds as many as fit, each satellite once.
    std::vector<std::pair<int, int>> table;
    SatelliteEntry e;
    for (int n = 0; nmea.Satellite(n, &e); ++n)
        table.emplace_back(e.prn, e.elevation);
    EXPECT_EQ(table.size(), std::min<std::size_t>(s.satellites.size(), 24));
    std::sort(table.begin(), table.end());
    EXPECT_EQ(std::adjacent_find(table.begin(), table.end()), table.end());
}

INSTANTIATE_TEST_SUITE_P(ChipFamilies, RecordedStream, ::testing::ValuesIn(recorded::kStreamNames));

}  // namespace
}  // namespace sorvane
