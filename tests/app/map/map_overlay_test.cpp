// The overlay: drawing set-up and release, lists, the sketch, waypoint
// placing and the routines that tie the store, the map and the tree together.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTreeWidget>

#include "data/tobrel_file.h"
#include "data_test_support.h"
#include "map/map_overlay.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::AnyNear;
using test::IsLabelBlue;
using test::IsTrackRed;
using test::Render;
using testing::AddTrack;

class MapOverlayTest : public test::MapTest {
  protected:
    void SetUp() override {
        MapTest::SetUp();
        UseWgs84At(35.0, 139.0, 250000);
        root_ = new QTreeWidgetItem(&tree_, {QString::fromUtf8("トラック")});
    }
    std::unique_ptr<MapOverlay> MakeOverlay() {
        return std::make_unique<MapOverlay>(map_.get(),
                                            [this](const QString& m) { diagnostics_.append(m); });
    }
    QStringList Nodes() const {
        QStringList texts;
        for (int i = 0; i < root_->childCount(); ++i)
            texts.append(root_->child(i)->text(0));
        return texts;
    }

    QStringList diagnostics_;
    QTreeWidget tree_;
    QTreeWidgetItem* root_ = nullptr;  // the track root, or the waypoint root
    TobrelFile store_;
};

TEST_F(MapOverlayTest, SetUpAndReleaseReportFailuresOnly) {
    const double lats[] = {35.0, 35.01}, lons[] = {139.0, 139.01};
    {
        auto overlay = MakeOverlay();
        EXPECT_TRUE(overlay->IsDrawingReady());
        EXPECT_FALSE(overlay->CreatingTrack);
        EXPECT_GT(overlay->DrawPolyline(2, lats, lons), 0);
        EXPECT_EQ(map_->ElementCount(), 1u);
    }
    EXPECT_TRUE(diagnostics_.isEmpty());
    EXPECT_EQ(map_->ElementCount(), 0u);  // released with its collection
    auto overlay = MakeOverlay();
    ASSERT_TRUE(map_->MPSObject()->ReleaseClient(2));  // someone else released its client
    overlay.reset();
    ASSERT_EQ(diagnostics_.size(), 2);
    EXPECT_TRUE(diagnostics_[0].contains("ReleaseCollection"));
    EXPECT_TRUE(diagnostics_[1].contains("ReleaseClient"));
    EXPECT_TRUE(diagnostics_[1].contains("S_OK == hresult"));
    // No client to be had: reported; drawing gives 0, lists and settings still work.
    std::vector<std::shared_ptr<MpsClient>> hog;
    while (auto c = map_->MPSObject()->GetClient())
        hog.push_back(c);
    overlay = MakeOverlay();
    ASSERT_EQ(diagnostics_.size(), 3);
    EXPECT_TRUE(diagnostics_[2].contains("S_OK == hresult"));
    EXPECT_TRUE(diagnostics_[2].contains("GetClient"));
    EXPECT_FALSE(overlay->IsDrawingReady());
    EXPECT_EQ(overlay->DrawPolyline(2, lats, lons), 0);
    EXPECT_EQ(overlay->DrawText(35.0, 139.0, "A"), 0);
    overlay->EraseElement(1);
    EXPECT_EQ(overlay->GetAreaCount(), 1);
    overlay->SetLayerScale(70000);
    EXPECT_EQ(overlay->GetLayerScale(), 70000);
    overlay.reset();
    EXPECT_EQ(diagnostics_.size(), 3);  // nothing was set up, nothing to release
}

TEST_F(MapOverlayTest, ListItemsOutOfRangeClearTheOutputsAndPositionsTruncate) {
    auto overlay = MakeOverlay();
    QString code = "x", title = "x";
    std::int32_t scale = 1;
    EXPECT_TRUE(overlay->GetAreaItem(0, &code, &title));
    EXPECT_EQ(code, "WORLD");
    EXPECT_FALSE(overlay->GetAreaItem(5, &code, &title));
    EXPECT_TRUE(code.isEmpty() && title.isEmpty());
    EXPECT_TRUE(overlay->GetLayerItem(0, &scale, &title));
    EXPECT_EQ(scale, LayerScales()[0]);
    EXPECT_FALSE(overlay->GetLayerItem(-1, &scale, &title));
    EXPECT_EQ(scale, 0);
    EXPECT_TRUE(overlay->IsLayerEnabled(0));
    EXPECT_FALSE(overlay->IsLayerEnabled(99));
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    overlay->CentreOnPosition(34.5000001, -0.0000004);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(std::make_pair(moved[0][0].toInt(), moved[0][1].toInt()),
              std::make_pair(124200000, -1));
    std::int32_t lat = 0, lon = 0;
    EXPECT_TRUE(overlay->PixelToLatLong(200, 150, &lat, &lon));
    EXPECT_EQ(lat, 124200000);
    EXPECT_FALSE(overlay->CentreMap(0, 0, 2, 0));
}

TEST_F(MapOverlayTest, SketchOfOnePointDrawsNothingAndRemovingFromEmptyIsHarmless) {
    auto overlay = MakeOverlay();
    EXPECT_EQ(overlay->UpdateSketch(true), -1);
    EXPECT_EQ(overlay->UpdateSketch(false), -1);  // no mouse position yet: no bogus point
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
    test::Mouse(*map_, QEvent::MouseMove, {100, 100});
    EXPECT_EQ(overlay->UpdateSketch(false), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 1u);
    EXPECT_EQ(map_->ElementCount(), 0u);
    test::Mouse(*map_, QEvent::MouseMove, {200, 120});
    EXPECT_GT(overlay->UpdateSketch(false), 0);
    const auto second = map_->GetLatLongPoint(200, 120);
    EXPECT_EQ(overlay->SketchPoints().latitudes[1], second->latitude);
    EXPECT_EQ(overlay->SketchPoints().longitudes[1], second->longitude);
    EXPECT_EQ(overlay->UpdateSketch(true), -1);  // back to one point
    EXPECT_EQ(overlay->SketchPoints().size(), 1u);
    overlay->ClearSketch();
    EXPECT_EQ(overlay->UpdateSketch(true), -1);
    EXPECT_EQ(overlay->SketchPoints().size(), 0u);
}

TEST_F(MapOverlayTest, DrawAllTracksGivesOneNodePerSegment) {
    auto overlay = MakeOverlay();
    // points as {segment, latitude, longitude}
    AddTrack(store_, "TRACK-1",
             {{1, 35.0, 139.0}, {1, 35.01, 139.01}, {2, 35.02, 139.0}, {2, 35.03, 139}}, 2);
    AddTrack(store_, "B", {{1, 34.9, 138.9}, {2, 34.91, 138.9}, {3, 34.92, 138.9}}, 3);
    // segment 2 without points: only segment 1, whose polyline holds all three points
    AddTrack(store_, "C", {{1, 35.0, 139.1}, {1, 35.01, 139.11}, {1, 35.02, 139.12}}, 3);
    // segment 1 spans indices 0..3 and segment 2 is index 1: never read past the track
    AddTrack(store_, "D",
             {{1, 35.0, 139.2}, {2, 35.01, 139.2}, {1, 35.02, 139.2}, {1, 35.03, 139.2}}, 2);
    TrackCursor cursor;
    overlay->DrawAllTracks(store_, root_, &cursor);
    const QStringList nodes = Nodes();
    ASSERT_EQ(nodes.size(), 7);
    EXPECT_EQ(map_->ElementCount(), 7u);
    const char* names[] = {"TRACK-1", "TRACK-1", "B", "B", "B", "C", "D"};
    for (int i = 0; i < 7; ++i) {
        const std::int32_t id = ElementIdOfNodeText(nodes[i]);
        EXPECT_GT(id, 0);
        EXPECT_EQ(nodes[i], NodeText(names[i], id));
    }
    EXPECT_EQ(cursor.CurrentName, "D");
    EXPECT_EQ(cursor.CurrentNode, root_->child(6));
    EXPECT_EQ(cursor.CurrentElementId, ElementIdOfNodeText(nodes[6]));
    const QPoint end = Pixel(35.02, 139.12);
    EXPECT_TRUE(AnyNear(Render(*map_), end.x(), end.y(), 1, IsTrackRed));
    overlay->EraseTrackElements(root_);
    EXPECT_EQ(root_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
}

TEST_F(MapOverlayTest, WaypointLabelsArePlacedAt70000AndTheScaleIsRestored) {
    auto overlay = MakeOverlay();
    ASSERT_EQ(store_.AddWaypoints(2), 0);
    store_.SetWaypoint(0, "WPT-A", "", 35.01, 139.02, 0, 0, 18, 0);
    store_.SetWaypoint(1, "\x93\x8c\x8b\x9e", "", 34.98, 138.97, 0, 0, 18, 0);  // 東京
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    overlay->DrawAllWaypoints(store_, root_);
    ASSERT_EQ(layer.count(), 2);
    EXPECT_EQ(layer[0][1].toInt(), 70000);
    EXPECT_EQ(layer[1], (QList<QVariant>{70000, 250000}));
    EXPECT_EQ(overlay->GetLayerScale(), 250000);
    ASSERT_EQ(root_->childCount(), 2);
    EXPECT_EQ(Nodes()[1].section('/', 0, 0), QString::fromUtf8("東京"));
    // each marker sits on its waypoint at the restored scale, the text to its right
    const QImage image = Render(*map_);
    for (const auto& [lat, lon] : {std::pair{35.01, 139.02}, std::pair{34.98, 138.97}}) {
        const QPoint at = Pixel(lat, lon);
        EXPECT_TRUE(AnyNear(image, at.x(), at.y(), 1, IsLabelBlue)) << lat;
        EXPECT_TRUE(
            AnyNear(image, at.x() + ElementStore::kLabelOffsetX + 8, at.y(), 5, IsLabelBlue))
            << lat;
        EXPECT_FALSE(AnyNear(image, at.x() - 12, at.y(), 3, IsLabelBlue)) << lat;
    }
    overlay->EraseWaypointElements(root_);
    EXPECT_EQ(root_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
}

TEST_F(MapOverlayTest, NodeNameWithASlashErasesItsOwnElement) {
    auto overlay = MakeOverlay();
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(overlay->DrawText(35.0, 139.0 + i * 0.001, QString::number(i)), i + 1);
    // the waypoint "A/B" drawn as element 7; element 1 belongs to someone else
    new QTreeWidgetItem(root_, {NodeText("A/B", 7)});
    ASSERT_EQ(Nodes(), QStringList{"A/B/7"});
    overlay->EraseWaypointElements(root_);
    EXPECT_EQ(root_->childCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 7u);
    overlay->EraseElement(7);  // already gone
    EXPECT_EQ(map_->ElementCount(), 7u);
    // a node "A/1/7" must not erase element 1, which is another waypoint's
    new QTreeWidgetItem(root_, {"A/1/7"});
    overlay->EraseWaypointElements(root_);
    EXPECT_EQ(map_->ElementCount(), 7u);
    overlay->EraseElement(1);  // still there until now
    EXPECT_EQ(map_->ElementCount(), 6u);
}

TEST_F(MapOverlayTest, PlaceWaypointAsksForANameAndLabelsTheClick) {
    auto overlay = MakeOverlay();
    EXPECT_FALSE(overlay->PlaceWaypoint(120, 80).has_value());  // no dialog
    QString askedCaption;
    overlay->SetNamePrompt([&](const QString& caption) -> std::optional<QString> {
        askedCaption = caption;
        return std::nullopt;
    });
    EXPECT_FALSE(overlay->PlaceWaypoint(120, 80).has_value());  // cancelled
    EXPECT_EQ(askedCaption, QString::fromUtf8("ウェイポイント名称入力"));
    EXPECT_EQ(map_->ElementCount(), 0u);
    overlay->SetNamePrompt([](const QString&) { return std::optional<QString>("CAMP"); });
    test::Mouse(*map_, QEvent::MouseMove, {120, 80});
    const auto placed = overlay->PlaceWaypoint(120, 80);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->name, "CAMP");
    EXPECT_GT(placed->elementId, 0);
    const auto click = map_->GetLatLongPoint(120, 80);
    EXPECT_DOUBLE_EQ(placed->latitude, click->latitude / 3600000.0);
    EXPECT_DOUBLE_EQ(placed->longitude, click->longitude / 3600000.0);
}

TEST_F(MapOverlayTest, OverlayAndServiceObjectsOutlivingTheMapOnlyFail) {
    auto overlay = MakeOverlay();
    const auto service = map_->MPSObject();
    auto collection = Collection();
    ASSERT_TRUE(collection);
    map_.reset();
    EXPECT_EQ(overlay->GetAreaCount(), 0);
    EXPECT_EQ(overlay->GetLayerScale(), 0);
    EXPECT_FALSE(overlay->CentreMap(0, 0, 1, 0));
    EXPECT_EQ(overlay->DrawText(35, 139, "A"), 0);
    std::int32_t lat = 1, lon = 1;
    EXPECT_FALSE(overlay->MouseLatLong(&lat, &lon));
    EXPECT_EQ(lat, 0);
    overlay.reset();  // releases what it holds without crashing
    EXPECT_EQ(collection->AddText(1, 1, "A", 0), 0);
    EXPECT_EQ(collection->AddPolyline({1, 2}, {1, 2}, 2, 0), 0);
    EXPECT_FALSE(collection->DeleteElement(1));
    EXPECT_FALSE(service->GetClient());
    EXPECT_FALSE(client_->GetCollection());
    EXPECT_TRUE(client_->ReleaseCollection(collection->CollectionID()));
    EXPECT_TRUE(service->ReleaseClient(client_->ClientID()));
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
