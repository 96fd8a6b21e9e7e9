// The overlay: drawing set-up and release, lists, the sketch and waypoint placing.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "map/map_overlay.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

class MapOverlayTest : public test::MapTest {
  protected:
    void SetUp() override {
        MapTest::SetUp();
        UseWgs84At(35.0, 139.0, 250000);
    }
    std::unique_ptr<MapOverlay> MakeOverlay() {
        return std::make_unique<MapOverlay>(map_.get(),
                                            [this](const QString& m) { diagnostics_.append(m); });
    }
    QStringList diagnostics_;
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
