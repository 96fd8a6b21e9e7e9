#include "data/native_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "data/map_server_script.h"
#include "data_test_support.h"

namespace tobrel {
namespace {

// Fields of the packed records are compared as values (unary +): the
// assertions take references, and a reference to such a field may be misaligned.

using testing::AddTrack;
using testing::BuildNativeImage;
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

TobrelFile Sample() {
    TobrelFile s;
    testing::FillSample(s);
    return s;
}

TEST(NativeFileWrite, MatchesTheFieldByFieldLayoutAndItsOffsets) {
    TobrelFile empty, twoPoints, sample = Sample();
    empty.SetTimeZoneBias(-32400);
    AddTrack(twoPoints, "T", {{1, 35.5, 139.25}, {1, 35.6, 139.3}});
    twoPoints.RecalcTrack(0, 0);
    twoPoints.SetTrackPointTime(0, 1, 60);
    twoPoints.SetWaypoint(twoPoints.AddWaypoints(1), "W", "C", 1, 2, 3, 4, 5, 6);
    sample.AddTracks(1);  // and a track without points
    const struct {
        const char* what;
        const TobrelFile& store;
        std::size_t size;  // 0: not pinned
        std::int32_t waypointOffset, routeOffset;
    } rows[] = {{"empty store", empty, 120, 112, 116},
                {"one track of two points and one waypoint", twoPoints, 356, 232, 352},
                {"every kind of record", sample, 0, 0, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto b = Encode(row.store);
        EXPECT_EQ(b, BuildNativeImage(7, row.store));
        if (row.size == 0)
            continue;
        EXPECT_EQ(b.size(), row.size);
        EXPECT_EQ(ReadInt32(b, testing::kTrackOffsetField), 108);
        EXPECT_EQ(ReadInt32(b, testing::kWaypointOffsetField), row.waypointOffset);
        EXPECT_EQ(ReadInt32(b, testing::kRouteOffsetField), row.routeOffset);
    }
}

TEST(NativeFileRoundTrip, Version7ReproducesEveryByteButTheReservedOnesAndReadingAppends) {
    TobrelFile s = Sample(), r, twice;
    std::memset(s.GetTrackData(0)[1].reserved, 0xAB, 8);
    r.SetTimeZoneBias(0);
    ASSERT_TRUE(Read(r, Encode(s)));
    EXPECT_EQ(r.TimeZoneBias(), -32400);
    const auto& reserved = r.GetTrackData(0)[1].reserved;
    EXPECT_TRUE(std::all_of(std::begin(reserved), std::end(reserved), [](auto b) { return !b; }));
    std::memset(s.GetTrackData(0)[1].reserved, 0, 8);
    EXPECT_EQ(Encode(r), Encode(s));
    ASSERT_TRUE(Read(r, Encode(s)));
    testing::FillSample(twice);
    testing::FillSample(twice);
    EXPECT_EQ(Encode(r), Encode(twice));
}

TEST(NativeFileRead, RefusesUnknownVersionsAndForeignFiles) {
    std::vector<std::vector<std::uint8_t>> refused;
    for (int version : {1, 8, 9, 1000, 7, 7})
        refused.push_back(BuildNativeImage(version, Sample()));
    refused[4][0] = 'X';
    refused[5].resize(107);
    for (std::size_t i = 0; i < refused.size(); ++i) {
        TobrelFile s;
        s.SetTimeZoneBias(5);
        EXPECT_FALSE(Read(s, refused[i])) << i;
        EXPECT_EQ(s.GetTrackCount() + s.GetWaypointCount() + s.GetRouteCount(), 0) << i;
        EXPECT_EQ(s.TimeZoneBias(), 5) << i;
    }
}

TEST(NativeFileRead, Version6DistancesBecomeCumulative) {
    TobrelFile expected = Sample(), s;  // distances 0, 10, 15 and 20
    ASSERT_TRUE(Read(s, BuildNativeImage(6, expected)));
    EXPECT_EQ(+s.GetTrackData(0)[2].distance, 25.0);
    for (int t = 0; t < expected.GetTrackCount(); ++t)
        for (int i = 1; i < expected.GetTrackPointCount(t); ++i)
            expected.GetTrackData(t)[i].distance += expected.GetTrackData(t)[i - 1].distance;
    EXPECT_EQ(Encode(s), Encode(expected));  // and nothing else differs
}

TEST(NativeFileRead, OldVersionsGiveOneTrackLogAndTheFieldsTheirLayoutHolds) {
    const TobrelFile sample = Sample();
    for (int version : {-100, -1, 0, 2, 3, 4, 5}) {
        SCOPED_TRACE(version);
        const auto image = BuildNativeImage(version, sample);
        TobrelFile s;
        s.SetTimeZoneBias(77);
        ASSERT_TRUE(Read(s, image));
        EXPECT_EQ(s.TimeZoneBias(), version < 3 ? 77 : -32400);  // read from version 3 on
        s.SetTimeZoneBias(-32400);
        EXPECT_EQ(BuildNativeImage(version, s), image);  // every field the layout holds
        ASSERT_EQ(s.GetTrackCount(), 1);
        EXPECT_STREQ(s.GetTrackName(0), "TRACK LOG");
        // headings and distances are computed; the rest is zero where the layout has nothing
        const TrackData* p = s.GetTrackData(0);
        EXPECT_NEAR(p[1].distance, GreatCircleDistance(35.0, 139.0, 35.1, 139.0, 0), 1e-9);
        EXPECT_EQ(+p[2].heading, 90);
        EXPECT_EQ(+p[1].altitude, version >= 5 ? 6.5f : 0.0f);
        const WaypointData& w = *s.GetWaypointData(0);
        EXPECT_EQ(+w.altitude, version >= 5 ? 9.0f : 0.0f);
        EXPECT_EQ(+w.distance, version >= 4 ? 20.0f : 0.0f);
        EXPECT_EQ(+w.symbol, version >= 4 ? 18 : 0);
        EXPECT_STREQ(w.comment, version >= 5 ? "free comment" : "");
        // eight bytes that fill the old field: nothing after them is taken
        EXPECT_STREQ(s.GetWaypointIdent(1), "\x83\x7c\x83\x43\x83\x93\x83\x67");
        EXPECT_STREQ(s.GetRouteHeader(0)->pWaypointData[0].comment,
                     version >= 4 ? "route comment" : "");
    }
}

template <typename T>
bool SamePrefix(const T* a, const T* b, std::size_t n) {
    return n == 0 || std::memcmp(a, b, n * sizeof(T)) == 0;
}

// Every prefix of a valid file reads without touching bytes past its end and
// yields whole records of the file only.
void CheckEveryTruncation(const std::vector<std::uint8_t>& full) {
    TobrelFile whole;
    ASSERT_TRUE(Read(whole, full));
    for (std::size_t len = 0; len < full.size(); ++len) {
        SCOPED_TRACE(len);
        // A separate heap block of exactly len bytes lets ASan see any overread.
        std::vector<std::uint8_t> cut(full.begin(),
                                      full.begin() + static_cast<std::ptrdiff_t>(len));
        cut.shrink_to_fit();
        TobrelFile s;
        EXPECT_EQ(ReadNativeFile(s, std::span<const std::uint8_t>(cut.data(), cut.size())),
                  len >= 108);
        ASSERT_LE(s.GetTrackCount(), whole.GetTrackCount());
        for (int t = 0; t < s.GetTrackCount(); ++t) {
            const auto& a = s.GetTrackHeader(t)->pTrackData;
            ASSERT_LE(a.size(), whole.GetTrackHeader(t)->pTrackData.size());
            EXPECT_TRUE(SamePrefix(a.data(), whole.GetTrackData(t), a.size())) << t;
        }
        const auto count = static_cast<std::size_t>(s.GetWaypointCount());
        ASSERT_LE(s.GetWaypointCount(), whole.GetWaypointCount());
        EXPECT_TRUE(SamePrefix(s.GetWaypointData(0), whole.GetWaypointData(0), count));
        ASSERT_LE(s.GetRouteCount(), whole.GetRouteCount());
        for (int r = 0; r < s.GetRouteCount(); ++r) {
            const auto& a = s.GetRouteHeader(r)->pWaypointData;
            const auto& b = whole.GetRouteHeader(r)->pWaypointData;
            ASSERT_LE(a.size(), b.size());
            EXPECT_TRUE(SamePrefix(a.data(), b.data(), a.size())) << r;
        }
    }
}

TEST(NativeFileHostile, TruncatedAtEveryLength) {
    for (int version : {3, 4, 5, 6, 7}) {
        SCOPED_TRACE(version);
        CheckEveryTruncation(version == 7 ? Encode(Sample()) : BuildNativeImage(version, Sample()));
    }
}

TEST(NativeFileHostile, TruncatedTrackKeepsItsWholePoints) {
    TobrelFile s;
    testing::FillLongTrack(s, 10);
    auto b = Encode(s);
    b.resize(108 + 4 + 32 + 7 * 44 + 20);  // in the middle of the eighth point
    TobrelFile r;
    ASSERT_TRUE(Read(r, b));
    ASSERT_EQ(r.GetTrackCount(), 1);
    EXPECT_EQ(r.GetTrackPointCount(0), 7);
    EXPECT_STREQ(r.GetTrackName(0), "LONG");
    EXPECT_EQ(r.GetWaypointCount(), 0);
}

TEST(NativeFileHostile, HugeCountsAndStrayOffsetsAreNotTrusted) {
    // Counts far beyond what the file could hold must not make the reader
    // allocate for them (ASan would abort on a multi-gigabyte request); an
    // offset of 0 or outside the file skips its section; either way the other
    // sections are still read whole.
    const auto good = Encode(Sample());
    const int size = static_cast<int>(good.size());
    const auto wpAt = static_cast<std::size_t>(ReadInt32(good, testing::kWaypointOffsetField));
    const auto rtAt = static_cast<std::size_t>(ReadInt32(good, testing::kRouteOffsetField));
    const std::vector<std::int32_t> offsets = {0, -108, -1, size, INT32_MAX};
    const std::vector<std::int32_t> counts = {INT32_MAX, INT32_MAX / 44, 0x10000000, -1, INT32_MIN};
    const struct {
        const char* what;
        std::size_t at;
        const std::vector<std::int32_t>& values;
        int section;  // 0 tracks, 1 waypoints, 2 routes
        int limit;    // most records the section may then give
    } fields[] = {{"track offset", testing::kTrackOffsetField, offsets, 0, 0},
                  {"waypoint offset", testing::kWaypointOffsetField, offsets, 1, 0},
                  {"route offset", testing::kRouteOffsetField, offsets, 2, 0},
                  {"track count", 108, counts, 0, 3},
                  {"first track's point count", 108 + 4 + 24, counts, 0, 1},
                  {"waypoint count", wpAt, counts, 1, size / 116},
                  {"route count", rtAt, counts, 2, size / 72},
                  {"first route's waypoint count", rtAt + 4, counts, 2, 2}};
    const int whole[] = {2, 3, 2};
    for (const auto& f : fields) {
        for (std::int32_t v : f.values) {
            SCOPED_TRACE(std::string(f.what) + " " + std::to_string(v));
            auto b = good;
            WriteInt32(b, f.at, v);
            TobrelFile s;
            ASSERT_TRUE(Read(s, b));
            const int got[] = {s.GetTrackCount(), s.GetWaypointCount(), s.GetRouteCount()};
            // a negative count gives nothing beyond what the file holds
            const int limit = v < 0 ? std::min(f.limit, whole[f.section]) : f.limit;
            for (int k = 0; k < 3; ++k)
                EXPECT_TRUE(k == f.section ? got[k] <= limit : got[k] == whole[k])
                    << k << ": " << got[k];
            for (int t = 0; t < s.GetTrackCount(); ++t)
                EXPECT_LE(s.GetTrackPointCount(t), size / 44);
            for (int r = 0; r < s.GetRouteCount(); ++r)
                EXPECT_LE(s.GetRouteWaypointCount(r), size / 116);
        }
    }
}

// A count larger than its section gives that section's whole records and
// nothing read from the section after it.
TEST(NativeFileHostile, InflatedCountsStopAtTheNextSection) {
    const auto good = Encode(Sample());
    TobrelFile whole;
    ASSERT_TRUE(Read(whole, good));
    const auto wpAt = static_cast<std::size_t>(ReadInt32(good, testing::kWaypointOffsetField));
    const auto rtAt = static_cast<std::size_t>(ReadInt32(good, testing::kRouteOffsetField));
    const std::size_t secondTrackPoints = 108 + 4 + 32 + 4 * 44 + 24;
    ASSERT_EQ(ReadInt32(good, secondTrackPoints), 2);
    const struct {
        const char* what;
        std::size_t at;
    } rows[] = {{"track count", 108},
                {"last track's point count", secondTrackPoints},
                {"waypoint count", wpAt},
                {"route count", rtAt}};
    for (const auto& row : rows) {
        for (std::int32_t v : {ReadInt32(good, row.at) + 1, 1000, INT32_MAX}) {
            SCOPED_TRACE(std::string(row.what) + " " + std::to_string(v));
            auto b = good;
            WriteInt32(b, row.at, v);
            TobrelFile s;
            ASSERT_TRUE(Read(s, b));
            ASSERT_EQ(s.GetTrackCount(), whole.GetTrackCount());
            for (int t = 0; t < s.GetTrackCount(); ++t) {
                ASSERT_EQ(s.GetTrackPointCount(t), whole.GetTrackPointCount(t));
                EXPECT_EQ(std::memcmp(s.GetTrackData(t), whole.GetTrackData(t),
                                      sizeof(TrackData) * s.GetTrackPointCount(t)),
                          0);
            }
            ASSERT_EQ(s.GetWaypointCount(), whole.GetWaypointCount());
            EXPECT_EQ(std::memcmp(s.GetWaypointData(0), whole.GetWaypointData(0),
                                  sizeof(WaypointData) * s.GetWaypointCount()),
                      0);
            // The route section is the last: its headers may be followed by
            // anything, but the sections before it are whole.
            if (row.at != rtAt) {
                ASSERT_EQ(s.GetRouteCount(), whole.GetRouteCount());
                EXPECT_EQ(s.GetRouteWaypointCount(0), 2);
            }
        }
    }
}

// Bytes this process has read from files so far.
long long BytesRead() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return -1;
}

// The file is looked at before it is read: what is not a regular file, what
// no native file can be and a header of another kind are refused at once.
TEST(NativeFileHostile, OnlyRegularFilesOfAPossibleSizeWithAHeaderAreRead) {
    char pattern[] = "/tmp/tobrel_native_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string fifo = dir + "/fifo.tb2", huge = dir + "/huge.tb2", big = dir + "/big.tb2";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Sparse files: as large as they say, without the disk space.
    const auto sparse = [](const std::string& path, off_t size,
                           const std::vector<std::uint8_t>& head) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(head.data()),
                   static_cast<std::streamsize>(head.size()));
        return ::truncate(path.c_str(), size) == 0;
    };
    ASSERT_TRUE(sparse(huge, off_t{0x80000000}, Encode(Sample())));
    auto header = Encode(TobrelFile{});
    header.resize(kNativeHeaderSize);
    WriteInt32(header, testing::kTrackOffsetField, 0);
    WriteInt32(header, testing::kWaypointOffsetField, 0);
    WriteInt32(header, testing::kRouteOffsetField, 0);
    ASSERT_TRUE(sparse(big, off_t{1} << 30, header));
    auto other = header;
    other[0] = 'X';
    const std::string notNative = dir + "/other.tb2";
    ASSERT_TRUE(sparse(notNative, off_t{1} << 30, other));
    const struct {
        std::string path;
        bool ok;
        NativeReadError error;
    } rows[] = {{"/dev/zero", false, NativeReadError::kNotARegularFile},
                {fifo, false, NativeReadError::kNotARegularFile},
                {dir, false, NativeReadError::kNotARegularFile},
                {dir + "/missing.tb2", false, NativeReadError::kCannotOpen},
                {huge, false, NativeReadError::kTooLarge},
                {notNative, false, NativeReadError::kNotNativeFile},
                // A header without sections: nothing after it is read.
                {big, true, NativeReadError::kNone}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        TobrelFile s;
        NativeReadError error = NativeReadError::kNone;
        const long long before = BytesRead();
        EXPECT_EQ(ReadNativeFile(s, row.path, &error), row.ok);
        EXPECT_EQ(error, row.error);
        EXPECT_LT(BytesRead() - before, 1 << 20);
        EXPECT_EQ(s.GetTrackCount() + s.GetWaypointCount() + s.GetRouteCount(), 0);
    }
    // The map server script reader refuses the same.
    for (const std::string& path : {std::string("/dev/zero"), fifo, dir}) {
        TobrelFile s;
        EXPECT_FALSE(ReadMapServerScript(s, path, kReadLines)) << path;
    }
    std::filesystem::remove_all(dir);
}

TEST(NativeFileHostile, UnterminatedNamesStayInsideTheirFields) {
    auto b = Encode(Sample());
    const auto wp = static_cast<std::size_t>(ReadInt32(b, testing::kWaypointOffsetField)) + 4;
    const auto rt = static_cast<std::size_t>(ReadInt32(b, testing::kRouteOffsetField)) + 4;
    // the first name of each kind filled to the end of its field, without a terminator
    const std::pair<std::size_t, std::size_t> fields[] = {
        {112, 24}, {wp + 28, 24}, {wp + 52, 64}, {rt + 4, 64}, {rt + 2 * 72 + 28, 24}};
    for (const auto& [at, size] : fields)
        std::memset(b.data() + at, 'X', size);
    TobrelFile r;
    ASSERT_TRUE(Read(r, b));
    const std::string x23(23, 'X'), x63(63, 'X');
    EXPECT_EQ(r.GetTrackName(0), x23);
    EXPECT_EQ(r.GetWaypointIdent(0), x23);
    EXPECT_EQ(r.GetWaypointComment(0), x63);
    EXPECT_EQ(r.GetRouteName(0), x63);
    EXPECT_EQ(r.GetRouteWaypointIdent(0, 0), x23);
    EXPECT_STREQ(r.GetTrackName(1), "T2");  // the next record starts where it should
}

}  // namespace
}  // namespace tobrel
