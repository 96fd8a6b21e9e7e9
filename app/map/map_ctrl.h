#pragma once
// The map widget: base maps as areas (the built-in world map, configured XYZ
// tile sources, MBTiles files), layer scales, the drawing service for overlay
// elements and the map events. Positions at this interface are map angles
// (1/3 600 000 degree) in the widget's datum, Tokyo unless changed; base maps
// are WGS 84 and the widget converts in both directions.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>

#include "geodesy/molodensky.h"
#include "map/datum_converter.h"
#include "map/drawing_service.h"
#include "map/map_decorations.h"
#include "map/map_view.h"
#include "map/tile_sources.h"

class QScrollBar;

namespace tobrel {

class TileLayer;
struct WorldMapData;

struct AreaItem {
    QString AreaCode;
    QString Title;
};

struct LayerItem {
    std::int32_t LayerScale = 0;
    QString Title;
    bool Enabled = false;
};

// Snapshots of the area and layer lists, fetched per use.
template <typename T>
class ItemCollection {
  public:
    explicit ItemCollection(std::vector<T> items) : items_(std::move(items)) {}
    int Count() const { return static_cast<int>(items_.size()); }
    std::optional<T> Item(int index) const {
        if (index < 0 || index >= Count()) {
            return std::nullopt;
        }
        return items_[static_cast<std::size_t>(index)];
    }

  private:
    std::vector<T> items_;
};
using AreaCollection = ItemCollection<AreaItem>;
using LayerCollection = ItemCollection<LayerItem>;

class MapCtrl : public QWidget, private DrawingHost {
    Q_OBJECT
  public:
    static constexpr const char* kWorldAreaCode = "WORLD";

    explicit MapCtrl(QWidget* parent = nullptr, MapPaths paths = MapPaths::FromEnvironment());
    ~MapCtrl() override;

    // Properties
    QString AreaCode() const;
    // False for an unknown code, which changes nothing.
    bool SetAreaCode(const QString& code);
    std::int32_t LayerScale() const { return scale_; }
    // Snaps to the nearest listed scale, then to the nearest one with data
    // here; false for a scale <= 0.
    bool SetLayerScale(std::int32_t scale);
    bool ScrollBar() const { return scrollBars_; }
    void SetScrollBar(bool on);
    std::int16_t PaletteID() const { return palette_; }
    // 0 normal, 1 grey, 2 half; false (and no change) for anything else.
    bool SetPaletteID(std::int16_t palette);
    AreaCollection AreaCollect() const;
    LayerCollection LayerCollect() const;
    std::shared_ptr<MpsObject> MPSObject() const { return mps_; }

    // Methods. Mode 1 centres the map on the position; other modes are refused.
    // A scale of 0 keeps the current one.
    bool MoveTo(std::int32_t latitude, std::int32_t longitude, int mode, std::int32_t scale);
    std::optional<MapAngles> GetLatLongPoint(int x, int y) const;
    // Nothing before the mouse has been over the map.
    std::optional<MapAngles> GetMouseLatLong() const;
    std::optional<QPoint> GetLogPoint(std::int32_t latitude, std::int32_t longitude) const;

    // The datum of every position at this interface (Tokyo by default).
    // Elements already added keep where they were drawn.
    void SetDatumShift(const sorvane::DatumShift& shift) { datum_.SetShift(shift); }
    const sorvane::DatumShift& DatumShift() const { return datum_.Shift(); }

    // Markers drawn over the elements, positions in map angles of the
    // widget's datum. The marked point shows a point picked on a track or its
    // plot; the position marker the receiver's live position.
    void SetMarkedPoint(std::int32_t latitude, std::int32_t longitude);
    void ClearMarkedPoint();
    std::optional<MapAngles> MarkedPoint() const;
    void SetPositionMarker(const PositionMarker& marker);
    void ClearPositionMarker();
    const std::optional<PositionMarker>& CurrentPositionMarker() const { return position_; }

    // The polyline element nearest to a widget pixel within `tolerancePixels`:
    // its identifier and the index of its vertex nearest the pixel.
    struct PolylineHit {
        std::int32_t elementId = 0;
        int vertex = 0;
        double distancePixels = 0.0;
    };
    std::optional<PolylineHit> HitTestPolyline(int x, int y, int tolerancePixels = 6) const;

    // The part of the widget the scroll bars leave free; labels, the scale
    // bar and the attribution stay inside it.
    QRect LabelArea() const;
    void SetScaleBarVisible(bool on);
    bool ScaleBarVisible() const { return scaleBarVisible_; }
    // The bar for the current view, and where it is drawn (empty when hidden).
    ScaleBar CurrentScaleBar() const;
    QRect ScaleBarRect() const;
    // The current area's attribution and where it is drawn (empty for none).
    QString Attribution() const;
    QRect AttributionRect() const;
    // Whether tiles of the current view failed to load and wait for a retry
    // (a small note on the map says so).
    bool IsTileRetryPending() const { return tileRetryPending_; }

    // For tests and measurements.
    MapView CurrentView() const;
    std::size_t ElementMemoryBytes() const { return core_->elements.MemoryBytes(); }
    std::size_t ElementCount() const { return core_->elements.Count(); }
    bool IsLoadingTiles() const;

  signals:
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnLayerChanged(int oldLayerScale, int newLayerScale);
    void OnMapMoved(int lLat, int lLong, bool bLayerChange);
    // A base map tile of the current area arrived; a repaint is on its way.
    void TileArrived();
    // The position under the pointer, in map angles (for a status bar).
    void MouseMoved(int lLat, int lLong);
    // Tiles of the view failed and wait for a retry, or no longer do.
    void TileStatusChanged(bool retryPending);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    struct Area {
        QString code;
        QString title;
        std::unique_ptr<TileLayer> tiles;  // null for the built-in map
    };
    struct BaseKey {
        double cx = -1, cy = -1, res = 0;
        int width = 0, height = 0, area = -1, palette = -1;
        quint64 tiles = 0;
        QRect labels;
        bool operator==(const BaseKey&) const = default;
    };

    // DrawingHost
    std::optional<WorldPoint> LocalToWorld(const MapAngles& angles) const override;
    std::optional<WorldPoint> PixelToWorld(int x, int y) const override;
    QFont LabelFont() const override;
    void ElementsChanged() override { update(); }

    void LoadAreas();
    MapView ViewAt(const WorldPoint& centre, int scale) const;
    bool HasDataAt(int scale, const WorldPoint& centre) const;
    int ResolveScale(int wanted, const WorldPoint& centre) const;
    void SetCentre(const WorldPoint& centre);
    MapAngles CentreAngles() const;
    void ChangeScale(int scale);  // raises OnLayerChanged when it differs
    void Refresh();
    void UpdateScrollBars();
    void LayoutScrollBars();
    void ScrollBarMoved(QScrollBar* bar);
    // After a drag or scroll: the layer follows the data, then OnMapMoved.
    void FinishPan();
    void RenderBase(const MapView& view);
    void DrawTiles(QPainter& painter, const MapView& view, TileLayer& tiles);
    void PaintDecorations(QPainter& painter, const MapView& view);
    void TilesChanged(TileLayer* layer);
    TileLayer* CurrentTiles() const;
    QFont DecorationFont() const;
    int ScrollBarWidth() const;
    int ScrollBarHeight() const;

    MapPaths paths_;
    std::vector<Area> areas_;
    int area_ = 0;
    std::int32_t scale_ = 250000;
    WorldPoint centre_;
    std::optional<MapAngles> centreLocal_;  // exactly as given to MoveTo
    std::int16_t palette_ = 0;
    bool scrollBars_ = true;
    DatumConverter datum_;
    std::shared_ptr<DrawingCore> core_;
    std::shared_ptr<MpsObject> mps_;
    std::shared_ptr<const WorldMapData> world_;

    QImage base_;
    BaseKey baseKey_;
    quint64 tileGeneration_ = 0;
    bool tileRetryPending_ = false;
    bool scaleBarVisible_ = true;
    std::optional<WorldPoint> marked_;
    std::optional<PositionMarker> position_;
    std::optional<WorldPoint> positionWorld_;
    bool pressOnAttribution_ = false;

    std::optional<WorldPoint> mouseWorld_;
    bool dragging_ = false;
    bool dragMoved_ = false;
    QPoint dragStart_;
    WorldPoint dragCentre_;
    double dragRes_ = 0;
    int wheelRemainder_ = 0;

    QScrollBar* hbar_ = nullptr;
    QScrollBar* vbar_ = nullptr;
    bool updatingBars_ = false;
};

}  // namespace tobrel
