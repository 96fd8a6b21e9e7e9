#pragma once
// The program's own store of tracks, waypoints and routes. Positions are
// decimal degrees in the datum the GPS control handed out; texts are code
// page 932 bytes in fixed, zero-filled fields.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "text/record_limits.h"

namespace tobrel {

using sorvane::kCommentMax;  // comment and route name, without terminator
using sorvane::kNameMax;     // identifier and track name, without terminator
// Unix time of the receiver's epoch, 1989-12-31 00:00:00 UTC.
constexpr auto kUnixTimeOffset = static_cast<std::uint32_t>(sorvane::kReceiverEpochUnixTime);

#pragma pack(push, 1)
// One track point; the same 44 bytes in memory and in the native file.
struct TrackData {
    double latitude;
    double longitude;
    std::uint32_t time;  // seconds since 1989-12-31 00:00:00 UTC
    std::int16_t segment;
    std::uint16_t heading;  // whole degrees from the previous point
    float altitude;
    double distance;  // cumulative from the first point, metres
    std::uint8_t reserved[8];
};

// A free waypoint or a route waypoint; the same 116 bytes in memory and in the file.
struct WaypointData {
    double latitude;
    double longitude;
    float altitude;
    float distance;  // proximity distance
    std::uint16_t symbol;
    std::uint16_t display;
    char ident[kNameMax + 1];
    char comment[kCommentMax + 1];
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "records are stored little-endian");
static_assert(sizeof(TrackData) == 44);
static_assert(offsetof(TrackData, longitude) == 8);
static_assert(offsetof(TrackData, time) == 16);
static_assert(offsetof(TrackData, segment) == 20);
static_assert(offsetof(TrackData, heading) == 22);
static_assert(offsetof(TrackData, altitude) == 24);
static_assert(offsetof(TrackData, distance) == 28);
static_assert(offsetof(TrackData, reserved) == 36);
static_assert(sizeof(WaypointData) == 116);
static_assert(offsetof(WaypointData, longitude) == 8);
static_assert(offsetof(WaypointData, altitude) == 16);
static_assert(offsetof(WaypointData, distance) == 20);
static_assert(offsetof(WaypointData, symbol) == 24);
static_assert(offsetof(WaypointData, display) == 26);
static_assert(offsetof(WaypointData, ident) == 28);
static_assert(offsetof(WaypointData, comment) == 52);

struct TrackHeader {
    char name[kNameMax + 1] = {};
    std::int32_t segmentCount = 0;
    std::vector<TrackData> pTrackData;

    int PointCount() const { return static_cast<int>(pTrackData.size()); }
};

struct RouteHeader {
    char name[kCommentMax + 1] = {};
    std::vector<WaypointData> pWaypointData;

    int WaypointCount() const { return static_cast<int>(pWaypointData.size()); }
};

// Great-circle distance in metres on a sphere of radius 6378137 - axisDifference.
double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2,
                           double axisDifference);
// Initial bearing in degrees clockwise from north; 180 for two equal positions.
double InitialBearing(double lat1, double lon1, double lat2, double lon2);
// Whole degrees as kept in a track point's 16-bit heading.
std::uint16_t HeadingField(double bearing);

// UTC minus local standard time of this machine, in seconds.
std::int32_t LocalTimeZoneBias();

// Every operation takes zero-based indices; an index out of range does nothing
// and returns false, 0, null or the value its comment names. Text arguments are
// copied; a null text leaves the field unchanged. Pointers into the store stay
// valid until the next operation that resizes that array.
class TobrelFile {
  public:
    TobrelFile();

    // Tracks
    int GetTrackCount() const { return static_cast<int>(pTrackHeader.size()); }
    void ClearTracks();
    bool SetTrackCount(int n);
    // Appends k empty tracks; k = 0 appends nothing and succeeds.
    bool AddTracks(int k);
    bool DeleteTrack(int track);
    bool SetTrackName(int track, const char* name);
    const char* GetTrackName(int track, char* buffer = nullptr, int size = 0) const;
    bool SetTrackPointCount(int track, int n);
    int GetTrackPointCount(int track) const;
    bool SetTrackSegmentCount(int track, int n);
    int GetTrackSegmentCount(int track) const;
    bool FindSegmentRange(int track, int segment, int* first, int* last) const;
    bool SetTrackPoint(int track, int index, int segment, double latitude, double longitude,
                       double altitude);
    bool GetTrackPoint(int track, int index, double* latitude, double* longitude,
                       double* altitude) const;
    bool SetTrackPointTime(int track, int index, std::uint32_t time);
    // Unix time of the point; kUnixTimeOffset for an invalid track or index.
    std::int64_t GetTrackPointTime(int track, int index) const;
    bool RecalcTrack(int track, double axisDifference);
    // Appends one point, keeping the others (a track recorded as it grows);
    // false for a track out of range or when memory runs out.
    bool AppendTrackPoint(int track, const TrackData& point);
    // Direct access for the files and the overlay; null when out of range.
    const TrackHeader* GetTrackHeader(int track) const;
    TrackData* GetTrackData(int track);
    const TrackData* GetTrackData(int track) const;

    // Waypoints
    int GetWaypointCount() const { return static_cast<int>(pWaypointData.size()); }
    void ClearWaypoints();
    bool SetWaypointCount(int n);
    // Index of the first new record; 0 when k < 1 or on failure.
    int AddWaypoints(int k);
    bool DeleteWaypoint(int index);
    bool SetWaypoint(int index, const char* ident, const char* comment, double latitude,
                     double longitude, double altitude, float distance, std::uint16_t symbol,
                     std::uint16_t display);
    const char* GetWaypointIdent(int index, char* buffer = nullptr, int size = 0) const;
    const char* GetWaypointComment(int index, char* buffer = nullptr, int size = 0) const;
    bool GetWaypointPosition(int index, double* latitude, double* longitude,
                             double* altitude) const;
    float GetWaypointDistance(int index) const;
    std::uint16_t GetWaypointSymbol(int index) const;
    std::uint16_t GetWaypointDisplay(int index) const;
    const WaypointData* GetWaypointData(int index) const;

    // Routes
    int GetRouteCount() const { return static_cast<int>(pRouteHeader.size()); }
    void ClearRoutes();
    bool SetRouteCount(int n);
    // New route count; 0 on failure.
    int AppendRoute();
    bool SetRouteName(int route, const char* name);
    const char* GetRouteName(int route, char* buffer = nullptr, int size = 0) const;
    int GetRouteWaypointCount(int route) const;
    bool InsertRouteWaypoint(int route, int position, const char* ident, const char* comment,
                             double latitude, double longitude, double altitude, float distance,
                             std::uint16_t symbol, std::uint16_t display);
    const char* GetRouteWaypointIdent(int route, int index, char* buffer = nullptr,
                                      int size = 0) const;
    bool GetRouteWaypointPosition(int route, int index, double* latitude, double* longitude,
                                  double* altitude) const;
    const RouteHeader* GetRouteHeader(int route) const;

    std::int32_t TimeZoneBias() const { return timeZoneBias_; }
    void SetTimeZoneBias(std::int32_t bias) { timeZoneBias_ = bias; }

  private:
    TrackHeader* Track(int track);
    const TrackHeader* Track(int track) const;
    TrackData* Point(int track, int index);
    const TrackData* Point(int track, int index) const;

    std::vector<TrackHeader> pTrackHeader;
    std::vector<WaypointData> pWaypointData;
    std::vector<RouteHeader> pRouteHeader;
    std::int32_t timeZoneBias_;
};

}  // namespace tobrel
