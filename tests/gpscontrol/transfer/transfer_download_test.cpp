// Downloads of tracks, waypoints and routes for both receiver families,
// identification applied to the store, and the layouts that only some models
// use: the eMap's 4109 after its capability switch, and the names of
// character set 2.

#include <gtest/gtest.h>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

TEST_F(TransferTest, NewerFamilyTrackDownloadReplacesTheTracksWithEveryTrackAndSegment) {
    Play(130);
    FillStore();
    store_.SetErrorCode(77);
    store_.AbortTransfer();
    ASSERT_EQ(DownloadTrack(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.Tracks().size(), 2u);
    ExpectTrack(store_.Tracks()[0], "ACTIVE LOG", d.tracks[0].points, true);
    ExpectTrack(store_.Tracks()[1], "FERRY", d.tracks[1].points, true);
    EXPECT_EQ(store_.Tracks()[0].segments.size(), 2u);
    // Two headers and twelve points.
    EXPECT_EQ(progress_, (Progress{{0, 14}, {10, 14}}));
    // A success keeps the code of an earlier failure; the abort flag of an
    // earlier transfer is cleared at the start.
    EXPECT_EQ(store_.GetErrorCode(), 77u);
    EXPECT_FALSE(store_.IsAbortRequested());
    // Every packet acknowledged, transfer complete included.
    const Packets got = Received(17);
    ASSERT_EQ(got.size(), 1u + 1u + 14u + 1u);
    EXPECT_EQ(got[0], (gpssim::Packet{10, {6, 0}}));
    EXPECT_EQ(got[1], (gpssim::Packet{6, {27, 0}}));
    EXPECT_EQ(got[2], (gpssim::Packet{6, {99, 0}}));
    EXPECT_EQ(got.back(), (gpssim::Packet{6, {12, 0}}));
}

// One track without altitude: 25 points report progress at 0, 10 and 20;
// flags 1, 0, 0, 1, 0 give segments of 3 and 2; an empty log is one track
// without segments.
TEST_F(TransferTest, OlderFamilyTrackDownloadsAreOneTrackWithoutAltitude) {
    const struct {
        int product;
        gpssim::DataSet data;
        Progress progress;
        std::vector<std::size_t> segments;
    } rows[] = {
        {87, OneTrack(25), {{0, 25}, {10, 25}, {20, 25}}, {25}},
        {41, OneTrack(5, {true, false, false, true, false}), {{0, 5}}, {3, 2}},
        {87, {}, {{0, 0}}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.segments.size());
        Play(row.product, "", row.data);
        ASSERT_EQ(DownloadTrack(Context()), 1);
        EXPECT_EQ(progress_, row.progress);
        ASSERT_EQ(store_.Tracks().size(), 1u);
        const TrackRecord& t = store_.Tracks()[0];
        EXPECT_STREQ(t.name, "");
        std::vector<std::size_t> sizes;
        for (const TrackSegment& s : t.segments)
            sizes.push_back(s.points.size());
        EXPECT_EQ(sizes, row.segments);
        if (!row.data.tracks.empty())
            ExpectTrack(t, "", row.data.tracks[0].points, false);
    }
}

TEST_F(TransferTest, NewerFamilyDownloadWithoutTrackHeadersLeavesNoTracks) {
    // An older receiver's stream read as the newer family: points, no headers.
    Play(87);
    ASSERT_EQ(store_.SetProductID(130), 1);
    FillStore();
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(store_.GetTrackCount(), 0);
}

TEST_F(TransferTest, WaypointDownloadsInEachLayoutReplaceTheWaypoints) {
    FillStore();
    for (int product : {41, 87, 129, 130}) {
        SCOPED_TRACE(product);
        Play(product);
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        ExpectWaypoints(store_.Waypoints(), Sim().Data().waypoints, store_.GetWaypointType());
        EXPECT_TRUE(progress_.empty());
    }
    // Newer family: names unpadded, altitudes kept as received or none.
    EXPECT_EQ(store_.GetWaypointID(0), "HOME");
    EXPECT_EQ(store_.Waypoints()[0].altitude, 25.0);
    EXPECT_EQ(store_.Waypoints()[2].altitude, kNoAltitude);

    gpssim::DataSet d;
    for (int i = 0; i < 12; ++i)
        d.waypoints.push_back({"WP" + std::to_string(i), "", 35.0 + i * 0.1, 139.0, 1.0f,
                               static_cast<std::uint16_t>(i)});
    Play(130, "", d);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    EXPECT_EQ(progress_, (Progress{{10, 12}}));
    ExpectWaypoints(store_.Waypoints(), d.waypoints, 4108);
}

TEST_F(TransferTest, RouteDownloadsOfBothFamilies) {
    gpssim::DataSet d = gpssim::BuiltInDataSet();
    d.routes.push_back({9, "SECOND ROUTE", {d.waypoints[2], d.waypoints[0]}});
    Play(130, "", d);
    FillStore();
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 2u);
    for (std::size_t r = 0; r < 2; ++r) {
        EXPECT_EQ(store_.Routes()[r].number, 0);  // the newer family numbers no routes
        EXPECT_EQ(std::string(store_.Routes()[r].name), d.routes[r].name);
        ExpectWaypoints(store_.Routes()[r].waypoints, d.routes[r].waypoints, 4108);
    }
    // Header, three waypoints, two links; header, two waypoints, one link;
    // transfer complete is packet 10.
    EXPECT_EQ(progress_, (Progress{{0, 10}, {10, 10}}));

    Play(129);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 1u);
    const std::string name = "BAY WALK" + std::string(63 - 8, ' ');
    EXPECT_EQ(store_.Routes()[0].number, 1);
    EXPECT_EQ(std::string(store_.Routes()[0].name), name);
    ExpectWaypoints(store_.Routes()[0].waypoints, Sim().Data().routes[0].waypoints, 4104);

    // A stream without route headers keeps the routes held.
    Play(87, "", gpssim::DataSet{});
    EXPECT_EQ(DownloadRoute(Context()), 0);
    EXPECT_EQ(Names()[2], name + " ");
}

TEST_F(TransferTest, AbortFromTheProgressHandler) {
    // A track download keeps the previous tracks.
    Play(130);
    FillStore();
    onProgress_ = [this](int done, int) {
        if (done == 10)
            store_.AbortTransfer();
    };
    EXPECT_EQ(DownloadTrack(Context()), 0);
    EXPECT_EQ(Names(), kFilled);

    // A waypoint download keeps what came.
    gpssim::DataSet d;
    for (int i = 0; i < 15; ++i)
        d.waypoints.push_back({"W" + std::to_string(i), "", 35.0, 139.0 + i * 0.01});
    Play(87, "", d);
    onProgress_ = [this](int, int) { store_.AbortTransfer(); };
    EXPECT_EQ(DownloadWaypoint(Context()), 0);
    ExpectWaypoints(store_.Waypoints(), d.waypoints, 4103, 10);
}

TEST_F(TransferTest, IdentificationMakesTheReportedProductCurrent) {
    Play(500, "--version 321");
    store_.SetErrorCode(5);
    store_.AbortTransfer();
    const ProductIdentification r = IdentifyProduct(Context());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.productId, 500);
    EXPECT_EQ(store_.GetProductID(), 500);
    EXPECT_EQ(store_.GetSoftwareVersion(), 321);
    EXPECT_EQ(store_.GetWaypointType(), 4101);
    EXPECT_EQ(store_.GetRouteHeaderType(), 4201);
    // Error code and abort flag are left alone; no progress.
    EXPECT_EQ(store_.GetErrorCode(), 5u);
    EXPECT_TRUE(store_.IsAbortRequested());
    EXPECT_TRUE(progress_.empty());
}

TEST_F(TransferTest, EmapWithTheCapabilitySwitchSpeaksLayout4109) {
    Play(111, "--waypoint-type 4109");
    ASSERT_TRUE(IdentifyProduct(Context()).ok);
    ASSERT_EQ(store_.GetWaypointType(), 4109);
    // Another store of the process sees the switch too.
    KelData other;
    ASSERT_EQ(other.SetProductID(111), 1);
    EXPECT_EQ(other.GetWaypointType(), 4109);

    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ExpectWaypoints(store_.Waypoints(), d.waypoints, 4109);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 1u);
    ExpectWaypoints(store_.Routes()[0].waypoints, d.routes[0].waypoints, 4109);

    store_.AddWaypoint("emap point", "not sent", 34.5, 135.5, 3.0, 42, 1, 9.0);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    const gpssim::Upload u = OneUpload();
    ASSERT_EQ(u.packets.size(), 4u);
    EXPECT_EQ(u.packets[3].data, DataOf(BuildWaypointPacket(4109, 1, 35, store_.Waypoints()[3])));
    EXPECT_EQ(u.packets[3].waypoint.name, "EMAP POINT");
}

TEST_F(TransferTest, CharacterSet2NamesAreTranslatedBothWays) {
    // Names in the receiver's code.
    gpssim::DataSet d;
    for (const char* n : {"\x21\x52", "\x3E\x5C\x5D\x5E",
                          "\x21\x22\x23\x24\x25\x26\x27\x28\x29\x2A", "\x4E\x4F\x50\x51"})
        d.waypoints.push_back({n, "", 35.0, 135.0});
    d.routes.push_back({3, "KANA", {d.waypoints[0], d.waypoints[1]}});
    for (int product : {105, 153}) {
        SCOPED_TRACE(product);
        Play(product, "", d);
        ASSERT_EQ(store_.GetCharacterSet(), 2);
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        ASSERT_EQ(DownloadRoute(Context()), 1);
        // Six characters are all an older receiver has.
        const std::string ten = product == 105 ? "\xB1\xB2\xB3\xB4\xB5\xB6"
                                               : "\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA";
        EXPECT_EQ(Names()[1], "\xB1\x30     \xCE\x2D\xDF\xDE   " + ten + " \xA6\xAC\xAD\xAE   ");
        ASSERT_EQ(store_.GetRouteCount(), 1);
        EXPECT_EQ(store_.GetRouteWaypointID(0, 0), "\xB1\x30    ");
        EXPECT_EQ(store_.GetRouteWaypointID(0, 1), "\xCE\x2D\xDF\xDE  ");

        // Katakana with receiver codes, digits, a space, and codes without one.
        store_.DeleteWaypointAll();
        store_.DeleteRouteAll();
        store_.AddWaypoint("\xC0\xD1\x31 \xAC\xB1\x41\xC9\xDD\x30\x39", "", 35, 135, 0, 0, 0, 0);
        store_.AddRoute("R");
        store_.AddRouteWaypoint(0, "\xD5\x35", "", 35, 135, 0, 0, 0, 0);
        ASSERT_EQ(UploadWaypoint(Context()), 1);
        ASSERT_EQ(UploadRoute(Context()), 1);
        const auto uploads = Uploads(2);
        ASSERT_EQ(uploads.size(), 2u);
        // 0xB1 maps back to its own code too; 'A' has none and becomes '0'.
        const std::string all = "\x30\x41\x53\x20\x4F\x21\x52\x39\x4D\x52";
        EXPECT_EQ(uploads[0].packets[0].waypoint.name, product == 105 ? all.substr(0, 6) : all);
        EXPECT_EQ(uploads[1].packets[1].waypoint.name, "\x45\x57");
    }
}

}  // namespace
}  // namespace sorvane::testing_transfers
