// The layouts that only some models use: the eMap's 4109 after its
// capability switch, and the names of character set 2.

#include <gtest/gtest.h>

#include "transfer_fixture.h"

namespace sorvane::testing_transfers {
namespace {

TEST_F(TransferTest, EmapWithTheCapabilitySwitchSpeaksLayout4109) {
    Start(Receiver(111, "--waypoint-type 4109"));
    const ProductIdentification id = IdentifyProduct(Context());
    ASSERT_TRUE(id.ok);
    EXPECT_EQ(store_.GetProductID(), 111);
    ASSERT_EQ(store_.GetWaypointType(), 4109);
    // Another store of the process sees the switch too.
    KelData other;
    ASSERT_EQ(other.SetProductID(111), 1);
    EXPECT_EQ(other.GetWaypointType(), 4109);

    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    const gpssim::DataSet d = Sim().Data();
    ASSERT_EQ(store_.Waypoints().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        ExpectWaypoint(store_.Waypoints()[i], d.waypoints[i], 4109);
    ASSERT_EQ(DownloadRoute(Context()), 1);
    ASSERT_EQ(store_.Routes().size(), 1u);
    ExpectWaypoint(store_.Routes()[0].waypoints[1], d.routes[0].waypoints[1], 4109);

    store_.AddWaypoint("emap point", "not sent", 34.5, 135.5, 3.0, 42, 1, 9.0);
    ASSERT_EQ(UploadWaypoint(Context()), 1);
    const auto uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    ASSERT_EQ(uploads[0].packets.size(), 4u);
    EXPECT_EQ(uploads[0].packets[3].data.size(), 68u);
    ExpectUploadedWaypoint(uploads[0].packets[3], store_.Waypoints()[3], 4109);
    EXPECT_EQ(uploads[0].packets[3].waypoint.name, "EMAP POINT");
    // 0xFF at 48 to 51, the name from 52.
    EXPECT_EQ(uploads[0].packets[3].data[48], 0xFF);
    EXPECT_EQ(uploads[0].packets[3].data[51], 0xFF);
    EXPECT_EQ(uploads[0].packets[3].data[52], 'E');
}

TEST_F(TransferTest, EmapWithoutTheSwitchStaysWithLayout4108) {
    Start(Receiver(111));
    ASSERT_TRUE(IdentifyProduct(Context()).ok);
    EXPECT_EQ(store_.GetWaypointType(), 4108);
    ASSERT_EQ(DownloadWaypoint(Context()), 1);
    ExpectWaypoint(store_.Waypoints()[0], Sim().Data().waypoints[0], 4108);
}

// Names in the receiver's code of character set 2.
gpssim::DataSet KanaNames() {
    gpssim::DataSet d;
    const char* names[] = {"\x21\x52", "\x3E\x5C\x5D\x5E",
                           "\x21\x22\x23\x24\x25\x26\x27\x28\x29\x2A", "\x4E\x4F\x50\x51\x00"};
    for (const char* n : names) {
        gpssim::SimWaypoint w;
        w.name = n;
        w.latitude = 35.0;
        w.longitude = 135.0;
        d.waypoints.push_back(w);
    }
    d.routes.push_back({3, "KANA", {d.waypoints[0], d.waypoints[1]}});
    return d;
}

TEST_F(TransferTest, CharacterSet2NamesAreTranslatedOnDownload) {
    for (int product : {105, 153}) {
        SCOPED_TRACE(product);
        gpssim::Options o = Receiver(product);
        o.data = KanaNames();
        Start(o);
        ASSERT_EQ(store_.SetProductID(product), 1);
        ASSERT_EQ(store_.GetCharacterSet(), 2);
        ASSERT_EQ(DownloadWaypoint(Context()), 1);
        ASSERT_EQ(store_.GetWaypointCount(), 4);
        EXPECT_EQ(store_.GetWaypointID(0), "\xB1\x30    ");
        EXPECT_EQ(store_.GetWaypointID(1), "\xCE\x2D\xDF\xDE  ");
        // Six characters are all an older receiver has.
        EXPECT_EQ(store_.GetWaypointID(2), product == 105
                                               ? "\xB1\xB2\xB3\xB4\xB5\xB6"
                                               : "\xB1\xB2\xB3\xB4\xB5\xB6\xB7\xB8\xB9\xBA");
        EXPECT_EQ(store_.GetWaypointID(3), "\xA6\xAC\xAD\xAE  ");
        ASSERT_EQ(DownloadRoute(Context()), 1);
        ASSERT_EQ(store_.GetRouteCount(), 1);
        EXPECT_EQ(store_.GetRouteWaypointID(0, 0), "\xB1\x30    ");
        EXPECT_EQ(store_.GetRouteWaypointID(0, 1), "\xCE\x2D\xDF\xDE  ");
    }
}

TEST_F(TransferTest, CharacterSet2NamesAreTranslatedOnUpload) {
    for (int product : {105, 153}) {
        SCOPED_TRACE(product);
        store_.DeleteWaypointAll();
        store_.DeleteRouteAll();
        Start(Receiver(product));
        ASSERT_EQ(store_.SetProductID(product), 1);
        // Katakana with receiver codes, digits, a space, and codes without one.
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
