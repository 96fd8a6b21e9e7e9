#include "map/map_decorations.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace tobrel {

namespace {

constexpr int kBarThickness = 3;
constexpr int kTickHeight = 6;
const QColor kBarColour(0x20, 0x20, 0x20);
const QColor kHalo(255, 255, 255, 220);

QString DistanceLabel(double metres) {
    if (metres < 1000.0) {
        return QStringLiteral("%1 m").arg(std::lround(metres));
    }
    return QStringLiteral("%1 km").arg(std::lround(metres / 1000.0));
}

}  // namespace

double MetresPerPixel(const MapView& view) {
    double lat = 0.0;
    double lon = 0.0;
    WorldToLatLon(view.centre, &lat, &lon);
    return view.worldPerPixel * 2.0 * std::numbers::pi * kEarthRadius *
           std::cos(lat * std::numbers::pi / 180.0);
}

ScaleBar ScaleBarFor(double metresPerPixel, double maxPixels) {
    ScaleBar bar;
    if (!(metresPerPixel > 0.0) || !(maxPixels >= 1.0)) {
        return bar;
    }
    const double most = metresPerPixel * maxPixels;
    double power = std::pow(10.0, std::floor(std::log10(most)));
    double metres = power;
    for (double f : {5.0, 2.0, 1.0}) {
        if (f * power <= most) {
            metres = f * power;
            break;
        }
    }
    // Never below a metre, even where the map is finer than that.
    metres = std::max(metres, 1.0);
    bar.metres = metres;
    bar.pixels = metres / metresPerPixel;
    bar.label = DistanceLabel(metres);
    return bar;
}

QRect ScaleBarBox(const ScaleBar& bar, const QFont& font, int x, int baselineY) {
    const QFontMetrics fm(font);
    const int width =
        std::max(static_cast<int>(std::lround(bar.pixels)), fm.horizontalAdvance(bar.label)) + 4;
    const int height = fm.height() + kTickHeight + 3;
    return QRect(x - 2, baselineY + kBarThickness - height + 1, width, height);
}

void DrawScaleBar(QPainter& painter, const ScaleBar& bar, const QFont& font, int x, int baselineY) {
    if (bar.pixels <= 0.0) {
        return;
    }
    const int length = static_cast<int>(std::lround(bar.pixels));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRect line(x, baselineY, length, kBarThickness);
    const QRect left(x, baselineY - kTickHeight, 2, kTickHeight);
    const QRect right(x + length - 2, baselineY - kTickHeight, 2, kTickHeight);
    for (const QRect& r : {line, left, right}) {
        painter.fillRect(r.adjusted(-1, -1, 1, 1), kHalo);
    }
    for (const QRect& r : {line, left, right}) {
        painter.fillRect(r, kBarColour);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath text;
    text.addText(x + 4, baselineY - kTickHeight + 2 - QFontMetrics(font).descent(), font,
                 bar.label);
    painter.strokePath(text, QPen(kHalo, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.fillPath(text, kBarColour);
    painter.restore();
}

QRect AttributionBox(const QString& text, const QFont& font, const QRect& area) {
    if (text.isEmpty()) {
        return {};
    }
    const QFontMetrics fm(font);
    const int width = std::min(fm.horizontalAdvance(text) + 8, area.width());
    const int height = fm.height() + 2;
    return QRect(area.right() - width + 1, area.bottom() - height + 1, width, height);
}

void DrawTextBox(QPainter& painter, const QRect& box, const QString& text, const QFont& font) {
    if (box.isEmpty()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(box, QColor(255, 255, 255, 200));
    painter.setFont(font);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideLeft, box.width() - 8);
    painter.drawText(box.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignRight, shown);
    painter.restore();
}

void DrawPositionMarker(QPainter& painter, QPointF at, const PositionMarker& marker,
                        double metresPerPixel) {
    const QColor main = marker.stale ? QColor(0x80, 0x80, 0x80) : QColor(0x1a, 0x73, 0xe8);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (marker.accuracyMetres > 0.0 && metresPerPixel > 0.0) {
        // Bounded, so a wild accuracy cannot ask the painter for a huge circle.
        const double r = std::min(marker.accuracyMetres / metresPerPixel, 1.0e5);
        QColor fill = main;
        fill.setAlpha(40);
        QColor edge = main;
        edge.setAlpha(120);
        painter.setPen(QPen(edge, 1.0));
        painter.setBrush(fill);
        painter.drawEllipse(at, r, r);
    }
    if (marker.headingDegrees && std::isfinite(*marker.headingDegrees)) {
        painter.save();
        painter.translate(at);
        painter.rotate(*marker.headingDegrees);
        QPolygonF arrow({{0, -20}, {7, -6}, {-7, -6}});
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(main);
        painter.drawPolygon(arrow);
        painter.restore();
    }
    painter.setPen(QPen(Qt::white, 2.5));
    painter.setBrush(main);
    painter.drawEllipse(at, 7.0, 7.0);
    painter.restore();
}

void DrawMarkedPoint(QPainter& painter, QPointF at) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(Qt::white, 4.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 7.0, 7.0);
    painter.setPen(QPen(QColor(0xff, 0x8c, 0x00), 2.5));
    painter.drawEllipse(at, 7.0, 7.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0x8c, 0x00));
    painter.drawEllipse(at, 2.5, 2.5);
    painter.restore();
}

}  // namespace tobrel
