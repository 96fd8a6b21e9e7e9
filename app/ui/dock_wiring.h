#pragma once
// The main window's docks and what keeps them in step with the tree, the
// store and the map: the details of the track selected in the tree (or
// clicked on the map), and the list of waypoints.
//
// The track details follow the tree controller's model: every track node
// added, changed or removed links or unlinks its line, so drawing, erasing,
// deleting and replacing tracks (opening files, downloads) need no call here.

#include <cstdint>
#include <optional>

#include <QHash>
#include <QObject>
#include <QPointer>

#include "map/map_projection.h"

class QStandardItem;

namespace tobrel {

class TfrmMain;
class TrackDetailsDock;
class WaypointListDock;

class DockWiring : public QObject {
    Q_OBJECT
  public:
    // Adds both docks to the window (View menu, saved layout restored).
    explicit DockWiring(TfrmMain& window);
    // Takes the docks away while the window's parts are still there.
    ~DockWiring() override;

    TrackDetailsDock* TrackDetails() const;
    WaypointListDock* WaypointList() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void WireTrackDetails();
    void WireWaypointList();
    void FollowNode(QStandardItem* node);
    void ForgetNode(const QStandardItem* node);
    // Shows the track of the tree's current node. `storeChanged`: the shown
    // track may have other points now, or another index.
    void ShowCurrentTrack(bool storeChanged);
    void MapClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void SelectTrackNode(int track, int point);
    void BringForward(QWidget* dock);

    TfrmMain& window_;
    QPointer<TrackDetailsDock> details_;
    QPointer<WaypointListDock> waypoints_;
    // The line each track node linked, so a node that goes takes its link along.
    QHash<const QStandardItem*, std::int32_t> linked_;
    // Where the map's centre was when the button went down: a click that
    // panned the map picks nothing.
    std::optional<MapAngles> centreAtPress_;
};

}  // namespace tobrel
