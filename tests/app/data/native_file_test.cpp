#include "data/native_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <string>

#include "legacy_native_image.h"
#include "sample_store.h"

namespace tobrel {
namespace {

// Fields of the packed records are compared as values (unary +): the
// assertions take references, and a reference to such a field may be misaligned.

using testing::BuildNativeImage;
using testing::ImageContent;
using testing::ImagePoint;
using testing::ImageRoute;
using testing::ImageTrack;
using testing::ImageWaypoint;
using testing::ReadInt32;
using testing::WriteInt32;

std::vector<std::uint8_t> Encode(const TobrelFile& s) {
    std::vector<std::uint8_t> out;
    EXPECT_TRUE(EncodeNativeFile(s, out));
    return out;
}

bool Read(TobrelFile& s, const std::vector<std::uint8_t>& bytes) {
    return ReadNativeFile(s, std::span<const std::uint8_t>(bytes));
}

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tobrel_native_XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::vector<std::uint8_t> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(NativeFileWrite, EmptyStoreIs120Bytes) {
    TobrelFile s;
    s.SetTimeZoneBias(-32400);
    const auto b = Encode(s);
    ASSERT_EQ(b.size(), 120u);
    EXPECT_EQ(std::memcmp(b.data(), "TOBREL", 6), 0);
    for (std::size_t i = 6; i < 16; ++i)
        EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(ReadInt32(b, 16), 7);
    EXPECT_EQ(ReadInt32(b, 20), 108);
    EXPECT_EQ(ReadInt32(b, 24), 112);
    EXPECT_EQ(ReadInt32(b, 28), 116);
    for (std::size_t i = 32; i < 104; ++i)
        EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(ReadInt32(b, 104), -32400);
    EXPECT_EQ(ReadInt32(b, 108), 0);
    EXPECT_EQ(ReadInt32(b, 112), 0);
    EXPECT_EQ(ReadInt32(b, 116), 0);
}

TEST(NativeFileWrite, OneTrackOfTwoPointsAndOneWaypoint) {
    TobrelFile s;
    s.AddTracks(1);
    s.SetTrackName(0, "T");
    s.SetTrackPointCount(0, 2);
    s.SetTrackPoint(0, 0, 1, 35.5, 139.25, 1);
    s.SetTrackPoint(0, 1, 1, 35.6, 139.3, 2);
    s.RecalcTrack(0, 0);
    s.AddWaypoints(1);
    s.SetWaypoint(0, "W", "C", 1, 2, 3, 4, 5, 6);
    const auto b = Encode(s);
    ASSERT_EQ(b.size(), 356u);
    EXPECT_EQ(ReadInt32(b, 24), 232);
    EXPECT_EQ(ReadInt32(b, 28), 352);
    EXPECT_EQ(ReadInt32(b, 108), 1);  // track count
    EXPECT_EQ(std::memcmp(b.data() + 112, "T\0\0", 3), 0);
    EXPECT_EQ(ReadInt32(b, 112 + 24), 2);  // points
    EXPECT_EQ(ReadInt32(b, 112 + 28), 1);  // segments
    EXPECT_EQ(std::memcmp(b.data() + 144, s.GetTrackData(0), 88), 0);
    EXPECT_EQ(ReadInt32(b, 232), 1);
    EXPECT_EQ(std::memcmp(b.data() + 236, s.GetWaypointData(0), 116), 0);
    EXPECT_EQ(ReadInt32(b, 352), 0);
}

TEST(NativeFileWrite, MatchesTheFieldByFieldLayout) {
    ImageContent c;
    c.timeZoneBias = 3600;
    c.tracks.push_back(
        {"ONE", 2, {{1.5, 2.5, 77, 1, 45, 3.5f, 0.0}, {1.6, 2.6, 78, 2, 90, 4.5f, 12.5}}});
    c.tracks.push_back({"EMPTY", 0, {}});
    c.waypoints.push_back({10.0, 20.0, 1.0f, 2.0f, 3, 4, "WP", "COMMENT"});
    c.routes.push_back({"R", {{5.0, 6.0, 7.0f, 8.0f, 9, 10, "RW", "RC"}}});
    c.routes.push_back({"NONE", {}});

    TobrelFile s;
    s.SetTimeZoneBias(3600);
    s.AddTracks(2);
    s.SetTrackName(0, "ONE");
    s.SetTrackPointCount(0, 2);
    s.SetTrackSegmentCount(0, 2);
    TrackData* p = s.GetTrackData(0);
    p[0] = TrackData{1.5, 2.5, 77, 1, 45, 3.5f, 0.0, {}};
    p[1] = TrackData{1.6, 2.6, 78, 2, 90, 4.5f, 12.5, {}};
    s.SetTrackName(1, "EMPTY");
    s.AddWaypoints(1);
    s.SetWaypoint(0, "WP", "COMMENT", 10, 20, 1, 2, 3, 4);
    s.AppendRoute();
    s.SetRouteName(0, "R");
    s.InsertRouteWaypoint(0, 0, "RW", "RC", 5, 6, 7, 8, 9, 10);
    s.AppendRoute();
    s.SetRouteName(1, "NONE");
    EXPECT_EQ(Encode(s), BuildNativeImage(7, c));
}

TEST(NativeFileRoundTrip, Version7ReproducesEveryRecord) {
    TobrelFile s;
    testing::FillSampleStore(s);
    // Reserved bytes are not kept.
    std::memset(s.GetTrackData(0)[1].reserved, 0xAB, 8);
    const auto b = Encode(s);
    TobrelFile r;
    r.SetTimeZoneBias(0);
    ASSERT_TRUE(Read(r, b));
    EXPECT_EQ(r.TimeZoneBias(), -32400);
    ASSERT_EQ(r.GetTrackCount(), s.GetTrackCount());
    for (int t = 0; t < s.GetTrackCount(); ++t) {
        const TrackHeader* a = s.GetTrackHeader(t);
        const TrackHeader* c = r.GetTrackHeader(t);
        EXPECT_EQ(std::memcmp(a->name, c->name, sizeof a->name), 0);
        EXPECT_EQ(a->segmentCount, c->segmentCount);
        ASSERT_EQ(a->PointCount(), c->PointCount());
        for (int i = 0; i < a->PointCount(); ++i) {
            EXPECT_EQ(
                std::memcmp(&a->pTrackData[i], &c->pTrackData[i], offsetof(TrackData, reserved)), 0)
                << t << "/" << i;
        }
    }
    EXPECT_TRUE(std::all_of(std::begin(r.GetTrackData(0)[1].reserved),
                            std::end(r.GetTrackData(0)[1].reserved),
                            [](auto b) { return b == 0; }));
    ASSERT_EQ(r.GetWaypointCount(), s.GetWaypointCount());
    for (int i = 0; i < s.GetWaypointCount(); ++i)
        EXPECT_EQ(std::memcmp(s.GetWaypointData(i), r.GetWaypointData(i), sizeof(WaypointData)), 0)
            << i;
    ASSERT_EQ(r.GetRouteCount(), s.GetRouteCount());
    for (int i = 0; i < s.GetRouteCount(); ++i) {
        const RouteHeader* a = s.GetRouteHeader(i);
        const RouteHeader* c = r.GetRouteHeader(i);
        EXPECT_EQ(std::memcmp(a->name, c->name, sizeof a->name), 0);
        ASSERT_EQ(a->WaypointCount(), c->WaypointCount());
        for (int k = 0; k < a->WaypointCount(); ++k)
            EXPECT_EQ(std::memcmp(&a->pWaypointData[k], &c->pWaypointData[k], sizeof(WaypointData)),
                      0);
    }
    // And the second write gives the same bytes but for the reserved ones.
    std::memset(s.GetTrackData(0)[1].reserved, 0, 8);
    EXPECT_EQ(Encode(r), Encode(s));
}

TEST(NativeFileRoundTrip, ThroughTheFileSystem) {
    TempDir dir;
    TobrelFile s;
    testing::FillSampleStore(s);
    const std::string path = dir.File("sample.tb2");
    ASSERT_TRUE(WriteNativeFile(s, path));
    EXPECT_EQ(Slurp(path), Encode(s));
    TobrelFile r;
    ASSERT_TRUE(ReadNativeFile(r, path));
    EXPECT_EQ(Encode(r), Encode(s));
    EXPECT_FALSE(ReadNativeFile(r, dir.File("missing.tb2")));
}

TEST(NativeFileRead, AppendsToWhatTheStoreHolds) {
    TobrelFile s;
    testing::FillSampleStore(s);
    const auto b = Encode(s);
    ASSERT_TRUE(Read(s, b));
    EXPECT_EQ(s.GetTrackCount(), 4);
    EXPECT_EQ(s.GetWaypointCount(), 6);
    EXPECT_EQ(s.GetRouteCount(), 4);
    EXPECT_STREQ(s.GetRouteName(2), "ROUTE A");
    EXPECT_EQ(s.GetRouteWaypointCount(2), 2);
}

TEST(NativeFileRead, RefusesUnknownVersionsAndForeignFiles) {
    for (int version : {1, 8, 9, 1000}) {
        auto b = BuildNativeImage(version, {});
        TobrelFile s;
        s.SetTimeZoneBias(5);
        EXPECT_FALSE(Read(s, b)) << version;
        EXPECT_EQ(s.GetTrackCount() + s.GetWaypointCount() + s.GetRouteCount(), 0);
        EXPECT_EQ(s.TimeZoneBias(), 5);
    }
    auto b = BuildNativeImage(7, {});
    b[0] = 'X';
    TobrelFile s;
    EXPECT_FALSE(Read(s, b));
    b = BuildNativeImage(7, {});
    b.resize(107);
    EXPECT_FALSE(Read(s, b));
}

TEST(NativeFileRead, Version6DistancesBecomeCumulative) {
    ImageContent c;
    c.tracks.push_back(
        {"V6", 1, {{1, 1, 0, 1, 0, 0, 0.0}, {2, 2, 0, 1, 0, 0, 10.0}, {3, 3, 0, 1, 0, 0, 15.0}}});
    TobrelFile s;
    ASSERT_TRUE(Read(s, BuildNativeImage(6, c)));
    ASSERT_EQ(s.GetTrackPointCount(0), 3);
    EXPECT_EQ(+s.GetTrackData(0)[0].distance, 0.0);
    EXPECT_EQ(+s.GetTrackData(0)[1].distance, 10.0);
    EXPECT_EQ(+s.GetTrackData(0)[2].distance, 25.0);
    // Version 7 keeps them as stored.
    TobrelFile s7;
    ASSERT_TRUE(Read(s7, BuildNativeImage(7, c)));
    EXPECT_EQ(+s7.GetTrackData(0)[2].distance, 15.0);
}

ImageContent OldContent() {
    ImageContent c;
    c.timeZoneBias = -32400;
    c.tracks.push_back({"ignored",
                        2,
                        {{35.0, 139.0, 10, 1, 0, 5.5f, 0},
                         {35.1, 139.0, 20, 1, 0, 6.5f, 0},
                         {35.1, 139.1, 30, 2, 0, 7.5f, 0}}});
    c.waypoints.push_back({35.5, 139.25, 9.0f, 20.0f, 18, 1, "WPT01", "free comment"});
    c.waypoints.push_back({1.0, 2.0, 0, 0, 0, 0, "EIGHTCHR", ""});
    c.routes.push_back({"ROUTE", {{35.1, 139.1, 1.0f, 30.0f, 7, 3, "RW_0", "route comment"}}});
    return c;
}

TEST(NativeFileRead, Version3IsOneTrackLogWithComputedHeadingsAndDistances) {
    TobrelFile s;
    s.SetTimeZoneBias(0);
    ASSERT_TRUE(Read(s, BuildNativeImage(3, OldContent())));
    EXPECT_EQ(s.TimeZoneBias(), -32400);
    ASSERT_EQ(s.GetTrackCount(), 1);
    EXPECT_STREQ(s.GetTrackName(0), "TRACK LOG");
    EXPECT_EQ(s.GetTrackSegmentCount(0), 2);
    ASSERT_EQ(s.GetTrackPointCount(0), 3);
    const TrackData* p = s.GetTrackData(0);
    EXPECT_EQ(+p[1].latitude, 35.1);
    EXPECT_EQ(+p[2].longitude, 139.1);
    EXPECT_EQ(+p[2].time, 30u);
    EXPECT_EQ(+p[2].segment, 2);
    EXPECT_EQ(+p[2].altitude, 0.0f);  // no altitude before version 5
    EXPECT_EQ(+p[0].distance, 0.0);
    EXPECT_NEAR(p[1].distance, GreatCircleDistance(35.0, 139.0, 35.1, 139.0, 0), 1e-9);
    EXPECT_NEAR(p[2].distance, p[1].distance + GreatCircleDistance(35.1, 139.0, 35.1, 139.1, 0),
                1e-9);
    EXPECT_EQ(+p[1].heading, 0);
    EXPECT_EQ(+p[2].heading, 90);
    ASSERT_EQ(s.GetWaypointCount(), 2);
    EXPECT_STREQ(s.GetWaypointIdent(0), "WPT01");
    EXPECT_STREQ(s.GetWaypointIdent(1), "EIGHTCHR");  // eight bytes, no terminator in the file
    EXPECT_EQ(s.GetWaypointDistance(0), 0.0f);
    EXPECT_EQ(s.GetWaypointSymbol(0), 0);
    ASSERT_EQ(s.GetRouteCount(), 1);
    EXPECT_STREQ(s.GetRouteName(0), "ROUTE");
    ASSERT_EQ(s.GetRouteWaypointCount(0), 1);
    EXPECT_STREQ(s.GetRouteWaypointIdent(0, 0), "RW_0");
    EXPECT_STREQ(s.GetRouteHeader(0)->pWaypointData[0].comment, "");
}

TEST(NativeFileRead, VersionsBelowThreeReadAsThreeWithoutTheTimeZone) {
    const auto v3 = BuildNativeImage(3, OldContent());
    for (int version : {0, 2, -1, -100}) {
        TobrelFile s;
        s.SetTimeZoneBias(77);
        ASSERT_TRUE(Read(s, BuildNativeImage(version, OldContent()))) << version;
        EXPECT_EQ(s.TimeZoneBias(), 77);
        TobrelFile three;
        ASSERT_TRUE(Read(three, v3));
        three.SetTimeZoneBias(77);
        EXPECT_EQ(Encode(s), Encode(three)) << version;
    }
}

TEST(NativeFileRead, Version4KeepsRouteWaypointCommentsOnly) {
    TobrelFile s;
    ASSERT_TRUE(Read(s, BuildNativeImage(4, OldContent())));
    ASSERT_EQ(s.GetWaypointCount(), 2);
    EXPECT_STREQ(s.GetWaypointComment(0), "");
    EXPECT_STREQ(s.GetWaypointIdent(0), "WPT01");
    EXPECT_EQ(s.GetWaypointDistance(0), 20.0f);
    EXPECT_EQ(s.GetWaypointSymbol(0), 18);
    EXPECT_EQ(s.GetWaypointDisplay(0), 1);
    double lat, lon, alt;
    s.GetWaypointPosition(0, &lat, &lon, &alt);
    EXPECT_EQ(alt, 0.0);
    const WaypointData& rw = s.GetRouteHeader(0)->pWaypointData.at(0);
    EXPECT_STREQ(rw.comment, "route comment");
    EXPECT_STREQ(rw.ident, "RW_0");
    EXPECT_EQ(+rw.distance, 30.0f);
    EXPECT_EQ(+rw.symbol, 7);
    EXPECT_EQ(+rw.display, 3);
    EXPECT_EQ(+rw.altitude, 0.0f);
    EXPECT_EQ(s.GetTrackPointCount(0), 3);
}

TEST(NativeFileRead, Version5HasAltitudesAndFullWaypoints) {
    TobrelFile s;
    ASSERT_TRUE(Read(s, BuildNativeImage(5, OldContent())));
    EXPECT_STREQ(s.GetTrackName(0), "TRACK LOG");
    EXPECT_EQ(+s.GetTrackData(0)[1].altitude, 6.5f);
    EXPECT_EQ(+s.GetTrackData(0)[1].time, 20u);
    EXPECT_STREQ(s.GetWaypointComment(0), "free comment");
    double lat, lon, alt;
    s.GetWaypointPosition(0, &lat, &lon, &alt);
    EXPECT_EQ(alt, 9.0);
    EXPECT_STREQ(s.GetRouteHeader(0)->pWaypointData[0].comment, "route comment");
}

TEST(NativeFileRead, AbsentSectionsAreSkipped) {
    auto b = BuildNativeImage(7, OldContent());
    WriteInt32(b, testing::kTrackOffsetField, 0);
    WriteInt32(b, testing::kRouteOffsetField, 0);
    TobrelFile s;
    ASSERT_TRUE(Read(s, b));
    EXPECT_EQ(s.GetTrackCount(), 0);
    EXPECT_EQ(s.GetWaypointCount(), 2);
    EXPECT_EQ(s.GetRouteCount(), 0);
}

// Every prefix of a valid file reads without touching bytes past its end and
// yields whole records only.
void CheckEveryTruncation(const std::vector<std::uint8_t>& full, int version) {
    TobrelFile whole;
    ASSERT_TRUE(Read(whole, full));
    for (std::size_t len = 0; len < full.size(); ++len) {
        // A separate heap block of exactly len bytes lets ASan see any overread.
        std::vector<std::uint8_t> cut(full.begin(),
                                      full.begin() + static_cast<std::ptrdiff_t>(len));
        cut.shrink_to_fit();
        TobrelFile s;
        const bool ok = ReadNativeFile(s, std::span<const std::uint8_t>(cut.data(), cut.size()));
        EXPECT_EQ(ok, len >= 108) << "version " << version << " length " << len;
        ASSERT_LE(s.GetTrackCount(), whole.GetTrackCount());
        for (int t = 0; t < s.GetTrackCount(); ++t) {
            ASSERT_LE(s.GetTrackPointCount(t), whole.GetTrackPointCount(t));
            // Points that were read are the file's points, not zero fill.
            for (int i = 0; i < s.GetTrackPointCount(t); ++i) {
                EXPECT_EQ(+s.GetTrackData(t)[i].latitude, +whole.GetTrackData(t)[i].latitude);
                EXPECT_EQ(+s.GetTrackData(t)[i].time, +whole.GetTrackData(t)[i].time);
            }
        }
        ASSERT_LE(s.GetWaypointCount(), whole.GetWaypointCount());
        for (int i = 0; i < s.GetWaypointCount(); ++i) {
            EXPECT_STREQ(s.GetWaypointIdent(i), whole.GetWaypointIdent(i));
            EXPECT_EQ(s.GetWaypointSymbol(i), whole.GetWaypointSymbol(i));
        }
        ASSERT_LE(s.GetRouteCount(), whole.GetRouteCount());
        for (int r = 0; r < s.GetRouteCount(); ++r) {
            ASSERT_LE(s.GetRouteWaypointCount(r), whole.GetRouteWaypointCount(r));
            for (int i = 0; i < s.GetRouteWaypointCount(r); ++i)
                EXPECT_STREQ(s.GetRouteWaypointIdent(r, i), whole.GetRouteWaypointIdent(r, i));
        }
    }
}

TEST(NativeFileHostile, TruncatedAtEveryLength) {
    TobrelFile s;
    testing::FillSampleStore(s);
    CheckEveryTruncation(Encode(s), 7);
    for (int version : {3, 4, 5, 6})
        CheckEveryTruncation(BuildNativeImage(version, OldContent()), version);
}

TEST(NativeFileHostile, TruncatedTrackKeepsItsWholePoints) {
    TobrelFile s;
    testing::FillLongTrack(s, 10);
    auto b = Encode(s);
    // Cut in the middle of the eighth point: seven whole points remain.
    b.resize(108 + 4 + 32 + 7 * 44 + 20);
    TobrelFile r;
    ASSERT_TRUE(Read(r, b));
    ASSERT_EQ(r.GetTrackCount(), 1);
    EXPECT_EQ(r.GetTrackPointCount(0), 7);
    EXPECT_STREQ(r.GetTrackName(0), "LONG");
    EXPECT_EQ(r.GetWaypointCount(), 0);
}

TEST(NativeFileHostile, HugeCountsAreNotTrusted) {
    // Counts far beyond what the file could hold must not make the reader
    // allocate for them (ASan would abort on a multi-gigabyte request).
    TobrelFile sample;
    testing::FillSampleStore(sample);
    const auto good = Encode(sample);
    const std::size_t wpAt = static_cast<std::size_t>(ReadInt32(good, 24));
    const std::size_t rtAt = static_cast<std::size_t>(ReadInt32(good, 28));
    for (std::int32_t huge : {INT32_MAX, INT32_MAX / 44, 0x10000000, -1, INT32_MIN}) {
        auto b = good;
        WriteInt32(b, 108, huge);  // track count
        TobrelFile s;
        ASSERT_TRUE(Read(s, b));
        EXPECT_LE(s.GetTrackCount(), 2 + (huge > 2 ? 1 : 0));
        EXPECT_EQ(s.GetWaypointCount(), 3);  // other sections are still read

        b = good;
        WriteInt32(b, 108 + 4 + 24, huge);  // first track's point count
        TobrelFile p;
        ASSERT_TRUE(Read(p, b));
        EXPECT_LE(p.GetTrackCount(), 1);
        EXPECT_LE(p.GetTrackPointCount(0), static_cast<int>(b.size() / 44));

        b = good;
        WriteInt32(b, wpAt, huge);
        TobrelFile w;
        ASSERT_TRUE(Read(w, b));
        EXPECT_LE(w.GetWaypointCount(), static_cast<int>(b.size() / 116));
        EXPECT_EQ(w.GetRouteCount(), 2);

        b = good;
        WriteInt32(b, rtAt, huge);
        TobrelFile r;
        ASSERT_TRUE(Read(r, b));
        EXPECT_LE(r.GetRouteCount(), static_cast<int>(b.size() / 72));

        b = good;
        WriteInt32(b, rtAt + 4, huge);  // first route's waypoint count
        TobrelFile rw;
        ASSERT_TRUE(Read(rw, b));
        EXPECT_LE(rw.GetRouteWaypointCount(0), static_cast<int>(b.size() / 116));
    }
}

TEST(NativeFileHostile, OffsetsOutsideTheFileAreIgnored) {
    TobrelFile sample;
    testing::FillSampleStore(sample);
    const auto good = Encode(sample);
    for (std::int32_t offset : {-108, -1, static_cast<std::int32_t>(good.size()), INT32_MAX}) {
        for (std::size_t field : {testing::kTrackOffsetField, testing::kWaypointOffsetField,
                                  testing::kRouteOffsetField}) {
            auto b = good;
            WriteInt32(b, field, offset);
            TobrelFile s;
            ASSERT_TRUE(Read(s, b));
            EXPECT_EQ(s.GetTrackCount(), field == testing::kTrackOffsetField ? 0 : 2);
            EXPECT_EQ(s.GetWaypointCount(), field == testing::kWaypointOffsetField ? 0 : 3);
            EXPECT_EQ(s.GetRouteCount(), field == testing::kRouteOffsetField ? 0 : 2);
        }
    }
}

TEST(NativeFileHostile, UnterminatedNamesStayInsideTheirFields) {
    ImageContent c;
    c.tracks.push_back({std::string(24, 'N'), 1, {{1, 2, 3, 1, 0, 0, 0}}});
    c.waypoints.push_back({1, 2, 0, 0, 0, 0, std::string(24, 'I'), std::string(64, 'C')});
    c.routes.push_back({std::string(64, 'R'), {{1, 2, 0, 0, 0, 0, std::string(24, 'J'), ""}}});
    TobrelFile s;
    ASSERT_TRUE(Read(s, BuildNativeImage(7, c)));
    EXPECT_EQ(std::string(s.GetTrackName(0)), std::string(23, 'N'));
    EXPECT_EQ(std::string(s.GetWaypointIdent(0)), std::string(23, 'I'));
    EXPECT_EQ(std::string(s.GetWaypointComment(0)), std::string(63, 'C'));
    EXPECT_EQ(std::string(s.GetRouteName(0)), std::string(63, 'R'));
    EXPECT_EQ(std::string(s.GetRouteWaypointIdent(0, 0)), std::string(23, 'J'));
}

}  // namespace
}  // namespace tobrel
