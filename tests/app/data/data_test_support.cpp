#include "data_test_support.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tobrel::testing {

namespace {

class Bytes {
  public:
    template <typename T>
    void Put(T v) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        out.insert(out.end(), p, p + sizeof v);
    }
    // A text field of `size` bytes, cut or zero-filled.
    void Text(const char* s, std::size_t size) {
        const std::size_t n = strnlen(s, size);
        out.insert(out.end(), s, s + n);
        out.insert(out.end(), size - n, 0);
    }
    std::vector<std::uint8_t> out;
};

void PutWaypoint(Bytes& b, const WaypointData& w, std::int32_t version, bool route) {
    b.Put(w.latitude);
    b.Put(w.longitude);
    if (version < 4) {
        b.Put(~std::uint64_t{0});  // ignored
        b.Text(w.ident, 8);
    } else if (version == 4) {
        b.Put(w.distance);
        b.Put(w.symbol);
        b.Put(w.display);
        b.Text(w.ident, 8);
        // Free waypoints carry filler where route waypoints carry the comment.
        b.Text(route ? w.comment : "free waypoint filler", 44);
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

std::vector<std::uint8_t> BuildNativeImage(std::int32_t version, const TobrelFile& s) {
    const std::int32_t layout = (version < 3) ? 3 : version;
    Bytes b;
    b.Text("TOBREL", 16);
    b.Put(version);
    b.out.resize(b.out.size() + 12 + 72);  // three offsets, filled in below
    b.Put(s.TimeZoneBias());

    const auto trackOffset = static_cast<std::int32_t>(b.out.size());
    // Before version 6 the section is one unnamed track without a track count.
    const int tracks = layout >= 6 ? s.GetTrackCount() : std::min(1, s.GetTrackCount());
    if (layout >= 6 || tracks == 0)
        b.Put(std::int32_t{tracks});
    for (int t = 0; t < tracks; ++t) {
        const TrackHeader& h = *s.GetTrackHeader(t);
        if (layout >= 6)
            b.Text(h.name, 24);
        b.Put(std::int32_t{h.PointCount()});
        b.Put(h.segmentCount);
        for (const TrackData& p : h.pTrackData) {
            b.Put(p.latitude);
            b.Put(p.longitude);
            b.Put(p.time);
            b.Put(p.segment);
            if (layout >= 6) {
                b.Put(p.heading);
                b.Put(p.altitude);
                b.Put(p.distance);
                b.Put(std::uint64_t{0});
            } else {
                b.Put(std::uint16_t{0xBEEF});  // ignored
                if (layout == 5) {
                    b.Put(p.altitude);
                    b.Put(std::uint32_t{0xDEADBEEF});  // ignored
                }
            }
        }
    }

    const auto waypointOffset = static_cast<std::int32_t>(b.out.size());
    b.Put(std::int32_t{s.GetWaypointCount()});
    for (int i = 0; i < s.GetWaypointCount(); ++i)
        PutWaypoint(b, *s.GetWaypointData(i), layout, false);

    const auto routeOffset = static_cast<std::int32_t>(b.out.size());
    b.Put(std::int32_t{s.GetRouteCount()});
    for (int r = 0; r < s.GetRouteCount(); ++r) {
        b.Put(std::int32_t{s.GetRouteWaypointCount(r)});
        b.Text(s.GetRouteName(r), 64);
        b.Put(version == 7 ? std::int32_t{0} : std::int32_t{0x5A5A5A5A});  // reserved, ignored
    }
    for (int r = 0; r < s.GetRouteCount(); ++r)
        for (const WaypointData& w : s.GetRouteHeader(r)->pWaypointData)
            PutWaypoint(b, w, layout, true);

    WriteInt32(b.out, kTrackOffsetField, trackOffset);
    WriteInt32(b.out, kWaypointOffsetField, waypointOffset);
    WriteInt32(b.out, kRouteOffsetField, routeOffset);
    return b.out;
}

void FillSample(TobrelFile& s) {
    s.SetTimeZoneBias(-32400);
    const int t0 = s.GetTrackCount();
    // Tokyo, then a character whose trail byte is 0x5C
    AddTrack(s, "\x93\x8c\x8b\x9e-\x95\x5c",
             {{1, 35.0, 139.0}, {1, 35.1, 139.0}, {2, 35.1, 139.1}, {2, 35.2, 139.1}}, 2);
    AddTrack(s, "T2", {{1, -33.9, 151.2}, {1, -33.8, 151.3}});
    const double steps[] = {0, 10, 15, 20};  // the distances as a version 6 file gives them
    for (int t = t0; t < t0 + 2; ++t) {
        for (int i = 0; i < s.GetTrackPointCount(t); ++i) {
            TrackData& p = s.GetTrackData(t)[i];
            p.time = 10u * (i + 1) + (t - t0);
            p.heading = static_cast<std::uint16_t>(45 * i);
            p.altitude = 5.5f + i;
            p.distance = steps[i];
        }
    }
    const int w = s.AddWaypoints(3);
    s.SetWaypoint(w, "WPT01", "free comment", 35.5, 139.25, 9.0, 20.0f, 18, 1);
    s.SetWaypoint(w + 1, "\x83\x7c\x83\x43\x83\x93\x83\x67", "", 5.5, -0.125, -3.5, 0, 7, 3);
    s.SetWaypoint(w + 2, "LONGNAME-ABCDEFGHIJKLMN", "", -89.999999, 179.999999, 0, 0, 0, 1);
    const int r = s.AppendRoute() - 1;
    s.SetRouteName(r, "ROUTE A");
    s.InsertRouteWaypoint(r, 99999, "RW_0", "route comment", 35.1, 139.1, 1.0, 30.0f, 7, 3);
    s.InsertRouteWaypoint(r, 99999, "RW_1", "", 35.2, 139.2, 2.0, 0, 18, 3);
    s.SetRouteName(s.AppendRoute() - 1, "EMPTY");
}

void AddTrack(TobrelFile& s, const char* name, const std::vector<std::array<double, 3>>& points,
              int segments) {
    const int t = s.GetTrackCount();
    s.AddTracks(1);
    s.SetTrackName(t, name);
    s.SetTrackPointCount(t, static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i)
        s.SetTrackPoint(t, static_cast<int>(i), static_cast<int>(points[i][0]), points[i][1],
                        points[i][2], 0);
    s.SetTrackSegmentCount(t, segments);
}

void FillLongTrack(TobrelFile& store, int pointCount) {
    std::vector<std::array<double, 3>> points;
    for (int i = 0; i < pointCount; ++i)
        points.push_back({1, 35.0 + i * 1e-4, 139.0 + i * 2e-4});
    AddTrack(store, "LONG", points);
}

}  // namespace tobrel::testing
