// Uploads of tracks, waypoints and routes, compared with what the simulator
// recorded.

#include <gtest/gtest.h>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

class Upload : public TransferTest {
  protected:
    void FillWaypoints(int n) {
        for (int i = 0; i < n; ++i) {
            store_.AddWaypoint("wp" + std::to_string(i) + "abcdefghij",
                               "comment " + std::to_string(i) + " " + std::string(50, 'c'),
                               35.0 + i * 0.25, 139.0 - i * 0.5, i == 1 ? kNoAltitude : 12.5 * i,
                               static_cast<std::uint16_t>(300 + i),
                               static_cast<std::uint8_t>(i % 3), 5.5 * i);
        }
    }
    // Routes of 3 and 2 waypoints.
    void FillRoutes() {
        store_.AddRoute("FIRST");
        store_.AddRoute("second route");
        for (int i = 0; i < 3; ++i)
            store_.AddRouteWaypoint(0, "a" + std::to_string(i), "c", 35 + i, 139, 10, 7, 1, 2.5);
        for (int i = 0; i < 2; ++i)
            store_.AddRouteWaypoint(1, "b" + std::to_string(i), "d", 34, 138 + i, kNoAltitude, 8, 2,
                                    0);
    }

    bool Newer() const { return IsNewerFamilyType(store_.GetWaypointType()); }
    // What a track upload sends of these tracks.
    Packets TrackPackets(const std::vector<TrackRecord>& tracks) const {
        Packets want;
        for (const TrackRecord& t : tracks) {
            if (Newer())
                want.push_back({99, DataOf(BuildTrackHeaderPacket(t.name))});
            for (const TrackSegment& s : t.segments) {
                for (std::size_t i = 0; i < s.points.size(); ++i)
                    want.push_back(
                        {34, DataOf(BuildTrackPointPacket(Newer(), s.points[i], i == 0))});
            }
        }
        return want;
    }
    Packets WaypointPackets() const {
        Packets want;
        for (const WaypointRecord& w : store_.Waypoints())
            want.push_back({35, DataOf(BuildWaypointPacket(store_.GetWaypointType(), 1, 35, w))});
        return want;
    }
    // For each route from first: its header, then its waypoints, with links
    // between them for the newer family.
    Packets RoutePackets(std::size_t first = 0) const {
        Packets want;
        for (std::size_t r = first; r < store_.Routes().size(); ++r) {
            const RouteRecord& route = store_.Routes()[r];
            want.push_back(
                {29, DataOf(BuildRouteHeaderPacket(store_.GetRouteHeaderType(), 0, route.name))});
            for (std::size_t i = 0; i < route.waypoints.size(); ++i) {
                if (Newer() && i > 0)
                    want.push_back({98, DataOf(BuildRouteLinkPacket())});
                want.push_back({30, DataOf(BuildWaypointPacket(store_.GetWaypointType(), 1, 30,
                                                               route.waypoints[i]))});
            }
        }
        return want;
    }
};

// The receiver's own tracks, downloaded and sent back.
TEST_F(Upload, TracksOfEitherFamily) {
    for (const auto& [product, count] : {std::pair(130, 2 + 12), std::pair(87, 12)}) {
        SCOPED_TRACE(product);
        Play(product);
        ASSERT_EQ(DownloadTrack(Context()), 1);
        progress_.clear();
        ASSERT_EQ(UploadTrack(Context()), 1);
        const gpssim::Upload u = OneUpload();
        EXPECT_EQ(u.announced, count);
        EXPECT_EQ(Sent(u), TrackPackets(store_.Tracks()));
        EXPECT_TRUE(u.complete);
        EXPECT_EQ(u.completeData, (Two{6, 0}));
        EXPECT_EQ(progress_, (Progress{{1, count}, {11, count}}));
    }
}

TEST_F(Upload, TrackGoesOnWithTheNextSegmentWhenAnAcknowledgementIsMissing) {
    // Host packets: records 1, then points 2, 3, 4 (segment one), 5, 6 (two).
    Play(87, "--withhold-ack 3");
    store_.AddTrack("T");
    for (int s = 0; s < 2; ++s) {
        store_.AddTrackSegment(0);
        for (int i = 0; i < 3 - s; ++i)
            store_.AddTrackData(0, s, 35.0 + i - 5 * s, 139.0, 0, 10u + i + 10 * s);
    }
    // Incomplete, so it fails, but it still ends with transfer complete.
    EXPECT_EQ(UploadTrack(Context()), 0);
    const gpssim::Upload u = OneUpload();
    // The point after the one left unacknowledged was never sent.
    std::vector<TrackRecord> sent = store_.Tracks();
    sent[0].segments[0].points.pop_back();
    EXPECT_EQ(Sent(u), TrackPackets(sent));
    EXPECT_TRUE(u.complete);
    EXPECT_EQ(u.completeData, (Two{6, 0}));
    // Points are counted only when acknowledged.
    EXPECT_EQ(progress_, (Progress{{1, 5}}));
}

TEST_F(Upload, WaypointsInEveryLayout) {
    FillWaypoints(12);
    for (int product : {41, 87, 129, 130}) {
        SCOPED_TRACE(product);
        Play(product);
        ASSERT_EQ(UploadWaypoint(Context()), 1);
        const gpssim::Upload u = OneUpload();
        EXPECT_EQ(u.announced, 12);
        EXPECT_EQ(Sent(u), WaypointPackets());
        EXPECT_EQ(u.completeData, (Two{6, 0}));
        EXPECT_EQ(progress_, (Progress{{0, 12}, {10, 12}}));
    }
}

// Upload and download again give back the same altitudes, none included.
TEST_F(Upload, NewerWaypointAltitudesSurviveRoundTrips) {
    Play(130);
    store_.AddWaypoint("NONE", "", 35.0, 139.0, kNoAltitude, 1, 0, 0);
    store_.AddWaypoint("SOME", "", 35.0, 139.0, 100.0, 1, 0, 0);
    // The store holds WGS 84 heights, so not quite 100.
    const double some = static_cast<float>(store_.Waypoints()[1].altitude);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    ASSERT_EQ(OneUpload().packets.at(0).waypoint.altitude, 1.0e25f);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        ASSERT_EQ(store_.GetWaypointCount(), 2);
        EXPECT_EQ(store_.Waypoints()[0].altitude, kNoAltitude);
        EXPECT_EQ(store_.Waypoints()[1].altitude, some);
        ASSERT_EQ(UploadWaypoint(Context()), 1);
    }
}

TEST_F(Upload, AbortFromTheProgressHandlerStillEndsTheWaypointUpload) {
    Play(130);
    FillWaypoints(5);
    onProgress_ = [this](int, int) { store_.AbortTransfer(); };
    EXPECT_EQ(UploadWaypoint(Context()), 1);
    const gpssim::Upload u = OneUpload();
    EXPECT_EQ(u.announced, 5);
    EXPECT_EQ(u.Ids(), (Ids{35}));
    EXPECT_TRUE(u.complete);
    EXPECT_EQ(u.completeData, (Two{6, 0}));
    EXPECT_EQ(progress_, (Progress{{0, 5}}));
}

TEST_F(Upload, RoutesOfEitherFamily) {
    const struct {
        int product, announced;
        Ids ids;
        Progress progress;
    } rows[] = {{130, 10, {29, 30, 98, 30, 98, 30, 29, 30, 98, 30}, {{10, 10}}},
                {129, 4 + 3, {29, 30, 30, 30, 29, 30, 30}, {}}};
    FillRoutes();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.product);
        Play(row.product);
        ASSERT_EQ(UploadRoute(Context()), 1);
        const gpssim::Upload u = OneUpload();
        EXPECT_EQ(std::tuple(u.announced, u.Ids(), u.completeData),
                  std::tuple(row.announced, row.ids, Two{29, 0}));
        EXPECT_EQ(Sent(u), RoutePackets());
        EXPECT_EQ(progress_, row.progress);
    }
}

TEST_F(Upload, SingleRoute) {
    Play(130);
    FillRoutes();
    ASSERT_EQ(UploadSingleRoute(Context(), 1), 1);
    const gpssim::Upload u = OneUpload();
    EXPECT_EQ(u.announced, 4);
    EXPECT_EQ(Sent(u), RoutePackets(1));
    // Transfer complete names the last packet received.
    EXPECT_EQ(u.completeData, (Two{6, 0}));

    // Stopped early (host packets: records 1, header 2, waypoint 3, link 4),
    // it sends no transfer complete.
    Play(130, "--withhold-ack 4");
    EXPECT_EQ(UploadSingleRoute(Context(), 0), 0);
    const gpssim::Upload cut = OneUpload(0);
    EXPECT_EQ(cut.Ids(), (Ids{29, 30, 98}));
    EXPECT_FALSE(cut.complete);
}

TEST_F(Upload, SingleRouteWithABadIndexOpensNoPort) {
    // Port 0 names no device: opening it would store an error code.
    FillRoutes();
    store_.SetErrorCode(1234);
    store_.AbortTransfer();
    TransferContext ctx = Context();
    ctx.settings.port = 0;
    for (int bad : {5, 2, -1})
        EXPECT_EQ(UploadSingleRoute(ctx, bad), 0) << bad;
    EXPECT_EQ(store_.GetErrorCode(), 1234u);
    EXPECT_TRUE(store_.IsAbortRequested());
    // A good index does try the port.
    EXPECT_EQ(UploadSingleRoute(ctx, 1), 0);
    EXPECT_NE(store_.GetErrorCode(), 1234u);
}

// What a receiver sent comes back to it unchanged when the control uploads it
// again, on every side of the equator and of Greenwich.
TEST_F(Upload, DownloadedRecordsUploadTheSameWireValues) {
    gpssim::DataSet places;
    gpssim::SimRoute route{1, "R", {}};
    gpssim::SimTrack track{"T", {}};
    const std::pair<double, double> at[] = {{-35.5, -139.25},
                                            {34.999999925, 139.987654321},
                                            {-0.000000083, 179.99999},
                                            {1.25, -0.5},
                                            {-89.9999999, -179.9999999}};
    for (std::size_t i = 0; i < std::size(at); ++i) {
        gpssim::SimWaypoint w;
        w.name = "P" + std::to_string(i);
        w.latitude = at[i].first;
        w.longitude = at[i].second;
        places.waypoints.push_back(w);
        route.waypoints.push_back(w);
        track.points.push_back(
            {at[i].first, at[i].second, static_cast<std::uint32_t>(100 + i), 0.0f, i == 0});
    }
    places.routes = {route};
    places.tracks = {track};
    using Wire = std::vector<std::pair<std::int32_t, std::int32_t>>;
    Wire sent;
    for (const auto& [lat, lon] : at)
        sent.emplace_back(gpssim::DegreesToWire(lat), gpssim::DegreesToWire(lon));
    for (const int product : {130, 87}) {
        SCOPED_TRACE(product);
        Play(product, "", places);
        ASSERT_EQ(DownloadTrack(Context()), 1);
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        ASSERT_EQ(DownloadRoute(Context()), 1);
        Play(product);
        ASSERT_EQ(UploadTrack(Context()), 1);
        ASSERT_EQ(UploadWaypoint(Context()), 1);
        ASSERT_EQ(UploadRoute(Context()), 1);
        const std::vector<gpssim::Upload> uploads = Uploads(3);
        ASSERT_EQ(uploads.size(), 3u);
        for (const gpssim::Upload& u : uploads) {
            Wire back;
            for (const gpssim::UploadedPacket& p : u.packets)
                if (p.id == 34 || p.id == 35 || p.id == 30)
                    back.emplace_back(p.rawLatitude, p.rawLongitude);
            EXPECT_EQ(back, sent);
        }
    }
}

}  // namespace
}  // namespace sorvane::testing_transfers
