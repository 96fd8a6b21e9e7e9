#include "records.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace gpssim {

namespace {

constexpr double kUnitsPerDegree = 2147483648.0 / 180.0;

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutFloat(std::vector<std::uint8_t>& out, std::size_t at, float v) {
    Put32(out, at, std::bit_cast<std::uint32_t>(v));
}

void PutText(std::vector<std::uint8_t>& out, std::size_t at, std::size_t width,
             const std::string& text, std::uint8_t pad) {
    for (std::size_t i = 0; i < width; ++i)
        out[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : pad;
}

std::uint8_t Get8(std::span<const std::uint8_t> d, std::size_t at) {
    return at < d.size() ? d[at] : 0;
}

std::uint16_t Get16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(Get8(d, at) | Get8(d, at + 1) << 8);
}

std::uint32_t Get32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint32_t>(Get8(d, at)) |
           static_cast<std::uint32_t>(Get8(d, at + 1)) << 8 |
           static_cast<std::uint32_t>(Get8(d, at + 2)) << 16 |
           static_cast<std::uint32_t>(Get8(d, at + 3)) << 24;
}

float GetFloat(std::span<const std::uint8_t> d, std::size_t at) {
    return std::bit_cast<float>(Get32(d, at));
}

// Text of a field, cut at its first zero byte, with trailing pad bytes removed.
std::string GetText(std::span<const std::uint8_t> d, std::size_t at, std::size_t width, char pad) {
    std::string s;
    for (std::size_t i = 0; i < width && at + i < d.size() && d[at + i] != 0; ++i)
        s.push_back(static_cast<char>(d[at + i]));
    while (pad != 0 && !s.empty() && s.back() == pad)
        s.pop_back();
    return s;
}

// The zero-terminated string at `at`. *terminated tells whether its zero
// byte lies inside the record; *next is the offset after it.
std::string TakeString(std::span<const std::uint8_t> d, std::size_t at, std::size_t* next,
                       bool* terminated) {
    std::string s;
    std::size_t i = at;
    while (i < d.size() && d[i] != 0)
        s.push_back(static_cast<char>(d[i++]));
    *terminated = i < d.size();
    *next = i + 1;
    return s;
}

bool Newer(int waypointType) {
    return waypointType == 4108 || waypointType == 4109;
}

std::size_t NewerNameOffset(int waypointType) {
    return waypointType == 4109 ? 52 : 48;
}

// The sizes a record of the layout may have: the fixed ones exactly; for the
// newer layouts, whose texts are zero-terminated strings, anything that holds
// the fixed part and a terminated name.
bool OlderWaypointSizeFits(int waypointType, std::size_t size) {
    // Layout 4101 stands for receivers of the plainest form and for those
    // that add the proximity distance and a symbol byte (63 bytes).
    if (waypointType != 4103 && waypointType != 4104)
        return size == 58 || size == 63;
    return size == (waypointType == 4103 ? 60u : 65u);
}

std::size_t WaypointSize(int waypointType) {
    switch (waypointType) {
        case 4103:
            return 60;
        case 4104:
            return 65;
        case 4108:
            return 64;
        case 4109:
            return 68;
        default:
            return 58;
    }
}

}  // namespace

std::int32_t DegreesToWire(double degrees) {
    const double v = std::round(degrees * kUnitsPerDegree);
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (v >= 2147483647.0)
        return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

double WireToDegrees(std::int32_t units) {
    return units / kUnitsPerDegree;
}

std::vector<std::uint8_t> EncodeWaypoint(int waypointType, const SimWaypoint& w) {
    std::vector<std::uint8_t> d(WaypointSize(waypointType), 0);
    const auto lat = static_cast<std::uint32_t>(DegreesToWire(w.latitude));
    const auto lon = static_cast<std::uint32_t>(DegreesToWire(w.longitude));
    if (Newer(waypointType)) {
        d[1] = 0xFF;
        d[3] = 0x60;
        Put16(d, 4, w.symbol);
        std::memset(d.data() + 12, 0xFF, 12);
        Put32(d, 24, lat);
        Put32(d, 28, lon);
        PutFloat(d, 32, w.altitude);
        const std::size_t name = NewerNameOffset(waypointType);
        if (waypointType == 4109)
            std::memset(d.data() + 48, 0xFF, 4);
        // The name and the comment as zero-terminated strings, then the four
        // empty ones receivers add (facility, city, address, crossroad); at
        // least as long as the fixed layout, whose name area is zero-padded.
        d.resize(name);
        const std::string ident = w.name.substr(0, std::min<std::size_t>(w.name.size(), 10));
        d.insert(d.end(), ident.begin(), ident.end());
        d.push_back(0);
        d.insert(d.end(), w.comment.begin(), w.comment.end());
        d.insert(d.end(), 5, 0);
        if (d.size() < WaypointSize(waypointType))
            d.resize(WaypointSize(waypointType), 0);
        return d;
    }
    PutText(d, 0, 6, w.name, ' ');
    Put32(d, 6, lat);
    Put32(d, 10, lon);
    PutText(d, 18, 40, w.comment, ' ');
    if (waypointType == 4103) {
        d[58] = static_cast<std::uint8_t>(w.symbol);
        d[59] = w.display;
    } else if (waypointType == 4104) {
        PutFloat(d, 58, w.proximity);
        Put16(d, 62, w.symbol);
        d[64] = w.display;
    }
    return d;
}

std::vector<std::uint8_t> EncodeRouteHeader(bool newerFamily, const SimRoute& r) {
    if (newerFamily) {
        // A zero-terminated name of up to 50 characters.
        const std::size_t n = r.name.size() < 50 ? r.name.size() : 50;
        std::vector<std::uint8_t> d(r.name.begin(), r.name.begin() + static_cast<long>(n));
        d.push_back(0);
        return d;
    }
    std::vector<std::uint8_t> d(21, 0);
    d[0] = r.number;
    PutText(d, 1, 20, r.name, ' ');
    return d;
}

std::vector<std::uint8_t> EncodeRouteLink() {
    std::vector<std::uint8_t> d(21, 0);
    d[0] = 0x03;
    std::memset(d.data() + 8, 0xFF, 12);
    return d;
}

std::vector<std::uint8_t> EncodeTrackHeader(const SimTrack& t) {
    const std::size_t n = t.name.size() < 240 ? t.name.size() : 240;
    std::vector<std::uint8_t> d(n + 3, 0);
    d[0] = 1;
    d[1] = 0xFF;
    for (std::size_t i = 0; i < n; ++i)
        d[2 + i] = static_cast<std::uint8_t>(t.name[i]);
    return d;
}

std::vector<std::uint8_t> EncodeTrackPoint(bool newerFamily, const SimTrackPoint& p,
                                           bool newSegment) {
    std::vector<std::uint8_t> d(newerFamily ? 24 : 13, 0);
    Put32(d, 0, static_cast<std::uint32_t>(DegreesToWire(p.latitude)));
    Put32(d, 4, static_cast<std::uint32_t>(DegreesToWire(p.longitude)));
    Put32(d, 8, p.time);
    if (!newerFamily) {
        d[12] = newSegment ? 1 : 0;
        return d;
    }
    PutFloat(d, 12, p.altitude);
    PutFloat(d, 16, kNoValue);
    d[20] = newSegment ? 1 : 0;
    d[21] = d[22] = d[23] = 0xFF;
    return d;
}

UploadedPacket DecodeUpload(const Profile& profile, std::uint8_t id,
                            std::span<const std::uint8_t> data) {
    UploadedPacket p;
    p.id = id;
    p.data.assign(data.begin(), data.end());
    const bool newer = IsNewerFamily(profile);
    switch (id) {
        case kPidWaypoint:
        case kPidRouteWaypoint: {
            const int type = profile.waypointType;
            SimWaypoint& w = p.waypoint;
            if (Newer(type)) {
                // The name and then the comment, each as a zero-terminated string.
                std::size_t next = 0;
                bool nameEnds = false;
                bool commentEnds = false;
                w.name = TakeString(data, NewerNameOffset(type), &next, &nameEnds);
                w.comment = TakeString(data, next, &next, &commentEnds);
                p.sizeMatches = nameEnds && (commentEnds || next > data.size());
                w.symbol = Get16(data, 4);
                p.rawLatitude = static_cast<std::int32_t>(Get32(data, 24));
                p.rawLongitude = static_cast<std::int32_t>(Get32(data, 28));
                w.altitude = GetFloat(data, 32);
            } else {
                p.sizeMatches = OlderWaypointSizeFits(type, data.size());
                w.name = GetText(data, 0, 6, ' ');
                p.rawLatitude = static_cast<std::int32_t>(Get32(data, 6));
                p.rawLongitude = static_cast<std::int32_t>(Get32(data, 10));
                w.comment = GetText(data, 18, 40, ' ');
                if (type == 4103) {
                    w.symbol = Get8(data, 58);
                    w.display = Get8(data, 59);
                } else if (type == 4104) {
                    w.proximity = GetFloat(data, 58);
                    w.symbol = Get16(data, 62);
                    w.display = Get8(data, 64);
                }
            }
            w.latitude = WireToDegrees(p.rawLatitude);
            w.longitude = WireToDegrees(p.rawLongitude);
            break;
        }
        case kPidTrackPoint: {
            // Hosts send the newer layout with or without its three trailing bytes.
            p.sizeMatches = newer ? data.size() == 24 || data.size() == 21 : data.size() == 13;
            p.rawLatitude = static_cast<std::int32_t>(Get32(data, 0));
            p.rawLongitude = static_cast<std::int32_t>(Get32(data, 4));
            SimTrackPoint& t = p.trackPoint;
            t.latitude = WireToDegrees(p.rawLatitude);
            t.longitude = WireToDegrees(p.rawLongitude);
            t.time = Get32(data, 8);
            if (newer) {
                t.altitude = GetFloat(data, 12);
                p.depth = GetFloat(data, 16);
                p.flagByte = Get8(data, 20);
                for (std::size_t i = 0; i < 3 && 21 + i < data.size(); ++i)
                    p.trailer[i] = data[21 + i];
            } else {
                p.flagByte = Get8(data, 12);
            }
            t.newSegment = p.flagByte == 1;
            break;
        }
        case kPidTrackHeader: {
            p.trackDisplay = Get8(data, 0);
            p.trackColour = Get8(data, 1);
            std::size_t next = 0;
            bool ends = false;
            p.trackName = TakeString(data, 2, &next, &ends);
            p.sizeMatches = ends && data.size() >= 3;
            break;
        }
        case kPidRouteHeader:
            if (profile.routeHeaderType == 4202) {
                // A zero-terminated name, or 40 bytes of name padded with zeros.
                std::size_t next = 0;
                bool ends = false;
                p.routeName = TakeString(data, 0, &next, &ends);
                if (!ends)
                    p.routeName = GetText(data, 0, 40, 0);
                p.sizeMatches = ends || data.size() == 40;
            } else {
                p.sizeMatches = data.size() == 21;
                p.routeNumber = Get8(data, 0);
                p.routeName = GetText(data, 1, 20, ' ');
            }
            break;
        case kPidRouteLink: {
            // Class, subclass, then the link's name as a zero-terminated string.
            std::size_t next = 0;
            bool ends = false;
            TakeString(data, 20, &next, &ends);
            p.sizeMatches = ends;
            break;
        }
        default:
            break;
    }
    return p;
}

std::string DescribeUpload(const UploadedPacket& p) {
    // Numbers as printf's %.9g writes them, in any locale.
    const auto real = [](double v) {
        char buf[64];
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 9);
        return std::string(buf, r.ptr);
    };
    const auto num = [](auto v) { return std::to_string(v); };
    std::string text;
    switch (p.id) {
        case kPidWaypoint:
        case kPidRouteWaypoint: {
            const SimWaypoint& w = p.waypoint;
            text = std::string(p.id == kPidWaypoint ? "waypoint" : "routepoint") +
                   " name=" + QuoteText(w.name) + " lat=" + num(p.rawLatitude) +
                   " lon=" + num(p.rawLongitude) + " alt=" + real(w.altitude) +
                   " symbol=" + num(w.symbol) + " display=" + num(w.display) +
                   " proximity=" + real(w.proximity) + " comment=" + QuoteText(w.comment);
            break;
        }
        case kPidTrackPoint:
            text = "trackpoint lat=" + num(p.rawLatitude) + " lon=" + num(p.rawLongitude) +
                   " time=" + num(p.trackPoint.time) + " alt=" + real(p.trackPoint.altitude) +
                   " depth=" + real(p.depth) + " flag=" + num(p.flagByte);
            break;
        case kPidTrackHeader:
            text = "trackheader display=" + num(p.trackDisplay) + " colour=" + num(p.trackColour) +
                   " name=" + QuoteText(p.trackName);
            break;
        case kPidRouteHeader:
            text = "routeheader number=" + num(p.routeNumber) + " name=" + QuoteText(p.routeName);
            break;
        case kPidRouteLink:
            text = "routelink";
            break;
        default:
            text = "packet";
            break;
    }
    std::string line = "packet " + num(p.id) + " " + text;
    if (!p.sizeMatches)
        line += " (size " + num(p.data.size()) + " does not match the layout)";
    return line;
}

}  // namespace gpssim
