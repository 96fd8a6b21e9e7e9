// The real window on the offscreen platform: its menus in both languages, the
// tree and map clicks, track creation, delete-all, the preferences across a
// restart, the port chooser with the GPS control, and unsaved changes.
#include <gtest/gtest.h>

#include <thread>

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStandardItem>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>

#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/input_dialog.h"
#include "ui/document.h"
#include "ui/files/file_commands.h"
#include "ui/main_window.h"
#include "ui/settings/preference_dialog.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using testing::AddTrack;
using uitest::AnswerMessageBox;
using uitest::WaitFor;
using uitest::WhenModal;

constexpr std::int32_t Angle(double degrees) {
    return static_cast<std::int32_t>(degrees * 3600000.0);
}

class MainWindowTest : public uitest::UiTest {
  protected:
    std::unique_ptr<TfrmMain> Start() {
        auto window = std::make_unique<TfrmMain>();
        window->show();
        window->MapCtrl1()->SetDatumShift({});  // WGS 84, so positions can be compared
        return window;
    }
    // The captions of a menu's items, separators as "-", submenus with their items.
    static QStringList Captions(const QMenu* menu) {
        QStringList out;
        for (const QAction* a : menu->actions())
            out.append(a->isSeparator() ? QStringLiteral("-") : a->text());
        return out;
    }
    static QStringList Nodes(QStandardItem* root) {
        QStringList texts;
        for (int i = 0; i < root->rowCount(); ++i)
            texts.append(root->child(i)->text());
        return texts;
    }
    static void ClickNode(TfrmMain& w, QStandardItem* node, Qt::KeyboardModifiers modifiers = {}) {
        QTreeView* view = w.TreeView1();
        view->scrollTo(node->index());
        const QPoint at = view->visualRect(node->index()).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
    }
    static std::pair<std::int32_t, std::int32_t> Centre(TfrmMain& w) {
        MapCtrl* map = w.MapCtrl1();
        const auto c = map->GetLatLongPoint(map->width() / 2, map->height() / 2);
        return {c->latitude, c->longitude};
    }
    static QString Status(TfrmMain& w) {
        return w.findChild<QLabel*>(QStringLiteral("ReceiverStatus"))->text();
    }
};

TEST_F(MainWindowTest, MenuCaptionsInJapaneseAndEnglish) {
    UseLanguage("ja");
    {
        auto w = Start();
        QStringList bar;
        for (const QAction* a : w->menuBar()->actions())
            bar.append(a->text());
        EXPECT_EQ(bar.join('|').toStdString(),
                  "ファイル(&F)|編集(&E)|地図(&M)|表示(&V)|&GPS|オプション(&O)|ヘルプ(&H)");
        EXPECT_EQ(Captions(w->Menu("mmView")).join('|').toStdString(),
                  "トラック詳細(&T)|ウェイポイント一覧(&W)|衛星(&S)");
        EXPECT_EQ(Captions(w->Menu("mmFile")).join('|').toStdString(),
                  "開く(&O)...|名前を付けて保存(&A)|-|Tobrel地図の作成(&M)...|"
                  "TobrelCE地図の作成(&C)...|-|終了(&x)");
        EXPECT_EQ(Captions(w->Menu("mmEdit")).join('|').toStdString(),
                  "トラックの作成(&C)|-|トラックの削除(&T)|ウェイポイントの削除(&D)");
        EXPECT_EQ(Captions(w->Menu("mmMap")).join('|').toStdString(),
                  "地域の選択(&A)|地図階層(&L)|地図の色(&C)");
        EXPECT_EQ(Captions(w->Menu("mnuMapColor")).join('|').toStdString(),
                  "標準(&N)|グレー(&G)|ハーフ(&H)");
        EXPECT_EQ(Captions(w->Menu("mmGPS")).join('|').toStdString(),
                  "トラックのダウンロード|ウェイポイントのダウンロード|-|トラックのアップロード|"
                  "ウェイポイントのアップロード|トラックをルートとしてアップロード|-|"
                  "現在位置の表示|現在位置に追従|現在位置をトラックに記録");
        EXPECT_EQ(Captions(w->Menu("mmOption")).join('|').toStdString(), "設定(&P)");
        EXPECT_EQ(Captions(w->Menu("mmHelp")).join('|').toStdString(), "バージョン(&A)...");
        EXPECT_EQ(Nodes(w->Tree()->Model()->invisibleRootItem()).join('|').toStdString(),
                  "ウェイポイント|トラック");
        EXPECT_TRUE(w->Action("mnuMapColorNormal")->isChecked());
        for (const char* item : {"mmFileOpen", "mmFileTobrel", "mmFileTobrelCE",
                                 "mnuDPSDownloadTrack", "mnuDPSDownloadWaypoint", "mnuUploadTrack",
                                 "mnuUploadWaypoint", "mnuUploadTrackAsRoute"})
            EXPECT_TRUE(w->Action(item)->isEnabled()) << item;
        QString text, title, yes;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            yes = box->button(QMessageBox::Yes)->text();
            box->button(QMessageBox::No)->click();
        });
        w->Action("mnuEditDeleteWaypoint")->trigger();
        EXPECT_EQ(text.toStdString(), "全てのウェイポイントを削除しますか？");
        EXPECT_EQ(title.toStdString(), "確認");
        EXPECT_EQ(yes.toStdString(), "はい(&Y)");
    }
    UseLanguage("en");
    auto w = Start();
    EXPECT_EQ(Captions(w->Menu("mmFile")).join('|').toStdString(),
              "&Open...|Save &As...|-|Create Tobrel &Map...|Create Tobrel&CE Map...|-|E&xit");
    EXPECT_EQ(Captions(w->Menu("mmEdit")).join('|').toStdString(),
              "&Create Track|-|Delete All &Tracks|&Delete All Waypoints");
    EXPECT_EQ(Captions(w->Menu("mmView")).join('|').toStdString(),
              "&Track Details|&Waypoint List|&Satellites");
    EXPECT_EQ(Nodes(w->Tree()->Model()->invisibleRootItem()).join('|').toStdString(),
              "Waypoints|Tracks");
    // The area list is built when the window is shown, with the built-in map last.
    const QStringList areas = Captions(w->Menu("mnuMapSelectArea"));
    ASSERT_FALSE(areas.isEmpty());
    EXPECT_EQ(w->MapCtrl1()->AreaCode(), MapCtrl::kWorldAreaCode);
    EXPECT_EQ(Captions(w->Menu("mnuMapSelectScale")).size(), w->Overlay()->GetLayerCount());
    QString aboutText;
    WhenModal<TAboutBox>([&](TAboutBox* box) {
        aboutText = box->stSorvaneVer->text();
        box->accept();
    });
    w->Action("TobrelPAA1")->trigger();
    EXPECT_EQ(aboutText, ControlVersionText(w->Sorvane1()->Info().version));
    EXPECT_EQ(aboutText.size(), 8);
}

TEST_F(MainWindowTest, OpensThroughTheFileDialogAndClicksOnTheTreeCentreOrDelete) {
    TobrelFile store;
    AddTrack(store, "A",
             {{1, 35.0, 139.0}, {1, 35.01, 139.01}, {2, 35.02, 139.02}, {2, 35.03, 139.03}}, 2);
    AddTrack(store, "B",
             {{1, 35.1, 139.1},
              {1, 35.11, 139.11},
              {2, 35.12, 139.12},
              {2, 35.13, 139.13},
              {3, 35.14, 139.14}},
             3);
    store.AddWaypoints(3);
    store.SetWaypoint(0, "W0", "", 34.5, 138.5, 0, 0, 18, 0);
    store.SetWaypoint(1, "W1", "", 34.6, 138.6, 0, 0, 18, 0);
    store.SetWaypoint(2, "W2", "", 34.7, 138.7, 0, 0, 18, 0);
    const QString file = SampleFile("tree.tb2", &store);
    auto w = Start();
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
    });
    w->Action("mmFileOpen")->trigger();
    QStandardItem* waypoints = w->Tree()->WaypointRoot();
    QStandardItem* tracks = w->Tree()->TrackRoot();
    ASSERT_EQ(waypoints->rowCount(), 3);
    ASSERT_EQ(tracks->rowCount(), 5);
    EXPECT_EQ(w->MapCtrl1()->ElementCount(), 8u);
    EXPECT_EQ(w->windowTitle(), "tree.tb2[*] - TobrelPA");
    EXPECT_EQ(Nodes(waypoints)[1],
              NodeText("W1", w->Tree()->ElementIdOf(waypoints->child(1)->index())));

    ClickNode(*w, waypoints->child(1));
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(34.6), Angle(138.6)));
    ClickNode(*w, tracks->child(3));  // the fourth node: the second track's second segment
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(35.12), Angle(139.12)));
    ClickNode(*w, w->Tree()->TrackRoot());  // a root does nothing
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(35.12), Angle(139.12)));

    // Ctrl deletes the waypoint from map, store and tree; the next one moves up.
    const QString third = Nodes(waypoints)[2];
    ClickNode(*w, waypoints->child(1), Qt::ControlModifier);
    EXPECT_EQ(Nodes(waypoints), (QStringList{Nodes(waypoints)[0], third}));
    EXPECT_EQ(w->Doc()->Store().GetWaypointCount(), 2);
    EXPECT_STREQ(w->Doc()->Store().GetWaypointIdent(1), "W2");
    EXPECT_EQ(w->MapCtrl1()->ElementCount(), 7u);
    EXPECT_TRUE(w->isWindowModified());
    ClickNode(*w, waypoints->child(1));  // W2 is now the second node and the second waypoint
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(34.7), Angle(138.7)));
    // Shift on a segment of A deletes track A, both of its nodes.
    ClickNode(*w, tracks->child(1), Qt::ShiftModifier);
    EXPECT_EQ(tracks->rowCount(), 3);
    EXPECT_EQ(w->Doc()->Store().GetTrackCount(), 1);
    EXPECT_EQ(w->MapCtrl1()->ElementCount(), 5u);
    // The keyboard reaches the same commands.
    w->TreeView1()->setCurrentIndex(tracks->child(2)->index());
    QTest::keyClick(w->TreeView1(), Qt::Key_Return);
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(35.14), Angle(139.14)));
    QTest::keyClick(w->TreeView1(), Qt::Key_Delete);
    EXPECT_EQ(tracks->rowCount(), 0);
    AnswerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w->close());
}

TEST_F(MainWindowTest, CreatesATrackByClickingAndPlacesWaypoints) {
    auto w = Start();
    MapCtrl* map = w->MapCtrl1();
    QAction* create = w->Action("mnuEditCreateTrack");
    // Cancelling the name leaves the item unchecked and adds no node.
    WhenModal<TfrmInput>([](TfrmInput* d) { d->bbCancel->click(); });
    create->trigger();
    EXPECT_FALSE(create->isChecked());
    EXPECT_EQ(w->Tree()->TrackRoot()->rowCount(), 0);

    WhenModal<TfrmInput>([](TfrmInput* d) {
        EXPECT_EQ(d->windowTitle(), "Track Name");
        QTest::keyClicks(d->edtInput, "ridge");
        d->bbOk->click();
    });
    create->trigger();
    ASSERT_TRUE(create->isChecked());
    EXPECT_EQ(Nodes(w->Tree()->TrackRoot()), QStringList{"RIDGE/-1"});
    const QPoint points[] = {{100, 100}, {200, 150}, {300, 120}};
    for (const QPoint& p : points)
        QTest::mouseClick(map, Qt::LeftButton, Qt::ControlModifier, p);
    QTest::mouseClick(map, Qt::LeftButton, Qt::ShiftModifier, {50, 50});  // takes the last away
    QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, {60, 60});     // does nothing
    EXPECT_EQ(map->ElementCount(), 1u);
    const std::int32_t id = w->Tree()->Cursor().CurrentElementId;
    EXPECT_EQ(Nodes(w->Tree()->TrackRoot()), QStringList{NodeText("RIDGE", id)});
    create->trigger();  // finish
    EXPECT_FALSE(create->isChecked());
    const TobrelFile& store = w->Doc()->Store();
    ASSERT_EQ(store.GetTrackCount(), 1);
    EXPECT_STREQ(store.GetTrackName(0), "RIDGE");
    ASSERT_EQ(store.GetTrackPointCount(0), 2);
    const auto second = map->GetLatLongPoint(200, 150);
    double lat = 0, lon = 0, alt = 0;
    store.GetTrackPoint(0, 1, &lat, &lon, &alt);
    EXPECT_DOUBLE_EQ(lat, second->latitude / 3600000.0);
    EXPECT_DOUBLE_EQ(lon, second->longitude / 3600000.0);

    // Outside track creation a Ctrl click places a waypoint under the name typed.
    WhenModal<TfrmInput>([](TfrmInput* d) {
        EXPECT_EQ(d->windowTitle(), "Waypoint Name");
        QTest::keyClicks(d->edtInput, "camp");
        d->bbOk->click();
    });
    QTest::mouseClick(map, Qt::LeftButton, Qt::ControlModifier, {120, 80});
    ASSERT_EQ(store.GetWaypointCount(), 1);
    EXPECT_STREQ(store.GetWaypointIdent(0), "CAMP");
    EXPECT_EQ(store.GetWaypointSymbol(0), 18);
    EXPECT_EQ(w->Tree()->WaypointRoot()->rowCount(), 1);
    EXPECT_EQ(map->ElementCount(), 2u);

    // Finishing without points gives a track without points and one segment.
    WhenModal<TfrmInput>([](TfrmInput* d) {
        QTest::keyClicks(d->edtInput, "e");
        d->bbOk->click();
    });
    create->trigger();
    create->trigger();
    ASSERT_EQ(store.GetTrackCount(), 2);
    EXPECT_EQ(store.GetTrackPointCount(1), 0);
    EXPECT_EQ(store.GetTrackSegmentCount(1), 1);

    // Delete-all answered No changes nothing; Yes empties the kind.
    QString question, title;
    AnswerMessageBox(QMessageBox::No, &question, &title);
    w->Action("mnuEditDeleteTrack")->trigger();
    EXPECT_EQ(question, "Delete all tracks?");
    EXPECT_EQ(title, "Confirm");
    EXPECT_EQ(store.GetTrackCount(), 2);
    EXPECT_EQ(map->ElementCount(), 2u);
    AnswerMessageBox(QMessageBox::No, &question);
    w->Action("mnuEditDeleteWaypoint")->trigger();
    EXPECT_EQ(question, "Delete all waypoints?");
    EXPECT_EQ(store.GetWaypointCount(), 1);
    AnswerMessageBox(QMessageBox::Yes);
    w->Action("mnuEditDeleteWaypoint")->trigger();
    EXPECT_EQ(store.GetWaypointCount(), 0);
    EXPECT_EQ(w->Tree()->WaypointRoot()->rowCount(), 0);
    EXPECT_EQ(map->ElementCount(), 1u);

    // Closing with unsaved tracks asks; Cancel keeps the window, Discard closes.
    AnswerMessageBox(QMessageBox::Cancel);
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    AnswerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w->close());
}

TEST_F(MainWindowTest, PreferencesAndTheWindowSurviveARestart) {
    {
        auto w = Start();
        EXPECT_EQ(w->MapCtrl1()->LayerScale(), 250000);
        EXPECT_EQ(Centre(*w), std::make_pair(126000000, 500400000));
        EXPECT_EQ(w->size(), QSize(792, 561));
        ASSERT_TRUE(w->MapCtrl1()->MoveTo(Angle(36.5), Angle(137.25), 1, 0));
        w->resize(900, 600);
        EXPECT_TRUE(w->close());
    }
    {
        QSettings settings(QStringLiteral("Vesko"), QStringLiteral("TobrelPA"));
        EXPECT_EQ(settings.value("LatitudeCenter").toInt(), Angle(36.5));
        EXPECT_EQ(settings.value("LongitudeCenter").toInt(), Angle(137.25));
        EXPECT_EQ(settings.value("LayerScale").toInt(), 250000);
        EXPECT_EQ(settings.value("CommPort").toString(), "COM1");
        EXPECT_EQ(settings.value("AreaCode").toString(), "");
        EXPECT_EQ(settings.value("Sorvane1/Properties").toByteArray().size(), 28);
        settings.setValue("LayerScale", "not a number");
    }
    auto w = Start();
    EXPECT_EQ(Centre(*w), std::make_pair(Angle(36.5), Angle(137.25)));
    EXPECT_EQ(w->MapCtrl1()->LayerScale(), 250000);  // the damaged value read as its default
    EXPECT_EQ(w->size(), QSize(900, 600));
}

TEST_F(MainWindowTest, PortChooserWritesThePortMapAndTheControlOpensThatDevice) {
    testsupport::RunningSimulator sim("--product 130 --description eTrex");
    ASSERT_TRUE(sim.ok());
    UnpinPort(2);
    {
        QFile conf(Path("config/sorvane/ports.conf"));
        ASSERT_TRUE(QDir().mkpath(Path("config/sorvane")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("# kept\nCOM5=/dev/ttyUSB9\n");
    }
    auto w = Start();
    ASSERT_TRUE(WaitFor([&] { return Status(*w).contains("no answer"); }))
        << Status(*w).toStdString();
    const QString device = QString::fromStdString(sim.path());
    WhenModal<TfrmPreference>([&](TfrmPreference* d) {
        d->cbCommPort->setCurrentIndex(1);
        d->cbDevice->setEditText(device);
        d->findChild<QPushButton*>("BitBtn1")->click();
    });
    w->Action("mnuOptionPreference")->trigger();
    EXPECT_EQ(w->Prefs().CommPort, "COM2");
    QFile conf(Path("config/sorvane/ports.conf"));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(conf.readAll()),
              "# kept\nCOM5=/dev/ttyUSB9\nCOM2=" + device + "\n");
    ASSERT_TRUE(WaitFor([&] { return Status(*w).contains("eTrex"); })) << Status(*w).toStdString();
    EXPECT_TRUE(Status(*w).startsWith("COM2 (" + device + ")")) << Status(*w).toStdString();
    EXPECT_TRUE(Status(*w).contains("ID 130")) << Status(*w).toStdString();
    // Cancel keeps the port.
    WhenModal<TfrmPreference>([](TfrmPreference* d) {
        d->cbCommPort->setCurrentIndex(6);
        d->reject();
    });
    w->Action("mnuOptionPreference")->trigger();
    EXPECT_EQ(w->Prefs().CommPort, "COM2");
}

TEST_F(MainWindowTest, ControlMessagesFromAnyThreadAppearInAMessageBox) {
    auto w = Start();
    QString text, title;
    AnswerMessageBox(QMessageBox::Ok, &text, &title);
    std::thread([] {
        GpsSession::ForwardControlMessage("Memory allocation", "KelData::AddTrack");
    }).join();
    ASSERT_TRUE(WaitFor([&] { return !text.isEmpty(); }));
    EXPECT_EQ(text, "Memory allocation");
    EXPECT_EQ(title, "KelData::AddTrack");
    w.reset();
    GpsSession::ForwardControlMessage("after the window", "x");  // nobody to show it: dropped
    QApplication::processEvents();
}

TEST_F(MainWindowTest, StatusBarShowsTheMousePositionAndTheScale) {
    auto w = Start();
    MapCtrl* map = w->MapCtrl1();
    QTest::mouseMove(map, {map->width() / 2, map->height() / 2});
    const QString position = w->findChild<QLabel*>("PositionStatus")->text();
    EXPECT_TRUE(position.startsWith("35.000000, 139.000000")) << position.toStdString();
    EXPECT_TRUE(position.contains(QString::fromUtf8("35°00'00.0\"N 139°00'00.0\"E")));
    EXPECT_EQ(w->findChild<QLabel*>("ScaleStatus")->text(), "1:250,000");
    w->Overlay()->SetLayerScale(70000);
    EXPECT_EQ(w->findChild<QLabel*>("ScaleStatus")->text(), "1:70,000");
}

}  // namespace
}  // namespace tobrel
