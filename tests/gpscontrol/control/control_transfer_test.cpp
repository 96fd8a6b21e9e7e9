// The control against the receiver simulator: identification, downloads and
// uploads through the dispatch path, and events that reach only the control
// whose transfer raised them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "control/dispatch_members.h"
#include "control/tsorvane.h"
#include "control_fixture.h"
#include "link/product_table.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using controltest::MakeObject;
using controltest::ObjectRef;
using testsupport::RunningSimulator;

// A control on port n with its progress recorded.
struct Host {
    ObjectRef object{MakeObject(true)};
    TSorvane gps{object.object};
    std::vector<std::pair<int, int>> progress;

    explicit Host(int port) {
        gps.set_CommPort(static_cast<std::int16_t>(port));
        gps.SetOnReceiving(
            [this](std::int32_t n, std::int32_t total) { progress.emplace_back(n, total); });
    }
};

// A data file for the simulator with twelve waypoints; returns its path.
std::string TwelveWaypoints() {
    char path[] = "/tmp/sorvane-data-XXXXXX";
    const int fd = ::mkstemp(path);
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "waypoint W" + std::to_string(i) + " 35." + std::to_string(10 + i) + " 139.5\n";
    const bool ok =
        fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok ? path : "";
}

class ControlTransfers : public ::testing::Test {
  protected:
    void SetUp() override { ResetProductTable(); }
    void TearDown() override { ResetProductTable(); }
};

TEST_F(ControlTransfers, ReadProductIdMakesTheReportedProductCurrent) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    sim.port(5);
    Host host(5);
    std::int32_t id = 0, ver = 0;
    EXPECT_EQ(host.gps.ReadProductID(&id, &ver), "eTrex Software Version 2.50");
    EXPECT_EQ(id, 130);
    EXPECT_EQ(ver, 250);
    EXPECT_EQ(host.object.ctrl().Store()->GetProductID(), 130);
    EXPECT_TRUE(host.progress.empty());  // identification raises no events
}

TEST_F(ControlTransfers, AnUnknownProductStaysCurrentThroughTheIdentification) {
    RunningSimulator sim("--product 500 --version 123 --description Mystery");
    ASSERT_TRUE(sim.ok());
    sim.port(5);
    Host host(5);
    // No capability list follows; its wait need not be long.
    host.object.ctrl().SetByteTimeoutMs(testsupport::kShortByteTimeoutMs);
    std::int32_t id = 0, ver = 0;
    EXPECT_EQ(host.gps.ReadProductID(&id, &ver), "Mystery");
    EXPECT_EQ(id, 500);
    EXPECT_EQ(ver, 123);
    EXPECT_EQ(host.object.ctrl().Store()->GetProductID(), 500);
    EXPECT_EQ(host.gps.GetWaypointSymbolCount(), 0);  // record type 4101
}

TEST_F(ControlTransfers, DownloadsFillTheStore) {
    RunningSimulator sim;
    ASSERT_TRUE(sim.ok());
    sim.port(5);
    Host host(5);
    ASSERT_TRUE(host.gps.SetProductID(130));

    ASSERT_EQ(host.gps.DownloadWaypoint(), 1);
    ASSERT_EQ(host.gps.GetWaypointCount(), 3);
    EXPECT_EQ(host.gps.GetWaypointID(0), "HOME");
    EXPECT_EQ(host.gps.GetWaypointComment(0), "");  // the newer layouts carry none
    EXPECT_EQ(host.gps.GetWaypointSmbl(1), 18);
    EXPECT_TRUE(host.progress.empty());  // raised at the tenth waypoint, and there are three

    ASSERT_EQ(host.gps.DownloadTrack(), 1);
    // Two headers and twelve points: packets 0 and 10 of 14 are reported.
    EXPECT_EQ(host.progress, (std::vector<std::pair<int, int>>{{0, 14}, {10, 14}}));
    ASSERT_EQ(host.gps.GetTrackCount(), 2);
    EXPECT_EQ(host.gps.GetTrackName(0), "ACTIVE LOG");
    EXPECT_EQ(host.gps.GetTrackSegmentCount(0), 2);
    EXPECT_EQ(host.gps.GetTrackDataCount(0), 8);
    EXPECT_EQ(host.gps.GetTrackSegmentDataCount(1, 0), 4);
    // 2002-05-12 09:00:00 UTC in receiver seconds, as stored.
    EXPECT_EQ(host.gps.GetTrackUnixTime(0, 0, 0), 1021194000 - 631065600);

    ASSERT_EQ(host.gps.DownloadRoute(), 1);
    ASSERT_EQ(host.gps.GetRouteCount(), 1);
    EXPECT_EQ(host.gps.GetRouteName(0), "BAY WALK");
    EXPECT_EQ(host.gps.GetRouteWaypointCount(0), 3);
    EXPECT_EQ(host.gps.GetRouteWaypointID(0, 2), "HILL");
    EXPECT_EQ(host.gps.GetErrorCode(), 0);
}

TEST_F(ControlTransfers, TwoControlsEachReceiveOnlyTheirOwnEvents) {
    const std::string data = TwelveWaypoints();
    RunningSimulator simA("--data " + data);
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
    EXPECT_EQ(a.progress, (std::vector<std::pair<int, int>>{{10, 12}}));
    EXPECT_TRUE(b.progress.empty());

    ASSERT_EQ(b.gps.DownloadTrack(), 1);
    EXPECT_EQ(a.progress.size(), 1u);
    ASSERT_FALSE(b.progress.empty());
    EXPECT_EQ(b.progress.front().first, 0);
    for (const auto& [n, total] : b.progress) {
        EXPECT_EQ(n % 10, 0);
        EXPECT_LT(n, total);
    }
    EXPECT_EQ(b.gps.GetTrackCount(), 2);
    EXPECT_EQ(a.gps.GetTrackCount(), 0);
    std::remove(data.c_str());
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
    EXPECT_EQ(host.progress, (std::vector<std::pair<int, int>>{{0, 25}, {10, 25}}));
    // The records packet, eleven waypoints, the transfer complete packet.
    const auto received = sim.sim().Received();
    const auto waypoints = std::count_if(received.begin(), received.end(),
                                         [](const gpssim::Packet& p) { return p.id == 35; });
    EXPECT_EQ(waypoints, 11);
    EXPECT_EQ(host.gps.GetWaypointCount(), 25);  // an upload leaves the store alone
}

// ---- NMEA ------------------------------------------------------------------------

struct Fixes {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<double> latitudes;

    void Add(double lat) {
        {
            std::lock_guard lock(mutex);
            latitudes.push_back(lat);
        }
        changed.notify_all();
    }
    // Waits (generously) until n fixes with a position have come.
    bool WaitForPositions(std::size_t n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return static_cast<std::size_t>(std::count_if(latitudes.begin(), latitudes.end(),
                                                          [](double l) { return l != 0.0; })) >= n;
        });
    }
    std::vector<double> Snapshot() {
        std::lock_guard lock(mutex);
        return latitudes;
    }
};

// A data file whose one track lies south of the equator.
std::string SouthernTrack() {
    char path[] = "/tmp/sorvane-data-XXXXXX";
    const int fd = ::mkstemp(path);
    const std::string text =
        "track SOUTH\npoint -33.45 -70.66 700000000\npoint -33.46 -70.65 700000060\n";
    const bool ok =
        fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0)
        ::close(fd);
    return ok ? path : "";
}

TEST_F(ControlTransfers, TwoReceiversRaiseFixesOnTheirOwnControlsOnly) {
    const std::string south = SouthernTrack();
    RunningSimulator simA("--nmea --nmea-rate 20");
    RunningSimulator simB("--nmea --nmea-rate 20 --data " + south);
    ASSERT_TRUE(simA.ok());
    ASSERT_TRUE(simB.ok());
    simA.port(5);
    simB.port(6);
    Fixes fixesA, fixesB;  // outlive the controls whose receivers fill them
    Host a(5);
    Host b(6);
    a.gps.SetOnNMEAReceived([&](std::int16_t, double lat, double, double, std::int32_t, double,
                                std::int16_t) { fixesA.Add(lat); });
    b.gps.SetOnNMEAReceived([&](std::int16_t, double lat, double, double, std::int32_t, double,
                                std::int16_t) { fixesB.Add(lat); });
    ASSERT_TRUE(a.gps.StartNMEAReceiving());
    EXPECT_FALSE(a.gps.StartNMEAReceiving());  // one receiver per control
    ASSERT_TRUE(b.gps.StartNMEAReceiving());
    EXPECT_TRUE(fixesA.WaitForPositions(3));
    EXPECT_TRUE(fixesB.WaitForPositions(3));
    EXPECT_GT(a.gps.GetNumSatellite(), 0);
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    EXPECT_TRUE(a.gps.GetSatelliteData(0, &prn, &elevation, &azimuth, &snr));
    EXPECT_FALSE(a.gps.GetSatelliteData(24, &prn, &elevation, &azimuth, &snr));
    a.gps.StopNMEAReceiving();
    b.gps.StopNMEAReceiving();
    EXPECT_EQ(a.gps.GetNumSatellite(), 0);
    // A cycle before any position carries zeros; every other fix is the control's own.
    for (double lat : fixesA.Snapshot())
        EXPECT_TRUE(lat == 0.0 || lat > 30.0) << lat;
    for (double lat : fixesB.Snapshot())
        EXPECT_TRUE(lat == 0.0 || lat < -30.0) << lat;
    // Stopped, a receiver starts again.
    EXPECT_TRUE(a.gps.StartNMEAReceiving());
    a.gps.StopNMEAReceiving();
    std::remove(south.c_str());
}

TEST_F(ControlTransfers, StartingOnAMissingPortStillCountsAsStarted) {
    testsupport::ScopedEnv port("SORVANE_COM7", controltest::kMissingPort);
    Host host(7);
    EXPECT_TRUE(host.gps.StartNMEAReceiving());
    EXPECT_FALSE(host.gps.StartNMEAReceiving());
    EXPECT_EQ(host.gps.GetNumSatellite(), 0);
    host.gps.StopNMEAReceiving();
    host.gps.StopNMEAReceiving();  // nothing to stop
    EXPECT_TRUE(host.gps.StartNMEAReceiving());
}

}  // namespace
}  // namespace sorvane
