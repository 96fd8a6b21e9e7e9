#pragma once
// The program's adapter over the map widget: the area and scale lists, the map
// settings, drawing of polylines and labels, and the track being sketched by
// clicking on the map. What is drawn for which record is the caller's business.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QPointer>
#include <QString>

#include "map/drawing_service.h"
#include "map/map_ctrl.h"

namespace tobrel {

// Points clicked for the sketch, map angles in the widget's datum.
struct SketchPointList {
    std::vector<std::int32_t> latitudes;
    std::vector<std::int32_t> longitudes;
    std::size_t size() const { return latitudes.size(); }
};

struct PlacedWaypoint {
    QString name;
    std::int32_t elementId = 0;
    double latitude = 0.0;   // degrees, widget datum
    double longitude = 0.0;  // degrees
};

class MapOverlay {
  public:
    // Receives the diagnostic of a failed drawing set-up or release.
    using DiagnosticHandler = std::function<void(const QString& message)>;
    // Asks for a one-line name with the given caption; nothing on cancel.
    using NamePrompt = std::function<std::optional<QString>(const QString& caption)>;

    static constexpr const char* kWaypointNameCaption = "ウェイポイント名称入力";
    static constexpr std::int32_t kWaypointLabelScale = 70000;

    // Makes the map fill its parent and sets up drawing. When a set-up step
    // fails the overlay stays usable: lists and settings work, drawing returns 0.
    explicit MapOverlay(MapCtrl* map, DiagnosticHandler diagnostics = {});
    ~MapOverlay();
    MapOverlay(const MapOverlay&) = delete;
    MapOverlay& operator=(const MapOverlay&) = delete;

    bool IsDrawingReady() const { return collection_ != nullptr; }
    void SetNamePrompt(NamePrompt prompt) { prompt_ = std::move(prompt); }

    int GetAreaCount() const;
    // Empty strings and false for an index out of range; outputs may be null.
    bool GetAreaItem(int index, QString* areaCode, QString* title) const;
    void SelectArea(const QString& areaCode);
    int GetLayerCount() const;
    bool GetLayerItem(int index, std::int32_t* scale, QString* title) const;
    bool IsLayerEnabled(int index) const;
    void SetLayerScale(std::int32_t scale);
    std::int32_t GetLayerScale() const;
    void SetPalette(int palette);
    void SetScrollBar(bool on);

    bool CentreMap(std::int32_t latitude, std::int32_t longitude, int mode, std::int32_t scale);
    void CentreOnPosition(double latitude, double longitude);
    bool PixelToLatLong(int x, int y, std::int32_t* latitude, std::int32_t* longitude) const;
    bool MouseLatLong(std::int32_t* latitude, std::int32_t* longitude) const;

    // Positions in degrees; the element identifier, 0 on failure.
    std::int32_t DrawPolyline(int n, const double* latitudes, const double* longitudes);
    std::int32_t DrawText(double latitude, double longitude, const QString& text);
    void EraseElement(std::int32_t elementId);

    void ClearSketch();
    // Adds the point under the mouse, or with `remove` drops the last point,
    // and draws the sketch: its element identifier, -1 below two points.
    std::int32_t UpdateSketch(bool remove);
    const SketchPointList& SketchPoints() const { return sketch_; }
    // Asks for a name and labels the clicked pixel; nothing on cancel. The
    // caller adds the tree node and the store waypoint.
    std::optional<PlacedWaypoint> PlaceWaypoint(int x, int y);

    bool CreatingTrack = false;

  private:
    void Diagnose(const char* step) const;

    QPointer<MapCtrl> map_;
    DiagnosticHandler diagnostics_;
    NamePrompt prompt_;
    std::shared_ptr<MpsObject> service_;
    std::shared_ptr<MpsClient> client_;
    std::shared_ptr<MpsCollection> collection_;
    std::int32_t clientId_ = 0;
    std::int32_t collectionId_ = 0;
    SketchPointList sketch_;
};

}  // namespace tobrel
