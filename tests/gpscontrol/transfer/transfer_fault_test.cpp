// Transfers against receivers that misbehave: each ends with its result, in
// no more than the per-byte time-outs, and leaves the store either as it was
// or holding exactly what the transfer rules say.

#include <gtest/gtest.h>

#include <cerrno>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

// The downloads in the order of Held: tracks, waypoints, routes.
enum Kind { kTracks, kWaypoints, kRoutes };
int (*const kDownload[])(const TransferContext&) = {DownloadTrack, DownloadWaypoint, DownloadRoute};

using TransferFault = TransferTest;

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
    EXPECT_FALSE(IdentifyProduct(ctx).ok);
    EXPECT_EQ(store_.GetProductID(), 119);
    EXPECT_EQ(Names(), kFilled);
    EXPECT_TRUE(progress_.empty());
}

TEST_F(TransferFault, ReceiverThatNeverAnswers) {
    Play(130, "--no-answer");
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(DownloadRoute(Context()), 0);
    EXPECT_EQ(Names(), kFilled);
    // An upload waits for the records packet's acknowledgement and stops there.
    EXPECT_EQ(UploadWaypoint(Context()), 0);
    EXPECT_EQ(UploadRoute(Context()), 0);
    const Packets got = Received(5);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[3].id, 27);
    EXPECT_EQ(got[4].id, 27);
}

// One download from a receiver with one fault. Failed track and route
// downloads keep what the store held; waypoints go as soon as the count is
// announced, so the store holds what came.
TEST_F(TransferFault, DownloadsFromAFaultyStream) {
    const struct {
        int product;
        const char* arguments;
        Kind kind;
        int result;
        std::size_t waypoints;
    } rows[] = {
        // It sends the acknowledgement of the command (1) and the count (2).
        {130, "--stop-after 2", kTracks, 0, 0},
        {130, "--stop-after 2", kWaypoints, 0, 0},
        {87, "--stop-after 2", kRoutes, 0, 0},
        {130, "--extra-packets 1", kRoutes, 0, 0},
        {87, "--announce 0", kTracks, 0, 0},
        {87, "--announce 0", kWaypoints, 0, 0},
        // Tracks and routes need the C + 1st packet; waypoints count only
        // waypoints, and all came.
        {130, "--no-complete", kTracks, 0, 0},
        {130, "--no-complete", kRoutes, 0, 0},
        {130, "--no-complete", kWaypoints, 1, 3},
        // Acknowledgement 1, records 2, waypoints 3 and 4.
        {130, "--hangup-after 4", kWaypoints, 0, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.product) + " " + row.arguments + " kind " +
                     std::to_string(row.kind));
        Play(row.product, row.arguments);
        FillStore();
        EXPECT_EQ(kDownload[row.kind](Context()), row.result);
        if (row.kind == kWaypoints) {
            ExpectWaypoints(store_.Waypoints(), Sim().Data().waypoints, store_.GetWaypointType(),
                            row.waypoints);
        } else {
            EXPECT_EQ(Names()[row.kind], kFilled[row.kind]);
        }
    }
}

TEST_F(TransferFault, StreamCutAfterTwentyPacketsKeepsThePreviousTracks) {
    Play(87, "--stop-after 22", OneTrack(25));
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(Names()[0], kFilled[0]);
    EXPECT_EQ(progress_, (Progress{{0, 25}, {10, 25}}));
}

TEST_F(TransferFault, WithheldAcknowledgementsInUploads) {
    // Host packets: records 1, waypoints 2, 3, 4.
    Play(87, "--withhold-ack 3");
    for (const char* name : {"A", "B", "C"})
        store_.AddWaypoint(name, "", 35, 139, 0, 0, 0, 0);
    EXPECT_EQ(UploadWaypoint(Context()), 0);
    gpssim::Upload u = OneUpload();
    EXPECT_EQ(u.announced, 3);
    EXPECT_EQ(u.Ids(), (Ids{35, 35}));
    // The acknowledgement never came, so the last packet on the line was the
    // waypoint the upload sent.
    EXPECT_TRUE(u.complete);
    EXPECT_EQ(u.completeData, (Two{35, 0}));
    EXPECT_EQ(store_.GetWaypointCount(), 3);

    // Records 1, header 2, waypoint 3, link 4 (withheld).
    store_.AddRoute("R");
    for (int i = 0; i < 3; ++i)
        store_.AddRouteWaypoint(0, "A", "", 35, 139, 0, 0, 0, 0);
    Play(130, "--withhold-ack 4");
    EXPECT_EQ(UploadRoute(Context()), 0);
    u = OneUpload();
    EXPECT_EQ(u.Ids(), (Ids{29, 30, 98}));
    EXPECT_EQ(u.completeData, (Two{29, 0}));
}

TEST_F(TransferFault, CorruptedPacketsAreSentAgainAndTheTransferSucceeds) {
    // Packet 5 is the third record of the stream.
    Play(130, "--corrupt-packet 5");
    ASSERT_EQ(DownloadTrack(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.Tracks().size(), 2u);
    ExpectTrack(store_.Tracks()[0], "ACTIVE LOG", d.tracks[0].points, true);
    ExpectTrack(store_.Tracks()[1], "FERRY", d.tracks[1].points, true);
    EXPECT_EQ(Sim().Stats().naksReceived, 1);

    // Packet 3 is the acknowledgement of the second waypoint.
    Play(130, "--corrupt-packet 3");
    for (int i = 0; i < 4; ++i)
        store_.AddWaypoint("W" + std::to_string(i), "", 35, 139 + i, 0, 0, 0, 0);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    const gpssim::Upload u = OneUpload();
    EXPECT_EQ(u.Ids(), (Ids{35, 35, 35, 35}));
    EXPECT_EQ(u.completeData, (Two{6, 0}));
}

// Every upload of both families sends a packet the receiver rejects again;
// when the receiver keeps rejecting it, the upload stops there and fails with
// the rejection's error code, so that no record after it is sent in its place.
TEST_F(TransferFault, RejectedPacketsInUploads) {
    enum Upload { kTrackUpload, kWaypointUpload, kRouteUpload, kSingleRoute };
    const auto run = [&](Upload kind) {
        switch (kind) {
            case kTrackUpload:
                return UploadTrack(Context());
            case kWaypointUpload:
                return UploadWaypoint(Context());
            case kRouteUpload:
                return UploadRoute(Context());
            case kSingleRoute:
                return UploadSingleRoute(Context(), 0);
        }
        return -1;
    };
    // Host packet 3 is the second record: a point (older) or the first point
    // after the header (newer), the second waypoint, the first route waypoint.
    const struct {
        Upload kind;
        int product;
        Ids all;
        Ids beforeTheRejected;
    } rows[] = {
        {kTrackUpload, 130, {99, 34, 34, 34}, {99}},
        {kTrackUpload, 87, {34, 34, 34}, {34}},
        {kWaypointUpload, 130, {35, 35, 35}, {35}},
        {kWaypointUpload, 87, {35, 35, 35}, {35}},
        {kRouteUpload, 130, {29, 30, 98, 30, 98, 30}, {29}},
        {kRouteUpload, 87, {29, 30, 30, 30}, {29}},
        {kSingleRoute, 130, {29, 30, 98, 30, 98, 30}, {29}},
        {kSingleRoute, 87, {29, 30, 30, 30}, {29}},
    };
    for (const auto& row : rows) {
        for (const bool always : {false, true}) {
            SCOPED_TRACE(testing::Message() << "upload " << row.kind << " product " << row.product
                                            << (always ? " always" : " once"));
            Play(row.product, always ? "--reject-packet 3 --reject-always" : "--reject-packet 3");
            store_.DeleteTrackAll();
            store_.DeleteWaypointAll();
            store_.DeleteRouteAll();
            store_.SetErrorCode(0);
            store_.AddTrack("T");
            store_.AddTrackSegment(0);
            store_.AddRoute("R");
            for (int i = 0; i < 3; ++i) {
                store_.AddTrackData(0, 0, -35.5 - i, -139.25, 10, 100u + i);
                store_.AddWaypoint("W" + std::to_string(i), "", -35.5 - i, 139, 0, 0, 0, 0);
                store_.AddRouteWaypoint(0, "R" + std::to_string(i), "", 35, 139 + i, 0, 0, 0, 0);
            }
            const int result = run(row.kind);
            const bool closes = row.kind != kSingleRoute;
            const gpssim::Upload u = OneUpload(!always || closes ? 1 : 0);
            if (!always) {
                EXPECT_EQ(result, 1);
                EXPECT_EQ(u.Ids(), row.all);
                EXPECT_TRUE(u.complete);
                EXPECT_EQ(Sim().Stats().packetsRejected, 1);
                continue;
            }
            EXPECT_EQ(result, 0);
            EXPECT_EQ(store_.GetErrorCode(), static_cast<std::uint32_t>(EPROTO));
            EXPECT_EQ(u.Ids(), row.beforeTheRejected);
            EXPECT_EQ(u.complete, closes);
            // Sent once and again three times.
            EXPECT_EQ(Sim().Stats().packetsRejected, 1 + kMaxResends);
        }
    }
}

TEST_F(TransferFault, MorePacketsThanAnnounced) {
    Play(130, "--extra-packets 3");
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(Names()[0], kFilled[0]);
    // The stream was still acknowledged to its end, so the receiver is not
    // left waiting: 14 records and transfer complete.
    EXPECT_EQ(Received(17).back(), (gpssim::Packet{6, {12, 0}}));
    EXPECT_EQ(progress_, (Progress{{0, 11}, {10, 11}}));

    // Of waypoints the announced ones are kept.
    Play(87, "--extra-packets 1");
    FillStore();
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    ExpectWaypoints(store_.Waypoints(), Sim().Data().waypoints, 4103, 2);
    // Command, then acknowledgements of the count, three waypoints and the end.
    EXPECT_EQ(Received(6).back(), (gpssim::Packet{6, {12, 0}}));
}

TEST_F(TransferFault, NegativeCountChangesNothing) {
    // 0xFFFF read as signed 16-bit.
    Play(130, "--announce -1");
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    EXPECT_EQ(DownloadRoute(Context()), 0);
    EXPECT_EQ(Names(), kFilled);
    // Each stream was taken to its end: 14 track records, 3 waypoints and 6
    // route packets acknowledged, besides each command, count and end.
    const Packets got = Received(3 * 3 + 14 + 3 + 6);
    EXPECT_EQ(got.size(), 32u);
    EXPECT_EQ(got.back(), (gpssim::Packet{6, {12, 0}}));
}

TEST_F(TransferFault, HangUpInTheMiddleOfADownload) {
    Play(130, "--hangup-after 8");
    FillStore();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(Names()[0], kFilled[0]);
    EXPECT_EQ(store_.GetErrorCode(), static_cast<std::uint32_t>(EIO));
    // Once the line is gone every further transfer fails at once.
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

}  // namespace
}  // namespace sorvane::testing_transfers
