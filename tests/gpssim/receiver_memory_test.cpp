// The simulator's receiver side without a line: data file, record layouts,
// download streams and upload records driven through the protocol engine.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "dataset.h"
#include "engine.h"
#include "nmea_stream.h"
#include "options.h"
#include "receiver_memory.h"
#include "records.h"

namespace gpssim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// --- Data file -----------------------------------------------------------------

TEST(DataFile, ReadsEveryItem) {
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
    ASSERT_EQ(d.tracks.size(), 1u);
    EXPECT_EQ(d.tracks[0].name, "ACTIVE LOG");
    ASSERT_EQ(d.tracks[0].points.size(), 3u);
    EXPECT_EQ(d.tracks[0].points[0], (SimTrackPoint{35.5, 139.5, 1000, 12.5f, true}));
    EXPECT_EQ(d.tracks[0].points[1], (SimTrackPoint{35.6, 139.6, 1010, 0.0f, false}));
    EXPECT_EQ(d.tracks[0].points[2], (SimTrackPoint{-35.7, -139.7, 1020, kNoValue, true}));
    ASSERT_EQ(d.waypoints.size(), 2u);
    EXPECT_EQ(d.waypoints[0],
              (SimWaypoint{"HOME", "START HERE", 35.1, 139.1, 25.0f, 18, 2, 50.5f}));
    EXPECT_EQ(d.waypoints[1].name, "\x21\x52");
    EXPECT_EQ(d.waypoints[1].altitude, kNoValue);
    ASSERT_EQ(d.routes.size(), 1u);
    EXPECT_EQ(d.routes[0].number, 7);
    EXPECT_EQ(d.routes[0].name, "BAY WALK");
    ASSERT_EQ(d.routes[0].waypoints.size(), 2u);
    EXPECT_EQ(d.routes[0].waypoints[0].comment, "x");
}

TEST(DataFile, FormatReadsBackUnchanged) {
    DataSet d = BuiltInDataSet(2);
    d.waypoints[0].comment = "quote \" and backslash \\";
    DataSet back;
    std::string error;
    ASSERT_TRUE(ParseDataSet(FormatDataSet(d), &back, &error)) << error;
    EXPECT_EQ(back, d);
}

TEST(DataFile, ErrorsNameTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
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
    for (const auto& c : cases) {
        DataSet d;
        std::string error;
        EXPECT_FALSE(ParseDataSet(c.text, &d, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(DataFile, OptionLoadsTheFileOrReportsIt) {
    const std::string path = ::testing::TempDir() + "gpssim_data_option.txt";
    {
        std::ofstream out(path);
        out << "waypoint ONLY 1 2\n";
    }
    const std::string arg = "--data=" + path;
    const char* argv[] = {"gpssim", arg.c_str()};
    Options o;
    bool help = false;
    std::string error;
    ASSERT_TRUE(ParseOptions(2, argv, &o, &help, &error)) << error;
    ASSERT_TRUE(o.data.has_value());
    EXPECT_EQ(o.data->waypoints.size(), 1u);
    std::remove(path.c_str());
    EXPECT_FALSE(ParseOptions(2, argv, &o, &help, &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
}

// --- Record layouts ----------------------------------------------------------------

TEST(SimRecords, PositionsRoundToTheNearestUnit) {
    EXPECT_EQ(DegreesToWire(36.0), 429496730);  // 429496729.6
    EXPECT_EQ(DegreesToWire(-35.5), -423531497);
    EXPECT_EQ(DegreesToWire(180.0), 2147483647);
    EXPECT_NEAR(WireToDegrees(DegreesToWire(12.345678)), 12.345678, 1e-7);
}

TEST(SimRecords, WaypointLayoutsHaveTheirSizesAndDecodeBack) {
    const SimWaypoint w{"ABCDEFGHIJ", "A COMMENT", 35.25, -139.75, 12.5f, 0x1234, 3, 7.5f};
    const struct {
        int type;
        std::size_t size;
    } layouts[] = {{4101, 58}, {4103, 60}, {4104, 65}, {4108, 64}, {4109, 68}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(l.type);
        const Bytes d = EncodeWaypoint(l.type, w);
        ASSERT_EQ(d.size(), l.size);
        Profile p = ProfileForProduct(130);
        p.waypointType = l.type;
        const UploadedPacket u = DecodeUpload(p, kPidWaypoint, d);
        EXPECT_TRUE(u.sizeMatches);
        const bool newer = l.type >= 4108;
        EXPECT_EQ(u.waypoint.name, newer ? "ABCDEFGHIJ" : "ABCDEF");
        EXPECT_EQ(u.rawLatitude, DegreesToWire(35.25));
        EXPECT_EQ(u.rawLongitude, DegreesToWire(-139.75));
        EXPECT_EQ(u.waypoint.comment, newer ? "" : "A COMMENT");
        EXPECT_EQ(u.waypoint.altitude, newer ? 12.5f : kNoValue);
        EXPECT_EQ(u.waypoint.symbol, l.type == 4101 ? 0 : l.type == 4103 ? 0x34 : 0x1234);
        EXPECT_EQ(u.waypoint.display, l.type == 4103 || l.type == 4104 ? 3 : 0);
        EXPECT_EQ(u.waypoint.proximity, l.type == 4104 ? 7.5f : 0.0f);
    }
    // The newer layouts' fixed bytes.
    const Bytes d = EncodeWaypoint(4109, w);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 4), (Bytes{0x00, 0xFF, 0x00, 0x60}));
    EXPECT_EQ(Bytes(d.begin() + 48, d.begin() + 52), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(d[52], 'A');
}

TEST(SimRecords, TrackAndRouteRecords) {
    const SimTrackPoint p{-1.5, 2.5, 0xA1B2C3D4u, 7.25f, false};
    Bytes older = EncodeTrackPoint(false, p, true);
    ASSERT_EQ(older.size(), 13u);
    EXPECT_EQ(older[12], 1);
    Bytes newer = EncodeTrackPoint(true, p, false);
    ASSERT_EQ(newer.size(), 24u);
    EXPECT_EQ(Bytes(newer.begin() + 16, newer.begin() + 24),
              (Bytes{0x51, 0x59, 0x04, 0x69, 0, 0xFF, 0xFF, 0xFF}));
    const UploadedPacket u = DecodeUpload(ProfileForProduct(130), kPidTrackPoint, newer);
    EXPECT_EQ(u.trackPoint.time, 0xA1B2C3D4u);
    EXPECT_EQ(u.trackPoint.altitude, 7.25f);
    EXPECT_EQ(u.depth, 1.0e25f);
    EXPECT_FALSE(u.trackPoint.newSegment);

    EXPECT_EQ(EncodeTrackHeader({"AB", {}}), (Bytes{1, 0xFF, 'A', 'B', 0}));
    EXPECT_EQ(EncodeRouteHeader(true, {5, "R1", {}}), (Bytes{'R', '1', 0}));
    const Bytes h = EncodeRouteHeader(false, {5, "R1", {}});
    ASSERT_EQ(h.size(), 21u);
    EXPECT_EQ(h[0], 5);
    EXPECT_EQ(h[3], ' ');
    const UploadedPacket r = DecodeUpload(ProfileForProduct(87), kPidRouteHeader, h);
    EXPECT_EQ(r.routeNumber, 5);
    EXPECT_EQ(r.routeName, "R1");
    EXPECT_TRUE(r.sizeMatches);
    EXPECT_EQ(EncodeRouteLink().size(), 21u);
}

// --- Streams and uploads through the engine ------------------------------------

class Memory : public ::testing::Test {
  protected:
    void Play(int product, DataSet data, StreamFaults faults = {}) {
        engine_.emplace(ProfileForProduct(product));
        memory_.emplace(ProfileForProduct(product), std::move(data), faults);
        memory_->Install(*engine_);
        engine_->SetSender([this](const Packet& p) { sent_.push_back(p); });
    }
    // Sends a packet from the host and acknowledges everything the receiver
    // streams in answer, as a host does.
    void Host(Packet p) {
        engine_->OnPacket(p);
        for (std::size_t i = 0; i < sent_.size(); ++i) {
            if (sent_[i].id != kPidAck && acked_ <= i) {
                acked_ = i + 1;
                engine_->OnPacket({kPidAck, {sent_[i].id, 0}});
            }
        }
    }
    std::vector<int> SentIds() const {
        std::vector<int> ids;
        for (const Packet& p : sent_)
            ids.push_back(p.id);
        return ids;
    }

    std::optional<ReceiverEngine> engine_;
    std::optional<ReceiverMemory> memory_;
    std::vector<Packet> sent_;
    std::size_t acked_ = 0;
};

TEST_F(Memory, NewerTrackStreamHasHeadersAndTheTotalCount) {
    Play(130, BuiltInDataSet());
    Host({kPidCommand, {6, 0}});
    // Acknowledgement, count 14, header, 8 points, header, 4 points, end.
    std::vector<int> want = {6, 27, 99, 34, 34, 34, 34, 34, 34, 34, 34, 99, 34, 34, 34, 34, 12};
    EXPECT_EQ(SentIds(), want);
    EXPECT_EQ(sent_[1].data, (Bytes{14, 0}));
    EXPECT_EQ(sent_.back().data, (Bytes{6, 0}));
}

TEST_F(Memory, OlderTrackStreamIsOneLogStartingASegmentPerTrack) {
    Play(87, BuiltInDataSet());
    Host({kPidCommand, {6, 0}});
    ASSERT_EQ(sent_.size(), 2u + 12u + 1u);
    EXPECT_EQ(sent_[1].data, (Bytes{12, 0}));
    std::vector<int> flags;
    for (std::size_t i = 2; i < 14; ++i)
        flags.push_back(sent_[i].data.at(12));
    EXPECT_EQ(flags, (std::vector<int>{1, 0, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0}));
}

TEST_F(Memory, StreamFaultsChangeTheCountAndTheEnd) {
    Play(130, BuiltInDataSet(), StreamFaults{std::nullopt, 2, true});
    Host({kPidCommand, {7, 0}});
    EXPECT_EQ(SentIds(), (std::vector<int>{6, 27, 35, 35, 35}));
    EXPECT_EQ(sent_[1].data, (Bytes{1, 0}));
    sent_.clear();
    acked_ = 0;
    Play(130, BuiltInDataSet(), StreamFaults{-2, 0, false});
    Host({kPidCommand, {4, 0}});
    EXPECT_EQ(sent_[1].data, (Bytes{0xFE, 0xFF}));
    EXPECT_EQ(SentIds(), (std::vector<int>{6, 27, 29, 30, 98, 30, 98, 30, 12}));
}

TEST_F(Memory, UploadIsRecordedDecodedAndKept) {
    Play(87, BuiltInDataSet());
    Host({kPidRecords, {2, 0}});
    SimWaypoint w{"NEW", "FRESH", 10.0, 20.0, kNoValue, 5, 1, 0.0f};
    Host({kPidWaypoint, EncodeWaypoint(4103, w)});
    Host({kPidWaypoint, EncodeWaypoint(4103, {"TWO", "", -1.0, -2.0})});
    Host({kPidTransferComplete, {6, 0}});
    const auto& uploads = memory_->uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].announced, 2);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{35, 35}));
    EXPECT_EQ(uploads[0].packets[0].waypoint.name, "NEW");
    EXPECT_EQ(uploads[0].packets[0].waypoint.comment, "FRESH");
    EXPECT_TRUE(uploads[0].complete);
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{6, 0}));
    // Every host packet was acknowledged.
    EXPECT_EQ(SentIds(), (std::vector<int>{6, 6, 6, 6}));
    // The receiver now holds the two uploaded waypoints and sends them.
    ASSERT_EQ(memory_->data().waypoints.size(), 2u);
    EXPECT_EQ(memory_->data().waypoints[1].name, "TWO");
    EXPECT_EQ(memory_->data().tracks.size(), 2u);  // other kinds untouched
    EXPECT_EQ(memory_->WaypointStream().size(), 4u);
}

TEST_F(Memory, UnfinishedUploadChangesNothingHeld) {
    Play(130, BuiltInDataSet());
    Host({kPidRecords, {1, 0}});
    Host({kPidTrackHeader, EncodeTrackHeader({"X", {}})});
    ASSERT_EQ(memory_->uploads().size(), 1u);
    EXPECT_FALSE(memory_->uploads()[0].complete);
    EXPECT_EQ(memory_->data().tracks.size(), 2u);
    EXPECT_EQ(memory_->data().tracks[0].name, "ACTIVE LOG");
}

TEST_F(Memory, LogDescribesEveryUploadPacket) {
    Play(130, BuiltInDataSet());
    std::vector<std::string> lines;
    memory_->SetLog([&](const std::string& l) { lines.push_back(l); });
    Host({kPidRecords, {2, 0}});
    Host({kPidTrackHeader, EncodeTrackHeader({"LOG", {}})});
    Host({kPidTrackPoint, EncodeTrackPoint(true, {1.0, 2.0, 3, 4.0f, true}, true)});
    Host({kPidTransferComplete, {6, 0}});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "records 2");
    EXPECT_EQ(lines[1], "packet 99 trackheader display=1 colour=255 name=\"LOG\"");
    EXPECT_EQ(lines[2].rfind("packet 34 trackpoint lat=11930465 lon=23860929 time=3 alt=4 ", 0), 0u)
        << lines[2];
    EXPECT_EQ(lines[3], "complete 6 0");
}

// --- NMEA text --------------------------------------------------------------------

TEST(SimNmea, SentencesCarryTheirChecksum) {
    EXPECT_EQ(NmeaSentence("GPGSA,A,3"), "$GPGSA,A,3*30\r\n");
    EXPECT_NE(NmeaSentence("GPGSA,A,3", true), "$GPGSA,A,3*30\r\n");
}

TEST(SimNmea, CycleHoldsEverySentenceAndItsValues) {
    NmeaOptions o;
    o.satellites = 11;
    const SimTrackPoint here{-35.5, -139.25, 1021194000u - 631065600u, 20.0f, true};
    const SimTrackPoint next{-35.5, -139.24, here.time + 10, 20.0f, false};
    const NmeaCycle c = BuildNmeaCycle(1, here, next, o);
    EXPECT_EQ(c.unixTime, 1021194000);
    EXPECT_DOUBLE_EQ(c.latitude, -35.5);
    EXPECT_DOUBLE_EQ(c.longitude, -139.25);
    EXPECT_DOUBLE_EQ(c.altitude, 20.0);
    EXPECT_NEAR(c.course, 90.0, 0.1);
    EXPECT_GT(c.speedKnots, 0.0);
    EXPECT_NE(c.text.find("$GPRMC,090000.00,A,3530.0000,S,13915.0000,W,"), std::string::npos);
    EXPECT_NE(c.text.find(",120502,,*"), std::string::npos);
    EXPECT_NE(c.text.find("$GPGSV,3,3,11,"), std::string::npos);
    // Every line ends in CR LF and has a correct checksum.
    std::size_t start = 0;
    int lines = 0;
    while (start < c.text.size()) {
        const std::size_t end = c.text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = c.text.substr(start, end - start);
        const std::size_t star = line.find('*');
        ASSERT_NE(star, std::string::npos);
        EXPECT_EQ(NmeaSentence(line.substr(1, star - 1)), line + "\r\n");
        start = end + 2;
        ++lines;
    }
    EXPECT_EQ(lines, 3 + 3);
}

TEST(SimNmea, FaultsShapeTheCycle) {
    NmeaOptions o;
    o.longLineCycle = 2;
    o.burstCycle = 2;
    o.badChecksumCycle = 2;
    const SimTrackPoint p{1, 2, 3, 4, true};
    const NmeaCycle c = BuildNmeaCycle(2, p, p, o);
    EXPECT_EQ(c.text.substr(0, 2048), std::string(2048, 'B'));
    const std::size_t nl = c.text.find("\r\n", 2048);
    EXPECT_EQ(nl + 2 - 2048, 150u);
    const std::size_t rmcEnd = c.text.find("\r\n", nl + 2);
    const std::string rmc = c.text.substr(nl + 2, rmcEnd - nl - 2);
    EXPECT_EQ(rmc.rfind("$GPRMC", 0), 0u);
    EXPECT_NE(NmeaSentence(rmc.substr(1, rmc.find('*') - 1)), rmc + "\r\n");
}

}  // namespace
}  // namespace gpssim
