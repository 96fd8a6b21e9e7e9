#include "data/native_file.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

#include "data/safe_file.h"

namespace tobrel {

namespace {

constexpr char kMagic[6] = {'T', 'O', 'B', 'R', 'E', 'L'};
constexpr std::size_t kVersionAt = 16;
constexpr std::size_t kTrackOffsetAt = 20;
constexpr std::size_t kWaypointOffsetAt = 24;
constexpr std::size_t kRouteOffsetAt = 28;
constexpr std::size_t kTimeZoneAt = 104;

void Put32(std::uint8_t* at, std::int32_t v) {
    std::memcpy(at, &v, 4);
}

std::int32_t Get32(const std::uint8_t* at) {
    std::int32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

template <typename Sink>
bool WriteInt(Sink& out, std::int32_t v) {
    return out.Write(&v, sizeof v);
}

template <typename Sink>
bool Emit(const TobrelFile& store, Sink& out) {
    long long waypointOffset = kNativeHeaderSize + 4;
    for (int t = 0; t < store.GetTrackCount(); ++t)
        waypointOffset += kNativeTrackHeaderSize +
                          static_cast<long long>(sizeof(TrackData)) * store.GetTrackPointCount(t);
    const long long routeOffset =
        waypointOffset + 4 +
        static_cast<long long>(sizeof(WaypointData)) * store.GetWaypointCount();
    // A store this large cannot be addressed by the header's 32-bit offsets.
    if (routeOffset > INT32_MAX)
        return false;

    std::uint8_t header[kNativeHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    Put32(header + kVersionAt, kNativeFileVersion);
    Put32(header + kTrackOffsetAt, static_cast<std::int32_t>(kNativeHeaderSize));
    Put32(header + kWaypointOffsetAt, static_cast<std::int32_t>(waypointOffset));
    Put32(header + kRouteOffsetAt, static_cast<std::int32_t>(routeOffset));
    Put32(header + kTimeZoneAt, store.TimeZoneBias());
    if (!out.Write(header, sizeof header))
        return false;

    if (!WriteInt(out, store.GetTrackCount()))
        return false;
    for (int t = 0; t < store.GetTrackCount(); ++t) {
        const TrackHeader* h = store.GetTrackHeader(t);
        std::uint8_t th[kNativeTrackHeaderSize] = {};
        std::memcpy(th, h->name, sizeof h->name);
        Put32(th + 24, h->PointCount());
        Put32(th + 28, h->segmentCount);
        if (!out.Write(th, sizeof th))
            return false;
        if (!h->pTrackData.empty() &&
            !out.Write(h->pTrackData.data(), h->pTrackData.size() * sizeof(TrackData)))
            return false;
    }

    if (!WriteInt(out, store.GetWaypointCount()))
        return false;
    if (store.GetWaypointCount() > 0 &&
        !out.Write(store.GetWaypointData(0), sizeof(WaypointData) * store.GetWaypointCount()))
        return false;

    if (!WriteInt(out, store.GetRouteCount()))
        return false;
    for (int r = 0; r < store.GetRouteCount(); ++r) {
        const RouteHeader* h = store.GetRouteHeader(r);
        std::uint8_t rh[kNativeRouteHeaderSize] = {};
        Put32(rh, h->WaypointCount());
        std::memcpy(rh + 4, h->name, sizeof h->name);
        if (!out.Write(rh, sizeof rh))
            return false;
    }
    for (int r = 0; r < store.GetRouteCount(); ++r) {
        const RouteHeader* h = store.GetRouteHeader(r);
        if (!h->pWaypointData.empty() &&
            !out.Write(h->pWaypointData.data(), h->pWaypointData.size() * sizeof(WaypointData)))
            return false;
    }
    return true;
}

// Bounds-checked reading of a file image; nothing is ever read past its end.
class Cursor {
  public:
    Cursor(std::span<const std::uint8_t> bytes, std::size_t at) : bytes_(bytes), pos_(at) {}

    std::size_t Remaining() const { return pos_ < bytes_.size() ? bytes_.size() - pos_ : 0; }
    // Whole records of size recordSize that are left, at most wanted.
    std::size_t Fit(std::int64_t wanted, std::size_t recordSize) const {
        if (wanted <= 0)
            return 0;
        return std::min(static_cast<std::size_t>(wanted), Remaining() / recordSize);
    }
    const std::uint8_t* Take(std::size_t n) {
        if (Remaining() < n)
            return nullptr;
        const std::uint8_t* p = bytes_.data() + pos_;
        pos_ += n;
        return p;
    }
    bool TakeInt(std::int32_t& v) {
        const std::uint8_t* p = Take(4);
        if (p == nullptr)
            return false;
        v = Get32(p);
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_;
};

// A fixed text field as a NUL-terminated string, whether or not it had a terminator.
template <std::size_t N>
struct FieldCopy {
    explicit FieldCopy(const std::uint8_t* field) { std::memcpy(text, field, N); }
    char text[N + 1] = {};
};

// A section at offset 0 is absent; an offset outside the file is not trusted.
bool SectionAt(std::span<const std::uint8_t> bytes, std::size_t offsetAt, Cursor& c) {
    const std::int32_t offset = Get32(bytes.data() + offsetAt);
    if (offset <= 0 || static_cast<std::size_t>(offset) >= bytes.size())
        return false;
    c = Cursor(bytes, static_cast<std::size_t>(offset));
    return true;
}

void ReadTracks(TobrelFile& store, Cursor c, int version) {
    std::int32_t count = 0;
    if (!c.TakeInt(count) || count <= 0)
        return;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t* h = c.Take(kNativeTrackHeaderSize);
        if (h == nullptr)
            return;
        const std::int32_t points = Get32(h + 24);
        const std::int32_t segments = Get32(h + 28);
        if (points < 0)
            return;
        const std::size_t whole = c.Fit(points, sizeof(TrackData));
        const int t = store.GetTrackCount();
        if (!store.AddTracks(1))
            return;
        store.SetTrackName(t, FieldCopy<24>(h).text);
        if (whole > 0) {
            if (!store.SetTrackPointCount(t, static_cast<int>(whole)))
                return;
            TrackData* pts = store.GetTrackData(t);
            std::memcpy(pts, c.Take(whole * sizeof(TrackData)), whole * sizeof(TrackData));
            for (std::size_t k = 0; k < whole; ++k) {
                std::memset(pts[k].reserved, 0, sizeof pts[k].reserved);
                if (version == 6 && k > 0)
                    pts[k].distance += pts[k - 1].distance;
            }
        }
        store.SetTrackSegmentCount(t, segments);
        if (whole < static_cast<std::size_t>(points))
            return;  // the file ends inside this track
    }
}

void ReadOldTrack(TobrelFile& store, Cursor c, int version) {
    std::int32_t points = 0;
    std::int32_t segments = 0;
    if (!c.TakeInt(points) || points <= 0)
        return;
    if (!c.TakeInt(segments))
        return;
    const std::size_t recordSize = version == 5 ? 32 : 24;
    const std::size_t whole = c.Fit(points, recordSize);
    const int t = store.GetTrackCount();
    if (!store.AddTracks(1))
        return;
    store.SetTrackName(t, "TRACK LOG");
    if (whole > 0 && store.SetTrackPointCount(t, static_cast<int>(whole))) {
        TrackData* pts = store.GetTrackData(t);
        for (std::size_t k = 0; k < whole; ++k) {
            const std::uint8_t* r = c.Take(recordSize);
            std::memcpy(&pts[k].latitude, r, 8);
            std::memcpy(&pts[k].longitude, r + 8, 8);
            std::memcpy(&pts[k].time, r + 16, 4);
            std::memcpy(&pts[k].segment, r + 20, 2);
            if (version == 5)
                std::memcpy(&pts[k].altitude, r + 24, 4);
        }
    }
    store.SetTrackSegmentCount(t, segments);
    store.RecalcTrack(t, 0.0);
}

std::size_t WaypointRecordSize(int version) {
    if (version < 4)
        return 32;
    if (version == 4)
        return 76;
    return sizeof(WaypointData);
}

// One waypoint record of the file's version, with the comment only where the
// layout has one for this kind of waypoint.
WaypointData DecodeWaypoint(const std::uint8_t* r, int version, bool routeWaypoint) {
    WaypointData w{};
    if (version >= 5) {
        std::memcpy(&w, r, sizeof w);  // texts may lack a terminator; see StoreDecoded
        return w;
    }
    std::memcpy(&w.latitude, r, 8);
    std::memcpy(&w.longitude, r + 8, 8);
    if (version == 4) {
        std::memcpy(&w.distance, r + 16, 4);
        std::memcpy(&w.symbol, r + 20, 2);
        std::memcpy(&w.display, r + 22, 2);
        if (routeWaypoint)
            std::memcpy(w.comment, r + 32, 44);
    }
    std::memcpy(w.ident, r + 24, 8);
    return w;
}

// The texts of a decoded record, terminated even when the file gave none.
struct DecodedTexts {
    explicit DecodedTexts(const WaypointData& w)
        : ident(reinterpret_cast<const std::uint8_t*>(w.ident)),
          comment(reinterpret_cast<const std::uint8_t*>(w.comment)) {}
    FieldCopy<kNameMax + 1> ident;
    FieldCopy<kCommentMax + 1> comment;
};

void ReadWaypoints(TobrelFile& store, Cursor c, int version) {
    std::int32_t count = 0;
    if (!c.TakeInt(count) || count <= 0)
        return;
    const std::size_t recordSize = WaypointRecordSize(version);
    const std::size_t whole = c.Fit(count, recordSize);
    if (whole == 0)
        return;
    const int first = store.GetWaypointCount();
    if (store.AddWaypoints(static_cast<int>(whole)) != first ||
        store.GetWaypointCount() != first + static_cast<int>(whole))
        return;
    for (std::size_t k = 0; k < whole; ++k) {
        const WaypointData w = DecodeWaypoint(c.Take(recordSize), version, false);
        const DecodedTexts texts(w);
        store.SetWaypoint(first + static_cast<int>(k), texts.ident.text, texts.comment.text,
                          w.latitude, w.longitude, w.altitude, w.distance, w.symbol, w.display);
    }
}

void ReadRoutes(TobrelFile& store, Cursor c, int version) {
    std::int32_t count = 0;
    if (!c.TakeInt(count) || count <= 0)
        return;
    const std::size_t headers = c.Fit(count, kNativeRouteHeaderSize);
    const int first = store.GetRouteCount();
    std::vector<std::int32_t> sizes;
    for (std::size_t k = 0; k < headers; ++k) {
        const std::uint8_t* h = c.Take(kNativeRouteHeaderSize);
        if (store.AppendRoute() == 0)
            return;
        store.SetRouteName(first + static_cast<int>(k), FieldCopy<64>(h + 4).text);
        sizes.push_back(Get32(h));
    }
    if (headers < static_cast<std::size_t>(count))
        return;  // no room left for waypoints
    const std::size_t recordSize = WaypointRecordSize(version);
    for (std::size_t k = 0; k < headers; ++k) {
        const std::size_t whole = c.Fit(sizes[k], recordSize);
        const int route = first + static_cast<int>(k);
        for (std::size_t j = 0; j < whole; ++j) {
            const WaypointData w = DecodeWaypoint(c.Take(recordSize), version, true);
            const DecodedTexts texts(w);
            if (!store.InsertRouteWaypoint(route, INT_MAX, texts.ident.text, texts.comment.text,
                                           w.latitude, w.longitude, w.altitude, w.distance,
                                           w.symbol, w.display))
                return;
        }
        if (sizes[k] > 0 && whole < static_cast<std::size_t>(sizes[k]))
            return;
    }
}

}  // namespace

bool EncodeNativeFile(const TobrelFile& store, std::vector<std::uint8_t>& out) {
    out.clear();
    MemoryWriter sink(out);
    return Emit(store, sink);
}

bool WriteNativeFile(const TobrelFile& store, const std::string& path) {
    SafeFileWriter file;
    if (!file.Open(path))
        return false;
    if (!Emit(store, file))
        return false;  // the writer discards the temporary
    return file.Commit();
}

bool ReadNativeFile(TobrelFile& store, std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kNativeHeaderSize)
        return false;
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return false;
    int version = Get32(bytes.data() + kVersionAt);
    if (version == 1 || version >= 8)
        return false;
    if (version >= 3)
        store.SetTimeZoneBias(Get32(bytes.data() + kTimeZoneAt));
    if (version < 3)
        version = 3;  // 0, 2 and negative values share the layout of 3

    Cursor c(bytes, 0);
    if (SectionAt(bytes, kTrackOffsetAt, c)) {
        if (version >= 6)
            ReadTracks(store, c, version);
        else
            ReadOldTrack(store, c, version);
    }
    if (SectionAt(bytes, kWaypointOffsetAt, c))
        ReadWaypoints(store, c, version);
    if (SectionAt(bytes, kRouteOffsetAt, c))
        ReadRoutes(store, c, version);
    return true;
}

bool ReadNativeFile(TobrelFile& store, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    return ReadNativeFile(store, std::span<const std::uint8_t>(bytes));
}

}  // namespace tobrel
