#pragma once
// The map as bitmaps for the separate viewers: one bitmap of the view with a
// six-line description for the desktop viewer, and a grid of numbered tiles
// at a chosen layer scale with "mapinfo.dat" for the handheld viewer. The map
// widget is rendered into an image (never read from the screen), so a covered
// or minimised window exports the same pixels, and every file is written by
// its full path.

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

class QWidget;

namespace tobrel {

class MapCtrl;
class MapOverlay;

// Corners in map angles (1/3 600 000 degree).
struct MapCorners {
    std::int32_t topLatitude = 0;
    std::int32_t leftLongitude = 0;
    std::int32_t bottomLatitude = 0;
    std::int32_t rightLongitude = 0;
};

// The chosen name up to and including its first "." anywhere in the path
// (C:\data.2\x.dat gives C:\data.); the name and a "." when it has none.
QString DescriptionBaseName(const QString& chosen);
// The desktop viewer's description: six lines ended by "\r\n".
QByteArray DescriptionText(const MapCorners& corners, int width, int height);

struct TileGrid {
    int columns = 0;
    int rows = 0;
    MapCorners corners;  // top-left of tile 0, bottom-right of the last tile
    QSize tile;
};
// "mapinfo.dat": twelve lines ended by "\r\n".
QByteArray MapInfoText(const TileGrid& grid);
// A tile where the layer scale has no data: white, one bit per pixel.
QImage BlankTile(QSize size);

class MapExport : public QObject {
    Q_OBJECT
  public:
    enum class Outcome { kWritten, kCancelled, kFailed, kNoLayerAtTopLeft };

    // Dialogs and messages go over `window`.
    MapExport(MapCtrl& map, MapOverlay& overlay, QWidget* window);

    // The view as chosen.bmp-like files: base + "bmp" and base + "dat".
    Outcome ExportView(const QString& chosenFile);
    // The tiles of the view at `scale` into `folder`.
    Outcome ExportTiles(const QString& folder, std::int32_t scale, QSize tile);

    // The grid of the last tiled export, for tests and measurements.
    const TileGrid& LastGrid() const { return grid_; }

    // Largest tile side and number of tiles taken without asking.
    static constexpr int kMaxTileSide = 8192;
    static constexpr int kTilesWithoutAsking = 1000;

  private:
    QImage Capture();
    bool Confirm(const QString& text);
    void Fail(const QString& file, const QString& reason);

    MapCtrl& map_;
    MapOverlay& overlay_;
    QWidget* window_;
    TileGrid grid_;
};

}  // namespace tobrel
