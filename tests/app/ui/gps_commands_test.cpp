// The GPS menu of the real window against the receiver simulator: downloads
// from both families into the store, the tree and the map; uploads compared
// field by field with what the receiver first sent; an unsupported model, a
// silent port, a receiver that stops, Cancel, a receiver talking NMEA, and
// names the receiver would change.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

#include <QElapsedTimer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTreeView>

#include "data/tobrel_file.h"
#include "geodesy/map_datum.h"
#include "map/map_ctrl.h"
#include "records.h"
#include "ui/dialogs/route_dialog.h"
#include "ui/dialogs/select_pid_dialog.h"
#include "ui/document.h"
#include "ui/files/file_commands.h"
#include "ui/gps/gps_commands.h"
#include "ui/gps/gps_records.h"
#include "ui/main_window.h"
#include "ui/tree_controller.h"
#include "ui_test_support.h"

namespace tobrel {
namespace {

using testsupport::RunningSimulator;
using uitest::WaitFor;
using uitest::WhenModal;

constexpr std::int64_t kEpoch = 631065600;

// Degrees as the receiver sends them.
double Wire(double degrees) {
    return gpssim::WireToDegrees(gpssim::DegreesToWire(degrees));
}

// A position as the control hands it out in the Tokyo datum.
sorvane::GeoPosition Local(double lat, double lon, double alt) {
    static const sorvane::MapDatum tokyo;
    return *tokyo.wgs84ToLocal(Wire(lat), Wire(lon), alt);
}

gpssim::Options SimOptions(const std::string& arguments, const gpssim::DataSet* data = nullptr) {
    gpssim::Options o = testsupport::ParseSimOptions(arguments);
    if (data != nullptr)
        o.data = *data;
    return o;
}

// A track of n points along the bay, one segment.
gpssim::DataSet LongTrack(int n) {
    gpssim::DataSet d;
    gpssim::SimTrack t{"LONG", {}};
    for (int i = 0; i < n; ++i)
        t.points.push_back({35.5 + i * 1e-4, 139.7 + i * 1e-4, 700000000u + i, 10.0f, i == 0});
    d.tracks.push_back(t);
    return d;
}

QStringList Nodes(const QStandardItem* root) {
    QStringList names;
    for (int i = 0; i < root->rowCount(); ++i)
        names.append(root->child(i)->text().section(QLatin1Char('/'), 0, 0));
    return names;
}

class GpsCommandsTest : public uitest::ReceiverWindowTest {
  protected:
    // Chooses a GPS menu item and waits until its command has ended.
    static void Run(TfrmMain& w, const char* item) {
        w.Action(QString::fromLatin1(item))->trigger();
        ASSERT_TRUE(WaitFor([&] { return !w.Gps()->IsRunning(); })) << item;
    }
    // A message box's text, informative text and title, answered with OK.
    struct Box {
        QString text, info, title;
    };
    static std::shared_ptr<Box> ExpectBox() {
        auto box = std::make_shared<Box>();
        WhenModal<QMessageBox>([box](QMessageBox* m) {
            *box = {m->text(), m->informativeText(), m->windowTitle()};
            m->button(QMessageBox::Ok)->click();
        });
        return box;
    }
    // Loads a store with one track of two points and one waypoint, unmodified.
    static void LoadPrevious(TfrmMain& w, const QString& path) {
        ASSERT_TRUE(w.Files()->OpenFile(path));
        ASSERT_EQ(w.Doc()->Store().GetTrackCount(), 1);
    }
    QString PreviousFile() {
        TobrelFile store;
        testing::AddTrack(store, "KEPT", {{1, 35.0, 139.0}, {1, 35.01, 139.01}});
        store.AddWaypoints(1);
        store.SetWaypoint(0, "OLD", "", 35.0, 139.0, 0, 0, 18, 0);
        return SampleFile("previous.tb2", &store);
    }
    static void ExpectPreviousKept(TfrmMain& w) {
        const TobrelFile& store = w.Doc()->Store();
        ASSERT_EQ(store.GetTrackCount(), 1);
        EXPECT_STREQ(store.GetTrackName(0), "KEPT");
        EXPECT_EQ(store.GetTrackPointCount(0), 2);
        EXPECT_EQ(Nodes(w.Tree()->TrackRoot()), QStringList{"KEPT"});
        EXPECT_EQ(w.MapCtrl1()->ElementCount(), 2u);  // the track and the waypoint
        EXPECT_FALSE(w.Doc()->IsModified());
    }
};

// ---------------------------------------------------------------- downloads

TEST_F(GpsCommandsTest, DownloadsTracksAndWaypointsFromBothFamilies) {
    const gpssim::DataSet sample = gpssim::BuiltInDataSet();
    for (const int product : {130, 87}) {
        SCOPED_TRACE(product);
        const bool newer = product == 130;
        RunningSimulator sim("--product " + std::to_string(product));
        sim.port(1);
        auto w = Start();
        Run(*w, "mnuDPSDownloadTrack");
        Run(*w, "mnuDPSDownloadWaypoint");
        const TobrelFile& store = w->Doc()->Store();

        // Newer receivers send named tracks; older ones one unnamed log of all
        // segments, which takes the name TRACK-0.
        struct Expected {
            std::string name;
            std::vector<gpssim::SimTrackPoint> points;
        };
        std::vector<Expected> tracks;
        if (newer) {
            for (const auto& t : sample.tracks)
                tracks.push_back({t.name, t.points});
        } else {
            tracks.push_back({"TRACK-0", {}});
            for (const auto& t : sample.tracks)
                tracks[0].points.insert(tracks[0].points.end(), t.points.begin(), t.points.end());
        }
        ASSERT_EQ(store.GetTrackCount(), static_cast<int>(tracks.size()));
        QStringList nodes;
        for (int t = 0; t < store.GetTrackCount(); ++t) {
            const Expected& want = tracks[static_cast<std::size_t>(t)];
            EXPECT_EQ(store.GetTrackName(t), want.name);
            ASSERT_EQ(store.GetTrackPointCount(t), static_cast<int>(want.points.size()));
            int segment = 0;
            for (int k = 0; k < store.GetTrackPointCount(t); ++k) {
                const gpssim::SimTrackPoint& p = want.points[static_cast<std::size_t>(k)];
                segment += p.newSegment ? 1 : 0;
                const auto local = Local(p.latitude, p.longitude, newer ? p.altitude : 0.0);
                // Fields of the packed record, read by value.
                const TrackData* d = store.GetTrackData(t) + k;
                const double lat = d->latitude, lon = d->longitude, distance = d->distance;
                const float alt = d->altitude;
                const int dSegment = d->segment;
                EXPECT_NEAR(lat, local.latitude, 1e-12) << k;
                EXPECT_NEAR(lon, local.longitude, 1e-12) << k;
                EXPECT_FLOAT_EQ(alt, static_cast<float>(local.height)) << k;
                EXPECT_EQ(store.GetTrackPointTime(t, k), p.time + kEpoch) << k;
                EXPECT_EQ(dSegment, segment) << k;
                if (k > 0) {
                    const double before = (d - 1)->distance;
                    EXPECT_GT(distance, before) << k;
                }
                if (k == 0 || p.newSegment)
                    nodes.append(QString::fromStdString(want.name));
            }
            EXPECT_EQ(store.GetTrackSegmentCount(t), segment);
        }
        // One node and one polyline per segment.
        EXPECT_EQ(Nodes(w->Tree()->TrackRoot()), nodes);

        ASSERT_EQ(store.GetWaypointCount(), static_cast<int>(sample.waypoints.size()));
        for (int i = 0; i < store.GetWaypointCount(); ++i) {
            const gpssim::SimWaypoint& want = sample.waypoints[static_cast<std::size_t>(i)];
            SCOPED_TRACE(want.name);
            const bool none = !newer || want.altitude == gpssim::kNoValue;
            const auto local = Local(want.latitude, want.longitude, none ? 0.0 : want.altitude);
            const WaypointData* d = store.GetWaypointData(i);
            // Older receivers pad names to six and comments to forty characters.
            const auto padded = [&](const std::string& text, std::size_t n) {
                return newer ? text : text + std::string(n - text.size(), ' ');
            };
            EXPECT_EQ(d->ident, padded(want.name, 6));
            const double lat = d->latitude, lon = d->longitude;
            const float alt = d->altitude;
            const int symbol = d->symbol, display = d->display;
            EXPECT_NEAR(lat, local.latitude, 1e-12);
            EXPECT_NEAR(lon, local.longitude, 1e-12);
            if (newer && none) {
                EXPECT_EQ(alt, -9999.0f);
            } else {
                EXPECT_FLOAT_EQ(alt, static_cast<float>(local.height));
            }
            // Older layout 4103 carries the comment, a one-byte symbol and the
            // display; the newer one the symbol.
            EXPECT_EQ(d->comment, newer ? std::string() : padded(want.comment, 40));
            EXPECT_EQ(symbol, newer ? want.symbol : want.symbol & 0xFF);
            EXPECT_EQ(display, newer ? 0 : want.display);
        }
        EXPECT_EQ(Nodes(w->Tree()->WaypointRoot()).join('|').remove(' '), "HOME|PIER|HILL");
        EXPECT_EQ(w->MapCtrl1()->ElementCount(),
                  static_cast<std::size_t>(nodes.size() + store.GetWaypointCount()));
        EXPECT_TRUE(w->Doc()->IsModified());
        EXPECT_EQ(w->statusBar()->currentMessage(), "Waypoints downloaded: 3.");
        w->Doc()->SetModified(false);
    }
}

// ---------------------------------------------------------------- uploads

TEST_F(GpsCommandsTest, UploadsGiveBackWhatWasDownloadedFieldByField) {
    const gpssim::DataSet sample = gpssim::BuiltInDataSet();
    for (const int product : {130, 87}) {
        SCOPED_TRACE(product);
        const bool newer = product == 130;
        RunningSimulator sim("--product " + std::to_string(product));
        sim.port(1);
        auto w = Start();
        Run(*w, "mnuDPSDownloadTrack");
        Run(*w, "mnuDPSDownloadWaypoint");
        Run(*w, "mnuUploadTrack");
        Run(*w, "mnuUploadWaypoint");
        // The last track node (FERRY, or the older receiver's only track) as a
        // route with the dialog's defaults.
        QStandardItem* trackRoot = w->Tree()->TrackRoot();
        w->TreeView1()->setCurrentIndex(trackRoot->child(trackRoot->rowCount() - 1)->index());
        WhenModal<TfrmRouteDlg>([](TfrmRouteDlg* d) { d->bbOk->click(); });
        Run(*w, "mnuUploadTrackAsRoute");
        ASSERT_TRUE(sim.sim().WaitForCompleteUploads(3, std::chrono::seconds(10)));
        const std::vector<gpssim::Upload> uploads = sim.sim().Uploads();
        ASSERT_EQ(uploads.size(), 3u);

        // Tracks: every point where it came from, in its segment, at its time.
        std::vector<std::string> names;
        std::vector<gpssim::SimTrackPoint> sent;
        std::vector<std::pair<std::int32_t, std::int32_t>> raw;
        for (const gpssim::UploadedPacket& p : uploads[0].packets) {
            if (p.id == gpssim::kPidTrackHeader)
                names.push_back(p.trackName);
            if (p.id == gpssim::kPidTrackPoint) {
                sent.push_back(p.trackPoint);
                raw.emplace_back(p.rawLatitude, p.rawLongitude);
            }
        }
        std::vector<gpssim::SimTrackPoint> want;
        for (const auto& t : sample.tracks)
            want.insert(want.end(), t.points.begin(), t.points.end());
        const std::vector<std::string> trackNames{"ACTIVE LOG", "FERRY"};
        EXPECT_EQ(names, newer ? trackNames : std::vector<std::string>());
        ASSERT_EQ(sent.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k) {
            SCOPED_TRACE(k);
            EXPECT_EQ(raw[k].first, gpssim::DegreesToWire(want[k].latitude));
            EXPECT_EQ(raw[k].second, gpssim::DegreesToWire(want[k].longitude));
            EXPECT_EQ(sent[k].time, want[k].time);
            EXPECT_EQ(sent[k].newSegment, want[k].newSegment);
            if (newer) {
                EXPECT_EQ(sent[k].altitude, want[k].altitude);
            }
        }

        // Waypoints: as they came, with what the layout carries.
        std::size_t i = 0;
        for (const gpssim::UploadedPacket& p : uploads[1].packets) {
            if (p.id != gpssim::kPidWaypoint)
                continue;
            ASSERT_LT(i, sample.waypoints.size());
            const gpssim::SimWaypoint& w0 = sample.waypoints[i++];
            SCOPED_TRACE(w0.name);
            EXPECT_EQ(p.waypoint.name, w0.name);
            EXPECT_EQ(p.rawLatitude, gpssim::DegreesToWire(w0.latitude));
            EXPECT_EQ(p.rawLongitude, gpssim::DegreesToWire(w0.longitude));
            EXPECT_TRUE(p.sizeMatches);
            if (newer) {
                EXPECT_EQ(p.waypoint.symbol, w0.symbol);
                EXPECT_EQ(p.waypoint.altitude, w0.altitude);
            } else {
                EXPECT_EQ(p.waypoint.comment, w0.comment);
                EXPECT_EQ(p.waypoint.symbol, w0.symbol & 0xFF);
                EXPECT_EQ(p.waypoint.display, w0.display);
            }
        }
        EXPECT_EQ(i, sample.waypoints.size());

        // The route: named after the track, RW_0, RW_1, ... at its points,
        // with the route name as comment, symbol 16392 and display 3.
        const std::vector<gpssim::SimTrackPoint> points = newer ? sample.tracks[1].points : want;
        std::vector<std::string> routeNames;
        std::size_t k = 0;
        for (const gpssim::UploadedPacket& p : uploads[2].packets) {
            if (p.id == gpssim::kPidRouteHeader)
                routeNames.push_back(p.routeName);
            if (p.id != gpssim::kPidRouteWaypoint)
                continue;
            ASSERT_LT(k, points.size());
            SCOPED_TRACE(k);
            EXPECT_EQ(p.waypoint.name, "RW_" + std::to_string(k));
            EXPECT_EQ(p.rawLatitude, gpssim::DegreesToWire(points[k].latitude));
            EXPECT_EQ(p.rawLongitude, gpssim::DegreesToWire(points[k].longitude));
            if (newer) {
                EXPECT_EQ(p.waypoint.symbol, 16392);
            } else {
                EXPECT_EQ(p.waypoint.comment, "ROUTE-");
                EXPECT_EQ(p.waypoint.symbol, 16392 & 0xFF);
                EXPECT_EQ(p.waypoint.display, 3);
            }
            ++k;
        }
        EXPECT_EQ(k, points.size());
        EXPECT_EQ(routeNames, std::vector<std::string>{newer ? "FERRY" : "TRACK-0"});
        w->Doc()->SetModified(false);
    }
}

TEST_F(GpsCommandsTest, WaypointUploadsSendWhatTheStoreHoldsNowAndNamesTheReceiverChangesAreAsked) {
    RunningSimulator sim("--product 130");
    sim.port(1);
    auto w = Start();
    TobrelFile& store = w->Doc()->Store();
    store.AddWaypoints(2);
    store.SetWaypoint(0, "summit of the hill", "", 35.5, 139.5, 100.0, 0, 18, 0);
    store.SetWaypoint(1, "CAMP", "", 35.6, 139.6, 50.0, 0, 18, 0);

    // Cancel at the list of names: nothing goes out.
    QString info;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->objectName(), "NameChanges");
        EXPECT_EQ(box->text(), "The receiver will change 1 of the 2 names it is sent:");
        info = box->informativeText();
        box->button(QMessageBox::Cancel)->click();
    });
    Run(*w, "mnuUploadWaypoint");
    EXPECT_EQ(info, "summit of the hill \u2192 SUMMIT OF");
    EXPECT_TRUE(sim.sim().Uploads().empty());

    // Going on sends both; a second upload sends what the store holds then,
    // not the first upload's waypoints again.
    WhenModal<QMessageBox>([](QMessageBox* box) { box->buttons().first()->click(); });
    Run(*w, "mnuUploadWaypoint");
    store.DeleteWaypoint(0);
    Run(*w, "mnuUploadWaypoint");
    ASSERT_TRUE(sim.sim().WaitForCompleteUploads(2, std::chrono::seconds(10)));
    const auto uploads = sim.sim().Uploads();
    ASSERT_EQ(uploads.size(), 2u);
    EXPECT_EQ(uploads[0].announced, 2);
    EXPECT_EQ(uploads[1].announced, 1);
    std::vector<std::string> names;
    for (const auto& u : uploads)
        for (const auto& p : u.packets)
            if (p.id == gpssim::kPidWaypoint)
                names.push_back(p.waypoint.name);
    // Ten characters, upper-cased; the newer layout keeps the blank.
    EXPECT_EQ(names, (std::vector<std::string>{"SUMMIT OF ", "CAMP", "CAMP"}));
    w->Doc()->SetModified(false);
}

TEST_F(GpsCommandsTest, NothingToUploadOrNoTrackChosenIsSaid) {
    UseLanguage("ja");
    RunningSimulator sim("--product 130");
    sim.port(1);
    auto w = Start();
    auto box = ExpectBox();
    Run(*w, "mnuUploadTrack");
    EXPECT_EQ(box->text, "アップロードするトラックがありません。");
    box = ExpectBox();
    Run(*w, "mnuUploadWaypoint");
    EXPECT_EQ(box->text, "アップロードするウェイポイントがありません。");
    // The track root itself, and a waypoint, are no track.
    TobrelFile& store = w->Doc()->Store();
    testing::AddTrack(store, "T", {{1, 35.0, 139.0}});
    store.AddWaypoints(1);
    w->Tree()->Redraw();
    for (QStandardItem* node : {w->Tree()->TrackRoot(), w->Tree()->WaypointRoot()->child(0)}) {
        w->TreeView1()->setCurrentIndex(node->index());
        box = ExpectBox();
        Run(*w, "mnuUploadTrackAsRoute");
        EXPECT_EQ(box->text, "トラックが選択されていません");
        EXPECT_EQ(box->title, "エラー");
    }
    // Cancel in the route dialog ends the command.
    w->TreeView1()->setCurrentIndex(w->Tree()->TrackRoot()->child(0)->index());
    WhenModal<TfrmRouteDlg>([](TfrmRouteDlg* d) { d->bbCancel->click(); });
    Run(*w, "mnuUploadTrackAsRoute");
    EXPECT_TRUE(sim.sim().Uploads().empty());
    w->Doc()->SetModified(false);
}

// ---------------------------------------------------------------- the receiver

TEST_F(GpsCommandsTest, AnUnsupportedModelIsChosenInTheDialogAndItsIdUsed) {
    RunningSimulator sim("--product 999 --description Mystery");
    sim.port(1);
    auto w = Start();
    TobrelFile& store = w->Doc()->Store();
    store.AddWaypoints(1);
    store.SetWaypoint(0, "A", "", 35.5, 139.5, 0.0, 0, 18, 0);

    // Cancel ends the command with nothing sent.
    WhenModal<TfrmSelPID>([](TfrmSelPID* d) { d->btnCancel->click(); });
    Run(*w, "mnuUploadWaypoint");
    EXPECT_TRUE(sim.sim().Uploads().empty());
    // GPS12 (87) sends the 60-byte records of layout 4103, where the model
    // played (4101) would take 58.
    WhenModal<TfrmSelPID>([](TfrmSelPID* d) {
        d->rbGPS12->setChecked(true);
        d->btnOK->click();
    });
    Run(*w, "mnuUploadWaypoint");
    ASSERT_TRUE(sim.sim().WaitForCompleteUploads(1, std::chrono::seconds(10)));
    const auto uploads = sim.sim().Uploads();
    ASSERT_EQ(uploads.size(), 1u);
    ASSERT_EQ(uploads[0].packets.size(), 1u);
    EXPECT_EQ(uploads[0].packets[0].data.size(), 60u);
    w->Doc()->SetModified(false);
}

TEST_F(GpsCommandsTest, ASilentPortOrAMissingDeviceSaysCommunicationErrorAndChangesNothing) {
    UseLanguage("ja");
    RunningSimulator sim("--no-answer");
    sim.port(1);
    auto w = Start();
    LoadPrevious(*w, PreviousFile());
    auto box = ExpectBox();
    Run(*w, "mnuDPSDownloadTrack");
    EXPECT_EQ(box->text, "通信エラー");
    EXPECT_EQ(box->title, "ERROR");
    EXPECT_TRUE(box->info.contains(QString::fromStdString(sim.path()))) << box->info.toStdString();
    EXPECT_FALSE(box->info.contains("NMEA")) << box->info.toStdString();
    ExpectPreviousKept(*w);

    UseLanguage("en");
    testsupport::ScopedEnv missing("SORVANE_COM1", "/nonexistent/ttyUSB7");
    box = ExpectBox();
    Run(*w, "mnuDPSDownloadWaypoint");
    EXPECT_EQ(box->text, "Communication error");
    EXPECT_EQ(box->info, QStringLiteral("COM1 (/nonexistent/ttyUSB7) cannot be opened: %1.")
                             .arg(QString::fromLocal8Bit(std::strerror(ENOENT))));
    ExpectPreviousKept(*w);
}

TEST_F(GpsCommandsTest, CancelWhileLookingForTheReceiverEndsTheCommandQuietly) {
    RunningSimulator sim("--no-answer");
    sim.port(1);
    auto w = Start();
    LoadPrevious(*w, PreviousFile());
    // Any message box is noted and closed (by a timer that ends with the test).
    QString shown;
    QTimer boxes;
    QObject::connect(&boxes, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->close();
        }
    });
    boxes.start(5);
    w->Action("mnuDPSDownloadTrack")->trigger();
    ASSERT_NE(w->Gps()->Progress(), nullptr);
    EXPECT_TRUE(w->Gps()->Progress()->labelText().startsWith("Looking for the receiver on COM1"));
    w->Gps()->Progress()->findChild<QPushButton*>()->click();
    EXPECT_EQ(w->Gps()->Progress()->labelText(), "Cancelling...");
    ASSERT_TRUE(WaitFor([&] { return !w->Gps()->IsRunning(); }));
    EXPECT_TRUE(shown.isEmpty()) << shown.toStdString();
    ExpectPreviousKept(*w);
}

TEST_F(GpsCommandsTest, AReceiverTalkingNmeaIsSaidToBeInNmeaMode) {
    RunningSimulator sim("--nmea --nmea-rate 5");
    sim.port(1);
    auto w = Start();
    auto box = ExpectBox();
    Run(*w, "mnuDPSDownloadTrack");
    EXPECT_EQ(box->text, "Communication error");
    EXPECT_TRUE(box->info.contains("NMEA mode")) << box->info.toStdString();
    EXPECT_TRUE(box->info.contains(QString::fromStdString(sim.path()))) << box->info.toStdString();
    EXPECT_EQ(w->Doc()->Store().GetTrackCount(), 0);
}

TEST_F(GpsCommandsTest, AReceiverThatStopsMidDownloadLeavesThePreviousTracks) {
    const gpssim::DataSet data = LongTrack(200);
    RunningSimulator sim(SimOptions("--stop-after 60", &data));
    sim.port(1);
    auto w = Start();
    LoadPrevious(*w, PreviousFile());
    auto box = ExpectBox();
    Run(*w, "mnuDPSDownloadTrack");
    EXPECT_EQ(box->title, "Error");
    // Identification took three packets of the sixty; the stream announced
    // 201 records (the header and 200 points).
    EXPECT_TRUE(
        box->text.startsWith("Downloading tracks failed. The receiver stopped answering "
                             "after "))
        << box->text.toStdString();
    EXPECT_TRUE(box->text.endsWith(" of 201 records. The tracks you had are unchanged."))
        << box->text.toStdString();
    ExpectPreviousKept(*w);
}

TEST_F(GpsCommandsTest, CancelStopsALongDownloadAndKeepsThePreviousTracks) {
    const gpssim::DataSet data = LongTrack(3000);
    RunningSimulator sim(SimOptions("--baud 9600", &data));
    sim.port(1);
    auto w = Start();
    LoadPrevious(*w, PreviousFile());
    w->Action("mnuDPSDownloadTrack")->trigger();
    // Counts come in while the window goes on with its events.
    ASSERT_TRUE(WaitFor([&] {
        const QProgressDialog* p = w->Gps()->Progress();
        return p != nullptr && p->value() >= 20;
    }));
    QProgressDialog* progress = w->Gps()->Progress();
    EXPECT_EQ(progress->maximum(), 3001);
    EXPECT_TRUE(progress->labelText().startsWith("Downloading tracks: "))
        << progress->labelText().toStdString();
    auto box = ExpectBox();
    QElapsedTimer clock;
    clock.start();
    progress->findChild<QPushButton*>()->click();
    ASSERT_TRUE(WaitFor([&] { return !w->Gps()->IsRunning(); }));
    // The whole stream takes well over a minute at this speed.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(box->title, "Cancelled");
    EXPECT_EQ(box->text, "The download was cancelled. The tracks you had are unchanged.");
    ExpectPreviousKept(*w);
}

// ---------------------------------------------------------------- pieces

// Records as the store gives them to an upload, and downloads as they go in.
TEST(GpsRecords, UploadTakesSegmentsInOrderAndDownloadNamesUnnamedTracks) {
    TobrelFile store;
    // Track A: segment 2 has no points, so its segment 3 is not sent.
    testing::AddTrack(store, "A", {{1, 35.0, 139.0}, {1, 35.1, 139.1}, {3, 35.2, 139.2}}, 3);
    testing::AddTrack(store, "B", {{1, 36.0, 140.0}});
    store.SetTrackPointTime(1, 0, 123456);
    const std::vector<GpsTrack> tracks = TracksForUpload(store);
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0].name, "A");
    ASSERT_EQ(tracks[0].segments.size(), 2u);
    EXPECT_EQ(tracks[0].segments[0].size(), 2u);
    EXPECT_TRUE(tracks[0].segments[1].empty());
    ASSERT_EQ(tracks[1].segments.size(), 1u);
    EXPECT_EQ(tracks[1].segments[0][0].time, 123456u);
    EXPECT_EQ(tracks[1].segments[0][0].latitude, 36.0);

    const GpsRoute route = TrackAsRoute(store, 0, {"ROUTE-", "RW_", 18});
    EXPECT_EQ(route.name, "A");
    ASSERT_EQ(route.waypoints.size(), 3u);
    EXPECT_EQ(route.waypoints[2].name, "RW_2");
    EXPECT_EQ(route.waypoints[2].comment, "ROUTE-");
    EXPECT_EQ(route.waypoints[2].latitude, 35.2);
    EXPECT_EQ(std::tuple(route.waypoints[2].symbol, route.waypoints[2].display), std::tuple(18, 3));

    TobrelFile into;
    ReplaceTracks(into, {{"", {{{35.0, 139.0, 1.0, 5}}, {{35.1, 139.1, 2.0, 6}}}}, {"NAMED", {}}},
                  0.0);
    ASSERT_EQ(into.GetTrackCount(), 2);
    EXPECT_STREQ(into.GetTrackName(0), "TRACK-0");
    EXPECT_EQ(into.GetTrackSegmentCount(0), 2);
    int first = -1, last = -1;
    ASSERT_TRUE(into.FindSegmentRange(0, 2, &first, &last));
    EXPECT_EQ(std::pair(first, last), std::pair(1, 1));
    EXPECT_EQ(into.GetTrackPointTime(0, 1), 6 + kEpoch);
    EXPECT_STREQ(into.GetTrackName(1), "NAMED");
    EXPECT_EQ(into.GetTrackPointCount(1), 0);
}

// What the message after a failed transfer says.
TEST(GpsMessages, FailuresSayWhatHappened) {
    using O = TransferResult::Outcome;
    struct Row {
        TransferKind kind;
        O outcome;
        int code, done, total;
        bool timedOut;
        const char* text;
    };
    const Row rows[] = {
        {TransferKind::kDownloadTracks, O::kFailed, 0, 0, 0, true,
         "Downloading tracks failed. The receiver did not answer. The tracks you had are "
         "unchanged."},
        {TransferKind::kDownloadWaypoints, O::kFailed, ETIMEDOUT, 40, 120, true,
         "Downloading waypoints failed. The receiver stopped answering after 40 of 120 records. "
         "The waypoints you had are unchanged."},
        {TransferKind::kUploadTracks, O::kFailed, EIO, 0, 0, false,
         "Uploading tracks failed. The connection to the receiver was lost."},
        {TransferKind::kUploadWaypoints, O::kFailed, EPROTO, 0, 0, false,
         "Uploading waypoints failed. The receiver kept refusing a record."},
        {TransferKind::kUploadRoute, O::kFailed, EBUSY, 0, 0, false,
         "Uploading the route failed. COM3 (/dev/ttyUSB0) cannot be opened: Device or resource "
         "busy. Another program is using it."},
        {TransferKind::kDownloadTracks, O::kFailed, 0, 0, 0, false,
         "Downloading tracks failed. The receiver sent records that could not be used. The "
         "tracks you had are unchanged."},
        {TransferKind::kUploadTracks, O::kFailed, 0, 0, 0, false,
         "Uploading tracks failed. The receiver did not confirm what it was sent."},
        {TransferKind::kUploadTracks, O::kCancelled, 0, 30, 101, false,
         "The upload was cancelled after 30 of 101 records; the receiver may keep what it got."},
    };
    for (const Row& r : rows) {
        TransferResult result;
        result.kind = r.kind;
        result.outcome = r.outcome;
        result.errorCode = r.code;
        result.done = r.done;
        result.total = r.total;
        result.timedOut = r.timedOut;
        EXPECT_EQ(GpsCommands::FailureText(result, 3, "/dev/ttyUSB0"), r.text);
    }
    Identification denied;
    denied.port = 2;
    denied.device = "/dev/ttyUSB1";
    denied.errorCode = EACCES;
    EXPECT_EQ(GpsCommands::NoAnswerText(denied),
              "COM2 (/dev/ttyUSB1) cannot be opened: Permission denied. Serial ports belong to "
              "the dialout group: add your user to it and log in again.");
    denied.errorCode = ETIMEDOUT;
    EXPECT_TRUE(GpsCommands::NoAnswerText(denied).startsWith("No receiver answered on COM2"));
}

}  // namespace
}  // namespace tobrel
