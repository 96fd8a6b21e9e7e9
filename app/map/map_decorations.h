#pragma once
// What the map widget draws over the base map and the elements: the scale
// bar, the attribution of a tile source, the quiet tile-retry indicator, the
// marked point and the live-position marker.

#include <cstdint>
#include <optional>

#include <QPointF>
#include <QRect>
#include <QString>

#include "map/map_view.h"

class QFont;
class QPainter;

namespace tobrel {

// Ground metres per pixel at the view's centre latitude.
double MetresPerPixel(const MapView& view);

struct ScaleBar {
    double metres = 0.0;
    double pixels = 0.0;
    QString label;  // "500 m", "2 km"
};
// The longest round distance (1, 2 or 5 times a power of ten metres) that
// fits into maxPixels.
ScaleBar ScaleBarFor(double metresPerPixel, double maxPixels = 200.0);

// The box a bar takes with its label when drawn with its left end at x and
// its line at baseline y.
QRect ScaleBarBox(const ScaleBar& bar, const QFont& font, int x, int baselineY);
void DrawScaleBar(QPainter& painter, const ScaleBar& bar, const QFont& font, int x, int baselineY);

// The attribution box at the bottom-right corner of `area`; empty for no text.
QRect AttributionBox(const QString& text, const QFont& font, const QRect& area);
void DrawTextBox(QPainter& painter, const QRect& box, const QString& text, const QFont& font);

// The live position: where, which way, how sure, and whether it is old.
struct PositionMarker {
    std::int32_t latitude = 0;  // map angles in the widget's datum
    std::int32_t longitude = 0;
    std::optional<double> headingDegrees;  // clockwise from north
    double accuracyMetres = 0.0;           // radius of the circle; 0 draws none
    bool stale = false;                    // greyed: the fix is old or lost
};

void DrawPositionMarker(QPainter& painter, QPointF at, const PositionMarker& marker,
                        double metresPerPixel);
// The point picked on a plot or on the track.
void DrawMarkedPoint(QPainter& painter, QPointF at);

}  // namespace tobrel
