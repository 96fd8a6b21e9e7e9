#include "map/world_map.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include "map/map_geometry.h"

namespace tobrel {

namespace {

class Reader {
  public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}

    bool Varint(std::uint64_t* value) {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (pos_ >= bytes_.size()) {
                return false;
            }
            const auto b = static_cast<std::uint8_t>(bytes_[pos_++]);
            v |= static_cast<std::uint64_t>(b & 0x7f) << shift;
            if ((b & 0x80) == 0) {
                *value = v;
                return true;
            }
        }
        return false;
    }
    bool Signed(std::int64_t* value) {
        std::uint64_t u = 0;
        if (!Varint(&u)) {
            return false;
        }
        *value = static_cast<std::int64_t>(u >> 1) ^ -static_cast<std::int64_t>(u & 1);
        return true;
    }
    qsizetype Remaining() const { return bytes_.size() - pos_; }
    bool Magic(const char* magic, std::uint8_t version) {
        const qsizetype n = static_cast<qsizetype>(std::strlen(magic));
        if (Remaining() < n + 1 || bytes_.mid(pos_, n) != QByteArray(magic)) {
            return false;
        }
        pos_ += n;
        return static_cast<std::uint8_t>(bytes_[pos_++]) == version;
    }

  private:
    const QByteArray& bytes_;
    qsizetype pos_ = 0;
};

bool Overlaps(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom();
}

constexpr std::int64_t kMaxAngle = 648000000;  // 180 degrees in map units

bool ReadLines(Reader* r, WorldMapData* map, std::vector<WorldMapData::Line>* lines) {
    std::uint64_t count = 0;
    if (!r->Varint(&count) || count > static_cast<std::uint64_t>(r->Remaining())) {
        return false;
    }
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t n = 0;
        // every point takes at least two bytes
        if (!r->Varint(&n) || n == 0 || n > static_cast<std::uint64_t>(r->Remaining()) / 2) {
            return false;
        }
        WorldMapData::Line line;
        line.first = static_cast<std::uint32_t>(map->points.size());
        line.count = static_cast<std::uint32_t>(n);
        std::int64_t lat = 0;
        std::int64_t lon = 0;
        double minX = 2, minY = 2, maxX = -1, maxY = -1;
        for (std::uint64_t k = 0; k < n; ++k) {
            std::int64_t dlat = 0;
            std::int64_t dlon = 0;
            if (!r->Signed(&dlat) || !r->Signed(&dlon)) {
                return false;
            }
            lat += dlat;
            lon += dlon;
            if (std::llabs(lat) > kMaxAngle / 2 || std::llabs(lon) > kMaxAngle) {
                return false;
            }
            WorldPoint p = LatLonToWorld(MapAngleToDegrees(static_cast<std::int32_t>(lat)),
                                         MapAngleToDegrees(static_cast<std::int32_t>(lon)));
            if (lon == kMaxAngle) {
                p.x = 1.0;  // keep the eastern edge east
            }
            map->points.push_back(p);
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        line.bounds = QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
        lines->push_back(line);
    }
    return true;
}

// Pixel positions of one line for a world copy shifted by `offset`, dropping
// points that fall on the pixel of the point before.
void ToPixels(const WorldMapData& map, const WorldMapData::Line& line, const MapView& view,
              double offset, QPolygonF* out) {
    out->clear();
    const WorldPoint* p = map.points.data() + line.first;
    QPointF last(1e300, 1e300);
    for (std::uint32_t i = 0; i < line.count; ++i) {
        const QPointF q = view.WorldToPixel({p[i].x + offset, p[i].y});
        if (i + 1 < line.count && std::fabs(q.x() - last.x()) < 1.0 &&
            std::fabs(q.y() - last.y()) < 1.0) {
            continue;
        }
        out->append(q);
        last = q;
    }
}

double GraticuleStep(double degreesPerPixel) {
    static const double steps[] = {0.05, 0.1, 0.25, 0.5, 1, 2, 5, 10, 15, 30};
    for (double s : steps) {
        if (s / degreesPerPixel >= 120.0) {
            return s;
        }
    }
    return 30.0;
}

void DrawGraticule(QPainter& painter, const MapView& view, const WorldMapStyle& style) {
    double topLat = 0, leftLon = 0, bottomLat = 0, rightLon = 0;
    const WorldPoint tl = view.PixelToWorld(0, 0);
    const WorldPoint br = view.PixelToWorld(view.width, view.height);
    WorldToLatLon({0.5, std::max(tl.y, 0.0)}, &topLat, &leftLon);
    WorldToLatLon({0.5, std::min(br.y, 1.0)}, &bottomLat, &rightLon);
    const double step = GraticuleStep(360.0 * view.worldPerPixel);
    QPen pen(style.graticule, 0.8);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    QFont font = painter.font();
    font.setPixelSize(10);
    painter.setFont(font);
    // meridians
    const double lonStart = std::floor((tl.x * 360.0 - 180.0) / step) * step;
    const double lonEnd = br.x * 360.0 - 180.0;
    for (double lon = lonStart; lon <= lonEnd + 1e-9; lon += step) {
        const double x = view.WorldToPixel({(lon + 180.0) / 360.0, 0}).x();
        painter.drawLine(QPointF(x, 0), QPointF(x, view.height));
        if (x < 36) {
            continue;  // the corner belongs to the parallel labels
        }
        double shown = std::remainder(lon, 360.0);
        painter.drawText(QPointF(x + 2, view.height - 4),
                         QString::number(std::fabs(shown), 'g', 6) + QChar(0xb0) +
                             (shown < 0   ? "W"
                              : shown > 0 ? "E"
                                          : ""));
    }
    // parallels
    const double latStart = std::floor(bottomLat / step) * step;
    for (double lat = latStart; lat <= topLat + 1e-9; lat += step) {
        if (std::fabs(lat) > kMercatorMaxLatitude) {
            continue;
        }
        const double y = view.WorldToPixel(LatLonToWorld(lat, 0)).y();
        painter.drawLine(QPointF(0, y), QPointF(view.width, y));
        painter.drawText(QPointF(2, y - 2), QString::number(std::fabs(lat), 'g', 6) + QChar(0xb0) +
                                                (lat < 0   ? "S"
                                                 : lat > 0 ? "N"
                                                           : ""));
    }
}

}  // namespace

std::optional<WorldMapData> DecodeWorldMap(const QByteArray& compressed) {
    if (compressed.size() < 4) {
        return std::nullopt;
    }
    // qUncompress trusts the stated length for its allocation; refuse silly ones.
    const auto* b = reinterpret_cast<const unsigned char*>(compressed.constData());
    const std::uint32_t stated = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                                 (std::uint32_t{b[2]} << 8) | b[3];
    if (stated > 64u * 1024 * 1024) {
        return std::nullopt;
    }
    const QByteArray raw = qUncompress(compressed);
    if (raw.isEmpty()) {
        return std::nullopt;
    }
    Reader r(raw);
    if (!r.Magic("TBWM", 1)) {
        return std::nullopt;
    }
    WorldMapData map;
    if (!ReadLines(&r, &map, &map.land) || !ReadLines(&r, &map, &map.borders) ||
        r.Remaining() != 0) {
        return std::nullopt;
    }
    return map;
}

std::shared_ptr<const WorldMapData> BuiltInWorldMap() {
    static const std::shared_ptr<const WorldMapData> map = [] {
        QFile file(QStringLiteral(":/tobrel/worldmap.bin"));
        std::optional<WorldMapData> data;
        if (file.open(QIODevice::ReadOnly)) {
            data = DecodeWorldMap(file.readAll());
        }
        return data ? std::make_shared<const WorldMapData>(std::move(*data))
                    : std::make_shared<const WorldMapData>();
    }();
    return map;
}

void RenderWorldMap(QPainter& painter, const MapView& view, const WorldMapData* map,
                    const WorldMapStyle& style) {
    painter.fillRect(QRect(0, 0, view.width, view.height), style.sea);
    const QRectF world = view.WorldBounds();
    // Clip a few pixels outside the view so clip edges never show.
    const QRectF clip(-8, -8, view.width + 16, view.height + 16);
    if (map != nullptr) {
        QPainterPath landPath;
        landPath.setFillRule(Qt::OddEvenFill);
        std::vector<QPolygonF> borderRuns;
        QPolygonF pixels;
        const int firstCopy = static_cast<int>(std::floor(world.left()));
        const int lastCopy = static_cast<int>(std::floor(world.right()));
        for (int copy = firstCopy; copy <= lastCopy; ++copy) {
            const QRectF shifted = world.translated(-copy, 0);
            for (const auto& ring : map->land) {
                if (!Overlaps(ring.bounds, shifted)) {
                    continue;
                }
                ToPixels(*map, ring, view, copy, &pixels);
                if (pixels.size() < 3) {
                    continue;
                }
                if (!clip.contains(pixels.boundingRect())) {
                    pixels = ClipPolygon(pixels, clip);
                    if (pixels.size() < 3) {
                        continue;
                    }
                }
                landPath.addPolygon(pixels);
                landPath.closeSubpath();
            }
            for (const auto& line : map->borders) {
                if (!Overlaps(line.bounds, shifted)) {
                    continue;
                }
                ToPixels(*map, line, view, copy, &pixels);
                ClipPolyline(pixels.constData(), pixels.size(), clip, &borderRuns);
            }
        }
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(style.coast, 1.0));
        painter.setBrush(style.land);
        painter.drawPath(landPath);
        QPen borderPen(style.border, 1.0);
        borderPen.setStyle(Qt::DashLine);
        painter.setPen(borderPen);
        painter.setBrush(Qt::NoBrush);
        for (const auto& run : borderRuns) {
            painter.drawPolyline(run);
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    DrawGraticule(painter, view, style);
}

}  // namespace tobrel
