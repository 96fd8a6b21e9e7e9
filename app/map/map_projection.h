#pragma once
// Units and the spherical Web Mercator projection of the map widget.
//
// Map angles are 1/3 600 000 degree. World coordinates are Web Mercator
// normalised to the unit square: x from 0 at 180 W to 1 at 180 E, y from 0 at
// the northern limit to 1 at the southern one. Everything here is WGS 84; the
// widget converts the caller's datum before it gets here.

#include <cstdint>
#include <vector>

#include <QPointF>
#include <QString>

namespace tobrel {

constexpr double kMapUnitsPerDegree = 3600000.0;
constexpr double kMercatorMaxLatitude = 85.05112877980659;
constexpr double kEarthRadius = 6378137.0;
constexpr double kMetresPerInch = 0.0254;
constexpr double kScreenDpi = 96.0;

// Degrees to map units, truncated toward zero; NaN gives 0 and values beyond
// the 32-bit range are clamped.
std::int32_t DegreesToMapAngle(double degrees);
constexpr double MapAngleToDegrees(std::int32_t angle) {
    return static_cast<double>(angle) / kMapUnitsPerDegree;
}

// A position in map angles, latitude first.
struct MapAngles {
    std::int32_t latitude = 0;
    std::int32_t longitude = 0;
    friend bool operator==(const MapAngles&, const MapAngles&) = default;
};

struct WorldPoint {
    double x = 0.0;
    double y = 0.0;
};

// Latitude is clamped to the Mercator limits; longitude is taken modulo 360.
WorldPoint LatLonToWorld(double latitude, double longitude);
// Inverse of LatLonToWorld; x outside 0..1 wraps around the world.
void WorldToLatLon(const WorldPoint& p, double* latitude, double* longitude);

// World units per screen pixel for the layer scale 1:scale at 96 dots per inch,
// measured on the ground at the given latitude.
double WorldPerPixel(int scale, double centreLatitude);

// The XYZ tile zoom whose 256-pixel tiles come closest to this resolution.
int TileZoomFor(double worldPerPixel);

// The layer scales the widget offers, finest first.
const std::vector<int>& LayerScales();
// The listed scale closest to `scale` (by ratio); the finest for scale <= 0.
int SnapToLayerScale(int scale);
// Index of a listed scale, -1 when it is not listed.
int LayerScaleIndex(int scale);
// "1:25,000"
QString LayerScaleTitle(int scale);

}  // namespace tobrel
