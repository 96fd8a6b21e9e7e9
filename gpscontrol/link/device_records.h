#pragma once
// Layouts of the data fields the receiver and the control exchange: builders
// that return complete unstuffed packets for uploads, parsers for what a
// receiver sends, and the small encodings they share.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/kel_records.h"
#include "text/record_limits.h"

namespace sorvane {

// Command codes (packet ID 10).
constexpr std::uint16_t kCommandTransferRoutes = 4;
constexpr std::uint16_t kCommandTransferTracks = 6;
constexpr std::uint16_t kCommandTransferWaypoints = 7;

// Data sizes of the fixed layouts.
constexpr std::size_t kWaypoint4101Size = 58;
constexpr std::size_t kWaypoint4103Size = 60;
constexpr std::size_t kWaypoint4104Size = 65;
constexpr std::size_t kWaypoint4108Size = 64;
constexpr std::size_t kWaypoint4109Size = 68;
constexpr std::size_t kRouteHeader4201Size = 21;
constexpr std::size_t kRouteHeader4202Size = 40;
constexpr std::size_t kRouteLinkSize = 21;
constexpr std::size_t kOlderTrackPointSize = 13;
constexpr std::size_t kNewerTrackPointSize = 24;

// --- Encodings -------------------------------------------------------------

// Positions travel as signed 32-bit units of 180 / 2^31 degree.
constexpr double kWireToDegrees = 8.381903171539307e-8;
constexpr double kDegreesToWire = 11930464.711111112;
double PositionFromWire(std::int32_t value);
// Every position sent is rounded to the nearest unit, halves away from zero,
// so that a download followed by an upload gives back the same values on
// both sides of the equator and of Greenwich. Out-of-range and non-finite
// degrees are clamped to the 32-bit range (NaN gives 0).
std::int32_t PositionToWire(double degrees);

// Receiver time: seconds since 1989-12-31 00:00:00 UTC.
std::int64_t ReceiverTimeToUnix(std::uint32_t receiverTime);
// Clamped to the representable receiver times.
std::uint32_t UnixToReceiverTime(std::int64_t unixTime);

// Newer-family waypoint altitude as stored: as received, or kNoAltitude when
// it lies outside -9999..99999 (receivers send 1.0e25 for none).
double WaypointAltitudeFromWire(float received);
// What a newer-family waypoint without an altitude (kNoAltitude) carries.
constexpr float kNoAltitudeOnWire = 1.0e25f;

// Little-endian fields.
void PutU16(std::uint8_t* p, std::uint16_t v);
void PutU32(std::uint8_t* p, std::uint32_t v);
void PutS32(std::uint8_t* p, std::int32_t v);
void PutF32(std::uint8_t* p, float v);
// Readers over a data field; bytes beyond its end read as zero.
std::uint8_t GetU8(std::span<const std::uint8_t> d, std::size_t at);
std::uint16_t GetU16(std::span<const std::uint8_t> d, std::size_t at);
std::int16_t GetS16(std::span<const std::uint8_t> d, std::size_t at);
std::uint32_t GetU32(std::span<const std::uint8_t> d, std::size_t at);
std::int32_t GetS32(std::span<const std::uint8_t> d, std::size_t at);
float GetF32(std::span<const std::uint8_t> d, std::size_t at);

bool IsNewerFamilyType(int waypointType);
// Maximum name characters a layout carries: 6 (older) or 10 (newer).
std::size_t WaypointNameLength(int waypointType);

// --- Names -----------------------------------------------------------------

// The name as sent: the stored name up to its end, at most 6 or 10 bytes,
// upper-cased (a-z) for character set 1 or through the upload table for set 2.
std::string UploadWaypointName(std::string_view storedName, int characterSet, bool newerFamily);

// The stored name of a received waypoint. field is the name area of the layout
// (6 bytes for the older family, the 12-byte area for the newer family). For
// character set 2 the first six bytes are translated, zero bytes becoming
// spaces; further characters of a newer-family name are translated too.
void DownloadWaypointName(std::span<const std::uint8_t> field, int characterSet, bool newerFamily,
                          char (&name)[kNameMax + 1]);

// What a receiver keeps of a name the store holds, as a download reads it
// back, without the padding of its field: a waypoint's (or route
// waypoint's) name cut to the layout's length and upper-cased or put into
// the receiver's character set; a route's name cut to the route header's
// field. Worked out by building the record and reading it back.
enum class ReceiverNameKind { kWaypoint, kRoute };
std::string ReceiverHeldName(ReceiverNameKind kind, std::string_view storedName, int waypointType,
                             int routeHeaderType, int characterSet);

// --- Builders (complete unstuffed packets with their checksum) ---------------

std::vector<std::uint8_t> BuildProductRequestPacket();
std::array<std::uint8_t, 8> BuildCommandPacket(std::uint16_t code);
std::array<std::uint8_t, 8> BuildRecordsPacket(std::uint16_t count);
// Ends an upload; the first data byte is chosen by the upload, the second is 0.
std::array<std::uint8_t, 8> BuildTransferCompletePacket(std::uint8_t first);

// A waypoint as it goes into a record: name already upper-cased or
// translated, comment as stored. The builder cuts and pads both.
struct WaypointFields {
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;
    std::string_view name;
    std::string_view comment;
    std::uint16_t symbol = 0;
    std::uint8_t display = 0;
    double proximity = 0.0;
};

// Packet ID 35 (waypoint) or 30 (route waypoint) in the layout of the
// waypoint record type (unknown types use 4101): 64, 66, 71, 70 or 74 bytes.
std::vector<std::uint8_t> BuildWaypointPacket(int waypointType, std::uint8_t packetId,
                                              const WaypointFields& w);
// The same from a stored record, applying the name rules of the character set.
std::vector<std::uint8_t> BuildWaypointPacket(int waypointType, int characterSet,
                                              std::uint8_t packetId, const WaypointRecord& w);
// Packet ID 29 in the route header layout (unknown types use 4201).
std::vector<std::uint8_t> BuildRouteHeaderPacket(int routeHeaderType, std::uint8_t number,
                                                 std::string_view name);
std::vector<std::uint8_t> BuildRouteLinkPacket();
// Display flag 1 for a name that upper-cases to "ACTIVE LOG"; the name is sent as stored.
std::vector<std::uint8_t> BuildTrackHeaderPacket(std::string_view name);
std::vector<std::uint8_t> BuildTrackPointPacket(bool newerFamily, const TrackPoint& point,
                                                bool newSegment);

// --- Parsers (over a packet's data field) -------------------------------------

struct ProductData {
    std::int32_t productId = -1;
    std::int32_t softwareVersion = -1;
    std::string description;  // first string, at most 63 bytes
};
// False when the field is too short to hold the ID and version.
bool ParseProductData(std::span<const std::uint8_t> data, ProductData* out);

// The announced count, read as signed 16-bit.
int ParseRecordsCount(std::span<const std::uint8_t> data);

// The capability byte: data offset 13 of the list, when the list is that long.
std::optional<std::uint8_t> CapabilityByte(std::span<const std::uint8_t> data);

// Fills a waypoint (or route waypoint) from a received record. Returns false
// when the record is shorter than its layout; the missing bytes read as zero.
bool ParseWaypoint(int waypointType, int characterSet, std::span<const std::uint8_t> data,
                   WaypointRecord* out);

struct RouteHeader {
    std::uint16_t number = 0;
    char name[kCommentMax + 1] = {};
};
// Received headers are read by family, not by header type.
RouteHeader ParseRouteHeader(bool newerFamily, std::span<const std::uint8_t> data);

void ParseTrackHeaderName(std::span<const std::uint8_t> data, char (&name)[kNameMax + 1]);

struct ReceivedTrackPoint {
    TrackPoint point;
    bool newSegment = false;
};
// Older-family points get altitude 0. False when the record is short.
bool ParseTrackPoint(bool newerFamily, std::span<const std::uint8_t> data, ReceivedTrackPoint* out);

}  // namespace sorvane
