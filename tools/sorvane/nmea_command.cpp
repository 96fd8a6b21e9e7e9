// `sorvane nmea`. The control raises its fixes on the receiver's thread; they
// are queued and printed on the main thread, which alone calls the control.

#include "nmea_command.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli_common.h"
#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "text/numbers.h"

namespace sorvane_cli {

namespace {

using sorvane::FormatFixed;
using sorvane::TSorvane;

constexpr const char* kHelp = R"(Usage: sorvane nmea [options]

Prints the positions a receiver streams as NMEA sentences, as they come: from
the receiver's port, or from gpsd, the system's GPS daemon, which may share
one receiver among several programs. Receivers of GPS alone and those that
track GLONASS, Galileo, BeiDou or QZSS too are read alike. At the end it lists
every satellite in view with its system.

Options:
  --port N              port number 1 to 9 (default 1), as for the other commands
  --baud B              line speed (default 9600)
  --gpsd [HOST[:PORT]]  read from gpsd instead of the port (default
                        localhost:2947; an IPv6 address in brackets)
  --seconds N           how long to print, in seconds (default 10; 0 until Ctrl-C)
  --datum NAME          datum of the positions printed (default Tokyo), in any
                        letter case, with or without spaces
  --raw                 print the sentences as received instead (gpsd: its
                        JSON reports)

Each position is one line:
  TIME fix LATITUDE LONGITUDE ALTITUDE m SPEED km/h COURSE deg quality Q used N hdop H
  TIME nofix
TIME is UTC in ISO 8601; an altitude, satellites used or HDOP not known is "-".
Q is the fix quality of the GGA sentence (1 GNSS, 2 differential, 4 RTK fixed,
5 RTK float, 6 estimated). Then:
  # N satellites in view: SYSTEM COUNT, ...
  SYSTEM NUMBER prn PRN elevation E azimuth A snr S [used]

Exit status: 0 when positions came (Ctrl-C ends the run normally); 2 for a
usage error; 3 when the port cannot be opened or gpsd cannot be reached; 4 when
the port sends no NMEA sentence in its first 5 seconds or gpsd sends no
positions; 6 when the line hangs up or gpsd goes away; 1 for anything else.
Each comes with a message on standard error.
)";

constexpr double kNoAltitude = -9999.0;
// How long a port may stay silent before the command gives up on it.
constexpr auto kSilence = std::chrono::seconds(5);

struct NmeaOptions {
    int port = 1;
    std::int32_t baud = 9600;
    std::string datum = "Tokyo";  // as the datum table spells it
    int seconds = 10;
    bool raw = false;
    bool gpsd = false;
    std::string host;
    int gpsdPort = 0;
};

bool ParseLong(const char* text, long min, long max, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || v < min || v > max)
        return false;
    *out = v;
    return true;
}

// HOST, HOST:PORT, :PORT, [IPv6]:PORT or a bare IPv6 address.
bool ParseGpsdAddress(std::string_view text, std::string* host, int* port) {
    std::string_view portText;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return false;
        *host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (!rest.starts_with(':'))
                return false;
            portText = rest.substr(1);
        }
    } else if (const std::size_t colon = text.find(':');
               colon != std::string_view::npos &&
               text.find(':', colon + 1) == std::string_view::npos) {
        *host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
    } else {
        *host = std::string(text);
    }
    if (!portText.empty() || text.ends_with(':')) {
        long p = 0;
        if (!ParseLong(std::string(portText).c_str(), 1, 65535, &p))
            return false;
        *port = static_cast<int>(p);
    }
    return true;
}

// 0, or kExitUsage after a message; -1 for --help. Port, speed and datum
// read as for the other commands.
int ParseNmeaOptions(int argc, char** argv, int first, NmeaOptions* o) {
    const auto usage = [](const std::string& message) {
        return Fail(kExitUsage, message + "\nTry 'sorvane nmea --help'.");
    };
    for (int i = first; i < argc; ++i) {
        OptionArg option(argc, argv, i);
        const std::string_view arg = option.name();
        const auto value = [&option] { return option.Value(); };
        if (arg == "--help" || arg == "-h") {
            return -1;
        } else if (const auto line = TakeLineOption(arg, option, &o->port, &o->baud)) {
            if (!line->empty())
                return usage(*line);
        } else if (arg == "--seconds") {
            const auto v = value();
            long seconds = 0;
            if (!v || !ParseLong(std::string(*v).c_str(), 0, 86400L * 366, &seconds))
                return usage("--seconds needs a number of seconds (0: until Ctrl-C)");
            o->seconds = static_cast<int>(seconds);
        } else if (arg == "--datum") {
            const auto v = value();
            const auto name = v ? CanonicalDatumName(*v) : std::nullopt;
            if (!name)
                return usage(v ? "unknown datum \"" + std::string(*v) +
                                     "\" (sorvane datums lists them)"
                               : std::string("--datum needs a name"));
            o->datum = *name;
        } else if (arg == "--raw") {
            o->raw = true;
        } else if (arg == "--gpsd") {
            o->gpsd = true;
            std::optional<std::string_view> address = option.attached();
            if (!address && i + 1 < argc && argv[i + 1][0] != '-')
                address = argv[++i];
            if (address && !ParseGpsdAddress(*address, &o->host, &o->gpsdPort))
                return usage("--gpsd takes HOST, HOST:PORT or :PORT, not " + std::string(*address));
        } else {
            return usage("nmea: unknown option or word: " + std::string(argv[i]));
        }
    }
    return 0;
}

// 2024-03-23T12:00:13Z, with the fraction when there is one.
std::string IsoTime(double t) {
    const auto seconds = static_cast<std::time_t>(t);
    std::tm utc{};
    if (t <= 0.0 || ::gmtime_r(&seconds, &utc) == nullptr)
        return "-";
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string out = text;
    const double fraction = t - static_cast<double>(seconds);
    if (fraction >= 0.005)
        out += FormatFixed(fraction, 2).substr(1);
    return out + "Z";
}

volatile std::sig_atomic_t g_interrupted = 0;

void OnSignal(int) {
    g_interrupted = 1;
}

// What the receiver's thread hands over.
struct Inbox {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<SorvaneFix> fixes;
    std::deque<std::string> lines;
    std::optional<SorvaneReceiverStatus> status;
};

void PrintFix(TSorvane& gps, const SorvaneFix& f) {
    const std::string time = IsoTime(f.time);
    if (f.valid == 0) {
        std::printf("%s nofix\n", time.c_str());
        return;
    }
    double lat = f.latitude, lon = f.longitude, alt = f.altitude;
    const bool hasAltitude = f.altitude != kNoAltitude;
    gps.TransformDatumWGS84IntoLocal(f.latitude, f.longitude, hasAltitude ? f.altitude : 0.0, &lat,
                                     &lon, &alt);
    std::printf("%s fix %s %s %s m %s km/h %s deg quality %d used %s hdop %s\n", time.c_str(),
                FormatFixed(lat, 7).c_str(), FormatFixed(lon, 7).c_str(),
                hasAltitude ? FormatFixed(alt, 1).c_str() : "-", FormatFixed(f.speed, 1).c_str(),
                FormatFixed(f.course, 1).c_str(), f.quality,
                f.satellitesUsed >= 0 ? std::to_string(f.satellitesUsed).c_str() : "-",
                f.hdop > 0.0 ? FormatFixed(f.hdop, 1).c_str() : "-");
}

void PrintSatellites(const std::vector<SorvaneSatellite>& all) {
    std::map<std::int32_t, int> perSystem;
    for (const SorvaneSatellite& s : all)
        ++perSystem[s.constellation];
    std::string systems;
    for (const auto& [system, count] : perSystem)
        systems += std::string(systems.empty() ? ": " : ", ") + sorvane_constellation_name(system) +
                   " " + std::to_string(count);
    std::printf("# %zu satellites in view%s\n", all.size(), systems.c_str());
    for (const SorvaneSatellite& s : all) {
        std::printf("%s %d prn %d elevation %d azimuth %d snr %d%s\n",
                    sorvane_constellation_name(s.constellation), s.number, s.prn, s.elevation,
                    s.azimuth, s.snr, s.used ? " used" : "");
    }
}

// What a message of the source is prefixed with (gpsd's name themselves).
std::string Source(const NmeaOptions& o) {
    return o.gpsd ? std::string() : "port " + std::to_string(o.port) + ": ";
}

}  // namespace

const char* NmeaHelpText() {
    return kHelp;
}

int NmeaCommand(int argc, char** argv, int first) {
    NmeaOptions o;
    if (const int rc = ParseNmeaOptions(argc, argv, first, &o); rc != 0) {
        if (rc < 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        return rc;
    }
    TSorvane gps;
    if (!gps.ok()) {
        std::fprintf(stderr, "sorvane: the control could not be created (0x%08X)\n",
                     static_cast<unsigned>(gps.LastResult()));
        return kExitFailed;
    }
    gps.SelectDatumByName(o.datum);
    gps.set_CommPort(static_cast<std::int16_t>(o.port));
    gps.set_BaudRate(o.baud);
    if (!gps.SetReceiverSource(o.gpsd ? SORVANE_SOURCE_GPSD : SORVANE_SOURCE_SERIAL, o.host,
                               o.gpsdPort)) {
        std::fprintf(stderr, "sorvane: this control library cannot read from %s\n",
                     o.gpsd ? "gpsd" : "a port");
        return kExitFailed;
    }

    Inbox inbox;
    if (o.raw) {
        gps.SetOnSentence([&](std::string_view line) {
            std::lock_guard lock(inbox.mutex);
            inbox.lines.emplace_back(line);
            inbox.changed.notify_one();
        });
    } else {
        gps.SetOnFix([&](const SorvaneFix& f) {
            std::lock_guard lock(inbox.mutex);
            inbox.fixes.push_back(f);
            inbox.changed.notify_one();
        });
    }
    gps.SetOnReceiverStatus([&](const SorvaneReceiverStatus& s) {
        std::lock_guard lock(inbox.mutex);
        inbox.status = s;
        inbox.changed.notify_one();
    });

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!o.raw)
        std::printf("# positions in datum %s\n", gps.GetDatumName().c_str());
    std::fflush(stdout);
    if (!gps.StartNMEAReceiving()) {
        std::fprintf(stderr, "sorvane: the receiver did not start\n");
        return kExitFailed;
    }

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(o.seconds);
    std::string failure;
    int failureCode = kExitFailed;
    bool noDeviceSaid = false;
    std::uint64_t fixes = 0;
    while (!g_interrupted && (o.seconds == 0 || Clock::now() < end)) {
        std::unique_lock lock(inbox.mutex);
        inbox.changed.wait_for(lock, std::chrono::milliseconds(100));
        std::deque<SorvaneFix> ready;
        std::deque<std::string> lines;
        ready.swap(inbox.fixes);
        lines.swap(inbox.lines);
        const std::optional<SorvaneReceiverStatus> status = inbox.status;
        inbox.status.reset();
        lock.unlock();
        for (const SorvaneFix& f : ready)
            PrintFix(gps, f);
        for (const std::string& line : lines)
            std::printf("%s\n", line.c_str());
        fixes += ready.size();
        std::fflush(stdout);
        // A port silent for the first seconds will not start talking: say so
        // now rather than at the end.
        if (!o.gpsd && Clock::now() - start >= kSilence && gps.GetReceiverStatus().sentences == 0)
            break;
        if (!status)
            continue;
        if (status->state == SORVANE_RECEIVER_ENDED) {
            failure = status->message;
            failureCode = kExitTransfer;
            break;
        }
        if (status->state == SORVANE_RECEIVER_FAILED) {
            failureCode = status->errorCode == ETIMEDOUT ? kExitNoAnswer : kExitPort;
            if (o.gpsd)
                failure = status->message;
            else if (IsOpenError(status->errorCode))
                failure = PortOpenMessage(o.port, PortDevice(o.port), status->errorCode);
            else
                failure = status->message;
            break;
        }
        if (status->noDevice && !noDeviceSaid) {
            std::fprintf(stderr, "sorvane: %s; waiting for one\n", status->message);
            noDeviceSaid = true;
        }
    }
    // Stopped first, so that no event comes while the rest is printed.
    const SorvaneReceiverStatus last = gps.GetReceiverStatus();
    const std::vector<SorvaneSatellite> satellites = gps.GetSatellites();
    gps.StopNMEAReceiving();
    for (const SorvaneFix& f : inbox.fixes)
        PrintFix(gps, f);
    for (const std::string& line : inbox.lines)
        std::printf("%s\n", line.c_str());
    fixes += inbox.fixes.size();

    if (!failure.empty()) {
        if (!o.raw && fixes > 0)
            PrintSatellites(satellites);
        std::fflush(stdout);
        const bool named = failure.starts_with("cannot open port");
        std::fprintf(stderr, "sorvane: %s%s\n", named ? "" : Source(o).c_str(), failure.c_str());
        return failureCode;
    }
    if (!o.gpsd && last.sentences == 0) {
        const auto waited = static_cast<int>(
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count());
        std::fflush(stdout);
        if (last.bytes > 0) {
            std::fprintf(stderr,
                         "sorvane: port %d sent no NMEA sentences in %d s, only %llu bytes of "
                         "something else: is the receiver in its binary mode, or at another "
                         "speed than %d baud?\n",
                         o.port, waited, static_cast<unsigned long long>(last.bytes), o.baud);
        } else {
            std::fprintf(stderr, "sorvane: port %d sent no NMEA sentences in %d s\n", o.port,
                         waited);
        }
        return kExitNoAnswer;
    }
    if (o.gpsd && fixes == 0 && !o.raw) {
        std::fflush(stdout);
        std::fprintf(stderr, "sorvane: gpsd sent no positions in %d s%s\n", o.seconds,
                     last.noDevice ? " (it has no GPS receiver)" : "");
        return kExitNoAnswer;
    }
    if (!o.raw)
        PrintSatellites(satellites);
    return 0;
}

}  // namespace sorvane_cli
