#include "ui/dock_wiring.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QTreeView>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "ui/docks/track_details_dock.h"
#include "ui/docks/waypoint_list_dock.h"
#include "ui/document.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"

namespace tobrel {

namespace {

std::optional<MapAngles> CentreOf(const MapCtrl& map) {
    return map.GetLatLongPoint(map.width() / 2, map.height() / 2);
}

}  // namespace

DockWiring::DockWiring(TfrmMain& window) : window_(window) {
    WireTrackDetails();
    WireWaypointList();
}

DockWiring::~DockWiring() {
    window_.MapCtrl1()->removeEventFilter(this);
    delete details_.data();
    delete waypoints_.data();
}

TrackDetailsDock* DockWiring::TrackDetails() const {
    return details_;
}

WaypointListDock* DockWiring::WaypointList() const {
    return waypoints_;
}

void DockWiring::BringForward(QWidget* dock) {
    dock->show();
    dock->raise();
}

// ---------------------------------------------------------------- track details

void DockWiring::WireTrackDetails() {
    Document& document = *window_.Doc();
    TreeController& tree = *window_.Tree();
    MapCtrl* map = window_.MapCtrl1();
    details_ = new TrackDetailsDock(document.Store(), map, &window_);
    details_->toggleViewAction()->setText(tr("&Track Details"));
    // A first run shows the window's own layout: the details come with the
    // first track selected, the list from the View menu. Later runs restore
    // what the user left.
    details_->hide();
    window_.AddDock(details_);

    // Links follow the track nodes.
    QStandardItemModel* model = tree.Model();
    const auto isTrackRoot = [&tree](const QModelIndex& parent) {
        return parent.isValid() && parent == tree.TrackRoot()->index();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this, &tree, isTrackRoot](const QModelIndex& parent, int first, int last) {
                if (!isTrackRoot(parent))
                    return;
                for (int row = first; row <= last; ++row)
                    FollowNode(tree.TrackRoot()->child(row));
            });
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this, &tree, isTrackRoot](const QModelIndex& parent, int first, int last) {
                if (!isTrackRoot(parent))
                    return;
                for (int row = first; row <= last; ++row)
                    ForgetNode(tree.TrackRoot()->child(row));
            });
    // A sketch that became a store track, or a track whose index moved up.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, &tree, isTrackRoot](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!isTrackRoot(topLeft.parent()))
                    return;
                for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
                    FollowNode(tree.TrackRoot()->child(row));
            });
    for (int row = 0; row < tree.TrackRoot()->rowCount(); ++row)
        FollowNode(tree.TrackRoot()->child(row));

    // The selection: read when it has settled, since deleting a track moves
    // the current node before the store has let the track go.
    connect(
        window_.TreeView1()->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this] { ShowCurrentTrack(false); }, Qt::QueuedConnection);
    connect(&document, &Document::StoreChanged, this, [this] { ShowCurrentTrack(true); });

    connect(map, &MapCtrl::OnMouseUp, this, &DockWiring::MapClicked);
    map->installEventFilter(this);
}

void DockWiring::FollowNode(QStandardItem* node) {
    if (node == nullptr)
        return;
    ForgetNode(node);
    const std::int32_t id = node->data(TreeController::kElementIdRole).toInt();
    const int track = node->data(TreeController::kTrackRole).toInt();
    if (id <= 0 || track < 0)
        return;  // nothing drawn, or a sketch the store does not hold yet
    details_->LinkElement(id, track, node->data(TreeController::kFirstPointRole).toInt());
    linked_.insert(node, id);
}

void DockWiring::ForgetNode(const QStandardItem* node) {
    const auto it = linked_.constFind(node);
    if (it == linked_.constEnd())
        return;
    details_->UnlinkElement(*it);
    linked_.erase(it);
}

void DockWiring::ShowCurrentTrack(bool storeChanged) {
    TreeController& tree = *window_.Tree();
    const QModelIndex current = window_.TreeView1()->currentIndex();
    if (tree.KindOf(current) == TreeController::NodeKind::kWaypoint && !storeChanged)
        waypoints_->SelectWaypoint(current.row());
    const int track = tree.StoreTrackOf(current);
    if (track < 0) {
        if (details_->CurrentTrack() != -1)
            details_->Clear();
        return;
    }
    if (storeChanged) {
        // The mark may sit on a line that went, and the figures may be another track's.
        window_.MapCtrl1()->ClearMarkedPoint();
        details_->ShowTrack(track);
    } else if (track != details_->CurrentTrack()) {
        details_->ShowTrack(track);
        BringForward(details_);
    }
}

// A plain click near a track's line, when the click neither panned the map
// nor places a waypoint or a sketch point.
void DockWiring::MapClicked(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y) {
    const bool panned = !centreAtPress_ || CentreOf(*window_.MapCtrl1()) != centreAtPress_;
    centreAtPress_.reset();
    if (button != Qt::LeftButton || (modifiers & (Qt::ControlModifier | Qt::ShiftModifier)) ||
        window_.Tree()->IsCreatingTrack() || panned)
        return;
    if (!details_->PickAt(x, y))
        return;
    SelectTrackNode(details_->CurrentTrack(), details_->MarkedPoint());
    BringForward(details_);
}

bool DockWiring::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.MapCtrl1() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        centreAtPress_ = CentreOf(*window_.MapCtrl1());
    return QObject::eventFilter(watched, event);
}

// The tree follows a pick on the map: the node of the segment holding the point.
void DockWiring::SelectTrackNode(int track, int point) {
    const QStandardItem* root = window_.Tree()->TrackRoot();
    QStandardItem* best = nullptr;
    int bestFirst = -1;
    for (int row = 0; row < root->rowCount(); ++row) {
        QStandardItem* node = root->child(row);
        const int first = node->data(TreeController::kFirstPointRole).toInt();
        if (node->data(TreeController::kTrackRole).toInt() == track && first <= point &&
            first > bestFirst) {
            best = node;
            bestFirst = first;
        }
    }
    if (best == nullptr)
        return;
    window_.TreeView1()->setCurrentIndex(best->index());
    window_.TreeView1()->scrollTo(best->index());
}

// ---------------------------------------------------------------- waypoint list

void DockWiring::WireWaypointList() {
    Document& document = *window_.Doc();
    waypoints_ = new WaypointListDock(document.Store(), &window_);
    waypoints_->toggleViewAction()->setText(tr("&Waypoint List"));
    waypoints_->SetDatumName(window_.Sorvane1()->Info().datumName);
    waypoints_->hide();
    window_.AddDock(waypoints_);

    connect(&document, &Document::StoreChanged, waypoints_, &WaypointListDock::Reload);
    // An edit changes a record in place: the list stays as it is, the
    // document counts as changed, and the label and node show the new name.
    connect(waypoints_, &WaypointListDock::modified, &document,
            [&document] { document.SetModified(true); });
    connect(waypoints_, &WaypointListDock::WaypointEdited, this,
            [this](int index) { window_.Tree()->RedrawWaypoint(index); });
    connect(waypoints_, &WaypointListDock::CentreOnWaypoint, this,
            [this](int, double latitude, double longitude) {
                window_.Overlay()->CentreOnPosition(latitude, longitude);
            });
}

}  // namespace tobrel
