#include "map/world_map.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include <QFile>
#include <QFontMetrics>
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
    bool Double(double* value) {
        if (Remaining() < 8) {
            return false;
        }
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) {
            bits = (bits << 8) | static_cast<std::uint8_t>(bytes_[pos_ + i]);
        }
        pos_ += 8;
        *value = std::bit_cast<double>(bits);
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

// The grid the converter wrote the points on: point (row, column) lies at
// origin + step * (row, column) degrees.
struct Grid {
    double latStep = 0, lonStep = 0, latOrigin = 0, lonOrigin = 0;
};

bool ReadLines(Reader* r, const Grid& grid, WorldMapData* map,
               std::vector<WorldMapData::Line>* lines) {
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
        std::int64_t row = 0;
        std::int64_t col = 0;
        double minX = 2, minY = 2, maxX = -1, maxY = -1;
        for (std::uint64_t k = 0; k < n; ++k) {
            std::int64_t drow = 0;
            std::int64_t dcol = 0;
            if (!r->Signed(&drow) || !r->Signed(&dcol)) {
                return false;
            }
            // Far beyond any grid of the world; keeps the sums below overflow.
            constexpr std::int64_t kMaxStep = std::int64_t{1} << 40;
            if (std::llabs(drow) > kMaxStep || std::llabs(dcol) > kMaxStep) {
                return false;
            }
            row += drow;
            col += dcol;
            const double lat = grid.latOrigin + grid.latStep * static_cast<double>(row);
            const double lon = grid.lonOrigin + grid.lonStep * static_cast<double>(col);
            constexpr double kSlack = 1e-6;
            if (!(std::fabs(lat) <= 90.0 + kSlack) || !(std::fabs(lon) <= 180.0 + kSlack)) {
                return false;
            }
            WorldPoint p = LatLonToWorld(lat, lon);
            if (lon >= 180.0 - kSlack) {
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

QString AngleText(double degrees, const char* positive, const char* negative) {
    return QString::number(std::fabs(degrees), 'g', 6) + QChar(0xb0) +
           QLatin1String(degrees > 0   ? positive
                         : degrees < 0 ? negative
                                       : "");
}

// The latitudes at the top and bottom of the view, and the longitude range.
struct GraticuleRange {
    double step = 0, topLat = 0, bottomLat = 0, leftLon = 0, rightLon = 0;
};

GraticuleRange RangeOf(const MapView& view) {
    GraticuleRange r;
    const WorldPoint tl = view.PixelToWorld(0, 0);
    const WorldPoint br = view.PixelToWorld(view.width, view.height);
    double lon = 0;
    WorldToLatLon({0.5, std::max(tl.y, 0.0)}, &r.topLat, &lon);
    WorldToLatLon({0.5, std::min(br.y, 1.0)}, &r.bottomLat, &lon);
    r.step = GraticuleStep(360.0 * view.worldPerPixel);
    r.leftLon = std::floor((tl.x * 360.0 - 180.0) / r.step) * r.step;
    r.rightLon = br.x * 360.0 - 180.0;
    return r;
}

double MeridianX(const MapView& view, double lon) {
    return view.WorldToPixel({(lon + 180.0) / 360.0, 0}).x();
}

double ParallelY(const MapView& view, double lat) {
    return view.WorldToPixel(LatLonToWorld(lat, 0)).y();
}

void DrawGraticuleLines(QPainter& painter, const MapView& view, const WorldMapStyle& style) {
    const GraticuleRange r = RangeOf(view);
    QPen pen(style.graticule, 0.8);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    for (double lon = r.leftLon; lon <= r.rightLon + 1e-9; lon += r.step) {
        const double x = MeridianX(view, lon);
        painter.drawLine(QPointF(x, 0), QPointF(x, view.height));
    }
    const double latStart = std::floor(r.bottomLat / r.step) * r.step;
    for (double lat = latStart; lat <= r.topLat + 1e-9; lat += r.step) {
        if (std::fabs(lat) <= kMercatorMaxLatitude) {
            const double y = ParallelY(view, lat);
            painter.drawLine(QPointF(0, y), QPointF(view.width, y));
        }
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
    Grid grid;
    if (!r.Magic("TBWM", 2) || !r.Double(&grid.latStep) || !r.Double(&grid.lonStep) ||
        !r.Double(&grid.latOrigin) || !r.Double(&grid.lonOrigin)) {
        return std::nullopt;
    }
    // A grid finer than a map unit or coarser than the world is no grid of ours.
    for (double step : {grid.latStep, grid.lonStep}) {
        if (!(step >= 1e-7 && step <= 360.0)) {
            return std::nullopt;
        }
    }
    for (double origin : {grid.latOrigin, grid.lonOrigin}) {
        if (!(std::fabs(origin) <= 360.0)) {
            return std::nullopt;
        }
    }
    WorldMapData map;
    map.points.reserve(
        static_cast<std::size_t>(raw.size() / 2));  // a point takes two bytes or more
    if (!ReadLines(&r, grid, &map, &map.land) || !ReadLines(&r, grid, &map, &map.borders) ||
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
                    const WorldMapStyle& style, const QRect& labelArea) {
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
    DrawGraticuleLines(painter, view, style);
    const QRect area = labelArea.isEmpty() ? QRect(0, 0, view.width, view.height) : labelArea;
    QFont font = painter.font();
    font.setPixelSize(kGraticuleLabelPixels);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const GraticuleLabel& label : GraticuleLabels(view, area, font)) {
        QPainterPath path;
        path.addText(label.baseline, font, label.text);
        painter.strokePath(path, QPen(QColor(255, 255, 255, 200), 3.0, Qt::SolidLine, Qt::RoundCap,
                                      Qt::RoundJoin));
        painter.fillPath(path, style.graticuleLabel);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

std::vector<GraticuleLabel> GraticuleLabels(const MapView& view, const QRect& area,
                                            const QFont& font) {
    std::vector<GraticuleLabel> labels;
    const QFontMetrics fm(font);
    const GraticuleRange r = RangeOf(view);
    const int gap = 3;
    // Meridians are named along the top, parallels down the left side; the
    // top-left corner belongs to the parallels and the bottom band to the
    // scale bar and the attribution.
    const int rowHeight = fm.height() + gap;
    const int leftColumn = fm.horizontalAdvance(QStringLiteral("88.88°N")) + 2 * gap;
    for (double lon = r.leftLon; lon <= r.rightLon + 1e-9; lon += r.step) {
        const double x = MeridianX(view, lon);
        const QString text = AngleText(std::remainder(lon, 360.0), "E", "W");
        const QRectF box(x + gap, area.top() + gap, fm.horizontalAdvance(text), fm.height());
        if (box.left() < area.left() + leftColumn || box.right() > area.right() - gap) {
            continue;
        }
        labels.push_back({text, box, QPointF(box.left(), box.top() + fm.ascent()), true});
    }
    const double latStart = std::floor(r.bottomLat / r.step) * r.step;
    for (double lat = latStart; lat <= r.topLat + 1e-9; lat += r.step) {
        if (std::fabs(lat) > kMercatorMaxLatitude) {
            continue;
        }
        const double y = ParallelY(view, lat);
        const QString text = AngleText(lat, "N", "S");
        const QRectF box(area.left() + gap, y - gap - fm.height(), fm.horizontalAdvance(text),
                         fm.height());
        if (box.top() < area.top() + rowHeight ||
            box.bottom() > area.bottom() - kGraticuleBottomBand ||
            box.right() > area.right() - gap) {
            continue;
        }
        labels.push_back({text, box, QPointF(box.left(), box.top() + fm.ascent()), false});
    }
    return labels;
}

}  // namespace tobrel
