// The live position of the real window against the simulator streaming NMEA:
// the marker in the control's datum and on the WGS 84 map, follow and a drag,
// the satellite panel, the recorded track with its segments, the threads
// after stopping, and the messages for a port that cannot be opened, a
// silent port and a receiver in its binary protocol.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cmath>
#include <set>

#include <QFile>
#include <QMenu>
#include <QStatusBar>

#include "data/tobrel_file.h"
#include "geodesy/map_datum.h"
#include "map/map_ctrl.h"
#include "map/map_projection.h"
#include "map_test_support.h"
#include "ui/document.h"
#include "ui/gps/gps_commands.h"
#include "ui/gps/live_position.h"
#include "ui/gps/satellite_panel.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using testsupport::RunningSimulator;
using uitest::WaitFor;

// Threads of the GPS session: its worker is named "gps", and the receiver's
// thread, started from the worker, takes that name too.
int GpsThreads() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.')
                continue;
            QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(e->d_name));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "gps")
                ++n;
        }
        ::closedir(d);
    }
    return n;
}

// A walk of n points one second apart, heading north-east.
gpssim::Options Walk(const std::string& arguments, int n = 1000) {
    gpssim::Options o = testsupport::ParseSimOptions(arguments);
    gpssim::DataSet d;
    gpssim::SimTrack t{"WALK", {}};
    for (int i = 0; i < n; ++i)
        t.points.push_back({35.6 + i * 2e-5, 139.7 + i * 2e-5, 700000000u + i, 50.0f, i == 0});
    d.tracks.push_back(t);
    o.data = d;
    return o;
}

// Where the control's datum has a WGS 84 position.
MapAngles Local(double latitude, double longitude, double altitude) {
    static const sorvane::MapDatum tokyo;
    const auto p = tokyo.wgs84ToLocal(latitude, longitude, altitude);
    return {DegreesToMapAngle(p->latitude), DegreesToMapAngle(p->longitude)};
}

class LivePositionTest : public uitest::ReceiverWindowTest {
  protected:
    static void GoLive(TfrmMain& w) {
        w.Action(QStringLiteral("mnuGPSLive"))->trigger();
        ASSERT_TRUE(w.Live()->IsLive());
    }
    static void StopLive(TfrmMain& w) {
        w.Action(QStringLiteral("mnuGPSLive"))->trigger();
        ASSERT_TRUE(WaitFor([&] { return !w.Live()->IsLive(); }));
    }
    static bool WaitForFixes(TfrmMain& w, std::uint64_t n) {
        return WaitFor([&] { return w.Live()->FixCount() >= n; });
    }
    static QString MessageText(TfrmMain& w) {
        QMessageBox* box = w.Live()->Message();
        return box != nullptr && box->isVisible() ? box->text() : QString();
    }
    // The cycle the simulator sent with this fix's time.
    static const gpssim::NmeaCycle* CycleOf(const std::vector<gpssim::NmeaCycle>& cycles,
                                            double time) {
        for (const auto& c : cycles)
            if (c.unixTime == static_cast<std::int64_t>(std::floor(time)))
                return &c;
        return nullptr;
    }
};

TEST_F(LivePositionTest, TheMarkerFollowsTheStreamInTheControlsDatumAndOnTheWgs84Map) {
    RunningSimulator sim(Walk("--nmea --nmea-rate 10"));
    sim.port(1);
    auto w = Start();
    GoLive(*w);
    EXPECT_FALSE(w->Action("mnuDPSDownloadTrack")->isEnabled());
    MapCtrl* map = w->MapCtrl1();
    for (const std::uint64_t n : {3u, 12u, 25u}) {
        ASSERT_TRUE(WaitForFixes(*w, n));
        const SorvaneFix fix = *w->Live()->LastFix();
        ASSERT_TRUE(fix.valid);
        const auto cycles = sim.sim().NmeaCycles();
        const gpssim::NmeaCycle* cycle = CycleOf(cycles, fix.time);
        ASSERT_NE(cycle, nullptr);
        // In the control's datum, as the store and the map's interface take it.
        const auto& marker = map->CurrentPositionMarker();
        ASSERT_TRUE(marker.has_value());
        const MapAngles want = Local(cycle->latitude, cycle->longitude, cycle->altitude);
        EXPECT_NEAR(marker->latitude, want.latitude, 2);
        EXPECT_NEAR(marker->longitude, want.longitude, 2);
        EXPECT_FALSE(marker->stale);
        ASSERT_TRUE(marker->headingDegrees.has_value());
        EXPECT_NEAR(*marker->headingDegrees, cycle->course, 0.5);
        EXPECT_GT(marker->accuracyMetres, 0.0);
        // On the WGS 84 base map the view is centred on the streamed position.
        double lat = 0;
        double lon = 0;
        WorldToLatLon(map->CurrentView().centre, &lat, &lon);
        EXPECT_NEAR(lat, cycle->latitude, 1e-6);
        EXPECT_NEAR(lon, cycle->longitude, 1e-6);
        const auto pixel = map->GetLogPoint(marker->latitude, marker->longitude);
        ASSERT_TRUE(pixel.has_value());
        EXPECT_NEAR(pixel->x(), map->width() / 2, 1);
        EXPECT_NEAR(pixel->y(), map->height() / 2, 1);
    }
    const QString status = w->Live()->StatusLabel()->text();
    EXPECT_TRUE(status.contains("fix")) << status.toStdString();
    EXPECT_TRUE(status.contains("km/h")) << status.toStdString();
    // The receiver field says the port streams NMEA, not what identification
    // found on it before, and gets that back afterwards.
    const auto receiverField = [&] {
        return w->findChild<QLabel*>(QStringLiteral("ReceiverStatus"))->text();
    };
    EXPECT_EQ(receiverField(), "COM1 (" + QString::fromStdString(sim.path()) +
                                   "): live position from NMEA sentences");
    StopLive(*w);
    EXPECT_EQ(receiverField(),
              "COM1 (" + QString::fromStdString(sim.path()) + "): no answer from a receiver");
    EXPECT_FALSE(map->CurrentPositionMarker().has_value());
    EXPECT_TRUE(w->Action("mnuDPSDownloadTrack")->isEnabled());
}

TEST_F(LivePositionTest, ADragSwitchesFollowOffAndTheMapStaysWhereTheUserPutIt) {
    RunningSimulator sim(Walk("--nmea --nmea-rate 10"));
    sim.port(1);
    auto w = Start();
    GoLive(*w);
    ASSERT_TRUE(WaitForFixes(*w, 3));
    ASSERT_TRUE(w->Action("mnuGPSFollow")->isChecked());
    MapCtrl* map = w->MapCtrl1();
    test::Mouse(*map, QEvent::MouseButtonPress, {200, 150}, Qt::LeftButton);
    test::Mouse(*map, QEvent::MouseMove, {260, 150}, Qt::LeftButton);
    test::Mouse(*map, QEvent::MouseMove, {300, 150}, Qt::LeftButton);
    test::Mouse(*map, QEvent::MouseButtonRelease, {300, 150}, Qt::LeftButton);
    EXPECT_FALSE(w->Live()->IsFollowing());
    EXPECT_FALSE(w->Action("mnuGPSFollow")->isChecked());
    const WorldPoint dragged = map->CurrentView().centre;
    const std::uint64_t seen = w->Live()->FixCount();
    ASSERT_TRUE(WaitForFixes(*w, seen + 5));
    EXPECT_EQ(map->CurrentView().centre.x, dragged.x);
    EXPECT_EQ(map->CurrentView().centre.y, dragged.y);
    // Follow again: back on the marker at once.
    w->Action("mnuGPSFollow")->trigger();
    EXPECT_TRUE(w->Live()->IsFollowing());
    const auto& marker = map->CurrentPositionMarker();
    ASSERT_TRUE(marker.has_value());
    const auto pixel = map->GetLogPoint(marker->latitude, marker->longitude);
    EXPECT_NEAR(pixel->x(), map->width() / 2, 1);
    StopLive(*w);
}

TEST_F(LivePositionTest, TheSatellitePanelShowsTheSimulatorsSatellites) {
    RunningSimulator sim(Walk("--nmea --nmea-rate 10 --nmea-systems gps,glonass"));
    sim.port(1);
    auto w = Start();
    GoLive(*w);
    SatellitePanel* panel = w->Live()->Panel();
    ASSERT_TRUE(WaitFor([&] { return panel->Satellites().size() >= 16; }));
    ASSERT_TRUE(WaitForFixes(*w, 5));
    std::set<std::tuple<std::string, int, int, int>> shown;
    for (const SorvaneSatellite& s : panel->Satellites())
        shown.insert({SatelliteName(s).left(1).toStdString(), s.number > 0 ? s.number : s.prn,
                      s.elevation, s.azimuth});
    // The panel's list is one the simulator sent (its sky moves slowly).
    bool matched = false;
    for (const auto& cycle : sim.sim().NmeaCycles()) {
        std::set<std::tuple<std::string, int, int, int>> sent;
        for (const auto& s : cycle.sky)
            sent.insert({s.system == "GLONASS" ? "R" : "G", s.number, s.elevation, s.azimuth});
        matched = matched || sent == shown;
    }
    EXPECT_TRUE(matched);
    EXPECT_EQ(panel->Summary()->text(), QString("%1 in view, %2 used")
                                            .arg(panel->Satellites().size())
                                            .arg(w->Live()->LastFix()->satellitesUsed));
    // A screen reader gets the table as text.
    EXPECT_TRUE(panel->Sky()->accessibleDescription().contains("elevation"));
    EXPECT_EQ(panel->Sky()->accessibleName(), "Sky plot");
    // The panel is a dock of the View menu like the others.
    EXPECT_TRUE(w->Menu("mmView")->actions().contains(panel->toggleViewAction()));
    StopLive(*w);
    EXPECT_TRUE(panel->Satellites().empty());
}

TEST_F(LivePositionTest, TheRecordedTrackHoldsTheStreamedPointsAndANewSegmentAfterALostFix) {
    gpssim::Options o = Walk("--nmea --nmea-rate 10 --nmea-fix-loss 2:1.5");
    o.nmea.paused = true;
    RunningSimulator sim(o);
    sim.port(1);
    auto w = Start();
    GoLive(*w);
    ASSERT_TRUE(WaitFor([&] { return w->Action("mnuGPSRecord")->isEnabled(); }));
    w->Action("mnuGPSRecord")->trigger();
    ASSERT_TRUE(w->Live()->IsRecording());
    const int t = w->Live()->RecordedTrack();
    ASSERT_EQ(t, 0);
    sim.sim().ResumeNmea();
    // While the fix is lost the marker stays, greyed.
    ASSERT_TRUE(WaitFor([&] { return w->Live()->LastFix() && !w->Live()->LastFix()->valid; }));
    ASSERT_TRUE(w->MapCtrl1()->CurrentPositionMarker().has_value());
    EXPECT_TRUE(w->MapCtrl1()->CurrentPositionMarker()->stale);
    ASSERT_TRUE(WaitForFixes(*w, 50));
    // The tree and the map grew with the track.
    EXPECT_EQ(w->Tree()->TrackRoot()->rowCount(), 2);
    w->Action("mnuGPSRecord")->trigger();
    EXPECT_FALSE(w->Live()->IsRecording());
    StopLive(*w);

    const TobrelFile& store = w->Doc()->Store();
    ASSERT_EQ(store.GetTrackCount(), 1);
    EXPECT_TRUE(QString(store.GetTrackName(0)).startsWith("LIVE "));
    EXPECT_TRUE(w->Doc()->IsModified());
    EXPECT_EQ(store.GetTrackSegmentCount(0), 2);
    std::vector<gpssim::NmeaCycle> valid;
    for (const auto& c : sim.sim().NmeaCycles())
        if (c.valid)
            valid.push_back(c);
    const int n = store.GetTrackPointCount(0);
    ASSERT_GE(n, 30);
    const TrackData* points = store.GetTrackData(0);
    // A receiver that starts slowly may drop what came before its first read:
    // the points are the valid cycles from the one of the first point on.
    std::size_t from = 0;
    while (from < valid.size() && valid[from].unixTime != points[0].time + kUnixTimeOffset)
        ++from;
    ASSERT_LE(from, 2u);
    ASSERT_LE(from + static_cast<std::size_t>(n), valid.size());
    for (int i = 0; i < n; ++i) {
        const gpssim::NmeaCycle& c = valid[from + static_cast<std::size_t>(i)];
        SCOPED_TRACE(i);
        EXPECT_EQ(points[i].time + std::int64_t{kUnixTimeOffset}, c.unixTime);
        const MapAngles want = Local(c.latitude, c.longitude, c.altitude);
        EXPECT_NEAR(DegreesToMapAngle(points[i].latitude), want.latitude, 2);
        EXPECT_NEAR(DegreesToMapAngle(points[i].longitude), want.longitude, 2);
        // Twenty cycles with a fix, then fifteen without: the new segment starts there.
        EXPECT_EQ(int{points[i].segment}, c.number <= 20 ? 1 : 2);
    }
    // Packed records: the values are copied before comparing.
    const double first = points[0].distance;
    const double second = points[1].distance;
    const double last = points[n - 1].distance;
    EXPECT_EQ(first, 0.0);
    EXPECT_GT(last, second);
    // Each segment is one line on the map and one node.
    EXPECT_EQ(w->MapCtrl1()->ElementCount(), 2u);
    EXPECT_EQ(w->Tree()->TrackRoot()->child(1)->data(TreeController::kSegmentRole).toInt(), 2);
}

TEST_F(LivePositionTest, DeletingTheTrackBeingRecordedStopsTheRecordingAndKeepsLive) {
    RunningSimulator sim(Walk("--nmea --nmea-rate 10"));
    sim.port(1);
    auto w = Start();
    GoLive(*w);
    ASSERT_TRUE(WaitForFixes(*w, 2));
    w->Action("mnuGPSRecord")->trigger();
    ASSERT_TRUE(WaitFor([&] { return w->Doc()->Store().GetTrackPointCount(0) >= 3; }));
    w->Tree()->Delete(w->Tree()->TrackRoot()->child(0)->index());
    const std::uint64_t seen = w->Live()->FixCount();
    ASSERT_TRUE(WaitForFixes(*w, seen + 2));
    EXPECT_FALSE(w->Live()->IsRecording());
    EXPECT_FALSE(w->Action("mnuGPSRecord")->isChecked());
    EXPECT_EQ(w->Doc()->Store().GetTrackCount(), 0);
    EXPECT_TRUE(MessageText(*w).contains("deleted")) << MessageText(*w).toStdString();
    EXPECT_TRUE(w->Live()->IsLive());
    StopLive(*w);
}

TEST_F(LivePositionTest, StoppingAndClosingTheWindowLeaveNoReceiverThread) {
    RunningSimulator sim(Walk("--nmea --nmea-rate 10"));
    sim.port(1);
    auto w = Start();
    EXPECT_EQ(GpsThreads(), 1);  // the session's worker
    GoLive(*w);
    ASSERT_TRUE(WaitForFixes(*w, 3));
    EXPECT_EQ(GpsThreads(), 2);  // and the receiver's
    StopLive(*w);
    EXPECT_EQ(GpsThreads(), 1);
    // Closing while live: the session stops the receiver and its own thread.
    GoLive(*w);
    ASSERT_TRUE(WaitForFixes(*w, 6));
    w->close();
    w.reset();
    EXPECT_EQ(GpsThreads(), 0);
}

TEST_F(LivePositionTest, LiveWaitsForARunningTransferToEnd) {
    RunningSimulator sim("--no-answer");
    sim.port(1);
    auto w = Start();
    w->Action("mnuDPSDownloadTrack")->trigger();
    ASSERT_TRUE(w->Gps()->IsRunning());
    w->Action("mnuGPSLive")->trigger();
    EXPECT_FALSE(w->Live()->IsLive());
    EXPECT_FALSE(w->Action("mnuGPSLive")->isChecked());
    EXPECT_TRUE(MessageText(*w).contains("busy")) << MessageText(*w).toStdString();
    uitest::AnswerMessageBox(QMessageBox::Ok);  // "Communication error"
    ASSERT_TRUE(WaitFor([&] { return !w->Gps()->IsRunning(); }));
}

TEST_F(LivePositionTest, APortThatCannotBeOpenedSaysWhy) {
    auto w = Start();  // port 1 names /nonexistent/tty1
    w->Action("mnuGPSLive")->trigger();
    ASSERT_TRUE(WaitFor([&] { return !w->Live()->IsLive(); }));
    EXPECT_EQ(MessageText(*w),
              "COM1 (/nonexistent/tty1) cannot be opened: No such file or directory.");
    EXPECT_FALSE(w->Action("mnuGPSLive")->isChecked());
    EXPECT_FALSE(w->Action("mnuGPSRecord")->isEnabled());
}

TEST_F(LivePositionTest, ASilentPortAndABinaryModeReceiverAreTold) {
    struct Case {
        const char* simulator;
        bool staysLive;
        const char* says;
    };
    const Case cases[] = {
        {"--no-answer", true, "No NMEA sentences came from COM1"},
        {"", false, "answers in its binary transfer protocol"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.simulator);
        RunningSimulator sim(c.simulator);
        sim.port(1);
        auto w = Start();
        GoLive(*w);
        ASSERT_TRUE(WaitFor([&] { return !MessageText(*w).isEmpty(); }, 30000));
        EXPECT_TRUE(MessageText(*w).contains(c.says)) << MessageText(*w).toStdString();
        EXPECT_TRUE(MessageText(*w).contains(QString::fromStdString(sim.path())));
        EXPECT_TRUE(WaitFor([&] { return w->Live()->IsLive() == c.staysLive; }));
        if (w->Live()->IsLive())
            StopLive(*w);
        // The transfers have the port again.
        EXPECT_TRUE(w->Action("mnuDPSDownloadTrack")->isEnabled());
    }
}

}  // namespace
}  // namespace tobrel
