#pragma once
// A dockable, sortable table of the store's waypoints. Name and comment are
// edited in place (F2 or a click on a selected cell) within the store's byte
// limits; a double-click or Enter asks to centre the map on the waypoint.

#include <QDockWidget>

class QSortFilterProxyModel;
class QTableView;

namespace tobrel {

class TobrelFile;
class WaypointTableModel;

class WaypointListDock : public QDockWidget {
    Q_OBJECT
  public:
    explicit WaypointListDock(TobrelFile& store, QWidget* parent = nullptr);

    QTableView* View() const { return view_; }
    WaypointTableModel* Model() const { return model_; }
    // The store index of a row as shown (sorted); -1 when there is none.
    int WaypointAtRow(int row) const;
    // The row where a store waypoint is shown; -1 when there is none.
    int RowOfWaypoint(int index) const;

  public slots:
    // Call after the store's waypoints changed outside the dock.
    void Reload();
    // Selects the row of a store waypoint and scrolls to it.
    void SelectWaypoint(int index);
    // Shown in the position headers, e.g. "Tokyo".
    void SetDatumName(const QString& name);

  signals:
    // The document changed (a name or comment was edited).
    void modified();
    // A name or comment of waypoint `index` changed (its map label shows the old one).
    void WaypointEdited(int index);
    // Centre the map here: degrees in the store's datum.
    void CentreOnWaypoint(int index, double latitude, double longitude);

  private:
    TobrelFile& store_;
    WaypointTableModel* model_ = nullptr;
    QSortFilterProxyModel* proxy_ = nullptr;
    QTableView* view_ = nullptr;
};

}  // namespace tobrel
