// Uploads of tracks, waypoints and routes, compared field by field with what
// the simulator recorded.

#include <gtest/gtest.h>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

// Tracks: "Active Log" with segments of 3 and 2 points, "trip" with one of 12.
void FillTracks(KelData& store) {
    store.AddTrack("Active Log");
    store.AddTrackSegment(0);
    for (int i = 0; i < 3; ++i)
        store.AddTrackData(0, 0, 35.5 + i * 0.001, 139.5 - i * 0.001, 10.0 + i, 1000u + i);
    store.AddTrackSegment(0);
    for (int i = 0; i < 2; ++i)
        store.AddTrackData(0, 1, -35.5 - i * 0.001, -139.5, -5.25, 2000u + i);
    store.AddTrack("trip");
    store.AddTrackSegment(1);
    for (int i = 0; i < 12; ++i)
        store.AddTrackData(1, 0, 36.0 + i * 0.01, 140.0, 100.0, 3000u + i);
}

void ExpectUploadedPoint(const gpssim::UploadedPacket& p, const TrackPoint& q, bool first,
                         bool newer) {
    EXPECT_EQ(p.id, 34);
    EXPECT_TRUE(p.sizeMatches);
    EXPECT_EQ(p.rawLatitude, TrackPositionToWire(q.latitude));
    EXPECT_EQ(p.rawLongitude, TrackPositionToWire(q.longitude));
    EXPECT_EQ(p.trackPoint.time, q.time);
    EXPECT_EQ(p.flagByte, first ? 1 : 0);
    if (newer) {
        EXPECT_EQ(p.trackPoint.altitude, static_cast<float>(q.altitude));
        EXPECT_EQ(p.depth, 1.0e25f);
        EXPECT_EQ(p.trailer[0], 0xFF);
        EXPECT_EQ(p.trailer[1], 0xFF);
        EXPECT_EQ(p.trailer[2], 0xFF);
    }
}

// Walks the recorded packets of a track upload against the store's tracks.
void ExpectTrackUpload(const gpssim::Upload& u, const KelData& store, bool newer) {
    std::size_t at = 0;
    for (const TrackRecord& t : store.Tracks()) {
        if (newer) {
            ASSERT_LT(at, u.packets.size());
            const gpssim::UploadedPacket& h = u.packets[at++];
            EXPECT_EQ(h.id, 99);
            EXPECT_TRUE(h.sizeMatches);
            EXPECT_EQ(h.trackName, std::string(t.name));
            EXPECT_EQ(h.trackDisplay, std::string(t.name) == "Active Log" ? 1 : 0);
            EXPECT_EQ(h.trackColour, 0xFF);
        }
        for (const TrackSegment& s : t.segments) {
            for (std::size_t i = 0; i < s.points.size(); ++i) {
                ASSERT_LT(at, u.packets.size());
                SCOPED_TRACE("packet " + std::to_string(at));
                ExpectUploadedPoint(u.packets[at++], s.points[i], i == 0, newer);
            }
        }
    }
    EXPECT_EQ(at, u.packets.size());
}

TEST_F(TransferTest, NewerFamilyTrackUploadSendsHeadersAndPoints) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillTracks(store_);
    ASSERT_EQ(UploadTrack(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const gpssim::Upload& u = uploads[0];
    EXPECT_EQ(u.announced, 2 + 17);
    ExpectTrackUpload(u, store_, true);
    EXPECT_TRUE(u.complete);
    EXPECT_EQ(u.completeData, (std::array<std::uint8_t, 2>{6, 0}));
    EXPECT_EQ(progress_, (Progress{{1, 19}, {11, 19}}));

    // The simulator keeps the upload; downloading it again gives the same tracks.
    KelData copy;
    const std::vector<TrackRecord> sent = store_.Tracks();
    store_.DeleteTrackAll();
    ASSERT_EQ(DownloadTrack(Context()), 1);
    ASSERT_EQ(store_.Tracks().size(), sent.size());
    for (std::size_t t = 0; t < sent.size(); ++t) {
        EXPECT_EQ(std::string(store_.Tracks()[t].name), std::string(sent[t].name));
        ASSERT_EQ(store_.Tracks()[t].segments.size(), sent[t].segments.size());
        for (std::size_t s = 0; s < sent[t].segments.size(); ++s) {
            const auto& a = store_.Tracks()[t].segments[s].points;
            const auto& b = sent[t].segments[s].points;
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t i = 0; i < a.size(); ++i) {
                EXPECT_EQ(a[i].latitude, PositionFromWire(TrackPositionToWire(b[i].latitude)));
                EXPECT_EQ(a[i].time, b[i].time);
                EXPECT_EQ(a[i].altitude, static_cast<double>(static_cast<float>(b[i].altitude)));
            }
        }
    }
}

TEST_F(TransferTest, OlderFamilyTrackUploadSendsPointsOnly) {
    Start(Receiver(87));
    ASSERT_EQ(store_.SetProductID(87), 1);
    FillTracks(store_);
    ASSERT_EQ(UploadTrack(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].announced, 17);
    ExpectTrackUpload(uploads[0], store_, false);
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{6, 0}));
    EXPECT_EQ(progress_, (Progress{{1, 17}, {11, 17}}));
}

TEST_F(TransferTest, TrackUploadGoesOnWithTheNextSegmentWhenAnAcknowledgementIsMissing) {
    // Host packets: records 1, then points 2, 3, 4 (segment one), 5, 6 (two).
    Start(Receiver(87, "--withhold-ack 3"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    store_.AddTrack("T");
    store_.AddTrackSegment(0);
    for (int i = 0; i < 3; ++i)
        store_.AddTrackData(0, 0, 35.0 + i, 139.0, 0, 10u + i);
    store_.AddTrackSegment(0);
    for (int i = 0; i < 2; ++i)
        store_.AddTrackData(0, 1, 30.0 + i, 130.0, 0, 20u + i);
    // The upload is incomplete, so it reports failure, but it still ends the
    // exchange with transfer complete.
    EXPECT_EQ(UploadTrack(Context()), 0);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const gpssim::Upload& u = uploads[0];
    ASSERT_EQ(u.packets.size(), 4u);
    const auto& seg = store_.Tracks()[0].segments;
    ExpectUploadedPoint(u.packets[0], seg[0].points[0], true, false);
    ExpectUploadedPoint(u.packets[1], seg[0].points[1], false, false);
    ExpectUploadedPoint(u.packets[2], seg[1].points[0], true, false);
    ExpectUploadedPoint(u.packets[3], seg[1].points[1], false, false);
    EXPECT_TRUE(u.complete);
    EXPECT_EQ(u.completeData, (std::array<std::uint8_t, 2>{6, 0}));
    // Points are counted only when acknowledged.
    EXPECT_EQ(progress_, (Progress{{1, 5}}));
}

void FillWaypoints(KelData& store, int n) {
    for (int i = 0; i < n; ++i) {
        store.AddWaypoint("wp" + std::to_string(i) + "abcdefghij",
                          "comment " + std::to_string(i) + " " + std::string(50, 'c'),
                          35.0 + i * 0.25, 139.0 - i * 0.5, i == 1 ? kNoAltitude : 12.5 * i,
                          static_cast<std::uint16_t>(300 + i), static_cast<std::uint8_t>(i % 3),
                          5.5 * i);
    }
}

TEST_F(TransferTest, WaypointUploadInEveryLayout) {
    for (int product : {41, 87, 129, 130}) {
        SCOPED_TRACE(product);
        store_.DeleteWaypointAll();
        progress_.clear();
        Start(Receiver(product));
        ASSERT_EQ(store_.SetProductID(product), 1);
        FillWaypoints(store_, 12);
        ASSERT_EQ(UploadWaypoint(Context()), 1);
        const auto uploads = Uploads();
        ASSERT_EQ(uploads.size(), 1u);
        const gpssim::Upload& u = uploads[0];
        EXPECT_EQ(u.announced, 12);
        ASSERT_EQ(u.packets.size(), 12u);
        for (int i = 0; i < 12; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(u.packets[i].id, 35);
            ExpectUploadedWaypoint(u.packets[i], store_.Waypoints()[i], store_.GetWaypointType());
        }
        EXPECT_EQ(u.completeData, (std::array<std::uint8_t, 2>{6, 0}));
        EXPECT_EQ(progress_, (Progress{{0, 12}, {10, 12}}));
    }
}

// Upload and download again give back the same altitudes, none included.
TEST_F(TransferTest, NewerWaypointAltitudesSurviveARoundTrip) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddWaypoint("NONE", "", 35.0, 139.0, kNoAltitude, 1, 0, 0);
    store_.AddWaypoint("SOME", "", 35.0, 139.0, 100.0, 1, 0, 0);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads[0].packets.size(), 2u);
    EXPECT_EQ(uploads[0].packets[0].waypoint.altitude, 1.0e25f);
    const double some = store_.Waypoints()[1].altitude;
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    ASSERT_EQ(store_.GetWaypointCount(), 2);
    EXPECT_EQ(store_.Waypoints()[0].altitude, kNoAltitude);
    EXPECT_EQ(store_.Waypoints()[1].altitude, static_cast<double>(static_cast<float>(some)));
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(store_.Waypoints()[1].altitude, static_cast<double>(static_cast<float>(some)));
}

TEST_F(TransferTest, AbortFromTheProgressHandlerStillEndsTheWaypointUpload) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillWaypoints(store_, 5);
    onProgress_ = [this](int, int) { store_.AbortTransfer(); };
    EXPECT_EQ(UploadWaypoint(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].announced, 5);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{35}));
    EXPECT_TRUE(uploads[0].complete);
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{6, 0}));
    EXPECT_EQ(progress_, (Progress{{0, 5}}));
}

// Routes of 3 and 2 waypoints.
void FillRoutes(KelData& store) {
    store.AddRoute("FIRST");
    store.AddRoute("second route");
    for (int i = 0; i < 3; ++i)
        store.AddRouteWaypoint(0, "a" + std::to_string(i), "c", 35 + i, 139, 10, 7, 1, 2.5);
    for (int i = 0; i < 2; ++i)
        store.AddRouteWaypoint(1, "b" + std::to_string(i), "d", 34, 138 + i, kNoAltitude, 8, 2, 0);
}

TEST_F(TransferTest, NewerFamilyRouteUploadPutsLinksBetweenWaypoints) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillRoutes(store_);
    ASSERT_EQ(UploadRoute(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const gpssim::Upload& u = uploads[0];
    EXPECT_EQ(u.announced, 10);
    EXPECT_EQ(u.Ids(), (std::vector<int>{29, 30, 98, 30, 98, 30, 29, 30, 98, 30}));
    EXPECT_EQ(u.completeData, (std::array<std::uint8_t, 2>{29, 0}));
    EXPECT_EQ(u.packets[0].routeName, "FIRST");
    EXPECT_EQ(u.packets[6].routeName, "second route");
    EXPECT_TRUE(u.packets[0].sizeMatches);
    const std::vector<std::uint8_t> link = {3,    0,    0,    0,    0,    0,    0,
                                            0,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    EXPECT_EQ(u.packets[2].data, link);
    const int wp[5] = {1, 3, 5, 7, 9};
    for (int i = 0; i < 5; ++i) {
        const WaypointRecord& w =
            i < 3 ? store_.Routes()[0].waypoints[i] : store_.Routes()[1].waypoints[i - 3];
        ExpectUploadedWaypoint(u.packets[wp[i]], w, 4108);
    }
    EXPECT_EQ(progress_, (Progress{{10, 10}}));
}

TEST_F(TransferTest, OlderFamilyRouteUploadSendsNumberedHeaders) {
    Start(Receiver(129));
    ASSERT_EQ(store_.SetProductID(129), 1);
    FillRoutes(store_);
    ASSERT_EQ(UploadRoute(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    const gpssim::Upload& u = uploads[0];
    EXPECT_EQ(u.announced, 4 + 3);
    EXPECT_EQ(u.Ids(), (std::vector<int>{29, 30, 30, 30, 29, 30, 30}));
    EXPECT_EQ(u.packets[0].routeNumber, 0);
    EXPECT_EQ(u.packets[0].routeName, "FIRST");
    EXPECT_EQ(u.packets[0].data.size(), 21u);
    ExpectUploadedWaypoint(u.packets[2], store_.Routes()[0].waypoints[1], 4104);
    EXPECT_EQ(u.completeData, (std::array<std::uint8_t, 2>{29, 0}));
}

TEST_F(TransferTest, SingleRouteUploadSendsOneRouteAndTheLastReceivedId) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillRoutes(store_);
    ASSERT_EQ(UploadSingleRoute(Context(), 1), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].announced, 4);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{29, 30, 98, 30}));
    EXPECT_EQ(uploads[0].packets[0].routeName, "second route");
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{6, 0}));
}

TEST_F(TransferTest, SingleRouteUploadWithABadIndexOpensNoPort) {
    // Port 0 names no device: opening it would store an error code.
    FillRoutes(store_);
    store_.SetErrorCode(1234);
    store_.AbortTransfer();
    TransferContext ctx = Context();
    ctx.settings.port = 0;
    EXPECT_EQ(UploadSingleRoute(ctx, 5), 0);
    EXPECT_EQ(UploadSingleRoute(ctx, 2), 0);
    EXPECT_EQ(UploadSingleRoute(ctx, -1), 0);
    EXPECT_EQ(store_.GetErrorCode(), 1234u);
    EXPECT_TRUE(store_.IsAbortRequested());
    // A good index does try the port.
    EXPECT_EQ(UploadSingleRoute(ctx, 1), 0);
    EXPECT_NE(store_.GetErrorCode(), 1234u);
}

TEST_F(TransferTest, SingleRouteUploadStoppedEarlySendsNoTransferComplete) {
    // Host packets: records 1, header 2, waypoint 3, link 4, waypoint 5.
    Start(Receiver(130, "--withhold-ack 4"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillRoutes(store_);
    EXPECT_EQ(UploadSingleRoute(Context(), 0), 0);
    const auto uploads = Uploads(0);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{29, 30, 98}));
    EXPECT_FALSE(uploads[0].complete);
}

TEST_F(TransferTest, UploadsOfEmptyCollectionsAnnounceNothing) {
    Start(Receiver(130));
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(UploadTrack(Context()), 1);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    ASSERT_EQ(UploadRoute(Context()), 1);
    const auto uploads = Uploads(3);
    ASSERT_EQ(uploads.size(), 3u);
    for (const auto& u : uploads) {
        EXPECT_EQ(u.announced, 0);
        EXPECT_TRUE(u.packets.empty());
        EXPECT_TRUE(u.complete);
    }
    EXPECT_EQ(uploads[0].completeData[0], 6);
    EXPECT_EQ(uploads[2].completeData[0], 29);
}

}  // namespace
}  // namespace sorvane::testing_transfers
