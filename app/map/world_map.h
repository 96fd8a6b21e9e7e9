#pragma once
// The built-in offline world map: Natural Earth 1:10m land and country
// borders (converted by worldmap/convert_worldmap.js) and a graticule.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QRectF>
#include <QString>

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
    QColor graticuleLabel{0x3c, 0x5a, 0x70};
};

constexpr int kGraticuleLabelPixels = 10;
// Height kept free of graticule labels at the bottom of the label area, for
// the scale bar and the attribution.
constexpr int kGraticuleBottomBand = 28;

// Draws the map into a view-sized painter; `map` may be null (sea and
// graticule only). Graticule labels stay inside `labelArea` (the whole view
// when empty), so nothing covering the rest of the map hides them.
void RenderWorldMap(QPainter& painter, const MapView& view, const WorldMapData* map,
                    const WorldMapStyle& style = {}, const QRect& labelArea = {});

struct GraticuleLabel {
    QString text;
    QRectF box;  // where the text goes, in view pixels
    QPointF baseline;
    bool meridian = false;  // a longitude (along the top), else a latitude
};
// The graticule labels of a view that fit into `area` with this font.
std::vector<GraticuleLabel> GraticuleLabels(const MapView& view, const QRect& area,
                                            const QFont& font);

}  // namespace tobrel
