// sorvane: command-line host of the GPS control. It drives the control only
// through its typed wrapper, as the desktop program does. Messages follow the
// user's locale; the files it prints and reads never do, so that a file reads
// back the same everywhere.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "text/numbers.h"

namespace {

constexpr const char* kUsage = R"(Usage: sorvane <command> [options]

Commands:
  identify                  ask the receiver who it is and print its product ID,
                            software version and description
  download tracks|waypoints|routes
                            fetch from the receiver and print what came
  upload tracks|waypoints|routes FILE
                            send what FILE holds (the form download prints)
  nmea [--seconds N]        print NMEA positions for N seconds (default 10),
                            then the satellites in view
  datums                    list the datums (index, name, ellipsoid)
  typelib                   print the control's interface description
  register, unregister      register the control library for this user, or
                            remove the registration
  --help                    show this text

Options:
  --port N       port number 1 to 9 (default 1)
  --baud B       line speed (default 9600)
  --datum NAME   datum of the positions printed and read (default Tokyo)
  --product ID   use this product instead of asking the receiver first

Port N is the device named by $SORVANE_COMN, else by the line COMN= in
$XDG_CONFIG_HOME/sorvane/ports.conf, else /dev/ttyS<N-1>.

Download and upload files have one record a line, fields separated by tabs,
numbers with a decimal point whatever the locale:
  W name comment latitude longitude altitude symbol display proximity
  T name            a track; S starts a segment of it;
  P latitude longitude altitude time        a point (receiver seconds)
  R name            a route; RW (as W) a waypoint of it
Lines starting with # are comments.
)";

struct Options {
    int port = 1;
    std::int32_t baud = 9600;
    std::string datum = "Tokyo";
    std::optional<std::int32_t> product;
    int seconds = 10;
    std::vector<std::string> words;  // what is not an option
};

bool ParseInt(const char* text, long min, long max, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || v < min || v > max)
        return false;
    *out = v;
    return true;
}

// 0 on success, else the exit code for a usage error (after a message).
int ParseOptions(int argc, char** argv, int first, Options* o) {
    for (int i = first; i < argc; ++i) {
        const std::string_view arg = argv[i];
        long v = 0;
        auto value = [&](long min, long max) -> bool {
            if (i + 1 >= argc || !ParseInt(argv[i + 1], min, max, &v)) {
                std::fprintf(stderr, "sorvane: %s needs a number from %ld to %ld\n", argv[i], min,
                             max);
                return false;
            }
            ++i;
            return true;
        };
        if (arg == "--port") {
            if (!value(0, 255))
                return 2;
            o->port = static_cast<int>(v);
        } else if (arg == "--baud") {
            if (!value(1, 4000000))
                return 2;
            o->baud = static_cast<std::int32_t>(v);
        } else if (arg == "--product") {
            if (!value(0, 65535))
                return 2;
            o->product = static_cast<std::int32_t>(v);
        } else if (arg == "--seconds") {
            if (!value(0, 86400))
                return 2;
            o->seconds = static_cast<int>(v);
        } else if (arg == "--datum") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "sorvane: --datum needs a name\n");
                return 2;
            }
            o->datum = argv[++i];
        } else if (arg.starts_with("--")) {
            std::fprintf(stderr, "sorvane: unknown option: %s\n", argv[i]);
            return 2;
        } else {
            o->words.emplace_back(arg);
        }
    }
    return 0;
}

bool Created(const sorvane::TSorvane& gps) {
    if (gps.ok())
        return true;
    std::fprintf(stderr, "sorvane: the control could not be created (0x%08X)\n",
                 static_cast<unsigned>(gps.LastResult()));
    return false;
}

// A control with the line settings and datum of the options.
bool Prepare(sorvane::TSorvane& gps, const Options& o) {
    if (!Created(gps))
        return false;
    gps.set_CommPort(static_cast<std::int16_t>(o.port));
    gps.set_BaudRate(o.baud);
    gps.SelectDatumByName(o.datum);
    if (gps.GetDatumName() != o.datum) {
        std::fprintf(stderr, "sorvane: unknown datum \"%s\", using %s\n", o.datum.c_str(),
                     gps.GetDatumName().c_str());
    }
    return true;
}

void ReportLineFailure(sorvane::TSorvane& gps, const Options& o, const char* what) {
    const int code = gps.GetErrorCode();
    if (code == EPROTO) {
        std::fprintf(stderr,
                     "sorvane: %s on port %d failed: the receiver kept rejecting a packet\n", what,
                     o.port);
    } else if (code != 0) {
        std::fprintf(stderr, "sorvane: %s on port %d failed: %s\n", what, o.port,
                     std::strerror(code));
    } else {
        std::fprintf(stderr, "sorvane: %s on port %d failed: no answer from a receiver\n", what,
                     o.port);
    }
}

// Asks the receiver who it is, which makes its product the one the transfers
// use, and prints the answer if asked to; false (after a message) when
// nothing answers.
bool AskProduct(sorvane::TSorvane& gps, const Options& o, bool print) {
    std::int32_t id = -1;
    std::int32_t version = 0;
    const std::string description = gps.ReadProductID(&id, &version);
    if (id < 0) {
        ReportLineFailure(gps, o, "identification");
        return false;
    }
    if (print) {
        std::printf("Product ID: %d\n", id);
        std::printf("Software version: %d\n", version);
        std::printf("Description: %s\n", description.c_str());
    }
    return true;
}

// The product the transfers use: given, or asked from the receiver.
bool ChooseProduct(sorvane::TSorvane& gps, const Options& o) {
    if (!o.product)
        return AskProduct(gps, o, false);
    if (!gps.SetProductID(*o.product)) {
        std::fprintf(stderr, "sorvane: product %d is not in the product table\n", *o.product);
        return false;
    }
    return true;
}

int Identify(const Options& o) {
    sorvane::TSorvane gps;
    return Prepare(gps, o) && AskProduct(gps, o, true) ? 0 : 1;
}

void PrintHeader(sorvane::TSorvane& gps, int n, const char* what) {
    std::printf("# %d %s, datum %s\n", n, what, gps.GetDatumName().c_str());
}

using sorvane::FormatFixed;

void PrintWaypoint(const char* tag, const std::string& name, const std::string& comment, double lat,
                   double lon, double alt, int symbol, int display, double dst) {
    std::printf("%s\t%s\t%s\t%s\t%s\t%s\t%d\t%d\t%s\n", tag, name.c_str(), comment.c_str(),
                FormatFixed(lat, 9).c_str(), FormatFixed(lon, 9).c_str(),
                FormatFixed(alt, 3).c_str(), symbol, display, FormatFixed(dst, 3).c_str());
}

void PrintWaypoints(sorvane::TSorvane& gps) {
    const int n = gps.GetWaypointCount();
    PrintHeader(gps, n, "waypoints");
    for (int i = 0; i < n; ++i) {
        PrintWaypoint("W", gps.GetWaypointID(i), gps.GetWaypointComment(i),
                      gps.GetWaypointLatitude(i), gps.GetWaypointLongitude(i),
                      gps.GetWaypointAltitude(i), gps.GetWaypointSmbl(i), gps.GetWaypointDspl(i),
                      gps.GetWaypointDst(i));
    }
}

void PrintRoutes(sorvane::TSorvane& gps) {
    const int n = gps.GetRouteCount();
    PrintHeader(gps, n, "routes");
    for (int r = 0; r < n; ++r) {
        std::printf("R\t%s\n", gps.GetRouteName(r).c_str());
        const int m = gps.GetRouteWaypointCount(r);
        for (int w = 0; w < m; ++w) {
            PrintWaypoint("RW", gps.GetRouteWaypointID(r, w), gps.GetRouteWaypointComment(r, w),
                          gps.GetRouteWaypointLatitude(r, w), gps.GetRouteWaypointLongitude(r, w),
                          gps.GetRouteWaypointAltitude(r, w), gps.GetRouteWaypointSmbl(r, w),
                          gps.GetRouteWaypointDspl(r, w), gps.GetRouteWaypointDst(r, w));
        }
    }
}

void PrintTracks(sorvane::TSorvane& gps) {
    const int n = gps.GetTrackCount();
    PrintHeader(gps, n, "tracks");
    for (int t = 0; t < n; ++t) {
        std::printf("T\t%s\n", gps.GetTrackName(t).c_str());
        const int segments = gps.GetTrackSegmentCount(t);
        for (int s = 0; s < segments; ++s) {
            std::printf("S\n");
            const int points = gps.GetTrackSegmentDataCount(t, s);
            for (int p = 0; p < points; ++p) {
                double lat = 0, lon = 0, alt = 0;
                gps.GetTrackPosition(t, s, p, &lat, &lon, &alt);
                std::printf("P\t%s\t%s\t%s\t%u\n", FormatFixed(lat, 9).c_str(),
                            FormatFixed(lon, 9).c_str(), FormatFixed(alt, 3).c_str(),
                            static_cast<unsigned>(gps.GetTrackUnixTime(t, s, p)));
            }
        }
    }
}

enum class Kind { Tracks, Waypoints, Routes };

// What each kind is fetched, sent and printed with.
struct KindCalls {
    std::int32_t (sorvane::TSorvane::*download)();
    bool (sorvane::TSorvane::*upload)();
    void (*print)(sorvane::TSorvane&);
};

const KindCalls& CallsOf(Kind kind) {
    using T = sorvane::TSorvane;
    static const KindCalls calls[] = {
        {&T::DownloadTrack, &T::UploadTrack, PrintTracks},
        {&T::DownloadWaypoint, &T::UploadWaypoint, PrintWaypoints},
        {&T::DownloadRoute, &T::UploadRoute, PrintRoutes},
    };
    return calls[static_cast<int>(kind)];
}

std::optional<Kind> KindOf(const std::string& word) {
    if (word == "tracks" || word == "track")
        return Kind::Tracks;
    if (word == "waypoints" || word == "waypoint")
        return Kind::Waypoints;
    if (word == "routes" || word == "route")
        return Kind::Routes;
    return std::nullopt;
}

void ShowProgress(sorvane::TSorvane& gps) {
    gps.SetOnReceiving([](std::int32_t received, std::int32_t total) {
        std::fprintf(stderr, "received %d of %d\n", received, total);
    });
}

int Download(const Options& o) {
    const std::optional<Kind> kind = o.words.size() == 2 ? KindOf(o.words[1]) : std::nullopt;
    if (!kind) {
        std::fprintf(stderr, "sorvane: download tracks, waypoints or routes?\n");
        return 2;
    }
    sorvane::TSorvane gps;
    if (!Prepare(gps, o) || !ChooseProduct(gps, o))
        return 1;
    ShowProgress(gps);
    const KindCalls& calls = CallsOf(*kind);
    if (!(gps.*calls.download)()) {
        ReportLineFailure(gps, o, "the download");
        return 1;
    }
    calls.print(gps);
    return 0;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', pos);
        fields.push_back(line.substr(pos, tab - pos));
        if (tab == std::string::npos)
            return fields;
        pos = tab + 1;
    }
}

bool ToDouble(const std::string& text, double* out) {
    return sorvane::ParseDecimal(text, out);
}

bool ToLong(const std::string& text, long long* out) {
    char* end = nullptr;
    errno = 0;
    *out = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0;
}

struct Position {
    double lat = 0, lon = 0, alt = 0;
};

// A file holds positions as a download printed them: converted by the control
// into the datum. The control takes a position back with the exact inverse of
// that conversion (one without an altitude at WGS 84 height 0 both ways), so
// the position goes back as printed and an upload sends the very values
// downloaded.
Position ForUpload(sorvane::TSorvane&, const Position& printed) {
    return printed;
}

struct WaypointFields {
    std::string name, comment;
    double lat = 0, lon = 0, alt = 0, dst = 0;
    std::int16_t symbol = 0, display = 0;
};

bool ParseWaypoint(sorvane::TSorvane& gps, const std::vector<std::string>& f, WaypointFields* w) {
    long long symbol = 0, display = 0;
    if (f.size() != 9 || !ToDouble(f[3], &w->lat) || !ToDouble(f[4], &w->lon) ||
        !ToDouble(f[5], &w->alt) || !ToLong(f[6], &symbol) || !ToLong(f[7], &display) ||
        !ToDouble(f[8], &w->dst) || symbol < -32768 || symbol > 65535 || display < -32768 ||
        display > 65535)
        return false;
    const Position p = ForUpload(gps, {w->lat, w->lon, w->alt});
    w->lat = p.lat;
    w->lon = p.lon;
    w->alt = p.alt;
    w->name = f[1];
    w->comment = f[2];
    w->symbol = static_cast<std::int16_t>(symbol);
    w->display = static_cast<std::int16_t>(display);
    return true;
}

// Fills the control's store of one kind from the file; false with a message.
bool LoadFile(sorvane::TSorvane& gps, Kind kind, const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "sorvane: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::string line;
    int lineNo = 0;
    int count = 0;
    auto bad = [&](const char* why) {
        std::fprintf(stderr, "sorvane: %s:%d: %s\n", path.c_str(), lineNo, why);
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> f = SplitTabs(line);
        const std::string& tag = f[0];
        const int tracks = gps.GetTrackCount();
        const int routes = gps.GetRouteCount();
        if (kind == Kind::Waypoints && tag == "W") {
            WaypointFields w;
            if (!ParseWaypoint(gps, f, &w))
                return bad(
                    "a waypoint needs 8 fields: name, comment, latitude, longitude, "
                    "altitude, symbol, display, proximity");
            if (!gps.AddWaypoint(w.name, w.comment, w.lat, w.lon, w.alt, w.symbol, w.display,
                                 w.dst))
                return bad("the control did not take the waypoint");
            ++count;
        } else if (kind == Kind::Tracks && tag == "T") {
            if (f.size() != 2 || !gps.AddTrack(f[1]))
                return bad("a track line is T and a name");
            ++count;
        } else if (kind == Kind::Tracks && tag == "S") {
            if (tracks == 0 || !gps.AddTrackSegment(tracks - 1))
                return bad("a segment needs a track line before it");
        } else if (kind == Kind::Tracks && tag == "P") {
            double lat = 0, lon = 0, alt = 0;
            long long t = 0;
            if (f.size() != 5 || !ToDouble(f[1], &lat) || !ToDouble(f[2], &lon) ||
                !ToDouble(f[3], &alt) || !ToLong(f[4], &t) || t < 0 || t > 0xFFFFFFFFLL)
                return bad("a point needs latitude, longitude, altitude and time");
            const int segments = tracks > 0 ? gps.GetTrackSegmentCount(tracks - 1) : 0;
            const Position p = ForUpload(gps, {lat, lon, alt});
            if (segments == 0 ||
                !gps.AddTrackData(tracks - 1, segments - 1, p.lat, p.lon, p.alt,
                                  static_cast<std::int32_t>(static_cast<std::uint32_t>(t))))
                return bad("a point needs a segment line before it");
        } else if (kind == Kind::Routes && tag == "R") {
            if (f.size() != 2 || !gps.AddRoute(f[1]))
                return bad("a route line is R and a name");
            ++count;
        } else if (kind == Kind::Routes && tag == "RW") {
            WaypointFields w;
            if (!ParseWaypoint(gps, f, &w))
                return bad("a route waypoint needs 8 fields as a waypoint");
            if (routes == 0 || !gps.AddRouteWaypoint(routes - 1, w.name, w.comment, w.lat, w.lon,
                                                     w.alt, w.symbol, w.display, w.dst))
                return bad("a route waypoint needs a route line before it");
        }
        // Records of the other kinds are skipped, so one file can hold them all.
    }
    if (count == 0)
        return bad("nothing of that kind in the file");
    return true;
}

int Upload(const Options& o) {
    const std::optional<Kind> kind = o.words.size() == 3 ? KindOf(o.words[1]) : std::nullopt;
    if (!kind) {
        std::fprintf(stderr, "sorvane: upload tracks, waypoints or routes, and a file\n");
        return 2;
    }
    sorvane::TSorvane gps;
    if (!Prepare(gps, o) || !LoadFile(gps, *kind, o.words[2]) || !ChooseProduct(gps, o))
        return 1;
    ShowProgress(gps);
    if (!(gps.*CallsOf(*kind).upload)()) {
        ReportLineFailure(gps, o, "the upload");
        return 1;
    }
    std::printf("uploaded\n");
    return 0;
}

std::atomic<bool> g_interrupted{false};

void OnSignal(int) {
    g_interrupted = true;
}

int Nmea(const Options& o) {
    sorvane::TSorvane gps;
    if (!Prepare(gps, o))
        return 1;
    gps.SetOnNMEAReceived([](std::int16_t valid, double lat, double lon, double alt, std::int32_t t,
                             double vel, std::int16_t dir) {
        std::printf("%s %s %s %s m %d %s km/h %d deg\n", valid ? "fix" : "nofix",
                    FormatFixed(lat, 6).c_str(), FormatFixed(lon, 6).c_str(),
                    FormatFixed(alt, 1).c_str(), t, FormatFixed(vel, 1).c_str(), dir);
        std::fflush(stdout);
    });
    if (!gps.StartNMEAReceiving()) {
        std::fprintf(stderr, "sorvane: the NMEA receiver did not start\n");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(o.seconds);
    while (!g_interrupted && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int n = gps.GetNumSatellite();
    std::printf("# %d satellites in view\n", n);
    for (std::int16_t i = 0; i < n && i < 24; ++i) {
        std::int16_t prn = 0, elevation = 0, azimuth = 0, snr = 0;
        if (gps.GetSatelliteData(i, &prn, &elevation, &azimuth, &snr))
            std::printf("PRN %d elevation %d azimuth %d SNR %d\n", prn, elevation, azimuth, snr);
    }
    gps.StopNMEAReceiving();
    return 0;
}

int Datums() {
    sorvane::TSorvane gps;
    if (!Created(gps))
        return 1;
    const int n = gps.GetDatumCount();
    for (int i = 0; i < n; ++i)
        std::printf("%d\t%s\t%s\n", i, gps.GetEntryDatumName(i).c_str(),
                    gps.GetEntryDatumName2(i).c_str());
    return 0;
}

int Register(bool add) {
    const SorvaneResult hr = add ? DllRegisterServer() : DllUnregisterServer();
    char path[4096];
    sorvane_registration_path(path, sizeof path);
    if (hr != 0) {
        std::fprintf(stderr, "sorvane: %s failed (0x%08X) for %s\n",
                     add ? "registration" : "unregistration", static_cast<unsigned>(hr), path);
        return 1;
    }
    std::printf("%s %s\n", add ? "registered in" : "unregistered from", path);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    Options o;
    o.words.emplace_back(command);
    if (const int rc = ParseOptions(argc, argv, 2, &o); rc != 0)
        return rc;
    if (command == "identify" && o.words.size() == 1)
        return Identify(o);
    if (command == "download")
        return Download(o);
    if (command == "upload")
        return Upload(o);
    if (command == "nmea" && o.words.size() == 1)
        return Nmea(o);
    if (command == "datums" && o.words.size() == 1)
        return Datums();
    if (command == "typelib" && o.words.size() == 1) {
        std::fputs(sorvane_type_library(), stdout);
        return 0;
    }
    if ((command == "register" || command == "unregister") && o.words.size() == 1)
        return Register(command == "register");
    std::fprintf(stderr, "sorvane: unknown command: %s\nTry 'sorvane --help'.\n", argv[1]);
    return 2;
}
