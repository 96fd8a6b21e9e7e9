#pragma once
// The abridged Molodensky datum shift and the spherical distance, as free
// functions so that every user converts with the same numbers.

#include <optional>

namespace sorvane {

// Parameters of a local datum relative to WGS 84: semi-major axis and
// flattening differences (WGS 84 minus local) and the origin shift in metres.
struct DatumShift {
    double dA = 0.0;
    double dF = 0.0;
    double dX = 0.0;
    double dY = 0.0;
    double dZ = 0.0;
};

struct GeoPosition {
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    double height = 0.0;     // metres
};

// The same shift taken the other way (all five parameters negated).
DatumShift Reversed(const DatumShift& shift);

// Applies the shift to a position given in degrees and metres. With `shift` as
// stored for a datum this takes WGS 84 to the local datum; with Reversed(shift)
// it goes back. nullopt when the input or the result is not finite.
std::optional<GeoPosition> MolodenskyShift(const GeoPosition& in, const DatumShift& shift);

// Same, with the parameters spelled out (for callers that read them one by one).
std::optional<GeoPosition> MolodenskyShift(double latitude, double longitude, double height,
                                           double dA, double dF, double dX, double dY, double dZ);

// The position that MolodenskyShift(result, shift) takes to `shifted`: the
// exact inverse of the forward shift, where the shift taken with Reversed()
// is off by up to a few decimetres. Found from that one-step result by
// correcting it with the forward shift until it gives the input back. With
// `height`, the result has that height and only the latitude and longitude
// are matched (`shifted.height` is not used): the way back for a position
// that was shifted at that height and whose shifted height was dropped.
// nullopt when a step fails.
std::optional<GeoPosition> MolodenskyInverse(const GeoPosition& shifted, const DatumShift& shift,
                                             std::optional<double> height = std::nullopt);

// Great-circle distance in metres on a sphere of the given radius (spherical law
// of cosines). 0.0 for points less than a thousandth of an arc second apart in
// both coordinates; nullopt for non-finite input.
std::optional<double> SphericalDistance(double lat1, double lon1, double lat2, double lon2,
                                        double radius);

// The conversion factors the receiver software has always used.
constexpr double kDegToRad = 0.017453292519944444;
constexpr double kRadToDeg = 57.29577951307855;
constexpr double kWgs84A = 6378137.0;

}  // namespace sorvane
