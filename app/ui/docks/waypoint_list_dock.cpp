#include "ui/docks/waypoint_list_dock.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTableView>

#include "data/tobrel_file.h"
#include "ui/docks/waypoint_table_model.h"

namespace tobrel {

namespace {

// An editor that takes no more than the field holds.
class FieldDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            const int limit = WaypointTableModel::ByteLimit(index.column());
            if (limit > 0) {
                line->setValidator(new FieldValidator(limit, line));
            }
        }
        return editor;
    }
};

}  // namespace

WaypointListDock::WaypointListDock(TobrelFile& store, QWidget* parent)
    : QDockWidget(tr("Waypoint List"), parent), store_(store) {
    setObjectName(QStringLiteral("WaypointListDock"));
    model_ = new WaypointTableModel(store, this);
    proxy_ = new QSortFilterProxyModel(this);
    proxy_->setSourceModel(model_);
    proxy_->setSortRole(WaypointTableModel::kSortRole);
    proxy_->setSortCaseSensitivity(Qt::CaseInsensitive);
    view_ = new QTableView(this);
    view_->setModel(proxy_);
    view_->setAccessibleName(tr("Waypoints"));
    view_->setSortingEnabled(true);
    view_->sortByColumn(-1, Qt::AscendingOrder);  // store order until the user sorts
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    // A double-click or Enter centres the map, so editing starts with F2 or
    // a click on the selected cell.
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    view_->setItemDelegate(new FieldDelegate(view_));
    view_->verticalHeader()->setVisible(false);
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setAlternatingRowColors(true);
    setWidget(view_);

    connect(model_, &WaypointTableModel::WaypointEdited, this, [this](int index) {
        emit WaypointEdited(index);
        emit modified();
    });
    connect(view_, &QTableView::activated, this, [this](const QModelIndex& index) {
        const int waypoint = WaypointAtRow(index.row());
        double latitude = 0, longitude = 0, altitude = 0;
        if (store_.GetWaypointPosition(waypoint, &latitude, &longitude, &altitude)) {
            emit CentreOnWaypoint(waypoint, latitude, longitude);
        }
    });
}

int WaypointListDock::WaypointAtRow(int row) const {
    const QModelIndex source = proxy_->mapToSource(proxy_->index(row, 0));
    return source.isValid() ? source.row() : -1;
}

int WaypointListDock::RowOfWaypoint(int index) const {
    const QModelIndex shown = proxy_->mapFromSource(model_->index(index, 0));
    return shown.isValid() ? shown.row() : -1;
}

void WaypointListDock::Reload() {
    model_->Reload();
}

void WaypointListDock::SelectWaypoint(int index) {
    const int row = RowOfWaypoint(index);
    if (row < 0) {
        view_->clearSelection();
        return;
    }
    view_->selectRow(row);
    view_->scrollTo(proxy_->index(row, 0));
}

void WaypointListDock::SetDatumName(const QString& name) {
    model_->SetDatumName(name);
}

}  // namespace tobrel
