#include "map/map_view.h"

#include <cmath>

namespace tobrel {

QPointF MapView::WorldToPixelNearest(const WorldPoint& p) const {
    double dx = p.x - centre.x;
    dx -= std::round(dx);
    return {dx / worldPerPixel + CentrePixelX(), (p.y - centre.y) / worldPerPixel + CentrePixelY()};
}

QRectF MapView::WorldBounds() const {
    const WorldPoint tl = PixelToWorld(0, 0);
    return QRectF(tl.x, tl.y, width * worldPerPixel, height * worldPerPixel);
}

}  // namespace tobrel
