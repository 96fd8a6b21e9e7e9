// The sorvane program against simulators on pseudo-terminals: what it prints
// of a download uploads the very same wire values again, in any locale, and a
// receiver that keeps rejecting a record makes it fail.

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "records.h"
#include "support/sim_fixture.h"

namespace {

using testsupport::RunningSimulator;

struct HostRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ostringstream s;
    s << std::ifstream(path).rdbuf();
    return s.str();
}

// Runs the program with arguments under a locale with a decimal comma.
HostRun Host(const std::string& arguments) {
    // Test cases run side by side in processes of their own.
    const std::string base = ::testing::TempDir() + "sorvane_host_" + std::to_string(::getpid());
    const std::string command = "LC_ALL=de_DE.UTF-8 " SORVANE_PROGRAM " " + arguments + " >" +
                                base + ".out 2>" + base + ".err";
    HostRun r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadFile(base + ".out");
    r.err = ReadFile(base + ".err");
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return r;
}

// Places in every quadrant, some a fraction of a unit from a half.
gpssim::DataSet Places() {
    gpssim::DataSet d;
    const std::pair<double, double> at[] = {
        {-35.5, -139.25}, {34.999999925, 139.987654321}, {-0.000000083, 179.99999}, {1.25, -0.5}};
    gpssim::SimRoute route{1, "ROUTE", {}};
    gpssim::SimTrack track{"TRACK", {}};
    for (std::size_t i = 0; i < std::size(at); ++i) {
        const auto [lat, lon] = at[i];
        gpssim::SimWaypoint w;
        w.name = "P" + std::to_string(i);
        w.latitude = lat;
        w.longitude = lon;
        d.waypoints.push_back(w);
        route.waypoints.push_back(w);
        track.points.push_back({lat, lon, 1000u + static_cast<std::uint32_t>(i), 10.0f, i == 2});
    }
    d.routes.push_back(route);
    d.tracks.push_back(track);
    return d;
}

using Wire = std::vector<std::pair<std::int32_t, std::int32_t>>;

Wire SentPositions(const gpssim::DataSet& d, int kind) {
    Wire w;
    const auto add = [&](double lat, double lon) {
        w.emplace_back(gpssim::DegreesToWire(lat), gpssim::DegreesToWire(lon));
    };
    if (kind == 0)
        for (const auto& p : d.tracks[0].points)
            add(p.latitude, p.longitude);
    if (kind == 1)
        for (const auto& p : d.waypoints)
            add(p.latitude, p.longitude);
    if (kind == 2)
        for (const auto& p : d.routes[0].waypoints)
            add(p.latitude, p.longitude);
    return w;
}

Wire UploadedPositions(const gpssim::Upload& u) {
    Wire w;
    for (const gpssim::UploadedPacket& p : u.packets)
        if (p.id == 34 || p.id == 35 || p.id == 30)
            w.emplace_back(p.rawLatitude, p.rawLongitude);
    return w;
}

TEST(SorvaneProgram, DownloadedFilesUploadTheSameWireValues) {
    // Without the locale the program runs under the test would prove nothing.
    const locale_t comma = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", locale_t{});
    ASSERT_NE(comma, locale_t{}) << "scripts/setup.sh generates de_DE.UTF-8";
    ::freelocale(comma);
    const char* const kinds[] = {"tracks", "waypoints", "routes"};
    for (const char* product : {"130", "87"}) {
        gpssim::Options o = testsupport::ParseSimOptions(std::string("--product ") + product);
        o.data = Places();
        RunningSimulator from(o);
        RunningSimulator to(testsupport::ParseSimOptions(std::string("--product ") + product));
        ASSERT_TRUE(from.ok() && to.ok());
        from.port(1);
        to.port(2);
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(std::string(product) + " " + kinds[kind]);
            const HostRun down = Host(std::string("download ") + kinds[kind] + " --port 1");
            ASSERT_EQ(down.status, 0) << down.err;
            // Numbers keep their decimal point under a decimal-comma locale.
            EXPECT_NE(down.out.find("\t-35.5"), std::string::npos) << down.out;
            EXPECT_EQ(down.out.find(",5"), std::string::npos) << down.out;
            const std::string file = ::testing::TempDir() + "sorvane_host_" +
                                     std::to_string(::getpid()) + "_" + kinds[kind] + ".txt";
            std::ofstream(file) << down.out;
            const HostRun up =
                Host(std::string("upload ") + kinds[kind] + " " + file + " --port 2");
            ASSERT_EQ(up.status, 0) << up.err;
            EXPECT_EQ(up.out, "uploaded\n");
            ASSERT_TRUE(to.sim().WaitForCompleteUploads(kind + 1, std::chrono::seconds(10)));
            EXPECT_EQ(UploadedPositions(to.sim().Uploads().at(kind)),
                      SentPositions(Places(), kind));
            std::remove(file.c_str());
        }
    }
}

TEST(SorvaneProgram, AReceiverThatKeepsRejectingARecordFailsTheUpload) {
    // Host packets: the product request 1, records 2, the first waypoint 3.
    RunningSimulator sim(
        testsupport::ParseSimOptions("--product 87 --reject-packet 3 --reject-always"));
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    const std::string file =
        ::testing::TempDir() + "sorvane_host_rejected_" + std::to_string(::getpid()) + ".txt";
    std::ofstream(file) << "W\tA\t\t35.5\t139.5\t0\t0\t0\t0\nW\tB\t\t35.6\t139.6\t0\t0\t0\t0\n";
    const HostRun up = Host("upload waypoints " + file + " --port 1");
    EXPECT_EQ(up.status, 1);
    EXPECT_EQ(up.out, "");
    EXPECT_NE(up.err.find("kept rejecting a packet"), std::string::npos) << up.err;
    // Nothing after the rejected waypoint went out.
    ASSERT_TRUE(sim.sim().WaitForCompleteUploads(1, std::chrono::seconds(10)));
    EXPECT_TRUE(sim.sim().Uploads().at(0).packets.empty());
    std::remove(file.c_str());
}

}  // namespace
