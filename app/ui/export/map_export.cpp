#include "ui/export/map_export.h"

#include <filesystem>
#include <optional>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "map/map_projection.h"

namespace tobrel {

namespace {

// How long a capture waits for the tiles of its view.
constexpr qint64 kTileWaitMs = 15000;
// More columns or rows than this is no export anyone wants.
constexpr int kMaxGridSide = 10000;
constexpr std::int64_t kFullCircle = 360LL * 3600000LL;

double Degrees(std::int32_t angle) {
    return static_cast<double>(angle) / kMapUnitsPerDegree;
}

QByteArray Line(const char* format, double value) {
    return QString::asprintf(format, value).toLatin1() + "\r\n";
}

QByteArray Line(const char* format, int value) {
    return QString::asprintf(format, value).toLatin1() + "\r\n";
}

// Writes a file whole or not at all; false with the reason.
bool WriteFile(const QString& path, const std::function<bool(QIODevice&)>& write, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (!write(file)) {
        *error = file.error() != QFileDevice::NoError
                     ? file.errorString()
                     : MapExport::tr("the image could not be encoded");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool SaveBitmap(const QImage& image, QIODevice& device) {
    // True colour goes out as 24 bits a pixel, a blank tile as one.
    if (image.depth() == 1)
        return image.save(&device, "BMP");
    return image.convertToFormat(QImage::Format_RGB888).save(&device, "BMP");
}

QImage Render(MapCtrl& map) {
    QImage image(map.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    map.render(&image);
    return image;
}

// The map as it was before an export: put back whatever way the export ends.
class ViewKeeper {
  public:
    ViewKeeper(MapCtrl& map, MapOverlay& overlay) : map_(map), overlay_(overlay) {
        scale_ = overlay_.GetLayerScale();
        centre_ = map_.GetLatLongPoint(map_.width() / 2, map_.height() / 2);
        scrollBars_ = map_.ScrollBar();
        scaleBar_ = map_.ScaleBarVisible();
        size_ = map_.size();
        // Scroll bars and scale bar would repeat in every tile.
        overlay_.SetScrollBar(false);
        map_.SetScaleBarVisible(false);
    }
    ~ViewKeeper() {
        if (size_ != map_.size()) {
            if (map_.parentWidget() != nullptr)
                map_.setGeometry(map_.parentWidget()->rect());
            else
                map_.resize(size_);
        }
        if (moved_ && centre_)
            overlay_.CentreMap(centre_->latitude, centre_->longitude, 1, scale_);
        overlay_.SetScrollBar(scrollBars_);
        map_.SetScaleBarVisible(scaleBar_);
    }
    ViewKeeper(const ViewKeeper&) = delete;
    ViewKeeper& operator=(const ViewKeeper&) = delete;
    void Moved() { moved_ = true; }

  private:
    MapCtrl& map_;
    MapOverlay& overlay_;
    std::int32_t scale_ = 0;
    std::optional<MapAngles> centre_;
    bool scrollBars_ = true;
    bool scaleBar_ = true;
    QSize size_;
    bool moved_ = false;
};

}  // namespace

QString DescriptionBaseName(const QString& chosen) {
    const qsizetype dot = chosen.indexOf(QLatin1Char('.'));
    return dot < 0 ? chosen + QLatin1Char('.') : chosen.left(dot + 1);
}

QByteArray DescriptionText(const MapCorners& c, int width, int height) {
    return Line("ido_top = %12.9f", Degrees(c.topLatitude)) +
           Line("kei_left = %13.9f", Degrees(c.leftLongitude)) +
           Line("ido_bottom = %12.9f", Degrees(c.bottomLatitude)) +
           Line("kei_right = %13.9f", Degrees(c.rightLongitude)) +
           Line("bitmap_width = %d", width) + Line("bitmap_height = %d", height);
}

QByteArray MapInfoText(const TileGrid& g) {
    return QByteArray("Tobrel CE\r\n101\r\nbmp\r\n") + Line("%d", g.columns) + Line("%d", g.rows) +
           Line("%12.9f", Degrees(g.corners.topLatitude)) +
           Line("%13.9f", Degrees(g.corners.leftLongitude)) +
           Line("%12.9f", Degrees(g.corners.bottomLatitude)) +
           Line("%13.9f", Degrees(g.corners.rightLongitude)) + Line("%d", g.tile.width()) +
           Line("%d", g.tile.height()) + Line("%d", 8);
}

QImage BlankTile(QSize size) {
    QImage image(size, QImage::Format_Mono);
    image.setColorCount(2);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    return image;
}

MapExport::MapExport(MapCtrl& map, MapOverlay& overlay, QWidget* window)
    : QObject(window), map_(map), overlay_(overlay), window_(window) {}

QImage MapExport::Capture() {
    QImage image = Render(map_);
    if (!map_.IsLoadingTiles())
        return image;
    // Drawing the view asked for its tiles; they arrive on this thread.
    QElapsedTimer clock;
    clock.start();
    while (map_.IsLoadingTiles() && clock.elapsed() < kTileWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return Render(map_);
}

bool MapExport::Confirm(const QString& text) {
    return QMessageBox::question(window_, tr("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MapExport::Fail(const QString& file, const QString& reason) {
    QMessageBox::critical(
        window_, tr("Error"),
        tr("%1 cannot be written: %2").arg(QDir::toNativeSeparators(file), reason));
}

// ---------------------------------------------------------------- the desktop viewer

MapExport::Outcome MapExport::ExportView(const QString& chosenFile) {
    const QString base = DescriptionBaseName(chosenFile);
    const QString bitmap = base + QStringLiteral("bmp");
    const QString description = base + QStringLiteral("dat");
    // The files follow the first "." of the whole path, which may lie in a
    // folder's name: then they are not what was chosen.
    if (QFileInfo(description).absoluteFilePath() != QFileInfo(chosenFile).absoluteFilePath() &&
        !Confirm(tr("The map is written as\n%1\n%2\n(the name up to its first \".\"). Go on?")
                     .arg(QDir::toNativeSeparators(bitmap), QDir::toNativeSeparators(description))))
        return Outcome::kCancelled;

    MapCorners corners;
    QImage image;
    {
        ViewKeeper keeper(map_, overlay_);
        overlay_.PixelToLatLong(0, 0, &corners.topLatitude, &corners.leftLongitude);
        overlay_.PixelToLatLong(map_.width(), map_.height(), &corners.bottomLatitude,
                                &corners.rightLongitude);
        image = Capture();
    }
    QString error;
    if (!WriteFile(
            bitmap, [&](QIODevice& d) { return SaveBitmap(image, d); }, &error)) {
        Fail(bitmap, error);
        return Outcome::kFailed;
    }
    const QByteArray text = DescriptionText(corners, image.width(), image.height());
    if (!WriteFile(
            description, [&](QIODevice& d) { return d.write(text) == text.size(); }, &error)) {
        Fail(description, error);
        return Outcome::kFailed;
    }
    return Outcome::kWritten;
}

// ---------------------------------------------------------------- the handheld viewer

MapExport::Outcome MapExport::ExportTiles(const QString& folder, std::int32_t scale, QSize tile) {
    const int w = tile.width();
    const int h = tile.height();
    if (w < 16 || h < 16 || w > kMaxTileSide || h > kMaxTileSide) {
        QMessageBox::critical(
            window_, tr("Error"),
            tr("A bitmap must be between 16 and %1 pixels wide and high.").arg(kMaxTileSide));
        return Outcome::kFailed;
    }
    const QDir target(folder);
    ViewKeeper keeper(map_, overlay_);
    MapAngles tl;
    MapAngles br;
    overlay_.PixelToLatLong(0, 0, &tl.latitude, &tl.longitude);
    overlay_.PixelToLatLong(map_.width(), map_.height(), &br.latitude, &br.longitude);

    // The map takes the tile's size; only the image of it is used.
    keeper.Moved();
    map_.resize(w, h);
    overlay_.SetLayerScale(scale);
    overlay_.CentreMap(tl.latitude, tl.longitude, 1, scale);
    if (overlay_.GetLayerScale() != scale) {
        QMessageBox::critical(window_, tr("Error"),
                              tr("The chosen map layer has no data at the top left of the view"));
        return Outcome::kNoLayerAtTopLeft;
    }

    // Columns and rows: tile centres laid out east and south of the top left
    // one, counted until one lies past the view's bottom-right corner. East
    // of the date line longitudes go on past 180 degrees.
    const auto east = [&](std::int32_t lon) {
        std::int64_t l = lon;
        while (l < tl.longitude)
            l += kFullCircle;
        return l;
    };
    const std::int64_t right =
        br.longitude < tl.longitude ? br.longitude + kFullCircle : br.longitude;
    TileGrid grid;
    grid.tile = tile;
    int c = 1;
    for (;;) {
        const auto at = map_.GetLatLongPoint(w * c + w / 2, h / 2);
        ++c;
        if (!at || east(at->longitude) >= right || c > kMaxGridSide)
            break;
    }
    grid.columns = c;
    overlay_.CentreMap(tl.latitude, tl.longitude, 1, scale);
    int r = 1;
    for (;;) {
        const auto at = map_.GetLatLongPoint(w / 2, h * r + h / 2);
        ++r;
        if (!at || at->latitude <= br.latitude || r > kMaxGridSide)
            break;
    }
    grid.rows = r;
    const int count = grid.columns * grid.rows;
    if (count > kTilesWithoutAsking &&
        !Confirm(tr("The export writes %1 bitmaps (%2 columns, %3 rows) of %4 x %5 pixels, about "
                    "%6 MB. Go on?")
                     .arg(count)
                     .arg(grid.columns)
                     .arg(grid.rows)
                     .arg(w)
                     .arg(h)
                     .arg(static_cast<qint64>(count) * w * h * 3 / 1000000)))
        return Outcome::kCancelled;

    std::vector<MapAngles> centres(static_cast<std::size_t>(count));
    overlay_.CentreMap(tl.latitude, tl.longitude, 1, scale);
    for (int row = 0; row < grid.rows; ++row) {
        for (int col = 0; col < grid.columns; ++col) {
            MapAngles& centre = centres[static_cast<std::size_t>(row * grid.columns + col)];
            overlay_.PixelToLatLong(w * col + w / 2, h * row + h / 2, &centre.latitude,
                                    &centre.longitude);
        }
    }

    // Tiles go into a folder of their own beside their place and move there
    // only when all are written: a cancelled or failed export leaves nothing
    // half written and the folder's earlier tiles as they were.
    const QString firstTile = target.filePath(QStringLiteral("0.bmp"));
    QTemporaryDir work(target.filePath(QStringLiteral(".tobrelce-XXXXXX")));
    if (!work.isValid()) {
        Fail(firstTile, work.errorString());
        return Outcome::kFailed;
    }
    QProgressDialog progress(tr("Writing the bitmaps..."), tr("Cancel"), 0, count, window_);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(tr("TobrelCE Map"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setValue(0);
    for (int n = 0; n < count; ++n) {
        progress.setLabelText(tr("Writing bitmap %1 of %2...").arg(n + 1).arg(count));
        progress.setValue(n);
        if (progress.wasCanceled())
            return Outcome::kCancelled;
        if (map_.size() != tile)
            map_.resize(tile);  // the window was resized meanwhile
        const MapAngles& centre = centres[static_cast<std::size_t>(n)];
        overlay_.CentreMap(centre.latitude, centre.longitude, 1, scale);
        if (n == 0)
            overlay_.PixelToLatLong(0, 0, &grid.corners.topLatitude, &grid.corners.leftLongitude);
        if (n == count - 1)
            overlay_.PixelToLatLong(w, h, &grid.corners.bottomLatitude,
                                    &grid.corners.rightLongitude);
        const QImage image = overlay_.GetLayerScale() != scale ? BlankTile(tile) : Capture();
        const QString name = QString::number(n) + QStringLiteral(".bmp");
        QString error;
        if (!WriteFile(
                work.filePath(name), [&](QIODevice& d) { return SaveBitmap(image, d); }, &error)) {
            Fail(target.filePath(name), error);
            return Outcome::kFailed;
        }
    }
    progress.setValue(count);

    // A place taken by something that is no file stops the export before any tile moves.
    for (int n = 0; n < count; ++n) {
        const QFileInfo place(target.filePath(QString::number(n) + QStringLiteral(".bmp")));
        if (place.exists() && !place.isFile()) {
            Fail(place.filePath(), tr("it is not a file"));
            return Outcome::kFailed;
        }
    }
    for (int n = 0; n < count; ++n) {
        const QString name = QString::number(n) + QStringLiteral(".bmp");
        std::error_code ec;
        std::filesystem::rename(work.filePath(name).toStdString(),
                                target.filePath(name).toStdString(), ec);
        if (ec) {
            Fail(target.filePath(name), QString::fromLocal8Bit(ec.message().c_str()));
            return Outcome::kFailed;
        }
    }
    grid_ = grid;
    const QString info = target.filePath(QStringLiteral("mapinfo.dat"));
    const QByteArray text = MapInfoText(grid);
    QString error;
    if (!WriteFile(
            info, [&](QIODevice& d) { return d.write(text) == text.size(); }, &error)) {
        Fail(info, error);
        return Outcome::kFailed;
    }
    return Outcome::kWritten;
}

}  // namespace tobrel
