// `sorvane nmea` as a user runs it: fixes of every kind of receiver with
// their UTC times in the datum chosen, satellites with their systems, the
// sentences as received, gpsd as the source, and a message and its own exit
// status for each way a source can fail.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "nmea_stream.h"
#include "support/gpsd_fixture.h"
#include "support/sim_fixture.h"

namespace {

using namespace std::chrono_literals;
using testsupport::RunningSimulator;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::vector<std::string> lines;  // of out
};

std::string ReadFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

// The program with arguments, never for longer than a minute.
Outcome Sorvane(const std::string& arguments) {
    const std::string base = ::testing::TempDir() + "sorvane_nmea_" + std::to_string(::getpid());
    const std::string command =
        "timeout 60 " SORVANE_PROGRAM " " + arguments + " >" + base + ".out 2>" + base + ".err";
    Outcome r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(base + ".out");
    r.err = ReadFile(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        r.lines.push_back(line);
    return r;
}

std::string Iso(std::int64_t t) {
    const auto seconds = static_cast<std::time_t>(t);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

// The printed fix lines, by their time.
std::vector<std::vector<std::string>> FixLines(const Outcome& r) {
    std::vector<std::vector<std::string>> fixes;
    for (const std::string& line : r.lines) {
        if (line.empty() || line[0] == '#' || line.find(" fix ") == std::string::npos)
            continue;
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string w; in >> w;)
            words.push_back(w);
        fixes.push_back(words);
    }
    return fixes;
}

// A four-system receiver on port 1, at 10 cycles a second, points 30 s apart.
gpssim::Options FourSystems() {
    gpssim::Options o = testsupport::ParseSimOptions(
        "--nmea --nmea-rate 10 --nmea-systems gps,glonass,galileo,beidou --nmea-satellites 7 "
        "--nmea-fix-loss 0.5:0.3");
    gpssim::SimTrack& track = o.data.emplace().tracks.emplace_back();
    for (int i = 0; i < 200; ++i) {
        const auto n = static_cast<std::uint32_t>(i);
        track.points.push_back({35.6 + 0.0001 * i, 139.7 + 0.0002 * i, 700000000u + 30u * n,
                                40.0f + static_cast<float>(i % 7), i == 0});
    }
    return o;
}

TEST(SorvaneNmea, FixesOfAFourSystemReceiverInTheDatumAndTheSatellitesWithTheirSystems) {
    RunningSimulator sim(FourSystems());
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    const Outcome wgs = Sorvane("nmea --port 1 --seconds 2 --datum wgs84");
    ASSERT_EQ(wgs.status, 0) << wgs.err;
    EXPECT_EQ(wgs.lines.at(0), "# positions in datum WGS 84");
    const auto cycles = sim.sim().NmeaCycles();
    const auto fixes = FixLines(wgs);
    ASSERT_GE(fixes.size(), 8u) << wgs.out;
    for (const auto& f : fixes) {
        const auto c = std::find_if(cycles.begin(), cycles.end(), [&](const gpssim::NmeaCycle& c) {
            return Iso(c.unixTime) == f[0];
        });
        ASSERT_NE(c, cycles.end()) << f[0];
        ASSERT_EQ(f.size(), 16u);
        EXPECT_TRUE(c->valid) << f[0];
        EXPECT_NEAR(std::stod(f[2]), c->latitude, 1e-7);
        EXPECT_NEAR(std::stod(f[3]), c->longitude, 1e-7);
        EXPECT_EQ(std::stod(f[4]), c->altitude);
        EXPECT_EQ(std::vector<std::string>(f.begin() + 10, f.end()),
                  (std::vector<std::string>{"quality", "1", "used", "28", "hdop", "1.0"}));
    }
    // The lost fix (cycles 6 to 8 of the stream) shows as such.
    int nofix = 0;
    for (const std::string& line : wgs.lines)
        nofix += line.ends_with(" nofix") ? 1 : 0;
    EXPECT_GE(nofix, 1) << wgs.out;
    // Every satellite with its system.
    const auto heading = std::find_if(wgs.lines.begin(), wgs.lines.end(),
                                      [](const std::string& l) { return l.starts_with("# 28 "); });
    ASSERT_NE(heading, wgs.lines.end()) << wgs.out;
    EXPECT_EQ(*heading, "# 28 satellites in view: GPS 7, GLONASS 7, Galileo 7, BeiDou 7");
    EXPECT_EQ(*(heading + 8), "GLONASS 1 prn 65 elevation 38 azimuth 111 snr 29 used");
    EXPECT_EQ(heading + 29, wgs.lines.end());

    // The default datum, Tokyo, as the downloads print: the control's own conversion.
    const Outcome tokyo = Sorvane("nmea --port 1 --seconds 1");
    ASSERT_EQ(tokyo.status, 0) << tokyo.err;
    EXPECT_EQ(tokyo.lines.at(0), "# positions in datum Tokyo");
    const auto local = FixLines(tokyo);
    ASSERT_FALSE(local.empty());
    const auto all = sim.sim().NmeaCycles();
    const auto c = std::find_if(all.begin(), all.end(), [&](const gpssim::NmeaCycle& c) {
        return Iso(c.unixTime) == local[0][0];
    });
    ASSERT_NE(c, all.end());
    sorvane::TSorvane gps;
    double lat = 0, lon = 0, alt = 0;
    ASSERT_TRUE(
        gps.TransformDatumWGS84IntoLocal(c->latitude, c->longitude, c->altitude, &lat, &lon, &alt));
    EXPECT_NEAR(std::stod(local[0][2]), lat, 1e-7);
    EXPECT_NEAR(std::stod(local[0][3]), lon, 1e-7);
    EXPECT_GT(std::abs(lat - c->latitude), 1e-3);  // a datum shift there was
}

TEST(SorvaneNmea, RawPrintsTheSentencesAsReceived) {
    RunningSimulator sim(testsupport::ParseSimOptions(
        "--nmea --nmea-rate 20 --nmea-systems gps,beidou --nmea-version 4.10 --nmea-satellites 2"));
    ASSERT_TRUE(sim.ok());
    sim.port(2);
    const Outcome r = Sorvane("nmea --port 2 --seconds 1 --raw");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GE(r.lines.size(), 10u);
    std::string all;
    for (const std::string& line : r.lines) {
        EXPECT_EQ(line[0], '$') << line;
        EXPECT_EQ(gpssim::NmeaSentence(line.substr(1, line.find('*') - 1)), line + "\r\n");
        all += line + "\r\n";
    }
    // Whole sentences of the stream, in its order.
    std::string sent;
    for (const auto& c : sim.sim().NmeaCycles())
        sent += c.text;
    EXPECT_NE(sent.find(all.substr(all.find("$GNRMC"))), std::string::npos);
}

TEST(SorvaneNmea, APortThatSendsNoSentencesOrCannotBeOpenedSaysSo) {
    // A receiver in its binary mode: bytes, but no sentence.
    RunningSimulator binary;
    ASSERT_TRUE(binary.ok());
    binary.port(3);
    std::atomic<bool> done{false};
    std::thread noise([&] {
        while (!done) {
            binary.sim().SendRaw(std::string("\x10\x0a\x02\x33\x00\x10\x03", 7));
            std::this_thread::sleep_for(50ms);
        }
    });
    const Outcome b = Sorvane("nmea --port 3 --seconds 1");
    done = true;
    noise.join();
    EXPECT_EQ(b.status, 4);
    EXPECT_NE(b.err.find("sorvane: port 3 sent no NMEA sentences in 1 s, only "), std::string::npos)
        << b.err;
    EXPECT_NE(b.err.find("is the receiver in its binary mode"), std::string::npos) << b.err;

    // Silent: said after five seconds, even when asked to run until Ctrl-C.
    RunningSimulator silent;
    silent.port(4);
    const Outcome s = Sorvane("nmea --port 4 --seconds 0");
    EXPECT_EQ(std::tuple(s.status, s.err),
              std::tuple(4, std::string("sorvane: port 4 sent no NMEA sentences in 5 s\n")));

    testsupport::ScopedEnv missing("SORVANE_COM5", "/nonexistent/sorvane-port");
    const Outcome m = Sorvane("nmea --port 5 --seconds 5");
    EXPECT_EQ(std::tuple(m.status, m.err),
              std::tuple(3, std::string("sorvane: cannot open port 5 (/nonexistent/sorvane-port): "
                                        "No such file or directory; is the receiver connected? "
                                        "SORVANE_COM5 or ports.conf names another device\n")));

    for (const char* usage :
         {"nmea --port 10", "nmea --gpsd [::1", "nmea --gpsd host:0", "nmea --datum Nowhere",
          "nmea --seconds -1", "nmea extra", "nmea --baud 1234", "nmea --port"}) {
        const Outcome u = Sorvane(usage);
        EXPECT_EQ(u.status, 2) << usage;
        EXPECT_FALSE(u.err.empty()) << usage;
    }
    const Outcome help = Sorvane("nmea --help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--gpsd", "--raw", "--seconds", "--datum", "ISO 8601", "Exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    EXPECT_EQ(Sorvane("help nmea").out, help.out);
}

// 2024-03-23 12:00:00 UTC. gpsd takes a date older than itself for one a GPS
// week rollover ago and moves it on by 1024 weeks, so the stream is recent.
constexpr long kReceiverSeconds2024 = 1711195200L - 631065600L;

TEST(SorvaneNmea, FromGpsdAndAGpsdThatIsNotThereOrGoesAway) {
    const int nobody = testsupport::FreeLoopbackPort();
    const Outcome none =
        Sorvane("nmea --gpsd 127.0.0.1:" + std::to_string(nobody) + " --seconds 5");
    EXPECT_EQ(std::tuple(none.status, none.err),
              std::tuple(3, "sorvane: gpsd is not running at 127.0.0.1:" + std::to_string(nobody) +
                                " (connection refused)\n"));

    testsupport::GpsdDaemon daemon;
    ASSERT_TRUE(daemon.ok()) << daemon.error();
    // The stream goes in while the program runs; the daemon takes the
    // terminal for a receiver first.
    std::atomic<bool> stop{false};
    std::atomic<bool> fed{false};
    std::thread feeder([&] {
        const std::string warm = gpssim::NmeaSentence("GPTXT,01,01,02,warming up");
        for (int i = 0; i < 40 && !stop; ++i) {
            daemon.Write(warm);
            std::this_thread::sleep_for(25ms);
        }
        gpssim::NmeaOptions o;
        o.systems = {gpssim::NmeaSystem::kGps, gpssim::NmeaSystem::kGlonass};
        o.satellites = 5;
        for (int n = 1; n <= 30 && !stop; ++n) {
            const gpssim::SimTrackPoint here{-33.9 - 0.001 * n, 18.4 + 0.001 * n,
                                             static_cast<std::uint32_t>(kReceiverSeconds2024 + n),
                                             10.0f, false};
            daemon.Write(gpssim::BuildNmeaCycle(n, here, here, o).text);
            std::this_thread::sleep_for(40ms);
        }
        fed = true;
    });
    const Outcome r = Sorvane("nmea --gpsd localhost:" + std::to_string(daemon.port()) +
                              " --seconds 4 --datum WGS84");
    stop = true;
    feeder.join();
    ASSERT_EQ(r.status, 0) << r.err;
    const auto fixes = FixLines(r);
    ASSERT_GE(fixes.size(), 10u) << r.out;
    for (const auto& f : fixes) {
        // Point n at kReceiverSeconds2024 + n.
        std::tm t{};
        ASSERT_TRUE(strptime(f[0].c_str(), "%Y-%m-%dT%H:%M:%SZ", &t)) << f[0];
        const long n = static_cast<long>(::timegm(&t)) - 631065600L - kReceiverSeconds2024;
        EXPECT_NEAR(std::stod(f[2]), -33.9 - 0.001 * n, 1e-6) << f[0];
        EXPECT_NEAR(std::stod(f[3]), 18.4 + 0.001 * n, 1e-6) << f[0];
    }
    EXPECT_NE(r.out.find("# 10 satellites in view: GPS 5, GLONASS 5"), std::string::npos) << r.out;

    // Gone in the middle of a run.
    std::thread killer([&] {
        std::this_thread::sleep_for(1s);
        daemon.Kill();
    });
    const Outcome gone =
        Sorvane("nmea --gpsd localhost:" + std::to_string(daemon.port()) + " --seconds 20");
    killer.join();
    EXPECT_EQ(std::tuple(gone.status, gone.err),
              std::tuple(6, "sorvane: gpsd at localhost:" + std::to_string(daemon.port()) +
                                " went away\n"));
}

}  // namespace
