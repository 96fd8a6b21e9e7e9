#include "options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "text/numbers.h"

namespace gpssim {

namespace {

bool ParseInt(std::string_view text, long min, long max, long* out) {
    if (text.empty())
        return false;
    std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size() || v < min || v > max)
        return false;
    *out = v;
    return true;
}

}  // namespace

std::string UsageText() {
    return R"(Usage: gpssim [options]

Plays a GPS receiver on a pseudo-terminal. The first line of standard output
is the path of the terminal to open; the simulator then serves until it gets
SIGINT or SIGTERM.

The receiver answers product requests and the track (6), waypoint (7) and
route (4) download commands in the record layouts of the model it plays, and
takes uploads of every kind. What is uploaded replaces what it holds of that
kind once the upload is complete, so a download afterwards returns it. Every
length a layout allows is taken: newer-family names, comments and route names
as zero-terminated strings, newer-family track points with or without their
last three bytes.

Receiver:
  --product ID            product ID to report (default 130, a newer-family model)
  --version N             software version, in hundredths (default 250)
  --description TEXT      product description (default: model name and version)
  --waypoint-type T       waypoint record layout 4101, 4103, 4104, 4108 or 4109
                          (default: the model's own; an eMap, 111, may offer 4109;
                          a layout the model never uses is played with a warning)
  --capabilities on|off   send a capability list after the product data, with
                          the tags P, L, A and D receivers use (default: on for
                          newer-family layouts, which always send one)
  --data FILE             what the receiver holds (default: a built-in sample
                          of three waypoints, one route and two tracks)
  --record FILE           append every upload to FILE as text, one line per packet

Line:
  --baud N                throttle to N baud, N/10 bytes per second each way
                          (default: unthrottled)

Faults (K counts the packets the simulator sends, from 1, retransmissions included):
  --no-answer             read, but never answer
  --stop-after K          fall silent after sending K packets
  --cut-packet K          send only the first half of packet K, then fall silent
  --withhold-ack K        do not acknowledge the K-th packet from the host
                          (acknowledgements from the host are not counted)
  --reject-packet K       answer the K-th packet from the host with a negative
                          acknowledgement (ID 21) instead of taking it; counted
                          as --withhold-ack counts, so its retransmission is K+1
  --reject-always         with --reject-packet, reject every retransmission of
                          that packet too
  --corrupt-packet K      send packet K with a wrong byte (a retransmission is clean)
  --garbage               put junk bytes before every frame
  --oversized-packet K    send packet K with 255 data bytes (a retransmission is normal)
  --hangup-after K        hang up the line instead of sending packet K+1

Faults of the download streams:
  --announce N            announce N records (-32768 to 32767) whatever is sent
  --extra-packets N       send N records more than announced
  --no-complete           end downloads without the transfer complete packet

NMEA (the receiver then streams text and ignores packets):
  --nmea                  stream RMC, GGA, GSA and GSV sentences along the
                          points of the tracks, one cycle per point, in a loop
  --nmea-rate HZ          cycles per second (default 1)
  --nmea-systems LIST     the satellite systems tracked, comma-separated, in
                          the order their sentences go out: gps, glonass,
                          galileo, beidou, qzss (default gps). GPS alone talks
                          as $GP; several give their position as $GNRMC and
                          $GNGGA, one $GNGSA per system and one GSV set per
                          system ($GPGSV, $GLGSV, $GAGSV, $BDGSV, $GQGSV), as
                          receivers of the last ten years do. For example
                          gps,glonass or gps,galileo,beidou
  --nmea-talker XX        talker of RMC and GGA instead (two capital letters)
  --nmea-version V        2.3 (default) or 4.10: NMEA 4.10 adds the RMC's
                          navigation status, the GSA's system ID and the GSV's
                          signal ID, numbers each system's satellites from 1
                          and calls BeiDou $GB
  --nmea-satellites N     satellites in view of each system, 0 to 99 (default 8);
                          the first twelve of each are used in the fix
  --nmea-fix-loss AT:SECONDS
                          no fix for SECONDS seconds of the stream from second
                          AT (counted at --nmea-rate from the first cycle): the
                          RMC says V with no position, the GGA quality 0, the
                          GSA no satellites used; the satellites stay in view.
                          May be given more than once
  --nmea-bad-checksum K   the RMC of cycle K (from 1) has a wrong checksum
  --nmea-long-line K      cycle K begins with an RMC line of 150 bytes
  --nmea-burst K          cycle K begins with 2048 bytes without a line feed

Data file: one item per line; empty lines and lines starting with # are skipped.
  track NAME                            a track; its first point starts a segment
  segment                               the next point starts a new segment
  point LAT LON TIME [ALT]              degrees, receiver seconds since
                                        1989-12-31 00:00:00 UTC, metres
  waypoint NAME LAT LON [KEY=VALUE...]  keys: alt (metres or none), symbol,
                                        display, proximity (metres), comment
  route NUMBER NAME                     a route (NUMBER 0 to 255)
  routepoint NAME LAT LON [KEY=VALUE...]  a waypoint of the last route
Text is a bare word or "quoted", with the escapes \" \\ and \xHH; names are
given as the receiver sends them (receiver codes for character set 2 models).
Older-family receivers send all tracks as one track log.

Other:
  --exit-on-stdin-eof     also stop when standard input reaches its end
  --help                  show this text
)";
}

bool ParseOptions(int argc, const char* const* argv, Options* out, bool* help, std::string* error) {
    *help = false;
    std::optional<long> product, version, waypointType;
    std::optional<std::string> description;
    std::optional<bool> capabilities;
    Options o;

    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::string_view value;
        bool hasValue = false;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= argc) {
                *error = std::string(arg) + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        const auto number = [&](long min, long max, long* v) -> bool {
            if (!takeValue())
                return false;
            if (!ParseInt(value, min, max, v)) {
                *error = "bad value for " + std::string(arg) + ": " + std::string(value);
                return false;
            }
            return true;
        };
        const auto flag = [&]() -> bool {
            if (hasValue) {
                *error = std::string(arg) + " takes no value";
                return false;
            }
            return true;
        };
        long v = 0;
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return true;
        } else if (arg == "--product") {
            if (!number(-32768, 32767, &v))
                return false;
            product = v;
        } else if (arg == "--version") {
            if (!number(-32768, 32767, &v))
                return false;
            version = v;
        } else if (arg == "--description") {
            if (!takeValue())
                return false;
            description = std::string(value);
        } else if (arg == "--waypoint-type") {
            if (!number(4101, 4109, &v))
                return false;
            if (v != 4101 && v != 4103 && v != 4104 && v != 4108 && v != 4109) {
                *error = "unknown waypoint record layout " + std::to_string(v);
                return false;
            }
            waypointType = v;
        } else if (arg == "--capabilities") {
            if (!takeValue())
                return false;
            if (value != "on" && value != "off") {
                *error = "--capabilities takes on or off";
                return false;
            }
            capabilities = value == "on";
        } else if (arg == "--baud") {
            if (!number(0, 4000000, &v))
                return false;
            o.baud = static_cast<std::uint32_t>(v);
        } else if (arg == "--no-answer") {
            if (!flag())
                return false;
            o.faults.noAnswer = true;
        } else if (arg == "--stop-after") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.stopAfter = static_cast<int>(v);
        } else if (arg == "--cut-packet") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.cutPacket = static_cast<int>(v);
        } else if (arg == "--withhold-ack") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.withholdAck = static_cast<int>(v);
        } else if (arg == "--corrupt-packet") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.corruptPacket = static_cast<int>(v);
        } else if (arg == "--reject-packet") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.rejectPacket = static_cast<int>(v);
        } else if (arg == "--reject-always") {
            if (!flag())
                return false;
            o.faults.rejectAlways = true;
        } else if (arg == "--garbage") {
            if (!flag())
                return false;
            o.faults.garbage = true;
        } else if (arg == "--oversized-packet") {
            if (!number(1, 1000000, &v))
                return false;
            o.faults.oversizedPacket = static_cast<int>(v);
        } else if (arg == "--hangup-after") {
            if (!number(0, 1000000, &v))
                return false;
            o.faults.hangupAfter = static_cast<int>(v);
        } else if (arg == "--data") {
            if (!takeValue())
                return false;
            DataSet d;
            if (!LoadDataSet(std::string(value), &d, error))
                return false;
            o.data = std::move(d);
        } else if (arg == "--record") {
            if (!takeValue())
                return false;
            o.recordFile = std::string(value);
        } else if (arg == "--announce") {
            if (!number(-32768, 32767, &v))
                return false;
            o.stream.announce = static_cast<int>(v);
        } else if (arg == "--extra-packets") {
            if (!number(1, 32767, &v))
                return false;
            o.stream.extraPackets = static_cast<int>(v);
        } else if (arg == "--no-complete") {
            if (!flag())
                return false;
            o.stream.noComplete = true;
        } else if (arg == "--nmea") {
            if (!flag())
                return false;
            o.nmea.enabled = true;
        } else if (arg == "--nmea-rate") {
            if (!takeValue())
                return false;
            double rate = 0.0;
            if (!sorvane::ParseDecimal(value, &rate) || !(rate > 0.0) || rate > 1000.0) {
                *error = "bad value for --nmea-rate: " + std::string(value);
                return false;
            }
            o.nmea.rate = rate;
        } else if (arg == "--nmea-satellites") {
            if (!number(0, 99, &v))
                return false;
            o.nmea.satellites = static_cast<int>(v);
        } else if (arg == "--nmea-systems") {
            if (!takeValue())
                return false;
            o.nmea.systems.clear();
            std::string_view rest = value;
            while (!rest.empty() || o.nmea.systems.empty()) {
                const std::size_t comma = rest.find(',');
                const std::string_view name = rest.substr(0, comma);
                NmeaSystem system{};
                if (!ParseNmeaSystem(name, &system)) {
                    *error = "unknown satellite system \"" + std::string(name) +
                             "\" (gps, glonass, galileo, beidou or qzss)";
                    return false;
                }
                if (std::find(o.nmea.systems.begin(), o.nmea.systems.end(), system) !=
                    o.nmea.systems.end()) {
                    *error = "--nmea-systems names " + std::string(name) + " twice";
                    return false;
                }
                o.nmea.systems.push_back(system);
                rest =
                    comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
                if (comma != std::string_view::npos && rest.empty()) {
                    *error = "bad value for --nmea-systems: " + std::string(value);
                    return false;
                }
            }
        } else if (arg == "--nmea-talker") {
            if (!takeValue())
                return false;
            if (value.size() != 2 || !std::isupper(static_cast<unsigned char>(value[0])) ||
                !std::isupper(static_cast<unsigned char>(value[1]))) {
                *error = "--nmea-talker takes two capital letters, such as GN";
                return false;
            }
            o.nmea.talker = std::string(value);
        } else if (arg == "--nmea-version") {
            if (!takeValue())
                return false;
            if (value != "2.3" && value != "4.10" && value != "4.1") {
                *error = "--nmea-version takes 2.3 or 4.10";
                return false;
            }
            o.nmea.version410 = value != "2.3";
        } else if (arg == "--nmea-fix-loss") {
            if (!takeValue())
                return false;
            const std::size_t colon = value.find(':');
            double from = 0.0, seconds = 0.0;
            if (colon == std::string_view::npos ||
                !sorvane::ParseDecimal(value.substr(0, colon), &from) ||
                !sorvane::ParseDecimal(value.substr(colon + 1), &seconds) || !(from >= 0.0) ||
                !(seconds > 0.0) || from > 1e9 || seconds > 1e9) {
                *error = "--nmea-fix-loss takes AT:SECONDS, such as 5:3";
                return false;
            }
            o.nmea.fixLoss.emplace_back(from, seconds);
        } else if (arg == "--nmea-bad-checksum") {
            if (!number(1, 1000000, &v))
                return false;
            o.nmea.badChecksumCycle = static_cast<int>(v);
        } else if (arg == "--nmea-long-line") {
            if (!number(1, 1000000, &v))
                return false;
            o.nmea.longLineCycle = static_cast<int>(v);
        } else if (arg == "--nmea-burst") {
            if (!number(1, 1000000, &v))
                return false;
            o.nmea.burstCycle = static_cast<int>(v);
        } else if (arg == "--exit-on-stdin-eof") {
            if (!flag())
                return false;
            o.exitOnStdinEof = true;
        } else {
            *error = "unknown option " + std::string(arg);
            return false;
        }
    }

    o.profile = ProfileForProduct(product.value_or(130), version.value_or(250));
    if (waypointType) {
        o.profile.waypointType = static_cast<int>(*waypointType);
        o.profile.routeHeaderType = IsNewerFamily(o.profile) ? 4202 : 4201;
        o.profile.capabilities = IsNewerFamily(o.profile);
    }
    if (description)
        o.profile.description = *description;
    if (capabilities)
        o.profile.capabilities = *capabilities;
    *out = std::move(o);
    return true;
}

std::vector<std::string> ModelWarnings(const Options& options) {
    std::vector<std::string> warnings;
    const Profile& p = options.profile;
    const std::optional<int> own = ModelWaypointType(p.productId);
    // The eMap is the one model that speaks two layouts.
    if (own && *own != p.waypointType && !(p.productId == 111 && p.waypointType == 4109)) {
        warnings.push_back("product " + std::to_string(p.productId) + " uses waypoint layout " +
                           std::to_string(*own) + ", not " + std::to_string(p.waypointType));
    }
    if (IsNewerFamily(p) && !p.capabilities)
        warnings.push_back("receivers of waypoint layout " + std::to_string(p.waypointType) +
                           " always send a capability list");
    if (options.faults.rejectAlways && options.faults.rejectPacket == 0)
        warnings.push_back("--reject-always does nothing without --reject-packet");
    return warnings;
}

}  // namespace gpssim
