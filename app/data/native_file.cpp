#include "data/native_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
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
    long long fileSize = routeOffset + 4;
    for (int r = 0; r < store.GetRouteCount(); ++r)
        fileSize += kNativeRouteHeaderSize +
                    static_cast<long long>(sizeof(WaypointData)) * store.GetRouteWaypointCount(r);
    // A store this large cannot be addressed by the header's 32-bit offsets.
    if (fileSize > static_cast<long long>(kMaxNativeFileSize))
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

// Where the bytes of a file come from: a file image in memory, or the file
// itself, read section by section straight into the store's records.
class Source {
  public:
    virtual ~Source() = default;
    virtual std::size_t Size() const = 0;
    // Copies n bytes from offset into dst; false when they are not all there.
    virtual bool ReadAt(std::size_t offset, void* dst, std::size_t n) = 0;
};

class SpanSource final : public Source {
  public:
    explicit SpanSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::size_t offset, void* dst, std::size_t n) override {
        if (offset > bytes_.size() || bytes_.size() - offset < n)
            return false;
        if (n > 0)
            std::memcpy(dst, bytes_.data() + offset, n);
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public Source {
  public:
    FileSource(int fd, std::size_t size) : fd_(fd), size_(size), buffer_(kChunk) {}
    std::size_t Size() const override { return size_; }
    // Through one small buffer that stays mapped: the kernel fills it far
    // faster than memory it has to map page by page while it copies.
    bool ReadAt(std::size_t offset, void* dst, std::size_t n) override {
        auto* out = static_cast<std::uint8_t*>(dst);
        while (n > 0) {
            const ssize_t got =
                ::pread(fd_, buffer_.data(), std::min(n, kChunk), static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;  // an error, or the file got shorter meanwhile
            std::memcpy(out, buffer_.data(), static_cast<std::size_t>(got));
            out += got;
            offset += static_cast<std::size_t>(got);
            n -= static_cast<std::size_t>(got);
        }
        return true;
    }

  private:
    static constexpr std::size_t kChunk = 1 << 20;
    int fd_;
    std::size_t size_;
    std::vector<std::uint8_t> buffer_;
};

// Bounds-checked reading of one section: nothing is read past its end, which
// is the start of the next section or the end of the file.
class Cursor {
  public:
    Cursor(Source& source, std::size_t at, std::size_t end)
        : source_(source), pos_(at), end_(end) {}

    std::size_t Remaining() const { return pos_ < end_ ? end_ - pos_ : 0; }
    // Whole records of size recordSize that are left, at most wanted.
    std::size_t Fit(std::int64_t wanted, std::size_t recordSize) const {
        if (wanted <= 0)
            return 0;
        return std::min(static_cast<std::size_t>(wanted), Remaining() / recordSize);
    }
    bool Read(void* dst, std::size_t n) {
        if (Remaining() < n || !source_.ReadAt(pos_, dst, n))
            return false;
        pos_ += n;
        return true;
    }
    bool ReadInt(std::int32_t& v) {
        std::uint8_t b[4];
        if (!Read(b, sizeof b))
            return false;
        v = Get32(b);
        return true;
    }
    // n bytes into a buffer of their own; empty when they are not there.
    std::vector<std::uint8_t> ReadBlock(std::size_t n) {
        std::vector<std::uint8_t> block(n);
        if (!Read(block.data(), n))
            block.clear();
        return block;
    }

  private:
    Source& source_;
    std::size_t pos_;
    std::size_t end_;
};

// A fixed text field as a NUL-terminated string, whether or not it had a terminator.
template <std::size_t N>
struct FieldCopy {
    explicit FieldCopy(const std::uint8_t* field) { std::memcpy(text, field, N); }
    char text[N + 1] = {};
};

void ReadTracks(TobrelFile& store, Cursor c, int version) {
    std::int32_t count = 0;
    if (!c.ReadInt(count) || count <= 0)
        return;
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t h[kNativeTrackHeaderSize];
        if (!c.Read(h, sizeof h))
            return;
        const std::int32_t points = Get32(h + 24);
        const std::int32_t segments = Get32(h + 28);
        if (points < 0)
            return;
        const std::size_t whole = c.Fit(points, sizeof(TrackData));
        const int t = store.GetTrackCount();
        if (!store.AddTracks(1))
            return;
        store.SetTrackName(t, FieldCopy<kNameMax + 1>(h).text);
        if (whole > 0) {
            if (!store.SetTrackPointCount(t, static_cast<int>(whole)))
                return;
            // Straight into the store: the records are the same in memory.
            TrackData* pts = store.GetTrackData(t);
            if (!c.Read(pts, whole * sizeof(TrackData))) {
                store.DeleteTrack(t);
                return;
            }
            for (std::size_t k = 0; k < whole; ++k) {
                std::memset(pts[k].reserved, 0, sizeof pts[k].reserved);
                if (version == 6 && k > 0)
                    pts[k].distance += pts[k - 1].distance;
            }
        }
        store.SetTrackSegmentCount(t, segments);
        if (whole < static_cast<std::size_t>(points))
            return;  // the section ends inside this track
    }
}

void ReadOldTrack(TobrelFile& store, Cursor c, int version) {
    std::int32_t points = 0;
    std::int32_t segments = 0;
    if (!c.ReadInt(points) || points <= 0)
        return;
    if (!c.ReadInt(segments))
        return;
    const std::size_t recordSize = version == 5 ? 32 : 24;
    const std::size_t whole = c.Fit(points, recordSize);
    const std::vector<std::uint8_t> block = c.ReadBlock(whole * recordSize);
    const int t = store.GetTrackCount();
    if (!store.AddTracks(1))
        return;
    store.SetTrackName(t, "TRACK LOG");
    if (!block.empty() && store.SetTrackPointCount(t, static_cast<int>(whole))) {
        TrackData* pts = store.GetTrackData(t);
        for (std::size_t k = 0; k < whole; ++k) {
            const std::uint8_t* r = block.data() + k * recordSize;
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
        std::memcpy(&w, r, sizeof w);  // texts may lack a terminator; see DecodedTexts
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
    if (!c.ReadInt(count) || count <= 0)
        return;
    const std::size_t recordSize = WaypointRecordSize(version);
    const std::size_t whole = c.Fit(count, recordSize);
    if (whole == 0)
        return;
    const std::vector<std::uint8_t> block = c.ReadBlock(whole * recordSize);
    if (block.empty())
        return;
    const int first = store.GetWaypointCount();
    if (store.AddWaypoints(static_cast<int>(whole)) != first ||
        store.GetWaypointCount() != first + static_cast<int>(whole))
        return;
    for (std::size_t k = 0; k < whole; ++k) {
        const WaypointData w = DecodeWaypoint(block.data() + k * recordSize, version, false);
        const DecodedTexts texts(w);
        store.SetWaypoint(first + static_cast<int>(k), texts.ident.text, texts.comment.text,
                          w.latitude, w.longitude, w.altitude, w.distance, w.symbol, w.display);
    }
}

void ReadRoutes(TobrelFile& store, Cursor c, int version) {
    std::int32_t count = 0;
    if (!c.ReadInt(count) || count <= 0)
        return;
    const std::size_t headers = c.Fit(count, kNativeRouteHeaderSize);
    const std::vector<std::uint8_t> block = c.ReadBlock(headers * kNativeRouteHeaderSize);
    if (block.empty())
        return;
    const int first = store.GetRouteCount();
    std::vector<std::int32_t> sizes;
    for (std::size_t k = 0; k < headers; ++k) {
        const std::uint8_t* h = block.data() + k * kNativeRouteHeaderSize;
        if (store.AppendRoute() == 0)
            return;
        store.SetRouteName(first + static_cast<int>(k), FieldCopy<kCommentMax + 1>(h + 4).text);
        sizes.push_back(Get32(h));
    }
    if (headers < static_cast<std::size_t>(count))
        return;  // no room left for waypoints
    const std::size_t recordSize = WaypointRecordSize(version);
    for (std::size_t k = 0; k < headers; ++k) {
        const std::size_t whole = c.Fit(sizes[k], recordSize);
        const std::vector<std::uint8_t> records = c.ReadBlock(whole * recordSize);
        const int route = first + static_cast<int>(k);
        for (std::size_t j = 0; j < whole && !records.empty(); ++j) {
            const WaypointData w = DecodeWaypoint(records.data() + j * recordSize, version, true);
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

// The header of a native file, when the first bytes are one this program reads.
struct Header {
    int version = 0;
    std::int32_t timeZoneBias = 0;
    std::int32_t offsets[3] = {};  // tracks, waypoints, routes
};

NativeReadError ReadHeader(Source& source, Header* out) {
    std::uint8_t h[kNativeHeaderSize];
    if (!source.ReadAt(0, h, sizeof h) || std::memcmp(h, kMagic, sizeof kMagic) != 0)
        return NativeReadError::kNotNativeFile;
    out->version = Get32(h + kVersionAt);
    if (out->version == 1 || out->version >= 8)
        return NativeReadError::kUnknownVersion;
    out->timeZoneBias = Get32(h + kTimeZoneAt);
    out->offsets[0] = Get32(h + kTrackOffsetAt);
    out->offsets[1] = Get32(h + kWaypointOffsetAt);
    out->offsets[2] = Get32(h + kRouteOffsetAt);
    return NativeReadError::kNone;
}

// Reads the sections the header names. Each ends where the next section
// begins, or at the end of the file: a count larger than its section gives the
// whole records of that section and nothing of its neighbours.
void ReadSections(TobrelFile& store, Source& source, const Header& header) {
    const std::size_t size = source.Size();
    const auto valid = [&](std::int32_t offset) {
        return offset > 0 && static_cast<std::size_t>(offset) < size;
    };
    const auto section = [&](int k) {
        const auto at = static_cast<std::size_t>(header.offsets[k]);
        std::size_t end = size;
        for (std::int32_t other : header.offsets) {
            if (valid(other) && static_cast<std::size_t>(other) > at)
                end = std::min(end, static_cast<std::size_t>(other));
        }
        return Cursor(source, at, end);
    };
    // 0, 2 and negative versions share the layout of 3.
    const int version = header.version < 3 ? 3 : header.version;
    if (header.version >= 3)
        store.SetTimeZoneBias(header.timeZoneBias);
    if (valid(header.offsets[0])) {
        if (version >= 6)
            ReadTracks(store, section(0), version);
        else
            ReadOldTrack(store, section(0), version);
    }
    if (valid(header.offsets[1]))
        ReadWaypoints(store, section(1), version);
    if (valid(header.offsets[2]))
        ReadRoutes(store, section(2), version);
}

NativeReadError Read(TobrelFile& store, Source& source) {
    Header header;
    const NativeReadError error = ReadHeader(source, &header);
    if (error != NativeReadError::kNone)
        return error;
    try {
        ReadSections(store, source, header);
    } catch (const std::bad_alloc&) {
        // What was read so far stays; a section that did not fit is cut short.
    }
    return NativeReadError::kNone;
}

bool Report(NativeReadError error, NativeReadError* out) {
    if (out != nullptr)
        *out = error;
    return error == NativeReadError::kNone;
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

bool ReadNativeFile(TobrelFile& store, std::span<const std::uint8_t> bytes,
                    NativeReadError* error) {
    SpanSource source(bytes);
    return Report(Read(store, source), error);
}

bool ReadNativeFile(TobrelFile& store, const std::string& path, NativeReadError* error) {
    // Not blocking, so that a FIFO chosen by mistake cannot hang the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Report(NativeReadError::kCannotOpen, error);
    struct stat st {};
    NativeReadError result = NativeReadError::kNone;
    if (::fstat(fd, &st) != 0) {
        result = NativeReadError::kCannotOpen;
    } else if (!S_ISREG(st.st_mode)) {
        result = NativeReadError::kNotARegularFile;
    } else if (st.st_size > static_cast<off_t>(kMaxNativeFileSize)) {
        result = NativeReadError::kTooLarge;
    } else {
        FileSource source(fd, static_cast<std::size_t>(st.st_size));
        result = Read(store, source);
    }
    ::close(fd);
    return Report(result, error);
}

}  // namespace tobrel
