#include "store/kel_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "link/product_table.h"
#include "message_capture.h"
#include "store/record_growth.h"

using namespace sorvane;

namespace {

// 0x93 0x8C is one double-byte character (kanji "to").
const std::string kKanji = "\x93\x8c";

class KelDataTest : public ::testing::Test {
  protected:
    MessageCapture capture;
    KelData store;
};

}  // namespace

TEST_F(KelDataTest, StartsEmptyWithDefaults) {
    EXPECT_EQ(store.GetTrackCount(), 0);
    EXPECT_EQ(store.GetWaypointCount(), 0);
    EXPECT_EQ(store.GetRouteCount(), 0);
    EXPECT_EQ(store.GetProductID(), 119);
    EXPECT_EQ(store.GetErrorCode(), 0u);
    EXPECT_EQ(store.GetSoftwareVersion(), 0);
    EXPECT_FALSE(store.IsAbortRequested());
    EXPECT_TRUE(store.HasDatum());
    EXPECT_EQ(store.GetDatumName(), "Tokyo");
    EXPECT_TRUE(capture.messages.empty());
}

// ---- tracks --------------------------------------------------------------------

TEST_F(KelDataTest, TrackNameIsCutAt23BytesWithoutSplittingACharacter) {
    ASSERT_EQ(store.AddTrack("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"), 1);
    EXPECT_EQ(store.GetTrackName(0), "ABCDEFGHIJKLMNOPQRSTUVW");
    // 22 bytes and a double-byte character that would end at byte 24.
    ASSERT_EQ(store.AddTrack(std::string(22, 'a') + kKanji), 1);
    EXPECT_EQ(store.GetTrackName(1), std::string(22, 'a'));
    // 21 bytes and the character fit exactly.
    ASSERT_EQ(store.AddTrack(std::string(21, 'a') + kKanji + "b"), 1);
    EXPECT_EQ(store.GetTrackName(2), std::string(21, 'a') + kKanji);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 0);
    // The rest of the field is zero.
    const TrackRecord& t = store.Tracks()[1];
    for (std::size_t i = 22; i < sizeof t.name; ++i)
        EXPECT_EQ(t.name[i], '\0') << i;
}

TEST_F(KelDataTest, TrackDataNeedsAnExistingSegment) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    EXPECT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 1), 0);
    EXPECT_EQ(store.GetTrackDataCount(0), 0);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 0);
    EXPECT_EQ(store.AddTrackSegment(1), 0);
    EXPECT_EQ(store.AddTrackSegment(-1), 0);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    EXPECT_EQ(store.AddTrackData(0, 1, 35.0, 139.0, 0.0, 1), 0);
    EXPECT_EQ(store.AddTrackData(1, 0, 35.0, 139.0, 0.0, 1), 0);
    EXPECT_EQ(store.AddTrackData(-1, 0, 35.0, 139.0, 0.0, 1), 0);
    EXPECT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 1), 1);
    EXPECT_EQ(store.GetTrackDataCount(0), 1);
    EXPECT_TRUE(capture.messages.empty());
}

TEST_F(KelDataTest, TrackCountsOverSegments) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    const int sizes[] = {3, 0, 5};
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(store.AddTrackSegment(0), 1);
        for (int p = 0; p < sizes[s]; ++p) {
            ASSERT_EQ(store.AddTrackData(0, s, 35.0 + p, 139.0, 0.0, 100u * s + p), 1);
        }
    }
    EXPECT_EQ(store.GetTrackCount(), 1);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 3);
    EXPECT_EQ(store.GetTrackDataCount(0), 8);
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 0), 3);
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 1), 0);
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 2), 5);
    EXPECT_EQ(store.GetTrackUnixTime(0, 2, 4), 204u);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 0), 0u);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 2), 2u);
}

TEST_F(KelDataTest, TrackQueriesWithBadIndexes) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 5.0, 42), 1);

    for (int t : {-1, 1}) {
        EXPECT_EQ(store.GetTrackName(t), "");
        EXPECT_EQ(store.GetTrackSegmentCount(t), 0);
        EXPECT_EQ(store.GetTrackDataCount(t), 0);
        EXPECT_EQ(store.GetTrackSegmentDataCount(t, 0), 0);
        EXPECT_EQ(store.GetTrackUnixTime(t, 0, 0), 0u);
    }
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, -1), 0);
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 1), 0);
    EXPECT_EQ(store.GetTrackUnixTime(0, 1, 0), 0u);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 1), 0u);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, -1), 0u);

    const int bad[][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    for (const auto& i : bad) {
        double lat = 7.0, lon = 7.0, alt = 7.0;
        EXPECT_EQ(store.GetTrackPosition(i[0], i[1], i[2], lat, lon, alt), 0);
        EXPECT_EQ(lat, 0.0);
        EXPECT_EQ(lon, 0.0);
        EXPECT_EQ(alt, 0.0);
    }
    double lat = 0, lon = 0, alt = 0;
    EXPECT_EQ(store.GetTrackPosition(0, 0, 0, lat, lon, alt), 1);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 0), 42u);
}

TEST_F(KelDataTest, TimeIsKeptUnchanged) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 0xFFFFFFF0u), 1);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 0), 0xFFFFFFF0u);
    EXPECT_EQ(store.Tracks()[0].segments[0].points[0].time, 0xFFFFFFF0u);
}

TEST_F(KelDataTest, DeleteTrackAllEmptiesEverything) {
    ASSERT_EQ(store.AddTrack("A"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 1.0, 2.0, 3.0, 4), 1);
    ASSERT_EQ(store.AddTrack("B"), 1);
    store.DeleteTrackAll();
    EXPECT_EQ(store.GetTrackCount(), 0);
    EXPECT_EQ(store.GetTrackName(0), "");
    EXPECT_EQ(store.AddTrackSegment(0), 0);
    ASSERT_EQ(store.AddTrack("C"), 1);
    EXPECT_EQ(store.GetTrackName(0), "C");
    EXPECT_EQ(store.GetTrackSegmentCount(0), 0);
}

TEST_F(KelDataTest, BuildingALongSegmentKeepsEveryPoint) {
    ASSERT_EQ(store.AddTrack("LONG"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    constexpr int n = 100000;
    for (int i = 0; i < n; ++i) {
        ASSERT_EQ(store.AddTrackData(0, 0, 35.0, 139.0 + i * 1e-5, 0.0, i), 1);
    }
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 0), n);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, n - 1), static_cast<std::uint32_t>(n - 1));
}

// ---- waypoints -----------------------------------------------------------------

TEST_F(KelDataTest, WaypointFieldsAndLimits) {
    const std::string name = std::string(22, 'N') + kKanji;     // 24 bytes
    const std::string comment = std::string(62, 'C') + kKanji;  // 64 bytes
    ASSERT_EQ(store.AddWaypoint(name, comment, 35.0, 139.0, 10.0, 16384, 255, 1.1), 1);
    EXPECT_EQ(store.GetWaypointCount(), 1);
    EXPECT_EQ(store.GetWaypointID(0), std::string(22, 'N'));
    EXPECT_EQ(store.GetWaypointComment(0), std::string(62, 'C'));
    EXPECT_EQ(store.GetWaypointSmbl(0), 16384);
    EXPECT_EQ(store.GetWaypointDspl(0), 255);
    EXPECT_EQ(store.GetWaypointDst(0), static_cast<double>(1.1f));  // kept as f32

    const std::string fits = std::string(21, 'n') + kKanji;
    const std::string fitsComment = std::string(61, 'c') + kKanji;
    ASSERT_EQ(store.AddWaypoint(fits + "x", fitsComment + "y", 0, 0, 0, 0, 0, 0), 1);
    EXPECT_EQ(store.GetWaypointID(1), fits);
    EXPECT_EQ(store.GetWaypointComment(1), fitsComment);
    const WaypointRecord& w = store.Waypoints()[1];
    EXPECT_EQ(w.name[23], '\0');
    EXPECT_EQ(w.comment[63], '\0');
}

TEST_F(KelDataTest, WaypointQueriesWithBadIndexes) {
    ASSERT_EQ(store.AddWaypoint("A", "a", 35.0, 139.0, 10.0, 5, 1, 20.0), 1);
    ASSERT_EQ(store.AddWaypoint("B", "b", 36.0, 140.0, 10.0, 6, 2, 30.0), 1);
    for (int i : {-1, 2, 5}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(store.GetWaypointID(i), "");
        EXPECT_EQ(store.GetWaypointComment(i), "");
        EXPECT_EQ(store.GetWaypointLatitude(i), -9999.9);
        EXPECT_EQ(store.GetWaypointLongitude(i), -9999.9);
        EXPECT_EQ(store.GetWaypointAltitude(i), -9999.9);
        EXPECT_EQ(store.GetWaypointDst(i), -1.0);
        EXPECT_EQ(store.GetWaypointSmbl(i), 0);
        EXPECT_EQ(store.GetWaypointDspl(i), -1);
    }
    EXPECT_EQ(store.GetWaypointID(1), "B");
    EXPECT_EQ(store.GetWaypointDspl(1), 2);
    EXPECT_EQ(store.GetWaypointDst(1), 30.0);
}

TEST_F(KelDataTest, DeleteWaypointAll) {
    ASSERT_EQ(store.AddWaypoint("A", "", 35.0, 139.0, 0.0, 0, 0, 0.0), 1);
    store.DeleteWaypointAll();
    EXPECT_EQ(store.GetWaypointCount(), 0);
    EXPECT_EQ(store.GetWaypointLatitude(0), -9999.9);
}

// ---- routes --------------------------------------------------------------------

TEST_F(KelDataTest, RouteNameIsCutAt63Bytes) {
    ASSERT_EQ(store.AddRoute(std::string(70, 'R')), 1);
    EXPECT_EQ(store.GetRouteName(0), std::string(63, 'R'));
    ASSERT_EQ(store.AddRoute(std::string(62, 'r') + kKanji), 1);
    EXPECT_EQ(store.GetRouteName(1), std::string(62, 'r'));
    EXPECT_EQ(store.Routes()[0].number, 0);
    EXPECT_EQ(store.GetRouteWaypointCount(0), 0);
}

TEST_F(KelDataTest, RouteWaypointsAndBadIndexes) {
    ASSERT_EQ(store.AddRoute("R"), 1);
    EXPECT_EQ(store.AddRouteWaypoint(1, "X", "", 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(store.AddRouteWaypoint(-1, "X", "", 0, 0, 0, 0, 0, 0), 0);
    ASSERT_EQ(store.AddRouteWaypoint(0, "W1", "first", 35.0, 139.0, 10.0, 18, 3, 50.0), 1);
    ASSERT_EQ(store.AddRouteWaypoint(0, std::string(30, 'W'), "", 35.0, 139.0, 10.0, 7, 4, 0), 1);
    EXPECT_EQ(store.GetRouteWaypointCount(0), 2);
    EXPECT_EQ(store.GetRouteWaypointID(0, 0), "W1");
    EXPECT_EQ(store.GetRouteWaypointID(0, 1), std::string(23, 'W'));
    EXPECT_EQ(store.GetRouteWaypointComment(0, 0), "first");
    EXPECT_EQ(store.GetRouteWaypointSmbl(0, 0), 18);
    EXPECT_EQ(store.GetRouteWaypointDspl(0, 1), 4);
    EXPECT_EQ(store.GetRouteWaypointDst(0, 0), 50.0);
    EXPECT_EQ(store.GetWaypointCount(), 0);  // route waypoints are separate

    const int bad[][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 2}};
    for (const auto& i : bad) {
        SCOPED_TRACE(testing::Message() << i[0] << "," << i[1]);
        EXPECT_EQ(store.GetRouteWaypointID(i[0], i[1]), "");
        EXPECT_EQ(store.GetRouteWaypointComment(i[0], i[1]), "");
        EXPECT_EQ(store.GetRouteWaypointLatitude(i[0], i[1]), -9999.9);
        EXPECT_EQ(store.GetRouteWaypointLongitude(i[0], i[1]), -9999.9);
        EXPECT_EQ(store.GetRouteWaypointAltitude(i[0], i[1]), -9999.9);
        EXPECT_EQ(store.GetRouteWaypointDst(i[0], i[1]), -1.0);
        EXPECT_EQ(store.GetRouteWaypointSmbl(i[0], i[1]), 0);
        EXPECT_EQ(store.GetRouteWaypointDspl(i[0], i[1]), 0);  // not -1
    }
    EXPECT_EQ(store.GetRouteName(1), "");
    EXPECT_EQ(store.GetRouteName(-1), "");
    EXPECT_EQ(store.GetRouteWaypointCount(1), 0);
    EXPECT_EQ(store.GetRouteWaypointCount(-1), 0);

    store.DeleteRouteAll();
    EXPECT_EQ(store.GetRouteCount(), 0);
    EXPECT_EQ(store.GetRouteWaypointID(0, 0), "");
}

// ---- running out of memory -----------------------------------------------------

TEST_F(KelDataTest, FailedAddsLeaveTheStoreAsItWasAndSayWhy) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 1.0, 9), 1);
    ASSERT_EQ(store.AddWaypoint("W", "c", 35.0, 139.0, 1.0, 1, 1, 1.0), 1);
    ASSERT_EQ(store.AddRoute("R"), 1);
    ASSERT_EQ(store.AddRouteWaypoint(0, "RW", "", 35.0, 139.0, 1.0, 1, 1, 1.0), 1);
    const WaypointRecord savedWaypoint = store.Waypoints()[0];
    const TrackPoint savedPoint = store.Tracks()[0].segments[0].points[0];
    ASSERT_TRUE(capture.messages.empty());

    {
        ScopedAppendFailure fail;
        EXPECT_EQ(store.AddTrack("T2"), 0);
        EXPECT_EQ(store.AddTrackSegment(0), 0);
        EXPECT_EQ(store.AddTrackData(0, 0, 1.0, 2.0, 3.0, 4), 0);
        EXPECT_EQ(store.AddWaypoint("W2", "", 1.0, 2.0, 3.0, 0, 0, 0.0), 0);
        EXPECT_EQ(store.AddRoute("R2"), 0);
        EXPECT_EQ(store.AddRouteWaypoint(0, "RW2", "", 1.0, 2.0, 3.0, 0, 0, 0.0), 0);
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Memory allocation", "KelData::AddTrack"},
        {"Memory allocation", "KelData::AddTrackSegment"},
        {"Memory allocation", "KelData::AddTrackData"},
        {"Memory allocation", "KelData::AddWaypoint"},
        {"Memory allocation", "KelData::AddRoute"},
        {"Memory allocation", "KelData::AddRouteWaypoint"},
    };
    EXPECT_EQ(capture.messages, expected);

    EXPECT_EQ(store.GetTrackCount(), 1);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 1);
    EXPECT_EQ(store.GetTrackDataCount(0), 1);
    EXPECT_EQ(store.GetWaypointCount(), 1);
    EXPECT_EQ(store.GetRouteCount(), 1);
    EXPECT_EQ(store.GetRouteWaypointCount(0), 1);
    EXPECT_EQ(std::memcmp(&store.Waypoints()[0], &savedWaypoint, sizeof savedWaypoint), 0);
    const TrackPoint& p = store.Tracks()[0].segments[0].points[0];
    EXPECT_EQ(p.latitude, savedPoint.latitude);
    EXPECT_EQ(p.time, savedPoint.time);

    // Afterwards adding works again.
    EXPECT_EQ(store.AddTrack("T2"), 1);
    EXPECT_EQ(store.GetTrackName(1), "T2");
}

TEST_F(KelDataTest, FailureCanStrikeAfterSomeSuccesses) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    {
        ScopedAppendFailure fail(2);
        EXPECT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 1), 1);
        EXPECT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 2), 1);
        EXPECT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 3), 0);
    }
    EXPECT_EQ(store.GetTrackSegmentDataCount(0, 0), 2);
    EXPECT_EQ(store.GetTrackUnixTime(0, 0, 1), 2u);
    EXPECT_EQ(capture.messages.size(), 1u);
}

// ---- whole collections ---------------------------------------------------------

TEST_F(KelDataTest, ReplacedCollectionsAreReadThroughTheQueries) {
    std::vector<TrackRecord> tracks(2);
    std::strcpy(tracks[1].name, "ACTIVE LOG");
    tracks[1].segments.resize(2);
    tracks[1].segments[1].points.push_back({36.0, 140.0, 12.5, 77});
    store.ReplaceTracks(std::move(tracks));
    EXPECT_EQ(store.GetTrackCount(), 2);
    EXPECT_EQ(store.GetTrackName(1), "ACTIVE LOG");
    EXPECT_EQ(store.GetTrackDataCount(1), 1);
    EXPECT_EQ(store.GetTrackUnixTime(1, 1, 0), 77u);

    std::vector<WaypointRecord> waypoints(3);
    waypoints[2].display = 9;
    store.ReplaceWaypoints(std::move(waypoints));
    EXPECT_EQ(store.GetWaypointCount(), 3);
    EXPECT_EQ(store.GetWaypointDspl(2), 9);

    std::vector<RouteRecord> routes(1);
    routes[0].number = 4;
    routes[0].waypoints.resize(5);
    store.ReplaceRoutes(std::move(routes));
    EXPECT_EQ(store.GetRouteCount(), 1);
    EXPECT_EQ(store.GetRouteWaypointCount(0), 5);
    EXPECT_EQ(store.Routes()[0].number, 4);

    store.ReplaceRoutes({});
    EXPECT_EQ(store.GetRouteCount(), 0);
}

TEST_F(KelDataTest, FullTextFieldsWithoutTerminatorStayInside) {
    // A download may fill a name field completely; reading must not run past it.
    std::vector<TrackRecord> tracks(1);
    std::memset(tracks[0].name, 'Z', sizeof tracks[0].name);
    store.ReplaceTracks(std::move(tracks));
    EXPECT_EQ(store.GetTrackName(0), std::string(24, 'Z'));

    std::vector<WaypointRecord> waypoints(1);
    std::memset(waypoints[0].name, 'N', sizeof waypoints[0].name);
    std::memset(waypoints[0].comment, 'C', sizeof waypoints[0].comment);
    store.ReplaceWaypoints(std::move(waypoints));
    EXPECT_EQ(store.GetWaypointID(0), std::string(24, 'N'));
    EXPECT_EQ(store.GetWaypointComment(0), std::string(64, 'C'));
}

// ---- transfer state and product ------------------------------------------------

TEST_F(KelDataTest, AbortFlagAndSettableState) {
    store.AbortTransfer();
    EXPECT_TRUE(store.IsAbortRequested());
    store.AbortTransfer();
    EXPECT_TRUE(store.IsAbortRequested());
    store.ClearAbort();
    EXPECT_FALSE(store.IsAbortRequested());

    store.SetErrorCode(2);
    EXPECT_EQ(store.GetErrorCode(), 2u);
    store.SetSoftwareVersion(250);
    EXPECT_EQ(store.GetSoftwareVersion(), 250);
}

TEST_F(KelDataTest, SetProductIdAcceptsOnlyKnownProducts) {
    EXPECT_EQ(store.SetProductID(130), 1);
    EXPECT_EQ(store.GetProductID(), 130);
    EXPECT_TRUE(store.IsNewerFamily());
    EXPECT_EQ(store.GetRouteHeaderType(), 4202);

    EXPECT_EQ(store.SetProductID(999), 0);
    EXPECT_EQ(store.GetProductID(), 130);

    EXPECT_EQ(store.SetProductID(96), 1);
    EXPECT_EQ(store.GetWaypointType(), 4103);
    EXPECT_FALSE(store.IsNewerFamily());

    EXPECT_EQ(store.SetProductID(105), 1);
    EXPECT_EQ(store.GetCharacterSet(), 2);

    // Identification makes an unknown receiver current as it is.
    store.SetCurrentProductId(500);
    EXPECT_EQ(store.GetProductID(), 500);
    EXPECT_EQ(store.GetWaypointType(), 4101);
    EXPECT_EQ(store.GetRouteHeaderType(), 4201);
    EXPECT_EQ(store.GetCharacterSet(), 1);
    EXPECT_FALSE(store.IsNewerFamily());
}

// ---- waypoint symbols by product -----------------------------------------------

TEST_F(KelDataTest, SymbolsFollowTheCurrentProduct) {
    ASSERT_EQ(store.SetProductID(87), 1);  // 4103
    EXPECT_EQ(store.GetWaypointSymbolCount(), 16);
    EXPECT_EQ(store.toWaypointSymbolName(0), "dot");
    EXPECT_EQ(store.toWaypointSymbolName(18), "Waypoint dot");
    EXPECT_EQ(store.toWaypointSymbolNo("Waypoint dot"), 18);
    EXPECT_EQ(store.GetWaypointSymbolName(15), "wreck");

    ASSERT_EQ(store.SetProductID(119), 1);  // 4104
    EXPECT_EQ(store.GetWaypointSymbolCount(), 126);
    EXPECT_EQ(store.GetWaypointSymbolName(0), "Airport");
    EXPECT_EQ(store.GetWaypointSymbolName(-1), "");
    EXPECT_EQ(store.GetWaypointSymbolName(126), "");
    EXPECT_EQ(store.toWaypointSymbolName(18), "Waypoint dot");
    EXPECT_EQ(store.toWaypointSymbolName(177), "Waypoint dot");
    EXPECT_EQ(store.toWaypointSymbolNo("Zoo"), 8219);
    EXPECT_EQ(store.toWaypointSymbolNo("zoo"), 18);

    ASSERT_EQ(store.SetProductID(130), 1);  // 4108
    EXPECT_EQ(store.GetWaypointSymbolCount(), 126);
    EXPECT_EQ(store.toWaypointSymbolName(8219), "Zoo");

    ASSERT_EQ(store.SetProductID(41), 1);  // 4101
    EXPECT_EQ(store.GetWaypointSymbolCount(), 0);
    EXPECT_EQ(store.GetWaypointSymbolName(0), "");
    EXPECT_EQ(store.toWaypointSymbolName(18), "");
    EXPECT_EQ(store.toWaypointSymbolNo("Waypoint dot"), -1);
}

TEST_F(KelDataTest, EmapLosesItsSymbolsAfterTheCapabilitySwitch) {
    // The switch is process-wide; put the table back even if an assertion fails.
    struct TableReset {
        ~TableReset() { ResetProductTable(); }
    } reset;
    ASSERT_EQ(store.SetProductID(111), 1);
    EXPECT_EQ(store.GetWaypointSymbolCount(), 126);
    ApplyCapabilityByte(111, 109);
    EXPECT_EQ(store.GetWaypointType(), 4109);
    EXPECT_TRUE(store.IsNewerFamily());
    EXPECT_EQ(store.GetWaypointSymbolCount(), 0);
    EXPECT_EQ(store.GetWaypointSymbolName(0), "");
    EXPECT_EQ(store.toWaypointSymbolName(18), "");
    EXPECT_EQ(store.toWaypointSymbolNo("Zoo"), -1);
    ResetProductTable();
    EXPECT_EQ(store.GetWaypointSymbolCount(), 126);
}
