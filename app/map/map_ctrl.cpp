#include "map/map_ctrl.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>

#include "map/map_palette.h"
#include "map/tile_layer.h"
#include "map/world_map.h"

namespace tobrel {

namespace {

constexpr int kDragThreshold = 3;
constexpr qint64 kMaxConfigBytes = 1024 * 1024;
constexpr int kMaxTilesPerFrame = 400;

WorldPoint ClampY(WorldPoint p) {
    p.y = std::clamp(p.y, 0.0, 1.0);
    p.x -= std::floor(p.x);
    return p;
}

double LatitudeOf(const WorldPoint& p) {
    double lat = 0;
    double lon = 0;
    WorldToLatLon(p, &lat, &lon);
    return lat;
}

int ClampToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    return static_cast<int>(std::clamp(std::round(v), double{std::numeric_limits<int>::min()},
                                       double{std::numeric_limits<int>::max()}));
}

}  // namespace

MapCtrl::MapCtrl(QWidget* parent, MapPaths paths)
    : QWidget(parent),
      paths_(std::move(paths)),
      core_(std::make_shared<DrawingCore>()),
      world_(BuiltInWorldMap()) {
    core_->host = this;
    mps_ = std::make_shared<MpsObject>(core_);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("地図"));
    QFont f = font();
    f.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), f.family()});
    f.setPixelSize(12);
    setFont(f);
    LoadAreas();
    // 35 N 139 E until the program says otherwise.
    if (auto start = datum_.LocalToWorld(35.0, 139.0)) {
        centre_ = ClampY(*start);
    }
    hbar_ = new QScrollBar(Qt::Horizontal, this);
    vbar_ = new QScrollBar(Qt::Vertical, this);
    for (QScrollBar* bar : {hbar_, vbar_}) {
        bar->setCursor(Qt::ArrowCursor);
        connect(bar, &QScrollBar::valueChanged, this, [this, bar] { ScrollBarMoved(bar); });
    }
    resize(640, 480);
    LayoutScrollBars();
    UpdateScrollBars();
}

MapCtrl::~MapCtrl() {
    // Service objects handed out may outlive the widget; from now on they fail.
    core_->host = nullptr;
}

void MapCtrl::LoadAreas() {
    auto taken = [this](const QString& code) {
        return code == QLatin1String(kWorldAreaCode) ||
               std::any_of(areas_.begin(), areas_.end(),
                           [&](const Area& a) { return a.code == code; });
    };
    QFile config(paths_.tileSourcesFile);
    if (!paths_.tileSourcesFile.isEmpty() && config.open(QIODevice::ReadOnly) &&
        config.size() <= kMaxConfigBytes) {
        const QString text = QString::fromUtf8(config.read(kMaxConfigBytes));
        for (const auto& source : ParseTileSources(text)) {
            if (taken(source.name)) {
                continue;
            }
            auto layer = std::make_unique<XyzTileLayer>(source, paths_.tileCacheDir);
            areas_.push_back({source.name, source.title, std::move(layer)});
        }
    }
    // An empty folder name would mean the current directory: no maps then.
    const QDir maps(paths_.mapsDir);
    const QStringList files = paths_.mapsDir.isEmpty()
                                  ? QStringList()
                                  : maps.entryList({QStringLiteral("*.mbtiles")},
                                                   QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& file : files) {
        auto layer = MbTilesLayer::Open(maps.filePath(file));
        if (!layer || taken(layer->Code())) {
            continue;
        }
        QString code = layer->Code();
        QString title = layer->Title();
        areas_.push_back({code, title, std::move(layer)});
    }
    // The ready-made online maps, unless the user's own file names them.
    if (paths_.builtInSources) {
        for (const auto& source : BuiltInTileSources()) {
            if (!taken(source.name)) {
                areas_.push_back({source.name, source.title,
                                  std::make_unique<XyzTileLayer>(source, paths_.tileCacheDir)});
            }
        }
    }
    // The built-in map comes last: the program selects the last area at start.
    areas_.push_back({QString::fromLatin1(kWorldAreaCode), QStringLiteral("世界地図"), nullptr});
    area_ = static_cast<int>(areas_.size()) - 1;
    for (auto& a : areas_) {
        if (a.tiles) {
            TileLayer* layer = a.tiles.get();
            connect(layer, &TileLayer::TileArrived, this, [this, layer] {
                if (CurrentTiles() == layer) {
                    TilesChanged(layer);
                    emit TileArrived();
                }
            });
            connect(layer, &TileLayer::StateChanged, this, [this, layer] {
                if (CurrentTiles() == layer) {
                    TilesChanged(layer);
                }
            });
        }
    }
}

TileLayer* MapCtrl::CurrentTiles() const {
    return areas_[static_cast<std::size_t>(area_)].tiles.get();
}

void MapCtrl::TilesChanged(TileLayer*) {
    ++tileGeneration_;
    update();
}

// ---------------------------------------------------------------- view

MapView MapCtrl::ViewAt(const WorldPoint& centre, int scale) const {
    MapView v;
    v.centre = centre;
    v.worldPerPixel = WorldPerPixel(scale, LatitudeOf(centre));
    v.width = width();
    v.height = height();
    return v;
}

MapView MapCtrl::CurrentView() const {
    return ViewAt(centre_, scale_);
}

bool MapCtrl::HasDataAt(int scale, const WorldPoint& centre) const {
    TileLayer* tiles = CurrentTiles();
    if (tiles == nullptr) {
        return true;  // the built-in map covers the world at every scale
    }
    const int z = TileZoomFor(WorldPerPixel(scale, LatitudeOf(centre)));
    if (z < tiles->MinZoom() || z > tiles->MaxZoom()) {
        return false;
    }
    const int n = 1 << z;
    const int x = std::clamp(static_cast<int>(std::floor(centre.x * n)), 0, n - 1);
    const int y = std::clamp(static_cast<int>(std::floor(centre.y * n)), 0, n - 1);
    return tiles->HasTile({z, x, y});
}

int MapCtrl::ResolveScale(int wanted, const WorldPoint& centre) const {
    if (HasDataAt(wanted, centre)) {
        return wanted;
    }
    const auto& scales = LayerScales();
    const int at = LayerScaleIndex(wanted);
    const int n = static_cast<int>(scales.size());
    for (int d = 1; d < n; ++d) {
        // On a tie the coarser scale wins: it shows more around the place.
        for (int i : {at + d, at - d}) {
            if (i >= 0 && i < n && HasDataAt(scales[static_cast<std::size_t>(i)], centre)) {
                return scales[static_cast<std::size_t>(i)];
            }
        }
    }
    return wanted;  // nothing anywhere: keep what was asked for
}

void MapCtrl::SetCentre(const WorldPoint& centre) {
    centre_ = ClampY(centre);
    centreLocal_.reset();
}

MapAngles MapCtrl::CentreAngles() const {
    if (centreLocal_) {
        return *centreLocal_;
    }
    return datum_.WorldToLocalAngles(centre_).value_or(MapAngles{});
}

void MapCtrl::ChangeScale(int scale) {
    const int old = scale_;
    scale_ = scale;
    Refresh();
    if (old != scale_) {
        emit OnLayerChanged(old, scale_);
    }
}

void MapCtrl::Refresh() {
    UpdateScrollBars();
    update();
}

// ---------------------------------------------------------------- properties

QString MapCtrl::AreaCode() const {
    return areas_[static_cast<std::size_t>(area_)].code;
}

bool MapCtrl::SetAreaCode(const QString& code) {
    const auto it =
        std::find_if(areas_.begin(), areas_.end(), [&](const Area& a) { return a.code == code; });
    if (it == areas_.end()) {
        return false;
    }
    area_ = static_cast<int>(it - areas_.begin());
    ChangeScale(ResolveScale(scale_, centre_));
    return true;
}

bool MapCtrl::SetLayerScale(std::int32_t scale) {
    if (scale <= 0) {
        return false;
    }
    ChangeScale(ResolveScale(SnapToLayerScale(scale), centre_));
    return true;
}

void MapCtrl::SetScrollBar(bool on) {
    scrollBars_ = on;
    LayoutScrollBars();
    update();
}

bool MapCtrl::SetPaletteID(std::int16_t palette) {
    if (palette != kPaletteNormal && palette != kPaletteGrey && palette != kPaletteHalf) {
        return false;
    }
    palette_ = palette;
    update();
    return true;
}

AreaCollection MapCtrl::AreaCollect() const {
    std::vector<AreaItem> items;
    for (const Area& a : areas_) {
        items.push_back({a.code, a.title});
    }
    return AreaCollection(std::move(items));
}

LayerCollection MapCtrl::LayerCollect() const {
    std::vector<LayerItem> items;
    for (int s : LayerScales()) {
        items.push_back({s, LayerScaleTitle(s), HasDataAt(s, centre_)});
    }
    return LayerCollection(std::move(items));
}

bool MapCtrl::IsLoadingTiles() const {
    const TileLayer* tiles = CurrentTiles();
    return tiles != nullptr && tiles->IsLoading();
}

// ---------------------------------------------------------------- markers

void MapCtrl::SetMarkedPoint(std::int32_t latitude, std::int32_t longitude) {
    marked_ = datum_.LocalAnglesToWorld({latitude, longitude});
    update();
}

void MapCtrl::ClearMarkedPoint() {
    if (marked_) {
        marked_.reset();
        update();
    }
}

std::optional<MapAngles> MapCtrl::MarkedPoint() const {
    if (!marked_) {
        return std::nullopt;
    }
    return datum_.WorldToLocalAngles(*marked_);
}

void MapCtrl::SetPositionMarker(const PositionMarker& marker) {
    positionWorld_ = datum_.LocalAnglesToWorld({marker.latitude, marker.longitude});
    position_ = positionWorld_ ? std::optional<PositionMarker>(marker) : std::nullopt;
    update();
}

void MapCtrl::ClearPositionMarker() {
    position_.reset();
    positionWorld_.reset();
    update();
}

std::optional<MapCtrl::PolylineHit> MapCtrl::HitTestPolyline(int x, int y,
                                                             int tolerancePixels) const {
    const auto hit =
        core_->elements.HitTest(CurrentView(), QPointF(x, y), std::max(0, tolerancePixels));
    if (!hit) {
        return std::nullopt;
    }
    return PolylineHit{hit->id, hit->vertex, hit->distancePixels};
}

// ---------------------------------------------------------------- decorations

int MapCtrl::ScrollBarWidth() const {
    return scrollBars_ ? vbar_->sizeHint().width() : 0;
}

int MapCtrl::ScrollBarHeight() const {
    return scrollBars_ ? hbar_->sizeHint().height() : 0;
}

QRect MapCtrl::LabelArea() const {
    return QRect(0, 0, std::max(0, width() - ScrollBarWidth()),
                 std::max(0, height() - ScrollBarHeight()));
}

QFont MapCtrl::DecorationFont() const {
    QFont f = font();
    f.setPixelSize(11);
    return f;
}

void MapCtrl::SetScaleBarVisible(bool on) {
    scaleBarVisible_ = on;
    update();
}

ScaleBar MapCtrl::CurrentScaleBar() const {
    return ScaleBarFor(MetresPerPixel(CurrentView()));
}

QString MapCtrl::Attribution() const {
    const TileLayer* tiles = CurrentTiles();
    return tiles != nullptr ? tiles->Attribution() : QString();
}

QRect MapCtrl::AttributionRect() const {
    return AttributionBox(Attribution(), DecorationFont(), LabelArea().adjusted(0, 0, -2, -2));
}

QRect MapCtrl::ScaleBarRect() const {
    if (!scaleBarVisible_) {
        return {};
    }
    const QRect area = LabelArea();
    const QRect attribution = AttributionRect();
    const ScaleBar bar = CurrentScaleBar();
    int baseline = area.bottom() - 8;
    QRect box = ScaleBarBox(bar, DecorationFont(), area.left() + 10, baseline);
    if (box.intersects(attribution)) {
        // A narrow map: the bar goes above the attribution.
        baseline -= box.bottom() - attribution.top() + 3;
        box = ScaleBarBox(bar, DecorationFont(), area.left() + 10, baseline);
    }
    return box;
}

void MapCtrl::PaintDecorations(QPainter& painter, const MapView& view) {
    const double mpp = MetresPerPixel(view);
    if (marked_) {
        DrawMarkedPoint(painter, view.WorldToPixelNearest(*marked_));
    }
    if (position_ && positionWorld_) {
        DrawPositionMarker(painter, view.WorldToPixelNearest(*positionWorld_), *position_, mpp);
    }
    const QFont font = DecorationFont();
    if (scaleBarVisible_) {
        const QRect box = ScaleBarRect();
        // The line sits at the box's bottom, under the label and the end ticks.
        DrawScaleBar(painter, CurrentScaleBar(), font, box.left() + 2, box.bottom() - 3);
    }
    DrawTextBox(painter, AttributionRect(), Attribution(), font);
    if (tileRetryPending_) {
        const QString note = tr("タイル取得を再試行中");
        const QRect area = LabelArea();
        const QFontMetrics fm(font);
        const QRect box(area.right() - fm.horizontalAdvance(note) - 10, area.top() + 4,
                        fm.horizontalAdvance(note) + 8, fm.height() + 2);
        DrawTextBox(painter, box, note, font);
    }
}

// ---------------------------------------------------------------- methods

bool MapCtrl::MoveTo(std::int32_t latitude, std::int32_t longitude, int mode, std::int32_t scale) {
    constexpr std::int32_t kMaxLatitude = 90 * 3600000;
    if (mode != 1 || scale < 0 || latitude > kMaxLatitude || latitude < -kMaxLatitude) {
        return false;
    }
    const auto world = datum_.LocalAnglesToWorld({latitude, longitude});
    if (!world) {
        return false;
    }
    const int old = scale_;
    centre_ = ClampY(*world);
    centreLocal_ = MapAngles{latitude, longitude};
    scale_ = ResolveScale(scale == 0 ? scale_ : SnapToLayerScale(scale), centre_);
    Refresh();
    if (old != scale_) {
        emit OnLayerChanged(old, scale_);
    }
    emit OnMapMoved(latitude, longitude, old != scale_);
    return true;
}

std::optional<MapAngles> MapCtrl::GetLatLongPoint(int x, int y) const {
    const MapView v = CurrentView();
    if (centreLocal_ && x == width() / 2 && y == height() / 2) {
        return centreLocal_;
    }
    return datum_.WorldToLocalAngles(v.PixelToWorld(x, y));
}

std::optional<MapAngles> MapCtrl::GetMouseLatLong() const {
    if (!mouseWorld_) {
        return std::nullopt;
    }
    return datum_.WorldToLocalAngles(*mouseWorld_);
}

std::optional<QPoint> MapCtrl::GetLogPoint(std::int32_t latitude, std::int32_t longitude) const {
    const auto world = datum_.LocalAnglesToWorld({latitude, longitude});
    if (!world) {
        return std::nullopt;
    }
    const QPointF p = CurrentView().WorldToPixelNearest(*world);
    return QPoint(ClampToInt(p.x()), ClampToInt(p.y()));
}

// ---------------------------------------------------------------- drawing host

std::optional<WorldPoint> MapCtrl::LocalToWorld(const MapAngles& angles) const {
    return datum_.LocalAnglesToWorld(angles);
}

std::optional<WorldPoint> MapCtrl::PixelToWorld(int x, int y) const {
    return CurrentView().PixelToWorld(x, y);
}

QFont MapCtrl::LabelFont() const {
    return font();
}

// ---------------------------------------------------------------- painting

void MapCtrl::paintEvent(QPaintEvent*) {
    const MapView view = CurrentView();
    RenderBase(view);
    QPainter painter(this);
    painter.drawImage(0, 0, base_);
    core_->elements.Paint(painter, view);
    PaintDecorations(painter, view);
}

void MapCtrl::RenderBase(const MapView& view) {
    const BaseKey key{view.centre.x, view.centre.y, view.worldPerPixel, view.width, view.height,
                      area_,         palette_,      tileGeneration_,    LabelArea()};
    if (key == baseKey_ && !base_.isNull()) {
        return;
    }
    baseKey_ = key;
    base_ = QImage(std::max(1, view.width), std::max(1, view.height), QImage::Format_RGB32);
    QPainter painter(&base_);
    RenderWorldMap(painter, view, world_.get(), {}, LabelArea());
    bool retrying = false;
    if (TileLayer* tiles = CurrentTiles()) {
        DrawTiles(painter, view, *tiles);
        retrying = tiles->FrameHasFailures();
    }
    if (retrying != tileRetryPending_) {
        tileRetryPending_ = retrying;
        // Not from inside the paint event: a receiver may repaint or show things.
        QMetaObject::invokeMethod(
            this, [this, retrying] { emit TileStatusChanged(retrying); }, Qt::QueuedConnection);
    }
    painter.end();
    ApplyPalette(&base_, palette_);
}

void MapCtrl::DrawTiles(QPainter& painter, const MapView& view, TileLayer& tiles) {
    tiles.BeginFrame();
    const int ideal = TileZoomFor(view.worldPerPixel);
    const int z = std::clamp(ideal, tiles.MinZoom(), tiles.MaxZoom());
    if (z > ideal + 2) {
        return;  // the source starts too fine for this scale: far too many tiles
    }
    const int n = 1 << z;
    const QRectF world = view.WorldBounds();
    const int tx0 = static_cast<int>(std::floor(world.left() * n));
    const int tx1 = static_cast<int>(std::floor(world.right() * n));
    const int ty0 = std::max(0, static_cast<int>(std::floor(world.top() * n)));
    const int ty1 = std::min(n - 1, static_cast<int>(std::floor(world.bottom() * n)));
    if (static_cast<long long>(tx1 - tx0 + 1) * (ty1 - ty0 + 1) > kMaxTilesPerFrame) {
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int ty = ty0; ty <= ty1; ++ty) {
        for (int tx = tx0; tx <= tx1; ++tx) {
            // Whole-pixel edges, so neighbouring tiles meet without seams.
            const QPointF a = view.WorldToPixel({double(tx) / n, double(ty) / n});
            const QPointF b = view.WorldToPixel({double(tx + 1) / n, double(ty + 1) / n});
            const QRect target(QPoint(ClampToInt(a.x()), ClampToInt(a.y())),
                               QPoint(ClampToInt(b.x()) - 1, ClampToInt(b.y()) - 1));
            const TileKey key{z, ((tx % n) + n) % n, ty};
            if (const QImage* image = tiles.Tile(key)) {
                painter.drawImage(target, *image);
                continue;
            }
            // Until it arrives, a coarser tile in memory stands in.
            for (int d = 1; d <= 4 && d <= z; ++d) {
                const TileKey parent{z - d, key.x >> d, key.y >> d};
                const QImage* image = tiles.Peek(parent);
                if (image == nullptr) {
                    continue;
                }
                const int part = 1 << d;
                const double w = double(image->width()) / part;
                const double h = double(image->height()) / part;
                const QRectF source((key.x & (part - 1)) * w, (key.y & (part - 1)) * h, w, h);
                painter.drawImage(QRectF(target), *image, source);
                break;
            }
        }
    }
}

// ---------------------------------------------------------------- scroll bars

void MapCtrl::LayoutScrollBars() {
    const int h = hbar_->sizeHint().height();
    const int w = vbar_->sizeHint().width();
    hbar_->setGeometry(0, height() - h, std::max(0, width() - w), h);
    vbar_->setGeometry(width() - w, 0, w, std::max(0, height() - h));
    hbar_->setVisible(scrollBars_);
    vbar_->setVisible(scrollBars_);
}

void MapCtrl::UpdateScrollBars() {
    const MapView v = CurrentView();
    const double worldPixels = 1.0 / v.worldPerPixel;
    const int range = ClampToInt(std::min(worldPixels, double{std::numeric_limits<int>::max()}));
    updatingBars_ = true;
    hbar_->setRange(0, range);
    hbar_->setPageStep(std::max(1, width()));
    hbar_->setSingleStep(32);
    hbar_->setValue(ClampToInt(centre_.x * worldPixels));
    vbar_->setRange(0, range);
    vbar_->setPageStep(std::max(1, height()));
    vbar_->setSingleStep(32);
    vbar_->setValue(ClampToInt(centre_.y * worldPixels));
    updatingBars_ = false;
}

void MapCtrl::ScrollBarMoved(QScrollBar* bar) {
    if (updatingBars_) {
        return;
    }
    // Only the moved axis changes; the other keeps its exact position.
    const double worldPixels = 1.0 / CurrentView().worldPerPixel;
    WorldPoint centre = centre_;
    (bar == hbar_ ? centre.x : centre.y) = bar->value() / worldPixels;
    SetCentre(centre);
    Refresh();
    FinishPan();
}

void MapCtrl::FinishPan() {
    const int old = scale_;
    const int resolved = ResolveScale(scale_, centre_);
    if (resolved != old) {
        ChangeScale(resolved);
    }
    const MapAngles c = CentreAngles();
    emit OnMapMoved(c.latitude, c.longitude, resolved != old);
}

// ---------------------------------------------------------------- input

void MapCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutScrollBars();
    UpdateScrollBars();
}

void MapCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    mouseWorld_ = CurrentView().PixelToWorld(pos.x(), pos.y());
    pressOnAttribution_ = event->button() == Qt::LeftButton && AttributionRect().contains(pos);
    if (event->button() == Qt::LeftButton &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
        dragging_ = true;
        dragMoved_ = false;
        dragStart_ = pos;
        dragCentre_ = centre_;
        dragRes_ = CurrentView().worldPerPixel;
    }
}

void MapCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (dragging_) {
        const QPoint d = pos - dragStart_;
        if (dragMoved_ || d.manhattanLength() > kDragThreshold) {
            dragMoved_ = true;
            SetCentre({dragCentre_.x - d.x() * dragRes_, dragCentre_.y - d.y() * dragRes_});
            Refresh();
        }
    }
    mouseWorld_ = CurrentView().PixelToWorld(pos.x(), pos.y());
    if (const auto angles = datum_.WorldToLocalAngles(*mouseWorld_)) {
        emit MouseMoved(angles->latitude, angles->longitude);
    }
    setCursor(AttributionRect().contains(pos) && CurrentTiles() != nullptr &&
                      !CurrentTiles()->AttributionUrl().isEmpty()
                  ? Qt::PointingHandCursor
                  : Qt::ArrowCursor);
}

void MapCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    mouseWorld_ = CurrentView().PixelToWorld(pos.x(), pos.y());
    const bool moved = dragging_ && dragMoved_;
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        if (dragMoved_) {
            FinishPan();
        }
    }
    // A click on the attribution opens the licence page; it is no map click.
    if (pressOnAttribution_ && !moved && event->button() == Qt::LeftButton &&
        AttributionRect().contains(pos)) {
        pressOnAttribution_ = false;
        if (const TileLayer* tiles = CurrentTiles(); tiles && !tiles->AttributionUrl().isEmpty()) {
            QDesktopServices::openUrl(QUrl(tiles->AttributionUrl()));
            return;
        }
    }
    pressOnAttribution_ = false;
    emit OnMouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
}

void MapCtrl::wheelEvent(QWheelEvent* event) {
    wheelRemainder_ += event->angleDelta().y();
    const int steps = wheelRemainder_ / 120;
    wheelRemainder_ %= 120;
    if (steps == 0) {
        return;
    }
    const auto& scales = LayerScales();
    const int n = static_cast<int>(scales.size());
    const QPointF pos = event->position();
    const MapView before = CurrentView();
    const WorldPoint anchor = before.PixelToWorld(pos.x(), pos.y());
    // Wheel away from the user zooms in: finer scales come first in the list.
    const int direction = steps > 0 ? -1 : 1;
    int index = LayerScaleIndex(scale_);
    int target = -1;
    for (int moved = 0, i = index + direction; i >= 0 && i < n; i += direction) {
        if (HasDataAt(scales[static_cast<std::size_t>(i)], centre_)) {
            target = i;
            if (++moved == std::abs(steps)) {
                break;
            }
        }
    }
    if (target < 0) {
        return;
    }
    const int newScale = scales[static_cast<std::size_t>(target)];
    const double res = WorldPerPixel(newScale, LatitudeOf(centre_));
    // Keep the place under the pointer where it is.
    SetCentre({anchor.x - (pos.x() - before.CentrePixelX()) * res,
               anchor.y - (pos.y() - before.CentrePixelY()) * res});
    ChangeScale(newScale);
    const MapAngles c = CentreAngles();
    emit OnMapMoved(c.latitude, c.longitude, true);
    event->accept();
}

}  // namespace tobrel
