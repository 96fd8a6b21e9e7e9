// The tile source list a user writes by hand.

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "map/tile_sources.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536)
        return 0;
    QStringList problems;
    const auto sources = tobrel::ParseTileSources(
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
        &problems);
    for (const tobrel::TileSourceConfig& s : sources) {
        // Only safe names and zooms in range come through.
        if (!tobrel::IsSafeSourceName(s.name) || s.minZoom < 0 || s.minZoom > s.maxZoom ||
            s.maxZoom > tobrel::kMaxTileZoom)
            std::abort();
        tobrel::ExpandTileUrl(s.urlTemplate, {s.maxZoom, 1, 2});
        tobrel::TileCachePath("/cache", s.name, {s.minZoom, 0, 0});
    }
    return 0;
}
