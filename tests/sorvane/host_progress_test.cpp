// Progress on standard error as the sorvane program shows it (lines, a bar on
// a terminal, nothing when quiet) and Ctrl-C during a transfer against a
// receiver slowed to a real line's speed.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "host_run.h"
#include "support/sim_fixture.h"

namespace {

using hosttest::Child;
using hosttest::Host;
using hosttest::HostRun;
using hosttest::TempFolder;
using testsupport::RunningSimulator;

// A receiver at `baud` holding one track of `points` points and as many
// waypoints as `waypoints`.
gpssim::Options Slow(std::uint32_t baud, int points, int waypoints) {
    gpssim::Options o = testsupport::ParseSimOptions("--product 130");
    o.baud = baud;
    gpssim::DataSet d;
    gpssim::SimTrack track{"LONG WALK", {}};
    for (int i = 0; i < points; ++i)
        track.points.push_back(
            {35.0 + i * 1e-4, 139.0, 1000u + static_cast<std::uint32_t>(i), 10.0f, i == 0});
    d.tracks.push_back(track);
    for (int i = 0; i < waypoints; ++i) {
        gpssim::SimWaypoint w;
        w.name = "W" + std::to_string(i);
        w.latitude = 35.0 + i * 1e-3;
        w.longitude = 139.0;
        d.waypoints.push_back(w);
    }
    o.data = d;
    return o;
}

TEST(SorvaneProgress, PlainLinesWhenStandardErrorIsNoTerminalAndNothingWhenQuiet) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    const HostRun down = Host("download tracks");
    EXPECT_EQ(down.status, 0);
    EXPECT_EQ(down.err, "received 0 of 14 tracks\nreceived 10 of 14 tracks\n");
    const HostRun quiet = Host("download tracks --quiet");
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, down.out);
}

TEST(SorvaneProgress, ABarWithRateAndTimeLeftOnATerminal) {
    RunningSimulator sim(Slow(19200, 1, 40));
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    winsize size{};
    size.ws_col = 72;
    size.ws_row = 24;
    ::ioctl(terminal, TIOCSWINSZ, &size);
    // What the program writes comes back as it is.
    termios t{};
    ::tcgetattr(terminal, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(terminal, TCSANOW, &t);
    TempFolder dir;
    Child host({"download", "waypoints"}, terminal, dir / "out.txt");
    ::close(terminal);
    ASSERT_TRUE(host.ok());
    std::string screen = hosttest::ReadUntil(master, "40/40", 60);
    EXPECT_EQ(host.Wait(), 0);
    screen += hosttest::ReadUntil(master, "\x04", 2);
    ::close(master);
    // The bar's line is ended when the transfer is.
    EXPECT_EQ(screen.back(), '\n');
    // Each state redraws the line in place, no wider than the terminal.
    EXPECT_NE(screen.find("\r\033[Kreceiving waypoints ["), std::string::npos) << screen;
    EXPECT_NE(screen.find("] 10/40"), std::string::npos) << screen;
    EXPECT_NE(screen.find("/s  0:0"), std::string::npos) << screen;
    EXPECT_NE(screen.find(" left"), std::string::npos) << screen;
    std::size_t at = 0;
    while ((at = screen.find("\033[K", at)) != std::string::npos) {
        at += 3;
        const std::size_t end = screen.find_first_of("\r\n", at);
        EXPECT_LT(end - at, 72u) << screen.substr(at, end - at);
    }
    EXPECT_EQ(hosttest::ReadFile(dir / "out.txt").substr(0, 15), "# 40 waypoints,");
}

// Ctrl-C: the transfer stops after the record in hand, nothing is written,
// the status is 130.
TEST(SorvaneProgress, CtrlCStopsADownloadAndWritesNothing) {
    RunningSimulator sim(Slow(9600, 400, 0));
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    TempFolder dir;
    int err[2];
    ASSERT_EQ(::pipe(err), 0);
    Child host({"download", "tracks", "--output", dir / "walk.gpx"}, err[1], dir / "out.txt");
    ::close(err[1]);
    ASSERT_TRUE(host.ok());
    std::string text = hosttest::ReadUntil(err[0], "received 10 of", 60);
    ASSERT_NE(text.find("received 10 of 401 tracks"), std::string::npos) << text;
    host.Signal(SIGINT);
    EXPECT_EQ(host.Wait(), 130);
    text += hosttest::ReadUntil(err[0], "\x04", 5);
    ::close(err[0]);
    EXPECT_NE(text.find("sorvane: interrupted; nothing was written\n"), std::string::npos) << text;
    // Stopped long before the end, and no file nor a piece of one is left.
    EXPECT_LT(sim.sim().Stats().packetsSent, 200);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.txt"});
    EXPECT_EQ(hosttest::ReadFile(dir / "out.txt"), "");
}

TEST(SorvaneProgress, CtrlCStopsAnUploadThatStillEndsCleanly) {
    RunningSimulator sim(Slow(9600, 0, 0));
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    TempFolder dir;
    std::string file = "T\tLONG\nS\n";
    for (int i = 0; i < 400; ++i)
        file +=
            "P\t35." + std::to_string(1000 + i) + "\t139.5\t10\t" + std::to_string(1000 + i) + "\n";
    hosttest::WriteFile(dir / "walk.txt", file);
    int err[2];
    ASSERT_EQ(::pipe(err), 0);
    Child host({"upload", "tracks", dir / "walk.txt", "--datum", "WGS 84"}, err[1],
               dir / "out.txt");
    ::close(err[1]);
    ASSERT_TRUE(host.ok());
    std::string text = hosttest::ReadUntil(err[0], "sent 11 of", 60);
    ASSERT_NE(text.find("sent 11 of 401 tracks"), std::string::npos) << text;
    host.Signal(SIGINT);
    EXPECT_EQ(host.Wait(), 130);
    text += hosttest::ReadUntil(err[0], "\x04", 5);
    ::close(err[0]);
    EXPECT_NE(text.find("sorvane: interrupted: the upload of tracks stopped after "),
              std::string::npos)
        << text;
    EXPECT_EQ(hosttest::ReadFile(dir / "out.txt"), "");
    // The exchange was closed with transfer complete, after part of the track.
    ASSERT_TRUE(sim.sim().WaitForCompleteUploads(1, std::chrono::seconds(10)));
    const std::vector<gpssim::Upload> uploads = sim.sim().Uploads();
    const std::size_t sent = uploads.at(0).packets.size();
    EXPECT_GT(sent, 11u);
    EXPECT_LT(sent, 200u);
}

}  // namespace
