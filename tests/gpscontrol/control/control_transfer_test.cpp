// The control against the receiver simulator: identification, downloads and
// uploads through the dispatch path, and events that reach only the control
// whose transfer or receiver raised them.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/tsorvane.h"
#include "control_fixture.h"
#include "records.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using testsupport::RunningSimulator;
using Progress = std::vector<std::pair<int, int>>;

// A control on port n of a simulator, with its progress and fixes recorded.
struct Host {
    // Filled on the receiver's thread: fixes on this simulator's side of the
    // equator, and whether one lay on the other side. Declared first, so that
    // they outlive the control and its receiver.
    std::atomic<int> ownFixes{0};
    std::atomic<bool> foreignFix{false};
    controltest::ObjectRef object{controltest::MakeObject(true)};
    TSorvane gps{object.object};
    Progress progress;

    Host(RunningSimulator& sim, int port) {
        EXPECT_TRUE(sim.ok());
        sim.port(port);
        gps.set_CommPort(static_cast<std::int16_t>(port));
        gps.SetOnReceiving(
            [this](std::int32_t n, std::int32_t total) { progress.emplace_back(n, total); });
    }
    void ListenForFixes(double side) {
        gps.SetOnNMEAReceived([this, side](std::int16_t, double lat, double, double, std::int32_t,
                                           double, std::int16_t) {
            if (lat * side > 30.0)
                ++ownFixes;
            else if (lat != 0.0)
                foreignFix = true;
        });
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

TEST(ControlTransfers, TwoControlsIdentifyAndTransferEachWithOnlyItsOwnEventsAndMayAbort) {
    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "waypoint W" + std::to_string(i) + " 35." + std::to_string(10 + i) + " 139.5\n";
    RunningSimulator simA(WithData("", twelve));
    RunningSimulator simB;
    Host a(simA, 5);
    Host b(simB, 6);  // constructed last
    ASSERT_TRUE(a.gps.SetProductID(130));
    std::int32_t id = 0, ver = 0;
    EXPECT_EQ(b.gps.ReadProductID(&id, &ver), "eTrex Software Version 2.50");
    EXPECT_EQ(std::pair(id, ver), std::pair(130, 250));
    EXPECT_TRUE(b.progress.empty());  // identification raises no events
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

    // A sink stops an upload from inside Receiving.
    a.progress.clear();
    a.gps.SetOnReceiving([&](std::int32_t n, std::int32_t total) {
        a.progress.emplace_back(n, total);
        if (n >= 10)
            a.gps.AbortTransfer();
    });
    EXPECT_TRUE(a.gps.UploadWaypoint());
    EXPECT_EQ(a.progress, (Progress{{0, 12}, {10, 12}}));
    // The records packet, eleven waypoints, the transfer complete packet.
    const auto received = simA.sim().Received();
    EXPECT_EQ(std::count_if(received.begin(), received.end(),
                            [](const gpssim::Packet& p) { return p.id == 35; }),
              11);
    EXPECT_EQ(a.gps.GetWaypointCount(), 12);  // an upload leaves the store alone
}

// What a download hands out in the Tokyo datum, added back as it was read
// and uploaded, goes out as the very wire values that came in: positions
// with and without altitude, in both families.
TEST(ControlTransfers, ReadAndAddedBackUploadsTheWireValuesDownloaded) {
    const std::string data =
        "waypoint A 35.658581 139.745433 alt=25.5\n"
        "waypoint B -33.86 151.21 alt=none\n"
        "waypoint C 0.000000083 -0.5 alt=none\n"
        "waypoint D 64.1 -21.9 alt=-12.25\n"
        "track T\npoint 35.6586 139.7454 700000000 20.5\n"
        "point 35.6574 139.7465 700000030 none\n"
        "segment\npoint 43.06 141.35 700000060 12\n";
    for (const std::int32_t product : {130, 87}) {
        SCOPED_TRACE(product);
        const gpssim::Options options = WithData("--product " + std::to_string(product), data);
        const gpssim::DataSet original = *options.data;
        RunningSimulator sim(options);
        Host h(sim, 5);
        ASSERT_TRUE(h.gps.SetProductID(product));
        ASSERT_EQ(h.gps.DownloadWaypoint(), 1);
        ASSERT_EQ(h.gps.DownloadTrack(), 1);
        struct Read {
            std::string name;
            double lat, lon, alt;
            std::uint32_t time;
        };
        std::vector<Read> waypoints;
        for (int i = 0; i < h.gps.GetWaypointCount(); ++i)
            waypoints.push_back({h.gps.GetWaypointID(i), h.gps.GetWaypointLatitude(i),
                                 h.gps.GetWaypointLongitude(i), h.gps.GetWaypointAltitude(i), 0});
        std::vector<std::vector<Read>> segments;
        for (int s = 0; s < h.gps.GetTrackSegmentCount(0); ++s) {
            segments.emplace_back();
            for (int d = 0; d < h.gps.GetTrackSegmentDataCount(0, s); ++d) {
                Read p{};
                ASSERT_TRUE(h.gps.GetTrackPosition(0, s, d, &p.lat, &p.lon, &p.alt));
                p.time = static_cast<std::uint32_t>(h.gps.GetTrackUnixTime(0, s, d));
                segments.back().push_back(p);
            }
        }
        h.gps.DeleteWaypointAll();
        h.gps.DeleteTrackAll();
        for (const Read& w : waypoints)
            h.gps.AddWaypoint(w.name, "", w.lat, w.lon, w.alt, 0, 0, 0.0);
        h.gps.AddTrack("T");
        for (std::size_t s = 0; s < segments.size(); ++s) {
            h.gps.AddTrackSegment(0);
            for (const Read& p : segments[s])
                h.gps.AddTrackData(0, static_cast<std::int32_t>(s), p.lat, p.lon, p.alt,
                                   static_cast<std::int32_t>(p.time));
        }
        ASSERT_EQ(h.gps.UploadWaypoint(), 1);
        ASSERT_EQ(h.gps.UploadTrack(), 1);
        ASSERT_TRUE(sim.sim().WaitForCompleteUploads(2, std::chrono::seconds(10)));
        const std::vector<gpssim::Upload> uploads = sim.sim().Uploads();
        const bool newer = product == 130;
        std::size_t w = 0;
        for (const gpssim::UploadedPacket& p : uploads[0].packets) {
            if (p.id != 35)
                continue;
            ASSERT_LT(w, original.waypoints.size());
            const gpssim::SimWaypoint& want = original.waypoints[w++];
            EXPECT_EQ(p.rawLatitude, gpssim::DegreesToWire(want.latitude)) << want.name;
            EXPECT_EQ(p.rawLongitude, gpssim::DegreesToWire(want.longitude)) << want.name;
            if (newer) {
                EXPECT_EQ(p.waypoint.altitude, want.altitude) << want.name;
            }
        }
        EXPECT_EQ(w, original.waypoints.size());
        std::size_t k = 0;
        for (const gpssim::UploadedPacket& p : uploads[1].packets) {
            if (p.id != 34)
                continue;
            ASSERT_LT(k, original.tracks[0].points.size());
            const gpssim::SimTrackPoint& want = original.tracks[0].points[k++];
            EXPECT_EQ(p.rawLatitude, gpssim::DegreesToWire(want.latitude)) << k;
            EXPECT_EQ(p.rawLongitude, gpssim::DegreesToWire(want.longitude)) << k;
            EXPECT_EQ(p.trackPoint.time, want.time) << k;
            EXPECT_EQ(p.trackPoint.newSegment, want.newSegment) << k;
            if (newer) {
                EXPECT_EQ(p.trackPoint.altitude, want.altitude) << k;
            }
        }
        EXPECT_EQ(k, original.tracks[0].points.size());
    }
}

TEST(ControlTransfers, TwoReceiversRaiseFixesOnTheirOwnControlsOnly) {
    RunningSimulator simA("--nmea --nmea-rate 20");
    RunningSimulator simB(
        WithData("--nmea --nmea-rate 20",
                 "track SOUTH\npoint -33.45 -70.66 700000000\npoint -33.46 -70.65 700000060\n"));
    Host a(simA, 5);
    Host b(simB, 6);
    a.ListenForFixes(1.0);
    b.ListenForFixes(-1.0);
    ASSERT_TRUE(a.gps.StartNMEAReceiving());
    EXPECT_FALSE(a.gps.StartNMEAReceiving());  // one receiver per control
    ASSERT_TRUE(b.gps.StartNMEAReceiving());
    // A generous wait for a few fixes each, not a measurement.
    for (int i = 0; i < 3000 && (a.ownFixes < 3 || b.ownFixes < 3); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GE(a.ownFixes, 3);
    EXPECT_GE(b.ownFixes, 3);
    EXPECT_GT(a.gps.GetNumSatellite(), 0);
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    EXPECT_TRUE(a.gps.GetSatelliteData(0, &prn, &elevation, &azimuth, &snr));
    EXPECT_FALSE(a.gps.GetSatelliteData(24, &prn, &elevation, &azimuth, &snr));
    a.gps.StopNMEAReceiving();
    b.gps.StopNMEAReceiving();
    EXPECT_EQ(a.gps.GetNumSatellite(), 0);
    // A cycle before any position carries zeros; every other fix is the control's own.
    EXPECT_FALSE(a.foreignFix);
    EXPECT_FALSE(b.foreignFix);
}

// Starts the receiver of a control a handler will let go, and waits until no
// control is left alive beyond the `before` count.
void StartUntilReleased(SorvaneCtrl* object, int before) {
    ASSERT_EQ(sorvane_invoke(object, sorvane_get_dispid("StartNMEAReceiving"),
                             SORVANE_DISPATCH_METHOD, nullptr, 0, nullptr),
              kOk);
    for (int i = 0; i < 3000 && LiveObjectCount() != before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(LiveObjectCount(), before);
}

// A host may let go of a control from inside one of its events: the control
// lives on until the call or the event that raised it has returned.
TEST(ControlTransfers, AHostMayReleaseItsLastReferenceInsideAnEvent) {
    const int before = LiveObjectCount();
    RunningSimulator sim;
    sim.port(5);
    struct Release {
        SorvaneCtrl* object;
        std::atomic<int> events{0};
    };
    const auto releaseOnFirst = [](void* user, std::int32_t, const SorvaneVariant*, std::int32_t) {
        auto* r = static_cast<Release*>(user);
        if (r->events++ == 0)
            sorvane_destroy(r->object);
    };
    // Receiving, inside a transfer on the host's thread.
    {
        Release r{controltest::MakeObject(true)};
        std::uint32_t cookie = 0;
        ASSERT_EQ(sorvane_connect(r.object, releaseOnFirst, &r, &cookie), kOk);
        SorvaneVariant port{}, result{};
        port.vt = SORVANE_VT_I2;
        port.u.iVal = 5;
        ASSERT_EQ(sorvane_invoke(r.object, 2, SORVANE_DISPATCH_PROPERTYPUT, &port, 1, nullptr),
                  kOk);
        ASSERT_EQ(sorvane_invoke(r.object, sorvane_get_dispid("DownloadTrack"),
                                 SORVANE_DISPATCH_METHOD, nullptr, 0, &result),
                  kOk);
        EXPECT_EQ(std::pair(result.vt, result.u.lVal), std::pair(std::uint16_t{SORVANE_VT_I4}, 1));
        EXPECT_EQ(r.events, 2);  // the whole transfer ran
        EXPECT_EQ(LiveObjectCount(), before);
    }
    // The typed wrapper deleted from its own handler (made from this test's
    // library, whatever a registration says).
    {
        testsupport::ScopedEnv noRegistration("XDG_DATA_HOME", ::testing::TempDir() + "none");
        auto* gps = new TSorvane;
        ASSERT_TRUE(gps->ok());
        gps->set_CommPort(5);
        TSorvane* self = gps;
        gps->SetOnReceiving([&gps](std::int32_t, std::int32_t) {
            delete gps;
            gps = nullptr;
        });
        EXPECT_EQ(self->DownloadTrack(), 1);
        EXPECT_EQ(gps, nullptr);
        EXPECT_EQ(LiveObjectCount(), before);
    }
    // NMEAReceived, on the receiver's own thread.
    RunningSimulator nmea("--nmea --nmea-rate 20");
    nmea.port(6);
    Release r{controltest::MakeObject(true)};
    std::uint32_t cookie = 0;
    ASSERT_EQ(sorvane_connect(r.object, releaseOnFirst, &r, &cookie), kOk);
    SorvaneVariant port{};
    port.vt = SORVANE_VT_I2;
    port.u.iVal = 6;
    ASSERT_EQ(sorvane_invoke(r.object, 2, SORVANE_DISPATCH_PROPERTYPUT, &port, 1, nullptr), kOk);
    StartUntilReleased(r.object, before);
    EXPECT_EQ(r.events, 1);
}

// The receiver beyond the automation members, through the typed wrapper: full
// fixes, every satellite of three systems, the status and the lines; a port
// that cannot be opened says why at once.
TEST(ControlReceiver, FixesSatellitesStatusAndLinesThroughTheWrapper) {
    RunningSimulator sim(
        "--nmea --nmea-rate 50 --nmea-systems gps,glonass,galileo --nmea-satellites 9");
    Host h(sim, 5);
    std::mutex mutex;
    std::vector<SorvaneFix> fixes;
    std::vector<SorvaneReceiverStatus> statuses;
    std::vector<std::string> lines;
    std::atomic<int> satelliteEvents{0};
    h.gps.SetOnFix([&](const SorvaneFix& f) {
        std::lock_guard lock(mutex);
        fixes.push_back(f);
    });
    h.gps.SetOnReceiverStatus([&](const SorvaneReceiverStatus& s) {
        std::lock_guard lock(mutex);
        statuses.push_back(s);
    });
    h.gps.SetOnSentence([&](std::string_view line) {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    });
    h.gps.SetOnSatellites([&] { ++satelliteEvents; });
    ASSERT_TRUE(h.gps.StartNMEAReceiving());
    for (int i = 0; i < 3000; ++i) {
        {
            std::lock_guard lock(mutex);
            if (fixes.size() >= 5 && satelliteEvents >= 6)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::vector<SorvaneSatellite> all = h.gps.GetSatellites();
    const SorvaneReceiverStatus running = h.gps.GetReceiverStatus();
    const std::optional<SorvaneFix> last = h.gps.GetLastFix();
    EXPECT_EQ(h.gps.GetNumSatellite(), 27);
    h.gps.StopNMEAReceiving();

    ASSERT_EQ(all.size(), 27u);
    int perSystem[8] = {};
    for (const SorvaneSatellite& x : all) {
        ++perSystem[x.constellation & 7];
        EXPECT_EQ(x.used, 1);
    }
    EXPECT_EQ(std::tuple(perSystem[SORVANE_GNSS_GPS], perSystem[SORVANE_GNSS_GLONASS],
                         perSystem[SORVANE_GNSS_GALILEO]),
              std::tuple(9, 9, 9));
    EXPECT_EQ(std::tuple(running.state, running.source, running.rejected),
              std::tuple(SORVANE_RECEIVER_RUNNING, SORVANE_SOURCE_SERIAL, 0u));
    EXPECT_GT(running.sentences, 10u);
    ASSERT_TRUE(last.has_value());
    std::unique_lock lock(mutex);
    ASSERT_GE(fixes.size(), 5u);
    for (const SorvaneFix& f : fixes) {
        EXPECT_EQ(std::tuple(f.valid, f.mode, f.quality, f.satellitesUsed),
                  std::tuple(1, 3, 1, 27));
        EXPECT_GT(f.latitude, 30.0);
        EXPECT_GT(f.time, 1.0e9);
    }
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_EQ(line[0], '$');
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front().state, SORVANE_RECEIVER_RUNNING);

    // A port that cannot be opened: the start says so before it returns.
    testsupport::ScopedEnv missing("SORVANE_COM7", "/nonexistent/sorvane-port");
    h.gps.set_CommPort(7);
    statuses.clear();
    lock.unlock();
    ASSERT_TRUE(h.gps.StartNMEAReceiving());
    lock.lock();
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(
        std::tuple(statuses[0].state, statuses[0].errorCode, std::string(statuses[0].message)),
        std::tuple(SORVANE_RECEIVER_FAILED, ENOENT,
                   std::string("cannot open /nonexistent/sorvane-port: No such file or "
                               "directory")));
    EXPECT_EQ(h.gps.GetReceiverStatus().state, SORVANE_RECEIVER_FAILED);
    h.gps.StopNMEAReceiving();
}

// A host may let go of a control inside a receiver event too, whichever it
// is: nothing reaches the control after that.
TEST(ControlReceiver, AHostMayReleaseItsLastReferenceInsideAReceiverEvent) {
    const int before = LiveObjectCount();
    RunningSimulator nmea("--nmea --nmea-rate 20 --nmea-systems gps,beidou");
    nmea.port(6);
    struct Release {
        SorvaneCtrl* object;
        std::int32_t kind;
        std::atomic<int> events{0};
    };
    for (const std::int32_t kind : {SORVANE_RECEIVER_EVENT_FIX, SORVANE_RECEIVER_EVENT_SENTENCE,
                                    SORVANE_RECEIVER_EVENT_SATELLITES}) {
        SCOPED_TRACE(kind);
        Release r{controltest::MakeObject(true), kind};
        std::uint32_t cookie = 0;
        ASSERT_EQ(sorvane_receiver_connect(
                      r.object,
                      [](void* user, const SorvaneReceiverEvent* e) {
                          auto* r = static_cast<Release*>(user);
                          if (e->kind == r->kind && r->events++ == 0)
                              sorvane_destroy(r->object);
                      },
                      &r, &cookie),
                  kOk);
        TSorvane(r.object).set_CommPort(6);
        StartUntilReleased(r.object, before);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(r.events, 1);
    }
}

}  // namespace
}  // namespace sorvane
