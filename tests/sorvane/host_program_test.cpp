// The sorvane program against simulators on pseudo-terminals: what it
// downloads, printed or saved as GPX or a native file, uploads the very same
// wire values and records again, in any locale; and every other command does
// what its help says.

#include <gtest/gtest.h>
#include <locale.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "data/gpx_file.h"
#include "data/native_file.h"
#include "host_run.h"
#include "records.h"
#include "support/sim_fixture.h"

namespace {

using hosttest::Host;
using hosttest::HostRun;
using hosttest::TempFolder;
using testsupport::RunningSimulator;

// Places in every quadrant, some a fraction of a unit from a half, one by the
// date line where Tokyo's datum gives a longitude beyond 180; names,
// altitudes (one missing, one 0), symbols, segments and times as each family
// carries them (the newer family's downloads bring no comments).
gpssim::DataSet Places(bool newerFamily) {
    gpssim::DataSet d;
    const std::pair<double, double> at[] = {
        {-35.5, -139.25}, {34.999999925, 139.987654321}, {-0.000000083, 179.99999}, {1.25, -0.5}};
    const std::uint16_t symbols[] = {18, 8, 6, 0};
    // The control's routes have no number of their own: uploads send 0.
    gpssim::SimRoute route{0, "ROUTE", {}};
    // Older receivers keep one track log without a name of its own.
    gpssim::SimTrack track{newerFamily ? "TRACK" : "ACTIVE LOG", {}};
    for (std::size_t i = 0; i < std::size(at); ++i) {
        const auto [lat, lon] = at[i];
        gpssim::SimWaypoint w;
        w.name = "P" + std::to_string(i);
        w.comment = newerFamily ? "" : "NOTE " + std::to_string(i);
        w.latitude = lat;
        w.longitude = lon;
        if (newerFamily)
            w.altitude = i == 1 ? gpssim::kNoValue : 100.5f * static_cast<float>(i);
        w.symbol = symbols[i];
        d.waypoints.push_back(w);
        route.waypoints.push_back(w);
        const float altitude = newerFamily ? (i == 3 ? gpssim::kNoValue : 10.0f) : 0.0f;
        track.points.push_back(
            {lat, lon, 1000u + 7 * static_cast<std::uint32_t>(i), altitude, i == 0 || i == 2});
    }
    d.routes.push_back(route);
    d.tracks.push_back(track);
    if (newerFamily)
        d.tracks.push_back({"SECOND", {{35.25, 139.75, 0, 3.0f, true}}});
    return d;
}

// What a receiver holds as the wire carries it: positions in wire units, and
// altitudes to the millimetre where a file keeps no more.
std::string AsHeld(gpssim::DataSet d, bool roughAltitudes) {
    const auto wire = [](double& degrees) {
        degrees = gpssim::WireToDegrees(gpssim::DegreesToWire(degrees));
    };
    const auto altitude = [&](float& a) {
        if (roughAltitudes && a != gpssim::kNoValue)
            a = std::round(a * 1000.0f) / 1000.0f;
    };
    for (auto& t : d.tracks)
        for (auto& p : t.points) {
            wire(p.latitude);
            wire(p.longitude);
            altitude(p.altitude);
        }
    const auto waypoint = [&](gpssim::SimWaypoint& w) {
        wire(w.latitude);
        wire(w.longitude);
        altitude(w.altitude);
    };
    for (auto& w : d.waypoints)
        waypoint(w);
    for (auto& r : d.routes)
        for (auto& w : r.waypoints)
            waypoint(w);
    return gpssim::FormatDataSet(d);
}

using Wire = std::vector<std::pair<std::int32_t, std::int32_t>>;

Wire HeldPositions(const gpssim::DataSet& d, int kind) {
    Wire w;
    const auto add = [&](double lat, double lon) {
        w.emplace_back(gpssim::DegreesToWire(lat), gpssim::DegreesToWire(lon));
    };
    if (kind == 0)
        for (const auto& t : d.tracks)
            for (const auto& p : t.points)
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

const char* const kKinds[] = {"tracks", "waypoints", "routes"};

TEST(SorvaneProgram, EveryFileFormUploadsWhatWasDownloaded) {
    // Without the locale the program runs under the test would prove nothing.
    const locale_t comma = ::newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", locale_t{});
    ASSERT_NE(comma, locale_t{}) << "scripts/setup.sh generates de_DE.UTF-8";
    ::freelocale(comma);
    // The file, the download's options; the datum is spelled as users do.
    const std::tuple<const char*, const char*> forms[] = {
        {"all.txt", ""},                    // printed, Tokyo
        {"all.tab", "--datum wgs84"},       // printed, WGS 84
        {"all.gpx", "--datum TOKYO"},       // GPX is WGS 84 whatever the datum
        {"all.tb2", "--datum 'Tokyo'"},     // the native file holds the datum's positions
        {"ALL.GPX", "--datum nad27conus"},  // letter case of the extension
    };
    for (const bool newer : {true, false}) {
        const std::string product = newer ? "130" : "87";
        gpssim::Options o = testsupport::ParseSimOptions("--product " + product);
        o.data = Places(newer);
        RunningSimulator from(o);
        ASSERT_TRUE(from.ok());
        from.port(1);
        for (const auto& [name, datum] : forms) {
            SCOPED_TRACE(product + " " + name);
            TempFolder dir;
            RunningSimulator to(testsupport::ParseSimOptions("--product " + product));
            ASSERT_TRUE(to.ok());
            to.port(2);
            const std::string file = dir / name;
            const bool printed = std::string(name).ends_with(".txt");
            const HostRun down = Host("download all --port 1 " + std::string(datum) +
                                      (printed ? "" : " --output " + file));
            ASSERT_EQ(down.status, 0) << down.err;
            if (printed) {
                // Numbers keep their decimal point under a decimal-comma locale.
                EXPECT_NE(down.out.find("\t-35.5"), std::string::npos) << down.out;
                EXPECT_EQ(down.out.find(",5"), std::string::npos) << down.out;
                hosttest::WriteFile(file, down.out);
            } else {
                EXPECT_NE(down.err.find("wrote " + std::string(newer ? "2 tracks" : "1 track") +
                                        ", 4 waypoints, 1 route to " + file),
                          std::string::npos)
                    << down.err;
            }
            for (int kind = 0; kind < 3; ++kind) {
                SCOPED_TRACE(kKinds[kind]);
                // Older receivers keep a host waiting for a list they never
                // send; identified once above, they are named here.
                const HostRun up = Host(std::string("upload ") + kKinds[kind] + " " + file +
                                        " --port 2 " + datum + (newer ? "" : " --product 87"));
                ASSERT_EQ(up.status, 0) << up.err;
                EXPECT_EQ(up.out.substr(0, 9), "uploaded ");
                ASSERT_TRUE(to.sim().WaitForCompleteUploads(kind + 1, std::chrono::seconds(10)));
                EXPECT_EQ(UploadedPositions(to.sim().Uploads().at(kind)),
                          HeldPositions(Places(newer), kind));
            }
            // Names, comments, altitudes, symbols, segments and times too.
            // A native file keeps altitudes in a local datum as floats.
            const bool rough = std::string(name) == "all.tb2";
            EXPECT_EQ(AsHeld(to.sim().Data(), rough), AsHeld(from.sim().Data(), rough));
        }
    }
}

TEST(SorvaneProgram, DownloadsWriteFilesTheDataLibraryReads) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    TempFolder dir;
    // One kind a file; a file that was there is replaced whole.
    hosttest::WriteFile(dir / "w.gpx", "old");
    ASSERT_EQ(Host("download waypoints -q -o " + (dir / "w.gpx")).status, 0);
    ASSERT_EQ(Host("download tracks --quiet --output=" + (dir / "t.tb2")).status, 0);
    tobrel::TobrelFile gpx;
    ASSERT_TRUE(tobrel::ReadGpx(dir / "w.gpx", tobrel::GpxOptions(sorvane::DatumShift{}), gpx));
    EXPECT_EQ(gpx.GetWaypointCount(), 3);
    EXPECT_EQ(gpx.GetTrackCount(), 0);
    EXPECT_EQ(gpx.GetRouteCount(), 0);
    tobrel::TobrelFile native;
    ASSERT_TRUE(tobrel::ReadNativeFile(native, dir / "t.tb2"));
    EXPECT_EQ(native.GetTrackCount(), 2);
    EXPECT_EQ(native.GetWaypointCount(), 0);
    // Nothing but the two files is left in the folder.
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"t.tb2", "w.gpx"}));
    // Quiet: nothing on standard error.
    const HostRun quiet = Host("download routes -q -o " + (dir / "r.gpx"));
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.err, "");
}

TEST(SorvaneProgram, AReceiverWithoutTracksOrRoutesDownloadsNone) {
    for (const char* product : {"130", "87"}) {
        SCOPED_TRACE(product);
        gpssim::Options o = testsupport::ParseSimOptions(std::string("--product ") + product);
        gpssim::DataSet d;
        d.waypoints.push_back({"ONLY", "", 35.5, 139.5});
        o.data = d;
        RunningSimulator sim(o);
        ASSERT_TRUE(sim.ok());
        sim.port(1);
        const HostRun r = Host("download all -q");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("# 0 routes, datum Tokyo\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\nW\tONLY"), std::string::npos) << r.out;
    }
}

TEST(SorvaneProgram, TrackTimesAreReceiverSecondsAndIsoTimesAndOldFilesStillRead) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    sim.port(1);
    const HostRun down = Host("download tracks --datum WGS84 -q");
    ASSERT_EQ(down.status, 0) << down.err;
    // The built-in sample's first point: 390128400 s after 1989-12-31.
    EXPECT_NE(down.out.find("\t390128400\t2002-05-12T09:00:00Z\n"), std::string::npos) << down.out;

    TempFolder dir;
    // Seconds alone (files of earlier versions), the time alone, both, and
    // a time with a zone and a fraction; the points go out with those times.
    const std::string file = dir / "times.txt";
    hosttest::WriteFile(file,
                        "T\tTIMES\nS\n"
                        "P\t35.5\t139.5\t0\t1000\n"
                        "P\t35.5\t139.5\t0\t\t1989-12-31T00:16:41Z\n"
                        "P\t35.5\t139.5\t0\t1002\t1989-12-31T00:16:42Z\n"
                        "P\t35.5\t139.5\t0\t\t1989-12-31T09:16:43.75+09:00\n");
    const HostRun up = Host("upload tracks " + file + " --datum WGS84 -q");
    ASSERT_EQ(up.status, 0) << up.err;
    ASSERT_TRUE(sim.sim().WaitForCompleteUploads(1, std::chrono::seconds(10)));
    std::vector<std::uint32_t> times;
    const std::vector<gpssim::Upload> uploads = sim.sim().Uploads();
    for (const auto& p : uploads.at(0).packets)
        if (p.id == 34)
            times.push_back(p.trackPoint.time);
    EXPECT_EQ(times, (std::vector<std::uint32_t>{1000, 1001, 1002, 1003}));
}

TEST(SorvaneProgram, IdentifyDatumsTypelibRegistrationVersionAndHelp) {
    RunningSimulator sim("--product 130 --version 312");
    ASSERT_TRUE(sim.ok());
    sim.port(4);
    const HostRun id = Host("identify --port 4");
    EXPECT_EQ(id.status, 0) << id.err;
    EXPECT_NE(id.out.find("Product ID: 130\nSoftware version: 312\n"), std::string::npos) << id.out;

    const HostRun datums = Host("datums");
    EXPECT_EQ(datums.status, 0);
    EXPECT_NE(datums.out.find("\n116\tTokyo\tBessel_1841\n"), std::string::npos);
    EXPECT_NE(datums.out.find("\n121\tWGS 84\tWGS 84\n"), std::string::npos);

    const HostRun typelib = Host("typelib");
    EXPECT_EQ(typelib.status, 0);
    EXPECT_NE(typelib.out.find("AbortTransfer"), std::string::npos);

    TempFolder data;
    testsupport::ScopedEnv xdg("XDG_DATA_HOME", data.path());
    const HostRun reg = Host("register");
    EXPECT_EQ(reg.status, 0) << reg.err;
    EXPECT_EQ(reg.out, "registered in " + (data / "sorvane/registration.ini") + "\n");
    EXPECT_FALSE(hosttest::ReadFile(data / "sorvane/registration.ini").empty());
    const HostRun unreg = Host("unregister");
    EXPECT_EQ(unreg.status, 0) << unreg.err;

    const HostRun version = Host("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, 8), "sorvane ");
    EXPECT_NE(version.out.find("control 3.5\n"), std::string::npos) << version.out;

    // Each command has help of its own, reached three ways.
    for (const char* command :
         {"identify", "download", "upload", "nmea", "datums", "typelib", "register"}) {
        SCOPED_TRACE(command);
        const HostRun a = Host(std::string(command) + " --help");
        const HostRun b = Host(std::string("help ") + command);
        const HostRun c = Host(std::string(command) + " -h");
        EXPECT_EQ(a.status, 0);
        EXPECT_EQ(a.out.substr(0, 15 + std::string(command).size()),
                  "Usage: sorvane " + std::string(command));
        EXPECT_EQ(b.out, a.out);
        EXPECT_EQ(c.out, a.out);
    }
}

TEST(SorvaneProgram, APortMapLineWithACommentNamesTheDevice) {
    RunningSimulator sim("--product 130");
    ASSERT_TRUE(sim.ok());
    TempFolder config;
    ::mkdir((config / "sorvane").c_str(), 0700);
    hosttest::WriteFile(config / "sorvane/ports.conf",
                        "# receivers\nCOM3=" + sim.path() + "   # the handheld\n");
    testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
    ::unsetenv("SORVANE_COM3");
    const HostRun id = Host("identify --port=3");
    EXPECT_EQ(id.status, 0) << id.err;
    EXPECT_NE(id.out.find("Product ID: 130"), std::string::npos);
}

}  // namespace
