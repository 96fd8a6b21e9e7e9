#pragma once
// TfrmMain, the program's window: the tree of waypoints and tracks, the map,
// the menus and the status bar. It only wires: the data are in Document, the
// tree in TreeController, files in FileCommands, the map menus in MapMenus,
// clicks on the map in the mouse modes, the GPS control in GpsSession.

#include <memory>

#include <QHash>
#include <QMainWindow>

#include "ui/gps/gps_session.h"
#include "ui/settings/preferences.h"

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QSplitter;
class QTreeView;

namespace tobrel {

class DockWiring;
class Document;
class FileCommands;
class GpsCommands;
class LivePosition;
class MapCtrl;
class MapExport;
class MapMenus;
class MapOverlay;
class MouseMode;
class TfrmTobrelCEMap;
class TreeController;

class TfrmMain : public QMainWindow {
    Q_OBJECT
  public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The parts, for the commands that come later and for tests.
    MapCtrl* MapCtrl1() const { return map_; }
    MapOverlay* Overlay() const { return overlay_.get(); }
    Document* Doc() const { return document_.get(); }
    TreeController* Tree() const { return tree_.get(); }
    QTreeView* TreeView1() const { return treeView_; }
    FileCommands* Files() const { return files_; }
    GpsCommands* Gps() const { return gpsCommands_; }
    LivePosition* Live() const { return live_.get(); }
    MapExport* Exports() const { return exports_; }
    GpsSession* Sorvane1() const { return gps_.get(); }
    Preferences& Prefs() { return prefs_; }
    TfrmTobrelCEMap* ExportDialog() const { return exportDialog_; }
    // A menu item by its name ("mmFileOpen", "mnuEditCreateTrack", ...).
    QAction* Action(const QString& name) const { return actions_.value(name); }
    QMenu* Menu(const QString& name) const { return menus_.value(name); }

    // Docks go on the right by default, as tabs beside a dock already there;
    // the View menu shows and hides them.
    void AddDock(QDockWidget* dock, Qt::DockWidgetArea area = Qt::RightDockWidgetArea);
    // The track details and the waypoint list.
    DockWiring* Docks() const { return docks_.get(); }

    // The receiver on the preferences' port, read in the background.
    void IdentifyReceiver();

  public slots:
    void mmFileOpenClick();
    void mmFileSaveAsClick();
    void mmFileTobrelClick();
    void mmFileTobrelCEClick();
    void mmFileExitClick();
    void mnuEditCreateTrackClick();
    void mnuEditDeleteTrackClick();
    void mnuEditDeleteWaypointClick();
    void mnuMapColorNormalClick();
    void mnuDPSDownloadTrackClick();
    void mnuDPSDownloadWaypointClick();
    void mnuUploadTrackClick();
    void mnuUploadWaypointClick();
    void mnuUploadTrackAsRouteClick();
    void mnuGPSLiveClick();
    void mnuGPSFollowClick();
    void mnuGPSRecordClick();
    void mnuOptionPreferenceClick();
    void TobrelPAA1Click();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenus();
    void MapMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void TreeMouseUp(const QPoint& pos, Qt::KeyboardModifiers modifiers);
    void ShowIdentification(const Identification& result);
    void SetReceiverText(const QString& text);
    void ShowReceiverText();
    void UpdateTitle();
    bool ConfirmDeleteAll(const QString& question);
    void UpdateLiveMenu();

    // Widgets
    QSplitter* splitter_ = nullptr;
    QTreeView* treeView_ = nullptr;
    MapCtrl* map_ = nullptr;
    QLabel* receiverLabel_ = nullptr;
    QString receiverText_;  // what identification found
    QLabel* positionLabel_ = nullptr;
    QLabel* scaleLabel_ = nullptr;
    QMenu* viewMenu_ = nullptr;
    QHash<QString, QAction*> actions_;
    QHash<QString, QMenu*> menus_;
    TfrmTobrelCEMap* exportDialog_ = nullptr;

    // The long-lived objects, created in this order and destroyed the other way.
    std::unique_ptr<GpsSession> gps_;
    std::unique_ptr<MapOverlay> overlay_;
    Preferences prefs_;
    std::unique_ptr<Document> document_;
    std::unique_ptr<TreeController> tree_;
    MapMenus* mapMenus_ = nullptr;
    FileCommands* files_ = nullptr;
    GpsCommands* gpsCommands_ = nullptr;
    MapExport* exports_ = nullptr;
    std::unique_ptr<MouseMode> placeWaypoint_;
    std::unique_ptr<MouseMode> browse_;
    std::unique_ptr<MouseMode> sketch_;
    std::unique_ptr<DockWiring> docks_;
    std::unique_ptr<LivePosition> live_;
    bool shown_ = false;
};

}  // namespace tobrel
