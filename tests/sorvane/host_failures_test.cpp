// What the sorvane program does when something is wrong: a file to upload
// with a bad value is refused with its line before the receiver hears of
// anything, and each kind of failure has its exit code and a message that
// says what happened.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "data/native_file.h"
#include "data/tobrel_file.h"
#include "host_run.h"
#include "link/serial_port.h"
#include "support/sim_fixture.h"

namespace {

using hosttest::Host;
using hosttest::HostRun;
using hosttest::TempFolder;
using testsupport::RunningSimulator;

constexpr const char* kGpxHead =
    "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" "
    "xmlns=\"http://www.topografix.com/GPX/1/1\">\n";

struct BadFile {
    const char* name;
    std::string bytes;
    const char* kind;
    std::string message;  // after "sorvane: FILE"
};

std::vector<BadFile> BadFiles() {
    const std::string w = "W\tA\t\t35.5\t139.5\t0\t0\t0\t0\n";
    return {
        // Positions the receiver would take for other places.
        {"lat.txt", "W\tA\t\t95.6\t139.5\t0\t0\t0\t0\n", "waypoints",
         ":1: latitude \"95.6\" is outside -90 to 90"},
        {"lon.txt", "# comment\n" + w + "W\tB\t\t35.5\t539.7\t0\t0\t0\t0\n", "waypoints",
         ":3: longitude \"539.7\" is outside -180 to 180"},
        {"nan.txt", "W\tA\t\tnan\t139.5\t0\t0\t0\t0\n", "waypoints",
         ":1: latitude \"nan\" is not a finite number"},
        {"inf.txt", "R\tR\nRW\tA\t\t35.5\t139.5\tinf\t0\t0\t0\n", "routes",
         ":2: altitude \"inf\" is not a finite number"},
        // Messages that name the field.
        {"comma.txt", "W\tA\t\t35,5\t139.5\t0\t0\t0\t0\n", "waypoints",
         ":1: latitude \"35,5\" has a decimal comma; write 35.5"},
        {"word.txt", "W\tA\t\t35.5\t139.5\thigh\t0\t0\t0\n", "waypoints",
         ":1: altitude \"high\" is not a number"},
        {"symbol.txt", "W\tA\t\t35.5\t139.5\t0\tx\t0\t0\n", "waypoints",
         ":1: symbol \"x\" is not a whole number from -32768 to 65535"},
        {"fields.txt", "W\tA\t35.5\t139.5\t0\t0\t0\t0\n", "waypoints",
         ":1: a waypoint line has 8 fields; it takes 9"},
        {"noname.txt", "W\t\t\t35.5\t139.5\t0\t0\t0\t0\n", "waypoints",
         ":1: a waypoint without a name"},
        {"rwname.txt", "R\tR\nRW\t \t\t35.5\t139.5\t0\t0\t0\t0\n", "routes",
         ":2: a route waypoint without a name"},
        {"seconds.txt", "T\tT\nS\nP\t35.5\t139.5\t0\t12x\n", "tracks",
         ":3: receiver seconds \"12x\" is not a whole number from 0 to 4294967295"},
        {"iso.txt", "T\tT\nS\nP\t35.5\t139.5\t0\t\t2021-13-01T00:00:00Z\n", "tracks",
         ":3: time \"2021-13-01T00:00:00Z\" is not an ISO 8601 date and time"},
        {"agree.txt", "T\tT\nS\nP\t35.5\t139.5\t0\t1000\t2021-01-01T00:00:00Z\n", "tracks",
         ":3: receiver seconds 1000 and time \"2021-01-01T00:00:00Z\" do not agree"},
        {"order.txt", "P\t35.5\t139.5\t0\t1000\n", "tracks",
         ":1: a point line needs a track line (T) before it"},
        {"route.txt", "RW\tA\t\t35.5\t139.5\t0\t0\t0\t0\n", "routes",
         ":1: a route waypoint needs a route line (R) before it"},
        {"record.txt", w + "X\t1\n", "waypoints", ":2: unknown record \"X\""},
        {"none.txt", "# 0 waypoints\n", "waypoints", ": no waypoints in the file"},
        {"empty.txt", "", "waypoints", ": the file is empty"},
        {"missing.txt", "-", "waypoints", ": " + hosttest::Reason(ENOENT)},
        // GPX: the line of the damage.
        {"broken.gpx", std::string(kGpxHead) + "<wpt lat=\"35\" lon=\"139\">\n<name>A</name>\n",
         "waypoints", ":5: not well-formed XML"},
        {"html.gpx", "<?xml version=\"1.0\"?>\n<html/>\n", "waypoints",
         ":2: not a GPX file: the document is a <html> element"},
        {"gpxlat.gpx",
         std::string(kGpxHead) + "<wpt lat=\"95.6\" lon=\"139\"><name>A</name></wpt>\n</gpx>\n",
         "waypoints", ":3: latitude \"95.6\" of a waypoint is outside -90 to 90"},
        {"unnamed.gpx",
         std::string(kGpxHead) + "<rte><rtept lat=\"35\" lon=\"139\"/></rte>\n</gpx>\n", "routes",
         ":3: a route point without a name"},
        {"time.gpx",
         std::string(kGpxHead) +
             "<trk><trkseg>\n<trkpt lat=\"35\" lon=\"139\"><time>yesterday</time></trkpt>\n"
             "</trkseg></trk>\n</gpx>\n",
         "tracks", ":4: time \"yesterday\" is not a date and time"},
        {"kind.gpx",
         std::string(kGpxHead) + "<wpt lat=\"35\" lon=\"139\"><name>A</name></wpt>\n</gpx>\n",
         "tracks", ": no tracks in the file"},
        {"empty.gpx", "", "waypoints", ": the file is empty"},
        // A GPX file by its content, whatever its name.
        {"named.txt", std::string(kGpxHead) + "<wpt lat=\"-91\" lon=\"0\"/>\n</gpx>\n", "waypoints",
         ":3: latitude \"-91\" of a waypoint is outside -90 to 90"},
        {"junk.tb2", "not a data file at all, but long enough to hold a header of one", "waypoints",
         ": not a native data file (.tb2)"},
    };
}

TEST(SorvaneFailures, ABadValueIsRefusedWithItsLineAndNothingIsSent) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    TempFolder dir;
    for (const BadFile& f : BadFiles()) {
        SCOPED_TRACE(f.name);
        const std::string path = dir / f.name;
        if (f.bytes != "-")
            hosttest::WriteFile(path, f.bytes);
        const HostRun r = Host(std::string("upload ") + f.kind + " " + path);
        EXPECT_EQ(r.status, 7) << r.err;
        EXPECT_EQ(r.out, "");
        const std::string want = "sorvane: " + path + f.message;
        EXPECT_EQ(r.err.substr(0, want.size()), want) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
    // A folder is no file.
    const HostRun folder = Host("upload waypoints " + dir.path());
    EXPECT_EQ(folder.status, 7);
    EXPECT_EQ(folder.err, "sorvane: " + dir.path() + ": a folder, not a file\n");
    // The receiver heard nothing at all, not even a product request.
    EXPECT_EQ(sim.sim().Stats().bytesRead, 0u);
}

// A native file written by the program with what no upload may send.
TEST(SorvaneFailures, ANativeFileWithABadRecordIsRefusedByItsPlace) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    TempFolder dir;
    struct Case {
        const char* ident;
        double lat, lon, alt;
        const char* message;
    };
    const Case cases[] = {
        {"A", NAN, 139.5, 0, "waypoint 2: latitude \"nan\" is not a finite number"},
        {"A", 35.5, -181.5, 0, "waypoint 2: longitude \"-181.5\" is outside -180 to 180"},
        {"", 35.5, 139.5, 0, "waypoint 2: the name is empty"},
        {"A", 35.5, 139.5, INFINITY, "waypoint 2: altitude \"inf\" is not a finite number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        tobrel::TobrelFile store;
        ASSERT_EQ(store.AddWaypoints(2), 0);
        store.SetWaypoint(0, "GOOD", "", 35.5, 139.5, 0, 0, 0, 0);
        store.SetWaypoint(1, c.ident, "", c.lat, c.lon, c.alt, 0, 0, 0);
        const std::string path = dir / "bad.tb2";
        ASSERT_TRUE(tobrel::WriteNativeFile(store, path));
        const HostRun r = Host("upload waypoints " + path);
        EXPECT_EQ(r.status, 7);
        EXPECT_EQ(r.err, "sorvane: " + path + ": " + c.message + "\n");
    }
    EXPECT_EQ(sim.sim().Stats().bytesRead, 0u);
}

struct ExitCase {
    const char* simulator;  // options, or nullptr for /dev/null on port 1
    std::string arguments;
    int status;
    std::string message;  // a part of standard error
};

TEST(SorvaneFailures, EachKindOfFailureHasItsCodeAndItsMessage) {
    TempFolder dir;
    const std::string upload = dir / "two.txt";
    hosttest::WriteFile(upload,
                        "W\tA\t\t35.5\t139.5\t0\t0\t0\t0\nW\tB\t\t35.6\t139.6\t0\t0\t0\t0\n");
    const ExitCase cases[] = {
        // Usage.
        {nullptr, "", 2, "Usage: sorvane <command>"},
        {nullptr, "frobnicate", 2, "sorvane: unknown command: frobnicate\n"},
        {nullptr, "identify --port 10", 2, "--port needs a port number from 1 to 9"},
        {nullptr, "identify --port 0", 2, "--port needs a port number from 1 to 9"},
        {nullptr, "identify --baud 1234", 2, "--baud needs a line speed"},
        {nullptr, "download tracks --datum Mars", 2, "unknown datum \"Mars\""},
        {nullptr, "download", 2, "download tracks, waypoints, routes or all?"},
        {nullptr, "upload tracks", 2, "upload tracks, waypoints or routes, and a file"},
        {nullptr, "identify now", 2, "identify takes no now"},
        {nullptr, "download tracks --fast", 2, "unknown option: --fast"},
        {nullptr, "download tracks --quiet=yes", 2, "--quiet takes no value"},
        // The port.
        {nullptr, "identify", 3, "cannot open port 1 (/dev/null): not a serial line"},
        // No answer.
        {"--no-answer", "download tracks --product 130", 4,
         "no answer from the receiver on port 1"},
        // An unsupported product, reported or chosen.
        {"--product 9999", "download waypoints", 5, "the receiver's product 9999"},
        {"--product 130", "download waypoints --product 9999", 5,
         "product 9999 is not in the product table"},
        // Transfers that fail.
        {"--product 130 --stop-after 8", "download tracks", 6,
         "the download of tracks failed: the receiver stopped before the end"},
        {"--product 130 --extra-packets 15", "download tracks", 6,
         "the download of tracks failed: the receiver sent more than the"},
        {"--product 130 --extra-packets 2", "download waypoints", 6,
         "the download of waypoints failed: the receiver sent another number of waypoints"},
        {"--product 130 --hangup-after 6", "download routes", 6,
         "the download of routes failed: the line hung up"},
        // Host packets: the product request 1, records 2, the first waypoint 3.
        {"--product 87 --reject-packet 3 --reject-always", "upload waypoints " + upload, 6,
         "the upload of waypoints failed: the receiver kept rejecting a record"},
        // An output that cannot be written is told before the transfer.
        {"--product 130", "download tracks -o /nonexistent/folder/t.gpx", 1,
         "cannot write /nonexistent/folder/t.gpx: folder /nonexistent/folder: " +
             hosttest::Reason(ENOENT) + "\n"},
    };
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::optional<RunningSimulator> sim;
        std::optional<testsupport::ScopedEnv> device;
        if (c.simulator != nullptr) {
            sim.emplace(testsupport::ParseSimOptions(c.simulator));
            ASSERT_TRUE(sim->ok());
            sim->port(1);
        } else {
            device.emplace("SORVANE_COM1", "/dev/null");
        }
        const HostRun r = Host(c.arguments);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        if (c.status == 6 && std::string(c.simulator).find("reject") != std::string::npos) {
            // Nothing after the rejected waypoint went out.
            ASSERT_TRUE(sim->sim().WaitForCompleteUploads(1, std::chrono::seconds(10)));
            EXPECT_TRUE(sim->sim().Uploads().at(0).packets.empty());
        }
        if (c.status == 1) {
            EXPECT_EQ(sim->sim().Stats().bytesRead, 0u);
        }
    }
}

TEST(SorvaneFailures, APortThatCannotBeOpenedIsNamedWithTheReason) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(2);
    {
        testsupport::ScopedEnv missing("SORVANE_COM1", "/nonexistent/ttyUSB7");
        const HostRun r = Host("identify");
        EXPECT_EQ(r.status, 3);
        const std::string want =
            "sorvane: cannot open port 1 (/nonexistent/ttyUSB7): " + hosttest::Reason(ENOENT);
        EXPECT_EQ(r.err.substr(0, want.size()), want);
        EXPECT_NE(r.err.find("SORVANE_COM1"), std::string::npos);
    }
    // Another program holds the line.
    sorvane::SerialLine held;
    ASSERT_EQ(sorvane::OpenSerialLine(sim.path(), sorvane::PortSettings{}, &held), 0);
    const HostRun busy = Host("download tracks --port 2 --product 130");
    EXPECT_EQ(busy.status, 3);
    EXPECT_EQ(busy.err, "sorvane: cannot open port 2 (" + sim.path() +
                            "): another program is using the port\n");
}

TEST(SorvaneFailures, NoAnswerSaysSoAndNamesNmeaWhenSentencesCome) {
    {
        RunningSimulator silent("--no-answer");
        ASSERT_TRUE(silent.ok());
        silent.port(1);
        const HostRun r = Host("identify");
        EXPECT_EQ(r.status, 4);
        EXPECT_EQ(r.err, "sorvane: no answer from the receiver on port 1 (" + silent.path() +
                             "); is it connected and switched on?\n");
    }
    RunningSimulator nmea("--nmea --nmea-rate 4");
    ASSERT_TRUE(nmea.ok());
    nmea.port(1);
    const HostRun r = Host("download waypoints --product 130");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("it is sending NMEA sentences; switch its interface to the binary "
                         "transfer mode"),
              std::string::npos)
        << r.err;
}

}  // namespace
