// The NMEA receiver on a pseudo-terminal with the simulator streaming text.

#include "nmea/nmea_receiver.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "nmea_stream.h"
#include "store/kel_data.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using testsupport::RunningSimulator;

// Threads of this process.
int ThreadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' ? 1 : 0;
        ::closedir(d);
    }
    return n;
}

// Collects events from the receiver's thread.
class Events {
  public:
    NmeaHandler Handler() {
        return [this](const NmeaFix& f) {
            std::lock_guard lock(mutex_);
            fixes_.push_back(f);
            changed_.notify_all();
        };
    }
    bool WaitFor(std::size_t n, std::chrono::milliseconds timeout = 20s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return fixes_.size() >= n; });
    }
    // Waits for an event that reports the cycle at unix time t.
    bool WaitForTime(std::int64_t t, std::chrono::milliseconds timeout = 20s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] {
            return std::any_of(fixes_.begin(), fixes_.end(),
                               [&](const NmeaFix& f) { return f.time == t; });
        });
    }
    std::vector<NmeaFix> Get() {
        std::lock_guard lock(mutex_);
        return fixes_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<NmeaFix> fixes_;
};

// A track of n points a second apart, each at its own place.
gpssim::DataSet Walk(int n) {
    gpssim::DataSet d;
    gpssim::SimTrack t{"WALK", {}};
    for (int i = 0; i < n; ++i) {
        gpssim::SimTrackPoint p;
        p.latitude = 35.5 + 0.001 * i;
        p.longitude = -139.5 + 0.002 * i;  // west, to see the sign
        p.time = 400000000u + 10u * static_cast<std::uint32_t>(i);
        p.altitude = 10.0f + static_cast<float>(i);
        p.newSegment = i == 0;
        t.points.push_back(p);
    }
    d.tracks.push_back(t);
    return d;
}

gpssim::Options NmeaOptions(int points, double rate) {
    gpssim::Options o;
    o.data = Walk(points);
    o.nmea.enabled = true;
    o.nmea.rate = rate;
    o.nmea.paused = true;
    return o;
}

void WaitActive(const NmeaReceiver& r) {
    for (int i = 0; i < 2000 && !r.isThreadActive(); ++i)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(r.isThreadActive());
}

const gpssim::NmeaCycle* CycleAt(const std::vector<gpssim::NmeaCycle>& cycles, std::int64_t t) {
    for (const auto& c : cycles) {
        if (c.unixTime == t)
            return &c;
    }
    return nullptr;
}

TEST(NmeaReceiver, EventsReportTheCyclesTheSimulatorSent) {
    RunningSimulator sim(NmeaOptions(40, 50.0));
    ASSERT_TRUE(sim.ok());
    Events events;
    NmeaReceiver receiver(events.Handler());
    ASSERT_TRUE(receiver.openDevice(sim.path(), 9600));
    WaitActive(receiver);
    sim.sim().ResumeNmea();
    ASSERT_TRUE(events.WaitFor(6));
    receiver.close();
    EXPECT_FALSE(receiver.isThreadActive());

    const auto cycles = sim.sim().NmeaCycles();
    const auto fixes = events.Get();
    for (const NmeaFix& f : fixes) {
        const gpssim::NmeaCycle* c = CycleAt(cycles, f.time);
        if (c == nullptr) {
            // Only the first event of the process may carry the empty state.
            EXPECT_EQ(f.time, 0);
            continue;
        }
        SCOPED_TRACE(c->number);
        EXPECT_EQ(f.valid, 1);
        EXPECT_NEAR(f.latitude, c->latitude, 1e-9);
        EXPECT_NEAR(f.longitude, c->longitude, 1e-9);
        EXPECT_LT(f.longitude, 0.0);
        EXPECT_DOUBLE_EQ(f.altitude, c->altitude);
        EXPECT_NEAR(f.speed, c->speedKnots * 1.852, 1e-9);
        EXPECT_EQ(f.course, static_cast<int>(c->course));
    }
    // Eight satellites in view, in two messages.
    EXPECT_EQ(receiver.satelliteCount(), 8);
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    EXPECT_TRUE(receiver.satellite(7, prn, elevation, azimuth, snr));
    EXPECT_EQ(prn, 1 + (7 * 7) % 32);
    EXPECT_EQ(snr, 20 + 21);
    prn = -1;
    EXPECT_FALSE(receiver.satellite(8, prn, elevation, azimuth, snr));
    EXPECT_EQ(prn, -1);
}

TEST(NmeaReceiver, BadChecksumOverlongLineAndBurstAreDroppedAndTheStreamGoesOn) {
    gpssim::Options o = NmeaOptions(40, 50.0);
    o.nmea.badChecksumCycle = 3;
    o.nmea.longLineCycle = 5;
    o.nmea.burstCycle = 8;
    RunningSimulator sim(o);
    ASSERT_TRUE(sim.ok());
    Events events;
    NmeaReceiver receiver(events.Handler());
    ASSERT_TRUE(receiver.openDevice(sim.path(), 9600));
    WaitActive(receiver);
    sim.sim().ResumeNmea();
    // The event of cycle 14 comes with the RMC of cycle 15.
    ASSERT_TRUE(sim.sim().WaitForNmeaCycles(15, 20s));
    const auto cycles = sim.sim().NmeaCycles();
    ASSERT_TRUE(events.WaitForTime(cycles[13].unixTime));
    receiver.close();

    const auto fixes = events.Get();
    for (const NmeaFix& f : fixes) {
        if (f.time == 0)
            continue;  // the empty state a new receiver reports first
        EXPECT_NE(f.time, cycles[2].unixTime) << "the RMC with the bad checksum was taken";
        EXPECT_NE(f.latitude, 0.0) << "the overlong line was taken";
    }
    // Cycles before and after the faults arrive.
    for (int n : {2, 4, 7, 10, 11, 12, 13, 14}) {
        EXPECT_TRUE(std::any_of(fixes.begin(), fixes.end(),
                                [&](const NmeaFix& f) { return f.time == cycles[n - 1].unixTime; }))
            << "cycle " << n;
    }
}

TEST(NmeaReceiver, StoppingWhileDataFlowsReturnsAndLeavesNoThread) {
    gpssim::Options o = NmeaOptions(200, 1000.0);
    o.nmea.satellites = 24;
    RunningSimulator sim(o);
    ASSERT_TRUE(sim.ok());
    const int before = ThreadCount();
    for (int round = 0; round < 3; ++round) {
        Events events;
        NmeaReceiver receiver(events.Handler());
        ASSERT_TRUE(receiver.openDevice(sim.path(), 115200));
        if (round == 0) {
            WaitActive(receiver);
            sim.sim().ResumeNmea();
        }
        ASSERT_TRUE(events.WaitFor(3));
        receiver.close();
        EXPECT_FALSE(receiver.isThreadActive());
        EXPECT_FALSE(receiver.isOpen());
        EXPECT_EQ(ThreadCount(), before);
    }
}

TEST(NmeaReceiver, CloseRightAfterOpenWaitsForTheThread) {
    RunningSimulator sim(NmeaOptions(10, 200.0));
    ASSERT_TRUE(sim.ok());
    sim.sim().ResumeNmea();
    const int before = ThreadCount();
    for (int i = 0; i < 50; ++i) {
        NmeaReceiver receiver(nullptr);
        ASSERT_TRUE(receiver.openDevice(sim.path(), 4800));
        receiver.close();
        EXPECT_FALSE(receiver.isThreadActive());
    }
    EXPECT_EQ(ThreadCount(), before);
}

TEST(NmeaReceiver, PortThatCannotBeOpenedStartsNoThread) {
    const int before = ThreadCount();
    NmeaReceiver receiver(nullptr);
    EXPECT_FALSE(receiver.openDevice("/nonexistent/tty", 9600));
    EXPECT_NE(receiver.errorCode(), 0);
    EXPECT_FALSE(receiver.open(0, 9600));
    EXPECT_FALSE(receiver.isOpen());
    EXPECT_EQ(ThreadCount(), before);
    receiver.close();  // nothing to do
}

TEST(NmeaReceiver, SecondOpenFailsAndThePortIsHeldExclusively) {
    RunningSimulator sim(NmeaOptions(10, 10.0));
    ASSERT_TRUE(sim.ok());
    NmeaReceiver first(nullptr);
    ASSERT_TRUE(first.openDevice(sim.path(), 9600));
    EXPECT_FALSE(first.openDevice(sim.path(), 9600));
    NmeaReceiver second(nullptr);
    EXPECT_FALSE(second.openDevice(sim.path(), 9600));
    first.close();
    EXPECT_TRUE(second.openDevice(sim.path(), 9600));
}

TEST(NmeaReceiver, HandlerMayStopItsOwnReceiver) {
    RunningSimulator sim(NmeaOptions(20, 100.0));
    ASSERT_TRUE(sim.ok());
    sim.sim().ResumeNmea();
    auto receiver = std::make_unique<NmeaReceiver>(nullptr);
    std::atomic<int> calls{0};
    std::atomic<NmeaReceiver*> self{nullptr};
    receiver = std::make_unique<NmeaReceiver>([&](const NmeaFix&) {
        ++calls;
        if (NmeaReceiver* r = self.exchange(nullptr))
            r->close();
    });
    self = receiver.get();
    ASSERT_TRUE(receiver->openDevice(sim.path(), 9600));
    for (int i = 0; i < 5000 && (calls == 0 || receiver->isThreadActive()); ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(receiver->isThreadActive());
    EXPECT_FALSE(receiver->isOpen());
    const int seen = calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls, seen);
    receiver.reset();
}

TEST(NmeaReceiver, HangUpOfTheLineEndsNothingButTheReading) {
    RunningSimulator sim(NmeaOptions(20, 100.0));
    ASSERT_TRUE(sim.ok());
    Events events;
    NmeaReceiver receiver(events.Handler());
    ASSERT_TRUE(receiver.openDevice(sim.path(), 9600));
    WaitActive(receiver);
    sim.sim().ResumeNmea();
    ASSERT_TRUE(events.WaitFor(2));
    sim.sim().Stop();
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(receiver.isThreadActive());
    receiver.close();
    EXPECT_FALSE(receiver.isThreadActive());
}

// ---- the store's side --------------------------------------------------------

TEST(KelDataNmea, StartQueryAndStop) {
    RunningSimulator sim(NmeaOptions(20, 100.0));
    ASSERT_TRUE(sim.ok());
    const PortSettings port = sim.port(6);
    KelData store;
    EXPECT_EQ(store.GetNumSatellite(), 0);
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    EXPECT_EQ(store.GetSatelliteData(0, prn, elevation, azimuth, snr), 0);
    EXPECT_EQ(prn, -1);

    Events events;
    ASSERT_EQ(store.StartNMEAReceiving(port.port, 9600, events.Handler()), 1);
    EXPECT_TRUE(store.IsNMEAReceiving());
    EXPECT_EQ(store.StartNMEAReceiving(port.port, 9600, nullptr), 0);  // the first one stays
    sim.sim().ResumeNmea();
    ASSERT_TRUE(events.WaitFor(3));
    EXPECT_EQ(store.GetNumSatellite(), 8);
    EXPECT_EQ(store.GetSatelliteData(0, prn, elevation, azimuth, snr), 1);
    EXPECT_EQ(prn, 1);
    prn = -1;
    EXPECT_EQ(store.GetSatelliteData(8, prn, elevation, azimuth, snr), 0);
    EXPECT_EQ(store.GetSatelliteData(-1, prn, elevation, azimuth, snr), 0);
    EXPECT_EQ(store.GetSatelliteData(24, prn, elevation, azimuth, snr), 0);
    EXPECT_EQ(prn, -1);

    store.StopNMEAReceiving();
    EXPECT_FALSE(store.IsNMEAReceiving());
    EXPECT_EQ(store.GetNumSatellite(), 0);
    store.StopNMEAReceiving();  // nothing left to stop
    // A new receiver starts from nothing.
    ASSERT_EQ(store.StartNMEAReceiving(port.port, 9600, nullptr), 1);
    EXPECT_EQ(store.GetNumSatellite(), 0);
    store.StopNMEAReceiving();
}

TEST(KelDataNmea, ReceiverWithoutAPortCountsAsRunningUntilStopped) {
    testsupport::ScopedEnv env("SORVANE_COM7", "/nonexistent/tty");
    const int before = ThreadCount();
    KelData store;
    std::atomic<int> calls{0};
    ASSERT_EQ(store.StartNMEAReceiving(7, 9600, [&](const NmeaFix&) { ++calls; }), 1);
    EXPECT_TRUE(store.IsNMEAReceiving());
    EXPECT_EQ(store.StartNMEAReceiving(7, 9600, nullptr), 0);
    EXPECT_EQ(store.GetNumSatellite(), 0);
    EXPECT_EQ(ThreadCount(), before);
    store.StopNMEAReceiving();
    EXPECT_FALSE(store.IsNMEAReceiving());
    EXPECT_EQ(calls, 0);
}

TEST(KelDataNmea, DestroyingTheStoreStopsItsReceiver) {
    RunningSimulator sim(NmeaOptions(20, 200.0));
    ASSERT_TRUE(sim.ok());
    const PortSettings port = sim.port(6);
    sim.sim().ResumeNmea();
    const int before = ThreadCount();
    Events events;
    {
        KelData store;
        ASSERT_EQ(store.StartNMEAReceiving(port.port, 9600, events.Handler()), 1);
        ASSERT_TRUE(events.WaitFor(2));
    }
    EXPECT_EQ(ThreadCount(), before);
    // The port is free again.
    NmeaReceiver again(nullptr);
    EXPECT_TRUE(again.openDevice(sim.path(), 9600));
}

}  // namespace
}  // namespace sorvane
