#include "tab_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "control/tsorvane.h"
#include "control_store.h"
#include "data/gpx_fields.h"
#include "text/numbers.h"
#include "text/record_limits.h"

namespace sorvane_cli {

namespace {

using sorvane::FormatFixed;

constexpr const char* kWaypointFields =
    "W, name, comment, latitude, longitude, altitude, symbol, display and proximity";

// An altitude or a distance: the shortest digits that give back the float
// the receiver sent (as a float), or, converted into a local datum where it
// is no float, the double the control handed out.
std::string Measure(double v) {
    if (std::fabs(v) <= std::numeric_limits<float>::max() &&
        static_cast<double>(static_cast<float>(v)) == v) {
        char text[64];
        const auto r = std::to_chars(text, text + sizeof text, static_cast<float>(v));
        return std::string(text, r.ptr);
    }
    return sorvane::FormatShortest(v);
}

std::string Quoted(std::string_view text) {
    constexpr std::size_t kShown = 40;
    return "\"" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "...\"" : "\"");
}

void AppendWaypoint(std::string& out, const char* tag, const std::string& name,
                    const std::string& comment, double lat, double lon, double alt, int symbol,
                    int display, double dst) {
    out += tag;
    for (const std::string& field :
         {name, comment, FormatFixed(lat, 9), FormatFixed(lon, 9), Measure(alt),
          std::to_string(symbol), std::to_string(display), Measure(dst)}) {
        out += '\t';
        out += field;
    }
    out += '\n';
}

// The ISO 8601 form of receiver seconds; empty for 0, the receivers' "no time".
std::string IsoTime(std::uint32_t seconds) {
    if (seconds == 0)
        return {};
    char text[tobrel::gpx::kDateTimeLength];
    tobrel::gpx::FormatDateTime(std::int64_t{seconds} + sorvane::kReceiverEpochUnixTime, text);
    return std::string(text, sizeof text);
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// Reads one line's fields, naming the field of any value it cannot take.
class FieldReader {
  public:
    explicit FieldReader(std::optional<std::string>& problem) : problem_(problem) {}

    bool Number(std::string_view text, const char* name, double* out) {
        if (!sorvane::ParseDecimal(text, out)) {
            std::string dotted(text);
            for (char& c : dotted)
                c = c == ',' ? '.' : c;
            double ignored = 0;
            if (text.find(',') != std::string_view::npos && sorvane::ParseDecimal(dotted, &ignored))
                return Fail(std::string(name) + " " + Quoted(text) +
                            " has a decimal comma; write " + dotted);
            return Fail(std::string(name) + " " + Quoted(text) + " is not a number");
        }
        return true;
    }
    // Latitude and longitude, checked as the receiver would get them.
    bool Place(sorvane::TSorvane& gps, std::string_view latText, std::string_view lonText,
               Position* out) {
        if (!Number(latText, "latitude", &out->lat) || !Number(lonText, "longitude", &out->lon))
            return false;
        if (auto p = PositionProblem(gps, out->lat, out->lon, latText, lonText))
            return Fail(*p);
        return true;
    }
    bool Finite(std::string_view text, const char* name, double* out) {
        if (!Number(text, name, out))
            return false;
        if (auto p = FiniteProblem(name, *out, text))
            return Fail(*p);
        return true;
    }
    bool Whole(std::string_view text, const char* name, long long low, long long high,
               long long* out) {
        const char* end = text.data() + text.size();
        const auto r = std::from_chars(text.data(), end, *out);
        if (text.empty() || r.ec != std::errc() || r.ptr != end || *out < low || *out > high)
            return Fail(std::string(name) + " " + Quoted(text) + " is not a whole number from " +
                        std::to_string(low) + " to " + std::to_string(high));
        return true;
    }
    // Receiver seconds, the ISO 8601 time, or both when they agree.
    bool Time(std::string_view seconds, std::string_view iso, std::uint32_t* out) {
        std::optional<std::uint32_t> fromSeconds;
        std::optional<std::uint32_t> fromIso;
        if (!seconds.empty()) {
            long long v = 0;
            if (!Whole(seconds, "receiver seconds", 0, 0xFFFFFFFFLL, &v))
                return false;
            fromSeconds = static_cast<std::uint32_t>(v);
        }
        if (!iso.empty()) {
            const auto unix = tobrel::gpx::ParseDateTime(iso);
            if (!unix)
                return Fail("time " + Quoted(iso) + " is not an ISO 8601 date and time");
            fromIso = tobrel::gpx::StoreTimeOf(*unix);
            if (!fromIso)
                return Fail("time " + Quoted(iso) +
                            " is outside what a receiver holds (1989-12-31 to 2126-02-06)");
        }
        if (fromSeconds && fromIso && *fromSeconds != *fromIso)
            return Fail("receiver seconds " + std::string(seconds) + " and time " + Quoted(iso) +
                        " do not agree");
        *out = fromSeconds.value_or(fromIso.value_or(0));
        return true;
    }
    bool Fail(std::string message) {
        problem_ = std::move(message);
        return false;
    }

  private:
    std::optional<std::string>& problem_;
};

struct WaypointFields {
    std::string name, comment;
    Position at;
    double dst = 0;
    std::int16_t symbol = 0, display = 0;
};

bool ReadWaypoint(sorvane::TSorvane& gps, FieldReader& r, const std::vector<std::string_view>& f,
                  const char* what, WaypointFields* w) {
    if (f.size() != 9)
        return r.Fail(std::string(what) + " line has " + std::to_string(f.size()) +
                      " fields; it takes 9: " + kWaypointFields);
    if (f[1].find_first_not_of(' ') == std::string_view::npos)
        return r.Fail(std::string(what) + " without a name");
    long long symbol = 0, display = 0;
    if (!r.Place(gps, f[3], f[4], &w->at) || !r.Finite(f[5], "altitude", &w->at.alt) ||
        !r.Whole(f[6], "symbol", -32768, 65535, &symbol) ||
        !r.Whole(f[7], "display", -32768, 65535, &display) || !r.Finite(f[8], "proximity", &w->dst))
        return false;
    w->name = f[1];
    w->comment = f[2];
    w->symbol = static_cast<std::int16_t>(symbol);
    w->display = static_cast<std::int16_t>(display);
    return true;
}

}  // namespace

void AppendTabRecords(sorvane::TSorvane& gps, Kind kind, std::string& out) {
    out += "# " + std::to_string(RecordCount(gps, kind)) + " " + KindName(kind) + ", datum " +
           gps.GetDatumName() + "\n";
    switch (kind) {
        case Kind::kWaypoints:
            for (int i = 0; i < gps.GetWaypointCount(); ++i) {
                AppendWaypoint(out, "W", gps.GetWaypointID(i), gps.GetWaypointComment(i),
                               gps.GetWaypointLatitude(i), gps.GetWaypointLongitude(i),
                               gps.GetWaypointAltitude(i), gps.GetWaypointSmbl(i),
                               gps.GetWaypointDspl(i), gps.GetWaypointDst(i));
            }
            return;
        case Kind::kRoutes:
            for (int r = 0; r < gps.GetRouteCount(); ++r) {
                out += "R\t" + gps.GetRouteName(r) + "\n";
                for (int w = 0; w < gps.GetRouteWaypointCount(r); ++w) {
                    AppendWaypoint(
                        out, "RW", gps.GetRouteWaypointID(r, w), gps.GetRouteWaypointComment(r, w),
                        gps.GetRouteWaypointLatitude(r, w), gps.GetRouteWaypointLongitude(r, w),
                        gps.GetRouteWaypointAltitude(r, w), gps.GetRouteWaypointSmbl(r, w),
                        gps.GetRouteWaypointDspl(r, w), gps.GetRouteWaypointDst(r, w));
                }
            }
            return;
        case Kind::kTracks:
            for (int t = 0; t < gps.GetTrackCount(); ++t) {
                out += "T\t" + gps.GetTrackName(t) + "\n";
                for (int s = 0; s < gps.GetTrackSegmentCount(t); ++s) {
                    out += "S\n";
                    for (int p = 0; p < gps.GetTrackSegmentDataCount(t, s); ++p) {
                        double lat = 0, lon = 0, alt = 0;
                        gps.GetTrackPosition(t, s, p, &lat, &lon, &alt);
                        const auto time = static_cast<std::uint32_t>(gps.GetTrackUnixTime(t, s, p));
                        out += "P\t" + FormatFixed(lat, 9) + "\t" + FormatFixed(lon, 9) + "\t" +
                               Measure(alt) + "\t" + std::to_string(time) + "\t" + IsoTime(time) +
                               "\n";
                    }
                }
            }
            return;
    }
}

std::optional<LineProblem> LoadTabRecords(std::string_view text, Kind kind, sorvane::TSorvane& gps,
                                          int* count) {
    *count = 0;
    long lineNo = 0;
    std::optional<std::string> problem;
    FieldReader r(problem);
    const auto bad = [&]() { return LineProblem{lineNo, problem.value_or("")}; };
    const auto fail = [&](std::string message) { return LineProblem{lineNo, std::move(message)}; };
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const std::vector<std::string_view> f = SplitTabs(line);
        const std::string_view tag = f[0];
        const bool known =
            tag == "W" || tag == "T" || tag == "S" || tag == "P" || tag == "R" || tag == "RW";
        if (!known)
            return fail("unknown record " + Quoted(tag) +
                        "; a line starts with W, T, S, P, R or RW and a tab");
        const int tracks = gps.GetTrackCount();
        const int routes = gps.GetRouteCount();
        if (kind == Kind::kWaypoints && tag == "W") {
            WaypointFields w;
            if (!ReadWaypoint(gps, r, f, "a waypoint", &w))
                return bad();
            const Position p = ForUpload(gps, w.at);
            if (!gps.AddWaypoint(w.name, w.comment, p.lat, p.lon, p.alt, w.symbol, w.display,
                                 w.dst))
                return fail("the control did not take the waypoint");
            ++*count;
        } else if (kind == Kind::kTracks && tag == "T") {
            if (f.size() != 2)
                return fail("a track line is T, a tab and the name");
            if (!gps.AddTrack(std::string(f[1])))
                return fail("the control did not take the track");
            ++*count;
        } else if (kind == Kind::kTracks && tag == "S") {
            if (tracks == 0)
                return fail("a segment line needs a track line (T) before it");
            if (!gps.AddTrackSegment(tracks - 1))
                return fail("the control did not take the segment");
        } else if (kind == Kind::kTracks && tag == "P") {
            if (f.size() != 5 && f.size() != 6)
                return fail("a point line has " + std::to_string(f.size()) +
                            " fields; it takes P, latitude, longitude, altitude, seconds and "
                            "time");
            Position at;
            std::uint32_t time = 0;
            if (!r.Place(gps, f[1], f[2], &at) || !r.Finite(f[3], "altitude", &at.alt) ||
                !r.Time(f[4], f.size() == 6 ? f[5] : std::string_view(), &time))
                return bad();
            if (tracks == 0)
                return fail("a point line needs a track line (T) before it");
            // A point straight after its track line starts the first segment.
            if (gps.GetTrackSegmentCount(tracks - 1) == 0 && !gps.AddTrackSegment(tracks - 1))
                return fail("the control did not take the segment");
            const Position p = ForUpload(gps, at);
            if (!gps.AddTrackData(tracks - 1, gps.GetTrackSegmentCount(tracks - 1) - 1, p.lat,
                                  p.lon, p.alt, static_cast<std::int32_t>(time)))
                return fail("the control did not take the point");
        } else if (kind == Kind::kRoutes && tag == "R") {
            if (f.size() != 2)
                return fail("a route line is R, a tab and the name");
            if (!gps.AddRoute(std::string(f[1])))
                return fail("the control did not take the route");
            ++*count;
        } else if (kind == Kind::kRoutes && tag == "RW") {
            WaypointFields w;
            if (!ReadWaypoint(gps, r, f, "a route waypoint", &w))
                return bad();
            if (routes == 0)
                return fail("a route waypoint needs a route line (R) before it");
            const Position p = ForUpload(gps, w.at);
            if (!gps.AddRouteWaypoint(routes - 1, w.name, w.comment, p.lat, p.lon, p.alt, w.symbol,
                                      w.display, w.dst))
                return fail("the control did not take the route waypoint");
        }
        // Records of the other kinds are skipped, so one file can hold them all.
    }
    return std::nullopt;
}

}  // namespace sorvane_cli
