#include "data/tobrel_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <new>
#include <string_view>

#include "text/cp932.h"

namespace tobrel {

namespace {

// The program's own value of pi; distances and headings depend on it.
constexpr double kPi = 3.14159265359;
constexpr double kSameSpot = 2.7777777777777776e-7;  // a thousandth of an arc second
constexpr double kEarthRadius = 6378137.0;

// Text of a fixed field up to its terminator, never beyond the field.
std::string_view FieldText(const char* field, std::size_t size) {
    return std::string_view(field, strnlen(field, size));
}

void StoreText(char* field, std::size_t size, const char* text) {
    sorvane::cp932::CopyField(field, size, text, size - 1);
}

// The stored text; the caller's buffer, when given, gets at most size - 1 bytes.
const char* HandOut(const char* field, std::size_t fieldSize, char* buffer, int size) {
    if (buffer != nullptr && size >= 1) {
        sorvane::cp932::CopyField(buffer, static_cast<std::size_t>(size),
                                  FieldText(field, fieldSize), static_cast<std::size_t>(size) - 1);
    }
    return field;
}

// A null text leaves that field as it was.
void FillWaypoint(WaypointData& w, const char* ident, const char* comment, double latitude,
                  double longitude, double altitude, float distance, std::uint16_t symbol,
                  std::uint16_t display) {
    if (ident != nullptr)
        StoreText(w.ident, sizeof w.ident, ident);
    if (comment != nullptr)
        StoreText(w.comment, sizeof w.comment, comment);
    w.latitude = latitude;
    w.longitude = longitude;
    w.altitude = static_cast<float>(altitude);
    w.distance = distance;
    w.symbol = symbol;
    w.display = display;
}

template <typename T>
bool InRange(const std::vector<T>& v, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < v.size();
}

// Appends k default records, leaving v untouched when memory runs out.
template <typename T>
bool Grow(std::vector<T>& v, int k) {
    if (k < 1 || static_cast<long long>(v.size()) + k > INT_MAX)
        return false;
    try {
        v.resize(v.size() + static_cast<std::size_t>(k));
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace

double GreatCircleDistance(double lat1, double lon1, double lat2, double lon2,
                           double axisDifference) {
    if (std::fabs(lat1 - lat2) < kSameSpot && std::fabs(lon1 - lon2) < kSameSpot)
        return 0.0;
    const double f = (1.0 / 360.0) * 2.0 * kPi;
    lat1 *= f;
    lon1 *= f;
    lat2 *= f;
    lon2 *= f;
    double c =
        std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(lon2 - lon1);
    // Rounding can push c just past +-1 for very close or antipodal points.
    if (c > 1.0)
        c = 1.0;
    if (c < -1.0)
        c = -1.0;
    return std::acos(c) * (kEarthRadius - axisDifference);
}

double InitialBearing(double lat1, double lon1, double lat2, double lon2) {
    const double f = kPi * (1.0 / 180.0);
    lat1 *= f;
    lon1 *= f;
    lat2 *= f;
    lon2 *= f;
    if (std::fabs(lon2 - lon1) < 1e-9)
        return lat2 > lat1 ? 0.0 : 180.0;
    if (std::fabs(lat2 - lat1) < 1e-9)
        return lon2 > lon1 ? 90.0 : 270.0;
    const double k = std::cos(lat1) * std::tan(lat2) / std::sin(lon2 - lon1) -
                     std::sin(lat1) / std::tan(lon2 - lon1);
    double result = 90.0 - std::atan(k) * 180.0 / kPi;
    if (lon2 < lon1)
        result += 180.0;
    return result;
}

std::uint16_t HeadingField(double bearing) {
    // Positions read from a file may be NaN or absurd; converting those to an
    // integer would be undefined, so they get heading 0.
    if (!(bearing > static_cast<double>(INT_MIN) - 1.0 &&
          bearing < static_cast<double>(INT_MAX) + 1.0))
        return 0;
    return static_cast<std::uint16_t>(static_cast<int>(bearing));
}

std::int32_t LocalTimeZoneBias() {
    tzset();
    return static_cast<std::int32_t>(timezone);
}

TobrelFile::TobrelFile() : timeZoneBias_(LocalTimeZoneBias()) {}

TrackHeader* TobrelFile::Track(int track) {
    return InRange(pTrackHeader, track) ? &pTrackHeader[static_cast<std::size_t>(track)] : nullptr;
}

const TrackHeader* TobrelFile::Track(int track) const {
    return InRange(pTrackHeader, track) ? &pTrackHeader[static_cast<std::size_t>(track)] : nullptr;
}

TrackData* TobrelFile::Point(int track, int index) {
    TrackHeader* t = Track(track);
    if (t == nullptr || !InRange(t->pTrackData, index))
        return nullptr;
    return &t->pTrackData[static_cast<std::size_t>(index)];
}

const TrackData* TobrelFile::Point(int track, int index) const {
    const TrackHeader* t = Track(track);
    if (t == nullptr || !InRange(t->pTrackData, index))
        return nullptr;
    return &t->pTrackData[static_cast<std::size_t>(index)];
}

void TobrelFile::ClearTracks() {
    std::vector<TrackHeader>().swap(pTrackHeader);
}

bool TobrelFile::SetTrackCount(int n) {
    if (n < 1)
        return false;
    ClearTracks();
    return Grow(pTrackHeader, n);
}

bool TobrelFile::AddTracks(int k) {
    return k == 0 || Grow(pTrackHeader, k);
}

bool TobrelFile::DeleteTrack(int track) {
    if (!InRange(pTrackHeader, track))
        return false;
    if (pTrackHeader.size() == 1) {
        ClearTracks();
        return true;
    }
    pTrackHeader.erase(pTrackHeader.begin() + track);
    return true;
}

bool TobrelFile::SetTrackName(int track, const char* name) {
    TrackHeader* t = Track(track);
    if (t == nullptr)
        return false;
    if (name != nullptr)
        StoreText(t->name, sizeof t->name, name);
    return true;
}

const char* TobrelFile::GetTrackName(int track, char* buffer, int size) const {
    const TrackHeader* t = Track(track);
    if (t == nullptr)
        return nullptr;
    return HandOut(t->name, sizeof t->name, buffer, size);
}

bool TobrelFile::SetTrackPointCount(int track, int n) {
    TrackHeader* t = Track(track);
    if (t == nullptr || n <= 0)
        return false;
    std::vector<TrackData> points;
    try {
        points.resize(static_cast<std::size_t>(n), TrackData{});
    } catch (const std::exception&) {
        return false;
    }
    t->pTrackData.swap(points);
    t->segmentCount = 1;
    return true;
}

int TobrelFile::GetTrackPointCount(int track) const {
    const TrackHeader* t = Track(track);
    return t != nullptr ? t->PointCount() : 0;
}

bool TobrelFile::SetTrackSegmentCount(int track, int n) {
    TrackHeader* t = Track(track);
    if (t == nullptr)
        return false;
    t->segmentCount = n;
    return true;
}

int TobrelFile::GetTrackSegmentCount(int track) const {
    const TrackHeader* t = Track(track);
    return t != nullptr ? t->segmentCount : 0;
}

bool TobrelFile::FindSegmentRange(int track, int segment, int* first, int* last) const {
    int f = -1;
    int l = -1;
    const TrackHeader* t = Track(track);
    if (t != nullptr && segment >= 1 && segment <= t->segmentCount) {
        const int n = t->PointCount();
        for (int i = 0; i < n; ++i) {
            if (t->pTrackData[static_cast<std::size_t>(i)].segment != segment)
                continue;
            if (f < 0)
                f = i;
            l = i;
        }
    }
    if (first != nullptr)
        *first = f;
    if (last != nullptr)
        *last = l;
    return f >= 0;
}

bool TobrelFile::SetTrackPoint(int track, int index, int segment, double latitude, double longitude,
                               double altitude) {
    TrackData* p = Point(track, index);
    if (p == nullptr)
        return false;
    p->segment = static_cast<std::int16_t>(segment);
    p->latitude = latitude;
    p->longitude = longitude;
    p->altitude = static_cast<float>(altitude);
    return true;
}

bool TobrelFile::GetTrackPoint(int track, int index, double* latitude, double* longitude,
                               double* altitude) const {
    const TrackData* p = Point(track, index);
    if (p == nullptr)
        return false;
    if (latitude != nullptr)
        *latitude = p->latitude;
    if (longitude != nullptr)
        *longitude = p->longitude;
    if (altitude != nullptr)
        *altitude = p->altitude;
    return true;
}

bool TobrelFile::SetTrackPointTime(int track, int index, std::uint32_t time) {
    TrackData* p = Point(track, index);
    if (p == nullptr)
        return false;
    p->time = time;
    return true;
}

std::int64_t TobrelFile::GetTrackPointTime(int track, int index) const {
    const TrackData* p = Point(track, index);
    return static_cast<std::int64_t>(p != nullptr ? p->time : 0) + kUnixTimeOffset;
}

bool TobrelFile::RecalcTrack(int track, double axisDifference) {
    TrackHeader* t = Track(track);
    if (t == nullptr || t->pTrackData.empty())
        return false;
    std::vector<TrackData>& pts = t->pTrackData;
    pts[0].distance = 0.0;
    pts[0].heading = 0;
    for (std::size_t i = 1; i < pts.size(); ++i) {
        const TrackData& p = pts[i - 1];
        TrackData& q = pts[i];
        q.distance = p.distance + GreatCircleDistance(p.latitude, p.longitude, q.latitude,
                                                      q.longitude, axisDifference);
        q.heading = HeadingField(InitialBearing(p.latitude, p.longitude, q.latitude, q.longitude));
    }
    return true;
}

bool TobrelFile::AppendTrackPoint(int track, const TrackData& point) {
    TrackHeader* t = Track(track);
    if (t == nullptr)
        return false;
    try {
        t->pTrackData.push_back(point);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

const TrackHeader* TobrelFile::GetTrackHeader(int track) const {
    return Track(track);
}

TrackData* TobrelFile::GetTrackData(int track) {
    TrackHeader* t = Track(track);
    return t != nullptr && !t->pTrackData.empty() ? t->pTrackData.data() : nullptr;
}

const TrackData* TobrelFile::GetTrackData(int track) const {
    const TrackHeader* t = Track(track);
    return t != nullptr && !t->pTrackData.empty() ? t->pTrackData.data() : nullptr;
}

void TobrelFile::ClearWaypoints() {
    std::vector<WaypointData>().swap(pWaypointData);
}

bool TobrelFile::SetWaypointCount(int n) {
    if (n < 0)
        return false;
    ClearWaypoints();
    if (n == 0)
        return true;
    return Grow(pWaypointData, n);
}

int TobrelFile::AddWaypoints(int k) {
    const int first = GetWaypointCount();
    return Grow(pWaypointData, k) ? first : 0;
}

bool TobrelFile::DeleteWaypoint(int index) {
    if (!InRange(pWaypointData, index))
        return false;
    if (pWaypointData.size() == 1) {
        ClearWaypoints();
        return true;
    }
    pWaypointData.erase(pWaypointData.begin() + index);
    return true;
}

bool TobrelFile::SetWaypoint(int index, const char* ident, const char* comment, double latitude,
                             double longitude, double altitude, float distance,
                             std::uint16_t symbol, std::uint16_t display) {
    if (!InRange(pWaypointData, index))
        return false;
    FillWaypoint(pWaypointData[static_cast<std::size_t>(index)], ident, comment, latitude,
                 longitude, altitude, distance, symbol, display);
    return true;
}

const char* TobrelFile::GetWaypointIdent(int index, char* buffer, int size) const {
    const WaypointData* w = GetWaypointData(index);
    return w != nullptr ? HandOut(w->ident, sizeof w->ident, buffer, size) : nullptr;
}

const char* TobrelFile::GetWaypointComment(int index, char* buffer, int size) const {
    const WaypointData* w = GetWaypointData(index);
    return w != nullptr ? HandOut(w->comment, sizeof w->comment, buffer, size) : nullptr;
}

bool TobrelFile::GetWaypointPosition(int index, double* latitude, double* longitude,
                                     double* altitude) const {
    const WaypointData* w = GetWaypointData(index);
    if (w == nullptr)
        return false;
    if (latitude != nullptr)
        *latitude = w->latitude;
    if (longitude != nullptr)
        *longitude = w->longitude;
    if (altitude != nullptr)
        *altitude = w->altitude;
    return true;
}

float TobrelFile::GetWaypointDistance(int index) const {
    const WaypointData* w = GetWaypointData(index);
    return w != nullptr ? w->distance : 0.0f;
}

std::uint16_t TobrelFile::GetWaypointSymbol(int index) const {
    const WaypointData* w = GetWaypointData(index);
    return w != nullptr ? w->symbol : 0;
}

std::uint16_t TobrelFile::GetWaypointDisplay(int index) const {
    const WaypointData* w = GetWaypointData(index);
    return w != nullptr ? w->display : 0;
}

const WaypointData* TobrelFile::GetWaypointData(int index) const {
    return InRange(pWaypointData, index) ? &pWaypointData[static_cast<std::size_t>(index)]
                                         : nullptr;
}

void TobrelFile::ClearRoutes() {
    std::vector<RouteHeader>().swap(pRouteHeader);
}

bool TobrelFile::SetRouteCount(int n) {
    if (n < 1)
        return false;
    ClearRoutes();
    return Grow(pRouteHeader, n);
}

int TobrelFile::AppendRoute() {
    return Grow(pRouteHeader, 1) ? GetRouteCount() : 0;
}

bool TobrelFile::SetRouteName(int route, const char* name) {
    if (!InRange(pRouteHeader, route) || name == nullptr)
        return false;
    RouteHeader& r = pRouteHeader[static_cast<std::size_t>(route)];
    StoreText(r.name, sizeof r.name, name);
    return true;
}

const char* TobrelFile::GetRouteName(int route, char* buffer, int size) const {
    const RouteHeader* r = GetRouteHeader(route);
    return r != nullptr ? HandOut(r->name, sizeof r->name, buffer, size) : nullptr;
}

int TobrelFile::GetRouteWaypointCount(int route) const {
    const RouteHeader* r = GetRouteHeader(route);
    return r != nullptr ? r->WaypointCount() : 0;
}

bool TobrelFile::InsertRouteWaypoint(int route, int position, const char* ident,
                                     const char* comment, double latitude, double longitude,
                                     double altitude, float distance, std::uint16_t symbol,
                                     std::uint16_t display) {
    if (!InRange(pRouteHeader, route) || position < 0)
        return false;
    std::vector<WaypointData>& list = pRouteHeader[static_cast<std::size_t>(route)].pWaypointData;
    if (list.size() >= static_cast<std::size_t>(INT_MAX))
        return false;
    const std::size_t at = std::min(static_cast<std::size_t>(position), list.size());
    WaypointData w{};
    FillWaypoint(w, ident, comment, latitude, longitude, altitude, distance, symbol, display);
    try {
        list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), w);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

const char* TobrelFile::GetRouteWaypointIdent(int route, int index, char* buffer, int size) const {
    const RouteHeader* r = GetRouteHeader(route);
    if (r == nullptr || !InRange(r->pWaypointData, index))
        return nullptr;
    const WaypointData& w = r->pWaypointData[static_cast<std::size_t>(index)];
    return HandOut(w.ident, sizeof w.ident, buffer, size);
}

bool TobrelFile::GetRouteWaypointPosition(int route, int index, double* latitude, double* longitude,
                                          double* altitude) const {
    const RouteHeader* r = GetRouteHeader(route);
    if (r == nullptr || !InRange(r->pWaypointData, index))
        return false;
    const WaypointData& w = r->pWaypointData[static_cast<std::size_t>(index)];
    if (latitude != nullptr)
        *latitude = w.latitude;
    if (longitude != nullptr)
        *longitude = w.longitude;
    if (altitude != nullptr)
        *altitude = w.altitude;
    return true;
}

const RouteHeader* TobrelFile::GetRouteHeader(int route) const {
    return InRange(pRouteHeader, route) ? &pRouteHeader[static_cast<std::size_t>(route)] : nullptr;
}

}  // namespace tobrel
