// The NMEA receiver on a pseudo-terminal with the simulator streaming text.

#include "nmea/nmea_receiver.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "control/dispatch_members.h"
#include "control/sorvane_ctrl.h"
#include "recorded_streams.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using testsupport::RunningSimulator;

int ThreadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' ? 1 : 0;
        ::closedir(d);
    }
    return n;
}

// Polls for at most 20 s.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 20000 && !condition(); ++i)
        std::this_thread::sleep_for(1ms);
    return condition();
}

// Collects the events of the receiver's thread.
struct Events {
    NmeaHandler Handler() {
        return [this](const NmeaFix& f) {
            std::lock_guard lock(mutex);
            fixes.push_back(f);
        };
    }
    std::vector<NmeaFix> Get() {
        std::lock_guard lock(mutex);
        return fixes;
    }
    bool WaitFor(std::size_t n) {
        return Eventually([&] { return Get().size() >= n; });
    }
    bool Has(std::int64_t time) {
        return std::ranges::any_of(Get(), [&](const NmeaFix& f) { return f.time == time; });
    }
    std::mutex mutex;
    std::vector<NmeaFix> fixes;
};

// A walk west of Greenwich, a point a second, each at its own place; the
// stream waits for ResumeNmea.
gpssim::Options NmeaOptions(int points, double rate) {
    gpssim::Options o;
    gpssim::SimTrack& track = o.data.emplace().tracks.emplace_back();
    for (int i = 0; i < points; ++i) {
        const auto n = static_cast<std::uint32_t>(i);
        track.points.push_back(
            {35.5 + 0.001 * i, -139.5 + 0.002 * i, 400000000u + 10u * n, 10.0f + n, i == 0});
    }
    o.nmea = {.enabled = true, .rate = rate, .paused = true};
    return o;
}

void OpenAndResume(NmeaReceiver& receiver, RunningSimulator& sim) {
    ASSERT_TRUE(receiver.openDevice(sim.path(), 9600));
    ASSERT_TRUE(Eventually([&] { return receiver.isThreadActive(); }));
    sim.sim().ResumeNmea();
}

// A hang-up of the line ends nothing but the reading.
TEST(NmeaReceiver, EventsReportTheCyclesSentUntilTheLineHangsUp) {
    RunningSimulator sim(NmeaOptions(40, 50.0));
    ASSERT_TRUE(sim.ok());
    Events events;
    NmeaReceiver receiver(events.Handler());
    OpenAndResume(receiver, sim);
    ASSERT_TRUE(events.WaitFor(6));
    sim.sim().Stop();
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(receiver.isThreadActive());
    receiver.close();
    EXPECT_FALSE(receiver.isThreadActive());

    const auto cycles = sim.sim().NmeaCycles();
    for (const NmeaFix& f : events.Get()) {
        if (f.time == 0)
            continue;  // the empty state, which only the first event of the process carries
        const auto c = std::ranges::find(cycles, f.time, &gpssim::NmeaCycle::unixTime);
        ASSERT_NE(c, cycles.end()) << f.time;
        SCOPED_TRACE(c->number);
        EXPECT_EQ(std::tuple(f.valid, f.course), std::tuple(1, static_cast<int>(c->course)));
        EXPECT_NEAR(f.latitude, c->latitude, 1e-9);
        EXPECT_NEAR(f.longitude, c->longitude, 1e-9);
        EXPECT_DOUBLE_EQ(f.altitude, c->altitude);
        EXPECT_NEAR(f.speed, c->speedKnots * 1.852, 1e-9);
    }
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
    OpenAndResume(receiver, sim);
    // The event of cycle 14 comes with the RMC of cycle 15.
    ASSERT_TRUE(sim.sim().WaitForNmeaCycles(15, 20s));
    const auto cycles = sim.sim().NmeaCycles();
    ASSERT_TRUE(Eventually([&] { return events.Has(cycles[13].unixTime); }));
    receiver.close();
    for (const NmeaFix& f : events.Get()) {
        EXPECT_NE(f.time, cycles[2].unixTime) << "the RMC with the bad checksum was taken";
        EXPECT_TRUE(f.time == 0 || f.latitude != 0.0) << "the overlong line was taken";
    }
    for (int n : {2, 4, 7, 10, 11, 12, 13, 14})
        EXPECT_TRUE(events.Has(cycles[n - 1].unixTime)) << "cycle " << n;
}

TEST(NmeaReceiver, ClosingEndsTheThreadWhateverItIsDoing) {
    gpssim::Options o = NmeaOptions(200, 1000.0);
    o.nmea.paused = false;
    RunningSimulator sim(o);
    ASSERT_TRUE(sim.ok());
    const int before = ThreadCount();
    NmeaReceiver missing(nullptr);  // a port that cannot be opened starts none
    EXPECT_FALSE(missing.openDevice("/nonexistent/tty", 9600));
    EXPECT_NE(missing.errorCode(), 0);
    EXPECT_EQ(std::tuple(missing.open(0, 9600), missing.isOpen(), ThreadCount()),
              std::tuple(false, false, before));
    for (int round = 0; round < 3; ++round) {  // while data flows fast
        Events events;
        NmeaReceiver receiver(events.Handler());
        ASSERT_TRUE(receiver.openDevice(sim.path(), 115200));
        EXPECT_FALSE(receiver.openDevice(sim.path(), 115200));
        ASSERT_TRUE(events.WaitFor(3));
        receiver.close();
        EXPECT_EQ(std::tuple(receiver.isThreadActive(), receiver.isOpen(), ThreadCount()),
                  std::tuple(false, false, before));
    }
    for (int i = 0; i < 50; ++i) {  // right after the open, before the thread has settled
        NmeaReceiver receiver(nullptr);
        ASSERT_TRUE(receiver.openDevice(sim.path(), 4800));
        receiver.close();
        EXPECT_FALSE(receiver.isThreadActive());
    }
    // From its own handler, after which no event follows.
    std::atomic<int> calls{0};
    std::atomic<NmeaReceiver*> self{nullptr};
    NmeaReceiver receiver([&](const NmeaFix&) {
        ++calls;
        if (NmeaReceiver* r = self.exchange(nullptr))
            r->close();
    });
    self = &receiver;
    ASSERT_TRUE(receiver.openDevice(sim.path(), 9600));
    EXPECT_TRUE(Eventually([&] { return calls > 0 && !receiver.isThreadActive(); }));
    EXPECT_FALSE(receiver.isOpen());
    const int seen = calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(std::tuple(calls.load(), ThreadCount()), std::tuple(seen, before));
}

// The control holds one receiver at a time and stops it when it goes.
TEST(ControlNmea, StartQueryAndStop) {
    RunningSimulator sim(NmeaOptions(20, 100.0));
    ASSERT_TRUE(sim.ok());
    const PortSettings port = sim.port(6);
    testsupport::ScopedEnv missingPort("SORVANE_COM7", "/nonexistent/tty");
    const int before = ThreadCount();
    std::int16_t prn = -1, elevation = -1, azimuth = -1, snr = -1;
    std::atomic<int> fixes{0};
    const auto waitForMore = [&](int n) {
        const int target = fixes.load() + n;
        return Eventually([&] { return fixes.load() >= target; });
    };
    {
        CSorvaneCtrl ctrl;
        ctrl.Connect([&](std::int32_t dispid, std::span<const Variant>) {
            fixes += dispid == kEventNMEAReceived ? 1 : 0;
        });
        EXPECT_EQ(std::tuple(ctrl.GetNumSatellite(),
                             ctrl.GetSatelliteData(0, &prn, &elevation, &azimuth, &snr)),
                  std::tuple(0, false));
        // A receiver whose port cannot be opened counts as running until stopped.
        ctrl.SetCommPort(7);
        ASSERT_TRUE(ctrl.StartNMEAReceiving());
        EXPECT_EQ(std::tuple(ctrl.IsNMEAReceiving(), ctrl.StartNMEAReceiving()),
                  std::tuple(true, false));
        EXPECT_EQ(ThreadCount(), before);
        ctrl.StopNMEAReceiving();
        EXPECT_EQ(std::tuple(ctrl.IsNMEAReceiving(), fixes.load()), std::tuple(false, 0));

        ctrl.SetCommPort(port.port);
        ASSERT_TRUE(ctrl.StartNMEAReceiving());
        sim.sim().ResumeNmea();
        ASSERT_TRUE(waitForMore(3));
        EXPECT_EQ(ctrl.GetNumSatellite(), 8);
        // A read may fall between the GSA that clears the table and the next GSV.
        ASSERT_TRUE(Eventually([&] {
            return ctrl.GetSatelliteData(7, &prn, &elevation, &azimuth, &snr) && prn != 0;
        }));
        EXPECT_EQ(std::tuple(prn, snr), std::tuple(1 + (7 * 7) % 32, 20 + 21));
        prn = -1;
        for (std::int16_t n : {8, -1, 24})
            EXPECT_FALSE(ctrl.GetSatelliteData(n, &prn, &elevation, &azimuth, &snr)) << n;
        EXPECT_EQ(prn, -1);
        ctrl.StopNMEAReceiving();
        ctrl.StopNMEAReceiving();  // nothing left to stop
        EXPECT_EQ(std::tuple(ctrl.IsNMEAReceiving(), ctrl.GetNumSatellite(), ThreadCount()),
                  std::tuple(false, 0, before));
        // A new receiver starts from nothing and stops with the control.
        ASSERT_TRUE(ctrl.StartNMEAReceiving());
        EXPECT_EQ(ctrl.GetNumSatellite(), 0);
        ASSERT_TRUE(waitForMore(2));
    }
    EXPECT_EQ(ThreadCount(), before);
    NmeaReceiver again(nullptr);
    EXPECT_TRUE(again.openDevice(sim.path(), 9600));
}

// A receiver of today through the control: GN positions and the satellites of
// four systems, a fix that comes and goes, all in the receiver events.
TEST(ControlNmea, SeveralSystemsAndAFixThatComesAndGoes) {
    gpssim::Options o = NmeaOptions(60, 50.0);
    o.nmea.systems = {gpssim::NmeaSystem::kGps, gpssim::NmeaSystem::kGlonass,
                      gpssim::NmeaSystem::kGalileo, gpssim::NmeaSystem::kBeiDou};
    o.nmea.satellites = 7;
    o.nmea.fixLoss = {{0.2, 0.1}};  // cycles 11 to 15
    RunningSimulator sim(o);
    ASSERT_TRUE(sim.ok());
    const PortSettings port = sim.port(6);
    std::mutex mutex;
    std::vector<NmeaFix> fixes;
    std::vector<ReceiverStatus> statuses;
    int satelliteEvents = 0;
    CSorvaneCtrl ctrl;
    ctrl.SetCommPort(port.port);
    ctrl.ConnectReceiver([&](const ReceiverEvent& e) {
        std::lock_guard lock(mutex);
        if (e.kind == ReceiverEvent::Kind::kFix)
            fixes.push_back(*e.fix);
        if (e.kind == ReceiverEvent::Kind::kStatus)
            statuses.push_back(*e.status);
        satelliteEvents += e.kind == ReceiverEvent::Kind::kSatellites ? 1 : 0;
    });
    ASSERT_TRUE(ctrl.StartNMEAReceiving());
    EXPECT_EQ(ctrl.GetReceiverStatus().state, SourceState::kRunning);
    sim.sim().ResumeNmea();
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard lock(mutex);
        return fixes.size() >= 25;
    }));
    const std::vector<SatelliteInfo> list = ctrl.GetSatelliteList();
    // Whenever it is read, also while a cycle's sets come in.
    std::vector<int> counts;
    for (int i = 0; i < 50; ++i) {
        counts.push_back(ctrl.GetNumSatellite());
        std::this_thread::sleep_for(1ms);
    }
    std::int16_t prn = 0, elevation = 0, azimuth = 0, snr = 0;
    const bool entry23 = ctrl.GetSatelliteData(23, &prn, &elevation, &azimuth, &snr);
    ctrl.StopNMEAReceiving();
    EXPECT_EQ(ctrl.GetReceiverStatus().state, SourceState::kStopped);

    const auto cycles = sim.sim().NmeaCycles();
    std::lock_guard lock(mutex);
    int lost = 0;
    for (const NmeaFix& f : fixes) {
        const auto c = std::ranges::find(cycles, f.time, &gpssim::NmeaCycle::unixTime);
        ASSERT_NE(c, cycles.end()) << f.time;
        SCOPED_TRACE(c->number);
        EXPECT_EQ(f.valid != 0, c->valid);
        EXPECT_EQ(f.valid != 0, c->number < 11 || c->number > 15);
        lost += c->valid ? 0 : 1;
        EXPECT_DOUBLE_EQ(f.utc, static_cast<double>(c->unixTime));
        EXPECT_EQ(std::tuple(f.quality, f.satellitesUsed, f.mode),
                  std::tuple(c->valid ? 1 : 0, c->satellitesUsed, c->valid ? 3 : 1));
        if (c->valid) {
            EXPECT_NEAR(f.latitude, c->latitude, 1e-9);
            EXPECT_NEAR(f.longitude, c->longitude, 1e-9);
            EXPECT_DOUBLE_EQ(f.fixAltitude, c->altitude);
        }
    }
    EXPECT_EQ(lost, 5);
    std::vector<std::tuple<std::string, int, int, int, int, bool>> expected, got;
    for (const gpssim::NmeaSatellite& v : cycles.back().sky)
        expected.emplace_back(v.system, v.number, v.elevation, v.azimuth, v.snr, v.used);
    for (const SatelliteInfo& i : list)
        got.emplace_back(ConstellationName(i.constellation), i.number, i.elevation, i.azimuth,
                         i.snr, i.used);
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(counts, std::vector<int>(counts.size(), 28));
    EXPECT_TRUE(entry23);
    EXPECT_GT(satelliteEvents, 20);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front().state, SourceState::kRunning);
}

// A pseudo-terminal the test writes, as a receiver would.
class Terminal {
  public:
    Terminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            return;
        path_ = ::ptsname(master_);
        // Raw, so that the line discipline neither echoes nor changes a byte.
        const int slave = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        if (slave >= 0 && ::tcgetattr(slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(slave, TCSANOW, &t);
        }
        if (slave >= 0)
            ::close(slave);
    }
    ~Terminal() { HangUp(); }
    const std::string& path() const { return path_; }
    bool Write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    void HangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    std::string path_;
};

class StreamThroughThePort : public ::testing::TestWithParam<const char*> {};

// Each recorded stream written to the port at once, as the driver holds it
// for a reader that fell behind (more than the ring takes in one piece): every
// fix, the last one when the line hangs up, every satellite, and the lines
// thrown away counted.
TEST_P(StreamThroughThePort, GivesEveryFixAndEverySatellite) {
    const recorded::Stream s = recorded::Load(GetParam());
    Terminal port;
    ASSERT_FALSE(port.path().empty());
    std::mutex mutex;
    std::vector<NmeaFix> fixes;
    int sentences = 0;
    ReceiverHandlers h;
    h.fix = [&](const NmeaFix& f) {
        std::lock_guard lock(mutex);
        if (f.kind != FixKind::kStale)
            fixes.push_back(f);
    };
    h.sentence = [&](std::string_view) {
        std::lock_guard lock(mutex);
        ++sentences;
    };
    NmeaReceiver receiver(h);
    ASSERT_TRUE(receiver.openDevice(port.path(), 9600));
    ASSERT_TRUE(Eventually([&] { return receiver.isThreadActive(); }));
    ASSERT_TRUE(port.Write(s.bytes));
    // A terminal that hangs up drops what is still queued in it.
    ASSERT_TRUE(Eventually([&] { return receiver.status().bytes == s.bytes.size(); }));
    port.HangUp();
    ASSERT_TRUE(Eventually([&] { return receiver.status().state == SourceState::kEnded; }));
    const ReceiverStatus status = receiver.status();
    receiver.close();

    std::lock_guard lock(mutex);
    recorded::ExpectFixes(s, fixes, 1e-9);
    EXPECT_EQ(recorded::Sorted(receiver.satellites()), s.satellites);
    EXPECT_EQ(receiver.satelliteCount(), s.inView);
    ASSERT_TRUE(receiver.lastFix().has_value());
    EXPECT_EQ(receiver.lastFix()->utc, fixes.back().utc);
    // Every byte counted; the damaged lines of the phone's stream thrown away
    // (five with wrong checksums, two without a "$").
    const std::size_t lines = recorded::Lines(s.bytes).size();
    const std::uint64_t rejected = s.name == "phone_dual_talker" ? 7 : 0;
    EXPECT_EQ(std::tuple(status.bytes, status.sentences, status.rejected, status.message),
              std::tuple(s.bytes.size(), lines - rejected, rejected,
                         "the line " + port.path() + " hung up"));
    EXPECT_EQ(static_cast<std::size_t>(sentences), lines - 2 * (rejected != 0));
}

INSTANTIATE_TEST_SUITE_P(ChipFamilies, StreamThroughThePort,
                         ::testing::ValuesIn(recorded::kStreamNames));

}  // namespace
}  // namespace sorvane
