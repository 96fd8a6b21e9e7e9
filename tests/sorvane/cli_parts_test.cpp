// The parts of the sorvane program on their own: datum names as users type
// them, options, the messages about ports, the progress bar's line, the
// positions an upload hands back to the control, and the help and the manual
// page against the exit codes.

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "cli_common.h"
#include "control/tsorvane.h"
#include "control_store.h"
#include "geodesy/map_datum.h"
#include "host_run.h"
#include "link/device_records.h"
#include "progress.h"
#include "text/numbers.h"

namespace sorvane_cli {
namespace {

TEST(SorvaneParts, DatumNamesInAnyCaseAndCommonSpellings) {
    const std::pair<const char*, const char*> typed[] = {
        {"WGS84", "WGS 84"},
        {"wgs 84", "WGS 84"},
        {"Wgs-84", "WGS 84"},
        {"wgs_84", "WGS 84"},
        {"tokyo", "Tokyo"},
        {"TOKYO", "Tokyo"},
        {"nad 27 conus", "NAD27 CONUS"},
        {"european1950", "European 1950"},
        {"Ascension Island 58", "Ascension Island '58"},
        {"ch1903", "CH-1903"},
    };
    for (const auto& [text, name] : typed)
        EXPECT_EQ(CanonicalDatumName(text).value_or("(none)"), name) << text;
    for (const char* unknown : {"Mars", "", "  ", "WGS 85", "-"})
        EXPECT_FALSE(CanonicalDatumName(unknown)) << unknown;
    // Every name of the table is found as it stands and in lower case, so no
    // two of them read alike.
    const sorvane::MapDatum table;
    for (int i = 0; i < table.count(); ++i) {
        const std::string name(table.entryName(i));
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(CanonicalDatumName(name).value_or("(none)"), name);
        EXPECT_EQ(CanonicalDatumName(lower).value_or("(none)"), name);
    }
}

TEST(SorvaneParts, OptionsTakeTheirValuesOrAreUsageErrors) {
    const auto parse = [](std::vector<std::string> words, Options* o) {
        std::vector<char*> argv = {const_cast<char*>("sorvane")};
        for (std::string& w : words)
            argv.push_back(w.data());
        return ParseOptions(static_cast<int>(argv.size()), argv.data(), 1, o);
    };
    Options o;
    ASSERT_EQ(parse({"download", "tracks", "--port=3", "--baud", "4800", "--datum", "wgs84", "-o",
                     "x.gpx", "-q", "--product", "87", "--", "--odd-name"},
                    &o),
              0);
    EXPECT_EQ(o.port, 3);
    EXPECT_EQ(o.baud, 4800);
    EXPECT_EQ(o.datum, "WGS 84");
    EXPECT_EQ(o.output, "x.gpx");
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.product, 87);
    EXPECT_EQ(o.words, (std::vector<std::string>{"download", "tracks", "--odd-name"}));
    const std::vector<std::vector<std::string>> bad = {
        {"--port", "0"},     {"--port", "10"},       {"--port", "1x"},    {"--port"},
        {"--baud", "9601"},  {"--baud", "-9600"},    {"--datum", "Mars"}, {"--datum="},
        {"--product", "-1"}, {"--seconds", "1e3"},   {"--quiet=1"},       {"-x"},
        {"--output"},        {"--product", "65536"}, {"--help=me"},
    };
    for (const auto& words : bad) {
        Options ignored;
        EXPECT_EQ(parse(words, &ignored), kExitUsage) << words[0];
    }
}

TEST(SorvaneParts, PortMessagesSayWhatToDo) {
    const std::string denied = PortOpenMessage(1, "/nonexistent/ttyUSB0", EACCES);
    const std::string want =
        "cannot open port 1 (/nonexistent/ttyUSB0): " + std::string(std::strerror(EACCES)) +
        "; add your user to the dialout group";
    EXPECT_EQ(denied.substr(0, want.size()), want);
    EXPECT_NE(PortOpenMessage(2, "/dev/ttyUSB1", ENOENT).find("SORVANE_COM2"), std::string::npos);
    EXPECT_EQ(PortOpenMessage(3, "/dev/ttyS2", EBUSY),
              "cannot open port 3 (/dev/ttyS2): another program is using the port");
    EXPECT_EQ(PortOpenMessage(4, "/dev/null", ENOTTY),
              "cannot open port 4 (/dev/null): not a serial line");
    for (const int e : {EACCES, ENOENT, EBUSY, ENOTTY, EINVAL, ENODEV})
        EXPECT_TRUE(IsOpenError(e)) << e;
    for (const int e : {0, EIO, EPROTO, ETIMEDOUT})
        EXPECT_FALSE(IsOpenError(e)) << e;
}

TEST(SorvaneParts, TheBarLineFitsItsWidthAndTellsRateAndTimeLeft) {
    struct Row {
        BarState state;
        int width;
        std::string line;
    };
    const Row rows[] = {
        // The first event: no rate yet.
        {{"receiving tracks", 0, 200, 0.0, 0},
         50,
         "receiving tracks [........................] 0/200"},
        // 50 records in 2 s: 25/s, the other 150 in 6 s.
        {{"receiving tracks", 50, 200, 2.0, 0},
         60,
         "receiving tracks [####............] 50/200  25/s  0:06 left"},
        {{"sending waypoints", 5, 1000, 2.0, 0},
         70,
         "sending waypoints [........................] 5/1000  2.5/s  6:38 left"},
        {{"receiving tracks", 9000, 40000, 1.0, 0},
         80,
         "receiving tracks [######........................] 9000/40000  9000/s  0:03 left"},
        // Hours.
        {{"sending tracks", 10, 65000, 100.0, 0},
         60,
         "sending tracks [..........] 10/65000  0.1/s  180:31:40 left"},
        // Past the total (a receiver sending more): the count and rate alone,
        // the rate from the first event on.
        {{"receiving routes", 30, 20, 1.0, 10}, 40, "receiving routes 30  20/s"},
        // Too narrow for a bar: cut at the width.
        {{"receiving tracks", 50, 200, 2.0, 0}, 30, "receiving tracks 50/200  25/s"},
    };
    for (const Row& r : rows) {
        const std::string line = RenderBar(r.state, r.width);
        EXPECT_EQ(line, r.line);
        EXPECT_LT(static_cast<int>(line.size()), r.width) << line;
    }
}

// Positions a download handed out in a local datum, printed to nine decimals
// or kept in full, go back to the very wire units and float altitudes.
TEST(SorvaneParts, ForUploadGivesBackTheReceiversWireValues) {
    sorvane::TSorvane gps;
    ASSERT_TRUE(gps.ok());
    const float altitudes[] = {0.0f, 10.0f, 18.303f, -412.5f, 8848.86f, 0.25f};
    int checked = 0;
    for (const char* datum : {"Tokyo", "European 1950", "NAD27 CONUS", "WGS 84"}) {
        gps.SelectDatumByName(datum);
        for (int i = 0; i < 60; ++i) {
            // Latitudes from -84 to 80 degrees, longitudes all round.
            const auto wireLat = static_cast<std::int32_t>(-1000000000LL + i * 33000001LL);
            const auto wireLon = static_cast<std::int32_t>(-2100000000LL + i * 71111111LL);
            const float alt = altitudes[i % std::size(altitudes)];
            Position local;
            gps.TransformDatumWGS84IntoLocal(sorvane::PositionFromWire(wireLat),
                                             sorvane::PositionFromWire(wireLon), alt, &local.lat,
                                             &local.lon, &local.alt);
            for (const bool printed : {true, false}) {
                Position in = local;
                if (printed) {
                    sorvane::ParseDecimal(sorvane::FormatFixed(local.lat, 9), &in.lat);
                    sorvane::ParseDecimal(sorvane::FormatFixed(local.lon, 9), &in.lon);
                }
                const Position up = ForUpload(gps, in);
                Position back;
                gps.TransformDatumLocalIntoWGS84(up.lat, up.lon, up.alt, &back.lat, &back.lon,
                                                 &back.alt);
                EXPECT_EQ(sorvane::PositionToWire(back.lat), wireLat) << datum << " " << i;
                EXPECT_EQ(sorvane::PositionToWire(back.lon), wireLon) << datum << " " << i;
                EXPECT_EQ(static_cast<float>(back.alt), alt) << datum << " " << i;
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 480);
}

TEST(SorvaneParts, PositionsAreCheckedAsTheReceiverWouldGetThem) {
    sorvane::TSorvane gps;
    ASSERT_TRUE(gps.ok());
    gps.SelectDatumByName("Tokyo");
    // Tokyo's datum hands out a longitude beyond 180 near the date line.
    EXPECT_FALSE(PositionProblem(gps, -0.006, 180.0043));
    EXPECT_EQ(PositionProblem(gps, 35.0, 180.2).value_or(""),
              "longitude \"180.2\" is outside -180 to 180");
    EXPECT_EQ(PositionProblem(gps, 35.0, 179.9999999, "", "179.9999999").value_or(""), "");
    gps.SelectDatumByName("WGS 84");
    EXPECT_EQ(PositionProblem(gps, -0.006, 180.0043).value_or(""),
              "longitude \"180.0043\" is outside -180 to 180");
    EXPECT_EQ(PositionProblem(gps, 90.5, 0, "90.5").value_or(""),
              "latitude \"90.5\" is outside -90 to 90");
    EXPECT_EQ(PositionProblem(gps, NAN, 0, "nan").value_or(""),
              "latitude \"nan\" is not a finite number");
    EXPECT_EQ(PositionProblem(gps, 0, -INFINITY).value_or(""),
              "longitude \"-inf\" is not a finite number");
    EXPECT_EQ(PositionProblem(gps, 1e300, 0).value_or(""),
              "latitude \"1e+300\" is outside -90 to 90");
}

TEST(SorvaneParts, HelpAndManualPageListEveryExitCodeAndCommand) {
    std::set<int> codes;
    for (const ExitCodeEntry& e : ExitCodes())
        EXPECT_TRUE(codes.insert(e.code).second) << e.code;
    EXPECT_EQ(codes, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 130}));
    const hosttest::HostRun help = hosttest::Host("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find(ExitCodeHelp()), std::string::npos);
    const std::string man = hosttest::ReadFile(SORVANE_MAN_PAGE);
    ASSERT_FALSE(man.empty());
    EXPECT_EQ(man.substr(0, 3), ".TH");
    for (const ExitCodeEntry& e : ExitCodes())
        EXPECT_NE(man.find(".B " + std::to_string(e.code) + "\n"), std::string::npos) << e.code;
    for (const char* command :
         {"identify", "download", "upload", "nmea", "datums", "typelib", "register", "unregister"})
        EXPECT_NE(man.find(".B " + std::string(command)), std::string::npos) << command;
}

}  // namespace
}  // namespace sorvane_cli
