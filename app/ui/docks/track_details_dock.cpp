#include "ui/docks/track_details_dock.h"

#include <algorithm>
#include <cmath>

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QScatterSeries>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QValueAxis>

#include "data/tobrel_file.h"
#include "map/map_ctrl.h"
#include "map/map_projection.h"
#include "text/cp932.h"

namespace tobrel {

namespace {

constexpr double kElevationScale = 1.0;  // metres
constexpr double kSpeedScale = 3.6;      // m/s to km/h
const QString kNone = QStringLiteral("—");

QString Distance(double metres) {
    if (metres < 1000.0) {
        return QStringLiteral("%1 m").arg(std::lround(metres));
    }
    return QStringLiteral("%1 km").arg(metres / 1000.0, 0, 'f', 2);
}

QString Duration(std::optional<double> seconds) {
    if (!seconds) {
        return kNone;
    }
    const long long s = std::llround(*seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString Speed(std::optional<double> metresPerSecond) {
    return metresPerSecond
               ? QStringLiteral("%1 km/h").arg(*metresPerSecond * kSpeedScale, 0, 'f', 1)
               : kNone;
}

QString Metres(std::optional<double> metres, const char* sign = "") {
    return metres ? QLatin1String(sign) + QStringLiteral("%1 m").arg(std::lround(*metres)) : kNone;
}

}  // namespace

TrackDetailsDock::TrackDetailsDock(const TobrelFile& store, MapCtrl* map, QWidget* parent)
    : QDockWidget(tr("Track Details"), parent), store_(store), map_(map) {
    setObjectName(QStringLiteral("TrackDetailsDock"));
    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    title_ = new QLabel(content);
    title_->setObjectName(QStringLiteral("TrackTitle"));
    title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);
    layout->addWidget(title_);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    const QString names[kFigureCount] = {tr("Length"),
                                         tr("Start time"),
                                         tr("Elapsed time"),
                                         tr("Moving time"),
                                         tr("Average speed (moving)"),
                                         tr("Average speed (overall)"),
                                         tr("Maximum speed"),
                                         tr("Total ascent"),
                                         tr("Total descent"),
                                         tr("Highest point"),
                                         tr("Lowest point"),
                                         tr("Points"),
                                         tr("Segments")};
    for (int i = 0; i < kFigureCount; ++i) {
        figures_[i] = new QLabel(content);
        // Room for the widest value, a start time, so the form keeps its width.
        figures_[i]->setMinimumWidth(
            figures_[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")));
        figures_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        auto* label = new QLabel(names[i], content);
        label->setBuddy(figures_[i]);
        figures_[i]->setAccessibleName(names[i]);
        form->addRow(label, figures_[i]);
    }
    layout->addLayout(form);
    elevationView_ = MakePlot(&elevation_, tr("Elevation"), QStringLiteral("m"));
    speedView_ = MakePlot(&speed_, tr("Speed"), QStringLiteral("km/h"));
    layout->addWidget(elevationView_, 1);
    layout->addWidget(speedView_, 1);
    // Scrolls rather than making the window taller than the screen or its size.
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    scroll->setMinimumWidth(content->minimumSizeHint().width() +
                            scroll->verticalScrollBar()->sizeHint().width());
    setWidget(scroll);
    Clear();
}

TrackDetailsDock::~TrackDetailsDock() = default;

QChartView* TrackDetailsDock::MakePlot(Plot* plot, const QString& title, const QString& yTitle) {
    plot->chart = new QChart;
    plot->chart->legend()->hide();
    plot->chart->setTitle(title);
    plot->chart->setMargins(QMargins(4, 4, 4, 4));
    plot->line = new QLineSeries(plot->chart);
    plot->mark = new QScatterSeries(plot->chart);
    plot->mark->setMarkerSize(10.0);
    plot->mark->setColor(QColor(0xff, 0x8c, 0x00));
    plot->mark->setBorderColor(Qt::white);
    plot->chart->addSeries(plot->line);
    plot->chart->addSeries(plot->mark);
    plot->x = new QValueAxis(plot->chart);
    plot->x->setTitleText(tr("Distance (km)"));
    plot->x->setLabelFormat(QStringLiteral("%.3g"));
    plot->y = new QValueAxis(plot->chart);
    plot->y->setTitleText(yTitle);
    plot->y->setLabelFormat(QStringLiteral("%.4g"));
    plot->chart->addAxis(plot->x, Qt::AlignBottom);
    plot->chart->addAxis(plot->y, Qt::AlignLeft);
    for (QAbstractSeries* s :
         {static_cast<QAbstractSeries*>(plot->line), static_cast<QAbstractSeries*>(plot->mark)}) {
        s->attachAxis(plot->x);
        s->attachAxis(plot->y);
    }
    auto* view = new QChartView(plot->chart, this);
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setMinimumSize(280, 150);
    view->setAccessibleName(title);
    view->setAccessibleDescription(
        tr("Left and Right step along the profile, Home and End go to its ends, Page Up and "
           "Page Down take bigger steps; the point is marked on the map."));
    view->setMouseTracking(true);
    view->viewport()->setMouseTracking(true);
    view->viewport()->installEventFilter(this);
    // The keyboard reaches what hovering does.
    view->setFocusPolicy(Qt::StrongFocus);
    view->installEventFilter(this);
    return view;
}

void TrackDetailsDock::LinkElement(std::int32_t elementId, int track, int firstPoint) {
    links_[elementId] = {track, firstPoint};
}

void TrackDetailsDock::UnlinkElement(std::int32_t elementId) {
    links_.erase(elementId);
}

void TrackDetailsDock::ClearLinks() {
    links_.clear();
}

void TrackDetailsDock::Clear() {
    track_ = -1;
    marked_ = -1;
    analysis_ = {};
    title_->setText(tr("No track selected"));
    for (QLabel* figure : figures_) {
        figure->setText(kNone);
    }
    for (Plot* plot : {&elevation_, &speed_}) {
        FillPlot(*plot, {}, 1.0);
    }
    if (map_) {
        map_->ClearMarkedPoint();
    }
}

void TrackDetailsDock::ShowTrack(int track) {
    const TrackHeader* header = store_.GetTrackHeader(track);
    if (header == nullptr) {
        Clear();
        return;
    }
    if (map_ && track != track_) {
        map_->ClearMarkedPoint();
    }
    track_ = track;
    marked_ = -1;
    analysis_ = AnalyseTrack(*header);
    title_->setText(QString::fromStdString(sorvane::cp932::ToUtf8(header->name)));
    ShowFigures();
    FillPlot(elevation_, analysis_.elevation, kElevationScale);
    FillPlot(speed_, analysis_.speed, kSpeedScale);
}

void TrackDetailsDock::ShowFigures() {
    const TrackStatistics& s = analysis_.statistics;
    QString start = kNone;
    if (s.startTime) {
        start = QDateTime::fromSecsSinceEpoch(*s.startTime)
                    .toLocalTime()
                    .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }
    const QString texts[kFigureCount] = {Distance(s.lengthMetres),
                                         start,
                                         Duration(s.elapsedSeconds),
                                         Duration(s.movingSeconds),
                                         Speed(s.movingAverageSpeed),
                                         Speed(s.overallAverageSpeed),
                                         Speed(s.maxSpeed),
                                         Metres(s.ascentMetres, "+"),
                                         Metres(s.descentMetres, "-"),
                                         Metres(s.highestMetres),
                                         Metres(s.lowestMetres),
                                         QString::number(s.points),
                                         QString::number(s.segments)};
    for (int i = 0; i < kFigureCount; ++i) {
        figures_[i]->setText(texts[i]);
    }
}

QString TrackDetailsDock::FigureText(int row) const {
    return row >= 0 && row < kFigureCount ? figures_[row]->text() : QString();
}

void TrackDetailsDock::FillPlot(Plot& plot, const std::vector<ProfilePoint>& series,
                                double yScale) {
    plot.mark->clear();
    const std::vector<ProfilePoint> shown = DecimateProfile(series);
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(shown.size()));
    double low = 0.0, high = 0.0;
    for (const ProfilePoint& p : shown) {
        const double y = p.value * yScale;
        if (points.isEmpty()) {
            low = high = y;
        }
        low = std::min(low, y);
        high = std::max(high, y);
        points.append(QPointF(p.distance / 1000.0, y));
    }
    plot.line->replace(points);
    const double length = analysis_.statistics.lengthMetres / 1000.0;
    plot.x->setRange(0.0, std::max(length, 0.001));
    plot.x->applyNiceNumbers();
    if (points.isEmpty()) {
        plot.y->setRange(0.0, 1.0);
        plot.chart->setToolTip(tr("No point of this track has this value"));
        return;
    }
    plot.chart->setToolTip({});
    const double pad = std::max((high - low) * 0.05, 1.0);
    // Speeds and heights above the sea have no use for an axis below zero.
    plot.y->setRange(low >= 0.0 ? std::max(0.0, low - pad) : low - pad, high + pad);
    plot.y->applyNiceNumbers();
}

const std::vector<ProfilePoint>& TrackDetailsDock::SeriesOf(const QChartView* view) const {
    return view == speedView_ ? analysis_.speed : analysis_.elevation;
}

double TrackDetailsDock::YScaleOf(const QChartView* view) const {
    return view == speedView_ ? kSpeedScale : kElevationScale;
}

void TrackDetailsDock::MarkOnPlot(Plot& plot, const std::vector<ProfilePoint>& series,
                                  double yScale, int point) {
    plot.mark->clear();
    const auto at = static_cast<std::size_t>(point);
    if (at >= analysis_.distanceAt.size()) {
        return;
    }
    // A point without this value is marked at the nearest one that has it.
    if (const ProfilePoint* p = NearestProfilePoint(series, analysis_.distanceAt[at])) {
        plot.mark->append(p->distance / 1000.0, p->value * yScale);
    }
}

void TrackDetailsDock::MarkPoint(int track, int point) {
    if (track != track_ || track < 0 || point < 0 || point >= analysis_.statistics.points) {
        return;
    }
    marked_ = point;
    MarkOnPlot(elevation_, analysis_.elevation, kElevationScale, point);
    MarkOnPlot(speed_, analysis_.speed, kSpeedScale, point);
}

void TrackDetailsDock::MarkOnMap(int point) {
    double latitude = 0, longitude = 0, altitude = 0;
    if (map_ && store_.GetTrackPoint(track_, point, &latitude, &longitude, &altitude)) {
        map_->SetMarkedPoint(DegreesToMapAngle(latitude), DegreesToMapAngle(longitude));
    }
}

std::optional<QPoint> TrackDetailsDock::PlotPixelOf(QChartView* view, int point) const {
    const auto& series = SeriesOf(view);
    const auto at = static_cast<std::size_t>(point);
    if (at >= analysis_.distanceAt.size()) {
        return std::nullopt;
    }
    const ProfilePoint* p = NearestProfilePoint(series, analysis_.distanceAt[at]);
    if (p == nullptr) {
        return std::nullopt;
    }
    const Plot& plot = view == speedView_ ? speed_ : elevation_;
    const QPointF inChart = plot.chart->mapToPosition(
        QPointF(p->distance / 1000.0, p->value * YScaleOf(view)), plot.line);
    return view->mapFromScene(plot.chart->mapToScene(inChart));
}

void TrackDetailsDock::Hover(QChartView* view, QPointF position) {
    const Plot& plot = view == speedView_ ? speed_ : elevation_;
    const QPointF inChart = plot.chart->mapFromScene(view->mapToScene(position.toPoint()));
    if (track_ < 0 || !plot.chart->plotArea().contains(inChart)) {
        return;
    }
    const double km = plot.chart->mapToValue(inChart, plot.line).x();
    const ProfilePoint* p = NearestProfilePoint(SeriesOf(view), km * 1000.0);
    if (p == nullptr || p->point == marked_) {
        return;
    }
    MarkPoint(track_, p->point);
    MarkOnMap(p->point);
    emit PointHovered(track_, p->point);
}

bool TrackDetailsDock::StepAlong(QChartView* view, int key) {
    const std::vector<ProfilePoint>& series = SeriesOf(view);
    if (track_ < 0 || series.empty()) {
        return false;
    }
    const auto last = static_cast<std::ptrdiff_t>(series.size()) - 1;
    const std::ptrdiff_t page = std::max<std::ptrdiff_t>(1, last / 20);
    // The marked point's place in the series, by point index, so that points
    // at one distance (a rest) are stepped through one by one.
    std::ptrdiff_t at = -1;
    if (marked_ >= 0) {
        const auto it =
            std::lower_bound(series.begin(), series.end(), marked_,
                             [](const ProfilePoint& p, int point) { return p.point < point; });
        at = std::min(static_cast<std::ptrdiff_t>(it - series.begin()), last);
    }
    switch (key) {
        case Qt::Key_Left:
            at = at < 0 ? 0 : at - 1;
            break;
        case Qt::Key_Right:
            ++at;
            break;
        case Qt::Key_PageUp:
            at = at < 0 ? 0 : at - page;
            break;
        case Qt::Key_PageDown:
            at = at < 0 ? 0 : at + page;
            break;
        case Qt::Key_Home:
            at = 0;
            break;
        case Qt::Key_End:
            at = last;
            break;
        default:
            return false;
    }
    const int point =
        series[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(at, 0, last))].point;
    if (point != marked_) {
        MarkPoint(track_, point);
        MarkOnMap(point);
        emit PointHovered(track_, point);
    }
    return true;
}

bool TrackDetailsDock::eventFilter(QObject* watched, QEvent* event) {
    for (QChartView* view : {elevationView_, speedView_}) {
        if (event->type() == QEvent::MouseMove && watched == view->viewport()) {
            Hover(view, static_cast<QMouseEvent*>(event)->position());
        } else if (event->type() == QEvent::KeyPress && watched == view &&
                   StepAlong(view, static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QDockWidget::eventFilter(watched, event);
}

bool TrackDetailsDock::PickAt(int x, int y) {
    if (!map_) {
        return false;
    }
    constexpr int kPickPixels = 8;
    const auto hit = map_->HitTestPolyline(x, y, kPickPixels);
    if (!hit) {
        return false;
    }
    const auto link = links_.find(hit->elementId);
    if (link == links_.end()) {
        return false;
    }
    const int track = link->second.track;
    const int point = link->second.firstPoint + hit->vertex;
    if (point < 0 || point >= store_.GetTrackPointCount(track)) {
        return false;  // the link no longer fits the store
    }
    if (track != track_) {
        ShowTrack(track);
    }
    MarkPoint(track, point);
    MarkOnMap(point);
    emit TrackPicked(track, point);
    return true;
}

}  // namespace tobrel
