// GPX writing: the whole store as one GPX 1.1 document that validates against
// the schema. Positions carry the shortest digits that read back as the same
// double, so a download written and read again gives the receiver the same
// wire values.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <string_view>

#include "data/gpx_fields.h"
#include "data/gpx_file.h"
#include "data/safe_file.h"

namespace tobrel {

namespace {

constexpr std::size_t kFlushAt = 1 << 20;
constexpr int kMaxSegments = 32767;  // what a point's segment number can hold

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"TobrelPA\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
    "http://www.topografix.com/GPX/1/1/gpx.xsd\" xmlns:tobrel=\"";

std::string_view FieldText(const char* field, std::size_t size) {
    return std::string_view(field, strnlen(field, size));
}

// A longitude in -180 (inclusive) to 180 (exclusive), as the schema wants it.
double WrapLongitude(double lon) {
    if (lon >= -180.0 && lon < 180.0)
        return lon;
    lon = std::fmod(lon + 180.0, 360.0);
    if (lon < 0)
        lon += 360.0;
    return lon - 180.0;
}

template <typename Sink>
class GpxEmitter {
  public:
    GpxEmitter(const GpxOptions& options, GpxReport& report, Sink& sink)
        : report_(report),
          datum_(options.datum),
          table_(gpx::SymbolTableFor(options.symbolTable)),
          sink_(sink) {
        report_ = GpxReport{};
        buf_.reserve(kFlushAt + 4096);
    }

    bool Run(const TobrelFile& store) {
        Put(kHeader);
        Put(kGpxExtensionNamespace);
        Put("\">\n  <metadata>\n    <extensions>\n      <tobrel:timeZoneBias>");
        Put(std::to_string(store.TimeZoneBias()));
        Put("</tobrel:timeZoneBias>\n    </extensions>\n  </metadata>\n");
        for (int i = 0; i < store.GetWaypointCount() && ok_; ++i) {
            if (Waypoint(*store.GetWaypointData(i), "wpt", "  "))
                ++report_.waypoints;
        }
        for (int r = 0; r < store.GetRouteCount() && ok_; ++r)
            Route(*store.GetRouteHeader(r));
        for (int t = 0; t < store.GetTrackCount() && ok_; ++t)
            Track(*store.GetTrackHeader(t));
        Put("</gpx>\n");
        return Flush() && ok_;
    }

  private:
    void Put(std::string_view s) { buf_.append(s); }
    void Put(const char* begin, const char* end) {
        buf_.append(begin, static_cast<std::size_t>(end - begin));
    }
    void Text(std::string_view cp932) {
        report_.replacedCharacters += text_.AppendXml(cp932, buf_);
    }
    void Element(std::string_view indent, std::string_view name, std::string_view cp932) {
        Put(indent);
        Put("<");
        Put(name);
        Put(">");
        Text(cp932);
        Put("</");
        Put(name);
        Put(">\n");
    }
    bool Flush() {
        if (ok_ && !buf_.empty())
            ok_ = sink_.Write(buf_.data(), buf_.size());
        buf_.clear();
        return ok_;
    }
    void MaybeFlush() {
        if (buf_.size() >= kFlushAt)
            Flush();
    }

    // The position in WGS 84 as attribute text, with the elevation when there
    // is one; false when the position cannot be written.
    bool Position(double lat, double lon, double altitude, char*& out, char*& ele, char*& eleEnd) {
        const bool hasAltitude = gpx::HasAltitude(altitude);
        float elevation = static_cast<float>(altitude);
        if (std::isfinite(lat) && std::isfinite(lon) && !datum_.IsIdentity()) {
            const auto g = datum_.ToWgs84({lat, lon, altitude}, hasAltitude, &hint_);
            lat = g ? g->latitude : NAN;
            lon = g ? g->longitude : NAN;
            elevation = g ? static_cast<float>(g->height) : 0.0f;
        }
        // A local datum can hold a pole a hair beyond 90 degrees.
        if (!std::isfinite(lat) || !std::isfinite(lon) ||
            std::fabs(lat) > (datum_.IsIdentity() ? 90.0 : 90.01)) {
            ++report_.skippedPoints;
            return false;
        }
        out = gpx::FormatDecimal(out, std::clamp(lat, -90.0, 90.0));
        std::memcpy(out, "\" lon=\"", 7);
        out = gpx::FormatDecimal(out + 7, WrapLongitude(lon));
        *out++ = '"';
        ele = eleEnd = eleText_;
        if (hasAltitude)
            eleEnd = gpx::FormatDecimal(eleText_, elevation);
        return true;
    }

    bool Waypoint(const WaypointData& w, std::string_view tag, std::string_view indent) {
        char* p = line_;
        char* ele = nullptr;
        char* eleEnd = nullptr;
        if (!Position(w.latitude, w.longitude, w.altitude, p, ele, eleEnd))
            return false;
        const std::string inner = std::string(indent) + "  ";
        Put(indent);
        Put("<");
        Put(tag);
        Put(" lat=\"");
        Put(line_, p);
        Put(">\n");
        if (ele != eleEnd) {
            Put(inner);
            Put("<ele>");
            Put(ele, eleEnd);
            Put("</ele>\n");
        }
        const std::string_view ident = FieldText(w.ident, sizeof w.ident);
        const std::string_view comment = FieldText(w.comment, sizeof w.comment);
        if (!ident.empty())
            Element(inner, "name", ident);
        if (!comment.empty())
            Element(inner, "cmt", comment);
        // A number without a name in the table goes into the extension alone.
        const char* symbol = gpx::SymbolName(table_, w.symbol);
        if (symbol != nullptr)
            Element(inner, "sym", symbol);
        if (w.distance != 0 || w.display != 0 || symbol == nullptr) {
            Put(inner);
            Put("<extensions>\n");
            const std::string deeper = inner + "  ";
            char number[gpx::kDecimalRoom];
            if (w.distance != 0 && std::isfinite(w.distance)) {
                Put(deeper);
                Put("<tobrel:proximity>");
                Put(number, gpx::FormatDecimal(number, w.distance));
                Put("</tobrel:proximity>\n");
            }
            if (w.display != 0) {
                Put(deeper);
                Put("<tobrel:display>" + std::to_string(w.display) + "</tobrel:display>\n");
            }
            if (symbol == nullptr) {
                Put(deeper);
                Put("<tobrel:symbol>" + std::to_string(w.symbol) + "</tobrel:symbol>\n");
            }
            Put(inner);
            Put("</extensions>\n");
        }
        Put(indent);
        Put("</");
        Put(tag);
        Put(">\n");
        MaybeFlush();
        return true;
    }

    void Route(const RouteHeader& r) {
        Put("  <rte>\n");
        const std::string_view name = FieldText(r.name, sizeof r.name);
        if (!name.empty())
            Element("    ", "name", name);
        for (const WaypointData& w : r.pWaypointData) {
            if (Waypoint(w, "rtept", "    "))
                ++report_.routePoints;
        }
        Put("  </rte>\n");
        ++report_.routes;
    }

    void TrackPoint(const TrackData& p) {
        char* out = line_;
        static constexpr std::string_view kOpen = "      <trkpt lat=\"";
        std::memcpy(out, kOpen.data(), kOpen.size());
        out += kOpen.size();
        char* ele = nullptr;
        char* eleEnd = nullptr;
        if (!Position(p.latitude, p.longitude, p.altitude, out, ele, eleEnd))
            return;
        *out++ = '>';
        if (ele != eleEnd) {
            std::memcpy(out, "<ele>", 5);
            out += 5;
            std::memcpy(out, ele, static_cast<std::size_t>(eleEnd - ele));
            out += eleEnd - ele;
            std::memcpy(out, "</ele>", 6);
            out += 6;
        }
        if (p.time != 0) {
            std::memcpy(out, "<time>", 6);
            gpx::FormatDateTime(std::int64_t{p.time} + kUnixTimeOffset, out + 6);
            out += 6 + gpx::kDateTimeLength;
            std::memcpy(out, "</time>", 7);
            out += 7;
        }
        std::memcpy(out, "</trkpt>\n", 9);
        out += 9;
        Put(line_, out);
        ++report_.trackPoints;
    }

    // Consecutive points with one segment number form a segment. Segments
    // that have no points are written empty, so that numbers and the count
    // read back as they are.
    void Track(const TrackHeader& t) {
        Put("  <trk>\n");
        const std::string_view name = FieldText(t.name, sizeof t.name);
        if (!name.empty())
            Element("    ", "name", name);
        int written = 0;
        const auto emptySegmentsUpTo = [&](int count) {
            for (; written < std::min(count, kMaxSegments); ++written)
                Put("    <trkseg/>\n");
        };
        const std::vector<TrackData>& points = t.pTrackData;
        for (std::size_t i = 0; i < points.size() && ok_;) {
            const int segment = points[i].segment;
            emptySegmentsUpTo(segment - 1);
            Put("    <trkseg>\n");
            for (; i < points.size() && points[i].segment == segment; ++i) {
                TrackPoint(points[i]);
                MaybeFlush();
            }
            Put("    </trkseg>\n");
            ++written;
        }
        emptySegmentsUpTo(t.segmentCount);
        Put("  </trk>\n");
        ++report_.tracks;
    }

    GpxReport& report_;
    gpx::DatumConversion datum_;
    gpx::DatumConversion::Hint hint_;
    gpx::TextConverter text_;
    int table_;
    Sink& sink_;
    std::string buf_;
    bool ok_ = true;
    // One track point's line: three numbers of at most kDecimalRoom bytes and
    // the markup around them.
    char line_[3 * gpx::kDecimalRoom + 128];
    char eleText_[gpx::kDecimalRoom];
};

class StringSink {
  public:
    explicit StringSink(std::string& out) : out_(out) {}
    bool Write(const void* data, std::size_t size) {
        out_.append(static_cast<const char*>(data), size);
        return true;
    }

  private:
    std::string& out_;
};

}  // namespace

bool EncodeGpx(const TobrelFile& store, const GpxOptions& options, std::string& out,
               GpxReport* report) {
    GpxReport local;
    out.clear();
    try {
        StringSink sink(out);
        GpxEmitter<StringSink> emitter(options, report != nullptr ? *report : local, sink);
        return emitter.Run(store);
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}

GpxResult WriteGpx(const std::string& path, const TobrelFile& store, const GpxOptions& options,
                   GpxReport* report) {
    if (report != nullptr)
        *report = GpxReport{};
    GpxResult result;
    const auto failed = [&result](const char* what) {
        result.status = GpxStatus::kCannotWrite;
        result.message = std::string(what) + std::strerror(errno);
        return result;
    };
    GpxReport local;
    SafeFileWriter file;
    if (!file.Open(path))
        return failed("cannot create the file: ");
    try {
        GpxEmitter<SafeFileWriter> emitter(options, report != nullptr ? *report : local, file);
        if (!emitter.Run(store))
            return failed("cannot write the file: ");
    } catch (const std::bad_alloc&) {
        result.status = GpxStatus::kNoMemory;
        result.message = "out of memory";
        return result;
    }
    if (!file.Commit())
        return failed("cannot write the file: ");
    return result;
}

}  // namespace tobrel
