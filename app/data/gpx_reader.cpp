// GPX reading with expat: a streaming parser, so memory follows the store
// being built rather than the file (a document tree of the benchmark file
// took eleven times the store's size; see bench/app/data/gpx_parser_compare.cpp).
#include <expat.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "data/gpx_fields.h"
#include "data/gpx_file.h"
#include "geodesy/waypoint_symbols.h"
#include "text/cp932.h"

namespace tobrel {

namespace {

constexpr std::string_view kGpx11 = "http://www.topografix.com/GPX/1/1";
constexpr std::string_view kGpx10 = "http://www.topografix.com/GPX/1/0";
constexpr char kNamespaceSeparator = ' ';  // no namespace name or local name holds a blank
constexpr std::size_t kMaxDepth = 256;
// Longest single tag, comment or declaration; expat holds one whole in memory.
constexpr XML_Index kMaxToken = XML_Index{8} << 20;
constexpr std::size_t kMaxText = 1024;  // kept of one text; every store field is shorter
constexpr std::size_t kChunk = 256 << 10;
constexpr int kMaxSegment = 32767;  // a point's segment number has 16 bits

enum class Node : std::uint8_t {
    kDocument,
    kGpx,
    kMetadata,
    kMetadataExtensions,
    kWaypoint,
    kRoute,
    kRoutePoint,
    kTrack,
    kSegment,
    kTrackPoint,
    kPointExtensions,
    kField,
};

enum class Field : std::uint8_t {
    kName,
    kComment,
    kDescription,
    kElevation,
    kTime,
    kSymbol,
    kProximity,
    kDisplay,
    kSymbolNumber,
    kTimeZoneBias,
};

struct QName {
    std::string_view ns;
    std::string_view local;
};

QName Split(const XML_Char* name) {
    const std::string_view s(name);
    const auto sep = s.rfind(kNamespaceSeparator);
    if (sep == std::string_view::npos)
        return {{}, s};
    return {s.substr(0, sep), s.substr(sep + 1)};
}

// The local name when `name` is in namespace `ns` ("" for none), else null.
// Called for every element, so it looks at no more bytes than it must.
const XML_Char* LocalIn(const XML_Char* name, std::string_view ns) {
    if (ns.empty())
        return std::strchr(name, kNamespaceSeparator) == nullptr ? name : nullptr;
    if (std::strncmp(name, ns.data(), ns.size()) != 0 || name[ns.size()] != kNamespaceSeparator)
        return nullptr;
    return name + ns.size() + 1;
}

// A value for a message: quoted, at most about 40 bytes, cut between characters.
std::string Quote(std::string_view text) {
    constexpr std::size_t kShown = 40;
    if (text.size() <= kShown)
        return "\"" + std::string(text) + "\"";
    std::size_t n = kShown;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    return "\"" + std::string(text.substr(0, n)) + "...\"";
}

// Encodings the parser does not know itself, through iconv: Shift_JIS and its
// code page 932 relatives (files of older Japanese programs), and single-byte
// encodings such as windows-1252.
bool IsShiftJisName(std::string_view name) {
    std::string lower(name);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
    for (const char* known :
         {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932", "ms_kanji"})
        if (lower == known)
            return true;
    return false;
}

// The Unicode scalar of one character, or -1; `incomplete` tells a lead byte.
int Scalar(iconv_t cd, const char* bytes, std::size_t size, bool* incomplete = nullptr) {
    unsigned char out[8];
    char* in = const_cast<char*>(bytes);
    char* o = reinterpret_cast<char*>(out);
    std::size_t inLeft = size, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    const bool failed = iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1);
    if (incomplete != nullptr)
        *incomplete = failed && errno == EINVAL;
    if (failed || inLeft != 0 || sizeof out - outLeft != 4)
        return -1;
    const int v = out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24;
    return v <= 0xFFFF ? v : -1;  // the parser takes no more from such an encoding
}

int XMLCALL ConvertTwoBytes(void* data, const char* s) {
    return Scalar(static_cast<iconv_t>(data), s, 2);
}

void XMLCALL ReleaseConverter(void* data) {
    iconv_close(static_cast<iconv_t>(data));
}

int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    const bool shiftJis = IsShiftJisName(name);
    iconv_t cd = iconv_open("UTF-32LE", shiftJis ? "CP932" : name);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return XML_STATUS_ERROR;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        bool incomplete = false;
        if (shiftJis && sorvane::cp932::IsLeadByte(static_cast<std::uint8_t>(b))) {
            info->map[b] = -2;
        } else {
            info->map[b] = Scalar(cd, &byte, 1, &incomplete);
            if (incomplete) {  // a multi-byte encoding this reader does not know
                iconv_close(cd);
                return XML_STATUS_ERROR;
            }
        }
    }
    info->data = shiftJis ? cd : nullptr;
    info->convert = shiftJis ? ConvertTwoBytes : nullptr;
    info->release = shiftJis ? ReleaseConverter : nullptr;
    if (!shiftJis)
        iconv_close(cd);
    return XML_STATUS_OK;
}

// Points of the track being read, in fixed blocks: a long track never needs
// a second, larger copy of itself while it grows. The blocks are kept for the
// next track, so reading holds the store plus at most its longest track.
class PointBlocks {
  public:
    static constexpr std::size_t kBlock = 16384;

    void Add(const TrackData& p) {
        if (count_ == blocks_.size() * kBlock)
            blocks_.push_back(std::make_unique_for_overwrite<TrackData[]>(kBlock));
        blocks_[count_ / kBlock][count_ % kBlock] = p;
        ++count_;
    }
    std::size_t size() const { return count_; }
    bool CopyInto(TobrelFile& store, int track) {
        if (count_ > 0) {
            if (!store.SetTrackPointCount(track, static_cast<int>(count_)))
                return false;
            TrackData* to = store.GetTrackData(track);
            for (std::size_t done = 0, b = 0; done < count_; done += kBlock, ++b)
                std::memcpy(to + done, blocks_[b].get(),
                            std::min(kBlock, count_ - done) * sizeof(TrackData));
        }
        count_ = 0;
        return true;
    }
    void Clear() { count_ = 0; }

  private:
    std::vector<std::unique_ptr<TrackData[]>> blocks_;
    std::size_t count_ = 0;
};

// A waypoint or route point while its element is open; texts stay UTF-8
// until the end, where the comment falls back on the description.
struct PendingWaypoint {
    double latitude = 0;
    double longitude = 0;
    std::optional<double> elevation;
    std::optional<float> elevationFloat;  // exact when no datum shift applies
    float proximity = 0;
    std::uint16_t display = 0;
    std::optional<int> symbolNumber;
    std::optional<std::string> name, comment, description, symbol;
    long line = 0;
};

class GpxReader {
  public:
    GpxReader(const GpxOptions& options, GpxReport& report)
        : options_(options),
          report_(report),
          datum_(options.datum),
          table_(gpx::SymbolTableFor(options.symbolTable)),
          parser_(XML_ParserCreateNS(nullptr, kNamespaceSeparator)) {
        report_ = GpxReport{};
        if (parser_ == nullptr) {
            Fail(GpxStatus::kNoMemory, "out of memory", 0);
            return;
        }
        stack_.reserve(kMaxDepth + 1);
        stack_.push_back(Node::kDocument);
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, OnStart, OnEnd);
        XML_SetEntityDeclHandler(parser_, OnEntityDecl);
        XML_SetSkippedEntityHandler(parser_, OnSkippedEntity);
        XML_SetExternalEntityRefHandler(parser_, OnExternalEntity);
        XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
        XML_SetUnknownEncodingHandler(parser_, OnUnknownEncoding, nullptr);
    }
    ~GpxReader() {
        if (parser_ != nullptr)
            XML_ParserFree(parser_);
    }
    GpxReader(const GpxReader&) = delete;
    GpxReader& operator=(const GpxReader&) = delete;

    // Room for the next chunk of a file; null when memory ran out.
    void* Buffer() {
        if (failed_)
            return nullptr;
        void* b = XML_GetBuffer(parser_, static_cast<int>(kChunk));
        if (b == nullptr)
            Fail(GpxStatus::kNoMemory, "out of memory", 0);
        return b;
    }
    // Parses `size` bytes put into Buffer(); false once the read has failed.
    bool ParseBuffer(std::size_t size, bool last) {
        if (failed_)
            return false;
        return Checked(XML_ParseBuffer(parser_, static_cast<int>(size), last), size);
    }
    bool Parse(const std::uint8_t* data, std::size_t size, bool last) {
        if (failed_)
            return false;
        return Checked(
            XML_Parse(parser_, reinterpret_cast<const char*>(data), static_cast<int>(size), last),
            size);
    }

    GpxResult Finish(TobrelFile& out) {
        if (failed_)
            return error_;
        out = std::move(store_);
        return {};
    }

  private:
    bool Checked(XML_Status status, std::size_t size) {
        fed_ += static_cast<XML_Index>(size);
        if (status != XML_STATUS_OK) {
            if (!failed_)
                FailFromParser();
            return false;
        }
        // Outside the handlers the parser reports how far it has got; what
        // lies beyond is one unfinished token that it keeps in memory.
        if (fed_ - XML_GetCurrentByteIndex(parser_) > kMaxToken) {
            Fail(GpxStatus::kRefused,
                 "a single tag, comment or declaration is longer than 8 MiB; such a file "
                 "is not read",
                 Line());
            return false;
        }
        return !failed_;
    }

    void FailFromParser() {
        const XML_Error code = XML_GetErrorCode(parser_);
        if (fed_ == 0) {
            Fail(GpxStatus::kCannotOpen, "the file is empty", 0);
            return;
        }
        const GpxStatus status = code == XML_ERROR_AMPLIFICATION_LIMIT_BREACH
                                     ? GpxStatus::kRefused
                                     : GpxStatus::kNotWellFormed;
        Fail(status, std::string("not well-formed XML: ") + XML_ErrorString(code), Line(),
             static_cast<long>(XML_GetCurrentColumnNumber(parser_)) + 1);
    }

    long Line() const { return static_cast<long>(XML_GetCurrentLineNumber(parser_)); }

    void Fail(GpxStatus status, std::string message, long line, long column = 0) {
        if (failed_)
            return;
        failed_ = true;
        error_.status = status;
        error_.message = std::move(message);
        error_.line = line;
        error_.column = column;
        if (parser_ != nullptr)
            XML_StopParser(parser_, XML_FALSE);
    }

    // Handlers: nothing may throw through the parser.
    template <typename F>
    static void Guarded(void* self, F&& body) {
        auto* r = static_cast<GpxReader*>(self);
        if (r->failed_)
            return;
        try {
            body(*r);
        } catch (const std::bad_alloc&) {
            r->Fail(GpxStatus::kNoMemory, "out of memory", r->Line());
        } catch (const std::exception& e) {
            r->Fail(GpxStatus::kNoMemory, e.what(), r->Line());
        }
    }
    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char** atts) {
        Guarded(self, [&](GpxReader& r) { r.Start(name, atts); });
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) {
        Guarded(self, [](GpxReader& r) { r.End(); });
    }
    static void XMLCALL OnText(void* self, const XML_Char* s, int len) {
        Guarded(self, [&](GpxReader& r) { r.Text(s, static_cast<std::size_t>(len)); });
    }
    // Entities are what billion-laughs and outside-file attacks are made of,
    // and no GPX file needs one.
    static void XMLCALL OnEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int,
                                     const XML_Char*, const XML_Char*, const XML_Char*,
                                     const XML_Char*) {
        Guarded(self, [](GpxReader& r) {
            r.Fail(GpxStatus::kRefused, "the file declares entities; such a file is not read",
                   r.Line());
        });
    }
    static void XMLCALL OnSkippedEntity(void* self, const XML_Char* name, int) {
        Guarded(self, [&](GpxReader& r) {
            r.Fail(GpxStatus::kRefused,
                   "the file refers to the entity \"" + std::string(name) +
                       "\" that it does not define",
                   r.Line());
        });
    }
    static int XMLCALL OnExternalEntity(XML_Parser, const XML_Char*, const XML_Char*,
                                        const XML_Char*, const XML_Char*) {
        return XML_STATUS_ERROR;  // never read another file
    }

    void Start(const XML_Char* name, const XML_Char** atts) {
        if (stack_.size() + skipDepth_ > kMaxDepth) {
            Fail(GpxStatus::kRefused, "elements are nested deeper than 256 levels", Line());
            return;
        }
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return;
        }
        const Node parent = stack_.back();
        if (parent == Node::kDocument) {
            StartRoot(Split(name));
            return;
        }
        const XML_Char* local = LocalIn(name, gpxNamespace_);
        const bool gpx = local != nullptr;
        if (!gpx)
            local = LocalIn(name, kGpxExtensionNamespace);
        const bool ours = !gpx && local != nullptr;
        const std::string_view n = local != nullptr ? local : "";
        std::optional<Node> node;
        std::optional<Field> field;
        switch (parent) {
            case Node::kGpx:
                if (gpx && n == "trk") {
                    BeginTrack();
                    node = Node::kTrack;
                } else if (gpx && (n == "wpt" || n == "rte")) {
                    node = n == "wpt" ? BeginWaypoint(atts, Node::kWaypoint) : BeginRoute();
                } else if (gpx && n == "metadata") {
                    node = Node::kMetadata;
                } else if (ours && n == "timeZoneBias") {  // GPX 1.0 keeps extensions here
                    field = Field::kTimeZoneBias;
                }
                break;
            case Node::kMetadata:
                if (gpx && n == "extensions")
                    node = Node::kMetadataExtensions;
                break;
            case Node::kMetadataExtensions:
                if (ours && n == "timeZoneBias")
                    field = Field::kTimeZoneBias;
                break;
            case Node::kWaypoint:
            case Node::kRoutePoint:
                if (gpx) {
                    if (n == "extensions")
                        node = Node::kPointExtensions;
                    else
                        field = WaypointField(n);
                } else if (ours) {  // GPX 1.0 keeps extensions here
                    field = ExtensionField(n);
                }
                break;
            case Node::kPointExtensions:
                if (ours)
                    field = ExtensionField(n);
                break;
            case Node::kRoute:
                if (gpx && n == "rtept")
                    node = BeginWaypoint(atts, Node::kRoutePoint);
                else if (gpx && n == "name")
                    field = Field::kName;
                break;
            case Node::kTrack:
                if (gpx && n == "trkseg") {
                    segment_ = std::min(segment_ + 1, kMaxSegment);
                    node = Node::kSegment;
                } else if (gpx && n == "name") {
                    field = Field::kName;
                }
                break;
            case Node::kSegment:
                if (gpx && n == "trkpt" && BeginTrackPoint(atts))
                    node = Node::kTrackPoint;
                break;
            case Node::kTrackPoint:
                if (gpx && n == "ele")
                    field = Field::kElevation;
                else if (gpx && n == "time")
                    field = Field::kTime;
                break;
            default:
                break;
        }
        if (failed_)
            return;
        if (field) {
            field_ = *field;
            text_.clear();
            textCut_ = false;
            node = Node::kField;
            // Text matters only here; elsewhere the parser need not report it.
            XML_SetCharacterDataHandler(parser_, OnText);
        }
        if (node)
            stack_.push_back(*node);
        else
            skipDepth_ = 1;  // unknown elements and their content are skipped
    }

    void StartRoot(const QName& q) {
        if (q.local != "gpx") {
            Fail(GpxStatus::kNotGpx,
                 "not a GPX file: the document is a <" + std::string(q.local) + "> element",
                 Line());
            return;
        }
        if (!q.ns.empty() && q.ns != kGpx11 && q.ns != kGpx10) {
            Fail(GpxStatus::kNotGpx,
                 "not a GPX file: <gpx> is in the namespace " + Quote(q.ns) +
                     ", not that of GPX 1.1 or 1.0",
                 Line());
            return;
        }
        gpxNamespace_ = q.ns;
        stack_.push_back(Node::kGpx);
    }

    static std::optional<Field> WaypointField(std::string_view n) {
        if (n == "name")
            return Field::kName;
        if (n == "cmt")
            return Field::kComment;
        if (n == "desc")
            return Field::kDescription;
        if (n == "ele")
            return Field::kElevation;
        if (n == "sym")
            return Field::kSymbol;
        return std::nullopt;  // the store keeps no waypoint time
    }

    static std::optional<Field> ExtensionField(std::string_view n) {
        if (n == "proximity")
            return Field::kProximity;
        if (n == "display")
            return Field::kDisplay;
        if (n == "symbol")
            return Field::kSymbolNumber;
        return std::nullopt;
    }

    void Text(const XML_Char* s, std::size_t len) {
        if (skipDepth_ > 0 || stack_.back() != Node::kField)
            return;
        const std::size_t room = kMaxText - text_.size();
        if (len > room) {
            textCut_ = true;
            len = room;
        }
        text_.append(s, len);
    }

    void End() {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return;
        }
        const Node node = stack_.back();
        stack_.pop_back();
        switch (node) {
            case Node::kField:
                XML_SetCharacterDataHandler(parser_, nullptr);
                EndField(stack_.back());
                break;
            case Node::kWaypoint:
            case Node::kRoutePoint:
                EndWaypoint(node == Node::kRoutePoint);
                break;
            case Node::kTrackPoint:
                EndTrackPoint();
                break;
            case Node::kTrack:
                EndTrack();
                break;
            default:
                break;
        }
    }

    // ---- positions and values ----------------------------------------------

    bool ReadPosition(const XML_Char** atts, const char* what, double& lat, double& lon) {
        const XML_Char* latText = nullptr;
        const XML_Char* lonText = nullptr;
        for (int i = 0; atts[i] != nullptr; i += 2) {
            if (std::strcmp(atts[i], "lat") == 0)
                latText = atts[i + 1];
            else if (std::strcmp(atts[i], "lon") == 0)
                lonText = atts[i + 1];
        }
        return Coordinate(latText, "latitude", what, 90.0, lat) &&
               Coordinate(lonText, "longitude", what, 180.0, lon);
    }

    bool Coordinate(const XML_Char* text, const char* name, const char* what, double limit,
                    double& value) {
        if (text == nullptr) {
            Fail(GpxStatus::kBadValue, std::string(what) + " without a " + name, Line());
            return false;
        }
        const auto v = gpx::ParseDecimal(text);
        if (!v) {
            Fail(GpxStatus::kBadValue,
                 std::string(name) + " " + Quote(text) + " of a " + what + " is not a number",
                 Line());
            return false;
        }
        if (*v < -limit || *v > limit) {
            Fail(GpxStatus::kBadValue,
                 std::string(name) + " " + Quote(text) + " of a " + what + " is outside -" +
                     (limit == 90.0 ? "90 to 90" : "180 to 180"),
                 Line());
            return false;
        }
        value = *v;
        return true;
    }

    std::optional<std::int64_t> Integer(const char* what, std::int64_t low, std::int64_t high) {
        const auto v = gpx::ParseInteger(text_);
        if (!v || *v < low || *v > high) {
            Fail(GpxStatus::kBadValue,
                 std::string(what) + " " + Quote(text_) + " is not a whole number from " +
                     std::to_string(low) + " to " + std::to_string(high),
                 Line());
            return std::nullopt;
        }
        return v;
    }

    // An elevation, or nullopt for the store's "no altitude"; false when the
    // text is no number.
    bool Elevation(std::optional<double>& value, std::optional<float>& exact) {
        value.reset();
        exact.reset();
        // Without a datum shift the float is what the store keeps, read exactly.
        if (datum_.IsIdentity()) {
            if (const auto f = gpx::ParseFloat(text_)) {
                if (gpx::HasAltitude(*f)) {
                    exact = *f;
                    value = *f;
                }
                return true;
            }
        }
        const auto v = gpx::ParseDecimal(text_);
        if (!v) {
            Fail(GpxStatus::kBadValue, "elevation " + Quote(text_) + " is not a number", Line());
            return false;
        }
        if (gpx::HasAltitude(*v)) {
            value = *v;
            exact = static_cast<float>(*v);
        }
        return true;
    }

    gpx::TextConverter::StoreText StoreText(std::string_view utf8, std::size_t maxBytes) {
        gpx::TextConverter::StoreText t = textConverter_.ToStore(utf8, maxBytes);
        report_.replacedCharacters += t.replaced;
        if (t.cut)
            ++report_.cutTexts;
        return t;
    }

    void EndField(Node parent) {
        const bool text = field_ == Field::kName || field_ == Field::kComment ||
                          field_ == Field::kDescription || field_ == Field::kSymbol;
        // An empty number or time is taken as absent, as readers usually do.
        if (!text && text_.find_first_not_of(" \t\r\n") == std::string::npos)
            return;
        if (!text && textCut_) {
            Fail(GpxStatus::kBadValue, "a value of more than 1024 bytes", Line());
            return;
        }
        switch (parent) {
            case Node::kWaypoint:
            case Node::kRoutePoint:
            case Node::kPointExtensions:
                WaypointValue();
                break;
            case Node::kTrackPoint:
                TrackPointValue();
                break;
            case Node::kTrack:
                trackName_ = StoreText(text_, kNameMax).bytes;
                break;
            case Node::kRoute:
                store_.SetRouteName(route_, StoreText(text_, kCommentMax).bytes.c_str());
                break;
            case Node::kGpx:
            case Node::kMetadataExtensions:
                if (const auto v = Integer("time-zone bias", INT32_MIN, INT32_MAX))
                    store_.SetTimeZoneBias(static_cast<std::int32_t>(*v));
                break;
            default:
                break;
        }
    }

    void WaypointValue() {
        PendingWaypoint& w = waypoint_;
        switch (field_) {
            case Field::kName:
                w.name = text_;
                break;
            case Field::kComment:
                w.comment = text_;
                break;
            case Field::kDescription:
                w.description = text_;
                break;
            case Field::kSymbol:
                w.symbol = text_;
                break;
            case Field::kElevation:
                Elevation(w.elevation, w.elevationFloat);
                break;
            case Field::kProximity:
                if (const auto v = gpx::ParseFloat(text_))
                    w.proximity = *v;
                else
                    Fail(GpxStatus::kBadValue,
                         "proximity distance " + Quote(text_) + " is not a number", Line());
                break;
            case Field::kDisplay:
                if (const auto v = Integer("display option", 0, 65535))
                    w.display = static_cast<std::uint16_t>(*v);
                break;
            case Field::kSymbolNumber:
                if (const auto v = Integer("symbol number", 0, 65535))
                    w.symbolNumber = static_cast<int>(*v);
                break;
            default:
                break;
        }
    }

    void TrackPointValue() {
        if (field_ == Field::kElevation) {
            Elevation(pointElevation_, pointElevationFloat_);
            return;
        }
        const auto t = gpx::ParseDateTime(text_);
        if (!t) {
            Fail(GpxStatus::kBadValue, "time " + Quote(text_) + " is not a date and time", Line());
            return;
        }
        const auto stored = gpx::StoreTimeOf(*t);
        if (!stored)
            ++report_.droppedTimes;
        point_.time = stored.value_or(0);
    }

    // Converts a WGS 84 position (and elevation, when there is one) into the
    // store's datum. `line` 0 stands for the current line.
    bool ToStore(double& lat, double& lon, const std::optional<double>& elevation,
                 const std::optional<float>& exact, float noAltitude, float& altitude, long line) {
        if (datum_.IsIdentity()) {
            altitude = exact.value_or(noAltitude);
            return true;
        }
        const auto p = datum_.ToStore({lat, lon, elevation.value_or(0.0)});
        if (!p) {
            Fail(GpxStatus::kBadValue, "a position that cannot be converted to the datum",
                 line > 0 ? line : Line());
            return false;
        }
        lat = p->latitude;
        lon = p->longitude;
        altitude = elevation ? static_cast<float>(p->height) : noAltitude;
        return true;
    }

    // ---- waypoints and routes ----------------------------------------------

    Node BeginWaypoint(const XML_Char** atts, Node kind) {
        waypoint_ = PendingWaypoint{};
        waypoint_.line = Line();
        ReadPosition(atts, kind == Node::kRoutePoint ? "route point" : "waypoint",
                     waypoint_.latitude, waypoint_.longitude);
        return kind;
    }

    Node BeginRoute() {
        const int count = store_.AppendRoute();
        if (count == 0)
            Fail(GpxStatus::kNoMemory, "out of memory", Line());
        route_ = count - 1;
        ++report_.routes;
        return Node::kRoute;
    }

    void EndWaypoint(bool routePoint) {
        PendingWaypoint& w = waypoint_;
        const auto ident = StoreText(w.name.value_or(""), kNameMax);
        const auto comment =
            StoreText(w.comment ? *w.comment : w.description.value_or(""), kCommentMax);
        if (options_.requireNames &&
            ident.bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
            Fail(GpxStatus::kBadValue,
                 std::string(routePoint ? "a route point" : "a waypoint") + " without a name",
                 w.line);
            return;
        }
        int symbol = w.symbolNumber.value_or(sorvane::kDefaultSymbolNumber);
        if (w.symbol)
            symbol = gpx::SymbolNumber(table_, *w.symbol).value_or(sorvane::kDefaultSymbolNumber);
        float altitude = 0;
        if (!ToStore(w.latitude, w.longitude, w.elevation, w.elevationFloat, kGpxNoWaypointAltitude,
                     altitude, w.line))
            return;
        const auto sym = static_cast<std::uint16_t>(symbol);
        bool stored = false;
        if (routePoint) {
            stored = store_.InsertRouteWaypoint(route_, INT_MAX, ident.bytes.c_str(),
                                                comment.bytes.c_str(), w.latitude, w.longitude,
                                                altitude, w.proximity, sym, w.display);
            report_.routePoints += stored ? 1 : 0;
        } else {
            const int index = store_.GetWaypointCount();
            stored =
                store_.AddWaypoints(1) == index &&
                store_.SetWaypoint(index, ident.bytes.c_str(), comment.bytes.c_str(), w.latitude,
                                   w.longitude, altitude, w.proximity, sym, w.display);
            report_.waypoints += stored ? 1 : 0;
        }
        if (!stored)
            Fail(GpxStatus::kNoMemory, "out of memory", w.line);
    }

    // ---- tracks ------------------------------------------------------------

    void BeginTrack() {
        trackName_.clear();
        segment_ = 0;
        points_.Clear();
    }

    bool BeginTrackPoint(const XML_Char** atts) {
        point_ = TrackData{};
        point_.segment = static_cast<std::int16_t>(segment_);
        pointElevation_.reset();
        pointElevationFloat_.reset();
        return ReadPosition(atts, "track point", point_.latitude, point_.longitude);
    }

    void EndTrackPoint() {
        if (!ToStore(point_.latitude, point_.longitude, pointElevation_, pointElevationFloat_,
                     kGpxNoTrackAltitude, point_.altitude, 0))
            return;
        if (points_.size() >= static_cast<std::size_t>(INT_MAX)) {
            Fail(GpxStatus::kRefused, "a track has more points than the store can hold", Line());
            return;
        }
        points_.Add(point_);
    }

    void EndTrack() {
        const int t = store_.GetTrackCount();
        const auto points = static_cast<int>(points_.size());
        if (!store_.AddTracks(1) || !points_.CopyInto(store_, t)) {
            Fail(GpxStatus::kNoMemory, "out of memory", Line());
            return;
        }
        store_.SetTrackName(t, trackName_.c_str());
        store_.SetTrackSegmentCount(t, segment_);
        store_.RecalcTrack(t, options_.datum.dA);
        ++report_.tracks;
        report_.trackPoints += points;
    }

    const GpxOptions& options_;
    GpxReport& report_;
    gpx::DatumConversion datum_;
    gpx::TextConverter textConverter_;
    int table_;
    XML_Parser parser_;
    TobrelFile store_;

    bool failed_ = false;
    GpxResult error_;
    XML_Index fed_ = 0;

    std::vector<Node> stack_;
    std::size_t skipDepth_ = 0;
    std::string gpxNamespace_;
    Field field_ = Field::kName;
    std::string text_;
    bool textCut_ = false;

    PendingWaypoint waypoint_;
    int route_ = -1;
    std::string trackName_;
    int segment_ = 0;
    PointBlocks points_;
    TrackData point_{};
    std::optional<double> pointElevation_;
    std::optional<float> pointElevationFloat_;
};

}  // namespace

std::string GpxResult::Describe() const {
    if (line <= 0)
        return message;
    return "line " + std::to_string(line) + ": " + message;
}

GpxResult ReadGpx(std::span<const std::uint8_t> bytes, const GpxOptions& options, TobrelFile& out,
                  GpxReport* report) {
    GpxReport local;
    GpxReader reader(options, report != nullptr ? *report : local);
    std::size_t done = 0;
    do {
        const std::size_t n = std::min(kChunk, bytes.size() - done);
        if (!reader.Parse(bytes.data() + done, n, done + n == bytes.size()))
            break;
        done += n;
    } while (done < bytes.size());
    return reader.Finish(out);
}

GpxResult ReadGpx(const std::string& path, const GpxOptions& options, TobrelFile& out,
                  GpxReport* report) {
    const auto failure = [](std::string message) {
        GpxResult r;
        r.status = GpxStatus::kCannotOpen;
        r.message = std::move(message);
        return r;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failure(std::string("cannot open the file: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return failure("a folder, not a file");
    }
    GpxReport local;
    GpxReader reader(options, report != nullptr ? *report : local);
    std::string readError;
    for (;;) {
        void* buffer = reader.Buffer();
        if (buffer == nullptr)
            break;
        ssize_t n = 0;
        do {
            n = ::read(fd, buffer, kChunk);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            readError = std::strerror(errno);
            break;
        }
        if (!reader.ParseBuffer(static_cast<std::size_t>(n), n == 0) || n == 0)
            break;
    }
    ::close(fd);
    if (!readError.empty())
        return failure("cannot read the file: " + readError);
    return reader.Finish(out);
}

}  // namespace tobrel
