#include "data/map_server_script.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/angle_unit.h"
#include "data/ifstring.h"
#include "data/safe_file.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace tobrel {

const std::uint32_t kDefaultPalette[kDefaultPaletteSize] = {
    0x000000FF, 0x00FF0000, 0x00FF00FF, 0x00FFFF00, 0x00008080, 0x0000FF00, 0x0000FFFF, 0x00008000,
};

namespace {

// Writes through a sink; every line of the script ends with CR LF.
template <typename Sink>
class Printer {
  public:
    explicit Printer(Sink& sink) : sink_(sink) {}

    void Raw(std::string_view text) {
        if (ok_ && !sink_.Write(text.data(), text.size()))
            ok_ = false;
    }
    __attribute__((format(printf, 2, 3))) void Format(const char* format, ...) {
        char line[512];
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (n < 0) {
            ok_ = false;
            return;
        }
        if (static_cast<std::size_t>(n) < sizeof line) {
            Raw(std::string_view(line, static_cast<std::size_t>(n)));
            return;
        }
        std::vector<char> big(static_cast<std::size_t>(n) + 1);
        va_start(args, format);
        std::vsnprintf(big.data(), big.size(), format, args);
        va_end(args);
        Raw(std::string_view(big.data(), static_cast<std::size_t>(n)));
    }
    bool ok() const { return ok_; }

  private:
    Sink& sink_;
    bool ok_ = true;
};

// Text of a fixed field; the store keeps them terminated, this never relies on it.
std::string Field(const char* field, std::size_t size) {
    return std::string(field, strnlen(field, size));
}

template <typename Sink>
void Group(Printer<Sink>& p, int group, std::uint32_t colour, int lineWidth) {
    p.Format("group gid=\"%d\"\r\n", group);
    p.Raw("pointstyle = \"mark#0\"\r\n");
    p.Format("linergb = \"%d,%d,%d\"\r\n", static_cast<int>((colour >> 16) & 0xFF),
             static_cast<int>((colour >> 8) & 0xFF), static_cast<int>(colour & 0xFF));
    p.Format("linewidth= \"%d\"", lineWidth);
    p.Raw(";\r\n");
}

// Positions as "%9.6f" and "%10.6f" give them in the C locale, in any locale:
// the program runs under its user's, whose decimal separator may be a comma.
std::string Position(double latitude, int latitudeWidth, double longitude) {
    return sorvane::FormatFixed(latitude, 6, latitudeWidth) + "," +
           sorvane::FormatFixed(longitude, 6, 10);
}

template <typename Sink>
void PointLine(Printer<Sink>& p, double latitude, double longitude) {
    p.Raw(Position(latitude, 9, longitude) + ",\r\n");
}

template <typename Sink>
void TrackLines(Printer<Sink>& p, const TrackHeader& track, int group) {
    const std::string name = Field(track.name, sizeof track.name);
    const std::vector<TrackData>& pts = track.pTrackData;
    // First and last index of every segment number in one pass. Segments
    // above the highest number any point carries have no points, however
    // large the track's segment count claims to be.
    int highest = 0;
    for (const TrackData& d : pts)
        highest = std::max<int>(highest, d.segment);
    const int segments = std::min(track.segmentCount, highest);
    if (segments < 1)
        return;
    std::vector<std::array<int, 2>> range(static_cast<std::size_t>(segments) + 1, {-1, -1});
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const int s = pts[i].segment;
        if (s < 1 || s > segments)
            continue;
        if (range[s][0] < 0)
            range[s][0] = static_cast<int>(i);
        range[s][1] = static_cast<int>(i);
    }
    for (int s = 1; s <= segments; ++s) {
        const int first = range[s][0];
        const int last = range[s][1];
        if (first < 0 || first == last)
            continue;
        p.Format("line\tgid=\"%d\"\r\n", group);
        p.Raw("pos=\">\r\n");
        int lines = 0;
        int part = 0;
        for (int i = first; i <= last && p.ok(); ++i) {
            // Cut before the next point rather than after the 1500th, so that a
            // segment of exactly 1500 points gives no one-point statement.
            if (lines == kScriptPointsPerLine) {
                ++part;
                p.Raw("\"\r\n");
                p.Format("str=\"-%s:%d-(%d)\"", name.c_str(), s, kScriptPointsPerLine * part);
                p.Raw(";\r\n\r\n");
                p.Format("line\tgid=\"%d\"\r\n", group);
                p.Raw("pos=\">\r\n");
                PointLine(p, pts[i - 1].latitude, pts[i - 1].longitude);
                lines = 0;
            }
            PointLine(p, pts[i].latitude, pts[i].longitude);
            ++lines;
        }
        p.Raw("\"\r\n");
        p.Format("str=\"-%s:%d-(%d)\"", name.c_str(), s, last - first + 1);
        p.Raw(";\r\n\r\n");
    }
}

template <typename Sink>
bool Emit(const TobrelFile& store, Sink& sink, bool withTracks, bool withWaypoints, bool withRoutes,
          const std::uint32_t* palette, int paletteSize, int lineWidth) {
    if (palette == nullptr) {
        palette = kDefaultPalette;
        paletteSize = kDefaultPaletteSize;
    }
    if (paletteSize < 1)
        return false;
    auto colour = [&](int group) { return palette[group % paletteSize]; };

    Printer<Sink> p(sink);
    p.Raw("mapserver script ver=\"1.0\";\r\n");
    if (withTracks) {
        for (int t = 0; t < store.GetTrackCount() && p.ok(); ++t) {
            Group(p, t, colour(t), lineWidth);
            TrackLines(p, *store.GetTrackHeader(t), t);
        }
    }
    if (withWaypoints) {
        p.Raw("group gid=\"999\"\r\n");
        p.Raw("pointstyle = \"mark#0\"\r\n");
        p.Raw(";\r\n");
        for (int i = 0; i < store.GetWaypointCount() && p.ok(); ++i) {
            const WaypointData& w = *store.GetWaypointData(i);
            p.Raw("point\tgid=\"999\"\t");
            p.Raw("\r\npos=\"" + Position(w.latitude, 9, w.longitude) + "\"");
            p.Format("\r\nstr=\"%s\"", Field(w.ident, sizeof w.ident).c_str());
            p.Raw(";\r\n");
        }
    }
    if (withRoutes) {
        const int routes = store.GetRouteCount();
        for (int r = 0; r < routes && p.ok(); ++r)
            Group(p, r, colour(r), lineWidth);
        for (int r = 0; r < routes && p.ok(); ++r) {
            for (const WaypointData& w : store.GetRouteHeader(r)->pWaypointData) {
                p.Raw("point \t");
                p.Raw("\r\npos=\"" + Position(w.latitude, 10, w.longitude) + "\"");
                p.Format("\r\nstr=\"%s\"", Field(w.ident, sizeof w.ident).c_str());
                p.Raw(";\r\n");
            }
        }
        for (int r = 0; r < routes && p.ok(); ++r) {
            const RouteHeader& route = *store.GetRouteHeader(r);
            p.Format("line\tgid=\"%d\"\r\n", r);
            p.Raw("pos=\"\r\n");
            for (const WaypointData& w : route.pWaypointData)
                PointLine(p, w.latitude, w.longitude);
            p.Raw("\"\r\n");
            p.Format("str=\"-%s-\"", Field(route.name, sizeof route.name).c_str());
            p.Raw(";\r\n\r\n");
        }
    }
    p.Raw("mapserver end;\r\n");
    return p.ok();
}

class StringWriter {
  public:
    explicit StringWriter(std::string& out) : out_(out) {}
    bool Write(const void* data, std::size_t size) {
        try {
            out_.append(static_cast<const char*>(data), size);
        } catch (const std::exception&) {
            return false;
        }
        return true;
    }

  private:
    std::string& out_;
};

// The value of attribute key ("pos" or "str"): the key must start before the
// last tail bytes of the buffer, and its opening quote lies before quoteEnd.
std::string_view AttributeValue(std::string_view buf, std::string_view key, std::size_t tail,
                                std::size_t quoteEnd) {
    const std::size_t n = buf.size();
    if (n <= tail)
        return {};
    std::size_t p = 0;
    for (; p < n - tail; ++p) {
        if (buf.compare(p, key.size(), key) == 0)
            break;
    }
    if (p >= n - tail)
        return {};
    std::size_t q = p + key.size() + 1;
    while (q < quoteEnd && buf[q] != '"')
        ++q;
    if (q >= quoteEnd)
        return {};
    const std::size_t start = q + 1;
    std::size_t end = buf.find('"', start);
    if (end == std::string_view::npos)
        end = n;
    return buf.substr(start, end - start);
}

void AddTrack(TobrelFile& store, const MapServerStatement& st) {
    const int t = store.GetTrackCount();
    if (!store.AddTracks(1))
        return;
    store.SetTrackName(t, st.str);
    ifstring tokens(st.pos, ",");
    const int n = tokens.TokenCount() / 2;
    if (n > 0 && store.SetTrackPointCount(t, n)) {
        for (int i = 0; i < n; ++i) {
            const double latitude = ParseAngle(tokens.NextToken(false));
            const double longitude = ParseAngle(tokens.NextToken(false));
            store.SetTrackPoint(t, i, 1, latitude, longitude, 0.0);
        }
    }
    store.SetTrackSegmentCount(t, 1);
    store.RecalcTrack(t, 0.0);
}

void AddWaypoint(TobrelFile& store, const MapServerStatement& st) {
    const int before = store.GetWaypointCount();
    const int w = store.AddWaypoints(1);
    if (store.GetWaypointCount() != before + 1)
        return;
    ifstring tokens(st.pos, ",");
    const double latitude = ParseAngle(tokens.NextToken(false));
    const double longitude = ParseAngle(tokens.NextToken(false));
    store.SetWaypoint(w, st.str, "", latitude, longitude, 0.0, 0.0f, kScriptWaypointSymbol, 0);
}

}  // namespace

bool EncodeMapServerScript(const TobrelFile& store, std::string& out, bool withTracks,
                           bool withWaypoints, bool withRoutes, const std::uint32_t* palette,
                           int paletteSize, int lineWidth) {
    out.clear();
    StringWriter sink(out);
    return Emit(store, sink, withTracks, withWaypoints, withRoutes, palette, paletteSize,
                lineWidth);
}

bool WriteMapServerScript(const TobrelFile& store, const std::string& path, bool withTracks,
                          bool withWaypoints, bool withRoutes, const std::uint32_t* palette,
                          int paletteSize, int lineWidth) {
    if (palette != nullptr && paletteSize < 1)
        return false;
    SafeFileWriter file;
    if (!file.Open(path))
        return false;
    if (!Emit(store, file, withTracks, withWaypoints, withRoutes, palette, paletteSize, lineWidth))
        return false;
    return file.Commit();
}

std::string JoinStatementLines(std::string_view statement) {
    std::string buf;
    bool inQuotes = false;
    std::size_t lineStart = 0;
    while (lineStart <= statement.size()) {
        std::size_t lineEnd = statement.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = statement.size();
        const std::string_view line = statement.substr(lineStart, lineEnd - lineStart);
        const std::size_t n = line.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char b = line[i];
            // A double-byte character is copied whole: its second byte may be
            // a backslash, which must not escape what follows.
            if (sorvane::cp932::IsDoubleByteAt(line, i)) {
                buf.append(line.substr(i, 2));
                ++i;
                continue;
            }
            if (b == '"') {
                inQuotes = !inQuotes;
                buf.push_back(b);
                continue;
            }
            if (inQuotes) {
                buf.push_back(b);
                if (b == '\\' && i + 1 < n)
                    buf.push_back(line[++i]);
                continue;
            }
            if (b == '\r' || b == '\n')
                continue;
            if (b == '/' && i + 1 < n && line[i + 1] == '/') {
                if (!buf.empty())
                    buf.push_back(' ');
                break;
            }
            if (b == ' ' || b == '\t') {
                if (i + 1 == n)
                    buf.push_back(b);
                else if (!buf.empty() && buf.back() != ' ')
                    buf.push_back(' ');
                continue;
            }
            buf.push_back(b);
        }
        if (lineEnd == statement.size())
            break;
        lineStart = lineEnd + 1;
    }
    return buf;
}

MapServerStatement ParseMapServerStatement(std::string_view statement) {
    MapServerStatement st;
    const std::string buf = JoinStatementLines(statement);
    const std::string_view view(buf);
    if (view.starts_with("point"))
        st.kind = MapServerStatement::Kind::kPoint;
    else if (view.starts_with("line"))
        st.kind = MapServerStatement::Kind::kLine;
    else
        return st;
    const std::size_t n = view.size();
    st.pos = std::string(AttributeValue(view, "pos", 10, n > 10 ? n - 10 : 0));
    // The label's quote may lie anywhere before the end: short labels such as
    // a three-letter identifier sit within the last few bytes.
    const std::string_view label = AttributeValue(view, "str", 6, n);
    const std::size_t len = sorvane::cp932::FitLength(label, kScriptLabelMax);
    if (len > 0)
        std::memcpy(st.str, label.data(), len);
    return st;
}

void ReadMapServerScriptText(TobrelFile& store, std::string_view text, int mode) {
    if (mode != kReadLines && mode != kReadPoints)
        return;
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    ifstring statements(text, ";");
    while (const char* s = statements.NextToken(false)) {
        const MapServerStatement st = ParseMapServerStatement(s);
        if (mode == kReadLines && st.kind == MapServerStatement::Kind::kLine)
            AddTrack(store, st);
        else if (mode == kReadPoints && st.kind == MapServerStatement::Kind::kPoint)
            AddWaypoint(store, st);
    }
}

bool ReadMapServerScript(TobrelFile& store, const std::string& path, int mode) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    ReadMapServerScriptText(
        store, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mode);
    return true;
}

}  // namespace tobrel
