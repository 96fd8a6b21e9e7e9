#include "legacy_native_image.h"

#include <algorithm>
#include <cstring>

namespace tobrel::testing {

namespace {

class Bytes {
  public:
    template <typename T>
    void Put(T v) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        out.insert(out.end(), p, p + sizeof v);
    }
    void Text(const std::string& s, std::size_t field) {
        for (std::size_t i = 0; i < field; ++i)
            out.push_back(i < s.size() ? s[i] : 0);
    }
    void Zero(std::size_t n) { out.insert(out.end(), n, 0); }
    std::size_t size() const { return out.size(); }
    std::vector<std::uint8_t> out;
};

void PutWaypoint(Bytes& b, const ImageWaypoint& w, std::int32_t version, bool route) {
    b.Put(w.latitude);
    b.Put(w.longitude);
    if (version < 4) {
        b.Zero(8);
        b.Text(w.ident, 8);
    } else if (version == 4) {
        b.Put(w.distance);
        b.Put(w.symbol);
        b.Put(w.display);
        b.Text(w.ident, 8);
        // Free waypoints carry filler where route waypoints carry the comment.
        if (route)
            b.Text(w.comment, 44);
        else
            b.Text("free waypoint filler", 44);
    } else {
        b.Put(w.altitude);
        b.Put(w.distance);
        b.Put(w.symbol);
        b.Put(w.display);
        b.Text(w.ident, 24);
        b.Text(w.comment, 64);
    }
}

}  // namespace

std::int32_t ReadInt32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

void WriteInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
    std::memcpy(bytes.data() + at, &value, 4);
}

std::vector<std::uint8_t> BuildNativeImage(std::int32_t version, const ImageContent& content) {
    const std::int32_t layout = (version < 3) ? 3 : version;
    Bytes b;
    b.Text("TOBREL", 16);
    b.Put(version);
    b.Zero(12);  // three offsets, filled in below
    b.Zero(72);
    b.Put(content.timeZoneBias);

    const std::size_t trackOffset = b.size();
    if (layout >= 6) {
        b.Put(static_cast<std::int32_t>(content.tracks.size()));
        for (const ImageTrack& t : content.tracks) {
            b.Text(t.name, 24);
            b.Put(static_cast<std::int32_t>(t.points.size()));
            b.Put(t.segments);
            for (const ImagePoint& p : t.points) {
                b.Put(p.latitude);
                b.Put(p.longitude);
                b.Put(p.time);
                b.Put(p.segment);
                b.Put(p.heading);
                b.Put(p.altitude);
                b.Put(p.distance);
                b.Zero(8);
            }
        }
    } else if (content.tracks.empty()) {
        b.Put(std::int32_t{0});
    } else {
        const ImageTrack& t = content.tracks.front();
        b.Put(static_cast<std::int32_t>(t.points.size()));
        b.Put(t.segments);
        for (const ImagePoint& p : t.points) {
            b.Put(p.latitude);
            b.Put(p.longitude);
            b.Put(p.time);
            b.Put(p.segment);
            b.Put(std::uint16_t{0xBEEF});  // ignored
            if (layout == 5) {
                b.Put(p.altitude);
                b.Put(std::uint32_t{0xDEADBEEF});  // ignored
            }
        }
    }

    const std::size_t waypointOffset = b.size();
    b.Put(static_cast<std::int32_t>(content.waypoints.size()));
    for (const ImageWaypoint& w : content.waypoints)
        PutWaypoint(b, w, layout, false);

    const std::size_t routeOffset = b.size();
    b.Put(static_cast<std::int32_t>(content.routes.size()));
    for (const ImageRoute& r : content.routes) {
        b.Put(static_cast<std::int32_t>(r.waypoints.size()));
        b.Text(r.name, 64);
        b.Put(version == 7 ? std::int32_t{0} : std::int32_t{0x5A5A5A5A});  // reserved, ignored
    }
    for (const ImageRoute& r : content.routes)
        for (const ImageWaypoint& w : r.waypoints)
            PutWaypoint(b, w, layout, true);

    WriteInt32(b.out, kTrackOffsetField, static_cast<std::int32_t>(trackOffset));
    WriteInt32(b.out, kWaypointOffsetField, static_cast<std::int32_t>(waypointOffset));
    WriteInt32(b.out, kRouteOffsetField, static_cast<std::int32_t>(routeOffset));
    return b.out;
}

}  // namespace tobrel::testing
