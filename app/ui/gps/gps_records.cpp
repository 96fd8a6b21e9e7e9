#include "ui/gps/gps_records.h"

#include "data/tobrel_file.h"
#include "text/cp932.h"

namespace tobrel {

namespace {

constexpr std::int16_t kRouteWaypointDisplay = 3;

}  // namespace

std::string ToControlText(const char* cp932) {
    return sorvane::cp932::ToUtf8(cp932 != nullptr ? cp932 : "");
}

std::string ToStoreText(const std::string& utf8) {
    return sorvane::cp932::FromUtf8(utf8);
}

std::vector<GpsTrack> TracksForUpload(const TobrelFile& store) {
    std::vector<GpsTrack> tracks;
    for (int t = 0; t < store.GetTrackCount(); ++t) {
        // The store's name as a 32-byte buffer holds it.
        char name[32] = {};
        store.GetTrackName(t, name, sizeof name);
        GpsTrack track{ToControlText(name), {}};
        int k = 0;  // the points follow each other over all segments
        for (int s = 1; s <= store.GetTrackSegmentCount(t); ++s) {
            track.segments.emplace_back();
            int first = -1;
            int last = -1;
            if (!store.FindSegmentRange(t, s, &first, &last))
                break;
            for (int n = 0; n < last - first + 1; ++n, ++k) {
                GpsPoint p;
                if (!store.GetTrackPoint(t, k, &p.latitude, &p.longitude, &p.altitude))
                    break;
                p.time =
                    static_cast<std::uint32_t>(store.GetTrackPointTime(t, k) - kUnixTimeOffset);
                track.segments.back().push_back(p);
            }
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

std::vector<GpsWaypoint> WaypointsForUpload(const TobrelFile& store) {
    std::vector<GpsWaypoint> waypoints;
    for (int i = 0;; ++i) {
        char ident[64] = {};
        char comment[64] = {};
        if (store.GetWaypointIdent(i, ident, sizeof ident) == nullptr)
            break;
        store.GetWaypointComment(i, comment, sizeof comment);
        GpsWaypoint w;
        w.name = ToControlText(ident);
        w.comment = ToControlText(comment);
        store.GetWaypointPosition(i, &w.latitude, &w.longitude, &w.altitude);
        w.proximity = store.GetWaypointDistance(i);
        w.symbol = static_cast<std::int16_t>(store.GetWaypointSymbol(i));
        w.display = static_cast<std::int16_t>(store.GetWaypointDisplay(i));
        waypoints.push_back(std::move(w));
    }
    return waypoints;
}

GpsRoute TrackAsRoute(const TobrelFile& store, int track, const RouteChoice& choice) {
    GpsRoute route;
    char name[64] = {};
    if (store.GetTrackName(track, name, sizeof name) == nullptr)
        return route;
    route.name = ToControlText(name);
    const int points = store.GetTrackPointCount(track);
    for (int k = 0; k < points; ++k) {
        GpsWaypoint w;
        if (!store.GetTrackPoint(track, k, &w.latitude, &w.longitude, &w.altitude))
            break;
        w.name = choice.prefix + std::to_string(k);
        w.comment = choice.name;
        w.symbol = static_cast<std::int16_t>(choice.symbol);
        w.display = kRouteWaypointDisplay;
        w.proximity = 0.0;
        route.waypoints.push_back(std::move(w));
    }
    return route;
}

void ReplaceTracks(TobrelFile& store, const std::vector<GpsTrack>& tracks, double axisDifference) {
    store.ClearTracks();
    if (tracks.empty() || !store.SetTrackCount(static_cast<int>(tracks.size())))
        return;
    for (int t = 0; t < static_cast<int>(tracks.size()); ++t) {
        const GpsTrack& track = tracks[static_cast<std::size_t>(t)];
        const std::string name =
            track.name.empty() ? "TRACK-" + std::to_string(t) : ToStoreText(track.name);
        store.SetTrackName(t, name.c_str());
        std::size_t count = 0;
        for (const auto& segment : track.segments)
            count += segment.size();
        store.SetTrackPointCount(t, static_cast<int>(count));
        store.SetTrackSegmentCount(t, static_cast<int>(track.segments.size()));
        int k = 0;
        for (std::size_t s = 0; s < track.segments.size(); ++s) {
            for (const GpsPoint& p : track.segments[s]) {
                store.SetTrackPoint(t, k, static_cast<int>(s) + 1, p.latitude, p.longitude,
                                    p.altitude);
                store.SetTrackPointTime(t, k, p.time);
                ++k;
            }
        }
        store.RecalcTrack(t, axisDifference);
    }
}

void ReplaceWaypoints(TobrelFile& store, const std::vector<GpsWaypoint>& waypoints) {
    store.ClearWaypoints();
    if (waypoints.empty() || !store.SetWaypointCount(static_cast<int>(waypoints.size())))
        return;
    for (int i = 0; i < static_cast<int>(waypoints.size()); ++i) {
        const GpsWaypoint& w = waypoints[static_cast<std::size_t>(i)];
        store.SetWaypoint(i, ToStoreText(w.name).c_str(), ToStoreText(w.comment).c_str(),
                          w.latitude, w.longitude, w.altitude, static_cast<float>(w.proximity),
                          static_cast<std::uint16_t>(w.symbol),
                          static_cast<std::uint16_t>(w.display));
    }
}

}  // namespace tobrel
