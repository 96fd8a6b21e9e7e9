#include "ui/tree_controller.h"

#include <algorithm>
#include <vector>

#include "text/cp932.h"
#include "ui/document.h"

namespace tobrel {

namespace {

QString FromStore(const char* cp932) {
    return QString::fromStdString(sorvane::cp932::ToUtf8(cp932 != nullptr ? cp932 : ""));
}

std::string ToStore(const QString& text) {
    return sorvane::cp932::FromUtf8(text.toStdString());
}

}  // namespace

QString NodeText(const QString& name, std::int32_t elementId) {
    return QStringLiteral("%1/%2").arg(name).arg(elementId);
}

TreeController::TreeController(MapOverlay& overlay, Document& document, QObject* parent)
    : QObject(parent), overlay_(overlay), document_(document) {
    waypointRoot_ = new QStandardItem(tr("Waypoints"));
    trackRoot_ = new QStandardItem(tr("Tracks"));
    for (QStandardItem* root : {waypointRoot_, trackRoot_}) {
        root->setEditable(false);
        model_.appendRow(root);
    }
}

QStandardItem* TreeController::ItemOf(const QModelIndex& index) const {
    return index.isValid() && index.model() == &model_ ? model_.itemFromIndex(index) : nullptr;
}

TreeController::NodeKind TreeController::KindOf(const QModelIndex& index) const {
    const QStandardItem* item = ItemOf(index);
    if (item == nullptr)
        return NodeKind::kNone;
    if (item == waypointRoot_ || item == trackRoot_)
        return NodeKind::kRoot;
    if (item->parent() == waypointRoot_)
        return NodeKind::kWaypoint;
    if (item->parent() == trackRoot_)
        return NodeKind::kTrack;
    return NodeKind::kNone;
}

std::int32_t TreeController::ElementIdOf(const QModelIndex& index) const {
    const QStandardItem* item = ItemOf(index);
    return item != nullptr ? item->data(kElementIdRole).toInt() : 0;
}

int TreeController::StoreTrackOf(const QModelIndex& index) const {
    if (KindOf(index) != NodeKind::kTrack)
        return -1;
    return ItemOf(index)->data(kTrackRole).toInt();
}

QStandardItem* TreeController::AddNode(QStandardItem* root, const QString& name,
                                       std::int32_t elementId) {
    auto* node = new QStandardItem(NodeText(name, elementId));
    node->setEditable(false);
    node->setData(elementId, kElementIdRole);
    root->appendRow(node);
    return node;
}

QStandardItem* TreeController::AddTrackNode(const QString& name, std::int32_t elementId, int track,
                                            int segment, int firstPoint) {
    // Everything is set before the row goes in, so a view sees it complete.
    auto* node = new QStandardItem(NodeText(name, elementId));
    node->setEditable(false);
    node->setData(elementId, kElementIdRole);
    node->setData(track, kTrackRole);
    node->setData(segment, kSegmentRole);
    node->setData(firstPoint, kFirstPointRole);
    trackRoot_->appendRow(node);
    return node;
}

void TreeController::SetNodeElement(QStandardItem* node, std::int32_t elementId) {
    const QString name = node->text().section(QLatin1Char('/'), 0, -2);
    node->setData(elementId, kElementIdRole);
    node->setText(NodeText(name, elementId));
}

// ---------------------------------------------------------------- drawing

void TreeController::DrawAllTracks() {
    const TobrelFile& store = document_.Store();
    std::vector<double> lats;
    std::vector<double> lons;
    for (int t = 0; t < store.GetTrackCount(); ++t) {
        char nameBytes[128] = {};
        store.GetTrackName(t, nameBytes, sizeof nameBytes);
        const QString name = FromStore(nameBytes);
        const int segments = store.GetTrackSegmentCount(t);
        const int points = store.GetTrackPointCount(t);
        int k = 0;  // points are read on from here, segment after segment
        for (int s = 1; s <= segments; ++s) {
            int first = -1;
            int last = -1;
            store.FindSegmentRange(t, s, &first, &last);
            if (first == -1 || last == -1)
                break;
            // Never read past the track's points (segments out of order).
            const int n = std::min(last - first + 1, points - k);
            if (n < 1)
                break;
            lats.resize(static_cast<std::size_t>(n));
            lons.resize(static_cast<std::size_t>(n));
            const TrackData* data = store.GetTrackData(t) + k;
            for (int i = 0; i < n; ++i) {
                lats[static_cast<std::size_t>(i)] = data[i].latitude;
                lons[static_cast<std::size_t>(i)] = data[i].longitude;
            }
            const std::int32_t id = overlay_.DrawPolyline(n, lats.data(), lons.data());
            QStandardItem* node = AddTrackNode(name, id, t, s, k);
            k += n;
            cursor_ = {id, name, node};
        }
    }
}

// The label of a store waypoint, placed while the layer scale is the labels' own.
std::int32_t TreeController::DrawWaypointLabel(int index, QString* name) {
    const TobrelFile& store = document_.Store();
    char ident[64] = {};
    store.GetWaypointIdent(index, ident, sizeof ident);
    double lat = 0;
    double lon = 0;
    double alt = 0;
    store.GetWaypointPosition(index, &lat, &lon, &alt);
    *name = FromStore(ident);
    return overlay_.DrawText(lat, lon, *name);
}

void TreeController::DrawAllWaypoints() {
    const TobrelFile& store = document_.Store();
    const std::int32_t saved = overlay_.GetLayerScale();
    overlay_.SetLayerScale(kWaypointLabelScale);
    for (int i = 0; i < store.GetWaypointCount(); ++i) {
        QString name;
        const std::int32_t id = DrawWaypointLabel(i, &name);
        AddNode(waypointRoot_, name, id);
    }
    overlay_.SetLayerScale(saved);
}

bool TreeController::RedrawWaypoint(int index) {
    QStandardItem* node = waypointRoot_->child(index);
    if (node == nullptr || index >= document_.Store().GetWaypointCount())
        return false;
    overlay_.EraseElement(node->data(kElementIdRole).toInt());
    const std::int32_t saved = overlay_.GetLayerScale();
    overlay_.SetLayerScale(kWaypointLabelScale);
    QString name;
    const std::int32_t id = DrawWaypointLabel(index, &name);
    overlay_.SetLayerScale(saved);
    node->setData(id, kElementIdRole);
    node->setText(NodeText(name, id));
    return true;
}

void TreeController::EraseChildren(QStandardItem* root) {
    for (int row = 0; row < root->rowCount(); ++row)
        overlay_.EraseElement(root->child(row)->data(kElementIdRole).toInt());
    root->removeRows(0, root->rowCount());
}

void TreeController::EraseTrackElements() {
    const bool sketching = IsCreatingTrack();
    EraseChildren(trackRoot_);
    cursor_ = {};
    if (sketching)
        CancelTrack();
}

void TreeController::EraseWaypointElements() {
    EraseChildren(waypointRoot_);
}

void TreeController::Redraw() {
    EraseTrackElements();
    EraseWaypointElements();
    DrawAllTracks();
    DrawAllWaypoints();
}

// ---------------------------------------------------------------- clicks on the tree

bool TreeController::CentreOn(const QModelIndex& index) {
    const TobrelFile& store = document_.Store();
    double lat = 0;
    double lon = 0;
    double alt = 0;
    switch (KindOf(index)) {
        case NodeKind::kWaypoint:
            if (!store.GetWaypointPosition(index.row(), &lat, &lon, &alt))
                return false;
            break;
        case NodeKind::kTrack: {
            const QStandardItem* node = ItemOf(index);
            const int t = node->data(kTrackRole).toInt();
            if (t < 0) {  // the sketch: its first point
                const SketchPointList& sketch = overlay_.SketchPoints();
                if (sketch.size() == 0)
                    return false;
                return overlay_.CentreMap(sketch.latitudes[0], sketch.longitudes[0], 1, 0);
            }
            int first = -1;
            int last = -1;
            if (!store.FindSegmentRange(t, node->data(kSegmentRole).toInt(), &first, &last) ||
                !store.GetTrackPoint(t, first, &lat, &lon, &alt))
                return false;
            break;
        }
        default:
            return false;
    }
    overlay_.CentreOnPosition(lat, lon);
    return true;
}

bool TreeController::Delete(const QModelIndex& index) {
    const NodeKind kind = KindOf(index);
    if (kind == NodeKind::kWaypoint) {
        const int row = index.row();
        overlay_.EraseElement(ElementIdOf(index));
        document_.Store().DeleteWaypoint(row);
        waypointRoot_->removeRow(row);
        document_.NotifyEdited();
        return true;
    }
    if (kind != NodeKind::kTrack)
        return false;
    const int t = StoreTrackOf(index);
    if (t < 0) {  // the track being sketched
        overlay_.EraseElement(ElementIdOf(index));
        trackRoot_->removeRow(index.row());
        cursor_ = {};
        CancelTrack();
        return true;
    }
    for (int row = trackRoot_->rowCount() - 1; row >= 0; --row) {
        QStandardItem* node = trackRoot_->child(row);
        const int nodeTrack = node->data(kTrackRole).toInt();
        if (nodeTrack == t) {
            if (node == cursor_.CurrentNode)
                cursor_ = {};
            overlay_.EraseElement(node->data(kElementIdRole).toInt());
            trackRoot_->removeRow(row);
        } else if (nodeTrack > t) {
            node->setData(nodeTrack - 1, kTrackRole);
        }
    }
    document_.Store().DeleteTrack(t);
    document_.NotifyEdited();
    return true;
}

void TreeController::DeleteAllTracks() {
    EraseTrackElements();
    const bool had = document_.Store().GetTrackCount() > 0;
    document_.Store().ClearTracks();
    if (had)
        document_.NotifyEdited();
}

void TreeController::DeleteAllWaypoints() {
    EraseWaypointElements();
    const bool had = document_.Store().GetWaypointCount() > 0;
    document_.Store().ClearWaypoints();
    if (had)
        document_.NotifyEdited();
}

// ---------------------------------------------------------------- track creation

void TreeController::BeginTrack(const QString& name) {
    overlay_.CreatingTrack = true;
    overlay_.ClearSketch();
    cursor_.CurrentName = name;
    cursor_.CurrentElementId = -1;
    cursor_.CurrentNode = AddTrackNode(name, -1, -1, 1, 0);
}

void TreeController::UpdateSketch(bool remove) {
    if (!IsCreatingTrack())
        return;
    if (cursor_.CurrentElementId != -1)
        overlay_.EraseElement(cursor_.CurrentElementId);
    cursor_.CurrentElementId = overlay_.UpdateSketch(remove);
    if (cursor_.CurrentNode != nullptr) {
        cursor_.CurrentNode->setText(NodeText(cursor_.CurrentName, cursor_.CurrentElementId));
        cursor_.CurrentNode->setData(cursor_.CurrentElementId, kElementIdRole);
    }
}

void TreeController::EndTrack() {
    if (!IsCreatingTrack())
        return;
    overlay_.CreatingTrack = false;
    TobrelFile& store = document_.Store();
    if (!store.AddTracks(1))
        return;
    const int t = store.GetTrackCount() - 1;
    store.SetTrackName(t, ToStore(cursor_.CurrentName).c_str());
    const SketchPointList& sketch = overlay_.SketchPoints();
    const int n = static_cast<int>(sketch.size());
    if (n > 0)
        store.SetTrackPointCount(t, n);
    store.SetTrackSegmentCount(t, 1);
    for (int k = 0; k < n; ++k) {
        store.SetTrackPoint(t, k, 1,
                            sketch.latitudes[static_cast<std::size_t>(k)] / kMapUnitsPerDegree,
                            sketch.longitudes[static_cast<std::size_t>(k)] / kMapUnitsPerDegree, 0);
    }
    // Distances and headings, so that a saved sketch is as complete as a download.
    store.RecalcTrack(t, 0.0);
    if (cursor_.CurrentNode != nullptr)
        cursor_.CurrentNode->setData(t, kTrackRole);
    document_.NotifyEdited();
}

void TreeController::CancelTrack() {
    overlay_.CreatingTrack = false;
    overlay_.ClearSketch();
    emit TrackCreationCancelled();
}

void TreeController::AddPlacedWaypoint(const PlacedWaypoint& placed) {
    TobrelFile& store = document_.Store();
    const int before = store.GetWaypointCount();
    const int i = store.AddWaypoints(1);
    if (store.GetWaypointCount() != before + 1) {
        overlay_.EraseElement(placed.elementId);  // nowhere to keep it
        return;
    }
    store.SetWaypoint(i, ToStore(placed.name).c_str(), "", placed.latitude, placed.longitude, 0, 0,
                      18, 0);
    AddNode(waypointRoot_, placed.name, placed.elementId);
    document_.NotifyEdited();
}

}  // namespace tobrel
