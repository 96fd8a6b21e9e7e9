// The control against the receiver simulator: identification, downloads and
// uploads through the dispatch path, and events that reach only the control
// whose transfer or receiver raised them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "control/tsorvane.h"
#include "control_fixture.h"
#include "link/product_table.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::RunningSimulator;
using Progress = std::vector<std::pair<int, int>>;

// A control on port n with its progress recorded.
struct Host {
    controltest::ObjectRef object{controltest::MakeObject(true)};
    TSorvane gps{object.object};
    Progress progress;

    explicit Host(int port) {
        gps.set_CommPort(static_cast<std::int16_t>(port));
        gps.SetOnReceiving(
            [this](std::int32_t n, std::int32_t total) { progress.emplace_back(n, total); });
    }
};

// Simulator options with the receiver's memory given as data file text.
gpssim::Options WithData(const std::string& arguments, const std::string& text) {
    gpssim::Options o = testsupport::ParseSimOptions(arguments);
    std::string error;
    o.data.emplace();
    EXPECT_TRUE(gpssim::ParseDataSet(text, &*o.data, &error)) << error;
    return o;
}

class ControlTransfers : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }
};

TEST_F(ControlTransfers, ReadProductIdMakesTheReportedProductCurrent) {
    struct Case {
        const char* arguments;
        const char* description;
        std::int32_t id, ver, symbols;
    };
    // An unknown product stays current too; it has no symbol set (record type 4101).
    for (const Case& c :
         {Case{"", "eTrex Software Version 2.50", 130, 250, 126},
          Case{"--product 500 --version 123 --description Mystery", "Mystery", 500, 123, 0}}) {
        SCOPED_TRACE(c.description);
        RunningSimulator sim(c.arguments);
        ASSERT_TRUE(sim.ok());
        sim.port(5);
        Host host(5);
        // No capability list may follow; its wait need not be long.
        host.object.ctrl().SetByteTimeoutMs(testsupport::kShortByteTimeoutMs);
        std::int32_t id = 0, ver = 0;
        EXPECT_EQ(host.gps.ReadProductID(&id, &ver), c.description);
        EXPECT_EQ(id, c.id);
        EXPECT_EQ(ver, c.ver);
        EXPECT_EQ(host.object.ctrl().Store()->GetProductID(), c.id);
        EXPECT_EQ(host.gps.GetWaypointSymbolCount(), c.symbols);
        EXPECT_TRUE(host.progress.empty());  // identification raises no events
    }
}

TEST_F(ControlTransfers, TwoControlsEachReceiveOnlyTheirOwnEvents) {
    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "waypoint W" + std::to_string(i) + " 35." + std::to_string(10 + i) + " 139.5\n";
    RunningSimulator simA(WithData("", twelve));
    RunningSimulator simB;
    ASSERT_TRUE(simA.ok());
    ASSERT_TRUE(simB.ok());
    simA.port(5);
    simB.port(6);
    Host a(5);
    Host b(6);  // constructed last
    ASSERT_TRUE(a.gps.SetProductID(130));
    ASSERT_TRUE(b.gps.SetProductID(130));

    ASSERT_EQ(a.gps.DownloadWaypoint(), 1);
    EXPECT_EQ(a.gps.GetWaypointCount(), 12);
    EXPECT_EQ(a.progress, (Progress{{10, 12}}));
    EXPECT_TRUE(b.progress.empty());

    ASSERT_EQ(b.gps.DownloadTrack(), 1);
    // Two headers and twelve points: packets 0 and 10 of 14 are reported.
    EXPECT_EQ(b.progress, (Progress{{0, 14}, {10, 14}}));
    EXPECT_EQ(a.progress.size(), 1u);
    EXPECT_EQ(b.gps.GetTrackName(0), "ACTIVE LOG");
    EXPECT_EQ(b.gps.GetTrackSegmentCount(0), 2);
    EXPECT_EQ(a.gps.GetTrackCount(), 0);
    ASSERT_EQ(b.gps.DownloadRoute(), 1);
    EXPECT_EQ(b.gps.GetRouteWaypointID(0, 2), "HILL");
}

TEST_F(ControlTransfers, ASinkCanAbortAnUploadFromReceiving) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    sim.port(5);
    Host host(5);
    ASSERT_TRUE(host.gps.SetProductID(130));
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(host.gps.AddWaypoint("WP" + std::to_string(i), "", 35.0 + i * 0.01, 139.0, 0.0,
                                         0, 0, 0.0));
    }
    host.gps.SetOnReceiving([&](std::int32_t n, std::int32_t total) {
        host.progress.emplace_back(n, total);
        if (n >= 10)
            host.gps.AbortTransfer();
    });
    EXPECT_TRUE(host.gps.UploadWaypoint());
    EXPECT_EQ(host.progress, (Progress{{0, 25}, {10, 25}}));
    // The records packet, eleven waypoints, the transfer complete packet.
    const auto received = sim.sim().Received();
    EXPECT_EQ(std::count_if(received.begin(), received.end(),
                            [](const gpssim::Packet& p) { return p.id == 35; }),
              11);
    EXPECT_EQ(host.gps.GetWaypointCount(), 25);  // an upload leaves the store alone
}

// ---- NMEA ------------------------------------------------------------------------

// Fixes with a position that a control received on its receiver's thread, and
// whether one lay on the other simulator's side of the equator.
struct Fixes {
    std::atomic<int> own{0};
    std::atomic<bool> foreign{false};
    void Listen(TSorvane& gps, double side) {
        gps.SetOnNMEAReceived([this, side](std::int16_t, double lat, double, double, std::int32_t,
                                           double, std::int16_t) {
            if (lat * side > 30.0)
                ++own;
            else if (lat != 0.0)
                foreign = true;
        });
    }
};

TEST_F(ControlTransfers, TwoReceiversRaiseFixesOnTheirOwnControlsOnly) {
    RunningSimulator simA("--nmea --nmea-rate 20");
    RunningSimulator simB(
        WithData("--nmea --nmea-rate 20",
                 "track SOUTH\npoint -33.45 -70.66 700000000\npoint -33.46 -70.65 700000060\n"));
    ASSERT_TRUE(simA.ok());
    ASSERT_TRUE(simB.ok());
    simA.port(5);
    simB.port(6);
    Fixes fixesA, fixesB;  // outlive the controls whose receivers fill them
    Host a(5);
    Host b(6);
    fixesA.Listen(a.gps, 1.0);
    fixesB.Listen(b.gps, -1.0);
    ASSERT_TRUE(a.gps.StartNMEAReceiving());
    EXPECT_FALSE(a.gps.StartNMEAReceiving());  // one receiver per control
    ASSERT_TRUE(b.gps.StartNMEAReceiving());
    // A generous wait for a few fixes each, not a measurement.
    for (int i = 0; i < 3000 && (fixesA.own < 3 || fixesB.own < 3); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(fixesA.own, 3);
    EXPECT_GE(fixesB.own, 3);
    EXPECT_GT(a.gps.GetNumSatellite(), 0);
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    EXPECT_TRUE(a.gps.GetSatelliteData(0, &prn, &elevation, &azimuth, &snr));
    EXPECT_FALSE(a.gps.GetSatelliteData(24, &prn, &elevation, &azimuth, &snr));
    a.gps.StopNMEAReceiving();
    b.gps.StopNMEAReceiving();
    EXPECT_EQ(a.gps.GetNumSatellite(), 0);
    // A cycle before any position carries zeros; every other fix is the control's own.
    EXPECT_FALSE(fixesA.foreign);
    EXPECT_FALSE(fixesB.foreign);
    EXPECT_TRUE(a.gps.StartNMEAReceiving());  // stopped, a receiver starts again
    a.gps.StopNMEAReceiving();
}

}  // namespace
}  // namespace sorvane
