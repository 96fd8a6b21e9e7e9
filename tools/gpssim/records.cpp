#include "records.h"

#include <bit>
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

bool Newer(int waypointType) {
    return waypointType == 4108 || waypointType == 4109;
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
        std::size_t name = 48;
        if (waypointType == 4109) {
            std::memset(d.data() + 48, 0xFF, 4);
            name = 52;
        }
        PutText(d, name, 10, w.name, 0);
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
            p.sizeMatches = data.size() == WaypointSize(type);
            SimWaypoint& w = p.waypoint;
            if (Newer(type)) {
                w.name = GetText(data, type == 4109 ? 52 : 48, 12, 0);
                w.symbol = Get16(data, 4);
                p.rawLatitude = static_cast<std::int32_t>(Get32(data, 24));
                p.rawLongitude = static_cast<std::int32_t>(Get32(data, 28));
                w.altitude = GetFloat(data, 32);
            } else {
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
            p.sizeMatches = data.size() == (newer ? 24u : 13u);
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
                for (int i = 0; i < 3; ++i)
                    p.trailer[i] = Get8(data, 21 + static_cast<std::size_t>(i));
            } else {
                p.flagByte = Get8(data, 12);
            }
            t.newSegment = p.flagByte == 1;
            break;
        }
        case kPidTrackHeader:
            p.trackDisplay = Get8(data, 0);
            p.trackColour = Get8(data, 1);
            p.trackName = GetText(data, 2, data.size(), 0);
            p.sizeMatches = data.size() == p.trackName.size() + 3;
            break;
        case kPidRouteHeader:
            if (profile.routeHeaderType == 4202) {
                p.sizeMatches = data.size() == 40;
                p.routeName = GetText(data, 0, 40, 0);
            } else {
                p.sizeMatches = data.size() == 21;
                p.routeNumber = Get8(data, 0);
                p.routeName = GetText(data, 1, 20, ' ');
            }
            break;
        case kPidRouteLink:
            p.sizeMatches = data.size() == 21;
            break;
        default:
            break;
    }
    return p;
}

std::string DescribeUpload(const UploadedPacket& p) {
    char buf[512];
    switch (p.id) {
        case kPidWaypoint:
        case kPidRouteWaypoint: {
            const SimWaypoint& w = p.waypoint;
            std::snprintf(buf, sizeof buf,
                          "%s name=%s lat=%d lon=%d alt=%.9g symbol=%u display=%u "
                          "proximity=%.9g comment=%s",
                          p.id == kPidWaypoint ? "waypoint" : "routepoint",
                          QuoteText(w.name).c_str(), p.rawLatitude, p.rawLongitude,
                          static_cast<double>(w.altitude), w.symbol, w.display,
                          static_cast<double>(w.proximity), QuoteText(w.comment).c_str());
            break;
        }
        case kPidTrackPoint:
            std::snprintf(buf, sizeof buf,
                          "trackpoint lat=%d lon=%d time=%u alt=%.9g depth=%.9g flag=%u",
                          p.rawLatitude, p.rawLongitude, p.trackPoint.time,
                          static_cast<double>(p.trackPoint.altitude), static_cast<double>(p.depth),
                          p.flagByte);
            break;
        case kPidTrackHeader:
            std::snprintf(buf, sizeof buf, "trackheader display=%u colour=%u name=%s",
                          p.trackDisplay, p.trackColour, QuoteText(p.trackName).c_str());
            break;
        case kPidRouteHeader:
            std::snprintf(buf, sizeof buf, "routeheader number=%u name=%s", p.routeNumber,
                          QuoteText(p.routeName).c_str());
            break;
        case kPidRouteLink:
            std::snprintf(buf, sizeof buf, "routelink");
            break;
        default:
            std::snprintf(buf, sizeof buf, "packet");
            break;
    }
    std::string line = "packet " + std::to_string(p.id) + " " + buf;
    if (!p.sizeMatches)
        line += " (size " + std::to_string(p.data.size()) + " does not match the layout)";
    return line;
}

}  // namespace gpssim
