#pragma once
// The satellites the live receiver has in view: a sky plot of elevation and
// azimuth (north up, the horizon at the rim, the zenith in the middle) and a
// signal bar per satellite, filled for those the fix uses. Both are drawn
// widgets; their accessible descriptions list the satellites as text so that
// a screen reader gets the same table.

#include <vector>

#include <QDockWidget>
#include <QString>
#include <QWidget>

#include "control/sorvane.h"

class QLabel;

namespace tobrel {

// "G12" for GPS 12, "R5" for GLONASS 5, ...: constellation letter and number.
QString SatelliteName(const SorvaneSatellite& satellite);

class SkyPlot : public QWidget {
    Q_OBJECT
  public:
    explicit SkyPlot(QWidget* parent = nullptr);
    void SetSatellites(const std::vector<SorvaneSatellite>& satellites);
    QSize sizeHint() const override { return {220, 220}; }
    // Where a satellite is drawn in the widget now.
    QPointF PositionOf(const SorvaneSatellite& satellite) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<SorvaneSatellite> satellites_;
};

class SignalBars : public QWidget {
    Q_OBJECT
  public:
    explicit SignalBars(QWidget* parent = nullptr);
    void SetSatellites(const std::vector<SorvaneSatellite>& satellites);
    QSize sizeHint() const override { return {220, 110}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::vector<SorvaneSatellite> satellites_;
};

class SatellitePanel : public QDockWidget {
    Q_OBJECT
  public:
    explicit SatellitePanel(QWidget* parent = nullptr);
    void SetSatellites(const std::vector<SorvaneSatellite>& satellites);
    const std::vector<SorvaneSatellite>& Satellites() const { return satellites_; }
    SkyPlot* Sky() const { return sky_; }
    SignalBars* Bars() const { return bars_; }
    QLabel* Summary() const { return summary_; }

  private:
    std::vector<SorvaneSatellite> satellites_;
    SkyPlot* sky_ = nullptr;
    SignalBars* bars_ = nullptr;
    QLabel* summary_ = nullptr;
};

}  // namespace tobrel
