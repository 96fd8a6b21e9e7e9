#include "link/device_records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "link/packet.h"
#include "records/product_table.h"
#include "text/cp932.h"
#include "text/numbers.h"

namespace sorvane {

namespace {

// The C string at the start of a field, never running past the field.
std::string_view FieldText(std::span<const std::uint8_t> d, std::size_t at) {
    if (at >= d.size())
        return {};
    const char* p = reinterpret_cast<const char*>(d.data() + at);
    const std::size_t max = d.size() - at;
    const void* nul = std::memchr(p, 0, max);
    return {p, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - p) : max};
}

std::string_view UpToNul(std::string_view s) {
    const std::size_t nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// Copies text into dst[0..width), padded with pad. A text that does not fit
// is cut before the double-byte character that would not fit whole.
void PutPadded(std::uint8_t* dst, std::size_t width, std::string_view text, std::uint8_t pad) {
    const std::size_t n = cp932::FitLength(text, width);
    std::copy_n(text.data(), n, dst);
    std::memset(dst + n, pad, width - n);
}

std::size_t WaypointDataSize(int waypointType) {
    switch (waypointType) {
        case kWaypointType4103:
            return kWaypoint4103Size;
        case kWaypointType4104:
            return kWaypoint4104Size;
        case kWaypointType4108:
            return kWaypoint4108Size;
        case kWaypointType4109:
            return kWaypoint4109Size;
        default:
            return kWaypoint4101Size;
    }
}

std::size_t NewerNameOffset(int waypointType) {
    return waypointType == kWaypointType4109 ? 52 : 48;
}

constexpr std::size_t kNewerNameArea = 12;
constexpr std::size_t kOlderNameSize = 6;
constexpr std::size_t kOlderCommentSize = 40;

}  // namespace

double PositionFromWire(std::int32_t value) {
    return value * kWireToDegrees;
}

std::int32_t PositionToWire(double degrees) {
    return RoundToInt32(degrees * kDegreesToWire);
}

std::int64_t ReceiverTimeToUnix(std::uint32_t receiverTime) {
    return static_cast<std::int64_t>(receiverTime) + kReceiverEpochUnixTime;
}

std::uint32_t UnixToReceiverTime(std::int64_t unixTime) {
    const std::int64_t t = unixTime - kReceiverEpochUnixTime;
    if (t < 0)
        return 0;
    if (t > std::numeric_limits<std::uint32_t>::max()) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(t);
}

double WaypointAltitudeFromWire(float received) {
    // Kept as received: adding half a metre here (as a rounding step would)
    // raised every waypoint by 0.5 m on each download and upload.
    const double a = static_cast<double>(received);
    if (a >= -9999.0 && a <= 99999.0)
        return a;
    return kNoAltitude;
}

void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutS32(std::uint8_t* p, std::int32_t v) {
    PutU32(p, static_cast<std::uint32_t>(v));
}

void PutF32(std::uint8_t* p, float v) {
    PutU32(p, std::bit_cast<std::uint32_t>(v));
}

std::uint8_t GetU8(std::span<const std::uint8_t> d, std::size_t at) {
    return at < d.size() ? d[at] : 0;
}

std::uint16_t GetU16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>(GetU8(d, at) | GetU8(d, at + 1) << 8);
}

std::int16_t GetS16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::int16_t>(GetU16(d, at));
}

std::uint32_t GetU32(std::span<const std::uint8_t> d, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | GetU8(d, at + i);
    return v;
}

std::int32_t GetS32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::int32_t>(GetU32(d, at));
}

float GetF32(std::span<const std::uint8_t> d, std::size_t at) {
    return std::bit_cast<float>(GetU32(d, at));
}

bool IsNewerFamilyType(int waypointType) {
    return waypointType == kWaypointType4108 || waypointType == kWaypointType4109;
}

std::size_t WaypointNameLength(int waypointType) {
    return IsNewerFamilyType(waypointType) ? 10 : kOlderNameSize;
}

std::string UploadWaypointName(std::string_view storedName, int characterSet, bool newerFamily) {
    const std::string_view name = UpToNul(storedName);
    const std::size_t max = newerFamily ? 10 : kOlderNameSize;
    if (characterSet == 2) {
        // The receiver's own code has one byte per character.
        std::string out(name.substr(0, std::min(name.size(), max)));
        for (char& c : out)
            c = static_cast<char>(Charset2Upload(static_cast<std::uint8_t>(c)));
        return out;
    }
    // Only single-byte letters are upper-cased: the second byte of a
    // double-byte character may look like one, and the cut never splits one.
    std::string out(name.substr(0, cp932::FitLength(name, max)));
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (cp932::IsDoubleByteAt(out, i)) {
            ++i;
        } else if (out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        }
    }
    return out;
}

void DownloadWaypointName(std::span<const std::uint8_t> field, int characterSet, bool newerFamily,
                          char (&name)[kNameMax + 1]) {
    std::memset(name, 0, sizeof name);
    if (characterSet != 2) {
        const std::size_t max = newerFamily ? 10 : kOlderNameSize;
        const std::string_view text = FieldText(field.first(std::min(field.size(), max)), 0);
        cp932::CopyField(name, sizeof name, text, max);
        return;
    }
    // Character set 2: the receiver's own code, one byte per character.
    std::uint8_t raw[10] = {};
    std::size_t len = 0;
    if (newerFamily) {
        const std::string_view text =
            FieldText(field.first(std::min<std::size_t>(field.size(), 10)), 0);
        len = text.size();
        std::copy_n(text.data(), len, raw);
    } else {
        len = std::min(field.size(), kOlderNameSize);
        std::copy_n(field.data(), len, raw);
    }
    const std::size_t translated = len > kOlderNameSize ? len : kOlderNameSize;
    for (std::size_t i = 0; i < translated; ++i)
        name[i] = static_cast<char>(Charset2Download(raw[i]));
}

std::string ReceiverHeldName(ReceiverNameKind kind, std::string_view storedName, int waypointType,
                             int routeHeaderType, int characterSet) {
    const bool newer = IsNewerFamilyType(waypointType);
    std::string held;
    if (kind == ReceiverNameKind::kRoute) {
        const std::vector<std::uint8_t> packet =
            BuildRouteHeaderPacket(routeHeaderType, 0, storedName);
        held = ParseRouteHeader(newer, PacketData(packet.data(), packet.size())).name;
    } else {
        WaypointRecord w;
        cp932::CopyField(w.name, sizeof w.name, storedName, kNameMax);
        const std::vector<std::uint8_t> packet =
            BuildWaypointPacket(waypointType, characterSet, kPidWaypoint, w);
        WaypointRecord back;
        ParseWaypoint(waypointType, characterSet, PacketData(packet.data(), packet.size()), &back);
        held = back.name;
    }
    // Older layouts pad with spaces, which are no part of the name.
    held.erase(held.find_last_not_of(' ') + 1);
    return held;
}

std::vector<std::uint8_t> BuildProductRequestPacket() {
    return BuildPacket(kPidProductRequest, {});
}

std::array<std::uint8_t, 8> BuildCommandPacket(std::uint16_t code) {
    return BuildTwoBytePacket(kPidCommand, static_cast<std::uint8_t>(code),
                              static_cast<std::uint8_t>(code >> 8));
}

std::array<std::uint8_t, 8> BuildRecordsPacket(std::uint16_t count) {
    return BuildTwoBytePacket(kPidRecords, static_cast<std::uint8_t>(count),
                              static_cast<std::uint8_t>(count >> 8));
}

std::array<std::uint8_t, 8> BuildTransferCompletePacket(std::uint8_t first) {
    return BuildTwoBytePacket(kPidTransferComplete, first, 0);
}

std::vector<std::uint8_t> BuildWaypointPacket(int waypointType, std::uint8_t packetId,
                                              const WaypointFields& w) {
    const std::size_t size = WaypointDataSize(waypointType);
    std::uint8_t d[kWaypoint4109Size] = {};
    const std::int32_t lat = PositionToWire(w.latitude);
    const std::int32_t lon = PositionToWire(w.longitude);
    if (IsNewerFamilyType(waypointType)) {
        static constexpr std::uint8_t kHead[4] = {0x00, 0xFF, 0x00, 0x60};
        std::memcpy(d, kHead, 4);
        PutU16(d + 4, w.symbol);
        std::memset(d + 12, 0xFF, 12);
        PutS32(d + 24, lat);
        PutS32(d + 28, lon);
        // No altitude goes out as the protocol's own "no value", which a
        // download turns back into none.
        const bool none = w.altitude == kNoAltitude || !std::isfinite(w.altitude);
        PutF32(d + 32, none ? kNoAltitudeOnWire : static_cast<float>(w.altitude));
        if (waypointType == kWaypointType4109)
            std::memset(d + 48, 0xFF, 4);
        const std::string_view name = UpToNul(w.name);
        PutPadded(d + NewerNameOffset(waypointType), kNewerNameArea,
                  name.substr(0, cp932::FitLength(name, 10)), 0);
    } else {
        PutPadded(d, kOlderNameSize, UpToNul(w.name), ' ');
        PutS32(d + 6, lat);
        PutS32(d + 10, lon);
        PutPadded(d + 18, kOlderCommentSize, UpToNul(w.comment), ' ');
        if (waypointType == kWaypointType4103) {
            d[58] = static_cast<std::uint8_t>(w.symbol);
            d[59] = w.display;
        } else if (waypointType == kWaypointType4104) {
            PutF32(d + 58, static_cast<float>(w.proximity));
            PutU16(d + 62, w.symbol);
            d[64] = w.display;
        }
    }
    return BuildPacket(packetId, {d, size});
}

std::vector<std::uint8_t> BuildWaypointPacket(int waypointType, int characterSet,
                                              std::uint8_t packetId, const WaypointRecord& w) {
    const std::string name =
        UploadWaypointName({w.name, sizeof w.name}, characterSet, IsNewerFamilyType(waypointType));
    WaypointFields f;
    f.latitude = w.latitude;
    f.longitude = w.longitude;
    f.altitude = w.altitude;
    f.name = name;
    f.comment = UpToNul({w.comment, sizeof w.comment});
    f.symbol = w.symbol;
    f.display = static_cast<std::uint8_t>(w.display);
    f.proximity = w.proximity;
    return BuildWaypointPacket(waypointType, packetId, f);
}

std::vector<std::uint8_t> BuildRouteHeaderPacket(int routeHeaderType, std::uint8_t number,
                                                 std::string_view name) {
    name = UpToNul(name);
    if (routeHeaderType == kRouteHeader4202) {
        std::uint8_t d[kRouteHeader4202Size];
        PutPadded(d, sizeof d, name, 0);
        return BuildPacket(kPidRouteHeader, d);
    }
    std::uint8_t d[kRouteHeader4201Size];
    d[0] = number;
    PutPadded(d + 1, 20, name, ' ');
    return BuildPacket(kPidRouteHeader, d);
}

std::vector<std::uint8_t> BuildRouteLinkPacket() {
    std::uint8_t d[kRouteLinkSize] = {};
    d[0] = 0x03;
    std::memset(d + 8, 0xFF, 12);
    return BuildPacket(kPidRouteLink, d);
}

std::vector<std::uint8_t> BuildTrackHeaderPacket(std::string_view name) {
    name = UpToNul(name);
    // Keep the packet within what a receive slot holds.
    name = name.substr(0, cp932::FitLength(name, kMaxDataSize - 3));
    std::string upper(name);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    std::vector<std::uint8_t> d(name.size() + 3, 0);
    d[0] = upper == "ACTIVE LOG" ? 1 : 0;
    d[1] = 0xFF;
    std::copy(name.begin(), name.end(), d.begin() + 2);
    return BuildPacket(kPidTrackHeader, d);
}

std::vector<std::uint8_t> BuildTrackPointPacket(bool newerFamily, const TrackPoint& point,
                                                bool newSegment) {
    std::uint8_t d[kNewerTrackPointSize] = {};
    PutS32(d, PositionToWire(point.latitude));
    PutS32(d + 4, PositionToWire(point.longitude));
    PutU32(d + 8, point.time);
    if (!newerFamily) {
        d[12] = newSegment ? 1 : 0;
        return BuildPacket(kPidTrackPoint, {d, kOlderTrackPointSize});
    }
    PutF32(d + 12, static_cast<float>(point.altitude));
    static constexpr std::uint8_t kNoDepth[4] = {0x51, 0x59, 0x04, 0x69};  // 1.0e25
    std::memcpy(d + 16, kNoDepth, 4);
    d[20] = newSegment ? 1 : 0;
    std::memset(d + 21, 0xFF, 3);
    return BuildPacket(kPidTrackPoint, d);
}

bool ParseProductData(std::span<const std::uint8_t> data, ProductData* out) {
    if (data.size() < 4)
        return false;
    out->productId = GetS16(data, 0);
    out->softwareVersion = GetS16(data, 2);
    const std::string_view text = FieldText(data, 4);
    out->description.assign(text.substr(0, cp932::FitLength(text, kCommentMax)));
    return true;
}

int ParseRecordsCount(std::span<const std::uint8_t> data) {
    return GetS16(data, 0);
}

std::optional<std::uint8_t> CapabilityByte(std::span<const std::uint8_t> data) {
    if (data.size() <= 13)
        return std::nullopt;
    return data[13];
}

bool ParseWaypoint(int waypointType, int characterSet, std::span<const std::uint8_t> data,
                   WaypointRecord* out) {
    *out = WaypointRecord{};
    const std::size_t size = WaypointDataSize(waypointType);
    if (IsNewerFamilyType(waypointType)) {
        const std::size_t at = NewerNameOffset(waypointType);
        const std::span<const std::uint8_t> area =
            at < data.size() ? data.subspan(at, std::min(kNewerNameArea, data.size() - at))
                             : std::span<const std::uint8_t>{};
        DownloadWaypointName(area, characterSet, true, out->name);
        out->latitude = PositionFromWire(GetS32(data, 24));
        out->longitude = PositionFromWire(GetS32(data, 28));
        out->altitude = WaypointAltitudeFromWire(GetF32(data, 32));
        out->symbol = GetU16(data, 4);
        return data.size() >= size;
    }
    DownloadWaypointName(data.first(std::min(data.size(), kOlderNameSize)), characterSet, false,
                         out->name);
    out->latitude = PositionFromWire(GetS32(data, 6));
    out->longitude = PositionFromWire(GetS32(data, 10));
    out->altitude = 0.0;
    if (data.size() > 18) {
        const std::span<const std::uint8_t> comment =
            data.subspan(18, std::min(kOlderCommentSize, data.size() - 18));
        cp932::CopyField(out->comment, sizeof out->comment, FieldText(comment, 0),
                         kOlderCommentSize);
    }
    if (waypointType == kWaypointType4103) {
        out->symbol = GetU8(data, 58);
        out->display = GetU8(data, 59);
    } else if (waypointType == kWaypointType4104) {
        out->proximity = GetF32(data, 58);
        out->symbol = GetU16(data, 62);
        out->display = GetU8(data, 64);
    }
    return data.size() >= size;
}

RouteHeader ParseRouteHeader(bool newerFamily, std::span<const std::uint8_t> data) {
    RouteHeader h;
    if (newerFamily) {
        cp932::CopyField(h.name, sizeof h.name, FieldText(data, 0), kCommentMax);
        return h;
    }
    h.number = GetU8(data, 0);
    // The 20 name bytes followed by spaces, 63 characters in all.
    char text[kCommentMax];
    std::memset(text, ' ', sizeof text);
    for (std::size_t i = 0; i < 20; ++i)
        text[i] = static_cast<char>(GetU8(data, 1 + i));
    cp932::CopyField(h.name, sizeof h.name, {text, sizeof text}, kCommentMax);
    return h;
}

void ParseTrackHeaderName(std::span<const std::uint8_t> data, char (&name)[kNameMax + 1]) {
    cp932::CopyField(name, sizeof name, FieldText(data, 2), kNameMax);
}

bool ParseTrackPoint(bool newerFamily, std::span<const std::uint8_t> data,
                     ReceivedTrackPoint* out) {
    out->point.latitude = PositionFromWire(GetS32(data, 0));
    out->point.longitude = PositionFromWire(GetS32(data, 4));
    out->point.time = GetU32(data, 8);
    if (newerFamily) {
        out->point.altitude = GetF32(data, 12);
        out->newSegment = GetU8(data, 20) == 1;
        return data.size() >= kNewerTrackPointSize;
    }
    out->point.altitude = 0.0;
    out->newSegment = GetU8(data, 12) == 1;
    return data.size() >= kOlderTrackPointSize;
}

}  // namespace sorvane
