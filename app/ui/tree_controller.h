#pragma once
// Keeps the tree of waypoints and tracks, the store and the map's elements in
// step. The tree has two roots, "Waypoints" and "Tracks"; each child stands
// for one map element, whose identifier it keeps in its data (its text is
// "name/id" for the reader). A waypoint node's row is the waypoint's index in
// the store. A track node is one drawn segment of a store track: it keeps the
// track's index, the segment number and the store point its line starts at,
// so centring goes to that segment while deleting (and uploading) acts on the
// whole store track. Views that follow the drawn tracks (the track details)
// watch the model: a track node is added with all its data set.

#include <cstdint>

#include <QObject>
#include <QStandardItemModel>
#include <QString>

#include "map/map_overlay.h"

namespace tobrel {

class Document;

// Tree node text "%s/%d".
QString NodeText(const QString& name, std::int32_t elementId);

// The track polyline drawn last, or the one being sketched.
struct TrackCursor {
    std::int32_t CurrentElementId = -1;
    QString CurrentName;
    QStandardItem* CurrentNode = nullptr;
};

class TreeController : public QObject {
    Q_OBJECT
  public:
    static constexpr int kElementIdRole = Qt::UserRole + 1;
    static constexpr int kTrackRole = Qt::UserRole + 2;    // store track, -1 while sketched
    static constexpr int kSegmentRole = Qt::UserRole + 3;  // 1-based
    // The store point of the track that the line's first vertex shows.
    static constexpr int kFirstPointRole = Qt::UserRole + 4;
    static constexpr std::int32_t kWaypointLabelScale = 70000;

    enum class NodeKind { kNone, kRoot, kWaypoint, kTrack };

    TreeController(MapOverlay& overlay, Document& document, QObject* parent = nullptr);

    QStandardItemModel* Model() { return &model_; }
    QStandardItem* WaypointRoot() const { return waypointRoot_; }
    QStandardItem* TrackRoot() const { return trackRoot_; }
    const TrackCursor& Cursor() const { return cursor_; }

    NodeKind KindOf(const QModelIndex& index) const;
    std::int32_t ElementIdOf(const QModelIndex& index) const;
    // The store track a track node stands for; -1 for anything else.
    int StoreTrackOf(const QModelIndex& index) const;

    // Draws every segment of every track (one polyline and node each), and
    // every waypoint as a label placed at 1:70,000.
    void DrawAllTracks();
    void DrawAllWaypoints();
    // Erase the elements and the nodes; the store is left alone.
    void EraseTrackElements();
    void EraseWaypointElements();
    // Everything from the store again (after it was replaced).
    void Redraw();

    // A plain click: centres the map on the waypoint or on the segment's first
    // point. False when the node stands for nothing the store has.
    bool CentreOn(const QModelIndex& index);
    // Ctrl or Shift click: removes the waypoint, or the whole store track,
    // from the map, the store and the tree. False for a root or nothing.
    bool Delete(const QModelIndex& index);
    // "Delete all": the elements, the nodes and the store's records.
    void DeleteAllTracks();
    void DeleteAllWaypoints();

    // Track creation by clicking on the map.
    bool IsCreatingTrack() const { return overlay_.CreatingTrack; }
    void BeginTrack(const QString& name);
    void UpdateSketch(bool remove);
    // Turns the sketch into a store track of one segment.
    void EndTrack();

    // A node for segment `segment` (1-based) of store track `track`, whose
    // line starts at store point `firstPoint`; and a new line for a node
    // (a track that grows while it is recorded).
    QStandardItem* AddTrackNode(const QString& name, std::int32_t elementId, int track, int segment,
                                int firstPoint);
    void SetNodeElement(QStandardItem* node, std::int32_t elementId);

    // A waypoint the overlay labelled on the map: its node and store record.
    void AddPlacedWaypoint(const PlacedWaypoint& placed);
    // After a waypoint's name changed in the store: its label and node again.
    bool RedrawWaypoint(int index);

  signals:
    // Track creation stopped without EndTrack (its node or every track went).
    void TrackCreationCancelled();

  private:
    QStandardItem* AddNode(QStandardItem* root, const QString& name, std::int32_t elementId);
    std::int32_t DrawWaypointLabel(int index, QString* name);
    void EraseChildren(QStandardItem* root);
    void CancelTrack();
    QStandardItem* ItemOf(const QModelIndex& index) const;

    MapOverlay& overlay_;
    Document& document_;
    QStandardItemModel model_;
    QStandardItem* waypointRoot_ = nullptr;
    QStandardItem* trackRoot_ = nullptr;
    TrackCursor cursor_;
};

}  // namespace tobrel
