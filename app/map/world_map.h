#pragma once
// The built-in offline world map: Natural Earth 1:50m land and country
// borders (converted by worldmap/convert_worldmap.js) and a graticule.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QRectF>

#include "map/map_projection.h"
#include "map/map_view.h"

class QPainter;

namespace tobrel {

struct WorldMapData {
    struct Line {
        std::uint32_t first = 0;  // index into points
        std::uint32_t count = 0;
        QRectF bounds;  // world coordinates
    };
    std::vector<WorldPoint> points;
    std::vector<Line> land;     // closed rings
    std::vector<Line> borders;  // open lines
};

// Reads the converted file (qCompress framing). nullopt for anything that is
// not a complete, well-formed file.
std::optional<WorldMapData> DecodeWorldMap(const QByteArray& compressed);

// The copy embedded in the program, decoded once and shared (it never changes).
std::shared_ptr<const WorldMapData> BuiltInWorldMap();

struct WorldMapStyle {
    QColor sea{0xa9, 0xcf, 0xe3};
    QColor land{0xf3, 0xee, 0xdc};
    QColor coast{0x5a, 0x7d, 0x96};
    QColor border{0x9a, 0x7a, 0x9e};
    QColor graticule{0x7f, 0x9f, 0xb4};
};

// Draws the map into a view-sized painter; `map` may be null (sea and
// graticule only).
void RenderWorldMap(QPainter& painter, const MapView& view, const WorldMapData* map,
                    const WorldMapStyle& style = {});

}  // namespace tobrel
