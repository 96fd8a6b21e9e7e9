#include "map/map_projection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace tobrel {

std::int32_t DegreesToMapAngle(double degrees) {
    const double v = std::trunc(degrees * kMapUnitsPerDegree);
    if (std::isnan(v)) {
        return 0;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

WorldPoint LatLonToWorld(double latitude, double longitude) {
    if (!std::isfinite(latitude)) {
        latitude = 0.0;
    }
    if (!std::isfinite(longitude)) {
        longitude = 0.0;
    }
    const double lat = std::clamp(latitude, -kMercatorMaxLatitude, kMercatorMaxLatitude);
    double x = (longitude + 180.0) / 360.0;
    x -= std::floor(x);
    const double phi = lat * std::numbers::pi / 180.0;
    const double y =
        0.5 - std::log(std::tan(std::numbers::pi / 4.0 + phi / 2.0)) / (2.0 * std::numbers::pi);
    return {x, y};
}

void WorldToLatLon(const WorldPoint& p, double* latitude, double* longitude) {
    double x = p.x - std::floor(p.x);
    *longitude = x * 360.0 - 180.0;
    const double n = std::numbers::pi * (1.0 - 2.0 * p.y);
    *latitude = std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
}

double WorldPerPixel(int scale, double centreLatitude) {
    const double groundPerPixel = scale * kMetresPerInch / kScreenDpi;
    const double lat = std::clamp(centreLatitude, -kMercatorMaxLatitude, kMercatorMaxLatitude);
    const double projected = groundPerPixel / std::cos(lat * std::numbers::pi / 180.0);
    return projected / (2.0 * std::numbers::pi * kEarthRadius);
}

int TileZoomFor(double worldPerPixel) {
    if (!(worldPerPixel > 0.0)) {
        return 0;
    }
    const double z = std::log2(1.0 / (256.0 * worldPerPixel));
    return static_cast<int>(std::clamp(std::lround(z), 0L, 30L));
}

const std::vector<int>& LayerScales() {
    static const std::vector<int> scales = {5000,    10000,    25000,   50000,   70000,
                                            100000,  250000,   500000,  1000000, 2500000,
                                            5000000, 10000000, 30000000};
    return scales;
}

int SnapToLayerScale(int scale) {
    const auto& scales = LayerScales();
    if (scale <= 0) {
        return scales.front();
    }
    int best = scales.front();
    double bestDistance = std::numeric_limits<double>::infinity();
    for (int s : scales) {
        const double d = std::fabs(std::log(static_cast<double>(scale) / s));
        if (d < bestDistance) {
            bestDistance = d;
            best = s;
        }
    }
    return best;
}

int LayerScaleIndex(int scale) {
    const auto& scales = LayerScales();
    const auto it = std::find(scales.begin(), scales.end(), scale);
    return it == scales.end() ? -1 : static_cast<int>(it - scales.begin());
}

QString LayerScaleTitle(int scale) {
    QString digits = QString::number(scale);
    for (int i = digits.size() - 3; i > 0; i -= 3) {
        digits.insert(i, QLatin1Char(','));
    }
    return QStringLiteral("1:") + digits;
}

}  // namespace tobrel
