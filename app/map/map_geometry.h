#pragma once
// Small geometry helpers for drawing long lines fast and safely: thinning to
// the pixel grid, and clipping to a rectangle so that the painter never sees
// coordinates millions of pixels away.

#include <cstddef>
#include <vector>

#include <QPolygonF>
#include <QRectF>

#include "map/map_projection.h"

namespace tobrel {

// Keeps the first point, every point that falls into a different grid cell of
// size `cell` than the point kept before it, and the last point.
std::vector<WorldPoint> DecimateToGrid(const WorldPoint* points, std::size_t count, double cell);

// Clips a polyline to `rect`; each visible stretch becomes one run (a polyline
// of at least two points) appended to `runs`.
void ClipPolyline(const QPointF* points, std::size_t count, const QRectF& rect,
                  std::vector<QPolygonF>* runs);

// Clips a closed polygon to `rect` (Sutherland-Hodgman); empty when nothing is
// inside.
QPolygonF ClipPolygon(const QPolygonF& polygon, const QRectF& rect);

}  // namespace tobrel
