// The tree controller without a window: the tree, the store and the map's
// elements stay in step through drawing, erasing, deleting and sketching.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>

#include "data_test_support.h"
#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "text/cp932.h"
#include "ui/document.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using testing::AddTrack;

constexpr std::int32_t Angle(double degrees) {
    return static_cast<std::int32_t>(degrees * 3600000.0);
}

class TreeControllerTest : public uitest::UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        MapPaths paths;
        paths.tileSourcesFile = Path("config/tilesources.conf");
        paths.tileCacheDir = Path("cache");
        paths.mapsDir = Path("maps");
        map_ = std::make_unique<MapCtrl>(nullptr, paths);
        map_->resize(400, 300);
        map_->SetDatumShift({});
        ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 250000));
        overlay_ = std::make_unique<MapOverlay>(map_.get());
        tree_ = std::make_unique<TreeController>(*overlay_, doc_);
    }
    QStringList Nodes(QStandardItem* root) const {
        QStringList texts;
        for (int i = 0; i < root->rowCount(); ++i)
            texts.append(root->child(i)->text());
        return texts;
    }
    QModelIndex Node(QStandardItem* root, int row) const { return root->child(row)->index(); }
    std::pair<std::int32_t, std::int32_t> Centre() const {
        const auto c = map_->GetLatLongPoint(map_->width() / 2, map_->height() / 2);
        return {c->latitude, c->longitude};
    }
    void MouseAt(QPoint p) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), map_->mapToGlobal(QPointF(p)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(map_.get(), &e);
    }

    std::unique_ptr<MapCtrl> map_;
    std::unique_ptr<MapOverlay> overlay_;
    Document doc_;
    std::unique_ptr<TreeController> tree_;
};

TEST_F(TreeControllerTest, OneNodePerDrawnSegmentWithItsElementInTheData) {
    TobrelFile& store = doc_.Store();
    AddTrack(store, "TRACK-1",
             {{1, 35.0, 139.0}, {1, 35.01, 139.01}, {2, 35.02, 139.0}, {2, 35.03, 139}}, 2);
    AddTrack(store, "B", {{1, 34.9, 138.9}, {2, 34.91, 138.9}, {3, 34.92, 138.9}}, 3);
    // segment 2 without points: only segment 1 is drawn
    AddTrack(store, "C", {{1, 35.0, 139.1}, {1, 35.01, 139.11}, {1, 35.02, 139.12}}, 3);
    // segment 1 spans indices 0..3 and segment 2 is index 1: never read past the track
    AddTrack(store, "D",
             {{1, 35.0, 139.2}, {2, 35.01, 139.2}, {1, 35.02, 139.2}, {1, 35.03, 139.2}}, 2);
    tree_->DrawAllTracks();
    QStandardItem* root = tree_->TrackRoot();
    ASSERT_EQ(root->rowCount(), 7);
    EXPECT_EQ(map_->ElementCount(), 7u);
    const char* names[] = {"TRACK-1", "TRACK-1", "B", "B", "B", "C", "D"};
    const int tracks[] = {0, 0, 1, 1, 1, 2, 3};
    const int segments[] = {1, 2, 1, 2, 3, 1, 1};
    for (int i = 0; i < 7; ++i) {
        const std::int32_t id = tree_->ElementIdOf(Node(root, i));
        EXPECT_GT(id, 0);
        EXPECT_EQ(root->child(i)->text(), NodeText(names[i], id));
        EXPECT_EQ(tree_->StoreTrackOf(Node(root, i)), tracks[i]);
        EXPECT_EQ(root->child(i)->data(TreeController::kSegmentRole).toInt(), segments[i]);
    }
    EXPECT_EQ(tree_->Cursor().CurrentName, "D");
    EXPECT_EQ(tree_->Cursor().CurrentNode, root->child(6));
    EXPECT_EQ(tree_->Cursor().CurrentElementId, tree_->ElementIdOf(Node(root, 6)));
    EXPECT_EQ(tree_->KindOf(root->index()), TreeController::NodeKind::kRoot);
    EXPECT_EQ(tree_->StoreTrackOf(root->index()), -1);
    tree_->EraseTrackElements();
    EXPECT_EQ(root->rowCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
    EXPECT_EQ(store.GetTrackCount(), 4);  // the store is not touched
}

TEST_F(TreeControllerTest, WaypointLabelsArePlacedAt70000AndTheScaleIsRestored) {
    TobrelFile& store = doc_.Store();
    ASSERT_EQ(store.AddWaypoints(3), 0);
    store.SetWaypoint(0, "WPT-A", "", 35.01, 139.02, 0, 0, 18, 0);
    store.SetWaypoint(1, "\x93\x8c\x8b\x9e", "", 34.98, 138.97, 0, 0, 18, 0);  // 東京
    store.SetWaypoint(2, "A/1", "", 34.99, 138.99, 0, 0, 18, 0);  // a name with a slash
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    tree_->DrawAllWaypoints();
    ASSERT_EQ(layer.count(), 2);
    EXPECT_EQ(layer[0][1].toInt(), 70000);
    EXPECT_EQ(layer[1], (QList<QVariant>{70000, 250000}));
    QStandardItem* root = tree_->WaypointRoot();
    ASSERT_EQ(root->rowCount(), 3);
    EXPECT_EQ(Nodes(root)[1].section('/', 0, 0), QString::fromUtf8("東京"));
    EXPECT_EQ(map_->ElementCount(), 3u);
    // The node "A/1/3" erases its own element 3, not element 1.
    const std::int32_t slashId = tree_->ElementIdOf(Node(root, 2));
    EXPECT_EQ(Nodes(root)[2], QStringLiteral("A/1/%1").arg(slashId));
    ASSERT_TRUE(tree_->Delete(Node(root, 2)));
    EXPECT_EQ(map_->ElementCount(), 2u);
    EXPECT_EQ(store.GetWaypointCount(), 2);
    overlay_->EraseElement(tree_->ElementIdOf(Node(root, 0)));  // the first one is still there
    EXPECT_EQ(map_->ElementCount(), 1u);
}

TEST_F(TreeControllerTest, CentreAndDeleteMeanTheSameStoreTrack) {
    TobrelFile& store = doc_.Store();
    AddTrack(store, "A",
             {{1, 35.0, 139.0}, {1, 35.01, 139.01}, {2, 35.02, 139.02}, {2, 35.03, 139.03}}, 2);
    AddTrack(store, "B",
             {{1, 35.1, 139.1}, {1, 35.11, 139.11}, {2, 35.12, 139.12}, {3, 35.13, 139.13}}, 3);
    AddTrack(store, "C", {{1, 35.2, 139.2}, {1, 35.21, 139.21}});
    tree_->Redraw();
    QStandardItem* root = tree_->TrackRoot();
    ASSERT_EQ(root->rowCount(), 6);
    // The fourth node is the second track's second segment.
    ASSERT_TRUE(tree_->CentreOn(Node(root, 3)));
    EXPECT_EQ(Centre(), std::make_pair(Angle(35.12), Angle(139.12)));
    EXPECT_FALSE(doc_.IsModified());
    // Deleting any node of B removes B whole: its three nodes and polylines.
    QSignalSpy changed(&doc_, &Document::StoreChanged);
    ASSERT_TRUE(tree_->Delete(Node(root, 4)));
    EXPECT_TRUE(doc_.IsModified());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(store.GetTrackCount(), 2);
    EXPECT_EQ(map_->ElementCount(), 3u);
    ASSERT_EQ(root->rowCount(), 3);
    EXPECT_EQ(Nodes(root)[2].section('/', 0, 0), "C");
    EXPECT_EQ(tree_->StoreTrackOf(Node(root, 2)), 1);  // C moved up in the store
    ASSERT_TRUE(tree_->CentreOn(Node(root, 2)));
    EXPECT_EQ(Centre(), std::make_pair(Angle(35.2), Angle(139.2)));
    char name[32] = {};
    store.GetTrackName(1, name, sizeof name);
    EXPECT_STREQ(name, "C");
    // A node whose segment the store no longer has centres nowhere.
    store.SetTrackSegmentCount(1, 0);
    EXPECT_FALSE(tree_->CentreOn(Node(root, 2)));
    EXPECT_FALSE(tree_->Delete(root->index()));
    EXPECT_FALSE(tree_->CentreOn(QModelIndex()));
}

TEST_F(TreeControllerTest, SketchedTrackBecomesAStoreTrackOfOneSegment) {
    tree_->BeginTrack(QString::fromUtf8("東京"));
    EXPECT_TRUE(tree_->IsCreatingTrack());
    QStandardItem* root = tree_->TrackRoot();
    ASSERT_EQ(Nodes(root), QStringList{QString::fromUtf8("東京/-1")});
    MouseAt({100, 100});
    tree_->UpdateSketch(false);
    EXPECT_EQ(Nodes(root)[0], QString::fromUtf8("東京/-1"));  // one point draws nothing
    MouseAt({200, 150});
    tree_->UpdateSketch(false);
    MouseAt({300, 100});
    tree_->UpdateSketch(false);
    tree_->UpdateSketch(true);  // back to two points
    const std::int32_t id = tree_->Cursor().CurrentElementId;
    EXPECT_GT(id, 0);
    EXPECT_EQ(Nodes(root)[0], NodeText(QString::fromUtf8("東京"), id));
    EXPECT_EQ(map_->ElementCount(), 1u);  // earlier sketches were erased
    tree_->EndTrack();
    EXPECT_FALSE(tree_->IsCreatingTrack());
    TobrelFile& store = doc_.Store();
    ASSERT_EQ(store.GetTrackCount(), 1);
    EXPECT_EQ(sorvane::cp932::ToUtf8(store.GetTrackName(0)), "東京");
    ASSERT_EQ(store.GetTrackPointCount(0), 2);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 1);
    const auto second = map_->GetLatLongPoint(200, 150);
    double lat = 0, lon = 0, alt = 0;
    store.GetTrackPoint(0, 1, &lat, &lon, &alt);
    EXPECT_DOUBLE_EQ(lat, second->latitude / 3600000.0);
    EXPECT_DOUBLE_EQ(lon, second->longitude / 3600000.0);
    EXPECT_GT(store.GetTrackData(0)[1].distance, 0.0);
    EXPECT_EQ(tree_->StoreTrackOf(Node(root, 0)), 0);
    EXPECT_TRUE(doc_.IsModified());

    // A sketch whose node is deleted ends without a track; so does one whose
    // tracks are all deleted.
    QSignalSpy cancelled(tree_.get(), &TreeController::TrackCreationCancelled);
    tree_->BeginTrack("X");
    ASSERT_TRUE(tree_->Delete(Node(root, 1)));
    EXPECT_FALSE(tree_->IsCreatingTrack());
    tree_->BeginTrack("Y");
    tree_->DeleteAllTracks();
    EXPECT_FALSE(tree_->IsCreatingTrack());
    EXPECT_EQ(cancelled.count(), 2);
    EXPECT_EQ(store.GetTrackCount(), 0);
    EXPECT_EQ(map_->ElementCount(), 0u);
    // Finishing with no points gives a track without points and one segment.
    tree_->BeginTrack("EMPTY");
    tree_->EndTrack();
    ASSERT_EQ(store.GetTrackCount(), 1);
    EXPECT_EQ(store.GetTrackPointCount(0), 0);
    EXPECT_EQ(store.GetTrackSegmentCount(0), 1);
}

}  // namespace
}  // namespace tobrel
