// The map widget: positions and pixels, drawn elements, palettes, events,
// datums and the drawing service.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include <QLineF>
#include <QScrollBar>
#include <QSignalSpy>
#include <QWheelEvent>

#include "data/track_statistics.h"
#include "geodesy/molodensky.h"
#include "map/map_ctrl.h"
#include "map_test_support.h"

namespace tobrel {
namespace {

using test::Angle;
using test::AnyNear;
using test::IsTrackRed;
using test::Mouse;
using test::Render;
using MapCtrlTest = test::MapTest;

TEST_F(MapCtrlTest, PixelRoundTripAtEveryScale) {
    const std::pair<double, double> places[] = {
        {35.6812, 139.7671}, {0.0, 0.0}, {-33.86, 151.2}, {64.1, -21.9}, {0.5, 179.99}};
    const QPoint pixels[] = {{0, 0}, {399, 299}, {200, 150}, {17, 283}, {371, 4}};
    for (const auto& [lat, lon] : places) {
        for (int scale : LayerScales()) {
            ASSERT_TRUE(map_->MoveTo(Angle(lat), Angle(lon), 1, scale));
            ASSERT_EQ(map_->LayerScale(), scale);
            for (const QPoint& px : pixels) {
                SCOPED_TRACE(testing::Message() << lat << "," << lon << " 1:" << scale << " at "
                                                << px.x() << "," << px.y());
                const auto angles = map_->GetLatLongPoint(px.x(), px.y());
                ASSERT_TRUE(angles);
                const auto back = map_->GetLogPoint(angles->latitude, angles->longitude);
                ASSERT_TRUE(back);
                EXPECT_LE(std::abs(back->x() - px.x()), 1);
                EXPECT_LE(std::abs(back->y() - px.y()), 1);
            }
        }
    }
}

TEST_F(MapCtrlTest, MoveToCentresAndRaisesMapMoved) {
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    ASSERT_TRUE(map_->MoveTo(Angle(35.5), Angle(139.5), 1, 70000));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved[0], (QList<QVariant>{Angle(35.5), Angle(139.5), true}));
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0], (QList<QVariant>{250000, 70000}));
    // the centre pixel reports the centre exactly
    const auto centre = map_->GetLatLongPoint(200, 150);
    ASSERT_TRUE(centre);
    EXPECT_EQ(std::make_pair(centre->latitude, centre->longitude),
              std::make_pair(Angle(35.5), Angle(139.5)));
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
    // SetLayerScale snaps too and raises the event only on a change
    layer.clear();
    EXPECT_TRUE(map_->SetLayerScale(900000));
    EXPECT_TRUE(map_->SetLayerScale(1000000));
    EXPECT_FALSE(map_->SetLayerScale(0));
    EXPECT_EQ(map_->LayerScale(), 1000000);
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0], (QList<QVariant>{25000, 1000000}));
}

TEST_F(MapCtrlTest, PolylinesLightTheirPixelsUntilDeleted) {
    UseWgs84At(35.0, 139.0, 250000);
    auto c = Collection();
    ASSERT_TRUE(c);
    const std::int32_t diagonal = Line(*c, {35.05, 34.97}, {138.9, 139.08});
    const std::int32_t south = Line(*c, {34.95, 34.95}, {138.9, 139.1});
    ASSERT_GT(diagonal, 0);
    ASSERT_GT(south, diagonal);
    const QPoint a = Pixel(35.05, 138.9), b = Pixel(34.97, 139.08), s = Pixel(34.95, 139.0);
    const QPoint middle = (a + b) / 2;
    QImage image = Render(*map_);
    for (double t : {0.0, 0.25, 0.5, 0.75, 1.0}) {
        const QPointF p = QPointF(a) + t * QPointF(b - a);
        EXPECT_TRUE(AnyNear(image, qRound(p.x()), qRound(p.y()), 1, IsTrackRed)) << t;
    }
    // well off the line nothing is red
    EXPECT_FALSE(AnyNear(image, a.x(), b.y(), 3, IsTrackRed));
    EXPECT_FALSE(AnyNear(image, b.x(), a.y(), 3, IsTrackRed));
    EXPECT_FALSE(client_->GetCollection()->DeleteElement(south));  // not another collection's
    EXPECT_TRUE(c->DeleteElement(diagonal));
    image = Render(*map_);
    EXPECT_FALSE(AnyNear(image, middle.x(), middle.y(), 2, IsTrackRed));
    EXPECT_TRUE(AnyNear(image, s.x(), s.y(), 1, IsTrackRed));
    EXPECT_FALSE(c->DeleteElement(diagonal));
    EXPECT_FALSE(c->DeleteElement(0));
    EXPECT_EQ(map_->ElementCount(), 1u);
}

TEST_F(MapCtrlTest, PalettesChangeTheBaseMapButNotTheOverlay) {
    UseWgs84At(30.0, 140.0, 1000000);  // open sea south of Japan, a line across the centre
    auto c = Collection();
    ASSERT_TRUE(c);
    ASSERT_GT(Line(*c, {30.0, 30.0}, {139.5, 140.5}), 0);
    const QPoint onLine = Pixel(30.0, 140.0);
    const QPoint sea(onLine.x(), onLine.y() + 40);
    QRgb base[3], line[3];
    for (int palette = 0; palette < 3; ++palette) {
        ASSERT_TRUE(map_->SetPaletteID(static_cast<std::int16_t>(palette)));
        const QImage image = Render(*map_);
        base[palette] = image.pixel(sea);
        line[palette] = image.pixel(onLine);
    }
    EXPECT_EQ(std::set<QRgb>(base, base + 3).size(), 3u);
    EXPECT_EQ(qRed(base[1]), qGreen(base[1]));  // grey
    EXPECT_EQ(qGreen(base[1]), qBlue(base[1]));
    EXPECT_GT(qRed(base[2]), qRed(base[0]));  // washed out toward white
    EXPECT_TRUE(IsTrackRed(line[0]));
    EXPECT_EQ(line[1], line[0]);
    EXPECT_EQ(line[2], line[0]);
    EXPECT_FALSE(map_->SetPaletteID(3));
    EXPECT_EQ(map_->PaletteID(), 2);
}

TEST_F(MapCtrlTest, TokyoDatumPointIsDrawnAtItsWgs84Place) {
    const sorvane::DatumShift tokyo = map_->DatumShift();  // the default
    ASSERT_NEAR(tokyo.dA, 739.845, 1e-9);
    const double latT = 35.6200, lonT = 139.7800;  // Tokyo Bay, Tokyo datum
    ASSERT_TRUE(map_->MoveTo(Angle(latT), Angle(lonT), 1, 25000));
    auto c = Collection();
    ASSERT_TRUE(c);
    ASSERT_GT(Line(*c, {latT, latT}, {lonT - 0.0003, lonT + 0.0003}), 0);  // a short dash
    const auto wgs = sorvane::MolodenskyShift({latT, lonT, 0.0}, sorvane::Reversed(tokyo));
    ASSERT_TRUE(wgs);
    const MapView view = map_->CurrentView();
    const QPointF converted = view.WorldToPixel(LatLonToWorld(wgs->latitude, wgs->longitude));
    const QPointF unconverted = view.WorldToPixel(LatLonToWorld(latT, lonT));
    // the two places are about 460 m apart on the ground
    const double metresPerPixel = 25000 * 0.0254 / 96;
    EXPECT_NEAR(QLineF(converted, unconverted).length() * metresPerPixel, 460, 40);
    const QImage image = Render(*map_);
    const QPoint at = converted.toPoint(), away = unconverted.toPoint();
    EXPECT_TRUE(AnyNear(image, at.x(), at.y(), 1, IsTrackRed));
    EXPECT_FALSE(AnyNear(image, away.x(), away.y(), 3, IsTrackRed));
    // and the position reported back at that pixel is the Tokyo datum one
    const auto back = map_->GetLatLongPoint(at.x(), at.y());
    ASSERT_TRUE(back);
    EXPECT_NEAR(MapAngleToDegrees(back->latitude), latT, 1.5 * metresPerPixel / 111000);
    EXPECT_NEAR(MapAngleToDegrees(back->longitude), lonT, 1.5 * metresPerPixel / 90000);
}

TEST_F(MapCtrlTest, DrawingServiceIdentifiersCountsAndLimits) {
    auto c = Collection();
    ASSERT_TRUE(c);
    std::set<std::int32_t> seen;  // identifiers are never reused, every other one deleted
    for (int i = 0; i < 20; ++i) {
        const std::int32_t id = Line(*c, {35, 35.1}, {139, 139.1});
        EXPECT_TRUE(id > 0 && seen.insert(id).second) << id;
        EXPECT_TRUE(i % 2 == 1 || c->DeleteElement(id));
    }
    const std::vector<std::int32_t> two = {Angle(35), Angle(35.1)};
    for (std::int32_t count : {0, -3, 3})  // 3: more than the arrays hold
        EXPECT_EQ(c->AddPolyline(two, two, count, 0), 0) << count;
    EXPECT_GT(c->AddPolyline(two, two, 1, 0), 0);  // a single point is a dot
    std::vector<std::int32_t> many(100000);        // more than a 16-bit count could carry
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = Angle(35.0) + static_cast<std::int32_t>(i) * 10;
    EXPECT_GT(c->AddPolyline(many, many, 100000, 0), 0);
    EXPECT_GE(map_->ElementMemoryBytes(), 100000 * sizeof(WorldPoint));

    const auto service = map_->MPSObject();
    std::vector<std::shared_ptr<MpsClient>> clients = {client_};
    while (auto client = service->GetClient()) {
        clients.push_back(client);
        ASSERT_LE(clients.size(), 1000u);
    }
    EXPECT_EQ(clients.size(), DrawingCore::kMaxClients);
    EXPECT_NE(clients[1]->ClientID(), client_->ClientID());
    auto c2 = clients[1]->GetCollection();
    ASSERT_TRUE(c2);
    EXPECT_NE(c2->CollectionID(), c->CollectionID());
    const std::size_t elements = map_->ElementCount();
    EXPECT_GT(c2->AddText(10, 10, "X", 0), *seen.rbegin());
    EXPECT_TRUE(clients[1]->ReleaseCollection(c2->CollectionID()));
    EXPECT_EQ(map_->ElementCount(), elements);  // its elements went with it
    EXPECT_FALSE(clients[1]->ReleaseCollection(c2->CollectionID()));
    EXPECT_EQ(c2->AddText(5, 5, "B", 0), 0);  // released: refuses
    EXPECT_TRUE(service->ReleaseClient(clients[2]->ClientID()));
    EXPECT_FALSE(service->ReleaseClient(clients[2]->ClientID()));
    EXPECT_FALSE(clients[2]->GetCollection());
    EXPECT_TRUE(service->GetClient());  // room again
}

TEST_F(MapCtrlTest, DragPansWheelZoomsAndMouseUpReports) {
    UseWgs84At(35.0, 139.0, 250000);
    QSignalSpy moved(map_.get(), &MapCtrl::OnMapMoved);
    QSignalSpy layer(map_.get(), &MapCtrl::OnLayerChanged);
    QSignalSpy up(map_.get(), &MapCtrl::OnMouseUp);
    QSignalSpy mouse(map_.get(), &MapCtrl::MouseMoved);
    const auto west = map_->GetLatLongPoint(150, 150);
    // drag 50 pixels to the right: what was at x 150 comes to the centre
    Mouse(*map_, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton);
    Mouse(*map_, QEvent::MouseMove, {230, 150}, Qt::LeftButton);
    Mouse(*map_, QEvent::MouseMove, {250, 150}, Qt::LeftButton);
    Mouse(*map_, QEvent::MouseButtonRelease, {250, 150}, Qt::LeftButton);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_NEAR(moved[0][1].toInt(), west->longitude, Angle(0.01));
    EXPECT_FALSE(moved[0][2].toBool());
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][2].toInt(), 250);
    // a Ctrl-click does not pan; it reports the click and the mouse position
    Mouse(*map_, QEvent::MouseMove, {100, 80}, Qt::NoButton, Qt::ControlModifier);
    Mouse(*map_, QEvent::MouseButtonPress, {100, 80}, Qt::LeftButton, Qt::ControlModifier);
    Mouse(*map_, QEvent::MouseButtonRelease, {100, 80}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(moved.count(), 1);
    ASSERT_EQ(up.count(), 2);
    EXPECT_EQ(up[1][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_TRUE(up[1][1].value<Qt::KeyboardModifiers>() & Qt::ControlModifier);
    EXPECT_EQ(std::make_pair(up[1][2].toInt(), up[1][3].toInt()), std::make_pair(100, 80));
    EXPECT_EQ(map_->GetMouseLatLong(), map_->GetLatLongPoint(100, 80));
    ASSERT_GE(mouse.count(), 1);  // the window's status bar follows the pointer
    const auto at = map_->GetLatLongPoint(100, 80);
    EXPECT_EQ(mouse.last(), (QList<QVariant>{at->latitude, at->longitude}));
    // the wheel steps through the layer list, keeping the place under the pointer
    const auto underPointer = map_->GetLatLongPoint(300, 100);
    QWheelEvent wheel(QPointF(300, 100), map_->mapToGlobal(QPointF(300, 100)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(map_.get(), &wheel);
    ASSERT_EQ(layer.count(), 1);
    EXPECT_EQ(layer[0], (QList<QVariant>{250000, 100000}));
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
    EXPECT_FALSE(bars[0]->isVisible() || bars[1]->isVisible());
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
    // labels, the scale bar and the attribution stay clear of the bars
    const QRect area = map_->LabelArea();
    for (QScrollBar* bar : bars)
        EXPECT_FALSE(area.intersects(bar->geometry()));
    EXPECT_EQ(area.united(horizontal->geometry()).bottom(), map_->height() - 1);
    EXPECT_TRUE(area.contains(map_->ScaleBarRect()));
    // hidden bars stay out of the picture; the map geometry does not change
    map_->SetScrollBar(false);
    EXPECT_EQ(map_->GetLatLongPoint(200, 150), after);
    EXPECT_EQ(map_->LabelArea(), map_->rect());
}

bool IsBarDark(QRgb c) {
    return qGray(c) < 60;
}

TEST_F(MapCtrlTest, ScaleBarMatchesTheMetresPerPixelAtThreeLatitudes) {
    for (double lat : {0.5, 35.68, 60.2}) {
        SCOPED_TRACE(lat);
        UseWgs84At(lat, 139.0, 25000);
        // metres per pixel measured on the ground, through positions only
        const auto west = map_->GetLatLongPoint(100, 150);
        const auto east = map_->GetLatLongPoint(300, 150);
        ASSERT_TRUE(west && east);
        const double metresPerPixel =
            SphereDistance(MapAngleToDegrees(west->latitude), MapAngleToDegrees(west->longitude),
                           MapAngleToDegrees(east->latitude), MapAngleToDegrees(east->longitude)) /
            200.0;
        const ScaleBar bar = map_->CurrentScaleBar();
        EXPECT_NEAR(bar.pixels * metresPerPixel / bar.metres, 1.0, 0.01);
        const double mantissa = bar.metres / std::pow(10.0, std::floor(std::log10(bar.metres)));
        EXPECT_TRUE(mantissa == 1.0 || mantissa == 2.0 || mantissa == 5.0) << bar.metres;
        // and the bar drawn is that long: a dark run along its line
        const QRect box = map_->ScaleBarRect();
        ASSERT_FALSE(box.isEmpty());
        const QImage image = Render(*map_);
        const int y = box.bottom() - 2;
        int run = 0;
        for (int x = box.left(); x <= box.right() + 2; ++x)
            run += IsBarDark(image.pixel(x, y));
        EXPECT_NEAR(run, bar.pixels, 1.0);
    }
    map_->SetScaleBarVisible(false);
    EXPECT_TRUE(map_->ScaleBarRect().isEmpty());
}

bool IsMarkOrange(QRgb c) {
    return qRed(c) > 220 && qGreen(c) > 110 && qGreen(c) < 170 && qBlue(c) < 60;
}
bool IsPositionBlue(QRgb c) {
    return qBlue(c) > 200 && qRed(c) < 60;
}

TEST_F(MapCtrlTest, MarkersDrawnAtTheirPlaces) {
    UseWgs84At(30.0, 140.0, 25000);  // open sea
    const QPoint p = Pixel(30.001, 140.002);
    map_->SetMarkedPoint(Angle(30.001), Angle(140.002));
    const auto marked = map_->MarkedPoint();
    ASSERT_TRUE(marked);
    EXPECT_NEAR(marked->latitude, Angle(30.001), 2);
    QImage image = Render(*map_);
    EXPECT_TRUE(AnyNear(image, p.x() + 7, p.y(), 1, IsMarkOrange));
    EXPECT_FALSE(AnyNear(image, p.x() + 40, p.y(), 3, IsMarkOrange));
    map_->ClearMarkedPoint();
    EXPECT_FALSE(map_->MarkedPoint());
    EXPECT_FALSE(AnyNear(Render(*map_), p.x() + 7, p.y(), 1, IsMarkOrange));

    // the live position: a dot, a heading arrow, an accuracy circle
    PositionMarker position;
    position.latitude = Angle(30.0);
    position.longitude = Angle(140.0);
    position.headingDegrees = 90.0;  // east
    position.accuracyMetres = 300.0;
    map_->SetPositionMarker(position);
    ASSERT_TRUE(map_->CurrentPositionMarker());
    const QPoint c = Pixel(30.0, 140.0);
    const double radius = 300.0 / MetresPerPixel(map_->CurrentView());  // about 45 pixels
    image = Render(*map_);
    const QImage plain = [&] {
        map_->ClearPositionMarker();
        return Render(*map_);
    }();
    EXPECT_TRUE(IsPositionBlue(image.pixel(c)));
    EXPECT_TRUE(AnyNear(image, c.x() + 16, c.y(), 1, IsPositionBlue));   // the arrow, east
    EXPECT_FALSE(AnyNear(image, c.x() - 16, c.y(), 1, IsPositionBlue));  // nothing west
    // inside the circle the sea is tinted, outside it is not
    const QPoint inside(c.x(), c.y() + static_cast<int>(radius) - 4);
    const QPoint outside(c.x(), c.y() + static_cast<int>(radius) + 4);
    EXPECT_NE(image.pixel(inside), plain.pixel(inside));
    EXPECT_EQ(image.pixel(outside), plain.pixel(outside));
    // an old fix is greyed
    position.stale = true;
    map_->SetPositionMarker(position);
    image = Render(*map_);
    EXPECT_FALSE(AnyNear(image, c.x(), c.y(), 3, IsPositionBlue));
    EXPECT_EQ(qRed(image.pixel(c)), qBlue(image.pixel(c)));
}

TEST_F(MapCtrlTest, HitTestFindsTheNearestLineAndItsVertex) {
    UseWgs84At(35.0, 139.0, 25000);
    auto c = Collection();
    ASSERT_TRUE(c);
    std::vector<double> lats, lons;
    for (int i = 0; i < 600; ++i) {  // east along 35 N, a point every 0.0001 degree
        lats.push_back(35.0);
        lons.push_back(138.99 + i * 0.0001);
    }
    const std::int32_t east = Line(*c, lats, lons);
    const std::int32_t north = Line(*c, {34.995, 35.005}, {139.002, 139.002});
    ASSERT_GT(north, east);
    // 4 pixels below point 150 (139.005)
    QPoint p = Pixel(35.0, 139.005) + QPoint(0, 4);
    auto hit = map_->HitTestPolyline(p.x(), p.y());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->elementId, east);
    EXPECT_EQ(hit->vertex, 150);
    EXPECT_NEAR(hit->distancePixels, 4.0, 1.0);
    EXPECT_FALSE(map_->HitTestPolyline(p.x(), p.y(), 2));  // farther than asked
    EXPECT_FALSE(map_->HitTestPolyline(p.x(), p.y() + 40));
    // nearer the other line: that one, its end vertex
    p = Pixel(35.004, 139.002) + QPoint(3, 0);
    hit = map_->HitTestPolyline(p.x(), p.y());
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->elementId, north);
    EXPECT_EQ(hit->vertex, 1);
    // labels are no lines
    EXPECT_GT(c->AddText(50, 50, "X", 0), 0);
    EXPECT_FALSE(map_->HitTestPolyline(50, 50, 3));
}

}  // namespace
}  // namespace tobrel
