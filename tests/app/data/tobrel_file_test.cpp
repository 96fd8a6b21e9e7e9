#include "data/tobrel_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace tobrel {
namespace {

// Fields of the packed records are compared as values (unary +): the
// assertions take references, and a reference to such a field may be misaligned.

bool AllZero(const void* p, std::size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i] != 0)
            return false;
    return true;
}

TEST(TobrelFileTracks, CountsAndFailures) {
    TobrelFile s;
    EXPECT_EQ(s.GetTrackCount(), 0);
    EXPECT_FALSE(s.SetTrackCount(0));
    EXPECT_FALSE(s.AddTracks(0));
    EXPECT_TRUE(s.SetTrackCount(2));
    EXPECT_EQ(s.GetTrackCount(), 2);
    EXPECT_TRUE(s.AddTracks(3));
    EXPECT_EQ(s.GetTrackCount(), 5);
    EXPECT_EQ(s.GetTrackPointCount(4), 0);
    EXPECT_EQ(s.GetTrackSegmentCount(4), 0);
    EXPECT_STREQ(s.GetTrackName(4), "");
    EXPECT_EQ(s.GetTrackName(5), nullptr);
    EXPECT_EQ(s.GetTrackName(-1), nullptr);
    EXPECT_FALSE(s.SetTrackPointCount(0, 0));
    EXPECT_FALSE(s.SetTrackPointCount(9, 1));
    EXPECT_FALSE(s.SetTrackPoint(0, 0, 1, 1, 1, 1));  // no points yet
    EXPECT_EQ(s.GetTrackData(0), nullptr);
    // SetTrackCount replaces what was there.
    EXPECT_TRUE(s.SetTrackCount(1));
    EXPECT_EQ(s.GetTrackCount(), 1);
}

TEST(TobrelFileTracks, SetTrackPointCountZeroFillsAndSetsOneSegment) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackSegmentCount(0, 7);
    ASSERT_TRUE(s.SetTrackPointCount(0, 3));
    EXPECT_EQ(s.GetTrackPointCount(0), 3);
    EXPECT_EQ(s.GetTrackSegmentCount(0), 1);
    EXPECT_TRUE(AllZero(s.GetTrackData(0), 3 * sizeof(TrackData)));
    ASSERT_TRUE(s.SetTrackPoint(0, 2, 4, 35.25, -139.5, 12.75));
    double lat, lon, alt;
    ASSERT_TRUE(s.GetTrackPoint(0, 2, &lat, &lon, &alt));
    EXPECT_EQ(lat, 35.25);
    EXPECT_EQ(lon, -139.5);
    EXPECT_EQ(alt, 12.75);
    EXPECT_EQ(+s.GetTrackData(0)[2].segment, 4);
    EXPECT_FALSE(s.GetTrackPoint(0, 3, &lat, &lon, &alt));
}

TEST(TobrelFileTracks, NamesKeepTwentyThreeBytesWithoutSplittingACharacter) {
    TobrelFile s;
    s.AddTracks(1);
    ASSERT_TRUE(s.SetTrackName(0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));  // 30 bytes
    EXPECT_STREQ(s.GetTrackName(0), "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_TRUE(AllZero(s.GetTrackHeader(0)->name + 23, 1));
    // 22 ASCII bytes then a double-byte character: it would end at byte 24.
    ASSERT_TRUE(s.SetTrackName(0, "ABCDEFGHIJKLMNOPQRSTUV\x93\x8c"));
    EXPECT_STREQ(s.GetTrackName(0), "ABCDEFGHIJKLMNOPQRSTUV");
    // A shorter name leaves no trace of the longer one.
    s.SetTrackName(0, "AB");
    EXPECT_TRUE(AllZero(s.GetTrackHeader(0)->name + 2, 22));
    // A null name changes nothing.
    EXPECT_TRUE(s.SetTrackName(0, nullptr));
    EXPECT_STREQ(s.GetTrackName(0), "AB");
}

TEST(TobrelFileTracks, GetTrackNameFillsTheCallersBuffer) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackName(0, "\x93\x8c\x8b\x9e");  // two double-byte characters
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_NE(s.GetTrackName(0, buf, 4), nullptr);
    EXPECT_STREQ(buf, "\x93\x8c");  // the second character does not fit in 3 bytes
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(buf[4], 'x');  // nothing written past the given size
    std::memset(buf, 'x', sizeof buf);
    s.GetTrackName(0, buf, 0);
    EXPECT_EQ(buf[0], 'x');
}

TEST(TobrelFileTracks, DeleteMiddleTrackKeepsTheOthersPoints) {
    TobrelFile s;
    s.AddTracks(3);
    for (int t = 0; t < 3; ++t) {
        s.SetTrackName(t, std::to_string(t).c_str());
        s.SetTrackPointCount(t, t + 1);
        for (int i = 0; i <= t; ++i)
            s.SetTrackPoint(t, i, 1, t * 10 + i, t, 0);
    }
    ASSERT_TRUE(s.DeleteTrack(1));
    ASSERT_EQ(s.GetTrackCount(), 2);
    EXPECT_STREQ(s.GetTrackName(0), "0");
    EXPECT_STREQ(s.GetTrackName(1), "2");
    ASSERT_EQ(s.GetTrackPointCount(1), 3);
    double lat;
    s.GetTrackPoint(1, 2, &lat, nullptr, nullptr);
    EXPECT_EQ(lat, 22);
    EXPECT_FALSE(s.DeleteTrack(2));
    EXPECT_TRUE(s.DeleteTrack(0));
    EXPECT_TRUE(s.DeleteTrack(0));
    EXPECT_EQ(s.GetTrackCount(), 0);
    EXPECT_FALSE(s.DeleteTrack(0));
}

TEST(TobrelFileTracks, FindSegmentRange) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackPointCount(0, 5);
    const int segments[] = {1, 1, 2, 1, 2};
    for (int i = 0; i < 5; ++i)
        s.SetTrackPoint(0, i, segments[i], 0, 0, 0);
    s.SetTrackSegmentCount(0, 3);
    int first = 7, last = 7;
    ASSERT_TRUE(s.FindSegmentRange(0, 1, &first, &last));
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 3);
    ASSERT_TRUE(s.FindSegmentRange(0, 2, &first, &last));
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 4);
    EXPECT_FALSE(s.FindSegmentRange(0, 3, &first, &last));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
    first = last = 7;
    EXPECT_FALSE(s.FindSegmentRange(0, 0, &first, &last));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
    first = last = 7;
    EXPECT_FALSE(s.FindSegmentRange(0, 4, &first, &last));  // above the segment count
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
    first = last = 7;
    EXPECT_FALSE(s.FindSegmentRange(3, 1, &first, &last));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
}

TEST(TobrelFileTracks, SegmentTwoOfPointsAllInSegmentOneIsNotFound) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackPointCount(0, 3);
    for (int i = 0; i < 3; ++i)
        s.SetTrackPoint(0, i, 1, i, i, 0);
    s.SetTrackSegmentCount(0, 2);
    int first = 0, last = 0;
    EXPECT_FALSE(s.FindSegmentRange(0, 2, &first, &last));
    EXPECT_EQ(first, -1);
    EXPECT_EQ(last, -1);
}

TEST(TobrelFileTracks, PointTimeIsUnixTime) {
    TobrelFile s;
    EXPECT_EQ(s.GetTrackPointTime(0, 0), 631065600);
    s.AddTracks(1);
    s.SetTrackPointCount(0, 2);
    EXPECT_EQ(s.GetTrackPointTime(0, 0), 631065600);
    ASSERT_TRUE(s.SetTrackPointTime(0, 1, 0xFFFFFFFFu));
    EXPECT_EQ(s.GetTrackPointTime(0, 1), 631065600LL + 0xFFFFFFFFLL);
    EXPECT_EQ(s.GetTrackPointTime(0, 2), 631065600);
    EXPECT_FALSE(s.SetTrackPointTime(0, 2, 5));
}

TEST(TobrelFileRecalc, TwoIdenticalPoints) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackPointCount(0, 2);
    s.SetTrackPoint(0, 0, 1, 35.5, 139.25, 0);
    s.SetTrackPoint(0, 1, 1, 35.5, 139.25, 0);
    ASSERT_TRUE(s.RecalcTrack(0, 0));
    const TrackData* p = s.GetTrackData(0);
    EXPECT_EQ(+p[0].distance, 0.0);
    EXPECT_EQ(+p[1].distance, 0.0);
    EXPECT_EQ(+p[0].heading, 0);
    EXPECT_EQ(+p[1].heading, 180);
}

TEST(TobrelFileRecalc, DistancesAccumulateAndHeadingsFollowTheCompass) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackPointCount(0, 5);
    s.SetTrackPoint(0, 0, 1, 0.0, 0.0, 0);
    s.SetTrackPoint(0, 1, 1, 1.0, 0.0, 0);   // north
    s.SetTrackPoint(0, 2, 1, 1.0, 1.0, 0);   // east
    s.SetTrackPoint(0, 3, 1, 1.0, 0.0, 0);   // west
    s.SetTrackPoint(0, 4, 1, 0.0, -1.0, 0);  // south-west
    ASSERT_TRUE(s.RecalcTrack(0, 0));
    const TrackData* p = s.GetTrackData(0);
    // One degree of the sphere with radius 6378137 and the program's pi.
    const double degree = (1.0 / 360.0) * 2.0 * 3.14159265359 * 6378137.0;
    EXPECT_NEAR(p[1].distance, degree, 1e-6);
    EXPECT_EQ(+p[1].heading, 0);
    EXPECT_EQ(+p[2].heading, 90);
    EXPECT_EQ(+p[3].heading, 270);
    EXPECT_EQ(+p[4].heading, 225);  // truncated from just above 225
    EXPECT_GT(+p[2].distance, +p[1].distance);
    EXPECT_NEAR(p[3].distance - p[2].distance, p[2].distance - p[1].distance, 1e-6);
    EXPECT_NEAR(p[4].distance - p[3].distance, GreatCircleDistance(1.0, 0.0, 0.0, -1.0, 0.0), 1e-9);
    EXPECT_FALSE(s.RecalcTrack(1, 0));
    s.AddTracks(1);
    EXPECT_FALSE(s.RecalcTrack(1, 0));  // no points
}

TEST(TobrelFileRecalc, AxisDifferenceShrinksTheRadius) {
    const double full = GreatCircleDistance(35, 139, 36, 140, 0);
    const double less = GreatCircleDistance(35, 139, 36, 140, 739.845);
    EXPECT_NEAR(less / full, (6378137.0 - 739.845) / 6378137.0, 1e-12);
}

TEST(TobrelFileRecalc, CloseAndAbsurdPositionsStayDefined) {
    // Under the thousandth of an arc second: nothing.
    EXPECT_EQ(GreatCircleDistance(35, 139, 35 + 2e-7, 139 - 2e-7, 0), 0.0);
    // Just beyond it rounding may put the cosine past 1; the step is then 0, not NaN.
    const double d = GreatCircleDistance(35, 139, 35 + 3e-7, 139, 0);
    EXPECT_FALSE(std::isnan(d));
    EXPECT_GE(d, 0.0);
    EXPECT_LT(d, 0.1);
    // Antipodes must not give NaN either.
    EXPECT_FALSE(std::isnan(GreatCircleDistance(0, 0, 0, 180, 0)));
    EXPECT_EQ(HeadingField(std::nan("")), 0);
    EXPECT_EQ(HeadingField(1e300), 0);
    EXPECT_EQ(HeadingField(359.9), 359);
}

TEST(TobrelFileWaypoints, AddWaypointsReturnsTheFirstNewIndex) {
    TobrelFile s;
    EXPECT_EQ(s.AddWaypoints(0), 0);
    EXPECT_EQ(s.GetWaypointCount(), 0);
    EXPECT_EQ(s.AddWaypoints(1), 0);
    ASSERT_EQ(s.GetWaypointCount(), 1);
    EXPECT_TRUE(AllZero(s.GetWaypointData(0), sizeof(WaypointData)));
    EXPECT_STREQ(s.GetWaypointIdent(0), "");
    EXPECT_EQ(s.GetWaypointSymbol(0), 0);
    EXPECT_EQ(s.AddWaypoints(3), 1);
    EXPECT_EQ(s.GetWaypointCount(), 4);
    EXPECT_EQ(s.AddWaypoints(-2), 0);
    EXPECT_EQ(s.GetWaypointCount(), 4);
}

TEST(TobrelFileWaypoints, SetAndGetEveryField) {
    TobrelFile s;
    EXPECT_FALSE(s.SetWaypointCount(-1));
    EXPECT_TRUE(s.SetWaypointCount(0));
    EXPECT_TRUE(s.SetWaypointCount(2));
    ASSERT_TRUE(s.SetWaypoint(1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", std::string(70, 'c').c_str(), 35.5,
                              139.25, 12.5, 30.0f, 18, 2));
    EXPECT_STREQ(s.GetWaypointIdent(1), "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_EQ(std::string(s.GetWaypointComment(1)), std::string(63, 'c'));
    double lat, lon, alt;
    ASSERT_TRUE(s.GetWaypointPosition(1, &lat, &lon, &alt));
    EXPECT_EQ(lat, 35.5);
    EXPECT_EQ(lon, 139.25);
    EXPECT_EQ(alt, 12.5);
    EXPECT_EQ(s.GetWaypointDistance(1), 30.0f);
    EXPECT_EQ(s.GetWaypointSymbol(1), 18);
    EXPECT_EQ(s.GetWaypointDisplay(1), 2);
    // Null texts leave the fields as they were.
    ASSERT_TRUE(s.SetWaypoint(1, nullptr, nullptr, 1, 2, 3, 4, 5, 6));
    EXPECT_STREQ(s.GetWaypointIdent(1), "ABCDEFGHIJKLMNOPQRSTUVW");
    EXPECT_FALSE(s.SetWaypoint(2, "X", "", 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(s.GetWaypointIdent(2), nullptr);
    EXPECT_EQ(s.GetWaypointDistance(2), 0.0f);
    EXPECT_EQ(s.GetWaypointDisplay(-1), 0);
    EXPECT_FALSE(s.GetWaypointPosition(2, &lat, &lon, &alt));
}

TEST(TobrelFileWaypoints, DeleteMovesLaterRecordsDown) {
    TobrelFile s;
    s.SetWaypointCount(3);
    for (int i = 0; i < 3; ++i)
        s.SetWaypoint(i, std::to_string(i).c_str(), "", i, i, 0, 0, 0, 0);
    ASSERT_TRUE(s.DeleteWaypoint(0));
    EXPECT_STREQ(s.GetWaypointIdent(0), "1");
    EXPECT_STREQ(s.GetWaypointIdent(1), "2");
    EXPECT_FALSE(s.DeleteWaypoint(2));
    s.ClearWaypoints();
    EXPECT_EQ(s.GetWaypointCount(), 0);
}

TEST(TobrelFileRoutes, AppendNameAndInsert) {
    TobrelFile s;
    EXPECT_FALSE(s.SetRouteCount(0));
    EXPECT_EQ(s.AppendRoute(), 1);
    EXPECT_EQ(s.AppendRoute(), 2);
    EXPECT_FALSE(s.SetRouteName(0, nullptr));
    ASSERT_TRUE(s.SetRouteName(1, std::string(80, 'r').c_str()));
    EXPECT_EQ(std::string(s.GetRouteName(1)), std::string(63, 'r'));
    for (const char* id : {"A", "B", "C"})
        ASSERT_TRUE(s.InsertRouteWaypoint(1, 99999, id, "c", 1, 2, 3, 4, 5, 6));
    EXPECT_FALSE(s.InsertRouteWaypoint(1, -1, "X", "", 0, 0, 0, 0, 0, 0));
    ASSERT_TRUE(s.InsertRouteWaypoint(1, 99999, "D", "", 7, 8, 9, 0, 0, 0));
    ASSERT_EQ(s.GetRouteWaypointCount(1), 4);
    EXPECT_STREQ(s.GetRouteWaypointIdent(1, 3), "D");
    ASSERT_TRUE(s.InsertRouteWaypoint(1, 0, "FIRST", nullptr, 0, 0, 0, 0, 0, 0));
    EXPECT_STREQ(s.GetRouteWaypointIdent(1, 0), "FIRST");
    EXPECT_STREQ(s.GetRouteWaypointIdent(1, 1), "A");
    EXPECT_STREQ(s.GetRouteHeader(1)->pWaypointData[0].comment, "");
    double lat, lon, alt;
    ASSERT_TRUE(s.GetRouteWaypointPosition(1, 4, &lat, &lon, &alt));
    EXPECT_EQ(lat, 7);
    EXPECT_EQ(lon, 8);
    EXPECT_EQ(alt, 9);
    EXPECT_FALSE(s.GetRouteWaypointPosition(1, 5, &lat, &lon, &alt));
    EXPECT_EQ(s.GetRouteWaypointIdent(0, 0), nullptr);
    EXPECT_EQ(s.GetRouteWaypointCount(2), 0);
    EXPECT_FALSE(s.InsertRouteWaypoint(2, 0, "X", "", 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(s.SetRouteCount(1));
    EXPECT_EQ(s.GetRouteCount(), 1);
    EXPECT_EQ(s.GetRouteWaypointCount(0), 0);
}

}  // namespace
}  // namespace tobrel
