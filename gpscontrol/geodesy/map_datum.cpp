#include "geodesy/map_datum.h"

#include <cstring>
#include <new>

namespace sorvane {

namespace {

std::size_t CopyName(std::string_view name, char* buffer, std::size_t size) {
    if (buffer != nullptr && size > 0) {
        const std::size_t n = name.size() < size - 1 ? name.size() : size - 1;
        if (n > 0)
            std::memcpy(buffer, name.data(), n);
        buffer[n] = '\0';
    }
    return name.size();
}

}  // namespace

MapDatum::MapDatum(std::string_view name) : rows_(ParseDatumTable(BuiltInDatumTable())) {
    selectByName(name);
}

std::unique_ptr<MapDatum> MapDatum::Create(std::string_view name) {
    try {
        return std::make_unique<MapDatum>(name);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int MapDatum::selectByName(std::string_view name) {
    for (int i = 0; i < count(); ++i) {
        if (rows_[i].name == name)
            return selectByIndex(i);
    }
    return selectByIndex(kTokyoIndex);
}

int MapDatum::selectByIndex(int index) {
    selected_ = isValid(index) ? index : kTokyoIndex;
    return selected_;
}

std::string_view MapDatum::selectedName() const {
    return rows_[selected_].name;
}

std::string_view MapDatum::entryName(int index) const {
    return isValid(index) ? std::string_view(rows_[index].name) : std::string_view();
}

std::string_view MapDatum::entryEllipsoidName(int index) const {
    return isValid(index) ? std::string_view(rows_[index].ellipsoid) : std::string_view();
}

std::size_t MapDatum::selectedName(char* buffer, std::size_t size) const {
    return CopyName(selectedName(), buffer, size);
}

std::size_t MapDatum::entryName(int index, char* buffer, std::size_t size) const {
    return CopyName(entryName(index), buffer, size);
}

std::size_t MapDatum::entryEllipsoidName(int index, char* buffer, std::size_t size) const {
    return CopyName(entryEllipsoidName(index), buffer, size);
}

std::optional<GeoPosition> MapDatum::wgs84ToLocal(double lat, double lon, double h) const {
    return MolodenskyShift(GeoPosition{lat, lon, h}, selectedShift());
}

std::optional<GeoPosition> MapDatum::localToWgs84(double lat, double lon, double h) const {
    return MolodenskyInverse(GeoPosition{lat, lon, h}, selectedShift());
}

std::optional<GeoPosition> MapDatum::localToWgs84AtHeightZero(double lat, double lon) const {
    return MolodenskyInverse(GeoPosition{lat, lon, 0.0}, selectedShift(), 0.0);
}

std::optional<double> MapDatum::distance(double lat1, double lon1, double lat2, double lon2) const {
    return SphericalDistance(lat1, lon1, lat2, lon2, kWgs84A - deltaA());
}

}  // namespace sorvane
