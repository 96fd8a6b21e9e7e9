#pragma once
// One view of the map: its centre, resolution and size in pixels. The centre
// sits at the pixel (width / 2, height / 2), halves rounded toward zero, so a
// caller that asks for the centre pixel gets the centre back exactly.

#include <QPointF>
#include <QRectF>

#include "map/map_projection.h"

namespace tobrel {

struct MapView {
    WorldPoint centre{0.5, 0.5};
    double worldPerPixel = 1.0 / 256.0;
    int width = 0;
    int height = 0;

    double CentrePixelX() const { return static_cast<double>(width / 2); }
    double CentrePixelY() const { return static_cast<double>(height / 2); }

    WorldPoint PixelToWorld(double px, double py) const {
        return {centre.x + (px - CentrePixelX()) * worldPerPixel,
                centre.y + (py - CentrePixelY()) * worldPerPixel};
    }
    // The pixel of a world point, taking the copy of the world nearest the
    // centre (so a point just across the antimeridian stays close).
    QPointF WorldToPixelNearest(const WorldPoint& p) const;
    // The pixel of a world point as it is, without wrapping.
    QPointF WorldToPixel(const WorldPoint& p) const {
        return {(p.x - centre.x) / worldPerPixel + CentrePixelX(),
                (p.y - centre.y) / worldPerPixel + CentrePixelY()};
    }
    // The world rectangle the view covers (x may extend below 0 or above 1).
    QRectF WorldBounds() const;
};

}  // namespace tobrel
