#include "ui/map_window.h"

#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QTreeWidget>

#include "control/tsorvane.h"
#include "map/map_ctrl.h"
#include "map/map_overlay.h"

namespace tobrel {

namespace {

// The first start centres on 35 N 139 E at 1:250,000.
constexpr std::int32_t kCentreLatitude = 126000000;
constexpr std::int32_t kCentreLongitude = 500400000;
constexpr std::int32_t kLayerScale = 250000;

}  // namespace

MapWindow::MapWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("TobrelPA");
    resize(792, 561);

    auto* splitter = new QSplitter(this);
    tree_ = new QTreeWidget(splitter);
    tree_->setHeaderHidden(true);
    tree_->setIndentation(19);
    waypointRoot_ = new QTreeWidgetItem(tree_, QStringList{QString::fromUtf8("ウェイポイント")});
    trackRoot_ = new QTreeWidgetItem(tree_, QStringList{QString::fromUtf8("トラック")});

    auto* mapHolder = new QWidget(splitter);
    map_ = new MapCtrl(mapHolder);
    overlay_ = std::make_unique<MapOverlay>(map_);
    splitter->addWidget(tree_);
    splitter->addWidget(mapHolder);
    splitter->setSizes({121, 792 - 121});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    receiver_ = new QLabel(this);
    statusBar()->addWidget(receiver_, 1);

    gps_ = std::make_unique<sorvane::TSorvane>();
    if (gps_->ok()) {
        // The map takes positions in the control's datum (Tokyo unless changed).
        map_->SetDatumShift({gps_->GetMapDatumDeltaA(), gps_->GetMapDatumDeltaF(),
                             gps_->GetMapDatumDeltaX(), gps_->GetMapDatumDeltaY(),
                             gps_->GetMapDatumDeltaZ()});
    }
}

MapWindow::~MapWindow() {
    // The identification thread reports to the window; let it finish first.
    if (identify_)
        identify_->wait();
}

void MapWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    const int areas = overlay_->GetAreaCount();
    if (areas > 0) {
        QString code;
        overlay_->GetAreaItem(areas - 1, &code, nullptr);
        overlay_->SelectArea(code);
    }
    overlay_->CentreMap(kCentreLatitude, kCentreLongitude, 1, kLayerScale);
    IdentifyReceiver();
}

// Identification can wait two seconds per missing byte, so it runs beside the
// window and only its answer comes back to the window's thread. A TSorvane
// belongs to one thread, so the identification makes a control of its own.
void MapWindow::IdentifyReceiver() {
    if (!gps_->ok()) {
        receiver_->setText(QString::fromUtf8("GPS コントロールを作成できません"));
        return;
    }
    receiver_->setText(QString::fromUtf8("受信機を確認しています…"));
    QPointer<QLabel> label = receiver_;
    QThread* worker = QThread::create([label] {
        sorvane::TSorvane gps;
        std::int32_t id = -1;
        std::int32_t version = 0;
        gps.set_CommPort(1);
        const std::string description = gps.ReadProductID(&id, &version);
        QString text = id == -1 ? QString::fromUtf8("COM1: 受信機の応答がありません")
                                : QString::fromUtf8("COM1: %1 (ID %2, ソフトウェア %3)")
                                      .arg(QString::fromStdString(description))
                                      .arg(id)
                                      .arg(version);
        QMetaObject::invokeMethod(label, [label, text] {
            if (label)
                label->setText(text);
        });
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    identify_ = worker;
    worker->start();
}

}  // namespace tobrel
