#pragma once
// The program's window: the tree of waypoints and tracks on the left, the map
// on the right, and the receiver on port 1 named in the status bar.

#include <QMainWindow>
#include <QPointer>
#include <QThread>
#include <memory>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace sorvane {
class TSorvane;
}

namespace tobrel {

class MapCtrl;
class MapOverlay;

class MapWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MapWindow(QWidget* parent = nullptr);
    ~MapWindow() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void IdentifyReceiver();

    MapCtrl* map_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QTreeWidgetItem* waypointRoot_ = nullptr;
    QTreeWidgetItem* trackRoot_ = nullptr;
    QLabel* receiver_ = nullptr;
    std::unique_ptr<MapOverlay> overlay_;
    std::unique_ptr<sorvane::TSorvane> gps_;
    QPointer<QThread> identify_;
    bool shown_ = false;
};

}  // namespace tobrel
