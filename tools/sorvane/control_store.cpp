#include "control_store.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "control/tsorvane.h"
#include "data/tobrel_file.h"
#include "link/device_records.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace sorvane_cli {

namespace {

using sorvane::cp932::FromUtf8;
using sorvane::cp932::ToUtf8;

std::string FieldText(const char* field, std::size_t size) {
    return ToUtf8(std::string_view(field, strnlen(field, size)));
}

std::string Shown(double value, std::string_view text) {
    return "\"" + (text.empty() ? sorvane::FormatShortest(value) : std::string(text)) + "\"";
}

bool Blank(std::string_view s) {
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// The problem of one waypoint of the store, or nullopt.
std::optional<std::string> WaypointProblem(sorvane::TSorvane& gps, const tobrel::WaypointData& w) {
    if (Blank(std::string_view(w.ident, strnlen(w.ident, sizeof w.ident))))
        return std::string("the name is empty");
    if (auto p = PositionProblem(gps, w.latitude, w.longitude))
        return p;
    if (auto p = FiniteProblem("altitude", w.altitude))
        return p;
    return FiniteProblem("proximity distance", w.distance);
}

}  // namespace

Position ForUpload(sorvane::TSorvane& gps, const Position& printed) {
    // A printed position lost its last digits and the receiver's altitude is
    // a float, so the position handed back is corrected until the control's
    // own conversion gives the receiver's position that was printed; an
    // upload then sends the very values downloaded.
    const bool noAltitude = printed.alt == kNoAltitude;
    const auto toLocal = [&](const Position& w) {
        Position l = w;
        gps.TransformDatumWGS84IntoLocal(w.lat, w.lon, w.alt, &l.lat, &l.lon, &l.alt);
        return l;
    };
    const auto toWgs84 = [&](const Position& l) {
        Position w = l;
        gps.TransformDatumLocalIntoWGS84(l.lat, l.lon, l.alt, &w.lat, &w.lon, &w.alt);
        return w;
    };
    // Each step shrinks the error by the ratio of the datum shift to the
    // earth's radius, so a few steps reach the last bit.
    constexpr int kSteps = 4;
    const auto step = [&](const Position& p, const Position& want, const Position& got) {
        return Position{p.lat + want.lat - got.lat, p.lon + want.lon - got.lon,
                        noAltitude ? kNoAltitude : p.alt + want.alt - got.alt};
    };
    Position wgs84 = toWgs84(printed);
    if (noAltitude)
        wgs84.alt = kNoAltitude;
    for (int i = 0; i < kSteps; ++i)
        wgs84 = step(wgs84, printed, toLocal(wgs84));
    // The receiver's position was whole wire units; the altitude's shift
    // depends on it, so the altitude is found again from that position.
    wgs84.lat = sorvane::PositionFromWire(sorvane::PositionToWire(wgs84.lat));
    wgs84.lon = sorvane::PositionFromWire(sorvane::PositionToWire(wgs84.lon));
    for (int i = 0; i < 2 && !noAltitude; ++i)
        wgs84.alt += printed.alt - toLocal(wgs84).alt;
    Position local = printed;
    for (int i = 0; i < kSteps; ++i)
        local = step(local, wgs84, toWgs84(local));
    // The last bits of latitude and longitude keep changing the altitude's
    // shift; with them held it is found exactly (0 going back as 0).
    for (int i = 0; i < 2 && !noAltitude; ++i)
        local.alt += wgs84.alt - toWgs84(local).alt;
    return local;
}

std::optional<std::string> PositionProblem(sorvane::TSorvane& gps, double lat, double lon,
                                           std::string_view latText, std::string_view lonText) {
    if (auto p = FiniteProblem("latitude", lat, latText))
        return p;
    if (auto p = FiniteProblem("longitude", lon, lonText))
        return p;
    // No datum moves a position by a degree of latitude; that far out the
    // conversion is not needed to tell.
    double wgsLat = lat;
    double wgsLon = lon;
    double height = 0;
    if (std::fabs(lat) <= 91.0 && std::fabs(lon) <= 360.0)
        gps.TransformDatumLocalIntoWGS84(lat, lon, 0.0, &wgsLat, &wgsLon, &height);
    const auto outside = [](const char* name, double typed, std::string_view text, double limit) {
        std::string m = std::string(name) + " " + Shown(typed, text) + " is outside " +
                        (limit == 90.0 ? "-90 to 90" : "-180 to 180");
        return std::fabs(typed) <= limit ? m + " in WGS 84" : m;
    };
    if (!(std::fabs(wgsLat) <= 90.0))
        return outside("latitude", lat, latText, 90.0);
    if (!(std::fabs(wgsLon) <= 180.0))
        return outside("longitude", lon, lonText, 180.0);
    return std::nullopt;
}

std::optional<std::string> FiniteProblem(const char* name, double value, std::string_view text) {
    if (std::isfinite(value))
        return std::nullopt;
    return std::string(name) + " " + Shown(value, text) + " is not a finite number";
}

int RecordCount(const tobrel::TobrelFile& store, Kind kind) {
    switch (kind) {
        case Kind::kTracks:
            return store.GetTrackCount();
        case Kind::kWaypoints:
            return store.GetWaypointCount();
        case Kind::kRoutes:
            return store.GetRouteCount();
    }
    return 0;
}

int RecordCount(sorvane::TSorvane& gps, Kind kind) {
    switch (kind) {
        case Kind::kTracks:
            return gps.GetTrackCount();
        case Kind::kWaypoints:
            return gps.GetWaypointCount();
        case Kind::kRoutes:
            return gps.GetRouteCount();
    }
    return 0;
}

bool CopyFromControl(sorvane::TSorvane& gps, Kind kind, tobrel::TobrelFile& store) {
    switch (kind) {
        case Kind::kWaypoints: {
            const int n = gps.GetWaypointCount();
            const int first = store.GetWaypointCount();
            if (n > 0 && store.AddWaypoints(n) != first)
                return false;
            for (int i = 0; i < n; ++i) {
                store.SetWaypoint(first + i, FromUtf8(gps.GetWaypointID(i)).c_str(),
                                  FromUtf8(gps.GetWaypointComment(i)).c_str(),
                                  gps.GetWaypointLatitude(i), gps.GetWaypointLongitude(i),
                                  gps.GetWaypointAltitude(i),
                                  static_cast<float>(gps.GetWaypointDst(i)),
                                  static_cast<std::uint16_t>(gps.GetWaypointSmbl(i)),
                                  static_cast<std::uint16_t>(gps.GetWaypointDspl(i)));
            }
            return true;
        }
        case Kind::kRoutes:
            for (int r = 0; r < gps.GetRouteCount(); ++r) {
                const int route = store.AppendRoute() - 1;
                if (route < 0)
                    return false;
                store.SetRouteName(route, FromUtf8(gps.GetRouteName(r)).c_str());
                for (int w = 0; w < gps.GetRouteWaypointCount(r); ++w) {
                    if (!store.InsertRouteWaypoint(
                            route, INT_MAX, FromUtf8(gps.GetRouteWaypointID(r, w)).c_str(),
                            FromUtf8(gps.GetRouteWaypointComment(r, w)).c_str(),
                            gps.GetRouteWaypointLatitude(r, w), gps.GetRouteWaypointLongitude(r, w),
                            gps.GetRouteWaypointAltitude(r, w),
                            static_cast<float>(gps.GetRouteWaypointDst(r, w)),
                            static_cast<std::uint16_t>(gps.GetRouteWaypointSmbl(r, w)),
                            static_cast<std::uint16_t>(gps.GetRouteWaypointDspl(r, w))))
                        return false;
                }
            }
            return true;
        case Kind::kTracks:
            for (int t = 0; t < gps.GetTrackCount(); ++t) {
                const int track = store.GetTrackCount();
                if (!store.AddTracks(1))
                    return false;
                store.SetTrackName(track, FromUtf8(gps.GetTrackName(t)).c_str());
                const int segments = gps.GetTrackSegmentCount(t);
                int points = 0;
                for (int s = 0; s < segments; ++s)
                    points += gps.GetTrackSegmentDataCount(t, s);
                if (points > 0 && !store.SetTrackPointCount(track, points))
                    return false;
                int k = 0;
                for (int s = 0; s < segments; ++s) {
                    for (int p = 0; p < gps.GetTrackSegmentDataCount(t, s); ++p, ++k) {
                        double lat = 0, lon = 0, alt = 0;
                        gps.GetTrackPosition(t, s, p, &lat, &lon, &alt);
                        store.SetTrackPoint(track, k, s + 1, lat, lon, alt);
                        store.SetTrackPointTime(
                            track, k, static_cast<std::uint32_t>(gps.GetTrackUnixTime(t, s, p)));
                    }
                }
                store.SetTrackSegmentCount(track, segments);
                store.RecalcTrack(track, gps.GetMapDatumDeltaA());
            }
            return true;
    }
    return false;
}

std::optional<std::string> CheckRecords(sorvane::TSorvane& gps, const tobrel::TobrelFile& store,
                                        Kind kind) {
    switch (kind) {
        case Kind::kWaypoints:
            for (int i = 0; i < store.GetWaypointCount(); ++i) {
                if (auto p = WaypointProblem(gps, *store.GetWaypointData(i)))
                    return "waypoint " + std::to_string(i + 1) + ": " + *p;
            }
            break;
        case Kind::kRoutes:
            for (int r = 0; r < store.GetRouteCount(); ++r) {
                const auto& points = store.GetRouteHeader(r)->pWaypointData;
                for (std::size_t i = 0; i < points.size(); ++i) {
                    if (auto p = WaypointProblem(gps, points[i]))
                        return "route " + std::to_string(r + 1) + ", waypoint " +
                               std::to_string(i + 1) + ": " + *p;
                }
            }
            break;
        case Kind::kTracks:
            for (int t = 0; t < store.GetTrackCount(); ++t) {
                const auto& points = store.GetTrackHeader(t)->pTrackData;
                for (std::size_t i = 0; i < points.size(); ++i) {
                    const tobrel::TrackData& d = points[i];
                    auto p = PositionProblem(gps, d.latitude, d.longitude);
                    if (!p)
                        p = FiniteProblem("altitude", d.altitude);
                    if (p)
                        return "track " + std::to_string(t + 1) + ", point " +
                               std::to_string(i + 1) + ": " + *p;
                }
            }
            break;
    }
    return std::nullopt;
}

bool CopyToControl(const tobrel::TobrelFile& store, Kind kind, bool correct,
                   sorvane::TSorvane& gps) {
    const auto place = [&](double lat, double lon, double alt) {
        const Position p{lat, lon, alt};
        return correct ? ForUpload(gps, p) : p;
    };
    const auto name = [](const tobrel::WaypointData& w) {
        return FieldText(w.ident, sizeof w.ident);
    };
    const auto comment = [](const tobrel::WaypointData& w) {
        return FieldText(w.comment, sizeof w.comment);
    };
    switch (kind) {
        case Kind::kWaypoints:
            for (int i = 0; i < store.GetWaypointCount(); ++i) {
                const tobrel::WaypointData& w = *store.GetWaypointData(i);
                const Position p = place(w.latitude, w.longitude, w.altitude);
                if (!gps.AddWaypoint(name(w), comment(w), p.lat, p.lon, p.alt,
                                     static_cast<std::int16_t>(w.symbol),
                                     static_cast<std::int16_t>(w.display), w.distance))
                    return false;
            }
            return true;
        case Kind::kRoutes:
            for (int r = 0; r < store.GetRouteCount(); ++r) {
                const tobrel::RouteHeader& h = *store.GetRouteHeader(r);
                if (!gps.AddRoute(FieldText(h.name, sizeof h.name)))
                    return false;
                const int route = gps.GetRouteCount() - 1;
                for (const tobrel::WaypointData& w : h.pWaypointData) {
                    const Position p = place(w.latitude, w.longitude, w.altitude);
                    if (!gps.AddRouteWaypoint(route, name(w), comment(w), p.lat, p.lon, p.alt,
                                              static_cast<std::int16_t>(w.symbol),
                                              static_cast<std::int16_t>(w.display), w.distance))
                        return false;
                }
            }
            return true;
        case Kind::kTracks:
            for (int t = 0; t < store.GetTrackCount(); ++t) {
                const tobrel::TrackHeader& h = *store.GetTrackHeader(t);
                if (!gps.AddTrack(FieldText(h.name, sizeof h.name)))
                    return false;
                const int track = gps.GetTrackCount() - 1;
                // Segment numbers count from 1; a point numbered below the
                // segment in hand stays in it.
                int segments = 0;
                const auto reach = [&](int wanted) {
                    for (; segments < wanted; ++segments) {
                        if (!gps.AddTrackSegment(track))
                            return false;
                    }
                    return true;
                };
                for (const tobrel::TrackData& d : h.pTrackData) {
                    if (!reach(std::max<int>(d.segment, std::max(segments, 1))))
                        return false;
                    const Position p = place(d.latitude, d.longitude, d.altitude);
                    if (!gps.AddTrackData(track, segments - 1, p.lat, p.lon, p.alt,
                                          static_cast<std::int32_t>(d.time)))
                        return false;
                }
                if (!reach(h.segmentCount))
                    return false;
            }
            return true;
    }
    return false;
}

}  // namespace sorvane_cli
