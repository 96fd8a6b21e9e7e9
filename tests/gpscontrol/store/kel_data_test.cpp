#include "store/kel_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <tuple>

#include "store/messages.h"
#include "store/record_growth.h"

using namespace sorvane;

namespace {

using Messages = std::vector<std::pair<std::string, std::string>>;
using Position = std::tuple<int, double, double, double>;  // result, latitude, longitude, altitude

// 0x93 0x8C is one double-byte character.
const std::string kKanji = "\x93\x8c";

Position TrackPosition(const KelData& s, int track, int segment, int point) {
    Position p{-1, 7.0, 7.0, 7.0};
    auto& [result, lat, lon, alt] = p;
    result = s.GetTrackPosition(track, segment, point, lat, lon, alt);
    return p;
}

Position Transform(const KelData& s, bool intoLocal, double lat, double lon, double alt) {
    Position p{-1, 7.0, 7.0, 7.0};
    auto& [result, outLat, outLon, outAlt] = p;
    result = intoLocal ? s.TransformDatumWGS84IntoLocal(lat, lon, alt, outLat, outLon, outAlt)
                       : s.TransformDatumLocalIntoWGS84(lat, lon, alt, outLat, outLon, outAlt);
    return p;
}

// Track T with one point, waypoints A and B, route R with W1 and W2.
void Fill(KelData& s) {
    ASSERT_EQ(s.AddTrack("T"), 1);
    ASSERT_EQ(s.AddTrackSegment(0), 1);
    ASSERT_EQ(s.AddTrackData(0, 0, 35.0, 139.0, 10.0, 42), 1);
    ASSERT_EQ(s.AddWaypoint("A", "a", 35.0, 139.0, 10.0, 5, 1, 20.0), 1);
    ASSERT_EQ(s.AddWaypoint("B", "b", 36.0, 140.0, 10.0, 6, 2, 30.0), 1);
    ASSERT_EQ(s.AddRoute("R"), 1);
    ASSERT_EQ(s.AddRouteWaypoint(0, "W1", "c", 35.0, 139.0, 10.0, 7, 3, 40.0), 1);
    ASSERT_EQ(s.AddRouteWaypoint(0, "W2", "d", 35.0, 139.0, 10.0, 8, 4, 50.0), 1);
}

class KelDataTest : public ::testing::Test {
  protected:
    KelDataTest() {
        SetMessageHandler([this](std::string_view text, std::string_view caption) {
            messages.emplace_back(text, caption);
        });
    }
    ~KelDataTest() override { SetMessageHandler(nullptr); }

    Messages messages;
    KelData store;
};

}  // namespace

// Cut at the byte limit, never inside a double-byte character, zero behind.
TEST(KelDataText, FieldsAreCutAtTheirLimitWithoutSplittingACharacter) {
    const auto field = [](const auto& f) { return std::string(f, sizeof f); };
    const auto padded = [](const std::string& t, std::size_t n) {
        return (t + std::string(n, '\0')).substr(0, n);
    };
    for (const std::size_t limit : {kNameMax, kCommentMax}) {
        const std::string a(limit, 'a');
        // The character would end one byte past the limit, then fits exactly.
        const std::pair<std::string, std::string> cases[] = {
            {a + "xyz", a},
            {a.substr(1) + kKanji, a.substr(1)},
            {a.substr(2) + kKanji + "b", a.substr(2) + kKanji},
        };
        for (const auto& [input, kept] : cases) {
            KelData s;
            ASSERT_EQ(s.AddTrack(input), 1);
            ASSERT_EQ(s.AddWaypoint(input, input, 0, 0, 0, 0, 0, 0), 1);
            ASSERT_EQ(s.AddRoute(input), 1);
            const std::string name = limit == kNameMax ? kept : a.substr(0, kNameMax);
            const std::string comment = limit == kCommentMax ? kept : input;
            EXPECT_EQ(
                std::tuple(field(s.Tracks()[0].name), field(s.Waypoints()[0].name),
                           field(s.Waypoints()[0].comment), field(s.Routes()[0].name)),
                std::tuple(padded(name, kNameMax + 1), padded(name, kNameMax + 1),
                           padded(comment, kCommentMax + 1), padded(comment, kCommentMax + 1)))
                << "limit " << limit << ", " << input.size() << " bytes";
        }
    }
}

TEST_F(KelDataTest, TrackPointsNeedASegmentAndCountOverSegments) {
    ASSERT_EQ(store.AddTrack("T"), 1);
    EXPECT_EQ(std::tuple(store.AddTrackData(0, 0, 35.0, 139.0, 0.0, 1), store.GetTrackDataCount(0)),
              std::tuple(0, 0));
    const int sizes[] = {3, 0, 5};
    for (int s = 0; s < 3; ++s) {
        ASSERT_EQ(store.AddTrackSegment(0), 1);
        for (int p = 0; p < sizes[s]; ++p)
            ASSERT_EQ(store.AddTrackData(0, s, 35.0 + p, 139.0, 0.0, 0xFFFFFF00u + 16u * s + p), 1);
    }
    // Times are kept exactly.
    EXPECT_EQ(std::tuple(store.GetTrackName(0), store.GetTrackSegmentCount(0),
                         store.GetTrackDataCount(0), store.GetTrackSegmentDataCount(0, 0),
                         store.GetTrackSegmentDataCount(0, 1), store.GetTrackSegmentDataCount(0, 2),
                         store.GetTrackUnixTime(0, 0, 2), store.GetTrackUnixTime(0, 2, 4)),
              std::tuple("T", 3, 8, 3, 0, 5, 0xFFFFFF02u, 0xFFFFFF24u));
}

TEST_F(KelDataTest, BadIndexesGiveEachOperationsInvalidValueAndChangeNothing) {
    Fill(store);
    for (int t : {-1, 1})
        EXPECT_EQ(std::tuple(store.GetTrackName(t), store.GetTrackSegmentCount(t),
                             store.GetTrackDataCount(t), store.AddTrackSegment(t)),
                  std::tuple("", 0, 0, 0))
            << "track " << t;
    const int badSegments[][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (const auto& [t, s] : badSegments)
        EXPECT_EQ(std::tuple(store.GetTrackSegmentDataCount(t, s),
                             store.AddTrackData(t, s, 1.0, 2.0, 3.0, 4)),
                  std::tuple(0, 0))
            << "segment " << t << "," << s;
    const int badPoints[][3] = {{-1, 0, 0}, {1, 0, 0},  {0, -1, 0},
                                {0, 1, 0},  {0, 0, -1}, {0, 0, 1}};
    for (const auto& [t, s, p] : badPoints)
        EXPECT_EQ(std::tuple(TrackPosition(store, t, s, p), store.GetTrackUnixTime(t, s, p)),
                  std::tuple(Position(0, 0.0, 0.0, 0.0), 0u))
            << "point " << t << "," << s << "," << p;
    for (int i : {-1, 2, 5})
        EXPECT_EQ(std::tuple(store.GetWaypointID(i), store.GetWaypointComment(i),
                             store.GetWaypointLatitude(i), store.GetWaypointLongitude(i),
                             store.GetWaypointAltitude(i), store.GetWaypointDst(i),
                             store.GetWaypointSmbl(i), store.GetWaypointDspl(i)),
                  std::tuple("", "", -9999.9, -9999.9, -9999.9, -1.0, 0, -1))
            << "waypoint " << i;
    for (int r : {-1, 1})
        EXPECT_EQ(std::tuple(store.GetRouteName(r), store.GetRouteWaypointCount(r),
                             store.AddRouteWaypoint(r, "X", "", 0, 0, 0, 0, 0, 0)),
                  std::tuple("", 0, 0))
            << "route " << r;
    // The display mode is 0 here, not -1 as for waypoints.
    const int badRouteWaypoints[][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 2}};
    for (const auto& [r, w] : badRouteWaypoints)
        EXPECT_EQ(
            std::tuple(store.GetRouteWaypointID(r, w), store.GetRouteWaypointComment(r, w),
                       store.GetRouteWaypointLatitude(r, w), store.GetRouteWaypointLongitude(r, w),
                       store.GetRouteWaypointAltitude(r, w), store.GetRouteWaypointDst(r, w),
                       store.GetRouteWaypointSmbl(r, w), store.GetRouteWaypointDspl(r, w)),
            std::tuple("", "", -9999.9, -9999.9, -9999.9, -1.0, 0, 0))
            << "route waypoint " << r << "," << w;
    EXPECT_EQ(std::tuple(store.GetTrackDataCount(0), store.GetTrackUnixTime(0, 0, 0),
                         store.GetWaypointDspl(1), store.GetRouteWaypointDspl(0, 1)),
              std::tuple(1, 42u, 2, 4));
}

// Name and comment cut, conversion and proximity as f32 included.
TEST_F(KelDataTest, RouteWaypointIsBuiltAndReadAsAWaypoint) {
    const std::string name(30, 'N'), comment(70, 'C');
    ASSERT_EQ(store.AddWaypoint(name, comment, 35.0, 139.0, 10.0, 16384, 255, 1.1), 1);
    ASSERT_EQ(store.AddRoute("R"), 1);
    ASSERT_EQ(store.AddRouteWaypoint(0, name, comment, 35.0, 139.0, 10.0, 16384, 255, 1.1), 1);
    // Built byte for byte alike, and kept apart from the waypoints.
    EXPECT_EQ(std::tuple(std::memcmp(&store.Waypoints()[0], &store.Routes()[0].waypoints[0],
                                     sizeof(WaypointRecord)),
                         store.GetWaypointCount(), store.Routes()[0].number),
              std::tuple(0, 1, 0));
    const auto fields =
        std::tuple(store.GetWaypointID(0), store.GetWaypointComment(0), store.GetWaypointSmbl(0),
                   store.GetWaypointDspl(0), store.GetWaypointDst(0));
    EXPECT_EQ(fields, std::tuple(std::string(23, 'N'), std::string(63, 'C'), 16384, 255,
                                 static_cast<double>(1.1f)));  // proximity kept as f32
    EXPECT_EQ(std::tuple(store.GetRouteWaypointID(0, 0), store.GetRouteWaypointComment(0, 0),
                         store.GetRouteWaypointSmbl(0, 0), store.GetRouteWaypointDspl(0, 0),
                         store.GetRouteWaypointDst(0, 0)),
              fields);
    EXPECT_EQ(
        std::tuple(store.GetRouteWaypointLatitude(0, 0), store.GetRouteWaypointLongitude(0, 0),
                   store.GetRouteWaypointAltitude(0, 0)),
        std::tuple(store.GetWaypointLatitude(0), store.GetWaypointLongitude(0),
                   store.GetWaypointAltitude(0)));
}

TEST_F(KelDataTest, DeleteAllEmptiesEachCollection) {
    Fill(store);
    store.DeleteTrackAll();
    store.DeleteWaypointAll();
    store.DeleteRouteAll();
    EXPECT_EQ(std::tuple(store.GetTrackCount(), store.GetWaypointCount(), store.GetRouteCount(),
                         store.AddTrackSegment(0), store.GetRouteWaypointID(0, 0)),
              std::tuple(0, 0, 0, 0, ""));
}

TEST_F(KelDataTest, FailedAddsLeaveTheStoreAsItWasAndSayWhy) {
    Fill(store);
    const std::vector<WaypointRecord> waypoints = store.Waypoints();
    {
        ScopedAppendFailure fail;
        EXPECT_EQ(store.AddTrack("T2"), 0);
        EXPECT_EQ(store.AddTrackSegment(0), 0);
        EXPECT_EQ(store.AddTrackData(0, 0, 1.0, 2.0, 3.0, 4), 0);
        EXPECT_EQ(store.AddWaypoint("W2", "", 1.0, 2.0, 3.0, 0, 0, 0.0), 0);
        EXPECT_EQ(store.AddRoute("R2"), 0);
        EXPECT_EQ(store.AddRouteWaypoint(0, "RW2", "", 1.0, 2.0, 3.0, 0, 0, 0.0), 0);
    }
    Messages expected;
    for (const char* op : {"AddTrack", "AddTrackSegment", "AddTrackData", "AddWaypoint", "AddRoute",
                           "AddRouteWaypoint"})
        expected.emplace_back("Memory allocation", std::string("KelData::") + op);
    EXPECT_EQ(messages, expected);
    ASSERT_EQ(
        std::tuple(store.GetTrackCount(), store.GetTrackSegmentCount(0), store.GetTrackDataCount(0),
                   store.GetTrackUnixTime(0, 0, 0), store.GetWaypointCount(), store.GetRouteCount(),
                   store.GetRouteWaypointCount(0)),
        std::tuple(1, 1, 1, 42u, 2, 1, 2));
    EXPECT_EQ(std::memcmp(store.Waypoints().data(), waypoints.data(), sizeof(WaypointRecord) * 2),
              0);

    EXPECT_EQ(store.AddTrack("T2"), 1);
}

// A download may fill a text field completely; reading must not run past it.
TEST_F(KelDataTest, ReplacedCollectionsAreReadThroughTheQueries) {
    std::vector<TrackRecord> tracks(2);
    std::memset(tracks[1].name, 'Z', sizeof tracks[1].name);
    tracks[1].segments.resize(2);
    tracks[1].segments[1].points.push_back({36.0, 140.0, 12.5, 77});
    store.ReplaceTracks(std::move(tracks));
    EXPECT_EQ(std::tuple(store.GetTrackName(1), store.GetTrackDataCount(1),
                         store.GetTrackUnixTime(1, 1, 0)),
              std::tuple(std::string(24, 'Z'), 1, 77u));

    std::vector<WaypointRecord> waypoints(3);
    std::memset(waypoints[2].name, 'N', sizeof waypoints[2].name);
    std::memset(waypoints[2].comment, 'C', sizeof waypoints[2].comment);
    waypoints[2].display = 9;
    store.ReplaceWaypoints(std::move(waypoints));
    EXPECT_EQ(
        std::tuple(store.GetWaypointID(2), store.GetWaypointComment(2), store.GetWaypointDspl(2)),
        std::tuple(std::string(24, 'N'), std::string(64, 'C'), 9));

    store.ReplaceRoutes(std::vector<RouteRecord>(2));
    EXPECT_EQ(store.GetRouteCount(), 2);
}

TEST_F(KelDataTest, SetProductIdAcceptsOnlyKnownProducts) {
    EXPECT_EQ(store.GetProductID(), 119);
    EXPECT_EQ(store.SetProductID(96), 1);
    EXPECT_EQ(std::tuple(store.GetWaypointType(), store.IsNewerFamily()), std::tuple(4103, false));
    EXPECT_EQ(store.SetProductID(999), 0);
    EXPECT_EQ(store.GetProductID(), 96);
    EXPECT_EQ(store.SetProductID(130), 1);
    EXPECT_EQ(std::tuple(store.IsNewerFamily(), store.GetRouteHeaderType()),
              std::tuple(true, 4202));
    EXPECT_EQ(store.SetProductID(105), 1);
    EXPECT_EQ(store.GetCharacterSet(), 2);
    // Identification makes an unknown receiver current as it is.
    store.SetCurrentProductId(500);
    EXPECT_EQ(std::tuple(store.GetProductID(), store.GetWaypointType(), store.GetRouteHeaderType(),
                         store.GetCharacterSet()),
              std::tuple(500, 4101, 4201, 1));
}

TEST_F(KelDataTest, SymbolsFollowTheCurrentProduct) {
    // product, count, name of entry 0, name of 18, number of "Zoo"
    const std::tuple<int, int, const char*, const char*, int> rows[] = {
        {87, 16, "anchor", "Waypoint dot", 18},       // 4103
        {119, 126, "Airport", "Waypoint dot", 8219},  // 4104
        {41, 0, "", "", -1},                          // 4101
    };
    for (const auto& [product, count, first, dot, zoo] : rows) {
        ASSERT_EQ(store.SetProductID(product), 1);
        EXPECT_EQ(std::tuple(store.GetWaypointSymbolCount(), store.GetWaypointSymbolName(0),
                             store.GetWaypointSymbolName(-1), store.GetWaypointSymbolName(count),
                             store.toWaypointSymbolName(18), store.toWaypointSymbolNo("Zoo")),
                  std::tuple(count, first, "", "", dot, zoo))
            << "product " << product;
    }
}

// ---- datum ---------------------------------------------------------------------

TEST_F(KelDataTest, PositionsAreStoredInWgs84AndReadInTheSelectedDatum) {
    Fill(store);
    const auto wgs = MapDatum().localToWgs84(36.0, 140.0, 10.0);
    ASSERT_TRUE(wgs);
    const WaypointRecord& w = store.Waypoints()[1];
    EXPECT_EQ(std::tuple(w.latitude, w.longitude, w.altitude),
              std::tuple(wgs->latitude, wgs->longitude, wgs->height));
    EXPECT_NEAR(store.GetWaypointLatitude(1), 36.0, 1e-6);
    EXPECT_NEAR(store.GetWaypointLongitude(1), 140.0, 1e-6);
    EXPECT_NEAR(store.GetWaypointAltitude(1), 10.0, 0.1);
    // A track point takes the same way in and out as waypoint A at its place.
    const TrackPoint& p = store.Tracks()[0].segments[0].points[0];
    const WaypointRecord& a = store.Waypoints()[0];
    EXPECT_EQ(std::tuple(p.latitude, p.longitude, p.altitude),
              std::tuple(a.latitude, a.longitude, a.altitude));
    EXPECT_EQ(TrackPosition(store, 0, 0, 0),
              Position(1, store.GetWaypointLatitude(0), store.GetWaypointLongitude(0),
                       store.GetWaypointAltitude(0)));

    store.SelectDatumByName("WGS 84");
    EXPECT_EQ(std::tuple(store.GetWaypointLatitude(1), store.GetWaypointLongitude(1),
                         store.GetWaypointAltitude(1)),
              std::tuple(w.latitude, w.longitude, w.altitude));
}

TEST_F(KelDataTest, AbsentAltitudeAndFailedConversionKeepTheValuesGiven) {
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, kNoAltitude, 0, 0, 0.0), 1);
    EXPECT_EQ(store.Waypoints()[0].altitude, kNoAltitude);
    EXPECT_NE(store.Waypoints()[0].latitude, 35.0);
    EXPECT_EQ(store.GetWaypointAltitude(0), kNoAltitude);
    EXPECT_NEAR(store.GetWaypointLatitude(0), 35.0, 1e-6);
    // A conversion that fails leaves the values as given.
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, HUGE_VAL, 0, 0, 0.0), 1);
    EXPECT_EQ(std::tuple(store.Waypoints()[1].latitude, store.Waypoints()[1].longitude),
              std::tuple(35.0, 139.0));
    EXPECT_EQ(std::tuple(store.GetWaypointLatitude(1), store.GetWaypointLongitude(1),
                         store.GetWaypointAltitude(1)),
              std::tuple(35.0, 139.0, HUGE_VAL));
    EXPECT_EQ(Transform(store, true, 35.0, 139.0, HUGE_VAL), Position(0, 35.0, 139.0, HUGE_VAL));
    EXPECT_EQ(Transform(store, false, 35.0, 139.0, -HUGE_VAL), Position(0, 35.0, 139.0, -HUGE_VAL));
    EXPECT_EQ(store.CalcDistance(NAN, 0.0, 1.0, 1.0), 0.0);
}

// Positions without an altitude (kNoAltitude, the 1.0e25 a newer-family track
// point carries for none) convert at height 0 both ways and keep the value.
TEST_F(KelDataTest, PositionsWithoutAltitudeConvertAtHeightZero) {
    const MapDatum datum;
    const auto local = datum.wgs84ToLocal(35.6, 139.7, 0.0);
    const auto wgs = datum.localToWgs84AtHeightZero(35.6, 139.7);
    ASSERT_TRUE(local && wgs);
    const double wireNone = static_cast<double>(1.0e25f);
    for (const double none : {kNoAltitude, wireNone}) {
        SCOPED_TRACE(none);
        // What a download stores, read out.
        TrackRecord track;
        track.segments.resize(1);
        track.segments[0].points.push_back({35.6, 139.7, none, 7});
        std::vector<TrackRecord> tracks(1, track);
        store.ReplaceTracks(std::move(tracks));
        EXPECT_EQ(TrackPosition(store, 0, 0, 0),
                  Position(1, local->latitude, local->longitude, none));
        WaypointRecord w;
        w.latitude = 35.6;
        w.longitude = 139.7;
        w.altitude = none;
        store.ReplaceWaypoints({w});
        EXPECT_EQ(std::tuple(store.GetWaypointLatitude(0), store.GetWaypointLongitude(0),
                             store.GetWaypointAltitude(0)),
                  std::tuple(local->latitude, local->longitude, none));
        // And what a host adds.
        store.DeleteTrackAll();
        store.DeleteWaypointAll();
        ASSERT_EQ(store.AddTrack("T"), 1);
        ASSERT_EQ(store.AddTrackSegment(0), 1);
        ASSERT_EQ(store.AddTrackData(0, 0, 35.6, 139.7, none, 7), 1);
        ASSERT_EQ(store.AddWaypoint("W", "", 35.6, 139.7, none, 0, 0, 0.0), 1);
        ASSERT_EQ(store.AddRoute("R"), 1);
        ASSERT_EQ(store.AddRouteWaypoint(0, "W", "", 35.6, 139.7, none, 0, 0, 0.0), 1);
        const TrackPoint& p = store.Tracks()[0].segments[0].points[0];
        for (const auto& [lat, lon, alt] :
             {std::tuple(p.latitude, p.longitude, p.altitude),
              std::tuple(store.Waypoints()[0].latitude, store.Waypoints()[0].longitude,
                         store.Waypoints()[0].altitude),
              std::tuple(store.Routes()[0].waypoints[0].latitude,
                         store.Routes()[0].waypoints[0].longitude,
                         store.Routes()[0].waypoints[0].altitude)}) {
            EXPECT_EQ(std::tuple(lat, lon, alt), std::tuple(wgs->latitude, wgs->longitude, none));
        }
        store.DeleteRouteAll();
    }
    // A measured altitude, however low or high, is a height.
    store.DeleteWaypointAll();
    ASSERT_EQ(store.AddWaypoint("D", "", 35.6, 139.7, -400.0, 0, 0, 0.0), 1);
    ASSERT_EQ(store.AddWaypoint("E", "", 35.6, 139.7, 8848.0, 0, 0, 0.0), 1);
    const auto low = datum.localToWgs84(35.6, 139.7, -400.0);
    const auto high = datum.localToWgs84(35.6, 139.7, 8848.0);
    EXPECT_EQ(store.Waypoints()[0].altitude, low->height);
    EXPECT_EQ(store.Waypoints()[1].altitude, high->height);
    EXPECT_NE(store.Waypoints()[0].latitude, store.Waypoints()[1].latitude);
}

TEST_F(KelDataTest, ForwardsToTheDatumObject) {
    EXPECT_EQ(std::tuple(store.GetDatumCount(), store.SelectDatumByName("WGS 84"),
                         store.SelectDatumByName("tokyo")),
              std::tuple(124, 121, 116));
    MapDatum datum;
    for (int index : {0, 121, 123, 1000}) {
        SCOPED_TRACE(index);
        store.SelectDatum(index);
        datum.selectByIndex(index);
        const auto local = datum.wgs84ToLocal(35.0, 139.0, 0.0);
        const auto wgs = datum.localToWgs84(35.0, 139.0, 0.0);
        ASSERT_TRUE(local && wgs);
        EXPECT_EQ(Transform(store, true, 35.0, 139.0, 0.0),
                  Position(1, local->latitude, local->longitude, local->height));
        EXPECT_EQ(Transform(store, false, 35.0, 139.0, 0.0),
                  Position(1, wgs->latitude, wgs->longitude, wgs->height));
        EXPECT_EQ(
            std::tuple(store.GetSelectedDatumNumber(), store.GetDatumName(),
                       store.GetEntryDatumName(index), store.GetEntryDatumName2(index),
                       store.GetMapDatumDeltaA(), store.GetMapDatumDeltaF(),
                       store.GetMapDatumDeltaX(), store.GetMapDatumDeltaY(),
                       store.GetMapDatumDeltaZ(), store.CalcDistance(35.0, 139.0, 36.0, 140.0)),
            std::tuple(datum.selectedIndex(), datum.selectedName(), datum.entryName(index),
                       datum.entryEllipsoidName(index), datum.deltaA(), datum.deltaF(),
                       datum.deltaX(), datum.deltaY(), datum.deltaZ(),
                       *datum.distance(35.0, 139.0, 36.0, 140.0)));
    }
    EXPECT_TRUE(messages.empty());
}

// Whether the factory gives nothing or runs out of memory, the store says so
// once and goes on with positions passing unchanged.
TEST_F(KelDataTest, WithoutDatumObjectPositionsPassUnchanged) {
    const KelData::DatumFactory factories[] = {
        [] { return std::unique_ptr<MapDatum>(); },
        []() -> std::unique_ptr<MapDatum> { throw std::bad_alloc(); },
    };
    for (const auto& factory : factories) {
        messages.clear();
        KelData s(factory);
        EXPECT_EQ(messages, (Messages{{"Can't create MapDatum object", "ERROR"}}));
        Fill(s);
        EXPECT_EQ(s.Waypoints()[0].latitude, 35.0);
        EXPECT_EQ(std::tuple(s.GetWaypointLatitude(0), s.GetWaypointLongitude(0),
                             s.GetWaypointAltitude(0)),
                  std::tuple(35.0, 139.0, 10.0));
        EXPECT_EQ(TrackPosition(s, 0, 0, 0), Position(1, 35.0, 139.0, 10.0));
        EXPECT_EQ(Transform(s, true, 35.0, 139.0, 10.0), Position(0, 35.0, 139.0, 10.0));
        EXPECT_EQ(Transform(s, false, 35.0, 139.0, 10.0), Position(0, 35.0, 139.0, 10.0));
        EXPECT_EQ(std::tuple(s.CalcDistance(0.0, 0.0, 0.0, 1.0), s.GetMapDatumDeltaA(),
                             s.GetMapDatumDeltaF(), s.GetMapDatumDeltaX(), s.GetMapDatumDeltaY(),
                             s.GetMapDatumDeltaZ()),
                  std::tuple(0.0, 0.0, 0.0, 0.0, 0.0, 0.0));
        s.SelectDatum(3);  // nothing to select, nothing breaks
        EXPECT_EQ(std::tuple(s.HasDatum(), s.GetDatumCount(), s.GetSelectedDatumNumber(),
                             s.SelectDatumByName("Tokyo"), s.GetDatumName(), s.GetEntryDatumName(0),
                             s.GetEntryDatumName2(0)),
                  std::tuple(false, 0, -1, -1, "", "", ""));
        EXPECT_EQ(messages.size(), 1u);
    }
}
