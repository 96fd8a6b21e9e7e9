#pragma once
// Transfers against the receiver simulator on a pseudo-terminal: a store, a
// simulator playing one model, the progress events, and expectations that
// compare what arrived with what was sent. Downloads are compared field by
// field with the simulator's data; uploads byte for byte with the record
// builders, which are pinned on their own.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "link/device_records.h"
#include "link/packet.h"
#include "records.h"
#include "records/product_table.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"
#include "transfer/transfers.h"

namespace sorvane::testing_transfers {

using Progress = std::vector<std::pair<int, int>>;
using Two = std::array<std::uint8_t, 2>;
using Ids = std::vector<int>;
using Packets = std::vector<gpssim::Packet>;
using Held = std::array<std::string, 3>;  // tracks, waypoints, routes

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }

    // A simulator playing product (arguments as the program takes them) with
    // data instead of the built-in set, and the store set to the same product.
    void Play(int product, const std::string& arguments = "",
              std::optional<gpssim::DataSet> data = std::nullopt) {
        gpssim::Options o =
            testsupport::ParseSimOptions("--product " + std::to_string(product) + " " + arguments);
        if (data)
            o.data = std::move(data);
        sim_.reset();
        sim_.emplace(std::move(o));
        EXPECT_TRUE(sim_->ok());
        EXPECT_EQ(store_.SetProductID(product), IsKnownProduct(product) ? 1 : 0);
        progress_.clear();
    }
    gpssim::Simulator& Sim() { return sim_->sim(); }

    // The context of a transfer on the simulator's line (port 5).
    TransferContext Context() {
        return TransferContext{store_, sim_ ? sim_->port(5) : PortSettings{},
                               [this](std::int32_t done, std::int32_t total) {
                                   progress_.emplace_back(done, total);
                                   if (onProgress_)
                                       onProgress_(done, total);
                               },
                               testsupport::kShortByteTimeoutMs};
    }

    // The uploads the simulator recorded, once n of them are complete (or
    // after a short wait when fewer are expected to complete).
    std::vector<gpssim::Upload> Uploads(std::size_t complete = 1) {
        Sim().WaitForCompleteUploads(complete, std::chrono::seconds(complete > 0 ? 10 : 0));
        return Sim().Uploads();
    }
    gpssim::Upload OneUpload(std::size_t complete = 1) {
        const auto u = Uploads(complete);
        EXPECT_EQ(u.size(), 1u);
        return u.empty() ? gpssim::Upload{} : u[0];
    }
    // The packets the simulator took from us, once there are n.
    Packets Received(std::size_t n) {
        EXPECT_TRUE(Sim().WaitForReceived(n, std::chrono::seconds(10)));
        return Sim().Received();
    }

    // One of everything, as the store holds it before a download.
    void FillStore() {
        store_.DeleteTrackAll();
        store_.DeleteWaypointAll();
        store_.DeleteRouteAll();
        store_.AddTrack("OLD");
        store_.AddTrackSegment(0);
        store_.AddTrackData(0, 0, 1.0, 2.0, 3.0, 4u);
        store_.AddWaypoint("OLD", "", 1.0, 2.0, 3.0, 0, 0, 0);
        store_.AddRoute("OLD");
    }
    static inline const Held kFilled = {"OLD/1 ", "OLD ", "OLD "};
    // The names the store holds, a track's with its point count.
    Held Names() {
        Held h;
        for (int i = 0; i < store_.GetTrackCount(); ++i)
            h[0] +=
                store_.GetTrackName(i) + "/" + std::to_string(store_.GetTrackDataCount(i)) + " ";
        for (int i = 0; i < store_.GetWaypointCount(); ++i)
            h[1] += store_.GetWaypointID(i) + " ";
        for (int i = 0; i < store_.GetRouteCount(); ++i)
            h[2] += store_.GetRouteName(i) + " ";
        return h;
    }

    KelData store_;
    Progress progress_;
    std::function<void(int, int)> onProgress_;
    std::optional<testsupport::RunningSimulator> sim_;
};

// One track of n points; flags[i] starts a segment (the first point always).
inline gpssim::DataSet OneTrack(int n, std::vector<bool> flags = {}) {
    gpssim::DataSet d;
    d.tracks.push_back({"T", {}});
    for (int i = 0; i < n; ++i) {
        const bool flag = i == 0 || (static_cast<std::size_t>(i) < flags.size() && flags[i]);
        d.tracks[0].points.push_back({-35.5 + i * 0.01, 139.5 - i * 0.01, 1000u + i, 0.0f, flag});
    }
    return d;
}

// Degrees as they come back from the wire after the simulator sent them.
inline double Received(double degrees) {
    return PositionFromWire(gpssim::DegreesToWire(degrees));
}

// A downloaded track against the points the simulator sent: a point with its
// flag starts a segment, and so does the first.
inline void ExpectTrack(const TrackRecord& got, const std::string& name,
                        const std::vector<gpssim::SimTrackPoint>& sent, bool newer) {
    using Point = std::tuple<std::size_t, double, double, std::uint32_t, double>;
    std::vector<Point> have, want;
    for (std::size_t s = 0; s < got.segments.size(); ++s) {
        for (const TrackPoint& p : got.segments[s].points)
            have.emplace_back(s, p.latitude, p.longitude, p.time, p.altitude);
    }
    std::size_t segments = 0;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const gpssim::SimTrackPoint& q = sent[i];
        segments += i == 0 || q.newSegment;
        want.emplace_back(segments - 1, Received(q.latitude), Received(q.longitude), q.time,
                          newer ? q.altitude : 0.0);
    }
    EXPECT_EQ(std::string(got.name), name);
    EXPECT_EQ(got.segments.size(), segments);
    EXPECT_EQ(have, want);
}

inline auto Fields(const WaypointRecord& w) {
    return std::tuple(std::string(w.name), w.latitude, w.longitude, w.altitude,
                      std::string(w.comment), w.symbol, w.display, w.proximity);
}

// Downloaded waypoints against the first n (all by default) the simulator
// sent in layout type: each as the record parser, pinned on its own, reads
// the simulator's record of it (character set 1).
inline void ExpectWaypoints(const std::vector<WaypointRecord>& got,
                            const std::vector<gpssim::SimWaypoint>& sent, int type,
                            std::size_t n = SIZE_MAX) {
    ASSERT_EQ(got.size(), std::min(n, sent.size()));
    for (std::size_t i = 0; i < got.size(); ++i) {
        WaypointRecord want;
        ASSERT_TRUE(ParseWaypoint(type, 1, gpssim::EncodeWaypoint(type, sent[i]), &want));
        EXPECT_EQ(Fields(got[i]), Fields(want)) << "waypoint " << i;
    }
}

// The data of a packet the builders make.
inline std::vector<std::uint8_t> DataOf(const std::vector<std::uint8_t>& packet) {
    const auto d = PacketData(packet.data(), packet.size());
    return {d.begin(), d.end()};
}

// The records of an upload as the simulator took them.
inline Packets Sent(const gpssim::Upload& u) {
    Packets sent;
    for (const auto& p : u.packets)
        sent.push_back({p.id, p.data});
    return sent;
}

}  // namespace sorvane::testing_transfers
