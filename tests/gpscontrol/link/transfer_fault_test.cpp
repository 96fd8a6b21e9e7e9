// Transfers against receivers that misbehave: each ends with its result, in
// no more than the per-byte time-outs, and leaves the store either as it was
// or holding exactly what the transfer rules say.

#include <gtest/gtest.h>

#include <cerrno>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

class TransferFault : public TransferTest {
  protected:
    // The store before a download: one of everything.
    void FillStore() {
        store_.AddTrack("OLD");
        store_.AddTrackSegment(0);
        store_.AddTrackData(0, 0, 1.0, 2.0, 3.0, 4u);
        store_.AddWaypoint("OLD", "", 1.0, 2.0, 3.0, 0, 0, 0);
        store_.AddRoute("OLD");
    }
    void ExpectTracksKept() {
        ASSERT_EQ(store_.GetTrackCount(), 1);
        EXPECT_EQ(store_.GetTrackName(0), "OLD");
        EXPECT_EQ(store_.GetTrackDataCount(0), 1);
    }
    void ExpectRoutesKept() {
        ASSERT_EQ(store_.GetRouteCount(), 1);
        EXPECT_EQ(store_.GetRouteName(0), "OLD");
    }
    void ExpectWaypointsKept() {
        ASSERT_EQ(store_.GetWaypointCount(), 1);
        EXPECT_EQ(store_.GetWaypointID(0), "OLD");
    }
};

TEST_F(TransferFault, NoReceiverOnThePort) {
    testsupport::ScopedEnv env("SORVANE_COM5", "/nonexistent/ttyGPS");
    FillStore();
    store_.AddRouteWaypoint(0, "A", "", 1, 2, 3, 0, 0, 0);
    TransferContext ctx = Context();
    ctx.settings.port = 5;
    EXPECT_EQ(DownloadTrack(ctx), 0);
    EXPECT_EQ(store_.GetErrorCode(), static_cast<std::uint32_t>(ENOENT));
    store_.SetErrorCode(0);
    EXPECT_EQ(DownloadWaypoint(ctx), 0);
    EXPECT_EQ(DownloadRoute(ctx), 0);
    EXPECT_EQ(UploadTrack(ctx), 0);
    EXPECT_EQ(UploadWaypoint(ctx), 0);
    EXPECT_EQ(UploadRoute(ctx), 0);
    EXPECT_EQ(UploadSingleRoute(ctx, 0), 0);
    EXPECT_EQ(store_.GetErrorCode(), static_cast<std::uint32_t>(ENOENT));
    const ProductIdentification id = IdentifyProduct(ctx);
    EXPECT_FALSE(id.ok);
    EXPECT_EQ(store_.GetProductID(), 119);
    ExpectTracksKept();
    ExpectWaypointsKept();
    ExpectRoutesKept();
    EXPECT_TRUE(progress_.empty());
}

TEST_F(TransferFault, ReceiverThatNeverAnswers) {
    Start(Receiver(130, "--no-answer"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ExpectTracksKept();
    ExpectWaypointsKept();
    ExpectRoutesKept();
    // An upload waits for the records packet's acknowledgement and stops there.
    EXPECT_EQ(UploadWaypoint(Context()), 0);
    ASSERT_TRUE(Sim().WaitForReceived(4, std::chrono::seconds(10)));
    const auto got = Sim().Received();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3].id, 27);
}

TEST_F(TransferFault, ReceiverSilentAfterTheRecordsPacket) {
    // It sends the acknowledgement of the command (1) and the records packet (2).
    Start(Receiver(130, "--stop-after 2"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
}

TEST_F(TransferFault, WaypointReceiverSilentAfterItsCountLeavesNoWaypoints) {
    // The waypoints go as soon as the count is announced.
    Start(Receiver(130, "--stop-after 2"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(store_.GetWaypointCount(), 0);
}

TEST_F(TransferFault, RouteReceiverSilentAfterTheRecordsPacket) {
    Start(Receiver(87, "--stop-after 2"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    FillStore();
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ExpectRoutesKept();
}

TEST_F(TransferFault, StreamCutAfterTwentyPacketsKeepsThePreviousTracks) {
    gpssim::Options o = Receiver(87, "--stop-after 22");
    gpssim::DataSet d;
    d.tracks.push_back({"T", {}});
    for (int i = 0; i < 25; ++i)
        d.tracks[0].points.push_back({35.0, 139.0 + i * 0.01, 100u + i, 0.0f, i == 0});
    o.data = d;
    Start(o);
    ASSERT_EQ(store_.SetProductID(87), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
    EXPECT_EQ(progress_, (Progress{{0, 25}, {10, 25}}));
}

TEST_F(TransferFault, WithheldAcknowledgementEndsTheWaypointUploadUnfinished) {
    // Host packets: records 1, waypoints 2, 3, 4.
    Start(Receiver(87, "--withhold-ack 3"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    store_.AddWaypoint("A", "", 35, 139, 0, 0, 0, 0);
    store_.AddWaypoint("B", "", 35, 139, 0, 0, 0, 0);
    store_.AddWaypoint("C", "", 35, 139, 0, 0, 0, 0);
    EXPECT_EQ(UploadWaypoint(Context()), 0);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].announced, 3);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{35, 35}));
    // The acknowledgement never came, so the last packet on the line was the
    // waypoint the upload sent.
    EXPECT_TRUE(uploads[0].complete);
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{35, 0}));
    EXPECT_EQ(store_.GetWaypointCount(), 3);
}

TEST_F(TransferFault, WithheldAcknowledgementOfTheRecordsPacketSendsNothingMore) {
    Start(Receiver(130, "--withhold-ack 1"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddRoute("R");
    store_.AddRouteWaypoint(0, "A", "", 35, 139, 0, 0, 0, 0);
    EXPECT_EQ(UploadRoute(Context()), 0);
    const auto uploads = Uploads(0);
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_TRUE(uploads[0].packets.empty());
    EXPECT_FALSE(uploads[0].complete);
}

TEST_F(TransferFault, WithheldAcknowledgementEndsTheRouteUploadUnfinished) {
    // Host packets: records 1, header 2, waypoint 3, link 4 (withheld).
    Start(Receiver(130, "--withhold-ack 4"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    store_.AddRoute("R");
    for (int i = 0; i < 3; ++i)
        store_.AddRouteWaypoint(0, "A", "", 35, 139, 0, 0, 0, 0);
    EXPECT_EQ(UploadRoute(Context()), 0);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{29, 30, 98}));
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{29, 0}));
}

TEST_F(TransferFault, CorruptedPacketIsSentAgainAndTheDownloadSucceeds) {
    // Packet 5 is the third record of the stream.
    Start(Receiver(130, "--corrupt-packet 5"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadTrack(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.Tracks().size(), 2u);
    ExpectTrack(store_.Tracks()[0], "ACTIVE LOG", d.tracks[0].points, true);
    ExpectTrack(store_.Tracks()[1], "FERRY", d.tracks[1].points, true);
    EXPECT_EQ(Sim().engine().naksReceived(), 1);
}

TEST_F(TransferFault, CorruptedAcknowledgementIsSentAgainAndTheUploadSucceeds) {
    // Packet 3 is the acknowledgement of the second waypoint.
    Start(Receiver(130, "--corrupt-packet 3"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    for (int i = 0; i < 4; ++i)
        store_.AddWaypoint("W" + std::to_string(i), "", 35, 139 + i, 0, 0, 0, 0);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].Ids(), (std::vector<int>{35, 35, 35, 35}));
    EXPECT_EQ(uploads[0].completeData, (std::array<std::uint8_t, 2>{6, 0}));
}

TEST_F(TransferFault, MorePacketsThanAnnouncedFailTheTrackDownload) {
    Start(Receiver(130, "--extra-packets 3"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
    // The stream was still acknowledged to its end, so the receiver is not
    // left waiting: 14 records and transfer complete.
    ASSERT_TRUE(Sim().WaitForReceived(17, std::chrono::seconds(10)));
    const auto got = Sim().Received();
    EXPECT_EQ(got.back(), (gpssim::Packet{6, {12, 0}}));
    EXPECT_EQ(progress_, (Progress{{0, 11}, {10, 11}}));
}

TEST_F(TransferFault, MorePacketsThanAnnouncedFailTheRouteDownload) {
    Start(Receiver(130, "--extra-packets 1"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ExpectRoutesKept();
}

TEST_F(TransferFault, MoreWaypointsThanAnnouncedKeepTheAnnouncedOnes) {
    Start(Receiver(87, "--extra-packets 1"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    FillStore();
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.GetWaypointCount(), 2);
    ExpectWaypoint(store_.Waypoints()[0], d.waypoints[0], 4103);
    ExpectWaypoint(store_.Waypoints()[1], d.waypoints[1], 4103);
    // Command, then acknowledgements of the count, three waypoints and the end.
    ASSERT_TRUE(Sim().WaitForReceived(6, std::chrono::seconds(10)));
    EXPECT_EQ(Sim().Received().back(), (gpssim::Packet{6, {12, 0}}));
}

TEST_F(TransferFault, AnnouncedCountOfZeroWithRecordsFails) {
    Start(Receiver(87, "--announce 0"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(store_.GetWaypointCount(), 0);
}

TEST_F(TransferFault, NegativeCountChangesNothing) {
    // 0xFFFF read as signed 16-bit.
    Start(Receiver(130, "--announce -1"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ExpectTracksKept();
    ExpectWaypointsKept();
    ExpectRoutesKept();
    // Each stream was taken to its end: 14 track records, 3 waypoints and 6
    // route packets acknowledged, besides each command, count and end.
    ASSERT_TRUE(Sim().WaitForReceived(3 * 3 + 14 + 3 + 6, std::chrono::seconds(10)));
    EXPECT_EQ(Sim().Received().size(), 32u);
    EXPECT_EQ(Sim().Received().back(), (gpssim::Packet{6, {12, 0}}));
}

TEST_F(TransferFault, HangUpInTheMiddleOfADownload) {
    Start(Receiver(130, "--hangup-after 8"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
    EXPECT_EQ(store_.GetErrorCode(), static_cast<std::uint32_t>(EIO));
    // Once the line is gone every further transfer fails at once.
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(TransferFault, WaypointDownloadCutByAHangUpKeepsWhatCame) {
    // Acknowledgement 1, records 2, waypoints 3 and 4.
    Start(Receiver(130, "--hangup-after 4"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(store_.GetWaypointCount(), 2);
    EXPECT_EQ(store_.GetWaypointID(1), "PIER");
}

TEST_F(TransferFault, StreamWithoutTransferComplete) {
    Start(Receiver(130, "--no-complete"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    // Tracks and routes need the C + 1st packet.
    EXPECT_EQ(DownloadTrack(Context()), 0);
    ExpectTracksKept();
    EXPECT_EQ(DownloadRoute(Context()), 0);
    ExpectRoutesKept();
    // Waypoints count only waypoints: all three came.
    EXPECT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(store_.GetWaypointCount(), 3);
}

TEST_F(TransferFault, GarbageBetweenFramesIsSkipped) {
    Start(Receiver(130, "--garbage"));
    ASSERT_EQ(store_.SetProductID(130), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(store_.GetWaypointCount(), 3);
}

TEST_F(TransferFault, OversizedPacketIsRefusedAndSentAgain) {
    Start(Receiver(87, "--oversized-packet 4"));
    ASSERT_EQ(store_.SetProductID(87), 1);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.GetWaypointCount(), 3);
    ExpectWaypoint(store_.Waypoints()[1], d.waypoints[1], 4103);
}

}  // namespace
}  // namespace sorvane::testing_transfers
