#include "store/kel_data.h"

#include <climits>
#include <cstring>
#include <new>

#include "geodesy/waypoint_symbols.h"
#include "records/product_table.h"
#include "store/messages.h"
#include "store/record_growth.h"
#include "text/cp932.h"

namespace sorvane {

namespace {

constexpr std::string_view kMemoryText = "Memory allocation";
constexpr std::size_t kDatumNameBuffer = 256;

template <class T>
bool Append(std::vector<T>& v, T&& item, std::string_view caption) {
    if (TryAppend(v, std::move(item)))
        return true;
    ShowMessage(kMemoryText, caption);
    return false;
}

template <class T>
bool ValidIndex(const std::vector<T>& v, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < v.size();
}

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

std::unique_ptr<MapDatum> MakeTokyoDatum() {
    return MapDatum::Create("Tokyo");
}

}  // namespace

KelData::KelData() : KelData(DatumFactory(MakeTokyoDatum)) {}

KelData::KelData(const DatumFactory& makeDatum) {
    try {
        if (makeDatum)
            datum_ = makeDatum();
    } catch (const std::bad_alloc&) {
        datum_.reset();
    }
    if (!datum_)
        ShowMessage("Can't create MapDatum object", "ERROR");
}

KelData::~KelData() = default;

// ---- conversions -------------------------------------------------------------

// A position without an altitude converts at WGS 84 height 0, where the
// sentinel itself as a height would move it (by 0.7 m for -9999, not at all
// for 1.0e25); its altitude stays the sentinel.
GeoPosition KelData::ToWgs84(double latitude, double longitude, double altitude) const {
    const bool absent = IsAltitudeAbsent(altitude);
    GeoPosition p{latitude, longitude, altitude};
    if (datum_) {
        const auto c = absent ? datum_->localToWgs84AtHeightZero(latitude, longitude)
                              : datum_->localToWgs84(latitude, longitude, altitude);
        if (c)
            p = *c;
    }
    if (absent)
        p.height = altitude;
    return p;
}

GeoPosition KelData::ToLocal(double latitude, double longitude, double altitude) const {
    const bool absent = IsAltitudeAbsent(altitude);
    GeoPosition p{latitude, longitude, altitude};
    if (datum_) {
        if (auto c = datum_->wgs84ToLocal(latitude, longitude, absent ? 0.0 : altitude))
            p = *c;
    }
    if (absent)
        p.height = altitude;
    return p;
}

// ---- tracks ------------------------------------------------------------------

int KelData::AddTrack(std::string_view name) {
    TrackRecord track;
    cp932::CopyField(track.name, sizeof track.name, name, kNameMax);
    return Append(tracks_, std::move(track), "KelData::AddTrack") ? 1 : 0;
}

int KelData::AddTrackSegment(int track) {
    if (!ValidIndex(tracks_, track))
        return 0;
    return Append(tracks_[track].segments, TrackSegment{}, "KelData::AddTrackSegment") ? 1 : 0;
}

int KelData::AddTrackData(int track, int segment, double latitude, double longitude,
                          double altitude, std::uint32_t time) {
    if (!ValidIndex(tracks_, track))
        return 0;
    auto& segments = tracks_[track].segments;
    if (!ValidIndex(segments, segment))
        return 0;
    const GeoPosition p = ToWgs84(latitude, longitude, altitude);
    TrackPoint point{p.latitude, p.longitude, p.height, time};
    return Append(segments[segment].points, std::move(point), "KelData::AddTrackData") ? 1 : 0;
}

void KelData::DeleteTrackAll() {
    std::vector<TrackRecord>().swap(tracks_);
}

int KelData::GetTrackCount() const {
    return static_cast<int>(tracks_.size());
}

int KelData::GetTrackSegmentCount(int track) const {
    if (!ValidIndex(tracks_, track))
        return 0;
    return static_cast<int>(tracks_[track].segments.size());
}

int KelData::GetTrackDataCount(int track) const {
    if (!ValidIndex(tracks_, track))
        return 0;
    long long sum = 0;
    for (const TrackSegment& s : tracks_[track].segments)
        sum += s.points.size();
    return sum > INT_MAX ? INT_MAX : static_cast<int>(sum);
}

int KelData::GetTrackSegmentDataCount(int track, int segment) const {
    if (!ValidIndex(tracks_, track))
        return 0;
    const auto& segments = tracks_[track].segments;
    if (!ValidIndex(segments, segment))
        return 0;
    return static_cast<int>(segments[segment].points.size());
}

std::string KelData::GetTrackName(int track) const {
    if (!ValidIndex(tracks_, track))
        return {};
    return FieldText(tracks_[track].name);
}

const TrackPoint* KelData::FindTrackPoint(int track, int segment, int point) const {
    if (!ValidIndex(tracks_, track))
        return nullptr;
    const auto& segments = tracks_[track].segments;
    if (!ValidIndex(segments, segment))
        return nullptr;
    const auto& points = segments[segment].points;
    if (!ValidIndex(points, point))
        return nullptr;
    return &points[point];
}

int KelData::GetTrackPosition(int track, int segment, int point, double& latitude,
                              double& longitude, double& altitude) const {
    const TrackPoint* p = FindTrackPoint(track, segment, point);
    if (p == nullptr) {
        latitude = longitude = altitude = 0.0;
        return 0;
    }
    const GeoPosition local = ToLocal(p->latitude, p->longitude, p->altitude);
    latitude = local.latitude;
    longitude = local.longitude;
    altitude = local.height;
    return 1;
}

std::uint32_t KelData::GetTrackUnixTime(int track, int segment, int point) const {
    const TrackPoint* p = FindTrackPoint(track, segment, point);
    return p ? p->time : 0;
}

// ---- waypoints ---------------------------------------------------------------

WaypointRecord KelData::MakeWaypoint(std::string_view name, std::string_view comment,
                                     double latitude, double longitude, double altitude,
                                     std::uint16_t symbol, std::uint8_t display,
                                     double proximity) const {
    WaypointRecord w;
    const GeoPosition p = ToWgs84(latitude, longitude, altitude);
    w.latitude = p.latitude;
    w.longitude = p.longitude;
    w.altitude = p.height;
    cp932::CopyField(w.name, sizeof w.name, name, kNameMax);
    cp932::CopyField(w.comment, sizeof w.comment, comment, kCommentMax);
    w.proximity = static_cast<float>(proximity);
    w.symbol = symbol;
    w.display = display;
    return w;
}

GeoPosition KelData::LocalWaypointPosition(const WaypointRecord& w) const {
    return ToLocal(w.latitude, w.longitude, w.altitude);
}

int KelData::AddWaypoint(std::string_view name, std::string_view comment, double latitude,
                         double longitude, double altitude, std::uint16_t symbol,
                         std::uint8_t display, double proximity) {
    WaypointRecord w =
        MakeWaypoint(name, comment, latitude, longitude, altitude, symbol, display, proximity);
    return Append(waypoints_, std::move(w), "KelData::AddWaypoint") ? 1 : 0;
}

void KelData::DeleteWaypointAll() {
    std::vector<WaypointRecord>().swap(waypoints_);
}

int KelData::GetWaypointCount() const {
    return static_cast<int>(waypoints_.size());
}

const WaypointRecord* KelData::FindWaypoint(int index) const {
    return ValidIndex(waypoints_, index) ? &waypoints_[index] : nullptr;
}

std::string KelData::GetWaypointID(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? FieldText(w->name) : std::string();
}

std::string KelData::GetWaypointComment(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? FieldText(w->comment) : std::string();
}

double KelData::GetWaypointLatitude(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? LocalWaypointPosition(*w).latitude : kInvalidPosition;
}

double KelData::GetWaypointLongitude(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? LocalWaypointPosition(*w).longitude : kInvalidPosition;
}

double KelData::GetWaypointAltitude(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? LocalWaypointPosition(*w).height : kInvalidPosition;
}

double KelData::GetWaypointDst(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? w->proximity : -1.0;
}

int KelData::GetWaypointSmbl(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? w->symbol : 0;
}

int KelData::GetWaypointDspl(int index) const {
    const WaypointRecord* w = FindWaypoint(index);
    return w ? w->display : -1;
}

// ---- routes ------------------------------------------------------------------

int KelData::AddRoute(std::string_view name) {
    RouteRecord route;
    cp932::CopyField(route.name, sizeof route.name, name, kCommentMax);
    return Append(routes_, std::move(route), "KelData::AddRoute") ? 1 : 0;
}

int KelData::AddRouteWaypoint(int route, std::string_view name, std::string_view comment,
                              double latitude, double longitude, double altitude,
                              std::uint16_t symbol, std::uint8_t display, double proximity) {
    if (!ValidIndex(routes_, route))
        return 0;
    WaypointRecord w =
        MakeWaypoint(name, comment, latitude, longitude, altitude, symbol, display, proximity);
    return Append(routes_[route].waypoints, std::move(w), "KelData::AddRouteWaypoint") ? 1 : 0;
}

void KelData::DeleteRouteAll() {
    std::vector<RouteRecord>().swap(routes_);
}

int KelData::GetRouteCount() const {
    return static_cast<int>(routes_.size());
}

std::string KelData::GetRouteName(int route) const {
    if (!ValidIndex(routes_, route))
        return {};
    return FieldText(routes_[route].name);
}

int KelData::GetRouteWaypointCount(int route) const {
    if (!ValidIndex(routes_, route))
        return 0;
    return static_cast<int>(routes_[route].waypoints.size());
}

const WaypointRecord* KelData::FindRouteWaypoint(int route, int waypoint) const {
    if (!ValidIndex(routes_, route))
        return nullptr;
    const auto& waypoints = routes_[route].waypoints;
    return ValidIndex(waypoints, waypoint) ? &waypoints[waypoint] : nullptr;
}

std::string KelData::GetRouteWaypointID(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? FieldText(w->name) : std::string();
}

std::string KelData::GetRouteWaypointComment(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? FieldText(w->comment) : std::string();
}

double KelData::GetRouteWaypointLatitude(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? LocalWaypointPosition(*w).latitude : kInvalidPosition;
}

double KelData::GetRouteWaypointLongitude(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? LocalWaypointPosition(*w).longitude : kInvalidPosition;
}

double KelData::GetRouteWaypointAltitude(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? LocalWaypointPosition(*w).height : kInvalidPosition;
}

double KelData::GetRouteWaypointDst(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? w->proximity : -1.0;
}

int KelData::GetRouteWaypointSmbl(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? w->symbol : 0;
}

int KelData::GetRouteWaypointDspl(int route, int waypoint) const {
    const WaypointRecord* w = FindRouteWaypoint(route, waypoint);
    return w ? w->display : 0;  // 0 here, unlike the plain waypoint query
}

// ---- whole collections -------------------------------------------------------

void KelData::ReplaceTracks(std::vector<TrackRecord>&& tracks) {
    tracks_ = std::move(tracks);
}

void KelData::ReplaceWaypoints(std::vector<WaypointRecord>&& waypoints) {
    waypoints_ = std::move(waypoints);
}

void KelData::ReplaceRoutes(std::vector<RouteRecord>&& routes) {
    routes_ = std::move(routes);
}

// ---- product -----------------------------------------------------------------

int KelData::SetProductID(std::int32_t productId) {
    if (!IsKnownProduct(productId))
        return 0;
    productId_ = productId;
    return 1;
}

int KelData::GetWaypointType() const {
    return sorvane::GetWaypointType(productId_);
}

int KelData::GetRouteHeaderType() const {
    return sorvane::GetRouteHeaderType(productId_);
}

int KelData::GetCharacterSet() const {
    return sorvane::GetCharacterSet(productId_);
}

bool KelData::IsNewerFamily() const {
    return sorvane::IsNewerFamily(productId_);
}

// ---- datum -------------------------------------------------------------------

int KelData::GetDatumCount() const {
    return datum_ ? datum_->count() : 0;
}

void KelData::SelectDatum(int index) {
    if (datum_)
        datum_->selectByIndex(index);
}

int KelData::SelectDatumByName(std::string_view name) {
    return datum_ ? datum_->selectByName(name) : -1;
}

std::string KelData::GetDatumName() const {
    if (!datum_)
        return {};
    char buf[kDatumNameBuffer];
    datum_->selectedName(buf, sizeof buf);
    return buf;
}

int KelData::GetSelectedDatumNumber() const {
    return datum_ ? datum_->selectedIndex() : -1;
}

std::string KelData::GetEntryDatumName(int index) const {
    if (!datum_)
        return {};
    char buf[kDatumNameBuffer];
    datum_->entryName(index, buf, sizeof buf);
    return buf;
}

std::string KelData::GetEntryDatumName2(int index) const {
    if (!datum_)
        return {};
    char buf[kDatumNameBuffer];
    datum_->entryEllipsoidName(index, buf, sizeof buf);
    return buf;
}

double KelData::GetMapDatumDeltaA() const {
    return datum_ ? datum_->deltaA() : 0.0;
}
double KelData::GetMapDatumDeltaF() const {
    return datum_ ? datum_->deltaF() : 0.0;
}
double KelData::GetMapDatumDeltaX() const {
    return datum_ ? datum_->deltaX() : 0.0;
}
double KelData::GetMapDatumDeltaY() const {
    return datum_ ? datum_->deltaY() : 0.0;
}
double KelData::GetMapDatumDeltaZ() const {
    return datum_ ? datum_->deltaZ() : 0.0;
}

namespace {

int WriteConversion(const std::optional<GeoPosition>& p, double inLat, double inLon, double inAlt,
                    double& outLat, double& outLon, double& outAlt) {
    if (p) {
        outLat = p->latitude;
        outLon = p->longitude;
        outAlt = p->height;
        return 1;
    }
    outLat = inLat;
    outLon = inLon;
    outAlt = inAlt;
    return 0;
}

}  // namespace

int KelData::TransformDatumWGS84IntoLocal(double inLat, double inLon, double inAlt, double& outLat,
                                          double& outLon, double& outAlt) const {
    const auto p = datum_ ? datum_->wgs84ToLocal(inLat, inLon, inAlt) : std::nullopt;
    return WriteConversion(p, inLat, inLon, inAlt, outLat, outLon, outAlt);
}

int KelData::TransformDatumLocalIntoWGS84(double inLat, double inLon, double inAlt, double& outLat,
                                          double& outLon, double& outAlt) const {
    const auto p = datum_ ? datum_->localToWgs84(inLat, inLon, inAlt) : std::nullopt;
    return WriteConversion(p, inLat, inLon, inAlt, outLat, outLon, outAlt);
}

double KelData::CalcDistance(double lat1, double lon1, double lat2, double lon2) const {
    if (!datum_)
        return 0.0;
    return datum_->distance(lat1, lon1, lat2, lon2).value_or(0.0);
}

// ---- waypoint symbols --------------------------------------------------------

int KelData::GetWaypointSymbolCount() const {
    return WaypointSymbolCount(GetWaypointType());
}

std::string KelData::GetWaypointSymbolName(int index) const {
    const char* name = WaypointSymbolNameAt(GetWaypointType(), index);
    return name ? name : std::string();
}

std::string KelData::toWaypointSymbolName(int number) const {
    const char* name = WaypointSymbolNameOf(GetWaypointType(), number);
    return name ? name : std::string();
}

int KelData::toWaypointSymbolNo(std::string_view name) const {
    return WaypointSymbolNumberOf(GetWaypointType(), name);
}

}  // namespace sorvane
