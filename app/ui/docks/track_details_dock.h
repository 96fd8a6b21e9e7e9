#pragma once
// The selected track's figures and its elevation and speed profiles against
// distance. Hovering a profile (or stepping along it with the arrow keys)
// marks the point on the map; a click on the map near a track's line (PickAt)
// shows that track and marks the point on the profiles.

#include <cstdint>
#include <optional>
#include <unordered_map>

#include <QDockWidget>
#include <QPoint>
#include <QPointer>

#include "data/track_statistics.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace tobrel {

class MapCtrl;
class TobrelFile;

class TrackDetailsDock : public QDockWidget {
    Q_OBJECT
  public:
    // `map` may be null: hovering then only signals, and PickAt finds nothing.
    TrackDetailsDock(const TobrelFile& store, MapCtrl* map, QWidget* parent = nullptr);
    ~TrackDetailsDock() override;

    int CurrentTrack() const { return track_; }
    const TrackAnalysis& Analysis() const { return analysis_; }
    // The track point marked on the profiles; -1 when none.
    int MarkedPoint() const { return marked_; }

    // Which track, from which of its points on, a drawn track polyline shows
    // (one per segment), so that a click near it finds the track.
    void LinkElement(std::int32_t elementId, int track, int firstPoint);
    void UnlinkElement(std::int32_t elementId);
    void ClearLinks();

    // For tests and pictures.
    QChartView* ElevationView() const { return elevationView_; }
    QChartView* SpeedView() const { return speedView_; }
    // The value label of a figure, by its row (0 = length ... see the form).
    QString FigureText(int row) const;
    static constexpr int kFigureCount = 13;
    // Where a track point sits on a profile, in the view's pixels (nothing
    // when that profile has no points).
    std::optional<QPoint> PlotPixelOf(QChartView* view, int point) const;

  public slots:
    // Shows a store track's figures and profiles (call again after it
    // changed); an invalid track clears the dock.
    void ShowTrack(int track);
    void Clear();
    // Marks a point of the shown track on both profiles; ignored for another track.
    void MarkPoint(int track, int point);
    // A click at a map pixel: when a linked line is near, shows its track,
    // marks the nearest point on the profiles and on the map and emits
    // TrackPicked. False when no linked line is near.
    bool PickAt(int x, int y);

  signals:
    // The pointer is over the profile at this point of the track.
    void PointHovered(int track, int point);
    // A map click picked this point of a track.
    void TrackPicked(int track, int point);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Plot {
        QChart* chart = nullptr;
        QLineSeries* line = nullptr;
        QScatterSeries* mark = nullptr;
        QValueAxis* x = nullptr;
        QValueAxis* y = nullptr;
    };
    struct Link {
        int track = 0;
        int firstPoint = 0;
    };

    QChartView* MakePlot(Plot* plot, const QString& title, const QString& yTitle);
    void FillPlot(Plot& plot, const std::vector<ProfilePoint>& series, double yScale);
    void ShowFigures();
    const std::vector<ProfilePoint>& SeriesOf(const QChartView* view) const;
    double YScaleOf(const QChartView* view) const;
    void MarkOnPlot(Plot& plot, const std::vector<ProfilePoint>& series, double yScale, int point);
    void MarkOnMap(int point);
    void Hover(QChartView* view, QPointF position);
    // Arrow, Home, End and page keys on a profile; false for other keys.
    bool StepAlong(QChartView* view, int key);

    const TobrelFile& store_;
    QPointer<MapCtrl> map_;
    int track_ = -1;
    int marked_ = -1;
    TrackAnalysis analysis_;
    std::unordered_map<std::int32_t, Link> links_;

    QLabel* title_ = nullptr;
    QLabel* figures_[kFigureCount] = {};
    Plot elevation_;
    Plot speed_;
    QChartView* elevationView_ = nullptr;
    QChartView* speedView_ = nullptr;
};

}  // namespace tobrel
