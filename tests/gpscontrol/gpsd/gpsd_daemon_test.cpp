// A real gpsd, started by each test on a pseudo-terminal the test feeds: the
// recorded streams give the same fixes as through the serial receiver, and a
// daemon that is not there, has no receiver or goes away says so.

#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "control/module_objects.h"
#include "control/tsorvane.h"
#include "gpsd/gpsd_receiver.h"
#include "nmea_stream.h"
#include "recorded_streams.h"
#include "support/gpsd_fixture.h"

namespace sorvane {
namespace {

using namespace std::chrono_literals;
using testsupport::GpsdDaemon;

int ThreadCount() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.' ? 1 : 0;
        ::closedir(d);
    }
    return n;
}

// The count to come back to. A sanitizer's runtime starts a thread of its
// own with the process's first; that one has come and gone by then.
int BaselineThreadCount() {
    std::thread([] {}).join();
    return ThreadCount();
}

// Polls for at most `limit`.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 15s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// What a source raised, from its thread.
struct Collected {
    ReceiverHandlers Handlers() {
        ReceiverHandlers h;
        h.fix = [this](const NmeaFix& f) {
            std::lock_guard lock(mutex);
            fixes.push_back(f);
        };
        h.satellites = [this] {
            std::lock_guard lock(mutex);
            ++satelliteEvents;
        };
        h.status = [this](const ReceiverStatus& s) {
            std::lock_guard lock(mutex);
            statuses.push_back(s);
        };
        h.sentence = [this](std::string_view line) {
            std::lock_guard lock(mutex);
            lines.emplace_back(line);
        };
        return h;
    }
    std::vector<NmeaFix> Fixes() {
        std::lock_guard lock(mutex);
        return fixes;
    }
    bool HasLine(std::string_view part) {
        std::lock_guard lock(mutex);
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }
    bool Reached(double utc) {
        std::lock_guard lock(mutex);
        return std::any_of(fixes.begin(), fixes.end(),
                           [&](const NmeaFix& f) { return f.utc >= utc - 1e-3; });
    }

    std::mutex mutex;
    std::vector<NmeaFix> fixes;
    std::vector<ReceiverStatus> statuses;
    std::vector<std::string> lines;
    int satelliteEvents = 0;
};

// Text sentences until the daemon has taken the terminal for an NMEA
// receiver, so that none of the stream goes into its search.
void Prime(GpsdDaemon& daemon, const std::function<bool()>& recognised) {
    const std::string text = gpssim::NmeaSentence("GPTXT,01,01,02,warming up");
    ASSERT_TRUE(Eventually([&] {
        daemon.Write(text);
        std::this_thread::sleep_for(20ms);
        return recognised();
    })) << "gpsd never took the terminal for an NMEA receiver";
}

void WriteStream(GpsdDaemon& daemon, const std::string& bytes) {
    for (const std::string& line : recorded::Lines(bytes)) {
        ASSERT_TRUE(daemon.Write(line));
        std::this_thread::sleep_for(1ms);
    }
}

void StartReceiver(GpsdReceiver& receiver, const GpsdDaemon& daemon) {
    ASSERT_TRUE(daemon.ok()) << daemon.error();
    ASSERT_TRUE(receiver.open("localhost", daemon.port()));
    ASSERT_TRUE(Eventually([&] { return receiver.status().state == SourceState::kRunning; }))
        << receiver.status().message;
}

class ThroughGpsd : public ::testing::TestWithParam<const char*> {};

// The fixes of each stream, through the daemon, at the places the stream gave.
TEST_P(ThroughGpsd, GivesTheSameFixes) {
    const recorded::Stream s = recorded::Load(GetParam());
    GpsdDaemon daemon;
    Collected got;
    GpsdReceiver receiver(got.Handlers());
    StartReceiver(receiver, daemon);
    Prime(daemon, [&] { return got.HasLine("\"driver\":\"NMEA0183\""); });
    WriteStream(daemon, s.bytes);
    const double last = s.fixes.back().utc;
    ASSERT_TRUE(Eventually([&] { return got.Reached(last); }))
        << "no fix of the stream's last time came through gpsd";
    receiver.close();

    std::vector<NmeaFix> valid;
    for (const NmeaFix& f : got.Fixes()) {
        if (f.valid != 0 && f.utc >= s.fixes.front().utc - 1e-3)
            valid.push_back(f);
    }
    // Every fix the daemon gives is one of the stream's at its place...
    for (const NmeaFix& f : valid) {
        const auto e = std::find_if(s.fixes.begin(), s.fixes.end(),
                                    [&](const auto& x) { return std::abs(x.utc - f.utc) < 1e-3; });
        ASSERT_NE(e, s.fixes.end()) << s.name << ": a fix at " << f.utc << " the stream has not";
        SCOPED_TRACE(s.name + " at " + std::to_string(f.utc));
        EXPECT_TRUE(e->valid);
        EXPECT_NEAR(f.latitude, e->latitude, 1e-6);
        EXPECT_NEAR(f.longitude, e->longitude, 1e-6);
    }
    // ... and every fix of the stream comes, from the first the daemon could
    // give a time (it needs a date first, which only a valid RMC brings).
    ASSERT_FALSE(valid.empty()) << s.name;
    for (const recorded::ExpectedFix& e : s.fixes) {
        if (e.utc < valid.front().utc)
            continue;
        const bool came = std::any_of(valid.begin(), valid.end(), [&](const NmeaFix& f) {
            return std::abs(f.utc - e.utc) < 1e-3;
        });
        EXPECT_EQ(came, e.valid) << s.name << " at " << e.utc;
    }
    // The satellites of every constellation came too.
    std::vector<std::string> systems, expected;
    for (const SatelliteInfo& i : receiver.satellites())
        systems.push_back(ConstellationName(i.constellation));
    for (const auto& e : s.satellites)
        expected.push_back(std::get<0>(e));
    for (auto* v : {&systems, &expected}) {
        std::sort(v->begin(), v->end());
        v->erase(std::unique(v->begin(), v->end()), v->end());
    }
    // (gpsd takes Galileo and BeiDou satellites above 32 for SBAS ones.)
    EXPECT_TRUE(std::includes(systems.begin(), systems.end(), expected.begin(), expected.end()))
        << s.name;
}

INSTANTIATE_TEST_SUITE_P(ChipFamilies, ThroughGpsd, ::testing::ValuesIn(recorded::kStreamNames));

}  // namespace
}  // namespace sorvane

namespace sorvane {
namespace {

ReceiverStatus WaitForState(const GpsdReceiver& r, SourceState state) {
    Eventually([&] { return r.status().state == state; });
    return r.status();
}

TEST(GpsdSource, ADaemonThatIsNotThereOrHasNoReceiverSaysSo) {
    const int before = BaselineThreadCount();
    {
        Collected got;
        GpsdReceiver receiver(got.Handlers());
        const int port = testsupport::FreeLoopbackPort();
        ASSERT_TRUE(receiver.open("127.0.0.1", port));
        EXPECT_FALSE(receiver.open("127.0.0.1", port));
        const ReceiverStatus s = WaitForState(receiver, SourceState::kFailed);
        EXPECT_EQ(std::tuple(s.state, s.errorCode, s.source),
                  std::tuple(SourceState::kFailed, ECONNREFUSED, SourceKind::kGpsd));
        EXPECT_EQ(s.message, "gpsd is not running at 127.0.0.1:" + std::to_string(port) +
                                 " (connection refused)");
        EXPECT_TRUE(receiver.isOpen());
        receiver.close();
        EXPECT_EQ(receiver.status().state, SourceState::kFailed);
        EXPECT_TRUE(got.Fixes().empty());
        // Connecting, then failing: the status said both.
        std::lock_guard lock(got.mutex);
        ASSERT_EQ(got.statuses.size(), 2u);
        EXPECT_EQ(got.statuses[0].state, SourceState::kConnecting);
    }
    {
        GpsdReceiver receiver({});
        ASSERT_TRUE(receiver.open("no-such-host.invalid", 0));
        const ReceiverStatus s = WaitForState(receiver, SourceState::kFailed);
        EXPECT_NE(s.message.find("cannot find the gpsd host no-such-host.invalid"),
                  std::string::npos)
            << s.message;
    }
    {
        GpsdDaemon daemon(false);
        GpsdReceiver receiver({});
        StartReceiver(receiver, daemon);
        ASSERT_TRUE(Eventually([&] { return receiver.status().noDevice; }));
        EXPECT_EQ(receiver.status().message,
                  "gpsd at localhost:" + std::to_string(daemon.port()) + " has no GPS receiver");
    }
    EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }, 2s));
}

// A peer that takes the connection and never speaks as gpsd does.
TEST(GpsdSource, APeerThatDoesNotAnswerAsGpsdIsLeftAndClosingNeverWaitsForIt) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length), 0);
    const int port = ntohs(a.sin_port);

    GpsdReceiver receiver({});
    receiver.setAnswerTimeoutMs(300);
    ASSERT_TRUE(receiver.open("127.0.0.1", port));
    const ReceiverStatus s = WaitForState(receiver, SourceState::kFailed);
    EXPECT_EQ(std::tuple(s.errorCode, s.message),
              std::tuple(ETIMEDOUT,
                         "127.0.0.1:" + std::to_string(port) + " does not answer as gpsd does"));
    // Closed while it waits for the greeting: at once.
    for (int i = 0; i < 5; ++i) {
        GpsdReceiver waiting({});
        ASSERT_TRUE(waiting.open("127.0.0.1", port));
        const auto start = std::chrono::steady_clock::now();
        waiting.close();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    }
    ::close(listener);
}

TEST(GpsdSource, ADaemonThatGoesAwayEndsTheStreamWithAMessage) {
    const recorded::Stream s = recorded::Load("ublox_m8_40");
    GpsdDaemon daemon;
    Collected got;
    GpsdReceiver receiver(got.Handlers());
    StartReceiver(receiver, daemon);
    Prime(daemon, [&] { return got.HasLine("\"driver\":\"NMEA0183\""); });
    WriteStream(daemon, s.bytes);
    ASSERT_TRUE(Eventually([&] { return got.Reached(s.fixes.back().utc); }));
    daemon.Kill();
    const ReceiverStatus ended = WaitForState(receiver, SourceState::kEnded);
    EXPECT_EQ(ended.message, "gpsd at localhost:" + std::to_string(daemon.port()) + " went away");
    EXPECT_GT(ended.sentences, 10u);
    // What came stays readable; closing ends at once.
    EXPECT_EQ(receiver.satelliteCount(), static_cast<int>(s.satellites.size()));
    ASSERT_TRUE(receiver.lastFix().has_value());
    EXPECT_NEAR(receiver.lastFix()->latitude, s.fixes.back().latitude, 1e-6);
    receiver.close();
    EXPECT_EQ(receiver.status().state, SourceState::kStopped);
}

// The control with gpsd as its source, as the program uses it through the
// wrapper: the automation event and satellite methods as from the serial
// receiver, the full fixes and every satellite with its constellation.
TEST(GpsdSource, TheControlReadsGpsdThroughTheSameEventsAndMethods) {
    const recorded::Stream s = recorded::Load("ublox_m8_40");
    GpsdDaemon daemon;
    ASSERT_TRUE(daemon.ok()) << daemon.error();
    const int before = BaselineThreadCount();
    SorvaneCtrl* object = NewControlObject(std::make_unique<CSorvaneCtrl>());
    ASSERT_NE(object, nullptr);
    {
        TSorvane gps(object);
        object->lpVtbl->Release(object);
        std::mutex mutex;
        std::vector<std::tuple<int, double, double, int>> events;  // valid, lat, lon, time
        std::vector<SorvaneFix> fixes;
        std::vector<std::string> lines;
        int satelliteEvents = 0;
        gps.SetOnNMEAReceived([&](std::int16_t valid, double lat, double lon, double,
                                  std::int32_t t, double, std::int16_t) {
            std::lock_guard lock(mutex);
            events.emplace_back(valid, lat, lon, t);
        });
        gps.SetOnFix([&](const SorvaneFix& f) {
            std::lock_guard lock(mutex);
            fixes.push_back(f);
        });
        gps.SetOnSentence([&](std::string_view line) {
            std::lock_guard lock(mutex);
            lines.emplace_back(line);
        });
        gps.SetOnSatellites([&] {
            std::lock_guard lock(mutex);
            ++satelliteEvents;
        });
        EXPECT_FALSE(gps.SetReceiverSource(7));
        EXPECT_FALSE(gps.SetReceiverSource(SORVANE_SOURCE_GPSD, "localhost", 70000));
        ASSERT_TRUE(gps.SetReceiverSource(SORVANE_SOURCE_GPSD, "localhost", daemon.port()));
        std::string host;
        std::int32_t port = 0;
        EXPECT_EQ(std::tuple(gps.GetReceiverSource(&host, &port), host, port),
                  std::tuple(SORVANE_SOURCE_GPSD, std::string("localhost"), daemon.port()));
        EXPECT_EQ(gps.GetReceiverStatus().state, SORVANE_RECEIVER_STOPPED);
        ASSERT_TRUE(gps.StartNMEAReceiving());
        ASSERT_TRUE(
            Eventually([&] { return gps.GetReceiverStatus().state == SORVANE_RECEIVER_RUNNING; }));
        Prime(daemon, [&] {
            std::lock_guard lock(mutex);
            return std::any_of(lines.begin(), lines.end(), [](const std::string& l) {
                return l.find("\"driver\":\"NMEA0183\"") != std::string::npos;
            });
        });
        WriteStream(daemon, s.bytes);
        ASSERT_TRUE(Eventually([&] {
            std::lock_guard lock(mutex);
            return !fixes.empty() && std::abs(fixes.back().time - s.fixes.back().utc) < 1e-3;
        }));
        // Every satellite of the cycle, in the 24-entry table and the full list.
        EXPECT_EQ(gps.GetNumSatellite(), static_cast<int>(s.satellites.size()));
        std::int16_t prn = 0, elevation = 0, azimuth = 0, snr = 0;
        EXPECT_TRUE(gps.GetSatelliteData(16, &prn, &elevation, &azimuth, &snr));
        EXPECT_EQ(std::tuple(prn, elevation, azimuth, snr), std::tuple(88, 5, 90, 22));
        const std::vector<SorvaneSatellite> all = gps.GetSatellites();
        std::vector<std::tuple<std::string, int, int, int, int, bool>> got;
        for (const SorvaneSatellite& x : all)
            got.emplace_back(sorvane_constellation_name(x.constellation), x.number, x.elevation,
                             x.azimuth, x.snr, x.used != 0);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, s.satellites);
        const std::optional<SorvaneFix> last = gps.GetLastFix();
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(std::tuple(last->valid, last->mode, last->satellitesUsed),
                  std::tuple(1, 3, s.fixes.back().used));
        EXPECT_NEAR(last->altitude, s.fixes.back().altitude, 1e-6);
        EXPECT_NEAR(last->hdop, 0.9, 1e-9);
        EXPECT_NEAR(last->speed, 1.234 * 1.852, 1e-3);
        gps.StopNMEAReceiving();
        EXPECT_EQ(gps.GetReceiverStatus().state, SORVANE_RECEIVER_STOPPED);

        std::lock_guard lock(mutex);
        EXPECT_GT(satelliteEvents, 0);
        // The automation event came for every fix, at the same places.
        ASSERT_EQ(events.size(), fixes.size());
        for (std::size_t i = 0; i < fixes.size(); ++i) {
            EXPECT_EQ(std::get<0>(events[i]), fixes[i].valid);
            EXPECT_EQ(std::get<1>(events[i]), fixes[i].latitude);
            EXPECT_EQ(std::get<3>(events[i]), static_cast<int>(fixes[i].time));
        }
    }
    EXPECT_TRUE(Eventually([&] { return ThreadCount() == before; }, 2s));
}

}  // namespace
}  // namespace sorvane
