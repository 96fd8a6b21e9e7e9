// The map widget: positions and pixels, drawn elements, palettes, events,
// datums and the drawing service.
#include <gtest/gtest.h>

#include <cmath>

#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include "geodesy/molodensky.h"
#include "map/map_ctrl.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::Angle;
using test::AnyNear;
using test::IsTrackRed;
using test::Render;

class MapCtrlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        map_ = std::make_unique<MapCtrl>(nullptr, test::TempPaths(dir_));
        map_->resize(400, 300);
    }
    // WGS 84 at the interface, so pixels can be computed without a datum shift.
    void UseWgs84() { map_->SetDatumShift({}); }
    std::shared_ptr<MpsCollection> Collection() {
        client_ = map_->MPSObject()->GetClient();
        return client_ ? client_->GetCollection() : nullptr;
    }
    std::int32_t Line(MpsCollection& c, std::vector<std::int32_t> lats,
                      std::vector<std::int32_t> lons) {
        return c.AddPolyline(lats, lons, static_cast<std::int32_t>(lats.size()), 0);
    }

    QTemporaryDir dir_;
    std::unique_ptr<MapCtrl> map_;
    std::shared_ptr<MpsClient> client_;
};

TEST_F(MapCtrlTest, FreshStartShowsTheBuiltInMapWithTheLayerList) {
    EXPECT_EQ(map_->AreaCode(), "WORLD");
    const AreaCollection areas = map_->AreaCollect();
    ASSERT_EQ(areas.Count(), 1);
    EXPECT_EQ(areas.Item(0)->AreaCode, "WORLD");
    EXPECT_FALSE(areas.Item(1).has_value());
    EXPECT_FALSE(areas.Item(-1).has_value());
    const LayerCollection layers = map_->LayerCollect();
    ASSERT_EQ(layers.Count(), static_cast<int>(LayerScales().size()));
    bool has25000 = false;
    for (int i = 0; i < layers.Count(); ++i) {
        EXPECT_TRUE(layers.Item(i)->Enabled);
        if (layers.Item(i)->LayerScale == 25000) {
            has25000 = true;
            EXPECT_EQ(layers.Item(i)->Title, "1:25,000");
        }
    }
    EXPECT_TRUE(has25000);
    EXPECT_FALSE(map_->SetAreaCode("NOWHERE"));
    EXPECT_EQ(map_->AreaCode(), "WORLD");
}

TEST_F(MapCtrlTest, PixelRoundTripAtEveryScale) {
    const std::pair<double, double> places[] = {
        {35.6812, 139.7671}, {0.0, 0.0}, {-33.86, 151.2}, {64.1, -21.9}, {0.5, 179.99}};
    const QPoint pixels[] = {{0, 0}, {399, 299}, {200, 150}, {17, 283}, {371, 4}};
    for (const auto& [lat, lon] : places) {
        for (int scale : LayerScales()) {
            ASSERT_TRUE(map_->MoveTo(Angle(lat), Angle(lon), 1, scale));
            ASSERT_EQ(map_->LayerScale(), scale);
            for (const QPoint& px : pixels) {
                const auto angles = map_->GetLatLongPoint(px.x(), px.y());
                ASSERT_TRUE(angles);
                const auto back = map_->GetLogPoint(angles->latitude, angles->longitude);
                ASSERT_TRUE(back);
                EXPECT_LE(std::abs(back->x() - px.x()), 1)
                    << lat << "," << lon << " 1:" << scale << " x " << px.x();
                EXPECT_LE(std::abs(back->y() - px.y()), 1)
                    << lat << "," << lon << " 1:" << scale << " y " << px.y();
            }
        }
    }
}

TEST_F(MapCtrlTest, MoveToCentresAndRaisesMapMoved) {
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map_->MoveTo(Angle(35.5), Angle(139.5), 1, 70000));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0][0].toInt(), Angle(35.5));
    EXPECT_EQ(moved[0][1].toInt(), Angle(139.5));
    EXPECT_TRUE(moved[0][2].toBool());
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0][0].toInt(), 250000);
    EXPECT_EQ(layer[0][1].toInt(), 70000);
    // the centre pixel reports the centre exactly
    const auto centre = map_->GetLatLongPoint(200, 150);
    ASSERT_TRUE(centre);
    EXPECT_EQ(centre->latitude, Angle(35.5));
    EXPECT_EQ(centre->longitude, Angle(139.5));
    // scale 0 keeps the scale; a scale off the list snaps to it
    ASSERT_TRUE(map_->MoveTo(Angle(34.0), Angle(135.0), 1, 0));
    EXPECT_EQ(map_->LayerScale(), 70000);
    EXPECT_FALSE(moved[1][2].toBool());
    ASSERT_TRUE(map_->MoveTo(Angle(34.0), Angle(135.0), 1, 27000));
    EXPECT_EQ(map_->LayerScale(), 25000);
    // refused: other modes, negative scales, latitudes past the pole
    const int before = moved.count();
    EXPECT_FALSE(map_->MoveTo(Angle(34.0), Angle(135.0), 0, 0));
    EXPECT_FALSE(map_->MoveTo(Angle(34.0), Angle(135.0), 1, -1));
    EXPECT_FALSE(map_->MoveTo(Angle(91.0), Angle(135.0), 1, 0));
    EXPECT_EQ(moved.count(), before);
}

TEST_F(MapCtrlTest, SetLayerScaleSnapsAndRaisesLayerChangedOnlyOnChange) {
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    EXPECT_TRUE(map_->SetLayerScale(900000));
    EXPECT_EQ(map_->LayerScale(), 1000000);
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0][1].toInt(), 1000000);
    EXPECT_TRUE(map_->SetLayerScale(1000000));
    EXPECT_EQ(layer.count(), 1);
    EXPECT_FALSE(map_->SetLayerScale(0));
    EXPECT_EQ(map_->LayerScale(), 1000000);
}

TEST_F(MapCtrlTest, PolylineLightsTheExpectedPixels) {
    UseWgs84();
    ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 250000));
    auto c = Collection();
    ASSERT_TRUE(c);
    // a diagonal from one known position to another
    const std::int32_t aLat = Angle(35.05), aLon = Angle(138.9);
    const std::int32_t bLat = Angle(34.97), bLon = Angle(139.08);
    const std::int32_t id = Line(*c, {aLat, bLat}, {aLon, bLon});
    ASSERT_GT(id, 0);
    const QPoint a = *map_->GetLogPoint(aLat, aLon);
    const QPoint b = *map_->GetLogPoint(bLat, bLon);
    const QImage image = Render(*map_);
    for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        const int x = static_cast<int>(std::lround(a.x() + t * (b.x() - a.x())));
        const int y = static_cast<int>(std::lround(a.y() + t * (b.y() - a.y())));
        EXPECT_TRUE(AnyNear(image, x, y, 1, IsTrackRed)) << t;
    }
    // well off the line nothing is red
    EXPECT_FALSE(AnyNear(image, a.x(), b.y(), 3, IsTrackRed));
    EXPECT_FALSE(AnyNear(image, b.x(), a.y(), 3, IsTrackRed));
}

TEST_F(MapCtrlTest, DeleteElementRemovesExactlyThatElement) {
    UseWgs84();
    ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 250000));
    auto c = Collection();
    ASSERT_TRUE(c);
    const std::int32_t north = Line(*c, {Angle(35.05), Angle(35.05)}, {Angle(138.9), Angle(139.1)});
    const std::int32_t south = Line(*c, {Angle(34.95), Angle(34.95)}, {Angle(138.9), Angle(139.1)});
    ASSERT_GT(north, 0);
    ASSERT_GT(south, north);
    const QPoint n = *map_->GetLogPoint(Angle(35.05), Angle(139.0));
    const QPoint s = *map_->GetLogPoint(Angle(34.95), Angle(139.0));
    QImage image = Render(*map_);
    ASSERT_TRUE(AnyNear(image, n.x(), n.y(), 1, IsTrackRed));
    ASSERT_TRUE(AnyNear(image, s.x(), s.y(), 1, IsTrackRed));
    EXPECT_TRUE(c->DeleteElement(north));
    image = Render(*map_);
    EXPECT_FALSE(AnyNear(image, n.x(), n.y(), 2, IsTrackRed));
    EXPECT_TRUE(AnyNear(image, s.x(), s.y(), 1, IsTrackRed));
    EXPECT_FALSE(c->DeleteElement(north));
    EXPECT_FALSE(c->DeleteElement(0));
    EXPECT_EQ(map_->ElementCount(), 1u);
    // another collection cannot delete it
    auto other = client_->GetCollection();
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->DeleteElement(south));
    EXPECT_EQ(map_->ElementCount(), 1u);
}

TEST_F(MapCtrlTest, PalettesChangeTheBaseMapButNotTheOverlay) {
    UseWgs84();
    // open sea south of Japan, with a line across the centre
    ASSERT_TRUE(map_->MoveTo(Angle(30.0), Angle(140.0), 1, 1000000));
    auto c = Collection();
    ASSERT_TRUE(c);
    ASSERT_GT(Line(*c, {Angle(30.0), Angle(30.0)}, {Angle(139.5), Angle(140.5)}), 0);
    const QPoint onLine = *map_->GetLogPoint(Angle(30.0), Angle(140.0));
    const QPoint sea(onLine.x(), onLine.y() + 40);
    QRgb base[3];
    QRgb line[3];
    for (int palette = 0; palette < 3; ++palette) {
        ASSERT_TRUE(map_->SetPaletteID(static_cast<std::int16_t>(palette)));
        const QImage image = Render(*map_);
        base[palette] = image.pixel(sea);
        line[palette] = image.pixel(onLine);
    }
    EXPECT_NE(base[0], base[1]);
    EXPECT_NE(base[0], base[2]);
    EXPECT_NE(base[1], base[2]);
    EXPECT_EQ(qRed(base[1]), qGreen(base[1]));
    EXPECT_EQ(qGreen(base[1]), qBlue(base[1]));
    EXPECT_GT(qRed(base[2]), qRed(base[0]));  // washed out toward white
    EXPECT_TRUE(IsTrackRed(line[0]));
    EXPECT_EQ(line[1], line[0]);
    EXPECT_EQ(line[2], line[0]);
    EXPECT_FALSE(map_->SetPaletteID(3));
    EXPECT_EQ(map_->PaletteID(), 2);
}

TEST_F(MapCtrlTest, TokyoDatumPointIsDrawnAtItsWgs84Place) {
    // default datum: Tokyo
    const sorvane::DatumShift tokyo = map_->DatumShift();
    ASSERT_NEAR(tokyo.dA, 739.845, 1e-9);
    const double latT = 35.6200, lonT = 139.7800;  // Tokyo Bay, Tokyo datum
    ASSERT_TRUE(map_->MoveTo(Angle(latT), Angle(lonT), 1, 25000));
    auto c = Collection();
    ASSERT_TRUE(c);
    // a short cross at the position
    ASSERT_GT(Line(*c, {Angle(latT), Angle(latT)}, {Angle(lonT - 0.0003), Angle(lonT + 0.0003)}),
              0);
    const auto wgs = sorvane::MolodenskyShift({latT, lonT, 0.0}, sorvane::Reversed(tokyo));
    ASSERT_TRUE(wgs);
    const MapView view = map_->CurrentView();
    const QPointF converted = view.WorldToPixel(LatLonToWorld(wgs->latitude, wgs->longitude));
    const QPointF unconverted = view.WorldToPixel(LatLonToWorld(latT, lonT));
    // the two places are about 460 m apart on the ground
    const double metresPerPixel = 25000 * 0.0254 / 96;
    const double apart =
        std::hypot(converted.x() - unconverted.x(), converted.y() - unconverted.y()) *
        metresPerPixel;
    EXPECT_NEAR(apart, 460, 40);
    const QImage image = Render(*map_);
    EXPECT_TRUE(AnyNear(image, static_cast<int>(std::lround(converted.x())),
                        static_cast<int>(std::lround(converted.y())), 1, IsTrackRed));
    EXPECT_FALSE(AnyNear(image, static_cast<int>(std::lround(unconverted.x())),
                         static_cast<int>(std::lround(unconverted.y())), 3, IsTrackRed));
    // and the position reported back at that pixel is the Tokyo datum one
    const auto back = map_->GetLatLongPoint(static_cast<int>(std::lround(converted.x())),
                                            static_cast<int>(std::lround(converted.y())));
    ASSERT_TRUE(back);
    EXPECT_NEAR(MapAngleToDegrees(back->latitude), latT, 1.5 * metresPerPixel / 111000);
    EXPECT_NEAR(MapAngleToDegrees(back->longitude), lonT, 1.5 * metresPerPixel / 90000);
}

TEST_F(MapCtrlTest, TextLabelIsAnchoredToItsPlaceAcrossScales) {
    UseWgs84();
    ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 70000));
    auto c = Collection();
    ASSERT_TRUE(c);
    const QPoint at = *map_->GetLogPoint(Angle(35.01), Angle(139.02));
    ASSERT_GT(c->AddText(at.x(), at.y(), "WPT001", 0, 0, 0), 0);
    ASSERT_TRUE(map_->SetLayerScale(250000));
    const QPoint now = *map_->GetLogPoint(Angle(35.01), Angle(139.02));
    const QImage image = Render(*map_);
    // the marker sits on the place, the text a fixed offset to its right
    auto isLabel = [](QRgb p) { return qBlue(p) > 60 && qRed(p) < 60 && qGreen(p) < 60; };
    EXPECT_TRUE(AnyNear(image, now.x(), now.y(), 1, isLabel));
    EXPECT_TRUE(AnyNear(image, now.x() + ElementStore::kLabelOffsetX + 8, now.y(), 5, isLabel));
    EXPECT_FALSE(AnyNear(image, now.x() - 12, now.y(), 3, isLabel));
}

TEST_F(MapCtrlTest, IdentifiersAreNeverReused) {
    auto c = Collection();
    ASSERT_TRUE(c);
    std::set<std::int32_t> seen;
    for (int i = 0; i < 20; ++i) {
        const std::int32_t id = Line(*c, {Angle(35), Angle(35.1)}, {Angle(139), Angle(139.1)});
        ASSERT_GT(id, 0);
        EXPECT_TRUE(seen.insert(id).second);
        if (i % 2 == 0) {
            EXPECT_TRUE(c->DeleteElement(id));
        }
    }
    const auto service = map_->MPSObject();
    auto client2 = service->GetClient();
    ASSERT_TRUE(client2);
    EXPECT_NE(client2->ClientID(), client_->ClientID());
    auto c2 = client2->GetCollection();
    ASSERT_TRUE(c2);
    EXPECT_NE(c2->CollectionID(), c->CollectionID());
    const std::int32_t later = c2->AddText(10, 10, "X", 0);
    EXPECT_GT(later, *seen.rbegin());
}

TEST_F(MapCtrlTest, AddPolylineRefusesBadCountsAndTakesLongTracks) {
    auto c = Collection();
    ASSERT_TRUE(c);
    std::vector<std::int32_t> lats = {Angle(35), Angle(35.1)};
    std::vector<std::int32_t> lons = {Angle(139), Angle(139.1)};
    EXPECT_EQ(c->AddPolyline(lats, lons, 0, 0), 0);
    EXPECT_EQ(c->AddPolyline(lats, lons, -3, 0), 0);
    EXPECT_EQ(c->AddPolyline(lats, lons, 3, 0), 0);  // more than the arrays hold
    EXPECT_GT(c->AddPolyline(lats, lons, 1, 0), 0);  // a single point is a dot
    // 100 000 points: more than a 16-bit count could carry
    std::vector<std::int32_t> longLats(100000);
    std::vector<std::int32_t> longLons(100000);
    for (int i = 0; i < 100000; ++i) {
        longLats[static_cast<std::size_t>(i)] = Angle(35.0) + i * 10;
        longLons[static_cast<std::size_t>(i)] = Angle(139.0) + i * 10;
    }
    EXPECT_GT(c->AddPolyline(longLats, longLons, 100000, 0), 0);
    EXPECT_GE(map_->ElementMemoryBytes(), 100000 * sizeof(WorldPoint));
}

TEST_F(MapCtrlTest, DrawingServiceLimitsAndReleases) {
    const auto service = map_->MPSObject();
    std::vector<std::shared_ptr<MpsClient>> clients;
    while (auto client = service->GetClient()) {
        clients.push_back(client);
        ASSERT_LE(clients.size(), 1000u);
    }
    EXPECT_EQ(clients.size(), DrawingCore::kMaxClients);
    auto collection = clients[0]->GetCollection();
    ASSERT_TRUE(collection);
    ASSERT_GT(collection->AddText(5, 5, "A", 0), 0);
    EXPECT_EQ(map_->ElementCount(), 1u);
    EXPECT_TRUE(clients[0]->ReleaseCollection(collection->CollectionID()));
    EXPECT_EQ(map_->ElementCount(), 0u);  // its elements went with it
    EXPECT_FALSE(clients[0]->ReleaseCollection(collection->CollectionID()));
    EXPECT_EQ(collection->AddText(5, 5, "B", 0), 0);  // released: refuses
    EXPECT_TRUE(service->ReleaseClient(clients[1]->ClientID()));
    EXPECT_FALSE(service->ReleaseClient(clients[1]->ClientID()));
    EXPECT_FALSE(clients[1]->GetCollection());
    EXPECT_TRUE(service->GetClient());  // room again
}

TEST_F(MapCtrlTest, ServiceObjectsOutlivingTheWidgetOnlyFail) {
    const auto service = map_->MPSObject();
    auto client = service->GetClient();
    auto collection = client->GetCollection();
    ASSERT_TRUE(collection);
    map_.reset();
    EXPECT_EQ(collection->AddText(1, 1, "A", 0), 0);
    EXPECT_EQ(collection->AddPolyline({1, 2}, {1, 2}, 2, 0), 0);
    EXPECT_FALSE(collection->DeleteElement(1));
    EXPECT_FALSE(service->GetClient());
    EXPECT_FALSE(client->GetCollection());
    EXPECT_TRUE(client->ReleaseCollection(collection->CollectionID()));
    EXPECT_TRUE(service->ReleaseClient(client->ClientID()));
}

TEST_F(MapCtrlTest, DragPansWheelZoomsAndMouseUpReports) {
    UseWgs84();
    ASSERT_TRUE(map_->MoveTo(Angle(35.0), Angle(139.0), 1, 250000));
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    QSignalSpy up(map_.get(), &MapCtrl::OnMouseUp);
    const auto west = map_->GetLatLongPoint(150, 150);
    auto send = [this](QEvent::Type type, QPoint p, Qt::MouseButton b, Qt::KeyboardModifiers m) {
        QMouseEvent e(type, QPointF(p), map_->mapToGlobal(QPointF(p)), b,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : b, m);
        QCoreApplication::sendEvent(map_.get(), &e);
    };
    // drag 50 pixels to the right: what was at x 150 comes to the centre
    send(QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton, Qt::NoModifier);
    send(QEvent::MouseMove, {230, 150}, Qt::LeftButton, Qt::NoModifier);
    send(QEvent::MouseMove, {250, 150}, Qt::LeftButton, Qt::NoModifier);
    send(QEvent::MouseButtonRelease, {250, 150}, Qt::LeftButton, Qt::NoModifier);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_NEAR(moved[0][1].toInt(), west->longitude, Angle(0.01));
    EXPECT_FALSE(moved[0][2].toBool());
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][2].toInt(), 250);
    // a Ctrl-click does not pan; it reports the click and the mouse position
    send(QEvent::MouseMove, {100, 80}, Qt::NoButton, Qt::ControlModifier);
    send(QEvent::MouseButtonPress, {100, 80}, Qt::LeftButton, Qt::ControlModifier);
    send(QEvent::MouseButtonRelease, {100, 80}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(moved.count(), 1);
    ASSERT_EQ(up.count(), 2);
    EXPECT_EQ(up[1][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_TRUE(up[1][1].value<Qt::KeyboardModifiers>() & Qt::ControlModifier);
    EXPECT_EQ(up[1][2].toInt(), 100);
    EXPECT_EQ(up[1][3].toInt(), 80);
    EXPECT_EQ(map_->GetMouseLatLong(), map_->GetLatLongPoint(100, 80));
    // the wheel steps through the layer list, keeping the place under the pointer
    const auto underPointer = map_->GetLatLongPoint(300, 100);
    QWheelEvent wheel(QPointF(300, 100), map_->mapToGlobal(QPointF(300, 100)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(map_.get(), &wheel);
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0][0].toInt(), 250000);
    EXPECT_EQ(layer[0][1].toInt(), 100000);
    EXPECT_TRUE(moved.last()[2].toBool());
    const auto after = map_->GetLatLongPoint(300, 100);
    EXPECT_NEAR(after->latitude, underPointer->latitude, Angle(0.002));
    EXPECT_NEAR(after->longitude, underPointer->longitude, Angle(0.002));
}

TEST_F(MapCtrlTest, ScrollBarsShowHideAndPan) {
    map_->show();
    auto bars = map_->findChildren<QScrollBar*>();
    ASSERT_EQ(bars.size(), 2);
    EXPECT_TRUE(map_->ScrollBar());
    EXPECT_TRUE(bars[0]->isVisible());
    map_->SetScrollBar(false);
    EXPECT_FALSE(bars[0]->isVisible());
    EXPECT_FALSE(bars[1]->isVisible());
    map_->SetScrollBar(true);
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    QScrollBar* horizontal = bars[0]->orientation() == Qt::Horizontal ? bars[0] : bars[1];
    const auto before = map_->GetLatLongPoint(200, 150);
    horizontal->setValue(horizontal->value() + 100);
    ASSERT_EQ(moved.count(), 1);
    const auto after = map_->GetLatLongPoint(200, 150);
    EXPECT_GT(after->longitude, before->longitude);
    // the latitude stays (up to the datum round trip, well under a metre)
    EXPECT_NEAR(after->latitude, before->latitude, Angle(0.00001));
    // hidden bars stay out of the picture; the map geometry does not change
    map_->SetScrollBar(false);
    const auto hiddenCentre = map_->GetLatLongPoint(200, 150);
    EXPECT_EQ(hiddenCentre, after);
}

}  // namespace
}  // namespace tobrel
