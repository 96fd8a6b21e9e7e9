#include "map/element_store.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

#include "map/map_geometry.h"

namespace tobrel {

namespace {

constexpr std::size_t kLevelsKept = 3;
const QColor kTrackColour(0xd0, 0x10, 0x30);
const QColor kLabelColour(0x10, 0x10, 0x60);

QRectF BoundsOf(const WorldPoint* p, std::size_t n) {
    double minX = p[0].x, maxX = p[0].x, minY = p[0].y, maxY = p[0].y;
    for (std::size_t i = 1; i < n; ++i) {
        minX = std::min(minX, p[i].x);
        maxX = std::max(maxX, p[i].x);
        minY = std::min(minY, p[i].y);
        maxY = std::max(maxY, p[i].y);
    }
    return QRectF(QPointF(minX, minY), QPointF(maxX, maxY));
}

// Rectangles that may be degenerate (a vertical line has no width).
bool Overlaps(const QRectF& a, const QRectF& b) {
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() &&
           b.top() <= a.bottom();
}

QImage RenderLabel(const QString& text, const QFont& font) {
    // Glyphs drawn from the font cache: the white halo is the text drawn
    // around its place, which costs far less than stroking its outline.
    const QFontMetricsF metrics(font);
    const QRectF box = metrics.boundingRect(text).adjusted(-3, -3, 3, 3);
    QImage image(std::max(1, static_cast<int>(std::ceil(box.width()))),
                 std::max(1, static_cast<int>(std::ceil(box.height()))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.translate(-box.topLeft());
    p.setPen(QColor(255, 255, 255, 230));
    for (const QPointF d : {QPointF(-1.5, 0), QPointF(1.5, 0), QPointF(0, -1.5), QPointF(0, 1.5),
                            QPointF(-1, -1), QPointF(1, 1), QPointF(-1, 1), QPointF(1, -1)})
        p.drawText(d, text);
    p.setPen(kLabelColour);
    p.drawText(QPointF(0, 0), text);
    return image;
}

}  // namespace

void ElementStore::Unwrap(std::vector<WorldPoint>* points) {
    for (std::size_t i = 1; i < points->size(); ++i) {
        const double prev = (*points)[i - 1].x;
        double& x = (*points)[i].x;
        x += std::round(prev - x);
    }
}

std::vector<ElementStore::Chunk> ElementStore::MakeChunks(const std::vector<WorldPoint>& points) {
    std::vector<Chunk> chunks;
    const std::size_t n = points.size();
    for (std::size_t first = 0; first < n; first += kChunkPoints) {
        // Chunks share their boundary point so the line has no gaps.
        const std::size_t count = std::min(kChunkPoints + 1, n - first);
        chunks.push_back({static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count),
                          BoundsOf(points.data() + first, count)});
        if (first + count >= n) {
            break;
        }
    }
    return chunks;
}

void ElementStore::AddPolyline(std::int32_t id, std::int32_t owner,
                               std::vector<WorldPoint> points) {
    Element e;
    e.owner = owner;
    if (!points.empty()) {
        e.line.bounds = BoundsOf(points.data(), points.size());
        e.line.chunks = MakeChunks(points);
    }
    e.line.points = std::move(points);
    elements_[id] = std::move(e);
}

void ElementStore::AddText(std::int32_t id, std::int32_t owner, const WorldPoint& anchor,
                           const QString& text, const QFont& font) {
    Element e;
    e.owner = owner;
    e.isText = true;
    e.text.anchor = anchor;
    e.text.label = RenderLabel(text, font);
    elements_[id] = std::move(e);
}

bool ElementStore::Remove(std::int32_t id, std::int32_t owner) {
    const auto it = elements_.find(id);
    if (it == elements_.end() || it->second.owner != owner) {
        return false;
    }
    elements_.erase(it);
    return true;
}

void ElementStore::RemoveOwner(std::int32_t owner) {
    std::erase_if(elements_, [owner](const auto& kv) { return kv.second.owner == owner; });
}

std::size_t ElementStore::MemoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& [id, e] : elements_) {
        bytes += sizeof(e);
        bytes += e.line.points.capacity() * sizeof(WorldPoint);
        bytes += e.line.chunks.capacity() * sizeof(Chunk);
        for (const auto& level : e.line.levels) {
            bytes += sizeof(level) + level.points.capacity() * sizeof(WorldPoint) +
                     level.chunks.capacity() * sizeof(Chunk);
        }
        bytes += static_cast<std::size_t>(e.text.label.sizeInBytes());
    }
    return bytes;
}

const ElementStore::Level& ElementStore::LevelFor(Polyline& line, double worldPerPixel) {
    // Resolutions a quarter octave apart share one thinned copy; its cell is
    // never coarser than a pixel.
    const int key = static_cast<int>(std::floor(std::log2(worldPerPixel) * 4.0));
    const auto it = std::find_if(line.levels.begin(), line.levels.end(),
                                 [key](const Level& l) { return l.key == key; });
    if (it != line.levels.end()) {
        std::rotate(it, it + 1, line.levels.end());
        return line.levels.back();
    }
    Level level;
    level.key = key;
    const double cell = std::exp2(key / 4.0);
    level.points = DecimateToGrid(line.points.data(), line.points.size(), cell);
    if (level.points.size() * 10 >= line.points.size() * 9) {
        // Hardly thinner: draw the original and save the memory.
        level.usesBase = true;
        level.points = {};
    } else {
        level.chunks = MakeChunks(level.points);
    }
    if (line.levels.size() >= kLevelsKept) {
        line.levels.erase(line.levels.begin());
    }
    line.levels.push_back(std::move(level));
    return line.levels.back();
}

void ElementStore::PaintPolyline(QPainter& painter, const MapView& view, Polyline& line) {
    if (line.points.empty()) {
        return;
    }
    const QRectF world = view.WorldBounds();
    const double margin = 4 * view.worldPerPixel;
    const QRectF visible = world.adjusted(-margin, -margin, margin, margin);
    const int firstCopy = static_cast<int>(std::ceil(visible.left() - line.bounds.right()));
    const int lastCopy = static_cast<int>(std::floor(visible.right() - line.bounds.left()));
    if (firstCopy > lastCopy || line.bounds.bottom() < visible.top() ||
        line.bounds.top() > visible.bottom()) {
        return;
    }
    const Level& level = LevelFor(line, view.worldPerPixel);
    const auto& points = level.usesBase ? line.points : level.points;
    const auto& chunks = level.usesBase ? line.chunks : level.chunks;
    const QRectF clip(-8, -8, view.width + 16, view.height + 16);
    std::vector<QPolygonF> runs;
    for (int copy = firstCopy; copy <= lastCopy; ++copy) {
        const QRectF shifted = visible.translated(-copy, 0);
        for (const Chunk& c : chunks) {
            if (!Overlaps(c.bounds, shifted)) {
                continue;
            }
            scratch_.resize(c.count);
            for (std::uint32_t i = 0; i < c.count; ++i) {
                const WorldPoint& p = points[c.first + i];
                scratch_[i] = view.WorldToPixel({p.x + copy, p.y});
            }
            ClipPolyline(scratch_.data(), scratch_.size(), clip, &runs);
        }
    }
    // Short pieces stroke much faster than one long self-crossing path.
    constexpr int kPiece = 32;
    for (const auto& run : runs) {
        for (int first = 0; first + 1 < run.size(); first += kPiece) {
            const int count = std::min<int>(kPiece + 1, static_cast<int>(run.size()) - first);
            painter.drawPolyline(run.constData() + first, count);
        }
    }
}

void ElementStore::PaintText(QPainter& painter, const MapView& view, const Text& text) {
    const QPointF at = view.WorldToPixelNearest(text.anchor);
    const QRectF area(at.x() - 4, at.y() - text.label.height(),
                      text.label.width() + kLabelOffsetX + 4, 2.0 * text.label.height());
    if (!area.intersects(QRectF(0, 0, view.width, view.height))) {
        return;
    }
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(kLabelColour);
    painter.drawEllipse(at, 3.0, 3.0);
    painter.drawImage(QPointF(at.x() + kLabelOffsetX, at.y() - text.label.height() / 2.0),
                      text.label);
}

std::optional<ElementStore::Hit> ElementStore::HitTest(const MapView& view, QPointF pixel,
                                                       double tolerance) const {
    const WorldPoint at = view.PixelToWorld(pixel.x(), pixel.y());
    const double reach = (tolerance + 0.5) * view.worldPerPixel;
    std::optional<Hit> best;
    double bestDistance = reach;
    for (const auto& [id, e] : elements_) {
        const Polyline& line = e.line;
        if (e.isText || line.points.empty()) {
            continue;
        }
        // The copies of the world where the line may come near the pixel.
        const int firstCopy = static_cast<int>(std::ceil(at.x - reach - line.bounds.right()));
        const int lastCopy = static_cast<int>(std::floor(at.x + reach - line.bounds.left()));
        if (line.bounds.top() > at.y + reach || line.bounds.bottom() < at.y - reach) {
            continue;
        }
        for (int copy = firstCopy; copy <= lastCopy; ++copy) {
            const WorldPoint q{at.x - copy, at.y};
            const QRectF near(q.x - reach, q.y - reach, 2 * reach, 2 * reach);
            for (const Chunk& c : line.chunks) {
                if (!Overlaps(c.bounds, near)) {
                    continue;
                }
                const WorldPoint* p = line.points.data() + c.first;
                for (std::uint32_t i = 0; i < c.count; ++i) {
                    // The stretch from point i to i + 1 (a lone point stands alone).
                    const WorldPoint& a = p[i];
                    const WorldPoint& b = i + 1 < c.count ? p[i + 1] : p[i];
                    const double dx = b.x - a.x;
                    const double dy = b.y - a.y;
                    const double len2 = dx * dx + dy * dy;
                    double t = 0.0;
                    if (len2 > 0.0) {
                        t = std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / len2, 0.0, 1.0);
                    }
                    const double d = std::hypot(a.x + t * dx - q.x, a.y + t * dy - q.y);
                    if (d <= bestDistance) {
                        bestDistance = d;
                        const int index = static_cast<int>(c.first + i) + (t > 0.5 ? 1 : 0);
                        best = Hit{id, index, d / view.worldPerPixel};
                    }
                }
            }
        }
    }
    if (best && best->distancePixels > tolerance) {
        return std::nullopt;
    }
    return best;
}

void ElementStore::Paint(QPainter& painter, const MapView& view) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPen trackPen(kTrackColour, 2.5, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin);
    for (auto& [id, e] : elements_) {
        if (e.isText) {
            PaintText(painter, view, e.text);
        } else {
            painter.setPen(trackPen);
            painter.setBrush(Qt::NoBrush);
            PaintPolyline(painter, view, e.line);
        }
    }
    painter.restore();
}

}  // namespace tobrel
