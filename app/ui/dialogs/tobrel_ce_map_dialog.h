#pragma once
// TfrmTobrelCEMap: the folder, the layer scale and the tile size of the tiled
// map export. One dialog lives for the whole run, so the folder and the tile
// size typed last are there the next time.

#include <functional>

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace tobrel {

class TfrmTobrelCEMap : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kDefaultTileWidth = 640;
    static constexpr int kDefaultTileHeight = 480;

    // Asks for a folder, starting at the one given; empty on cancel.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& start)>;

    explicit TfrmTobrelCEMap(FolderChooser chooseFolder, QWidget* parent = nullptr);

    // Fills the layer list with the scale menu's captions, the first selected.
    void SetLayers(const QStringList& captions);
    int SelectedLayer() const;
    QString Folder() const { return folder_; }
    void SetFolder(const QString& folder);
    // Both sizes as typed, or 640 x 480 when either is not a number.
    QSize TileSize() const;

    QLabel* lblFolder = nullptr;
    QPushButton* btnFolder = nullptr;
    QListWidget* lbSelectLayer = nullptr;
    QLineEdit* edtMapWidth = nullptr;
    QLineEdit* edtMapHeight = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

  private:
    FolderChooser chooseFolder_;
    QString folder_;
};

}  // namespace tobrel
