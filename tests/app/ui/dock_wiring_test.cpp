// The docks in the real window: the details of the track selected in the tree
// or on the map, the profiles and the map pointing at the same point both
// ways, links that follow every drawing of the tracks, the waypoint list's
// edits saved and reopened, and the docks' layout across a restart.
#include <gtest/gtest.h>

#include <QChartView>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QStandardItem>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include "data/track_statistics.h"
#include "map/datum_converter.h"
#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "text/cp932.h"
#include "ui/dialogs/input_dialog.h"
#include "ui/dock_wiring.h"
#include "ui/docks/track_details_dock.h"
#include "ui/docks/waypoint_list_dock.h"
#include "ui/docks/waypoint_table_model.h"
#include "ui/document.h"
#include "ui/files/file_commands.h"
#include "ui/files/file_formats.h"
#include "ui/gps/live_position.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using uitest::AnswerMessageBox;
using uitest::WaitFor;
using uitest::WhenModal;

std::int32_t Angle(double degrees) {
    return DegreesToMapAngle(degrees);
}

// A walk of n points north-east from (lat, lon): 10 s and 1 m of climb a
// point, a second segment from `split` on.
void AddWalk(TobrelFile& store, const char* name, double lat, double lon, int n, int split) {
    const int t = store.GetTrackCount();
    ASSERT_TRUE(store.AddTracks(1));
    store.SetTrackName(t, name);
    ASSERT_TRUE(store.SetTrackPointCount(t, n));
    store.SetTrackSegmentCount(t, split < n ? 2 : 1);
    for (int i = 0; i < n; ++i) {
        store.SetTrackPoint(t, i, i < split ? 1 : 2, lat + i * 0.0005, lon + i * 0.0005, 100.0 + i);
        store.SetTrackPointTime(t, i, 1000000000u + 10u * static_cast<std::uint32_t>(i));
    }
    store.RecalcTrack(t, 0.0);
}

// Types text a key at a time, as a keyboard or an input method would (any script).
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent key(type, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(widget, &key);
        }
    }
}

// EAST (60 points, segments from 0 and 40) and NORTH (30 points), three waypoints.
void FillWalks(TobrelFile& store) {
    AddWalk(store, "EAST", 35.0, 139.0, 60, 40);
    AddWalk(store, "NORTH", 35.1, 139.0, 30, 30);
    store.SetWaypointCount(3);
    store.SetWaypoint(0, "CAMP", "tents", 35.01, 139.01, 120, 0, 18, 0);
    store.SetWaypoint(1, "PEAK", "", 35.02, 139.02, 180, 0, 18, 0);
    store.SetWaypoint(2, "SPRING", "", 35.03, 139.03, 90, 0, 18, 0);
}

// The map keeps a marked point in its own units: within one of the store's position.
bool Near(const std::optional<MapAngles>& a, const MapAngles& b) {
    return a && std::abs(a->latitude - b.latitude) <= 1 &&
           std::abs(a->longitude - b.longitude) <= 1;
}

class DockWiringTest : public uitest::UiTest {
  protected:
    std::unique_ptr<TfrmMain> Start() {
        auto window = std::make_unique<TfrmMain>();
        window->show();
        window->MapCtrl1()->SetDatumShift({});  // positions compare exactly
        return window;
    }
    std::unique_ptr<TfrmMain> StartWithWalks() {
        TobrelFile store;
        FillWalks(store);
        auto w = Start();
        EXPECT_TRUE(w->Files()->OpenFile(SampleFile("walks.tb2", &store)));
        return w;
    }
    static TrackDetailsDock* Details(TfrmMain& w) { return w.Docks()->TrackDetails(); }
    static WaypointListDock* List(TfrmMain& w) { return w.Docks()->WaypointList(); }
    static void ClickNode(TfrmMain& w, QStandardItem* node, Qt::KeyboardModifiers modifiers = {}) {
        QTreeView* view = w.TreeView1();
        view->scrollTo(node->index());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers,
                          view->visualRect(node->index()).center());
    }
    static MapAngles PointAngles(TfrmMain& w, int track, int point) {
        double lat = 0, lon = 0, alt = 0;
        EXPECT_TRUE(w.Doc()->Store().GetTrackPoint(track, point, &lat, &lon, &alt));
        return {Angle(lat), Angle(lon)};
    }
    // Centres the map on a store track point at 1:25,000 and gives its pixel.
    static QPoint ShowPoint(TfrmMain& w, int track, int point) {
        const MapAngles at = PointAngles(w, track, point);
        EXPECT_TRUE(w.MapCtrl1()->MoveTo(at.latitude, at.longitude, 1, 25000));
        return *w.MapCtrl1()->GetLogPoint(at.latitude, at.longitude);
    }
    // A plain click 2 pixels beside a store track point: what the details show then.
    static std::pair<int, int> ClickBeside(TfrmMain& w, int track, int point) {
        const QPoint p = ShowPoint(w, track, point) + QPoint(2, -2);
        QSignalSpy picked(Details(w), &TrackDetailsDock::TrackPicked);
        QTest::mouseClick(w.MapCtrl1(), Qt::LeftButton, Qt::NoModifier, p);
        if (picked.isEmpty())
            return {-1, -1};
        return {picked.last().value(0).toInt(), picked.last().value(1).toInt()};
    }
    static QString Title(TfrmMain& w) {
        return Details(w)->findChild<QLabel*>("TrackTitle")->text();
    }
    static QString StoreTrackName(TfrmMain& w, int track) {
        return QString::fromStdString(sorvane::cp932::ToUtf8(w.Doc()->Store().GetTrackName(track)));
    }
};

TEST_F(DockWiringTest, StatisticsOfTheTrackSelectedInTheTreeOrWithTheKeyboard) {
    auto w = StartWithWalks();
    TrackDetailsDock* details = Details(*w);
    QStandardItem* tracks = w->Tree()->TrackRoot();
    ASSERT_EQ(tracks->rowCount(), 3);  // EAST's two segments, NORTH
    EXPECT_EQ(details->CurrentTrack(), -1);
    details->hide();  // selecting a track brings the dock back

    ClickNode(*w, tracks->child(2));
    ASSERT_TRUE(WaitFor([&] { return details->CurrentTrack() == 1; }));
    EXPECT_TRUE(details->isVisible());
    EXPECT_EQ(Title(*w), "NORTH");
    const TrackStatistics expected = AnalyseTrack(*w->Doc()->Store().GetTrackHeader(1)).statistics;
    EXPECT_EQ(details->FigureText(0),
              QStringLiteral("%1 km").arg(expected.lengthMetres / 1000.0, 0, 'f', 2));
    EXPECT_NEAR(expected.lengthMetres, 29 * 71.8, 29 * 1.0);  // 0.0005 degrees both ways a step
    EXPECT_EQ(details->FigureText(2), "0:04:50");             // 29 steps of 10 s
    EXPECT_EQ(details->FigureText(3), "0:04:50");             // all of it moving
    EXPECT_EQ(details->FigureText(7), "+29 m");
    EXPECT_EQ(details->FigureText(8), "-0 m");
    EXPECT_EQ(details->FigureText(9), "129 m");
    EXPECT_EQ(details->FigureText(10), "100 m");
    EXPECT_EQ(details->FigureText(11), "30");
    EXPECT_EQ(details->FigureText(12), "1");

    // The keyboard moves through the tree the same way: up to EAST's second segment.
    w->TreeView1()->setFocus();
    QTest::keyClick(w->TreeView1(), Qt::Key_Up);
    ASSERT_TRUE(WaitFor([&] { return details->CurrentTrack() == 0; }));
    EXPECT_EQ(Title(*w), "EAST");
    EXPECT_EQ(details->FigureText(2), "0:09:50");
    EXPECT_EQ(details->FigureText(11), "60");
    EXPECT_EQ(details->FigureText(12), "2");
    // A waypoint shows no track, and is the row selected in the list.
    ClickNode(*w, w->Tree()->WaypointRoot()->child(1));
    ASSERT_TRUE(WaitFor([&] { return details->CurrentTrack() == -1; }));
    EXPECT_EQ(details->FigureText(0), QString::fromUtf8("—"));
    EXPECT_EQ(List(*w)->WaypointAtRow(List(*w)->View()->currentIndex().row()), 1);
}

TEST_F(DockWiringTest, ProfileAndMapPointAtTheSamePointBothWays) {
    auto w = StartWithWalks();
    TrackDetailsDock* details = Details(*w);
    MapCtrl* map = w->MapCtrl1();
    QStandardItem* tracks = w->Tree()->TrackRoot();

    // A click beside the line shows its track, marks the point on the
    // profiles and the map, and selects the segment's node in the tree.
    for (const auto& [point, node] : {std::pair{20, 0}, std::pair{50, 1}}) {
        SCOPED_TRACE(point);
        EXPECT_EQ(ClickBeside(*w, 0, point), std::make_pair(0, point));
        EXPECT_EQ(details->CurrentTrack(), 0);
        EXPECT_EQ(details->MarkedPoint(), point);
        EXPECT_PRED2(Near, map->MarkedPoint(), PointAngles(*w, 0, point));
        auto* mark = qobject_cast<QScatterSeries*>(details->ElevationView()->chart()->series()[1]);
        ASSERT_EQ(mark->count(), 1);
        EXPECT_DOUBLE_EQ(mark->at(0).y(), 100.0 + point);
        EXPECT_EQ(w->TreeView1()->currentIndex(), tracks->child(node)->index());
        EXPECT_TRUE(details->isVisible());
    }
    QApplication::processEvents();  // the tree's selection settles: still the picked point
    EXPECT_EQ(details->MarkedPoint(), 50);

    // Hovering the elevation profile marks that point on the map.
    QChartView* elevation = details->ElevationView();
    for (int point : {7, 45, 59}) {
        SCOPED_TRACE(point);
        const auto at = details->PlotPixelOf(elevation, point);
        ASSERT_TRUE(at);
        QTest::mouseMove(elevation->viewport(), *at);
        EXPECT_EQ(details->MarkedPoint(), point);
        EXPECT_PRED2(Near, map->MarkedPoint(), PointAngles(*w, 0, point));
    }
    // So do the arrow keys on a profile.
    elevation->setFocus();
    QTest::keyClick(elevation, Qt::Key_Left);
    EXPECT_PRED2(Near, map->MarkedPoint(), PointAngles(*w, 0, 58));
    QTest::keyClick(elevation, Qt::Key_Home);
    EXPECT_EQ(details->MarkedPoint(), 0);
    EXPECT_PRED2(Near, map->MarkedPoint(), PointAngles(*w, 0, 0));

    // Clicks that are no picks: a drag that pans the map and ends on the
    // line, a Ctrl click (a waypoint, cancelled here), any click while sketching.
    const QPoint on = ShowPoint(*w, 1, 10);
    QSignalSpy picked(details, &TrackDetailsDock::TrackPicked);
    QTest::mousePress(map, Qt::LeftButton, {}, on);
    QTest::mouseMove(map, on + QPoint(30, 20));
    QTest::mouseRelease(map, Qt::LeftButton, {}, on + QPoint(30, 20));
    EXPECT_NE(*map->GetLogPoint(PointAngles(*w, 1, 10).latitude, PointAngles(*w, 1, 10).longitude),
              on);  // it did pan
    ShowPoint(*w, 1, 10);
    WhenModal<TfrmInput>([](TfrmInput* d) { d->bbCancel->click(); });
    QTest::mouseClick(map, Qt::LeftButton, Qt::ControlModifier, on);
    WhenModal<TfrmInput>([](TfrmInput* d) {
        QTest::keyClicks(d->edtInput, "new");
        d->bbOk->click();
    });
    w->Action("mnuEditCreateTrack")->trigger();
    QTest::mouseClick(map, Qt::LeftButton, Qt::NoModifier, on);
    w->Action("mnuEditCreateTrack")->trigger();
    EXPECT_EQ(picked.count(), 0);
    // and the same click outside those modes picks NORTH
    EXPECT_EQ(ClickBeside(*w, 1, 10), std::make_pair(1, 10));
    AnswerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w->close());
}

TEST_F(DockWiringTest, LinksFollowDeletingRedrawingReplacingAndSketching) {
    auto w = StartWithWalks();
    TrackDetailsDock* details = Details(*w);
    QStandardItem* tracks = w->Tree()->TrackRoot();
    EXPECT_EQ(ClickBeside(*w, 1, 10), std::make_pair(1, 10));

    // Deleting EAST moves NORTH up to track 0: its line picks track 0.
    const MapAngles north10 = PointAngles(*w, 1, 10);
    ClickNode(*w, tracks->child(0), Qt::ControlModifier);
    ASSERT_EQ(w->Doc()->Store().GetTrackCount(), 1);
    EXPECT_EQ(PointAngles(*w, 0, 10), north10);
    EXPECT_EQ(details->CurrentTrack(), 0);
    EXPECT_EQ(Title(*w), StoreTrackName(*w, 0));  // never the figures of a track that went
    EXPECT_EQ(ClickBeside(*w, 0, 10), std::make_pair(0, 10));

    // The store changed and redrawn, as a download does it.
    AddWalk(w->Doc()->Store(), "SOUTH", 34.9, 139.0, 20, 20);
    w->Doc()->NotifyEdited();
    w->Tree()->Redraw();
    EXPECT_EQ(ClickBeside(*w, 1, 5), std::make_pair(1, 5));
    EXPECT_EQ(ClickBeside(*w, 0, 29), std::make_pair(0, 29));

    // Another file replaces everything: its tracks pick, the dock starts empty.
    TobrelFile other;
    AddWalk(other, "WEST", 36.0, 138.0, 15, 15);
    AnswerMessageBox(QMessageBox::Discard);
    ASSERT_TRUE(w->Files()->OpenFile(SampleFile("other.tb2", &other)));
    EXPECT_EQ(details->CurrentTrack(), -1);
    EXPECT_EQ(ClickBeside(*w, 0, 3), std::make_pair(0, 3));
    EXPECT_EQ(Title(*w), "WEST");

    // Deleting every track: nothing to pick, nothing shown.
    AnswerMessageBox(QMessageBox::Yes);
    w->Action("mnuEditDeleteTrack")->trigger();
    QApplication::processEvents();
    EXPECT_EQ(details->CurrentTrack(), -1);
    const QPoint centre(w->MapCtrl1()->width() / 2, w->MapCtrl1()->height() / 2);
    EXPECT_FALSE(details->PickAt(centre.x(), centre.y()));

    // A sketched track picks once it is a store track.
    WhenModal<TfrmInput>([](TfrmInput* d) {
        QTest::keyClicks(d->edtInput, "drawn");
        d->bbOk->click();
    });
    w->Action("mnuEditCreateTrack")->trigger();
    for (const QPoint& p : {QPoint(100, 100), QPoint(200, 150), QPoint(300, 120)})
        QTest::mouseClick(w->MapCtrl1(), Qt::LeftButton, Qt::ControlModifier, p);
    EXPECT_FALSE(details->PickAt(150, 125));  // not while it is a sketch
    w->Action("mnuEditCreateTrack")->trigger();
    ASSERT_EQ(w->Doc()->Store().GetTrackCount(), 1);
    EXPECT_EQ(ClickBeside(*w, 0, 1), std::make_pair(0, 1));
    EXPECT_EQ(Title(*w), "DRAWN");
    AnswerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w->close());
}

TEST_F(DockWiringTest, WaypointEditsStayWithinTheLimitsAndAreSavedAndReopened) {
    auto w = StartWithWalks();
    WaypointListDock* list = List(*w);
    QTableView* view = list->View();
    list->show();
    list->raise();
    ASSERT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(view->model()->headerData(WaypointTableModel::kLatitude, Qt::Horizontal).toString(),
              "Latitude (Tokyo)");  // the control's datum
    const std::size_t elements = w->MapCtrl1()->ElementCount();
    QStandardItem* node = w->Tree()->WaypointRoot()->child(1);
    const std::int32_t oldLabel = w->Tree()->ElementIdOf(node->index());

    // Typed in the table's editor: a name stops at 23 bytes, a comment at 63.
    const auto type = [&](int waypoint, int column, const QString& text) {
        const QModelIndex cell = view->model()->index(list->RowOfWaypoint(waypoint), column);
        view->setCurrentIndex(cell);
        view->setFocus();
        QTest::keyClick(view, Qt::Key_F2);
        auto* editor = view->findChild<QLineEdit*>();
        ASSERT_TRUE(editor);
        editor->selectAll();
        Type(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents();  // the delegate commits on the next turn
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // and the editor goes
    };
    type(1, WaypointTableModel::kName, "summit of the long ridge");
    type(2, WaypointTableModel::kComment,
         QString::fromUtf8("湧き水は夏でも冷たく、登山道から少し外れた沢の奥にあります。"
                           "水筒を満たすには十分です"));
    const TobrelFile& store = w->Doc()->Store();
    EXPECT_STREQ(store.GetWaypointIdent(1), "SUMMIT OF THE LONG RIDG");
    const std::string comment = store.GetWaypointComment(2);
    EXPECT_EQ(comment.size(), 62u);  // 31 double-byte characters; the 32nd does not fit
    EXPECT_EQ(sorvane::cp932::ToUtf8(comment),
              "湧き水は夏でも冷たく、登山道から少し外れた沢の奥にあります。水");
    EXPECT_TRUE(w->Doc()->IsModified());
    EXPECT_TRUE(w->isWindowModified());
    // The label on the map and the tree node show the new name.
    const std::int32_t newLabel = w->Tree()->ElementIdOf(node->index());
    EXPECT_NE(newLabel, oldLabel);
    EXPECT_EQ(node->text(), NodeText("SUMMIT OF THE LONG RIDG", newLabel));
    EXPECT_EQ(w->MapCtrl1()->ElementCount(), elements);

    // Saved, and read back into the list.
    ASSERT_TRUE(w->Files()->SaveFile(Path("edited.tb2"), NativeFormat()));
    EXPECT_FALSE(w->Doc()->IsModified());
    ASSERT_TRUE(w->Files()->OpenFile(Path("walks.tb2")));
    EXPECT_NE(view->model()->index(list->RowOfWaypoint(1), 0).data().toString(),
              "SUMMIT OF THE LONG RIDG");
    ASSERT_TRUE(w->Files()->OpenFile(Path("edited.tb2")));
    EXPECT_EQ(view->model()->index(list->RowOfWaypoint(1), 0).data().toString(),
              "SUMMIT OF THE LONG RIDG");
    EXPECT_EQ(view->model()->index(list->RowOfWaypoint(2), 1).data().toString().toStdString(),
              sorvane::cp932::ToUtf8(comment));

    // Enter on a row centres the map on its waypoint; the tree's deletions reach the list.
    view->setCurrentIndex(view->model()->index(list->RowOfWaypoint(2), 0));
    QTest::keyClick(view, Qt::Key_Return);
    const auto c =
        w->MapCtrl1()->GetLatLongPoint(w->MapCtrl1()->width() / 2, w->MapCtrl1()->height() / 2);
    EXPECT_EQ(*c, (MapAngles{Angle(35.03), Angle(139.03)}));
    ClickNode(*w, w->Tree()->WaypointRoot()->child(0), Qt::ControlModifier);
    EXPECT_EQ(view->model()->rowCount(), 2);
    EXPECT_EQ(view->model()->index(list->RowOfWaypoint(0), 0).data().toString(),
              "SUMMIT OF THE LONG RIDG");
    AnswerMessageBox(QMessageBox::Discard);
    EXPECT_TRUE(w->close());
}

TEST_F(DockWiringTest, DocksWaitUntilWantedShareTheRightSideAndComeBackAfterARestart) {
    {
        auto w = StartWithWalks();
        QMenu* view = w->Menu("mmView");
        ASSERT_EQ(view->actions().size(), 3);
        // A first run keeps the window's own layout; the satellites come with live.
        EXPECT_FALSE(view->actions()[0]->isChecked());
        EXPECT_FALSE(view->actions()[1]->isChecked());
        EXPECT_FALSE(view->actions()[2]->isChecked());
        EXPECT_EQ(w->size(), QSize(792, 561));
        // The View menu shows the list; a track selected shows the details,
        // as a tab beside the list.
        view->actions()[1]->trigger();
        EXPECT_TRUE(List(*w)->isVisible());
        ClickNode(*w, w->Tree()->TrackRoot()->child(2));
        ASSERT_TRUE(WaitFor([&] { return Details(*w)->isVisible(); }));
        EXPECT_TRUE(view->actions()[0]->isChecked());
        EXPECT_EQ(w->dockWidgetArea(Details(*w)), Qt::RightDockWidgetArea);
        EXPECT_EQ(w->tabifiedDockWidgets(Details(*w)),
                  (QList<QDockWidget*>{List(*w), w->Live()->Panel()}));
        EXPECT_EQ(w->size(), QSize(792, 561));  // the docks fit the window's first size
        view->actions()[1]->trigger();          // hides the list again
        EXPECT_FALSE(view->actions()[1]->isChecked());
        EXPECT_EQ(Details(*w)->ElevationView()->accessibleName(), "Elevation");
        EXPECT_EQ(List(*w)->View()->accessibleName(), "Waypoints");
        EXPECT_EQ(w->Sorvane1()->Info().datumName, "Tokyo");
        const sorvane::DatumShift datum = w->Sorvane1()->Info().datum;
        const sorvane::DatumShift tokyo = DatumConverter::TokyoShift();
        EXPECT_EQ(std::tie(datum.dA, datum.dF, datum.dX, datum.dY, datum.dZ),
                  std::tie(tokyo.dA, tokyo.dF, tokyo.dX, tokyo.dY, tokyo.dZ));
        EXPECT_TRUE(w->close());
    }
    auto w = Start();
    EXPECT_TRUE(w->Menu("mmView")->actions()[0]->isChecked());
    EXPECT_TRUE(Details(*w)->isVisible());
    EXPECT_FALSE(w->Menu("mmView")->actions()[1]->isChecked());
    EXPECT_FALSE(List(*w)->isVisible());
}

}  // namespace
}  // namespace tobrel
