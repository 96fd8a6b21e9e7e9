#include "map/datum_converter.h"

#include "geodesy/map_datum.h"

namespace tobrel {

sorvane::DatumShift DatumConverter::TokyoShift() {
    static const sorvane::DatumShift tokyo = [] {
        const auto datum = sorvane::MapDatum::Create("Tokyo");
        return datum ? datum->selectedShift() : sorvane::DatumShift{};
    }();
    return tokyo;
}

DatumConverter::DatumConverter() : shift_(TokyoShift()) {}

std::optional<WorldPoint> DatumConverter::LocalToWorld(double latitude, double longitude) const {
    const auto wgs =
        sorvane::MolodenskyShift({latitude, longitude, 0.0}, sorvane::Reversed(shift_));
    if (!wgs) {
        return std::nullopt;
    }
    return LatLonToWorld(wgs->latitude, wgs->longitude);
}

std::optional<MapAngles> DatumConverter::WorldToLocalAngles(const WorldPoint& p) const {
    double lat = 0;
    double lon = 0;
    WorldToLatLon(p, &lat, &lon);
    const auto local = sorvane::MolodenskyShift({lat, lon, 0.0}, shift_);
    if (!local) {
        return std::nullopt;
    }
    double localLon = local->longitude;
    if (localLon >= 180.0) {
        localLon -= 360.0;
    } else if (localLon < -180.0) {
        localLon += 360.0;
    }
    return MapAngles{DegreesToMapAngle(local->latitude), DegreesToMapAngle(localLon)};
}

}  // namespace tobrel
