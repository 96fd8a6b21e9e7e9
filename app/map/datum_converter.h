#pragma once
// Positions at the widget's interface are in the caller's datum (Tokyo unless
// changed); base maps are WGS 84. This converts between the two with the
// shared Molodensky implementation.

#include <optional>

#include "geodesy/molodensky.h"
#include "map/map_projection.h"

namespace tobrel {

class DatumConverter {
  public:
    // Tokyo, as in the datum table.
    DatumConverter();
    explicit DatumConverter(const sorvane::DatumShift& shift) : shift_(shift) {}

    const sorvane::DatumShift& Shift() const { return shift_; }
    void SetShift(const sorvane::DatumShift& shift) { shift_ = shift; }

    // Local degrees to WGS 84 world coordinates; nullopt when the shift fails.
    std::optional<WorldPoint> LocalToWorld(double latitude, double longitude) const;
    std::optional<WorldPoint> LocalAnglesToWorld(const MapAngles& angles) const {
        return LocalToWorld(MapAngleToDegrees(angles.latitude),
                            MapAngleToDegrees(angles.longitude));
    }
    // WGS 84 world coordinates to local map angles.
    std::optional<MapAngles> WorldToLocalAngles(const WorldPoint& p) const;

    static sorvane::DatumShift TokyoShift();

  private:
    sorvane::DatumShift shift_;
};

}  // namespace tobrel
