#include "geodesy/molodensky.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace sorvane {

namespace {

// WGS 84 ellipsoid; both directions use these, the local ellipsoid enters only
// through dA and dF.
constexpr double kE2 = 0.0066943799901413165;
constexpr double kAOneMinusE2 = 6335439.3272928195;
constexpr double kBOverA = 0.9966471893352525;
constexpr double kAOverB = 1.0033640898209764;
constexpr double kE2OverA = 1.0495823451489544e-9;

constexpr double kSameSpotDegrees = 2.7777777777777776e-7;

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

DatumShift Reversed(const DatumShift& s) {
    return {-s.dA, -s.dF, -s.dX, -s.dY, -s.dZ};
}

std::optional<GeoPosition> MolodenskyShift(const GeoPosition& in, const DatumShift& p) {
    if (!AllFinite({in.latitude, in.longitude, in.height, p.dA, p.dF, p.dX, p.dY, p.dZ})) {
        return std::nullopt;
    }
    const double phi = in.latitude * kDegToRad;
    const double lambda = in.longitude * kDegToRad;
    const double sphi = std::sin(phi);
    const double cphi = std::cos(phi);
    const double slam = std::sin(lambda);
    const double clam = std::cos(lambda);

    const double w2 = 1.0 - kE2 * sphi * sphi;
    const double rn = kWgs84A / std::sqrt(w2);
    const double rm = kAOneMinusE2 / std::pow(w2, 1.5);

    const double t = p.dX * clam + p.dY * slam;
    const double n = t * sphi - p.dZ * cphi - rn * cphi * sphi * p.dA * kE2OverA -
                     (rn * kBOverA + rm * kAOverB) * cphi * sphi * p.dF;

    // A height that cancels a radius would divide by zero.
    const double latDenominator = rm + in.height;
    const double lonDenominator = (rn + in.height) * cphi;
    if (latDenominator == 0.0 || lonDenominator == 0.0)
        return std::nullopt;

    // The corrections are added in degrees so that a zero shift returns the
    // input bit for bit (going through radians and back is not exact).
    GeoPosition out;
    out.latitude = in.latitude + std::atan(n / latDenominator) * kRadToDeg;
    out.longitude =
        in.longitude + std::atan((p.dX * slam - p.dY * clam) / lonDenominator) * kRadToDeg;
    out.height = p.dA * kWgs84A / rn - (t * cphi + p.dZ * sphi) -
                 rn * sphi * sphi * p.dF * kBOverA + in.height;
    if (!AllFinite({out.latitude, out.longitude, out.height}))
        return std::nullopt;
    return out;
}

std::optional<GeoPosition> MolodenskyShift(double latitude, double longitude, double height,
                                           double dA, double dF, double dX, double dY, double dZ) {
    return MolodenskyShift(GeoPosition{latitude, longitude, height},
                           DatumShift{dA, dF, dX, dY, dZ});
}

std::optional<GeoPosition> MolodenskyInverse(const GeoPosition& shifted, const DatumShift& shift,
                                             std::optional<double> height) {
    GeoPosition target = shifted;
    if (height)
        target.height = *height;
    std::optional<GeoPosition> g = MolodenskyShift(target, Reversed(shift));
    if (g && height)
        g->height = *height;
    // The shift changes by about 1e-4 of itself over its own length, so each
    // step gains four digits; three reach the last bit from the first guess.
    constexpr int kMaxSteps = 6;
    for (int step = 0; g && step < kMaxSteps; ++step) {
        const std::optional<GeoPosition> f = MolodenskyShift(*g, shift);
        if (!f)
            return std::nullopt;
        const double dLat = shifted.latitude - f->latitude;
        const double dLon = shifted.longitude - f->longitude;
        const double dH = height ? 0.0 : shifted.height - f->height;
        if (dLat == 0.0 && dLon == 0.0 && dH == 0.0)
            break;
        g->latitude += dLat;
        g->longitude += dLon;
        g->height += dH;
    }
    if (g && !AllFinite({g->latitude, g->longitude, g->height}))
        return std::nullopt;
    return g;
}

std::optional<double> SphericalDistance(double lat1, double lon1, double lat2, double lon2,
                                        double radius) {
    if (!AllFinite({lat1, lon1, lat2, lon2, radius}))
        return std::nullopt;
    if (std::fabs(lat1 - lat2) < kSameSpotDegrees && std::fabs(lon1 - lon2) < kSameSpotDegrees) {
        return 0.0;
    }
    const double p1 = lat1 * kDegToRad;
    const double p2 = lat2 * kDegToRad;
    const double l1 = lon1 * kDegToRad;
    const double l2 = lon2 * kDegToRad;
    const double c = std::cos(l2 - l1) * std::cos(p2) * std::cos(p1) + std::sin(p2) * std::sin(p1);
    // Rounding can push the cosine a few units past +-1 for nearly identical or
    // antipodal points; the true value lies inside, so clamp rather than fail.
    return std::acos(std::clamp(c, -1.0, 1.0)) * radius;
}

}  // namespace sorvane
