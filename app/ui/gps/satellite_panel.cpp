#include "ui/gps/satellite_panel.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace tobrel {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Signal bars reach the top at this many dB-Hz.
constexpr int kFullSignal = 50;

QColor ColourOf(const SorvaneSatellite& s) {
    if (s.snr <= 0)
        return QColor(0xb0, 0xb0, 0xb0);
    return s.used ? QColor(0x1a, 0x73, 0xe8) : QColor(0x7f, 0xb0, 0xf0);
}

// One line per satellite, for screen readers.
QString Listing(const std::vector<SorvaneSatellite>& satellites) {
    QStringList lines;
    for (const SorvaneSatellite& s : satellites) {
        lines.append(
            QCoreApplication::translate("tobrel::SatellitePanel",
                                        "%1: elevation %2°, azimuth %3°, signal %4 dB-Hz%5")
                .arg(SatelliteName(s))
                .arg(s.elevation)
                .arg(s.azimuth)
                .arg(s.snr)
                .arg(s.used ? QCoreApplication::translate("tobrel::SatellitePanel",
                                                          ", used in the fix")
                            : QString()));
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString SatelliteName(const SorvaneSatellite& s) {
    static const char kLetters[] = "?GRECJIS";  // by SORVANE_GNSS_...
    const int c = s.constellation;
    const char letter = c >= 0 && c < static_cast<int>(sizeof kLetters) - 1 ? kLetters[c] : '?';
    const int number = s.number > 0 ? s.number : s.prn;
    return QStringLiteral("%1%2").arg(QLatin1Char(letter)).arg(number);
}

// ---------------------------------------------------------------- sky plot

SkyPlot::SkyPlot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SkyPlot"));
    setAccessibleName(tr("Sky plot"));
    setMinimumSize(120, 120);
}

void SkyPlot::SetSatellites(const std::vector<SorvaneSatellite>& satellites) {
    satellites_ = satellites;
    setAccessibleDescription(Listing(satellites_));
    update();
}

QPointF SkyPlot::PositionOf(const SorvaneSatellite& s) const {
    const double radius = std::min(width(), height()) / 2.0 - 14.0;
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double elevation = std::clamp(s.elevation, 0, 90);
    const double r = radius * (90.0 - elevation) / 90.0;
    const double a = s.azimuth * kPi / 180.0;
    return centre + QPointF(r * std::sin(a), -r * std::cos(a));
}

void SkyPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect(), palette().base());
    const double radius = std::min(width(), height()) / 2.0 - 14.0;
    const QPointF centre(width() / 2.0, height() / 2.0);
    p.setPen(QPen(palette().mid().color(), 1.0));
    p.setBrush(Qt::NoBrush);
    for (const double e : {0.0, 30.0, 60.0})
        p.drawEllipse(centre, radius * (90.0 - e) / 90.0, radius * (90.0 - e) / 90.0);
    p.drawLine(centre - QPointF(radius, 0), centre + QPointF(radius, 0));
    p.drawLine(centre - QPointF(0, radius), centre + QPointF(0, radius));
    p.setPen(palette().text().color());
    const QFontMetrics metrics(font());
    p.drawText(QPointF(centre.x() - metrics.horizontalAdvance(QLatin1Char('N')) / 2.0,
                       centre.y() - radius - 2.0),
               QStringLiteral("N"));
    for (const SorvaneSatellite& s : satellites_) {
        const QPointF at = PositionOf(s);
        p.setPen(QPen(Qt::white, 1.0));
        p.setBrush(ColourOf(s));
        p.drawEllipse(at, 9.0, 9.0);
        const QString name = SatelliteName(s);
        QFont small = font();
        small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.7));
        p.setFont(small);
        p.setPen(s.snr > 0 ? Qt::white : Qt::black);
        p.drawText(QRectF(at.x() - 12, at.y() - 8, 24, 16), Qt::AlignCenter, name);
        p.setFont(font());
    }
}

// ---------------------------------------------------------------- signal bars

SignalBars::SignalBars(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SignalBars"));
    setAccessibleName(tr("Signal strength"));
    setMinimumHeight(80);
}

void SignalBars::SetSatellites(const std::vector<SorvaneSatellite>& satellites) {
    satellites_ = satellites;
    setAccessibleDescription(Listing(satellites_));
    update();
}

void SignalBars::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    if (satellites_.empty())
        return;
    const QFontMetrics metrics(font());
    const double slot = static_cast<double>(width()) / static_cast<double>(satellites_.size());
    // Names stand upright under their bars when they are wider than a bar's slot.
    int widest = 0;
    for (const SorvaneSatellite& s : satellites_)
        widest = std::max(widest, metrics.horizontalAdvance(SatelliteName(s)));
    const bool upright = widest + 2 > slot;
    const int labelHeight = (upright ? widest : metrics.height()) + 4;
    const double barWidth = std::max(2.0, slot * 0.7);
    const double top = 4.0;
    const double bottom = height() - labelHeight;
    for (std::size_t i = 0; i < satellites_.size(); ++i) {
        const SorvaneSatellite& s = satellites_[i];
        const double left = slot * static_cast<double>(i);
        const double x = left + (slot - barWidth) / 2.0;
        const double level = std::clamp(s.snr, 0, kFullSignal) / static_cast<double>(kFullSignal);
        const double h = (bottom - top) * level;
        p.fillRect(QRectF(x, bottom - h, barWidth, h), ColourOf(s));
        p.setPen(palette().mid().color());
        p.drawRect(QRectF(x, top, barWidth, bottom - top));
        p.setPen(palette().text().color());
        if (upright) {
            p.save();
            p.translate(left + slot / 2.0 + metrics.ascent() / 2.0 - 1.0, bottom + 2.0);
            p.rotate(90.0);
            p.drawText(QPointF(0, 0), SatelliteName(s));
            p.restore();
        } else {
            p.drawText(QRectF(left, bottom, slot, labelHeight), Qt::AlignCenter, SatelliteName(s));
        }
    }
}

// ---------------------------------------------------------------- panel

SatellitePanel::SatellitePanel(QWidget* parent) : QDockWidget(tr("Satellites"), parent) {
    setObjectName(QStringLiteral("SatellitePanel"));
    toggleViewAction()->setText(tr("&Satellites"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    summary_ = new QLabel(tr("No satellites in view"), body);
    summary_->setObjectName(QStringLiteral("SatelliteSummary"));
    sky_ = new SkyPlot(body);
    bars_ = new SignalBars(body);
    layout->addWidget(summary_);
    layout->addWidget(sky_, 2);
    layout->addWidget(bars_, 1);
    setWidget(body);
}

void SatellitePanel::SetSatellites(const std::vector<SorvaneSatellite>& satellites) {
    satellites_ = satellites;
    const auto used = std::count_if(satellites.begin(), satellites.end(),
                                    [](const SorvaneSatellite& s) { return s.used != 0; });
    summary_->setText(
        satellites.empty()
            ? tr("No satellites in view")
            : tr("%1 in view, %2 used").arg(satellites.size()).arg(static_cast<int>(used)));
    sky_->SetSatellites(satellites);
    bars_->SetSatellites(satellites);
}

}  // namespace tobrel
