#include "map/map_geometry.h"

#include <cmath>

namespace tobrel {

std::vector<WorldPoint> DecimateToGrid(const WorldPoint* points, std::size_t count, double cell) {
    std::vector<WorldPoint> out;
    if (count == 0) {
        return out;
    }
    if (!(cell > 0.0)) {
        return std::vector<WorldPoint>(points, points + count);
    }
    out.push_back(points[0]);
    double lastCx = std::floor(points[0].x / cell);
    double lastCy = std::floor(points[0].y / cell);
    for (std::size_t i = 1; i + 1 < count; ++i) {
        const double cx = std::floor(points[i].x / cell);
        const double cy = std::floor(points[i].y / cell);
        if (cx != lastCx || cy != lastCy) {
            out.push_back(points[i]);
            lastCx = cx;
            lastCy = cy;
        }
    }
    if (count > 1) {
        out.push_back(points[count - 1]);
    }
    return out;
}

namespace {

// Liang-Barsky: clips the segment a-b to rect; false when nothing is left.
bool ClipSegment(QPointF* a, QPointF* b, const QRectF& r) {
    const double dx = b->x() - a->x();
    const double dy = b->y() - a->y();
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a->x() - r.left(), r.right() - a->x(), a->y() - r.top(),
                         r.bottom() - a->y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1) {
                return false;
            }
            if (t > t0) {
                t0 = t;
            }
        } else {
            if (t < t0) {
                return false;
            }
            if (t < t1) {
                t1 = t;
            }
        }
    }
    const QPointF start = *a;
    *a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    *b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    return true;
}

}  // namespace

void ClipPolyline(const QPointF* points, std::size_t count, const QRectF& rect,
                  std::vector<QPolygonF>* runs) {
    if (count == 1) {
        if (rect.contains(points[0])) {
            runs->push_back(QPolygonF({points[0], points[0]}));
        }
        return;
    }
    QPolygonF run;
    bool open = false;  // the last segment reached its own end unclipped
    for (std::size_t i = 0; i + 1 < count; ++i) {
        QPointF a = points[i];
        QPointF b = points[i + 1];
        if (!ClipSegment(&a, &b, rect)) {
            if (run.size() >= 2) {
                runs->push_back(std::move(run));
            }
            run = QPolygonF();
            open = false;
            continue;
        }
        const bool startsClean = (a == points[i]);
        if (!(open && startsClean)) {
            if (run.size() >= 2) {
                runs->push_back(std::move(run));
            }
            run = QPolygonF();
            run.append(a);
        }
        run.append(b);
        open = (b == points[i + 1]);
        if (!open) {
            runs->push_back(std::move(run));
            run = QPolygonF();
        }
    }
    if (run.size() >= 2) {
        runs->push_back(std::move(run));
    }
}

namespace {

template <typename Inside, typename Cross>
QPolygonF ClipEdge(const QPolygonF& in, Inside inside, Cross cross) {
    QPolygonF out;
    const int n = static_cast<int>(in.size());
    if (n == 0) {
        return out;
    }
    out.reserve(n + 4);
    QPointF prev = in[n - 1];
    bool prevIn = inside(prev);
    for (int i = 0; i < n; ++i) {
        const QPointF cur = in[i];
        const bool curIn = inside(cur);
        if (curIn) {
            if (!prevIn) {
                out.append(cross(prev, cur));
            }
            out.append(cur);
        } else if (prevIn) {
            out.append(cross(prev, cur));
        }
        prev = cur;
        prevIn = curIn;
    }
    return out;
}

QPointF AtX(const QPointF& a, const QPointF& b, double x) {
    const double t = (x - a.x()) / (b.x() - a.x());
    return {x, a.y() + t * (b.y() - a.y())};
}

QPointF AtY(const QPointF& a, const QPointF& b, double y) {
    const double t = (y - a.y()) / (b.y() - a.y());
    return {a.x() + t * (b.x() - a.x()), y};
}

}  // namespace

QPolygonF ClipPolygon(const QPolygonF& polygon, const QRectF& r) {
    const double l = r.left(), t = r.top(), rt = r.right(), b = r.bottom();
    QPolygonF p = ClipEdge(
        polygon, [l](const QPointF& q) { return q.x() >= l; },
        [l](const QPointF& a, const QPointF& c) { return AtX(a, c, l); });
    p = ClipEdge(
        p, [rt](const QPointF& q) { return q.x() <= rt; },
        [rt](const QPointF& a, const QPointF& c) { return AtX(a, c, rt); });
    p = ClipEdge(
        p, [t](const QPointF& q) { return q.y() >= t; },
        [t](const QPointF& a, const QPointF& c) { return AtY(a, c, t); });
    p = ClipEdge(
        p, [b](const QPointF& q) { return q.y() <= b; },
        [b](const QPointF& a, const QPointF& c) { return AtY(a, c, b); });
    return p;
}

}  // namespace tobrel
