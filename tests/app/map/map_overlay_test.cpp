// The overlay: drawing set-up and release, lists, the sketch, waypoint
// placing and the routines that tie the store, the map and the tree together.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTreeWidget>

#include "data/tobrel_file.h"
#include "map/map_overlay.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::Angle;
using test::AnyNear;
using test::IsTrackRed;
using test::Render;

class MapOverlayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        map_ = std::make_unique<MapCtrl>(nullptr, test::TempPaths(dir_));
        map_->resize(400, 300);
        map_->SetDatumShift({});
        ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 250000));
        tree_.setColumnCount(1);
        waypointRoot_ = new QTreeWidgetItem(&tree_, {QString::fromUtf8("ウェイポイント")});
        trackRoot_ = new QTreeWidgetItem(&tree_, {QString::fromUtf8("トラック")});
    }
    std::unique_ptr<MapOverlay> MakeOverlay() {
        return std::make_unique<MapOverlay>(map_.get(),
                                            [this](const QString& m) { diagnostics_.append(m); });
    }
    void MouseAt(int x, int y) {
        QMouseEvent e(QEvent::MouseMove, QPointF(x, y), map_->mapToGlobal(QPointF(x, y)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(map_.get(), &e);
    }
    // A track with points (lat, lon, segment).
    void AddTrack(const char* name, const std::vector<std::tuple<double, double, int>>& points,
                  int segments) {
        ASSERT_TRUE(store_.AddTracks(1));
        const int t = store_.GetTrackCount() - 1;
        store_.SetTrackName(t, name);
        ASSERT_TRUE(store_.SetTrackPointCount(t, static_cast<int>(points.size())));
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto& [lat, lon, seg] = points[i];
            store_.SetTrackPoint(t, static_cast<int>(i), seg, lat, lon, 0.0);
        }
        store_.SetTrackSegmentCount(t, segments);
    }

    QTemporaryDir dir_;
    std::unique_ptr<MapCtrl> map_;
    QStringList diagnostics_;
    QTreeWidget tree_;
    QTreeWidgetItem* waypointRoot_ = nullptr;
    QTreeWidgetItem* trackRoot_ = nullptr;
    TobrelFile store_;
};

TEST_F(MapOverlayTest, SetUpAndReleaseWithoutDiagnostics) {
    {
        auto overlay = MakeOverlay();
        EXPECT_TRUE(overlay->IsDrawingReady());
        EXPECT_FALSE(overlay->CreatingTrack);
        const double lats[] = {35.0, 35.01};
        const double lons[] = {139.0, 139.01};
        EXPECT_GT(overlay->DrawPolyline(2, lats, lons), 0);
        EXPECT_EQ(map_->ElementCount(), 1u);
    }
    EXPECT_TRUE(diagnostics_.isEmpty());
    EXPECT_EQ(map_->ElementCount(), 0u);  // released with its collection
}

TEST_F(MapOverlayTest, FailedSetUpIsReportedAndDrawingReturnsZero) {
    std::vector<std::shared_ptr<MpsClient>> hog;
    while (auto c = map_->MPSObject()->GetClient()) {
        hog.push_back(c);
    }
    auto overlay = MakeOverlay();
    ASSERT_EQ(diagnostics_.size(), 1);
    EXPECT_TRUE(diagnostics_[0].contains("S_OK == hresult"));
    EXPECT_TRUE(diagnostics_[0].contains("GetClient"));
    EXPECT_FALSE(overlay->IsDrawingReady());
    const double lats[] = {35.0, 35.01};
    const double lons[] = {139.0, 139.01};
    EXPECT_EQ(overlay->DrawPolyline(2, lats, lons), 0);
    EXPECT_EQ(overlay->DrawText(35.0, 139.0, "A"), 0);
    overlay->EraseElement(1);
    // lists and settings still work
    EXPECT_EQ(overlay->GetAreaCount(), 1);
    overlay->SetLayerScale(70000);
    EXPECT_EQ(overlay->GetLayerScale(), 70000);
    overlay.reset();
    EXPECT_EQ(diagnostics_.size(), 1);  // nothing was set up, nothing to release
}

TEST_F(MapOverlayTest, FailedReleaseIsReported) {
    auto overlay = MakeOverlay();
    ASSERT_TRUE(overlay->IsDrawingReady());
    // someone else released the overlay's client (the first one handed out)
    ASSERT_TRUE(map_->MPSObject()->ReleaseClient(1));
    overlay.reset();
    ASSERT_EQ(diagnostics_.size(), 2);
    EXPECT_TRUE(diagnostics_[0].contains("ReleaseCollection"));
    EXPECT_TRUE(diagnostics_[1].contains("ReleaseClient"));
    EXPECT_TRUE(diagnostics_[1].contains("S_OK == hresult"));
}

TEST_F(MapOverlayTest, ListsAndSettings) {
    auto overlay = MakeOverlay();
    QString code, title;
    ASSERT_EQ(overlay->GetAreaCount(), 1);
    EXPECT_TRUE(overlay->GetAreaItem(0, &code, &title));
    EXPECT_EQ(code, "WORLD");
    EXPECT_FALSE(title.isEmpty());
    EXPECT_FALSE(overlay->GetAreaItem(5, &code, &title));
    EXPECT_TRUE(code.isEmpty());
    EXPECT_TRUE(title.isEmpty());
    std::int32_t scale = 0;
    EXPECT_EQ(overlay->GetLayerCount(), static_cast<int>(LayerScales().size()));
    EXPECT_TRUE(overlay->GetLayerItem(0, &scale, &title));
    EXPECT_EQ(scale, LayerScales()[0]);
    EXPECT_FALSE(overlay->GetLayerItem(-1, &scale, &title));
    EXPECT_EQ(scale, 0);
    EXPECT_TRUE(overlay->IsLayerEnabled(0));
    EXPECT_FALSE(overlay->IsLayerEnabled(99));
    overlay->SetPalette(1);
    EXPECT_EQ(map_->PaletteID(), 1);
    overlay->SetScrollBar(false);
    EXPECT_FALSE(map_->ScrollBar());
    overlay->SelectArea("NOWHERE");
    EXPECT_EQ(map_->AreaCode(), "WORLD");
    // CentreOnPosition truncates degrees into map angles
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    overlay->CentreOnPosition(34.5000001, -0.0000004);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), 124200000);
    EXPECT_EQ(moved[0][1].toInt(), -1);
    std::int32_t lat = 0, lon = 0;
    EXPECT_TRUE(overlay->PixelToLatLong(200, 150, &lat, &lon));
    EXPECT_EQ(lat, 124200000);
    EXPECT_FALSE(overlay->CentreMap(0, 0, 2, 0));
}

TEST_F(MapOverlayTest, SketchOfOnePointDrawsNothingAndRemovingFromEmptyIsHarmless) {
    auto overlay = MakeOverlay();
    EXPECT_EQ(overlay->UpdateSketch(true), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
    MouseAt(100, 100);
    EXPECT_EQ(overlay->UpdateSketch(false), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 1u);
    EXPECT_EQ(map_->ElementCount(), 0u);
    MouseAt(200, 120);
    const std::int32_t id = overlay->UpdateSketch(false);
    EXPECT_GT(id, 0);
    const auto second = map_->GetLatLongPoint(200, 120);
    EXPECT_EQ(overlay->SketchPoints().latitudes[1], second->latitude);
    EXPECT_EQ(overlay->SketchPoints().longitudes[1], second->longitude);
    EXPECT_EQ(overlay->UpdateSketch(true), -1);  // back to one point
    EXPECT_EQ(overlay->SketchPoints().size(), 1u);
    overlay->ClearSketch();
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
    EXPECT_EQ(overlay->UpdateSketch(true), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
}

TEST_F(MapOverlayTest, SketchWithoutAMousePositionAddsNoBogusPoint) {
    auto overlay = MakeOverlay();
    EXPECT_EQ(overlay->UpdateSketch(false), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
}

TEST_F(MapOverlayTest, DrawAllTracksGivesOneNodePerSegment) {
    auto overlay = MakeOverlay();
    AddTrack("TRACK-1",
             {{35.0, 139.0, 1}, {35.01, 139.01, 1}, {35.02, 139.0, 2}, {35.03, 139.0, 2}}, 2);
    AddTrack("B", {{34.9, 138.9, 1}, {34.91, 138.9, 2}, {34.92, 138.9, 3}}, 3);
    TrackCursor cursor;
    overlay->DrawAllTracks(store_, trackRoot_, &cursor);
    ASSERT_EQ(trackRoot_->childCount(), 5);
    EXPECT_EQ(map_->ElementCount(), 5u);
    for (int i = 0; i < 5; ++i) {
        const QString text = trackRoot_->child(i)->text(0);
        const std::int32_t id = ElementIdOfNodeText(text);
        EXPECT_GT(id, 0);
        EXPECT_EQ(text, NodeText(i < 2 ? "TRACK-1" : "B", id));
    }
    EXPECT_EQ(cursor.CurrentName, "B");
    EXPECT_EQ(cursor.CurrentNode, trackRoot_->child(4));
    EXPECT_EQ(cursor.CurrentElementId, ElementIdOfNodeText(trackRoot_->child(4)->text(0)));
    overlay->EraseTrackElements(trackRoot_);
    EXPECT_EQ(trackRoot_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
}

TEST_F(MapOverlayTest, TrackWhoseSegmentTwoHasNoPointsDrawsOnlySegmentOne) {
    auto overlay = MakeOverlay();
    AddTrack("T", {{35.0, 139.0, 1}, {35.01, 139.01, 1}, {35.02, 139.02, 1}}, 3);
    TrackCursor cursor;
    overlay->DrawAllTracks(store_, trackRoot_, &cursor);
    ASSERT_EQ(trackRoot_->childCount(), 1);
    EXPECT_EQ(map_->ElementCount(), 1u);
    // the one polyline holds all three points: its end is drawn
    const QPoint end = *map_->GetLogPoint(Angle(35.02), Angle(139.02));
    EXPECT_TRUE(AnyNear(Render(*map_), end.x(), end.y(), 1, IsTrackRed));
}

TEST_F(MapOverlayTest, SegmentsOutOfOrderNeverReadPastTheTrack) {
    auto overlay = MakeOverlay();
    // segment 1 spans indices 0..3, segment 2 is index 1: together more than 4 points
    AddTrack("T", {{35.0, 139.0, 1}, {35.01, 139.0, 2}, {35.02, 139.0, 1}, {35.03, 139.0, 1}}, 2);
    TrackCursor cursor;
    overlay->DrawAllTracks(store_, trackRoot_, &cursor);
    EXPECT_EQ(trackRoot_->childCount(), 1);
    EXPECT_EQ(map_->ElementCount(), 1u);
}

TEST_F(MapOverlayTest, WaypointLabelsArePlacedAt70000AndTheScaleIsRestored) {
    auto overlay = MakeOverlay();
    ASSERT_EQ(store_.AddWaypoints(2), 0);
    store_.SetWaypoint(0, "WPT-A", "", 35.01, 139.02, 0, 0, 18, 0);
    store_.SetWaypoint(1, "\x93\x8c\x8b\x9e", "", 34.98, 138.97, 0, 0, 18, 0);  // 東京
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    overlay->DrawAllWaypoints(store_, waypointRoot_);
    ASSERT_EQ(layer.count(), 2);
    EXPECT_EQ(layer[0][1].toInt(), 70000);
    EXPECT_EQ(layer[1][0].toInt(), 70000);
    EXPECT_EQ(layer[1][1].toInt(), 250000);
    EXPECT_EQ(overlay->GetLayerScale(), 250000);
    ASSERT_EQ(waypointRoot_->childCount(), 2);
    EXPECT_EQ(waypointRoot_->child(1)->text(0).section('/', 0, 0), QString::fromUtf8("東京"));
    // each label's marker sits on its waypoint at the restored scale
    const QImage image = Render(*map_);
    auto isMarker = [](QRgb p) { return qBlue(p) > 60 && qRed(p) < 60 && qGreen(p) < 60; };
    for (const auto& [lat, lon] : {std::pair{35.01, 139.02}, std::pair{34.98, 138.97}}) {
        const QPoint at = *map_->GetLogPoint(Angle(lat), Angle(lon));
        EXPECT_TRUE(AnyNear(image, at.x(), at.y(), 1, isMarker)) << lat;
    }
    overlay->EraseWaypointElements(waypointRoot_);
    EXPECT_EQ(waypointRoot_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
}

TEST_F(MapOverlayTest, NodeNameWithASlashErasesItsOwnElement) {
    auto overlay = MakeOverlay();
    std::vector<std::int32_t> ids;
    for (int i = 0; i < 8; ++i) {
        ids.push_back(overlay->DrawText(35.0, 139.0 + i * 0.001, QString::number(i)));
    }
    ASSERT_EQ(ids[6], 7);
    // the waypoint "A/B" drawn as element 7; element 1 belongs to someone else
    new QTreeWidgetItem(waypointRoot_, {NodeText("A/B", 7)});
    ASSERT_EQ(waypointRoot_->child(0)->text(0), "A/B/7");
    overlay->EraseWaypointElements(waypointRoot_);
    EXPECT_EQ(waypointRoot_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 7u);
    overlay->EraseElement(7);  // already gone
    EXPECT_EQ(map_->ElementCount(), 7u);
    // a node "A/1/7" must not erase element 1, which is another waypoint's
    new QTreeWidgetItem(waypointRoot_, {"A/1/7"});
    overlay->EraseWaypointElements(waypointRoot_);
    EXPECT_EQ(map_->ElementCount(), 7u);
    overlay->EraseElement(1);  // still there until now
    EXPECT_EQ(map_->ElementCount(), 6u);
}

TEST_F(MapOverlayTest, PlaceWaypointAsksForANameAndLabelsTheClick) {
    auto overlay = MakeOverlay();
    // without a dialog, or cancelled: nothing
    EXPECT_FALSE(overlay->PlaceWaypoint(120, 80).has_value());
    QString askedCaption;
    overlay->SetNamePrompt([&](const QString& caption) -> std::optional<QString> {
        askedCaption = caption;
        return std::nullopt;
    });
    EXPECT_FALSE(overlay->PlaceWaypoint(120, 80).has_value());
    EXPECT_EQ(askedCaption, QString::fromUtf8("ウェイポイント名称入力"));
    EXPECT_EQ(map_->ElementCount(), 0u);
    overlay->SetNamePrompt([](const QString&) { return std::optional<QString>("CAMP"); });
    MouseAt(120, 80);
    const auto placed = overlay->PlaceWaypoint(120, 80);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->name, "CAMP");
    EXPECT_GT(placed->elementId, 0);
    const auto click = map_->GetLatLongPoint(120, 80);
    EXPECT_DOUBLE_EQ(placed->latitude, click->latitude / 3600000.0);
    EXPECT_DOUBLE_EQ(placed->longitude, click->longitude / 3600000.0);
}

TEST_F(MapOverlayTest, OverlayOutlivingTheMapOnlyFails) {
    auto overlay = MakeOverlay();
    map_.reset();
    EXPECT_EQ(overlay->GetAreaCount(), 0);
    EXPECT_EQ(overlay->GetLayerScale(), 0);
    EXPECT_FALSE(overlay->CentreMap(0, 0, 1, 0));
    EXPECT_EQ(overlay->DrawText(35, 139, "A"), 0);
    std::int32_t lat = 1, lon = 1;
    EXPECT_FALSE(overlay->MouseLatLong(&lat, &lon));
    EXPECT_EQ(lat, 0);
    overlay.reset();  // releases what it holds without crashing
}

TEST_F(MapOverlayTest, FillsItsParent) {
    QWidget parent;
    parent.resize(500, 400);
    parent.show();
    auto* map = new MapCtrl(&parent, test::TempPaths(dir_));
    MapOverlay overlay(map, [](const QString&) {});
    EXPECT_EQ(map->geometry(), parent.rect());
    parent.resize(640, 480);
    EXPECT_EQ(map->size(), QSize(640, 480));
}

}  // namespace
}  // namespace tobrel
