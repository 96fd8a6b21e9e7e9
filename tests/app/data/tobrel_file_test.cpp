#include "data/tobrel_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

#include "data_test_support.h"

namespace tobrel {
namespace {

// Fields of the packed records are compared as values (unary +): the
// assertions take references, and a reference to such a field may be misaligned.

using testing::AddTrack;

bool AllZero(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return std::all_of(b, b + n, [](unsigned char c) { return c == 0; });
}

TEST(TobrelFileTracks, CountsAndPoints) {
    TobrelFile s;
    EXPECT_FALSE(s.SetTrackCount(0));
    // Appending no track succeeds and appends nothing; a negative count cannot.
    EXPECT_TRUE(s.AddTracks(0));
    EXPECT_FALSE(s.AddTracks(-1));
    EXPECT_EQ(s.GetTrackCount(), 0);
    EXPECT_TRUE(s.SetTrackCount(2));
    EXPECT_TRUE(s.AddTracks(3));
    EXPECT_TRUE(s.AddTracks(0));
    ASSERT_EQ(s.GetTrackCount(), 5);
    EXPECT_TRUE(AllZero(s.GetTrackHeader(4)->name, sizeof(TrackHeader::name)));
    EXPECT_EQ(std::make_pair(s.GetTrackPointCount(4), s.GetTrackSegmentCount(4)),
              std::make_pair(0, 0));
    EXPECT_FALSE(s.SetTrackPointCount(0, 0));
    EXPECT_FALSE(s.SetTrackPoint(0, 0, 1, 1, 1, 1));  // no points yet
    // A point count zero-fills and makes one segment.
    s.SetTrackSegmentCount(0, 7);
    ASSERT_TRUE(s.SetTrackPointCount(0, 3));
    EXPECT_EQ(s.GetTrackSegmentCount(0), 1);
    EXPECT_TRUE(AllZero(s.GetTrackData(0), 3 * sizeof(TrackData)));
    ASSERT_TRUE(s.SetTrackPoint(0, 2, 4, 35.25, -139.5, 12.75));
    double lat, lon, alt;
    ASSERT_TRUE(s.GetTrackPoint(0, 2, &lat, &lon, &alt));
    EXPECT_EQ(std::make_tuple(lat, lon, alt, +s.GetTrackData(0)[2].segment),
              std::make_tuple(35.25, -139.5, 12.75, 4));
    EXPECT_FALSE(s.GetTrackPoint(0, 3, &lat, &lon, &alt));
    EXPECT_TRUE(s.SetTrackCount(1));  // replaces what was there
    EXPECT_EQ(std::make_pair(s.GetTrackCount(), s.GetTrackPointCount(0)), std::make_pair(1, 0));
}

TEST(TobrelFileTracks, NamesKeepTwentyThreeBytesWithoutSplittingACharacter) {
    TobrelFile s;
    s.AddTracks(1);
    ASSERT_TRUE(s.SetTrackName(0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));  // 30 bytes
    EXPECT_STREQ(s.GetTrackName(0), "ABCDEFGHIJKLMNOPQRSTUVW");
    // 22 ASCII bytes then a double-byte character: it would end at byte 24.
    ASSERT_TRUE(s.SetTrackName(0, "ABCDEFGHIJKLMNOPQRSTUV\x93\x8c"));
    EXPECT_STREQ(s.GetTrackName(0), "ABCDEFGHIJKLMNOPQRSTUV");
    s.SetTrackName(0, "AB");
    EXPECT_TRUE(AllZero(s.GetTrackHeader(0)->name + 2, 22));  // no trace of the longer name
    EXPECT_TRUE(s.SetTrackName(0, nullptr));
    EXPECT_STREQ(s.GetTrackName(0), "AB");
    // The caller's buffer gets whole characters and nothing past its size.
    s.SetTrackName(0, "\x93\x8c\x8b\x9e");
    char buf[8] = "xxxxxxx";
    EXPECT_NE(s.GetTrackName(0, buf, 4), nullptr);
    EXPECT_STREQ(buf, "\x93\x8c");
    EXPECT_EQ(buf[4], 'x');
    s.GetTrackName(0, buf + 5, 0);
    EXPECT_EQ(buf[5], 'x');
}

TEST(TobrelFileTracks, DeleteMiddleTrackKeepsTheOthersPoints) {
    TobrelFile s;
    AddTrack(s, "0", {{1, 0, 0}});
    AddTrack(s, "1", {{1, 10, 1}, {1, 11, 1}});
    AddTrack(s, "2", {{1, 20, 2}, {1, 21, 2}, {1, 22, 2}});
    ASSERT_TRUE(s.DeleteTrack(1));
    ASSERT_EQ(s.GetTrackCount(), 2);
    EXPECT_STREQ(s.GetTrackName(0), "0");
    EXPECT_STREQ(s.GetTrackName(1), "2");
    double lat = 0;
    ASSERT_TRUE(s.GetTrackPoint(1, 2, &lat, nullptr, nullptr));
    EXPECT_EQ(lat, 22);
    EXPECT_FALSE(s.DeleteTrack(2));
    EXPECT_TRUE(s.DeleteTrack(0));
    EXPECT_TRUE(s.DeleteTrack(0));
    EXPECT_EQ(s.GetTrackCount(), 0);
    EXPECT_FALSE(s.DeleteTrack(0));
}

TEST(TobrelFileTracks, FindSegmentRange) {
    TobrelFile s;
    AddTrack(s, "", {{1, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 0, 0}, {2, 0, 0}}, 3);
    AddTrack(s, "", {{1, 0, 0}, {1, 1, 1}, {1, 2, 2}}, 2);  // segment 2 has no points
    const struct {
        int track, segment;
        bool found;
        int first, last;
    } rows[] = {{0, 1, true, 0, 3},    {0, 2, true, 2, 4},    {0, 3, false, -1, -1},
                {0, 0, false, -1, -1}, {0, 4, false, -1, -1}, {3, 1, false, -1, -1},
                {1, 1, true, 0, 2},    {1, 2, false, -1, -1}};
    for (const auto& r : rows) {
        int first = 7, last = 7;
        EXPECT_EQ(s.FindSegmentRange(r.track, r.segment, &first, &last), r.found)
            << r.track << "/" << r.segment;
        EXPECT_EQ(std::make_pair(first, last), std::make_pair(r.first, r.last))
            << r.track << "/" << r.segment;
    }
}

TEST(TobrelFileTracks, PointTimeIsUnixTime) {
    TobrelFile s;
    EXPECT_EQ(s.GetTrackPointTime(0, 0), 631065600);
    AddTrack(s, "", {{1, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(s.GetTrackPointTime(0, 0), 631065600);
    ASSERT_TRUE(s.SetTrackPointTime(0, 1, 0xFFFFFFFFu));
    EXPECT_EQ(s.GetTrackPointTime(0, 1), 631065600LL + 0xFFFFFFFFLL);
    EXPECT_EQ(s.GetTrackPointTime(0, 2), 631065600);
    EXPECT_FALSE(s.SetTrackPointTime(0, 2, 5));
}

TEST(TobrelFileRecalc, DistancesAccumulateAndHeadingsFollowTheCompass) {
    TobrelFile s;
    s.AddTracks(1);
    EXPECT_FALSE(s.RecalcTrack(0, 0));  // no points
    EXPECT_FALSE(s.RecalcTrack(3, 0));
    // north, east, west, south-west
    AddTrack(s, "", {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 1, 0}, {1, 0, -1}});
    AddTrack(s, "", {{1, 35.5, 139.25}, {1, 35.5, 139.25}});
    ASSERT_TRUE(s.RecalcTrack(1, 0));
    ASSERT_TRUE(s.RecalcTrack(2, 0));
    const TrackData* p = s.GetTrackData(1);
    // One degree of the sphere with radius 6378137 and the program's pi.
    const double degree = (1.0 / 360.0) * 2.0 * 3.14159265359 * 6378137.0;
    EXPECT_EQ(+p[0].distance, 0.0);
    EXPECT_NEAR(p[1].distance, degree, 1e-6);
    EXPECT_GT(+p[2].distance, +p[1].distance);
    EXPECT_NEAR(p[3].distance - p[2].distance, p[2].distance - p[1].distance, 1e-6);
    EXPECT_NEAR(p[4].distance - p[3].distance, GreatCircleDistance(1.0, 0.0, 0.0, -1.0, 0.0), 1e-9);
    const int headings[] = {0, 0, 90, 270, 225};  // 225 truncated from just above
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(+p[i].heading, headings[i]) << i;
    // Two identical points: distances 0, 0 and headings 0, 180.
    p = s.GetTrackData(2);
    EXPECT_EQ(std::make_pair(+p[0].distance, +p[1].distance), std::make_pair(0.0, 0.0));
    EXPECT_EQ(+p[0].heading, 0);
    EXPECT_EQ(+p[1].heading, 180);
    // The axis difference shrinks the sphere.
    EXPECT_NEAR(
        GreatCircleDistance(35, 139, 36, 140, 739.845) / GreatCircleDistance(35, 139, 36, 140, 0),
        (6378137.0 - 739.845) / 6378137.0, 1e-12);
}

TEST(TobrelFileRecalc, CloseAndAbsurdPositionsStayDefined) {
    // Under the thousandth of an arc second: nothing.
    EXPECT_EQ(GreatCircleDistance(35, 139, 35 + 2e-7, 139 - 2e-7, 0), 0.0);
    // Just beyond it rounding may put the cosine past 1; the step is then 0, not NaN.
    const double d = GreatCircleDistance(35, 139, 35 + 3e-7, 139, 0);
    EXPECT_TRUE(d >= 0.0 && d < 0.1) << d;
    EXPECT_FALSE(std::isnan(GreatCircleDistance(0, 0, 0, 180, 0)));  // antipodes
    EXPECT_EQ(HeadingField(std::nan("")), 0);
    EXPECT_EQ(HeadingField(1e300), 0);
    EXPECT_EQ(HeadingField(359.9), 359);
}

TEST(TobrelFileWaypoints, AddSetAndDelete) {
    TobrelFile s;
    EXPECT_EQ(s.AddWaypoints(0), 0);
    EXPECT_EQ(s.AddWaypoints(1), 0);
    ASSERT_EQ(s.GetWaypointCount(), 1);
    EXPECT_TRUE(AllZero(s.GetWaypointData(0), sizeof(WaypointData)));
    EXPECT_EQ(s.AddWaypoints(3), 1);
    EXPECT_EQ(s.AddWaypoints(-2), 0);
    EXPECT_EQ(s.GetWaypointCount(), 4);
    EXPECT_FALSE(s.SetWaypointCount(-1));
    EXPECT_TRUE(s.SetWaypointCount(0));
    EXPECT_TRUE(s.SetWaypointCount(3));
    const std::string ident = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", comment(70, 'c');
    ASSERT_TRUE(s.SetWaypoint(1, ident.c_str(), comment.c_str(), 35.5, 139.25, 12.5, 30, 18, 2));
    ASSERT_TRUE(s.SetWaypoint(1, nullptr, nullptr, 1, 2, 3, 4, 5, 6));  // texts stay
    EXPECT_EQ(s.GetWaypointIdent(1), ident.substr(0, 23));
    EXPECT_EQ(s.GetWaypointComment(1), comment.substr(0, 63));
    EXPECT_EQ(s.GetWaypointSymbol(1), 5);
    EXPECT_FALSE(s.SetWaypoint(3, "X", "", 0, 0, 0, 0, 0, 0));
    ASSERT_TRUE(s.DeleteWaypoint(0));  // later records move down
    EXPECT_EQ(s.GetWaypointIdent(0), ident.substr(0, 23));
    EXPECT_FALSE(s.DeleteWaypoint(2));
    EXPECT_EQ(s.GetWaypointIdent(2), nullptr);
}

TEST(TobrelFileRoutes, AppendNameAndInsert) {
    TobrelFile s;
    EXPECT_FALSE(s.SetRouteCount(0));
    EXPECT_EQ(s.AppendRoute(), 1);
    EXPECT_EQ(s.AppendRoute(), 2);
    EXPECT_FALSE(s.SetRouteName(0, nullptr));
    ASSERT_TRUE(s.SetRouteName(1, std::string(80, 'r').c_str()));
    EXPECT_EQ(s.GetRouteName(1), std::string(63, 'r'));
    for (const char* id : {"A", "B", "C", "D"})
        ASSERT_TRUE(s.InsertRouteWaypoint(1, 99999, id, "c", 1, 2, 3, 4, 5, 6));
    EXPECT_FALSE(s.InsertRouteWaypoint(1, -1, "X", "", 0, 0, 0, 0, 0, 0));
    ASSERT_TRUE(s.InsertRouteWaypoint(1, 0, "FIRST", nullptr, 7, 8, 9, 0, 0, 0));
    ASSERT_EQ(s.GetRouteWaypointCount(1), 5);
    EXPECT_STREQ(s.GetRouteWaypointIdent(1, 0), "FIRST");
    EXPECT_STREQ(s.GetRouteWaypointIdent(1, 4), "D");  // 99999 appended as the fourth
    EXPECT_STREQ(s.GetRouteHeader(1)->pWaypointData[0].comment, "");
    double lat, lon, alt;
    ASSERT_TRUE(s.GetRouteWaypointPosition(1, 0, &lat, &lon, &alt));
    EXPECT_EQ(std::make_tuple(lat, lon, alt), std::make_tuple(7.0, 8.0, 9.0));
    EXPECT_FALSE(s.GetRouteWaypointPosition(1, 5, &lat, &lon, &alt));
    EXPECT_EQ(s.GetRouteWaypointIdent(0, 0), nullptr);
    EXPECT_FALSE(s.InsertRouteWaypoint(2, 0, "X", "", 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(s.SetRouteCount(1));
    EXPECT_EQ(s.GetRouteCount(), 1);
    EXPECT_EQ(s.GetRouteWaypointCount(0), 0);
}

}  // namespace
}  // namespace tobrel
