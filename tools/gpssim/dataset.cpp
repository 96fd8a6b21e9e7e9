#include "dataset.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "text/numbers.h"

namespace gpssim {

DataSet BuiltInDataSet(int characterSet) {
    DataSet d;
    d.waypoints = {
        {"HOME", "START OF THE WALK", 35.658581, 139.745433, 25.0f, 10, 1, 0.0f},
        {"PIER", "FERRY PIER", 35.626450, 139.774060, 3.0f, 18, 0, 50.0f},
        {"HILL", "LOOKOUT", 35.683060, 139.693920, kNoValue, 0, 2, 0.0f},
    };
    if (characterSet == 2) {
        // Katakana and digits in the receiver's own name code.
        d.waypoints[0].name = "\x22\x24";          // i e
        d.waypoints[1].name = "\x2B\x52\x53";      // ka 0 1
        d.waypoints[2].name = "\x3E\x5C\x5D\x5E";  // ho - (semi-voiced) (voiced)
    }
    d.routes = {{1, "BAY WALK", {d.waypoints[0], d.waypoints[1], d.waypoints[2]}}};

    // 2002-05-12 09:00:00 UTC in receiver seconds.
    const std::uint32_t start = 1021194000u - 631065600u;
    SimTrack log{"ACTIVE LOG", {}};
    for (int i = 0; i < 8; ++i) {
        SimTrackPoint p;
        p.latitude = 35.6586 - 0.0012 * i;
        p.longitude = 139.7454 + 0.0011 * i;
        p.time = start + 30u * static_cast<std::uint32_t>(i);
        p.altitude = 20.0f - static_cast<float>(i);
        p.newSegment = i == 0 || i == 5;
        log.points.push_back(p);
    }
    SimTrack saved{"FERRY", {}};
    for (int i = 0; i < 4; ++i) {
        SimTrackPoint p;
        p.latitude = 35.6264 - 0.002 * i;
        p.longitude = 139.7740 + 0.003 * i;
        p.time = start + 3600u + 60u * static_cast<std::uint32_t>(i);
        p.altitude = 2.0f;
        p.newSegment = i == 0;
        saved.points.push_back(p);
    }
    d.tracks = {log, saved};
    return d;
}

namespace {

// Splits a line into words; quotes group and escape, anywhere in a word.
bool Words(std::string_view line, std::vector<std::string>* words, std::string* error) {
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size())
            break;
        std::string w;
        bool quoted = false;
        while (i < line.size()) {
            const char c = line[i];
            if (!quoted && (c == ' ' || c == '\t' || c == '\r'))
                break;
            ++i;
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (quoted && c == '\\') {
                if (i >= line.size()) {
                    *error = "escape at the end of the line";
                    return false;
                }
                const char e = line[i++];
                if (e == 'x') {
                    const int hi = i < line.size() ? sorvane::HexDigitValue(line[i]) : -1;
                    const int lo = i + 1 < line.size() ? sorvane::HexDigitValue(line[i + 1]) : -1;
                    if (hi < 0 || lo < 0) {
                        *error = "\\x needs two hex digits";
                        return false;
                    }
                    w.push_back(static_cast<char>(hi * 16 + lo));
                    i += 2;
                } else if (e == '"' || e == '\\') {
                    w.push_back(e);
                } else {
                    *error = std::string("unknown escape \\") + e;
                    return false;
                }
                continue;
            }
            w.push_back(c);
        }
        if (quoted) {
            *error = "unterminated quote";
            return false;
        }
        words->push_back(std::move(w));
    }
    return true;
}

bool Number(const std::string& text, double* out) {
    double v = 0.0;
    if (!sorvane::ParseDecimal(text, &v) || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

bool Integer(const std::string& text, long long min, long long max, long long* out) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end != text.c_str() + text.size() || v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool Altitude(const std::string& text, float* out) {
    if (text == "none") {
        *out = kNoValue;
        return true;
    }
    double v = 0;
    if (!Number(text, &v))
        return false;
    *out = static_cast<float>(v);
    return true;
}

// NAME LAT LON [KEY=VALUE...] from words[1..].
bool ParseWaypoint(const std::vector<std::string>& w, SimWaypoint* out, std::string* error) {
    if (w.size() < 4) {
        *error = w[0] + " needs NAME LAT LON";
        return false;
    }
    SimWaypoint p;
    p.name = w[1];
    if (!Number(w[2], &p.latitude) || !Number(w[3], &p.longitude)) {
        *error = "bad position";
        return false;
    }
    for (std::size_t i = 4; i < w.size(); ++i) {
        const std::size_t eq = w[i].find('=');
        if (eq == std::string::npos) {
            *error = "expected KEY=VALUE: " + w[i];
            return false;
        }
        const std::string key = w[i].substr(0, eq);
        const std::string value = w[i].substr(eq + 1);
        long long n = 0;
        double d = 0;
        bool ok = true;
        if (key == "alt") {
            ok = Altitude(value, &p.altitude);
        } else if (key == "symbol") {
            ok = Integer(value, 0, 65535, &n);
            p.symbol = static_cast<std::uint16_t>(n);
        } else if (key == "display") {
            ok = Integer(value, 0, 255, &n);
            p.display = static_cast<std::uint8_t>(n);
        } else if (key == "proximity") {
            ok = Number(value, &d);
            p.proximity = static_cast<float>(d);
        } else if (key == "comment") {
            p.comment = value;
        } else {
            *error = "unknown key " + key;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + key;
            return false;
        }
    }
    *out = std::move(p);
    return true;
}

}  // namespace

bool ParseDataSet(std::string_view text, DataSet* out, std::string* error) {
    DataSet d;
    bool newSegment = true;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const std::size_t nl = text.find('\n', pos);
        const std::string_view line =
            text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        const auto fail = [&](const std::string& what) {
            *error = "line " + std::to_string(lineNo) + ": " + what;
            return false;
        };
        std::vector<std::string> w;
        std::string wordError;
        if (!Words(line, &w, &wordError))
            return fail(wordError);
        if (w.empty() || w[0].starts_with('#'))
            continue;
        const std::string& kind = w[0];
        if (kind == "track") {
            if (w.size() != 2)
                return fail("track needs NAME");
            d.tracks.push_back({w[1], {}});
            newSegment = true;
        } else if (kind == "segment") {
            if (d.tracks.empty())
                return fail("segment outside a track");
            newSegment = true;
        } else if (kind == "point") {
            if (d.tracks.empty())
                return fail("point outside a track");
            if (w.size() != 4 && w.size() != 5)
                return fail("point needs LAT LON TIME [ALT]");
            SimTrackPoint p;
            long long t = 0;
            if (!Number(w[1], &p.latitude) || !Number(w[2], &p.longitude))
                return fail("bad position");
            if (!Integer(w[3], 0, 4294967295LL, &t))
                return fail("bad time");
            p.time = static_cast<std::uint32_t>(t);
            if (w.size() == 5 && !Altitude(w[4], &p.altitude))
                return fail("bad altitude");
            p.newSegment = newSegment;
            newSegment = false;
            d.tracks.back().points.push_back(p);
        } else if (kind == "waypoint") {
            SimWaypoint p;
            std::string e;
            if (!ParseWaypoint(w, &p, &e))
                return fail(e);
            d.waypoints.push_back(std::move(p));
        } else if (kind == "route") {
            long long n = 0;
            if (w.size() != 3 || !Integer(w[1], 0, 255, &n))
                return fail("route needs NUMBER (0 to 255) NAME");
            d.routes.push_back({static_cast<std::uint8_t>(n), w[2], {}});
        } else if (kind == "routepoint") {
            if (d.routes.empty())
                return fail("routepoint outside a route");
            SimWaypoint p;
            std::string e;
            if (!ParseWaypoint(w, &p, &e))
                return fail(e);
            d.routes.back().waypoints.push_back(std::move(p));
        } else {
            return fail("unknown item " + kind);
        }
    }
    *out = std::move(d);
    return true;
}

bool LoadDataSet(const std::string& path, DataSet* out, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (!ParseDataSet(text.str(), out, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

std::string QuoteText(std::string_view text) {
    std::string q = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            q += '\\';
            q += c;
        } else if (b < 0x20 || b > 0x7E) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            q += hex;
        } else {
            q += c;
        }
    }
    q += '"';
    return q;
}

namespace {

std::string Real(double v) {
    return sorvane::FormatShortest(v);
}

std::string AltitudeText(float v) {
    return v == kNoValue ? std::string("none") : Real(v);
}

std::string WaypointText(const SimWaypoint& w) {
    return QuoteText(w.name) + " " + Real(w.latitude) + " " + Real(w.longitude) +
           " alt=" + AltitudeText(w.altitude) + " symbol=" + std::to_string(w.symbol) +
           " display=" + std::to_string(w.display) + " proximity=" + Real(w.proximity) +
           " comment=" + QuoteText(w.comment);
}

}  // namespace

std::string FormatDataSet(const DataSet& data) {
    std::string out;
    for (const SimTrack& t : data.tracks) {
        out += "track " + QuoteText(t.name) + "\n";
        for (std::size_t i = 0; i < t.points.size(); ++i) {
            const SimTrackPoint& p = t.points[i];
            if (i > 0 && p.newSegment)
                out += "segment\n";
            out += "point " + Real(p.latitude) + " " + Real(p.longitude) + " " +
                   std::to_string(p.time) + " " + AltitudeText(p.altitude) + "\n";
        }
    }
    for (const SimWaypoint& w : data.waypoints)
        out += "waypoint " + WaypointText(w) + "\n";
    for (const SimRoute& r : data.routes) {
        out += "route " + std::to_string(r.number) + " " + QuoteText(r.name) + "\n";
        for (const SimWaypoint& w : r.waypoints)
            out += "routepoint " + WaypointText(w) + "\n";
    }
    return out;
}

}  // namespace gpssim
