#include <gtest/gtest.h>

#include <cmath>
#include <new>

#include "geodesy/map_datum.h"
#include "message_capture.h"
#include "store/kel_data.h"

using namespace sorvane;

namespace {

const std::pair<std::string, std::string> kNoDatumMessage{"Can't create MapDatum object", "ERROR"};

}  // namespace

TEST(KelDataDatum, WaypointAddedInTokyoIsStoredInWgs84AndReadsBack) {
    MessageCapture capture;
    KelData store;
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, 10.0, 0, 0, 0.0), 1);

    const auto wgs = MapDatum("Tokyo").localToWgs84(35.0, 139.0, 10.0);
    ASSERT_TRUE(wgs);
    const WaypointRecord& w = store.Waypoints()[0];
    EXPECT_EQ(w.latitude, wgs->latitude);
    EXPECT_EQ(w.longitude, wgs->longitude);
    EXPECT_EQ(w.altitude, wgs->height);
    EXPECT_GT(std::fabs(w.latitude - 35.0), 1e-3);  // really shifted, by about 350 m

    EXPECT_NEAR(store.GetWaypointLatitude(0), 35.0, 1e-6);
    EXPECT_NEAR(store.GetWaypointLongitude(0), 139.0, 1e-6);
    EXPECT_NEAR(store.GetWaypointAltitude(0), 10.0, 0.1);
}

TEST(KelDataDatum, TrackPointsAndRouteWaypointsConvertBothWays) {
    MessageCapture capture;
    KelData store;
    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 43.0, 141.3, 25.0, 5), 1);
    ASSERT_EQ(store.AddRoute("R"), 1);
    ASSERT_EQ(store.AddRouteWaypoint(0, "RW", "", 26.2, 127.7, 3.0, 0, 0, 0.0), 1);

    const TrackPoint& p = store.Tracks()[0].segments[0].points[0];
    const auto wgs = MapDatum().localToWgs84(43.0, 141.3, 25.0);
    ASSERT_TRUE(wgs);
    EXPECT_EQ(p.latitude, wgs->latitude);
    EXPECT_EQ(p.longitude, wgs->longitude);
    EXPECT_EQ(p.altitude, wgs->height);

    double lat = 0, lon = 0, alt = 0;
    ASSERT_EQ(store.GetTrackPosition(0, 0, 0, lat, lon, alt), 1);
    EXPECT_NEAR(lat, 43.0, 1e-6);
    EXPECT_NEAR(lon, 141.3, 1e-6);
    EXPECT_NEAR(alt, 25.0, 0.1);

    EXPECT_NE(store.Routes()[0].waypoints[0].latitude, 26.2);
    EXPECT_NEAR(store.GetRouteWaypointLatitude(0, 0), 26.2, 1e-6);
    EXPECT_NEAR(store.GetRouteWaypointLongitude(0, 0), 127.7, 1e-6);
    EXPECT_NEAR(store.GetRouteWaypointAltitude(0, 0), 3.0, 0.1);
}

TEST(KelDataDatum, ReadsFollowTheSelectedDatum) {
    MessageCapture capture;
    KelData store;
    store.SelectDatumByName("WGS 84");
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, 10.0, 0, 0, 0.0), 1);
    EXPECT_EQ(store.Waypoints()[0].latitude, 35.0);
    EXPECT_EQ(store.GetWaypointLatitude(0), 35.0);
    store.SelectDatum(116);
    const auto local = MapDatum().wgs84ToLocal(35.0, 139.0, 10.0);
    ASSERT_TRUE(local);
    EXPECT_EQ(store.GetWaypointLatitude(0), local->latitude);
    EXPECT_EQ(store.GetWaypointLongitude(0), local->longitude);
    EXPECT_EQ(store.GetWaypointAltitude(0), local->height);
}

TEST(KelDataDatum, AbsentAltitudeStaysAbsent) {
    MessageCapture capture;
    KelData store;
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, kNoAltitude, 0, 0, 0.0), 1);
    EXPECT_EQ(store.Waypoints()[0].altitude, kNoAltitude);
    EXPECT_NE(store.Waypoints()[0].latitude, 35.0);
    EXPECT_EQ(store.GetWaypointAltitude(0), kNoAltitude);
    EXPECT_NEAR(store.GetWaypointLatitude(0), 35.0, 1e-6);

    // A download's "no altitude" reads back as such too.
    std::vector<WaypointRecord> downloaded(1);
    downloaded[0].latitude = 35.0;
    downloaded[0].longitude = 139.0;
    downloaded[0].altitude = kNoAltitude;
    store.ReplaceWaypoints(std::move(downloaded));
    EXPECT_EQ(store.GetWaypointAltitude(0), kNoAltitude);

    ASSERT_EQ(store.AddRoute("R"), 1);
    ASSERT_EQ(store.AddRouteWaypoint(0, "RW", "", 35.0, 139.0, kNoAltitude, 0, 0, 0.0), 1);
    EXPECT_EQ(store.GetRouteWaypointAltitude(0, 0), kNoAltitude);
}

TEST(KelDataDatum, FailedConversionKeepsValuesAsGiven) {
    MessageCapture capture;
    KelData store;
    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, HUGE_VAL, 0, 0, 0.0), 1);
    EXPECT_EQ(store.Waypoints()[0].latitude, 35.0);
    EXPECT_EQ(store.Waypoints()[0].longitude, 139.0);
    EXPECT_EQ(store.GetWaypointLatitude(0), 35.0);
    EXPECT_EQ(store.GetWaypointLongitude(0), 139.0);
    EXPECT_EQ(store.GetWaypointAltitude(0), HUGE_VAL);

    double lat = 0, lon = 0, alt = 0;
    EXPECT_EQ(store.TransformDatumWGS84IntoLocal(35.0, NAN, 1.0, lat, lon, alt), 0);
    EXPECT_EQ(lat, 35.0);
    EXPECT_TRUE(std::isnan(lon));
    EXPECT_EQ(alt, 1.0);
    EXPECT_EQ(store.TransformDatumLocalIntoWGS84(NAN, 139.0, 2.0, lat, lon, alt), 0);
    EXPECT_TRUE(std::isnan(lat));
    EXPECT_EQ(lon, 139.0);
    EXPECT_EQ(alt, 2.0);
    EXPECT_EQ(store.CalcDistance(NAN, 0.0, 1.0, 1.0), 0.0);
}

TEST(KelDataDatum, ForwardsToTheDatumObject) {
    MessageCapture capture;
    KelData store;
    EXPECT_EQ(store.GetDatumCount(), 124);
    EXPECT_EQ(store.GetSelectedDatumNumber(), 116);
    store.SelectDatum(1000);
    EXPECT_EQ(store.GetDatumName(), "Tokyo");
    EXPECT_EQ(store.GetSelectedDatumNumber(), 116);
    EXPECT_EQ(store.SelectDatumByName("tokyo"), 116);
    EXPECT_EQ(store.SelectDatumByName("WGS 84"), 121);
    EXPECT_EQ(store.GetDatumName(), "WGS 84");
    EXPECT_EQ(store.GetMapDatumDeltaA(), 0.0);
    store.SelectDatum(0);
    EXPECT_EQ(store.GetDatumName(), "Adindan");
    EXPECT_EQ(store.GetMapDatumDeltaA(), -112.145);
    EXPECT_EQ(store.GetEntryDatumName(123), "Zanderij");
    EXPECT_EQ(store.GetEntryDatumName(124), "");
    EXPECT_EQ(store.GetEntryDatumName(-1), "");
    EXPECT_EQ(store.GetEntryDatumName2(116), "Bessel_1841");
    EXPECT_EQ(store.GetEntryDatumName2(124), "");

    store.SelectDatumByName("Tokyo");
    EXPECT_EQ(store.GetMapDatumDeltaA(), 739.845);
    EXPECT_DOUBLE_EQ(store.GetMapDatumDeltaF(), 1.0037483e-5);
    EXPECT_EQ(store.GetMapDatumDeltaX(), -128.0);
    EXPECT_EQ(store.GetMapDatumDeltaY(), 481.0);
    EXPECT_EQ(store.GetMapDatumDeltaZ(), 664.0);

    double lat = 0, lon = 0, alt = 0;
    ASSERT_EQ(store.TransformDatumWGS84IntoLocal(35.0, 139.0, 0.0, lat, lon, alt), 1);
    EXPECT_NEAR(lat, 34.99667, 5e-6);
    EXPECT_NEAR(lon, 139.00306, 5e-6);
    EXPECT_NEAR(alt, -0.47, 0.005);
    double lat2 = 0, lon2 = 0, alt2 = 0;
    ASSERT_EQ(store.TransformDatumLocalIntoWGS84(lat, lon, alt, lat2, lon2, alt2), 1);
    EXPECT_NEAR(lat2, 35.0, 1e-6);
    EXPECT_NEAR(lon2, 139.0, 1e-6);

    EXPECT_EQ(store.CalcDistance(35.0, 139.0, 35.0, 139.0), 0.0);
    EXPECT_NEAR(store.CalcDistance(0.0, 0.0, 0.0, 0.0001), 11.13, 0.005);
    EXPECT_TRUE(capture.messages.empty());
}

TEST(KelDataDatum, WithoutDatumObjectPositionsPassUnchanged) {
    MessageCapture capture;
    KelData store([] { return std::unique_ptr<MapDatum>(); });
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0], kNoDatumMessage);
    EXPECT_FALSE(store.HasDatum());

    ASSERT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, 10.0, 0, 0, 0.0), 1);
    EXPECT_EQ(store.Waypoints()[0].latitude, 35.0);
    EXPECT_EQ(store.GetWaypointLatitude(0), 35.0);
    EXPECT_EQ(store.GetWaypointLongitude(0), 139.0);
    EXPECT_EQ(store.GetWaypointAltitude(0), 10.0);

    ASSERT_EQ(store.AddTrack("T"), 1);
    ASSERT_EQ(store.AddTrackSegment(0), 1);
    ASSERT_EQ(store.AddTrackData(0, 0, 35.0, 139.0, 10.0, 1), 1);
    double lat = 0, lon = 0, alt = 0;
    ASSERT_EQ(store.GetTrackPosition(0, 0, 0, lat, lon, alt), 1);
    EXPECT_EQ(lat, 35.0);
    EXPECT_EQ(lon, 139.0);
    EXPECT_EQ(alt, 10.0);

    EXPECT_EQ(store.TransformDatumWGS84IntoLocal(35.0, 139.0, 10.0, lat, lon, alt), 0);
    EXPECT_EQ(lat, 35.0);
    EXPECT_EQ(lon, 139.0);
    EXPECT_EQ(alt, 10.0);
    lat = lon = alt = 0.0;
    EXPECT_EQ(store.TransformDatumLocalIntoWGS84(35.0, 139.0, 10.0, lat, lon, alt), 0);
    EXPECT_EQ(lat, 35.0);
    EXPECT_EQ(lon, 139.0);
    EXPECT_EQ(alt, 10.0);

    EXPECT_EQ(store.CalcDistance(0.0, 0.0, 0.0, 1.0), 0.0);
    EXPECT_EQ(store.GetMapDatumDeltaA(), 0.0);
    EXPECT_EQ(store.GetMapDatumDeltaF(), 0.0);
    EXPECT_EQ(store.GetMapDatumDeltaX(), 0.0);
    EXPECT_EQ(store.GetMapDatumDeltaY(), 0.0);
    EXPECT_EQ(store.GetMapDatumDeltaZ(), 0.0);
    EXPECT_EQ(store.GetDatumCount(), 0);
    EXPECT_EQ(store.GetSelectedDatumNumber(), -1);
    EXPECT_EQ(store.SelectDatumByName("Tokyo"), -1);
    store.SelectDatum(3);  // nothing to select, nothing breaks
    EXPECT_EQ(store.GetDatumName(), "");
    EXPECT_EQ(store.GetEntryDatumName(0), "");
    EXPECT_EQ(store.GetEntryDatumName2(0), "");
    EXPECT_EQ(capture.messages.size(), 1u);
}

TEST(KelDataDatum, DatumCreationRunningOutOfMemory) {
    MessageCapture capture;
    KelData store([]() -> std::unique_ptr<MapDatum> { throw std::bad_alloc(); });
    EXPECT_FALSE(store.HasDatum());
    ASSERT_EQ(capture.messages.size(), 1u);
    EXPECT_EQ(capture.messages[0], kNoDatumMessage);
    EXPECT_EQ(store.AddWaypoint("W", "", 35.0, 139.0, 10.0, 0, 0, 0.0), 1);
    EXPECT_EQ(store.GetWaypointLatitude(0), 35.0);
}

TEST(KelDataDatum, AnotherDatumCanBeGivenAtConstruction) {
    MessageCapture capture;
    KelData store([] { return MapDatum::Create("WGS 84"); });
    EXPECT_TRUE(capture.messages.empty());
    EXPECT_EQ(store.GetSelectedDatumNumber(), 121);
}
