#pragma once
// The table of local datums with one row selected, the conversions between
// WGS 84 and the selected datum, and distances on its ellipsoid's sphere.

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "geodesy/datum_table.h"
#include "geodesy/molodensky.h"

namespace sorvane {

class MapDatum {
  public:
    static constexpr int kTokyoIndex = 116;  // selected for any unknown name or index
    static constexpr int kWgs84Index = 121;

    // Builds the table from the built-in text and selects `name`.
    explicit MapDatum(std::string_view name = "Tokyo");
    // Same, but nullptr instead of an exception when memory runs out.
    static std::unique_ptr<MapDatum> Create(std::string_view name = "Tokyo");

    // Exact, case-sensitive match; anything else selects Tokyo. Returns the index.
    int selectByName(std::string_view name);
    // An index outside the table selects Tokyo. Returns the index.
    int selectByIndex(int index);

    int count() const { return static_cast<int>(rows_.size()); }
    int selectedIndex() const { return selected_; }

    std::string_view selectedName() const;
    // Empty for an index outside the table.
    std::string_view entryName(int index) const;
    std::string_view entryEllipsoidName(int index) const;

    // Buffer forms: copy at most size - 1 bytes and a NUL into buffer, and return
    // the full length of the name (also when buffer is null, which copies nothing).
    std::size_t selectedName(char* buffer, std::size_t size) const;
    std::size_t entryName(int index, char* buffer, std::size_t size) const;
    std::size_t entryEllipsoidName(int index, char* buffer, std::size_t size) const;

    const DatumShift& selectedShift() const { return rows_[selected_].shift; }
    double deltaA() const { return selectedShift().dA; }
    double deltaF() const { return selectedShift().dF; }
    double deltaX() const { return selectedShift().dX; }
    double deltaY() const { return selectedShift().dY; }
    double deltaZ() const { return selectedShift().dZ; }

    // nullopt when the conversion fails (non-finite input or result).
    // localToWgs84 is the exact inverse of wgs84ToLocal, so that a position
    // handed out and taken back in lands where it was.
    std::optional<GeoPosition> wgs84ToLocal(double lat, double lon, double h) const;
    std::optional<GeoPosition> localToWgs84(double lat, double lon, double h) const;
    // For a position without a height: the inverse of wgs84ToLocal at WGS 84
    // height 0 (the result's height is 0).
    std::optional<GeoPosition> localToWgs84AtHeightZero(double lat, double lon) const;
    // Metres on a sphere with the selected datum's semi-major axis.
    std::optional<double> distance(double lat1, double lon1, double lat2, double lon2) const;

  private:
    bool isValid(int index) const { return index >= 0 && index < count(); }

    int selected_ = kTokyoIndex;
    std::vector<DatumRow> rows_;
};

}  // namespace sorvane
