#pragma once
// The GPS control's store: tracks, waypoints and routes as the receiver knows
// them (WGS 84), plus the small state shared by the transfers. Positions going
// in and out through the Add/Get operations are in the selected local datum.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/map_datum.h"
#include "records/kel_records.h"

namespace sorvane {

class KelData {
  public:
    using DatumFactory = std::function<std::unique_ptr<MapDatum>()>;

    static constexpr std::int32_t kInitialProductId = 119;
    static constexpr double kInvalidPosition = -9999.9;

    // Creates the datum object with "Tokyo" selected.
    KelData();
    // Uses `makeDatum` instead; when it gives nothing (or memory runs out) the
    // store reports "Can't create MapDatum object" and works without a datum.
    explicit KelData(const DatumFactory& makeDatum);
    ~KelData();
    KelData(const KelData&) = delete;
    KelData& operator=(const KelData&) = delete;

    // Tracks. Add operations return 1, or 0 for a bad index or when memory runs out.
    int AddTrack(std::string_view name);
    int AddTrackSegment(int track);
    int AddTrackData(int track, int segment, double latitude, double longitude, double altitude,
                     std::uint32_t time);
    void DeleteTrackAll();
    int GetTrackCount() const;
    int GetTrackSegmentCount(int track) const;
    int GetTrackDataCount(int track) const;
    int GetTrackSegmentDataCount(int track, int segment) const;
    std::string GetTrackName(int track) const;
    // 1 with the converted position; 0 with all three set to 0.0 for a bad index.
    int GetTrackPosition(int track, int segment, int point, double& latitude, double& longitude,
                         double& altitude) const;
    std::uint32_t GetTrackUnixTime(int track, int segment, int point) const;

    // Waypoints.
    int AddWaypoint(std::string_view name, std::string_view comment, double latitude,
                    double longitude, double altitude, std::uint16_t symbol, std::uint8_t display,
                    double proximity);
    void DeleteWaypointAll();
    int GetWaypointCount() const;
    std::string GetWaypointID(int index) const;
    std::string GetWaypointComment(int index) const;
    double GetWaypointLatitude(int index) const;
    double GetWaypointLongitude(int index) const;
    double GetWaypointAltitude(int index) const;
    double GetWaypointDst(int index) const;
    int GetWaypointSmbl(int index) const;
    int GetWaypointDspl(int index) const;

    // Routes.
    int AddRoute(std::string_view name);
    int AddRouteWaypoint(int route, std::string_view name, std::string_view comment,
                         double latitude, double longitude, double altitude, std::uint16_t symbol,
                         std::uint8_t display, double proximity);
    void DeleteRouteAll();
    int GetRouteCount() const;
    std::string GetRouteName(int route) const;
    int GetRouteWaypointCount(int route) const;
    std::string GetRouteWaypointID(int route, int waypoint) const;
    std::string GetRouteWaypointComment(int route, int waypoint) const;
    double GetRouteWaypointLatitude(int route, int waypoint) const;
    double GetRouteWaypointLongitude(int route, int waypoint) const;
    double GetRouteWaypointAltitude(int route, int waypoint) const;
    double GetRouteWaypointDst(int route, int waypoint) const;
    int GetRouteWaypointSmbl(int route, int waypoint) const;
    int GetRouteWaypointDspl(int route, int waypoint) const;

    // Transfer state. The abort flag is set from a progress handler while a
    // transfer runs, so it is atomic.
    void AbortTransfer() { abort_.store(true); }
    bool IsAbortRequested() const { return abort_.load(); }
    void ClearAbort() { abort_.store(false); }
    std::uint32_t GetErrorCode() const { return errorCode_; }
    void SetErrorCode(std::uint32_t code) { errorCode_ = code; }
    std::int32_t GetSoftwareVersion() const { return softwareVersion_; }
    void SetSoftwareVersion(std::int32_t version) { softwareVersion_ = version; }

    // Current product. SetProductID accepts only IDs in the product table;
    // SetCurrentProductId takes any ID, as product identification does.
    std::int32_t GetProductID() const { return productId_; }
    int SetProductID(std::int32_t productId);
    void SetCurrentProductId(std::int32_t productId) { productId_ = productId; }
    int GetWaypointType() const;
    int GetRouteHeaderType() const;
    int GetCharacterSet() const;
    bool IsNewerFamily() const;

    // Datum, forwarded to the datum object. Without one: counts and parameters
    // 0, selected number -1, names empty, conversions copy and return 0.
    bool HasDatum() const { return datum_ != nullptr; }
    int GetDatumCount() const;
    void SelectDatum(int index);
    int SelectDatumByName(std::string_view name);
    std::string GetDatumName() const;
    int GetSelectedDatumNumber() const;
    std::string GetEntryDatumName(int index) const;
    std::string GetEntryDatumName2(int index) const;
    double GetMapDatumDeltaA() const;
    double GetMapDatumDeltaF() const;
    double GetMapDatumDeltaX() const;
    double GetMapDatumDeltaY() const;
    double GetMapDatumDeltaZ() const;
    // 1 when converted; 0 with the input copied to the output.
    int TransformDatumWGS84IntoLocal(double inLat, double inLon, double inAlt, double& outLat,
                                     double& outLon, double& outAlt) const;
    int TransformDatumLocalIntoWGS84(double inLat, double inLon, double inAlt, double& outLat,
                                     double& outLon, double& outAlt) const;
    // Metres; 0.0 when it cannot be computed.
    double CalcDistance(double lat1, double lon1, double lat2, double lon2) const;

    // Waypoint symbols of the current product's waypoint record type.
    int GetWaypointSymbolCount() const;
    std::string GetWaypointSymbolName(int index) const;
    std::string toWaypointSymbolName(int number) const;
    int toWaypointSymbolNo(std::string_view name) const;

    // Whole collections, for the transfers: uploads read them, downloads replace
    // one at once (records as received, WGS 84, no conversion).
    const std::vector<TrackRecord>& Tracks() const { return tracks_; }
    const std::vector<WaypointRecord>& Waypoints() const { return waypoints_; }
    const std::vector<RouteRecord>& Routes() const { return routes_; }
    void ReplaceTracks(std::vector<TrackRecord>&& tracks);
    void ReplaceWaypoints(std::vector<WaypointRecord>&& waypoints);
    void ReplaceRoutes(std::vector<RouteRecord>&& routes);

  private:
    GeoPosition ToWgs84(double latitude, double longitude, double altitude) const;
    GeoPosition ToLocal(double latitude, double longitude, double altitude) const;
    WaypointRecord MakeWaypoint(std::string_view name, std::string_view comment, double latitude,
                                double longitude, double altitude, std::uint16_t symbol,
                                std::uint8_t display, double proximity) const;
    GeoPosition LocalWaypointPosition(const WaypointRecord& w) const;
    const WaypointRecord* FindWaypoint(int index) const;
    const WaypointRecord* FindRouteWaypoint(int route, int waypoint) const;
    const TrackPoint* FindTrackPoint(int track, int segment, int point) const;

    std::uint32_t errorCode_ = 0;
    std::int32_t productId_ = kInitialProductId;
    std::int32_t softwareVersion_ = 0;
    std::atomic<bool> abort_{false};
    std::unique_ptr<MapDatum> datum_;
    std::vector<TrackRecord> tracks_;
    std::vector<WaypointRecord> waypoints_;
    std::vector<RouteRecord> routes_;
};

}  // namespace sorvane
