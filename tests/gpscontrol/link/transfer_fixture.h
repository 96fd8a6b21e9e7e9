#pragma once
// Transfers against the receiver simulator on a pseudo-terminal: a store, a
// simulator playing one model, the progress events, and expectations that
// compare what arrived with what was sent, field by field.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/device_records.h"
#include "link/product_table.h"
#include "link/transfers.h"
#include "records.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"

namespace sorvane::testing_transfers {

using Progress = std::vector<std::pair<int, int>>;

class TransferTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }

    // A simulator playing productId; arguments as the program takes them.
    gpssim::Options Receiver(int productId, const std::string& arguments = "") {
        return testsupport::ParseSimOptions("--product " + std::to_string(productId) + " " +
                                            arguments);
    }
    testsupport::RunningSimulator& Start(gpssim::Options options) {
        sim_.emplace(std::move(options));
        EXPECT_TRUE(sim_->ok());
        return *sim_;
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

    KelData store_;
    Progress progress_;
    std::function<void(int, int)> onProgress_;
    std::optional<testsupport::RunningSimulator> sim_;
};

// Degrees as they come back from the wire after the simulator sent them.
inline double Received(double degrees) {
    return PositionFromWire(gpssim::DegreesToWire(degrees));
}

// The segments a track's points make: a point with its flag starts one, and
// so does the first.
inline std::vector<std::vector<gpssim::SimTrackPoint>> Segments(
    const std::vector<gpssim::SimTrackPoint>& points) {
    std::vector<std::vector<gpssim::SimTrackPoint>> s;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0 || points[i].newSegment)
            s.emplace_back();
        s.back().push_back(points[i]);
    }
    return s;
}

inline void ExpectTrack(const TrackRecord& got, const std::string& name,
                        const std::vector<gpssim::SimTrackPoint>& sent, bool newer) {
    EXPECT_EQ(std::string(got.name), name);
    const auto segments = Segments(sent);
    ASSERT_EQ(got.segments.size(), segments.size());
    for (std::size_t s = 0; s < segments.size(); ++s) {
        ASSERT_EQ(got.segments[s].points.size(), segments[s].size()) << "segment " << s;
        for (std::size_t i = 0; i < segments[s].size(); ++i) {
            SCOPED_TRACE("segment " + std::to_string(s) + " point " + std::to_string(i));
            const TrackPoint& p = got.segments[s].points[i];
            const gpssim::SimTrackPoint& q = segments[s][i];
            EXPECT_EQ(p.latitude, Received(q.latitude));
            EXPECT_EQ(p.longitude, Received(q.longitude));
            EXPECT_EQ(p.time, q.time);
            EXPECT_EQ(p.altitude, newer ? static_cast<double>(q.altitude) : 0.0);
        }
    }
}

// A downloaded waypoint against the one the simulator sent in layout type
// (character set 1).
inline void ExpectWaypoint(const WaypointRecord& got, const gpssim::SimWaypoint& sent, int type) {
    const bool newer = type == 4108 || type == 4109;
    // Older layouts arrive padded with spaces, and are kept so.
    const auto padded = [](std::string s, std::size_t n) {
        s.resize(n, ' ');
        return s;
    };
    EXPECT_EQ(std::string(got.name), newer ? sent.name.substr(0, 10) : padded(sent.name, 6));
    EXPECT_EQ(got.latitude, Received(sent.latitude));
    EXPECT_EQ(got.longitude, Received(sent.longitude));
    EXPECT_EQ(got.altitude, newer ? WaypointAltitudeFromWire(sent.altitude) : 0.0);
    EXPECT_EQ(std::string(got.comment), newer ? "" : padded(sent.comment, 40));
    const int symbol = type == 4101 ? 0 : type == 4103 ? (sent.symbol & 0xFF) : sent.symbol;
    EXPECT_EQ(got.symbol, symbol);
    EXPECT_EQ(got.display, type == 4103 || type == 4104 ? sent.display : 0);
    EXPECT_EQ(got.proximity, type == 4104 ? sent.proximity : 0.0f);
}

// An uploaded waypoint record against the stored one it was built from
// (character set 1).
inline void ExpectUploadedWaypoint(const gpssim::UploadedPacket& p, const WaypointRecord& w,
                                   int type) {
    const bool newer = type == 4108 || type == 4109;
    EXPECT_TRUE(p.sizeMatches);
    std::string name = std::string(w.name).substr(0, newer ? 10 : 6);
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    EXPECT_EQ(p.waypoint.name, name);
    EXPECT_EQ(p.rawLatitude, WaypointPositionToWire(w.latitude));
    EXPECT_EQ(p.rawLongitude, WaypointPositionToWire(w.longitude));
    if (newer) {
        EXPECT_EQ(p.waypoint.altitude,
                  w.altitude == kNoAltitude ? 1.0e25f : static_cast<float>(w.altitude));
        EXPECT_EQ(p.waypoint.symbol, w.symbol);
        EXPECT_EQ(p.waypoint.comment, "");
        return;
    }
    EXPECT_EQ(p.waypoint.comment, std::string(w.comment).substr(0, 40));
    if (type == 4103) {
        EXPECT_EQ(p.waypoint.symbol, w.symbol & 0xFF);
        EXPECT_EQ(p.waypoint.display, w.display);
    } else if (type == 4104) {
        EXPECT_EQ(p.waypoint.symbol, w.symbol);
        EXPECT_EQ(p.waypoint.display, w.display);
        EXPECT_EQ(p.waypoint.proximity, w.proximity);
    } else {
        EXPECT_EQ(p.data.size(), 58u);
    }
}

}  // namespace sorvane::testing_transfers
