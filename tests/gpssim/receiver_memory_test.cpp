// The simulator's receiver side without a line: its data file, the uploads
// it records through the protocol engine, and its NMEA cycles.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "dataset.h"
#include "engine.h"
#include "nmea_stream.h"
#include "profile.h"
#include "receiver_memory.h"
#include "records.h"

namespace gpssim {
namespace {

using Ids = std::vector<int>;

TEST(DataFile, ReadsEveryItemAndFormatsWhatReadsBackUnchanged) {
    const char* text = R"(# sample
track "ACTIVE LOG"
point 35.5 139.5 1000 12.5
point 35.6 139.6 1010
segment
point -35.7 -139.7 1020 none
waypoint HOME 35.1 139.1 alt=25 symbol=18 display=2 proximity=50.5 comment="START HERE"
waypoint "\x21\x52" 1 2
route 7 "BAY WALK"
routepoint A 3 4 comment=x
routepoint B 5 6
)";
    DataSet d;
    std::string error;
    ASSERT_TRUE(ParseDataSet(text, &d, &error)) << error;
    DataSet want;
    want.tracks = {{"ACTIVE LOG",
                    {{35.5, 139.5, 1000, 12.5f, true},
                     {35.6, 139.6, 1010, 0.0f, false},
                     {-35.7, -139.7, 1020, kNoValue, true}}}};
    want.waypoints = {{"HOME", "START HERE", 35.1, 139.1, 25.0f, 18, 2, 50.5f},
                      {"\x21\x52", "", 1, 2}};
    want.routes = {{7, "BAY WALK", {{"A", "x", 3, 4}, {"B", "", 5, 6}}}};
    EXPECT_EQ(d, want);

    d = BuiltInDataSet(2);
    d.waypoints[0].comment = "quote \" and backslash \\";
    DataSet back;
    ASSERT_TRUE(ParseDataSet(FormatDataSet(d), &back, &error)) << error;
    EXPECT_EQ(back, d);
}

TEST(DataFile, ErrorsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"point 1 2 3", "line 1: point outside a track"},
        {"track T\npoint 1 x 3", "line 2: bad position"},
        {"track T\npoint 1 2 -3", "line 2: bad time"},
        {"waypoint A 1 2 colour=3", "line 1: unknown key colour"},
        {"waypoint A 1 2 symbol=70000", "line 1: bad value for symbol"},
        {"waypoint \"A 1 2", "line 1: unterminated quote"},
        {"waypoint \"\\xZZ\" 1 2", "line 1: \\x needs two hex digits"},
        {"route 300 R", "line 1: route needs NUMBER (0 to 255) NAME"},
        {"routepoint A 1 2", "line 1: routepoint outside a route"},
        {"\n\nfly away", "line 3: unknown item fly"},
    };
    for (const auto& [text, message] : cases) {
        DataSet d;
        std::string error;
        EXPECT_FALSE(ParseDataSet(text, &d, &error)) << text;
        EXPECT_EQ(error, message) << text;
    }
}

// The engine with a receiver's memory installed, and a host that acknowledges
// everything the receiver streams, as a host does.
class Memory : public ::testing::Test {
  protected:
    void Play(int product) {
        sent_.clear();
        acked_ = 0;
        engine_.emplace(ProfileForProduct(product));
        memory_.emplace(ProfileForProduct(product), BuiltInDataSet());
        memory_->Install(*engine_);
        engine_->SetSender([this](const Packet& p) { sent_.push_back(p); });
    }
    void Host(Packet p) {
        engine_->OnPacket(p);
        for (std::size_t i = acked_; i < sent_.size(); ++i) {
            acked_ = i + 1;
            if (sent_[i].id != kPidAck)
                engine_->OnPacket({kPidAck, {sent_[i].id, 0}});
        }
    }

    std::optional<ReceiverEngine> engine_;
    std::optional<ReceiverMemory> memory_;
    std::vector<Packet> sent_;
    std::size_t acked_ = 0;
};

TEST_F(Memory, UploadsAreRecordedDecodedLoggedAndKeptOnceComplete) {
    Play(87);
    std::vector<std::string> log;
    memory_->SetLog([&](const std::string& l) { log.push_back(l); });
    Host({kPidRecords, {2, 0}});
    Host({kPidWaypoint, EncodeWaypoint(4103, {"NEW", "FRESH", 10.0, 20.0, kNoValue, 5, 1})});
    // Unfinished: nothing held changes yet.
    ASSERT_EQ(memory_->uploads().size(), 1u);
    EXPECT_FALSE(memory_->uploads()[0].complete);
    EXPECT_EQ(memory_->data().waypoints[0].name, "HOME");
    Host({kPidWaypoint, EncodeWaypoint(4103, {"TWO", "", -1.0, -2.0})});
    Host({kPidTransferComplete, {6, 0}});
    const Upload& u = memory_->uploads().at(0);
    EXPECT_EQ(std::tuple(u.announced, u.Ids(), u.complete, u.completeData),
              std::tuple(2, Ids{35, 35}, true, std::array<std::uint8_t, 2>{6, 0}));
    // Every host packet was acknowledged.
    EXPECT_EQ(sent_, (std::vector<Packet>{{6, {27, 0}}, {6, {35, 0}}, {6, {35, 0}}, {6, {12, 0}}}));
    const std::string rest = " alt=9.99999956e+24 symbol=";
    EXPECT_EQ(log, (std::vector<std::string>{
                       "records 2",
                       "packet 35 waypoint name=\"NEW\" lat=119304647 lon=238609294" + rest +
                           "5 display=1 proximity=0 comment=\"FRESH\"",
                       "packet 35 waypoint name=\"TWO\" lat=-11930465 lon=-23860929" + rest +
                           "0 display=0 proximity=0 comment=\"\"",
                       "complete 6 0"}));
    // The receiver now holds the two uploaded waypoints and sends them.
    ASSERT_EQ(memory_->data().waypoints.size(), 2u);
    EXPECT_EQ(memory_->data().waypoints[1].name, "TWO");
    EXPECT_EQ(memory_->data().tracks.size(), 2u);  // other kinds untouched
    EXPECT_EQ(memory_->WaypointStream().size(), 4u);

    // Track headers and points are described too.
    Play(130);
    memory_->SetLog([&](const std::string& l) { log.push_back(l); });
    Host({kPidRecords, {2, 0}});
    Host({kPidTrackHeader, EncodeTrackHeader({"LOG", {}})});
    Host({kPidTrackPoint, EncodeTrackPoint(true, {1.0, 2.0, 3, 4.0f, true}, true)});
    EXPECT_EQ(std::vector(log.begin() + 4, log.end()),
              (std::vector<std::string>{
                  "records 2", "packet 99 trackheader display=1 colour=255 name=\"LOG\"",
                  "packet 34 trackpoint lat=11930465 lon=23860929 time=3 alt=4 "
                  "depth=9.99999956e+24 flag=1"}));
}

// The shorter standard forms other hosts send, as a newer-family receiver
// takes them, and lengths no layout allows.
TEST_F(Memory, EveryLengthTheLayoutsAllowIsTaken) {
    using Bytes = std::vector<std::uint8_t>;
    const auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts)
            out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    const Profile etrex = ProfileForProduct(130);
    SimWaypoint x;
    x.name = "X";
    const Bytes encoded = EncodeWaypoint(4108, x);
    const Bytes fixed(encoded.begin(), encoded.begin() + 48);
    const Bytes point = EncodeTrackPoint(true, {1.0, 2.0, 3, 4.0f, true}, true);
    const Bytes shortPoint(point.begin(), point.begin() + 21);
    const Bytes waypoint = cat({fixed, text("NAME"), {0}, text("A COMMENT"), Bytes(5, 0)});

    Play(130);
    std::vector<std::string> log;
    memory_->SetLog([&](const std::string& l) { log.push_back(l); });
    Host({kPidRecords, {5, 0}});
    Host({kPidWaypoint, waypoint});
    Host({kPidTransferComplete, {7, 0}});
    Host({kPidRecords, {3, 0}});
    Host({kPidRouteHeader, {'R', '1', 0}});
    Host({kPidRouteWaypoint, waypoint});
    Host({kPidRouteLink, cat({{0, 0}, Bytes(18, 0xFF), {0}})});
    Host({kPidRouteWaypoint, cat({fixed, text("B"), {0}})});  // no strings after the name
    Host({kPidTransferComplete, {4, 0}});
    Host({kPidRecords, {2, 0}});
    Host({kPidTrackHeader, {1, 0xFF, 'T', 0}});
    Host({kPidTrackPoint, shortPoint});
    Host({kPidTransferComplete, {6, 0}});
    for (const std::string& line : log)
        EXPECT_EQ(line.find("does not match"), std::string::npos) << line;
    const DataSet& d = memory_->data();
    ASSERT_EQ(d.waypoints.size(), 1u);
    EXPECT_EQ(std::tuple(d.waypoints[0].name, d.waypoints[0].comment),
              std::tuple("NAME", "A COMMENT"));
    ASSERT_EQ(d.routes.size(), 1u);
    EXPECT_EQ(d.routes[0].name, "R1");
    ASSERT_EQ(d.routes[0].waypoints.size(), 2u);
    EXPECT_EQ(d.routes[0].waypoints[1].name, "B");
    ASSERT_EQ(d.tracks.size(), 1u);
    EXPECT_EQ(d.tracks[0].points.at(0).time, 3u);
    // The comment goes back after the name when the receiver sends the waypoint.
    EXPECT_EQ(memory_->WaypointStream().at(1).data, waypoint);

    const struct {
        int id;
        Bytes data;
        bool fits;
    } rows[] = {
        {kPidTrackPoint, point, true},
        {kPidTrackPoint, cat({point, {0}}), false},
        {kPidTrackPoint, Bytes(point.begin(), point.begin() + 13), false},
        {kPidRouteHeader, Bytes(40, 'R'), true},  // the fixed form, filled to its end
        {kPidRouteHeader, text("R12"), false},
        {kPidWaypoint, cat({fixed, text("ENDLESS")}), false},
        {kPidWaypoint, Bytes(fixed.begin(), fixed.begin() + 40), false},
        {kPidRouteLink, Bytes(20, 0), false},
        {kPidTrackHeader, {1, 0xFF, 'T'}, false},
    };
    for (const auto& row : rows) {
        const UploadedPacket p = DecodeUpload(etrex, static_cast<std::uint8_t>(row.id), row.data);
        EXPECT_EQ(p.sizeMatches, row.fits) << row.id << " of " << row.data.size() << " bytes";
    }
    // Older layouts have fixed sizes; 4101 also takes the 63-byte form.
    const Profile gps38 = ProfileForProduct(41);
    for (const auto& [size, fits] :
         {std::pair(58, true), std::pair(63, true), std::pair(60, false)})
        EXPECT_EQ(DecodeUpload(gps38, kPidWaypoint, Bytes(size, ' ')).sizeMatches, fits) << size;
}

TEST(SimNmea, CycleHoldsEverySentenceWithItsValuesAndChecksumAndFaultsShapeIt) {
    EXPECT_EQ(NmeaSentence("GPGSA,A,3"), "$GPGSA,A,3*30\r\n");
    NmeaOptions o;
    o.satellites = 11;
    const SimTrackPoint here{-35.5, -139.25, 1021194000u - 631065600u, 20.0f, true};
    const SimTrackPoint next{-35.5, -139.24, here.time + 10, 20.0f, false};
    const NmeaCycle c = BuildNmeaCycle(1, here, next, o);
    EXPECT_EQ(std::tuple(c.unixTime, c.latitude, c.longitude, c.altitude),
              std::tuple(1021194000, -35.5, -139.25, 20.0));
    EXPECT_NEAR(c.course, 90.0, 0.1);
    EXPECT_GT(c.speedKnots, 0.0);
    EXPECT_NE(c.text.find("$GPRMC,090000.00,A,3530.0000,S,13915.0000,W,"), std::string::npos);
    EXPECT_NE(c.text.find(",120502,,*"), std::string::npos);
    EXPECT_NE(c.text.find("$GPGSV,3,3,11,"), std::string::npos);
    // Six lines, each ending in CR LF with a correct checksum.
    int lines = 0;
    for (std::size_t start = 0, end; start < c.text.size(); start = end + 2, ++lines) {
        end = c.text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = c.text.substr(start, end - start);
        EXPECT_EQ(NmeaSentence(line.substr(1, line.find('*') - 1)), line + "\r\n");
    }
    EXPECT_EQ(lines, 3 + 3);

    o.longLineCycle = o.burstCycle = o.badChecksumCycle = 2;
    const std::string f = BuildNmeaCycle(2, here, here, o).text;
    // A burst without a line feed, a 150-byte line, then RMC with a bad checksum.
    EXPECT_EQ(f.substr(0, 2048), std::string(2048, 'B'));
    const std::size_t nl = f.find("\r\n", 2048);
    EXPECT_EQ(nl + 2 - 2048, 150u);
    const std::string rmc = f.substr(nl + 2, f.find("\r\n", nl + 2) - nl - 2);
    EXPECT_EQ(rmc.rfind("$GPRMC", 0), 0u);
    EXPECT_NE(NmeaSentence(rmc.substr(1, rmc.find('*') - 1)), rmc + "\r\n");
    EXPECT_NE(NmeaSentence("GPGSA,A,3", true), "$GPGSA,A,3*30\r\n");
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(SimNmea, SeveralSystemsTalkAsReceiversOfTodayAndTheFixComesAndGoes) {
    NmeaOptions o;
    o.systems = {NmeaSystem::kGps, NmeaSystem::kGlonass, NmeaSystem::kGalileo, NmeaSystem::kBeiDou};
    o.satellites = 13;
    o.rate = 2.0;
    o.fixLoss = {{1.0, 1.0}};
    const SimTrackPoint here{35.5, 139.5, 1021194000u - 631065600u, 20.0f, true};
    const NmeaCycle c = BuildNmeaCycle(1, here, here, o);
    const std::vector<std::string> lines = LinesOf(c.text);
    // RMC, GGA, a GSA per system, four GSV messages per system.
    ASSERT_EQ(lines.size(), 2u + 4u + 4u * 4u);
    EXPECT_EQ(lines[0].rfind("$GNRMC,090000.00,A,3530.0000,N,13930.0000,E,", 0), 0u);
    EXPECT_NE(lines[0].find(",120502,,,A*"), std::string::npos);
    EXPECT_EQ(lines[1].rfind("$GNGGA,090000.00,3530.0000,N,13930.0000,E,1,48,", 0), 0u);
    EXPECT_EQ(lines[2], NmeaSentence("GNGSA,A,3,01,08,15,22,29,04,11,18,25,32,07,14,1.8,1.0,1.5")
                            .substr(0, lines[2].size()));
    EXPECT_EQ(lines[3].rfind("$GNGSA,A,3,65,70,75,80,85,66,71,76,", 0), 0u);
    for (const auto& [line, prefix] : {std::pair{6, "$GPGSV,4,1,13,01,"},
                                       {10, "$GLGSV,4,1,13,65,"},
                                       {14, "$GAGSV,4,1,13,301,"},
                                       {18, "$BDGSV,4,1,13,201,"}})
        EXPECT_EQ(lines[line].rfind(prefix, 0), 0u) << lines[line];
    for (const std::string& line : lines)
        EXPECT_EQ(NmeaSentence(line.substr(1, line.find('*') - 1)), line + "\r\n");
    EXPECT_EQ(std::tuple(c.valid, c.satellites, c.satellitesUsed, c.sky.size()),
              std::tuple(true, 52, 48, 52u));
    EXPECT_EQ(std::tuple(c.sky[13].system, c.sky[13].prn, c.sky[13].number, c.sky[13].used),
              std::tuple("GLONASS", 65, 1, true));
    EXPECT_EQ(std::tuple(c.sky[25].prn, c.sky[25].used), std::tuple(64 + 13, false));

    // Seconds 1 to 2 at two cycles a second: cycles 3 and 4 have no fix.
    for (int n = 1; n <= 5; ++n)
        EXPECT_EQ(BuildNmeaCycle(n, here, here, o).valid, n < 3 || n > 4) << n;
    const NmeaCycle lost = BuildNmeaCycle(3, here, here, o);
    const std::vector<std::string> l = LinesOf(lost.text);
    EXPECT_EQ(l[0], NmeaSentence("GNRMC,090000.00,V,,,,,,,120502,,,N").substr(0, l[0].size()));
    EXPECT_EQ(l[1], NmeaSentence("GNGGA,090000.00,,,,,0,00,99.9,,M,,M,,").substr(0, l[1].size()));
    EXPECT_EQ(l[2].rfind("$GNGSA,A,1,,,,,,,,,,,,,", 0), 0u);
    EXPECT_EQ(std::tuple(lost.satellites, lost.satellitesUsed), std::tuple(52, 0));

    // NMEA 4.10: status after the mode, system IDs, signal IDs, numbers from 1, BeiDou as GB.
    o.version410 = true;
    o.fixLoss.clear();
    o.systems = {NmeaSystem::kGps, NmeaSystem::kBeiDou, NmeaSystem::kQzss};
    o.satellites = 2;
    o.talker = "GP";
    const std::vector<std::string> v = LinesOf(BuildNmeaCycle(1, here, here, o).text);
    ASSERT_EQ(v.size(), 8u);
    EXPECT_NE(v[0].find("$GPRMC,"), std::string::npos);
    EXPECT_NE(v[0].find(",,,A,V*"), std::string::npos);
    EXPECT_EQ(v[3].rfind("$GNGSA,A,3,01,06,,", 0), 0u);
    EXPECT_NE(v[3].find(",1.8,1.0,1.5,4*"), std::string::npos);
    EXPECT_EQ(v[6].rfind("$GBGSV,1,1,02,01,", 0), 0u);
    EXPECT_NE(v[6].find(",1*"), std::string::npos);
    EXPECT_EQ(v[7].rfind("$GQGSV,1,1,02,01,", 0), 0u);
}

}  // namespace
}  // namespace gpssim
