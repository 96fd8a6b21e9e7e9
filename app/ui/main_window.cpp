#include "ui/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeView>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/input_dialog.h"
#include "ui/dialogs/tobrel_ce_map_dialog.h"
#include "ui/dock_wiring.h"
#include "ui/document.h"
#include "ui/export/map_export.h"
#include "ui/files/file_commands.h"
#include "ui/files/file_dialogs.h"
#include "ui/gps/gps_commands.h"
#include "ui/gps/live_position.h"
#include "ui/map_menus.h"
#include "ui/mouse_modes.h"
#include "ui/position_text.h"
#include "ui/program_icon.h"
#include "ui/settings/port_map.h"
#include "ui/settings/preference_dialog.h"
#include "ui/tree_controller.h"

namespace tobrel {

namespace {

constexpr const char* kGeometryKey = "Window/Geometry";
constexpr const char* kStateKey = "Window/State";
constexpr const char* kControlKey = "Sorvane1/Properties";

enum MenuFlag : unsigned {
    kItem = 0,
    kMenu = 1,  // a menu or submenu
    kSeparator = 2,
    kCheckable = 4,
    kChecked = 8,
};

using Handler = void (TfrmMain::*)();

// The main menu, in order. A row names its parent menu (none for the menu bar).
struct MenuRow {
    const char* name;
    const char* parent;
    const char* caption;
    Handler handler;
    unsigned flags;
};

// clang-format off
const MenuRow kMenuRows[] = {
    {"mmFile", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&File"), nullptr, kMenu},
    {"mmFileOpen", "mmFile", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Open..."), &TfrmMain::mmFileOpenClick, kItem},
    {"mmFileSaveAs", "mmFile", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Save &As..."), &TfrmMain::mmFileSaveAsClick, kItem},
    {"N2", "mmFile", nullptr, nullptr, kSeparator},
    {"mmFileTobrel", "mmFile", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Create Tobrel &Map..."), &TfrmMain::mmFileTobrelClick, kItem},
    {"mmFileTobrelCE", "mmFile", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Create Tobrel&CE Map..."), &TfrmMain::mmFileTobrelCEClick, kItem},
    {"N1", "mmFile", nullptr, nullptr, kSeparator},
    {"mmFileExit", "mmFile", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "E&xit"), &TfrmMain::mmFileExitClick, kItem},
    {"mmEdit", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Edit"), nullptr, kMenu},
    {"mnuEditCreateTrack", "mmEdit", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Create Track"), &TfrmMain::mnuEditCreateTrackClick, kCheckable},
    {"N3", "mmEdit", nullptr, nullptr, kSeparator},
    {"mnuEditDeleteTrack", "mmEdit", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Delete All &Tracks"), &TfrmMain::mnuEditDeleteTrackClick, kItem},
    {"mnuEditDeleteWaypoint", "mmEdit", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Delete All Waypoints"), &TfrmMain::mnuEditDeleteWaypointClick, kItem},
    {"mmMap", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Map"), nullptr, kMenu},
    {"mnuMapSelectArea", "mmMap", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Select &Area"), nullptr, kMenu},
    {"mnuMapSelectScale", "mmMap", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Layer Scale"), nullptr, kMenu},
    {"mnuMapColor", "mmMap", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Map &Colour"), nullptr, kMenu},
    {"mnuMapColorNormal", "mnuMapColor", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Normal"), &TfrmMain::mnuMapColorNormalClick, kCheckable | kChecked},
    {"mnuMapColorGray", "mnuMapColor", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Grey"), &TfrmMain::mnuMapColorNormalClick, kCheckable},
    {"mnuMapColorHalf", "mnuMapColor", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Half"), &TfrmMain::mnuMapColorNormalClick, kCheckable},
    {"mmGPS", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&GPS"), nullptr, kMenu},
    {"mnuDPSDownloadTrack", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Download Tracks"), &TfrmMain::mnuDPSDownloadTrackClick, kItem},
    {"mnuDPSDownloadWaypoint", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Download Waypoints"), &TfrmMain::mnuDPSDownloadWaypointClick, kItem},
    {"N4", "mmGPS", nullptr, nullptr, kSeparator},
    {"mnuUploadTrack", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Upload Tracks"), &TfrmMain::mnuUploadTrackClick, kItem},
    {"mnuUploadWaypoint", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Upload Waypoints"), &TfrmMain::mnuUploadWaypointClick, kItem},
    {"mnuUploadTrackAsRoute", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Upload Track as Route"), &TfrmMain::mnuUploadTrackAsRouteClick, kItem},
    {"N5", "mmGPS", nullptr, nullptr, kSeparator},
    {"mnuGPSLive", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Live Position"), &TfrmMain::mnuGPSLiveClick, kCheckable},
    {"mnuGPSFollow", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Follow Position"), &TfrmMain::mnuGPSFollowClick, kCheckable | kChecked},
    {"mnuGPSRecord", "mmGPS", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "Record Live Track"), &TfrmMain::mnuGPSRecordClick, kCheckable},
    {"mmOption", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Options"), nullptr, kMenu},
    {"mnuOptionPreference", "mmOption", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Preferences..."), &TfrmMain::mnuOptionPreferenceClick, kItem},
    {"mmHelp", nullptr, QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&Help"), nullptr, kMenu},
    {"TobrelPAA1", "mmHelp", QT_TRANSLATE_NOOP("tobrel::TfrmMain", "&About..."), &TfrmMain::TobrelPAA1Click, kItem},
};
// clang-format on

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowIcon(ProgramIcon());
    QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));

    // The form's parts: the GPS control, the tree, the splitter and the map.
    gps_ = std::make_unique<GpsSession>(settings.value(kControlKey).toByteArray());
    connect(gps_.get(), &GpsSession::Identified, this, &TfrmMain::ShowIdentification);
    connect(gps_.get(), &GpsSession::ControlMessage, this,
            [this](const QString& text, const QString& caption) {
                QMessageBox::critical(this, caption, text);
            });

    splitter_ = new QSplitter(this);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(5);
    treeView_ = new QTreeView(splitter_);
    treeView_->setObjectName(QStringLiteral("TreeView1"));
    treeView_->setAccessibleName(tr("Waypoints and tracks"));
    treeView_->setHeaderHidden(true);
    treeView_->setIndentation(19);
    treeView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* mapHolder = new QWidget(splitter_);
    map_ = new MapCtrl(mapHolder);
    map_->setObjectName(QStringLiteral("MapCtrl1"));
    map_->setAccessibleName(tr("Map"));
    if (gps_->Info().ok)
        map_->SetDatumShift(gps_->Info().datum);
    splitter_->addWidget(treeView_);
    splitter_->addWidget(mapHolder);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({121, 792 - 121 - 5});
    setCentralWidget(splitter_);

    // FormCreate: the overlay, the preferences, the store, the tree's roots.
    overlay_ = std::make_unique<MapOverlay>(map_, [this](const QString& message) {
        QMessageBox::critical(this, QStringLiteral("ERROR"), message);
    });
    overlay_->SetNamePrompt(
        [this](const QString&) { return TfrmInput::Ask(this, tr("Waypoint Name")); });
    prefs_.Read(settings);
    document_ = std::make_unique<Document>();
    tree_ = std::make_unique<TreeController>(*overlay_, *document_);
    treeView_->setModel(tree_->Model());
    treeView_->expandAll();
    treeView_->viewport()->installEventFilter(this);
    treeView_->installEventFilter(this);
    connect(tree_->Model(), &QAbstractItemModel::rowsInserted, treeView_,
            [this](const QModelIndex& parent) { treeView_->expand(parent); });
    connect(tree_.get(), &TreeController::TrackCreationCancelled, this,
            [this] { Action(QStringLiteral("mnuEditCreateTrack"))->setChecked(false); });
    files_ = new FileCommands(*document_, *tree_, this);
    // GPX is WGS 84; the store is in the control's datum (Tokyo without a control).
    files_->SetStoreDatum(gps_->Info().ok ? gps_->Info().datum : map_->DatumShift());
    connect(document_.get(), &Document::PathChanged, this, &TfrmMain::UpdateTitle);
    connect(document_.get(), &Document::ModifiedChanged, this, &TfrmMain::UpdateTitle);

    placeWaypoint_ = std::make_unique<PlaceWaypointMode>([this](int x, int y) {
        if (const auto placed = overlay_->PlaceWaypoint(x, y))
            tree_->AddPlacedWaypoint(*placed);
    });
    browse_ = std::make_unique<BrowseMode>(*placeWaypoint_);
    sketch_ = std::make_unique<SketchTrackMode>(*tree_);

    BuildMenus();
    mapMenus_ = new MapMenus(*overlay_, prefs_, Menu(QStringLiteral("mnuMapSelectArea")),
                             Menu(QStringLiteral("mnuMapSelectScale")), this);
    connect(map_, &MapCtrl::OnMouseUp, this, &TfrmMain::MapMouseUp);
    connect(map_, &MapCtrl::OnLayerChanged, this, [this](int, int newScale) {
        mapMenus_->LayerChanged(newScale, map_->width(), map_->height());
        scaleLabel_->setText(ScaleText(newScale));
    });
    connect(map_, &MapCtrl::OnMapMoved, this,
            [this](int lat, int lon, bool) { mapMenus_->MapMoved(lat, lon); });
    map_->installEventFilter(this);

    // The export dialog lives for the whole run and keeps what was typed.
    exportDialog_ = new TfrmTobrelCEMap(&ChooseFolder, this);
    exports_ = new MapExport(*map_, *overlay_, this);
    gpsCommands_ = new GpsCommands(*this);

    receiverLabel_ = new QLabel(this);
    receiverLabel_->setObjectName(QStringLiteral("ReceiverStatus"));
    positionLabel_ = new QLabel(this);
    positionLabel_->setObjectName(QStringLiteral("PositionStatus"));
    scaleLabel_ = new QLabel(this);
    scaleLabel_->setObjectName(QStringLiteral("ScaleStatus"));
    statusBar()->addWidget(receiverLabel_, 1);
    statusBar()->addPermanentWidget(positionLabel_);
    statusBar()->addPermanentWidget(scaleLabel_);
    docks_ = std::make_unique<DockWiring>(*this);
    live_ = std::make_unique<LivePosition>(*this);
    connect(live_.get(), &LivePosition::Changed, this, &TfrmMain::UpdateLiveMenu);
    UpdateLiveMenu();

    UpdateTitle();
    resize(792, 561);
    if (!restoreGeometry(settings.value(kGeometryKey).toByteArray()))
        resize(792, 561);
}

TfrmMain::~TfrmMain() {
    // The receiver stops with the session below; nothing of it reaches the window now.
    live_->StopNow();
    gps_->disconnect(live_.get());
    live_.reset();
    docks_.reset();
    // The store, then the preferences (written now), then the overlay. The
    // map outlives them as a child widget; it must no longer reach them.
    map_->disconnect(this);
    map_->removeEventFilter(this);
    treeView_->viewport()->removeEventFilter(this);
    treeView_->removeEventFilter(this);
    treeView_->setModel(nullptr);
    files_ = nullptr;
    tree_.reset();
    document_.reset();
    {
        QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
        prefs_.Write(settings);
        settings.setValue(kControlKey, gps_->Persisted());
    }
    overlay_.reset();
    gps_.reset();
}

void TfrmMain::BuildMenus() {
    auto* colours = new QActionGroup(this);
    for (const MenuRow& row : kMenuRows) {
        const QString name = QString::fromLatin1(row.name);
        QMenu* parent =
            row.parent != nullptr ? menus_.value(QString::fromLatin1(row.parent)) : nullptr;
        if (row.flags & kSeparator) {
            parent->addSeparator()->setObjectName(name);
            continue;
        }
        const QString caption = tr(row.caption);
        if (row.flags & kMenu) {
            QMenu* menu =
                parent != nullptr ? parent->addMenu(caption) : menuBar()->addMenu(caption);
            menu->setObjectName(name);
            menus_.insert(name, menu);
            continue;
        }
        QAction* action = parent->addAction(caption);
        action->setObjectName(name);
        action->setCheckable(row.flags & kCheckable);
        action->setChecked(row.flags & kChecked);
        if (row.parent == QLatin1String("mnuMapColor"))
            colours->addAction(action);
        connect(action, &QAction::triggered, this, row.handler);
        actions_.insert(name, action);
    }
    Action(QStringLiteral("mmFileOpen"))->setShortcut(QKeySequence::Open);
    Action(QStringLiteral("mmFileSaveAs"))->setShortcut(QKeySequence::SaveAs);
    Action(QStringLiteral("mmFileExit"))->setShortcut(QKeySequence::Quit);
}

void TfrmMain::AddDock(QDockWidget* dock, Qt::DockWidgetArea area) {
    if (viewMenu_ == nullptr) {
        viewMenu_ = new QMenu(tr("&View"), this);
        viewMenu_->setObjectName(QStringLiteral("mmView"));
        menuBar()->insertMenu(Menu(QStringLiteral("mmGPS"))->menuAction(), viewMenu_);
        menus_.insert(viewMenu_->objectName(), viewMenu_);
    }
    // Until the user arranges them, the docks of one side share it as tabs.
    QDockWidget* neighbour = nullptr;
    for (QDockWidget* other : findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != dock && neighbour == nullptr && dockWidgetArea(other) == area)
            neighbour = other;
    }
    if (neighbour != nullptr)
        tabifyDockWidget(neighbour, dock);
    else
        addDockWidget(area, dock);
    viewMenu_->addAction(dock->toggleViewAction());
    QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
    restoreState(settings.value(kStateKey).toByteArray());
}

// ---------------------------------------------------------------- start and end

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    mapMenus_->BuildAreaMenu();
    mapMenus_->BuildScaleMenu();
    overlay_->CentreMap(prefs_.LatitudeCenter, prefs_.LongitudeCenter, 1, prefs_.LayerScale);
    scaleLabel_->setText(ScaleText(overlay_->GetLayerScale()));
    IdentifyReceiver();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!files_->MaybeSave()) {
        event->ignore();
        return;
    }
    QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kStateKey, saveState());
    event->accept();
}

void TfrmMain::UpdateTitle() {
    const QString path = document_->Path();
    setWindowTitle(path.isEmpty()
                       ? QStringLiteral("TobrelPA[*]")
                       : QStringLiteral("%1[*] - TobrelPA").arg(QFileInfo(path).fileName()));
    setWindowModified(document_->IsModified());
}

// ---------------------------------------------------------------- the receiver

void TfrmMain::IdentifyReceiver() {
    if (!gps_->Info().ok) {
        SetReceiverText(tr("The GPS control could not be created"));
        return;
    }
    const int port = prefs_.PortNumber().value_or(1);
    SetReceiverText(
        tr("COM%1 (%2): looking for a receiver...").arg(port).arg(PortDeviceOf(port).path));
    gps_->Identify(port);
}

void TfrmMain::ShowIdentification(const Identification& result) {
    if (result.productId == -1) {
        SetReceiverText(
            tr("COM%1 (%2): no answer from a receiver").arg(result.port).arg(result.device));
        return;
    }
    SetReceiverText(tr("COM%1 (%2): %3 (ID %4, software %5)")
                        .arg(result.port)
                        .arg(result.device, result.description)
                        .arg(result.productId)
                        .arg(result.softwareVersion));
}

// While live runs the receiver talks NMEA, whatever identification found
// before; what it found comes back when live stops.
void TfrmMain::SetReceiverText(const QString& text) {
    receiverText_ = text;
    ShowReceiverText();
}

void TfrmMain::ShowReceiverText() {
    if (live_ == nullptr || !live_->IsLive()) {
        receiverLabel_->setText(receiverText_);
        return;
    }
    const int port = prefs_.PortNumber().value_or(1);
    receiverLabel_->setText(
        tr("COM%1 (%2): live position from NMEA sentences").arg(port).arg(PortDeviceOf(port).path));
}

// ---------------------------------------------------------------- map and tree events

void TfrmMain::MapMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y) {
    if (button != Qt::LeftButton)
        return;
    MouseMode& mode = tree_->IsCreatingTrack() ? *sketch_ : *browse_;
    mode.MouseUp(modifiers, x, y);
}

void TfrmMain::TreeMouseUp(const QPoint& pos, Qt::KeyboardModifiers modifiers) {
    const QModelIndex index = treeView_->indexAt(pos);
    if (!index.isValid())
        return;
    if (modifiers & (Qt::ControlModifier | Qt::ShiftModifier))
        tree_->Delete(index);
    else
        tree_->CentreOn(index);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == treeView_->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            TreeMouseUp(mouse->position().toPoint(), mouse->modifiers());
    } else if (watched == treeView_ && event->type() == QEvent::KeyPress) {
        // The keyboard reaches the same commands: Enter centres, Delete deletes.
        auto* key = static_cast<QKeyEvent*>(event);
        const QModelIndex current = treeView_->currentIndex();
        if (key->key() == Qt::Key_Delete && current.isValid()) {
            tree_->Delete(current);
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && current.isValid()) {
            tree_->CentreOn(current);
            return true;
        }
    } else if (watched == map_ && event->type() == QEvent::MouseMove) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        if (const auto at = map_->GetLatLongPoint(p.x(), p.y()))
            positionLabel_->setText(QStringLiteral("%1  %2").arg(
                PositionText(at->latitude, at->longitude), gps_->Info().datumName));
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- File

void TfrmMain::mmFileOpenClick() {
    files_->Open();
}

void TfrmMain::mmFileSaveAsClick() {
    files_->SaveAs();
}

void TfrmMain::mmFileTobrelClick() {
    const QString folder =
        document_->Path().isEmpty() ? QDir::homePath() : QFileInfo(document_->Path()).path();
    if (const auto chosen = ChooseDescriptionFile(this, folder))
        exports_->ExportView(*chosen);
}

void TfrmMain::mmFileTobrelCEClick() {
    QStringList layers;
    for (const QAction* item : Menu(QStringLiteral("mnuMapSelectScale"))->actions())
        layers.append(item->text());
    exportDialog_->SetLayers(layers);
    if (exportDialog_->exec() != QDialog::Accepted)
        return;
    std::int32_t scale = 0;
    if (!overlay_->GetLayerItem(exportDialog_->SelectedLayer(), &scale, nullptr))
        return;
    exports_->ExportTiles(exportDialog_->Folder(), scale, exportDialog_->TileSize());
}

void TfrmMain::mmFileExitClick() {
    close();
}

// ---------------------------------------------------------------- Edit

void TfrmMain::mnuEditCreateTrackClick() {
    QAction* item = Action(QStringLiteral("mnuEditCreateTrack"));
    if (!tree_->IsCreatingTrack()) {
        const auto name = TfrmInput::Ask(this, tr("Track Name"));
        if (!name) {
            item->setChecked(false);
            return;
        }
        tree_->BeginTrack(*name);
        item->setChecked(true);
    } else {
        tree_->EndTrack();
        item->setChecked(false);
    }
}

bool TfrmMain::ConfirmDeleteAll(const QString& question) {
    return QMessageBox::question(this, tr("Confirm"), question,
                                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
}

void TfrmMain::mnuEditDeleteTrackClick() {
    if (ConfirmDeleteAll(tr("Delete all tracks?")))
        tree_->DeleteAllTracks();
    Action(QStringLiteral("mnuEditCreateTrack"))->setChecked(tree_->IsCreatingTrack());
}

void TfrmMain::mnuEditDeleteWaypointClick() {
    if (ConfirmDeleteAll(tr("Delete all waypoints?")))
        tree_->DeleteAllWaypoints();
}

// ---------------------------------------------------------------- Map

void TfrmMain::mnuMapColorNormalClick() {
    const QObject* item = sender();
    if (item == Action(QStringLiteral("mnuMapColorGray")))
        mapMenus_->SelectPalette(1);
    else if (item == Action(QStringLiteral("mnuMapColorHalf")))
        mapMenus_->SelectPalette(2);
    else
        mapMenus_->SelectPalette(0);
}

// ---------------------------------------------------------------- GPS
// The transfers run on the GPS session's thread (GpsCommands).

void TfrmMain::mnuDPSDownloadTrackClick() {
    gpsCommands_->DownloadTracks();
}

void TfrmMain::mnuDPSDownloadWaypointClick() {
    gpsCommands_->DownloadWaypoints();
}

void TfrmMain::mnuUploadTrackClick() {
    gpsCommands_->UploadTracks();
}

void TfrmMain::mnuUploadWaypointClick() {
    gpsCommands_->UploadWaypoints();
}

void TfrmMain::mnuUploadTrackAsRouteClick() {
    gpsCommands_->UploadTrackAsRoute();
}

// The live position and the transfers do not share the port: the transfers
// wait until live is off.
void TfrmMain::mnuGPSLiveClick() {
    live_->SetLive(Action(QStringLiteral("mnuGPSLive"))->isChecked());
}

void TfrmMain::mnuGPSFollowClick() {
    live_->SetFollow(Action(QStringLiteral("mnuGPSFollow"))->isChecked());
}

void TfrmMain::mnuGPSRecordClick() {
    live_->SetRecording(Action(QStringLiteral("mnuGPSRecord"))->isChecked());
}

void TfrmMain::UpdateLiveMenu() {
    const bool live = live_->IsLive();
    Action(QStringLiteral("mnuGPSLive"))->setChecked(live);
    Action(QStringLiteral("mnuGPSFollow"))->setChecked(live_->IsFollowing());
    Action(QStringLiteral("mnuGPSRecord"))->setChecked(live_->IsRecording());
    Action(QStringLiteral("mnuGPSRecord"))->setEnabled(live);
    for (const char* name : {"mnuDPSDownloadTrack", "mnuDPSDownloadWaypoint", "mnuUploadTrack",
                             "mnuUploadWaypoint", "mnuUploadTrackAsRoute"})
        Action(QString::fromLatin1(name))->setEnabled(!live);
    ShowReceiverText();
}

// ---------------------------------------------------------------- Options and Help

void TfrmMain::mnuOptionPreferenceClick() {
    TfrmPreference dialog(prefs_.CommPort, PresentSerialDevices(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    prefs_.SetPort(dialog.ChosenPort());
    // The live position was on the old port.
    live_->SetLive(false);
    IdentifyReceiver();
}

void TfrmMain::TobrelPAA1Click() {
    TAboutBox box(gps_->Info().version, this);
    box.exec();
}

}  // namespace tobrel
