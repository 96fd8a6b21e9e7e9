// The docks: track figures and profiles linked with the map both ways, and
// the waypoint list with its edits kept within the store's byte limits and
// saved by the native writer.
#include <gtest/gtest.h>

#include <QChartView>
#include <QLineEdit>
#include <QLineSeries>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include "data/native_file.h"
#include "map_test_support.h"
#include "text/cp932.h"
#include "ui/docks/track_details_dock.h"
#include "ui/docks/waypoint_list_dock.h"
#include "ui/docks/waypoint_table_model.h"

namespace tobrel {
namespace {

using test::Angle;

std::string Cp932(const char* utf8) {
    return sorvane::cp932::FromUtf8(utf8);
}

// ---------------------------------------------------------------- tracks

// A walk north-east from 35 N 139 E: 200 points a second apart in two
// segments, climbing to point 120 and down again; every tenth point has no
// altitude and points 50 to 59 no time.
void AddWalk(TobrelFile& store, const char* name) {
    const int t = store.GetTrackCount();
    ASSERT_TRUE(store.AddTracks(1));
    store.SetTrackName(t, name);
    ASSERT_TRUE(store.SetTrackPointCount(t, 200));
    store.SetTrackSegmentCount(t, 2);
    for (int i = 0; i < 200; ++i) {
        const double altitude = i % 10 == 5 ? -9999.0 : 500.0 + (i < 120 ? i : 240 - i);
        store.SetTrackPoint(t, i, i < 150 ? 1 : 2, 35.0 + i * 0.00005, 139.0 + i * 0.00005,
                            altitude);
        store.SetTrackPointTime(t, i, i >= 50 && i < 60 ? 0 : 1000000000u + i);
    }
}

class TrackDockTest : public test::MapTest {
  protected:
    void SetUp() override {
        test::MapTest::SetUp();
        AddWalk(store_, "WALK");
        AddWalk(store_, "OTHER");
        UseWgs84At(35.005, 139.005, 5000);  // a point every 5 pixels
        dock_ = std::make_unique<TrackDetailsDock>(store_, map_.get());
        dock_->resize(360, 700);
        // Each segment a polyline, as the window draws them, linked to the dock.
        auto c = Collection();
        ASSERT_TRUE(c);
        for (int t = 0; t < 2; ++t) {
            int first = 0, last = 0;
            for (int s = 1; store_.FindSegmentRange(t, s, &first, &last); ++s) {
                std::vector<double> lats, lons;
                for (int i = first; i <= last; ++i) {
                    double lat = 0, lon = 0, alt = 0;
                    store_.GetTrackPoint(t, i, &lat, &lon, &alt);
                    // the second track lies 0.004 degrees further south
                    lats.push_back(lat - t * kShift);
                    lons.push_back(lon);
                }
                const std::int32_t id = Line(*c, lats, lons);
                ASSERT_GT(id, 0);
                dock_->LinkElement(id, t, first);
            }
        }
    }
    // Centres the map on a drawn track point and clicks `offset` from it.
    void ClickNear(int track, int point, QPoint offset) {
        double lat = 0, lon = 0, alt = 0;
        store_.GetTrackPoint(track, point, &lat, &lon, &alt);
        ASSERT_TRUE(map_->MoveTo(Angle(lat - track * kShift), Angle(lon), 1, 0));
        const QPoint p = Pixel(lat - track * kShift, lon) + offset;
        test::Mouse(*map_, QEvent::MouseButtonPress, p, Qt::LeftButton);
        test::Mouse(*map_, QEvent::MouseButtonRelease, p, Qt::LeftButton);
    }
    static constexpr double kShift = 0.004;
    static QLineSeries* LineOf(QChartView* view) {
        return qobject_cast<QLineSeries*>(view->chart()->series().value(0));
    }
    static QScatterSeries* MarkOf(QChartView* view) {
        return qobject_cast<QScatterSeries*>(view->chart()->series().value(1));
    }

    TobrelFile store_;
    std::unique_ptr<TrackDetailsDock> dock_;
};

TEST_F(TrackDockTest, FiguresAndProfilesOfTheSelectedTrack) {
    EXPECT_EQ(dock_->CurrentTrack(), -1);
    for (int row = 0; row < TrackDetailsDock::kFigureCount; ++row)
        EXPECT_EQ(dock_->FigureText(row), QString::fromUtf8("—")) << row;
    dock_->ShowTrack(0);
    ASSERT_EQ(dock_->CurrentTrack(), 0);
    const TrackStatistics& s = dock_->Analysis().statistics;
    EXPECT_EQ(s.points, 200);
    EXPECT_EQ(s.segments, 2);
    EXPECT_EQ(dock_->FigureText(11), "200");
    EXPECT_EQ(dock_->FigureText(12), "2");
    // 199 steps of 0.00005 degrees both ways, less the one between the segments
    const double step = SphereDistance(35.0, 139.0, 35.00005, 139.00005);
    EXPECT_NEAR(s.lengthMetres, 198 * step, 198 * step * 0.01);
    EXPECT_EQ(dock_->FigureText(0), QStringLiteral("%1 km").arg(s.lengthMetres / 1000, 0, 'f', 2));
    EXPECT_EQ(dock_->FigureText(2), "0:03:19");  // 199 s
    EXPECT_EQ(dock_->FigureText(9), "620 m");    // the top at point 120
    // points without altitude or time are not in the profiles, not drawn as zero
    QLineSeries* elevation = LineOf(dock_->ElevationView());
    QLineSeries* speed = LineOf(dock_->SpeedView());
    ASSERT_TRUE(elevation && speed);
    EXPECT_EQ(elevation->count(), 180);
    EXPECT_EQ(speed->count(), 190);
    for (const QPointF& p : elevation->points())
        EXPECT_GE(p.y(), 500.0);
    // another track replaces it all; a track that is not there clears the dock
    dock_->ShowTrack(7);
    EXPECT_EQ(dock_->CurrentTrack(), -1);
    EXPECT_EQ(elevation->count(), 0);
}

TEST_F(TrackDockTest, HoveringTheProfileMarksThePointOnTheMap) {
    dock_->ShowTrack(0);
    dock_->show();
    QSignalSpy hovered(dock_.get(), &TrackDetailsDock::PointHovered);
    for (QChartView* view : {dock_->ElevationView(), dock_->SpeedView()}) {
        for (int point : {12, 99, 170}) {
            SCOPED_TRACE(point);
            const auto at = dock_->PlotPixelOf(view, point);
            ASSERT_TRUE(at);
            QTest::mouseMove(view->viewport(), *at);
            ASSERT_FALSE(hovered.isEmpty());
            // the nearest plotted point; at most one left-out neighbour away
            const int got = hovered.last().value(1).toInt();
            EXPECT_EQ(hovered.last().value(0).toInt(), 0);
            EXPECT_LE(std::abs(got - point), 1);
            EXPECT_EQ(dock_->MarkedPoint(), got);
            double lat = 0, lon = 0, alt = 0;
            store_.GetTrackPoint(0, got, &lat, &lon, &alt);
            const auto marked = map_->MarkedPoint();
            ASSERT_TRUE(marked);
            EXPECT_NEAR(marked->latitude, Angle(lat), 2);
            EXPECT_NEAR(marked->longitude, Angle(lon), 2);
        }
    }
    // and the map shows it there
    const MapAngles marked = *map_->MarkedPoint();
    ASSERT_TRUE(map_->MoveTo(marked.latitude, marked.longitude, 1, 0));
    const QPoint pixel = *map_->GetLogPoint(marked.latitude, marked.longitude);
    EXPECT_TRUE(test::AnyNear(test::Render(*map_), pixel.x() + 7, pixel.y(), 1, [](QRgb c) {
        return qRed(c) > 220 && qGreen(c) > 110 && qGreen(c) < 170 && qBlue(c) < 60;
    }));
}

TEST_F(TrackDockTest, KeysStepAlongTheProfileThroughARestToo) {
    // A third track of 41 points that rests at one place from point 3 to 6.
    const int t = store_.GetTrackCount();
    ASSERT_TRUE(store_.AddTracks(1));
    ASSERT_TRUE(store_.SetTrackPointCount(t, 41));
    store_.SetTrackSegmentCount(t, 1);
    for (int i = 0; i < 41; ++i) {
        const int step = std::clamp(i, 3, 6) == i ? 3 : (i < 3 ? i : i - 3);
        store_.SetTrackPoint(t, i, 1, 34.0 + step * 0.0001, 135.0, 10.0 + i);
        store_.SetTrackPointTime(t, i, 1000000000u + i);
    }
    dock_->ShowTrack(t);
    dock_->show();
    QChartView* view = dock_->ElevationView();
    QSignalSpy hovered(dock_.get(), &TrackDetailsDock::PointHovered);
    struct Row {
        Qt::Key key;
        int point;
    };
    const Row rows[] = {
        {Qt::Key_Right, 0},  {Qt::Key_Right, 1},   {Qt::Key_Right, 2},    {Qt::Key_Right, 3},
        {Qt::Key_Right, 4},  {Qt::Key_Right, 5},   {Qt::Key_Right, 6},    {Qt::Key_Right, 7},
        {Qt::Key_Left, 6},   {Qt::Key_Left, 5},    {Qt::Key_PageDown, 7}, {Qt::Key_End, 40},
        {Qt::Key_Right, 40}, {Qt::Key_PageUp, 38}, {Qt::Key_Home, 0},     {Qt::Key_Left, 0}};
    for (const Row& row : rows) {
        QTest::keyClick(view, row.key);
        EXPECT_EQ(dock_->MarkedPoint(), row.point) << row.key;
    }
    EXPECT_EQ(hovered.count(), 14);  // once for every move, none where it stayed
    EXPECT_EQ(hovered.last(), (QList<QVariant>{t, 0}));
    double lat = 0, lon = 0, alt = 0;
    store_.GetTrackPoint(t, 0, &lat, &lon, &alt);
    const auto marked = map_->MarkedPoint();
    ASSERT_TRUE(marked);
    EXPECT_NEAR(marked->latitude, Angle(lat), 1);
    EXPECT_NEAR(marked->longitude, Angle(lon), 1);
    // other keys are the view's own
    QTest::keyClick(view, Qt::Key_A);
    EXPECT_EQ(hovered.count(), 14);
}

TEST_F(TrackDockTest, ClickingNearTheTrackOnTheMapMarksThePlot) {
    QObject::connect(
        map_.get(), &MapCtrl::OnMouseUp, dock_.get(),
        [this](Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) { dock_->PickAt(x, y); });
    QSignalSpy picked(dock_.get(), &TrackDetailsDock::TrackPicked);
    // the second track, second segment: the map picks it and marks the plot
    // (the line runs north-east; the click is 3 pixels off it, square to it)
    ClickNear(1, 170, {2, 2});
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0], (QList<QVariant>{1, 170}));
    EXPECT_EQ(dock_->CurrentTrack(), 1);
    EXPECT_EQ(dock_->MarkedPoint(), 170);
    QScatterSeries* mark = MarkOf(dock_->ElevationView());
    ASSERT_EQ(mark->count(), 1);
    EXPECT_NEAR(mark->at(0).x() * 1000, dock_->Analysis().distanceAt[170], 1e-6);
    // a point without altitude is marked at its nearest neighbour with one
    ClickNear(1, 25, {-2, -2});
    ASSERT_EQ(picked.count(), 2);
    EXPECT_EQ(picked[1].value(1).toInt(), 25);
    ASSERT_EQ(mark->count(), 1);
    EXPECT_NE(mark->at(0).y(), 0.0);
    // far from every line, or on a line nobody linked: nothing
    ClickNear(0, 100, {12, 12});
    EXPECT_EQ(picked.count(), 2);
    dock_->ClearLinks();
    EXPECT_FALSE(dock_->PickAt(map_->width() / 2, map_->height() / 2));
    EXPECT_EQ(picked.count(), 2);
    EXPECT_EQ(dock_->CurrentTrack(), 1);
    // a mark for a track that is not shown is ignored
    dock_->MarkPoint(0, 3);
    EXPECT_EQ(dock_->MarkedPoint(), 25);
}

// ---------------------------------------------------------------- waypoints

class WaypointDockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.SetWaypointCount(4);
        store_.SetWaypoint(0, "TOKYO", "station", 35.681, 139.767, 10, 0, 18, 0);
        store_.SetWaypoint(1, Cp932("富士山").c_str(), Cp932("山頂").c_str(), 35.3606, 138.7274,
                           3776, 0, 8, 0);
        store_.SetWaypoint(2, "NINE", "", 34.0, 135.0, 9, 0, 9999, 0);
        store_.SetWaypoint(3, "NONE", "", 33.0, 130.0, -9999.0, 0, 18, 0);
        dock_ = std::make_unique<WaypointListDock>(store_);
        dock_->resize(600, 300);
    }
    QModelIndex Source(int row, int column) { return dock_->Model()->index(row, column); }
    QString Shown(int row, int column) {
        return dock_->View()->model()->index(row, column).data().toString();
    }

    TobrelFile store_;
    std::unique_ptr<WaypointListDock> dock_;
};

TEST_F(WaypointDockTest, ColumnsAndSortingByValue) {
    using M = WaypointTableModel;
    ASSERT_EQ(dock_->View()->model()->rowCount(), 4);
    EXPECT_EQ(Shown(1, M::kName), QString::fromUtf8("富士山"));
    EXPECT_EQ(Shown(1, M::kComment), QString::fromUtf8("山頂"));
    EXPECT_EQ(Shown(1, M::kLatitude), "35.360600");
    EXPECT_EQ(Shown(1, M::kAltitude), "3776.0");
    EXPECT_EQ(Shown(3, M::kAltitude), "");  // no altitude is not shown as a number
    EXPECT_EQ(Shown(0, M::kSymbol), "Waypoint dot");
    EXPECT_EQ(Shown(2, M::kSymbol), "9999");  // a number without a name
    dock_->SetDatumName("Tokyo");
    EXPECT_EQ(dock_->View()->model()->headerData(M::kLatitude, Qt::Horizontal).toString(),
              QString("Latitude (Tokyo)"));
    // by altitude: numbers, not texts ("9" after "10" as text); none first
    dock_->View()->sortByColumn(M::kAltitude, Qt::AscendingOrder);
    std::vector<int> order;
    for (int row = 0; row < 4; ++row)
        order.push_back(dock_->WaypointAtRow(row));
    EXPECT_EQ(order, (std::vector<int>{3, 2, 0, 1}));
    EXPECT_EQ(dock_->RowOfWaypoint(1), 3);
    dock_->View()->sortByColumn(M::kName, Qt::AscendingOrder);
    EXPECT_EQ(Shown(0, M::kName), "NINE");
    // double-click centres on the waypoint of that row, whatever the order
    QSignalSpy centre(dock_.get(), &WaypointListDock::CentreOnWaypoint);
    dock_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dock_.get()));
    const QRect cell = dock_->View()->visualRect(dock_->View()->model()->index(0, M::kLatitude));
    // what a mouse sends: press, release, double-click, release
    QWidget* viewport = dock_->View()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, cell.center());
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(centre.count(), 1);
    EXPECT_EQ(centre[0], (QList<QVariant>{2, 34.0, 135.0}));
    QCoreApplication::processEvents();
    EXPECT_FALSE(dock_->View()->findChild<QLineEdit*>());  // no editor opened
}

TEST_F(WaypointDockTest, EditsStayWithinTheByteLimitsAndAreSaved) {
    using M = WaypointTableModel;
    WaypointTableModel* model = dock_->Model();
    QSignalSpy modified(dock_.get(), &WaypointListDock::modified);
    QSignalSpy edited(dock_.get(), &WaypointListDock::WaypointEdited);
    struct Row {
        int row, column;
        const char* typed;
        bool accepted;
        const char* stored;  // code page 932 of this UTF-8
    };
    const Row rows[] = {
        {0, M::kName, "shinjuku-1", true, "SHINJUKU-1"},  // names are upper-cased
        {0, M::kComment, "mixed Case kept", true, "mixed Case kept"},
        // 12 kanji are 24 bytes: the name keeps 11 (22 bytes), not half of the 12th
        {1, M::kName, "一二三四五六七八九十百千", true, "一二三四五六七八九十百"},
        // 23 single bytes and a kanji: the kanji does not fit at all
        {2, M::kName, "ABCDEFGHIJKLMNOPQRSTUVW漢", true, "ABCDEFGHIJKLMNOPQRSTUVW"},
        {2, M::kComment, "東京から大阪まで東海道を歩いた記録です。途中で富士山を見ました。", true,
         "東京から大阪まで東海道を歩いた記録です。途中で富士山を見ました"},  // 62 of 63 bytes
        {3, M::kName, "SNOW\xe2\x98\x83", false, "NONE"},  // a snowman is not in the code page
        {3, M::kComment, "two\nlines", false, ""},
        {3, M::kName, "NONE", true, "NONE"},  // unchanged: no modification
    };
    int changes = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.typed);
        const std::string before = r.column == M::kName ? store_.GetWaypointIdent(r.row)
                                                        : store_.GetWaypointComment(r.row);
        EXPECT_EQ(model->setData(Source(r.row, r.column), QString::fromUtf8(r.typed), Qt::EditRole),
                  r.accepted);
        const std::string now = r.column == M::kName ? store_.GetWaypointIdent(r.row)
                                                     : store_.GetWaypointComment(r.row);
        EXPECT_EQ(now, Cp932(r.stored));
        EXPECT_LE(now.size(), std::size_t(r.column == M::kName ? kNameMax : kCommentMax));
        changes += now != before;
    }
    EXPECT_EQ(modified.count(), changes);
    EXPECT_EQ(edited.count(), changes);
    EXPECT_EQ(edited[0][0].toInt(), 0);
    // the rest of the record is untouched
    double lat = 0, lon = 0, alt = 0;
    store_.GetWaypointPosition(1, &lat, &lon, &alt);
    EXPECT_EQ(std::make_tuple(lat, lon, alt), std::make_tuple(35.3606, 138.7274, 3776.0));
    EXPECT_EQ(store_.GetWaypointSymbol(2), 9999);
    // positions are not editable
    EXPECT_FALSE(model->flags(Source(0, M::kLatitude)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(Source(0, M::kLatitude), "1.0", Qt::EditRole));

    // saved by the native writer and read back as edited
    QTemporaryDir dir;
    const std::string path = dir.filePath("edited.tb2").toStdString();
    ASSERT_TRUE(WriteNativeFile(store_, path));
    TobrelFile back;
    ASSERT_TRUE(ReadNativeFile(back, path));
    ASSERT_EQ(back.GetWaypointCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(back.GetWaypointIdent(i), store_.GetWaypointIdent(i)) << i;
        EXPECT_STREQ(back.GetWaypointComment(i), store_.GetWaypointComment(i)) << i;
    }
    EXPECT_EQ(std::string(back.GetWaypointIdent(1)), Cp932("一二三四五六七八九十百"));
}

// Types text a key at a time, as a keyboard (or an input method) would.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &release);
    }
}

TEST_F(WaypointDockTest, TheEditorStopsTypingAtTheLimit) {
    dock_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dock_.get()));
    QTableView* view = dock_->View();
    const QModelIndex cell = view->model()->index(0, WaypointTableModel::kName);
    view->setCurrentIndex(cell);
    view->edit(cell);
    auto* editor = view->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->selectAll();
    Type(editor, QString::fromUtf8("あいうえおかきくけこさしすせそ"));       // 2 bytes each
    EXPECT_EQ(editor->text(), QString::fromUtf8("あいうえおかきくけこさ"));  // 22 bytes
    Type(editor, "XY");
    EXPECT_EQ(editor->text(), QString::fromUtf8("あいうえおかきくけこさX"));  // 23
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits on the next turn
    EXPECT_EQ(std::string(store_.GetWaypointIdent(0)), Cp932("あいうえおかきくけこさX"));
    // text from outside the dock: reload shows the store again
    store_.SetWaypoint(0, "OUTSIDE", "", 1, 2, 3, 0, 18, 0);
    store_.DeleteWaypoint(3);
    dock_->Reload();
    EXPECT_EQ(view->model()->rowCount(), 3);
    EXPECT_EQ(Shown(dock_->RowOfWaypoint(0), WaypointTableModel::kName), "OUTSIDE");
    dock_->SelectWaypoint(2);
    EXPECT_EQ(dock_->WaypointAtRow(view->currentIndex().row()), 2);
}

}  // namespace
}  // namespace tobrel
