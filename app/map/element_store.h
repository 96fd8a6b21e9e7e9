#pragma once
// The overlay elements of the map widget (polylines and text labels), kept in
// WGS 84 world coordinates so that a repaint converts nothing. Long polylines
// are cut into chunks with their own bounds for culling, and thinned to one
// vertex per pixel for each resolution they are drawn at (kept for reuse).

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

#include "map/map_projection.h"
#include "map/map_view.h"

class QPainter;

namespace tobrel {

class ElementStore {
  public:
    // `points` with longitudes continuous along the line (x may leave 0..1).
    void AddPolyline(std::int32_t id, std::int32_t owner, std::vector<WorldPoint> points);
    void AddText(std::int32_t id, std::int32_t owner, const WorldPoint& anchor, const QString& text,
                 const QFont& font);
    // Only the owner (a collection) can remove its elements.
    bool Remove(std::int32_t id, std::int32_t owner);
    void RemoveOwner(std::int32_t owner);

    bool Contains(std::int32_t id) const { return elements_.count(id) != 0; }
    std::size_t Count() const { return elements_.size(); }
    // Bytes held for the elements, their thinned copies and label images.
    std::size_t MemoryBytes() const;

    void Paint(QPainter& painter, const MapView& view);

    struct Hit {
        std::int32_t id = 0;
        int vertex = 0;  // index into the polyline's points
        double distancePixels = 0.0;
    };
    // The polyline nearest to a view pixel within `tolerance` pixels (the
    // later one on a tie, as it is drawn on top), with its vertex nearest to
    // the pixel on the nearest stretch.
    std::optional<Hit> HitTest(const MapView& view, QPointF pixel, double tolerance) const;

    // Makes world x continuous along a line (no jump across the antimeridian).
    static void Unwrap(std::vector<WorldPoint>* points);

    static constexpr std::size_t kChunkPoints = 256;
    // Label text is drawn this far right of its anchor, in pixels.
    static constexpr int kLabelOffsetX = 6;

  private:
    struct Chunk {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        QRectF bounds;
    };
    struct Level {
        int key = 0;
        bool usesBase = false;
        std::vector<WorldPoint> points;
        std::vector<Chunk> chunks;
    };
    struct Polyline {
        std::vector<WorldPoint> points;
        std::vector<Chunk> chunks;
        QRectF bounds;
        std::vector<Level> levels;  // most recently used last
    };
    struct Text {
        WorldPoint anchor;
        QImage label;
    };
    struct Element {
        std::int32_t owner = 0;
        bool isText = false;
        Polyline line;
        Text text;
    };

    static std::vector<Chunk> MakeChunks(const std::vector<WorldPoint>& points);
    static const Level& LevelFor(Polyline& line, double worldPerPixel);
    void PaintPolyline(QPainter& painter, const MapView& view, Polyline& line);
    void PaintText(QPainter& painter, const MapView& view, const Text& text);

    std::map<std::int32_t, Element> elements_;  // ids grow, so this is drawing order
    std::vector<QPointF> scratch_;
};

}  // namespace tobrel
