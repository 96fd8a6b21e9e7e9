// Downloads of tracks, waypoints and routes, for both receiver families.

#include <gtest/gtest.h>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

TEST_F(TransferTest, NewerFamilyTrackDownloadGivesEveryTrackWithItsSegments) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadTrack(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.Tracks().size(), 2u);
    ExpectTrack(store_.Tracks()[0], "ACTIVE LOG", d.tracks[0].points, true);
    ExpectTrack(store_.Tracks()[1], "FERRY", d.tracks[1].points, true);
    EXPECT_EQ(store_.Tracks()[0].segments.size(), 2u);
    // Two headers and twelve points.
    EXPECT_EQ(progress_, (Progress{{0, 14}, {10, 14}}));
    // Every packet acknowledged, transfer complete included.
    ASSERT_TRUE(Sim().WaitForReceived(17, std::chrono::seconds(10)));
    const auto got = Sim().Received();
    ASSERT_EQ(got.size(), 1u + 1u + 14u + 1u);
    EXPECT_EQ(got[0], (gpssim::Packet{10, {6, 0}}));
    EXPECT_EQ(got[1], (gpssim::Packet{6, {27, 0}}));
    EXPECT_EQ(got[2], (gpssim::Packet{6, {99, 0}}));
    EXPECT_EQ(got.back(), (gpssim::Packet{6, {12, 0}}));
}

TEST_F(TransferTest, OlderFamilyTrackDownloadIsOneTrackWithoutAltitude) {
    Start(Receiver(87));
    ASSERT_EQ(store_.SetProductID(87), 1);
    ASSERT_EQ(DownloadTrack(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    std::vector<gpssim::SimTrackPoint> all;
    for (const auto& t : d.tracks) {
        for (std::size_t i = 0; i < t.points.size(); ++i) {
            all.push_back(t.points[i]);
            all.back().newSegment = i == 0 || t.points[i].newSegment;
        }
    }
    ASSERT_EQ(store_.Tracks().size(), 1u);
    ExpectTrack(store_.Tracks()[0], "", all, false);
    EXPECT_EQ(store_.Tracks()[0].segments.size(), 3u);
    EXPECT_EQ(progress_, (Progress{{0, 12}, {10, 12}}));
}

TEST_F(TransferTest, TrackDownloadOf25PointsReportsProgressAtZeroTenAndTwenty) {
    gpssim::Options o = Receiver(87);
    gpssim::DataSet d;
    d.tracks.push_back({"T", {}});
    for (int i = 0; i < 25; ++i)
        d.tracks[0].points.push_back({35.0 + i * 0.01, 139.0 - i * 0.01, 1000u + i, 0.0f, i == 0});
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(87), 1);
    ASSERT_EQ(DownloadTrack(Context()), 1);
    EXPECT_EQ(progress_, (Progress{{0, 25}, {10, 25}, {20, 25}}));
    ASSERT_EQ(store_.Tracks().size(), 1u);
    ExpectTrack(store_.Tracks()[0], "", d.tracks[0].points, false);
}

TEST_F(TransferTest, NewSegmentFlagsSplitTheOlderFamilyTrack) {
    gpssim::Options o = Receiver(41);
    gpssim::DataSet d;
    d.tracks.push_back({"T", {}});
    const bool flags[5] = {true, false, false, true, false};
    for (int i = 0; i < 5; ++i)
        d.tracks[0].points.push_back({-35.5 + i, -139.5 + i, 7000u + i, 0.0f, flags[i]});
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(41), 1);
    ASSERT_EQ(DownloadTrack(Context()), 1);
    ASSERT_EQ(store_.Tracks().size(), 1u);
    const TrackRecord& t = store_.Tracks()[0];
    ASSERT_EQ(t.segments.size(), 2u);
    EXPECT_EQ(t.segments[0].points.size(), 3u);
    EXPECT_EQ(t.segments[1].points.size(), 2u);
    ExpectTrack(t, "", d.tracks[0].points, false);
}

TEST_F(TransferTest, NewerFamilyDownloadWithoutTrackHeadersLeavesNoTracks) {
    // An older receiver's stream read as the newer family: points, no headers.
    Start(Receiver(87));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddTrack("OLD");
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(store_.GetTrackCount(), 0);
}

TEST_F(TransferTest, EmptyOlderFamilyLogGivesOneTrackWithoutSegments) {
    gpssim::Options o = Receiver(87);
    o.data = gpssim::DataSet{};
    Start(o);
    ASSERT_EQ(store_.SetProductID(87), 1);
    store_.AddTrack("OLD");
    ASSERT_EQ(DownloadTrack(Context()), 1);
    ASSERT_EQ(store_.GetTrackCount(), 1);
    EXPECT_EQ(store_.GetTrackName(0), "");
    EXPECT_EQ(store_.GetTrackSegmentCount(0), 0);
    EXPECT_EQ(progress_, (Progress{{0, 0}}));
}

TEST_F(TransferTest, WaypointDownloadInEachOlderLayoutAndTheNewerOne) {
    for (int product : {41, 87, 129, 130}) {
        SCOPED_TRACE(product);
        store_.DeleteWaypointAll();
        progress_.clear();
        Start(Receiver(product));
        ASSERT_EQ(store_.SetProductID(product), 1);
        const int type = store_.GetWaypointType();
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        const gpssim::DataSet d = Sim().Data();
        ASSERT_EQ(store_.Waypoints().size(), d.waypoints.size());
        for (std::size_t i = 0; i < d.waypoints.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectWaypoint(store_.Waypoints()[i], d.waypoints[i], type);
        }
        EXPECT_TRUE(progress_.empty());
    }
}

TEST_F(TransferTest, NewerWaypointAltitudeIsKeptOrBecomesNone) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(store_.Waypoints()[0].altitude, 25.0);
    EXPECT_EQ(store_.Waypoints()[2].altitude, kNoAltitude);
}

TEST_F(TransferTest, WaypointDownloadOfTwelveReportsTenOnce) {
    gpssim::Options o = Receiver(130);
    gpssim::DataSet d;
    for (int i = 0; i < 12; ++i) {
        gpssim::SimWaypoint w;
        w.name = "WP" + std::to_string(i);
        w.latitude = 35.0 + i * 0.1;
        w.longitude = 139.0;
        w.symbol = static_cast<std::uint16_t>(i);
        d.waypoints.push_back(w);
    }
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(progress_, (Progress{{10, 12}}));
    ASSERT_EQ(store_.Waypoints().size(), 12u);
    for (int i = 0; i < 12; ++i)
        ExpectWaypoint(store_.Waypoints()[i], d.waypoints[i], 4108);
}

TEST_F(TransferTest, NewerFamilyRouteDownloadSkipsTheLinks) {
    gpssim::Options o = Receiver(130);
    gpssim::DataSet d = gpssim::BuiltInDataSet();
    d.routes.push_back({9, "SECOND ROUTE", {d.waypoints[2], d.waypoints[0]}});
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        const RouteRecord& got = store_.Routes()[r];
        EXPECT_EQ(got.number, 0);  // the newer family numbers no routes
        EXPECT_EQ(std::string(got.name), d.routes[r].name);
        ASSERT_EQ(got.waypoints.size(), d.routes[r].waypoints.size());
        for (std::size_t i = 0; i < got.waypoints.size(); ++i)
            ExpectWaypoint(got.waypoints[i], d.routes[r].waypoints[i], 4108);
    }
    // Header, three waypoints, two links; header, two waypoints, one link;
    // transfer complete is packet 10.
    EXPECT_EQ(progress_, (Progress{{0, 10}, {10, 10}}));
}

TEST_F(TransferTest, OlderFamilyRouteDownloadKeepsNumbersAndPaddedNames) {
    Start(Receiver(129));
    ASSERT_EQ(store_.SetProductID(129), 1);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 1u);
    const RouteRecord& got = store_.Routes()[0];
    EXPECT_EQ(got.number, 1);
    EXPECT_EQ(std::string(got.name), "BAY WALK" + std::string(63 - 8, ' '));
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(got.waypoints.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        ExpectWaypoint(got.waypoints[i], d.routes[0].waypoints[i], 4104);
}

TEST_F(TransferTest, RouteDownloadWithoutHeadersKeepsTheRoutes) {
    gpssim::Options o = Receiver(87);
    o.data = gpssim::DataSet{};
    Start(o);
    ASSERT_EQ(store_.SetProductID(87), 1);
    store_.AddRoute("KEPT");
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ASSERT_EQ(store_.GetRouteCount(), 1);
    EXPECT_EQ(store_.GetRouteName(0), "KEPT");
}

TEST_F(TransferTest, DownloadReplacesWhatTheStoreHeld) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddTrack("OLD");
    store_.AddWaypoint("OLD", "", 1, 2, 3, 0, 0, 0);
    store_.AddRoute("OLD");
    ASSERT_EQ(DownloadTrack(Context()), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    EXPECT_EQ(store_.GetTrackName(0), "ACTIVE LOG");
    EXPECT_EQ(store_.GetWaypointID(0), "HOME");  // newer family: no padding
    EXPECT_EQ(store_.GetRouteName(0), "BAY WALK");
    EXPECT_EQ(store_.GetTrackCount(), 2);
    EXPECT_EQ(store_.GetWaypointCount(), 3);
    EXPECT_EQ(store_.GetRouteCount(), 1);
}

TEST_F(TransferTest, ErrorCodeOfAnEarlierFailureSurvivesASuccess) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.SetErrorCode(77);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(store_.GetErrorCode(), 77u);
}

TEST_F(TransferTest, AbortFlagIsClearedWhenATransferStarts) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AbortTransfer();
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_FALSE(store_.IsAbortRequested());
    EXPECT_EQ(store_.GetWaypointCount(), 3);
}

TEST_F(TransferTest, AbortDuringATrackDownloadKeepsThePreviousTracks) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddTrack("OLD");
    onProgress_ = [this](int done, int) {
        if (done == 10)
            store_.AbortTransfer();
    };
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ASSERT_EQ(store_.GetTrackCount(), 1);
    EXPECT_EQ(store_.GetTrackName(0), "OLD");
}

TEST_F(TransferTest, AbortDuringAWaypointDownloadKeepsWhatCame) {
    gpssim::Options o = Receiver(87);
    gpssim::DataSet d;
    for (int i = 0; i < 15; ++i)
        d.waypoints.push_back({"W" + std::to_string(i), "", 35.0, 139.0 + i * 0.01});
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(87), 1);
    onProgress_ = [this](int, int) { store_.AbortTransfer(); };
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    ASSERT_EQ(store_.GetWaypointCount(), 10);
    EXPECT_EQ(store_.GetWaypointID(9), "W9    ");
}

TEST_F(TransferTest, IdentifyProductMakesTheReportedProductCurrent) {
    Start(Receiver(500, "--version 321"));
    store_.SetErrorCode(5);
    store_.AbortTransfer();
    const ProductIdentification r = IdentifyProduct(Context());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 500);
    EXPECT_EQ(store_.GetProductID(), 500);
    EXPECT_EQ(store_.GetSoftwareVersion(), 321);
    EXPECT_EQ(store_.GetWaypointType(), 4101);
    EXPECT_EQ(store_.GetErrorCode(), 5u);
    EXPECT_TRUE(store_.IsAbortRequested());  // left alone
    EXPECT_TRUE(progress_.empty());
}

}  // namespace
}  // namespace sorvane::testing_transfers
