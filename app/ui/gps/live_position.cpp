#include "ui/gps/live_position.h"

#include <cmath>

#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

#include "data/tobrel_file.h"
#include "geodesy/molodensky.h"
#include "map/map_ctrl.h"
#include "map/map_overlay.h"
#include "map/map_projection.h"
#include "ui/document.h"
#include "ui/gps/gps_commands.h"
#include "ui/gps/gps_session.h"
#include "ui/gps/satellite_panel.h"
#include "ui/main_window.h"
#include "ui/position_text.h"
#include "ui/settings/port_map.h"
#include "ui/tree_controller.h"

namespace tobrel {

namespace {

constexpr int kSilenceCheckMs = 250;
// The views that follow the store (track details) hear of a growing track this often.
constexpr qint64 kStoreNoticeMs = 1000;
constexpr int kStatusMessageMs = 8000;
constexpr double kNoAltitude = -9999.0;

double NowSeconds() {
    return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

}  // namespace

LivePosition::LivePosition(TfrmMain& window) : window_(window) {
    panel_ = new SatellitePanel(&window);
    window.AddDock(panel_);
    // It comes when live starts.
    panel_->hide();
    status_ = new QLabel(&window);
    status_->setObjectName(QStringLiteral("LiveStatus"));
    status_->setAccessibleName(tr("Live position"));
    window.statusBar()->addPermanentWidget(status_);
    status_->hide();

    GpsSession* gps = window.Sorvane1();
    connect(gps, &GpsSession::LiveStarted, this, &LivePosition::Started);
    connect(gps, &GpsSession::LiveFix, this, [this](const SorvaneFix& fix) {
        if (state_ == State::kRunning)
            TakeFix(fix);
    });
    connect(gps, &GpsSession::LiveSatellites, this, &LivePosition::SatellitesChanged);
    connect(gps, &GpsSession::LiveStatus, this, &LivePosition::StatusChanged);
    connect(gps, &GpsSession::LiveStopped, this, &LivePosition::Stopped);
    connect(gps, &GpsSession::BinaryProbed, this, &LivePosition::BinaryProbed);
    connect(window.MapCtrl1(), &MapCtrl::OnMapMoved, this,
            [this](int, int, bool layerChanged) { MapMoved(layerChanged); });
    silenceTimer_.setInterval(kSilenceCheckMs);
    connect(&silenceTimer_, &QTimer::timeout, this, &LivePosition::CheckSilence);
}

LivePosition::~LivePosition() {
    if (message_)
        delete message_;
}

QString LivePosition::PortText() const {
    return QStringLiteral("COM%1 (%2)").arg(port_).arg(PortDeviceOf(port_).path);
}

// ---------------------------------------------------------------- commands

void LivePosition::SetLive(bool on) {
    if (on == IsLive()) {
        emit Changed();
        return;
    }
    if (!on) {
        StopRecording();
        silenceTimer_.stop();
        if (state_ != State::kStopping) {
            state_ = State::kStopping;
            window_.Sorvane1()->StopLive();
        }
        emit Changed();
        return;
    }
    if (!window_.Sorvane1()->Info().ok) {
        Say(true, tr("The GPS control could not be created."));
        emit Changed();
        return;
    }
    // One user of the port at a time: the transfers wait for live to stop,
    // and live for a transfer. The worker takes its calls in turn, so live
    // may follow the status bar's identification.
    if (window_.Gps()->IsRunning()) {
        Say(false, tr("The receiver is busy with another GPS command. Try again when it has "
                      "ended."));
        emit Changed();
        return;
    }
    port_ = window_.Prefs().PortNumber().value_or(1);
    state_ = State::kStarting;
    lastFix_.reset();
    lastValid_.reset();
    satellitesUsed_ = -1;
    status_->setText(tr("%1: starting the live position...").arg(PortText()));
    status_->show();
    window_.Sorvane1()->StartLive(port_);
    emit Changed();
}

void LivePosition::SetFollow(bool on) {
    follow_ = on;
    if (follow_ && lastValid_ && window_.MapCtrl1()->CurrentPositionMarker()) {
        const PositionMarker& m = *window_.MapCtrl1()->CurrentPositionMarker();
        centring_ = true;
        window_.MapCtrl1()->MoveTo(m.latitude, m.longitude, 1, 0);
        centring_ = false;
    }
    emit Changed();
}

void LivePosition::SetRecording(bool on) {
    if (on == IsRecording()) {
        emit Changed();
        return;
    }
    if (!on) {
        StopRecording();
        return;
    }
    if (!IsLive()) {
        Say(false, tr("Switch on the live position first."));
        emit Changed();
        return;
    }
    TobrelFile& store = window_.Doc()->Store();
    if (!store.AddTracks(1)) {
        Say(true, tr("There is no memory for another track."));
        emit Changed();
        return;
    }
    const int t = store.GetTrackCount() - 1;
    Recording r;
    r.name = QStringLiteral("LIVE %1").arg(
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    store.SetTrackName(t, r.name.toLatin1().constData());
    store.SetTrackSegmentCount(t, 1);
    r.segment = 1;
    r.node = QPersistentModelIndex(window_.Tree()->AddTrackNode(r.name, 0, t, 1, 0)->index());
    recording_ = std::move(r);
    window_.Doc()->NotifyEdited();
    emit Changed();
}

void LivePosition::StopNow() {
    StopRecording();
    silenceTimer_.stop();
    if (state_ != State::kOff && state_ != State::kStopping)
        window_.Sorvane1()->StopLive();
    state_ = State::kOff;
}

int LivePosition::RecordedTrack() const {
    if (!recording_ || !recording_->node.isValid())
        return -1;
    return recording_->node.data(TreeController::kTrackRole).toInt();
}

// ---------------------------------------------------------------- the worker's answers

void LivePosition::Started(bool ok, const SorvaneReceiverStatus& status) {
    if (!ok) {
        state_ = State::kOff;
        status_->hide();
        StopRecording();
        if (status.errorCode != 0)
            Say(true, CannotOpenText(port_, PortDeviceOf(port_).path, status.errorCode));
        else
            Say(true, tr("The live position could not start on %1. %2")
                          .arg(PortText(), QString::fromUtf8(status.message)));
        emit Changed();
        return;
    }
    if (state_ != State::kStarting)
        return;
    state_ = State::kRunning;
    sinceSentence_.start();
    silenceSaid_ = false;
    silenceTimer_.start();
    status_->setText(tr("%1: waiting for the receiver...").arg(PortText()));
    panel_->show();
    panel_->raise();
    emit Changed();
}

void LivePosition::StatusChanged(const SorvaneReceiverStatus& status) {
    if (state_ != State::kRunning)
        return;
    if (status.state == SORVANE_RECEIVER_ENDED || status.state == SORVANE_RECEIVER_FAILED) {
        const QString why = QString::fromUtf8(status.message);
        Say(true,
            tr("The live position stopped: %1 is no longer readable. %2").arg(PortText(), why));
        SetLive(false);
    }
}

void LivePosition::SatellitesChanged(const std::vector<SorvaneSatellite>& satellites) {
    if (state_ != State::kRunning)
        return;
    panel_->SetSatellites(satellites);
}

void LivePosition::Stopped() {
    state_ = State::kOff;
    silenceTimer_.stop();
    StopRecording();
    window_.MapCtrl1()->ClearPositionMarker();
    panel_->SetSatellites({});
    status_->hide();
    emit Changed();
}

// The line said nothing for a while: a receiver in its binary protocol
// stays silent until asked, so it is asked for its product.
void LivePosition::CheckSilence() {
    if (state_ != State::kRunning || silenceSaid_ || sinceSentence_.elapsed() < kSilenceMs)
        return;
    silenceSaid_ = true;
    state_ = State::kProbing;
    status_->setText(tr("%1: no sentences for %2 seconds").arg(PortText()).arg(kSilenceMs / 1000));
    window_.Sorvane1()->ProbeBinary(port_);
}

void LivePosition::BinaryProbed(bool answered, const QString& description) {
    if (answered) {
        StopRecording();
        if (state_ == State::kStopping)
            return;  // switched off meanwhile
        Say(true, tr("The receiver on %1 answers in its binary transfer protocol (%2) and sends "
                     "no NMEA sentences. Switch its interface to NMEA for the live position.")
                      .arg(PortText(), description));
        return;  // LiveStopped follows
    }
    if (state_ != State::kProbing)
        return;
    state_ = State::kRunning;
    sinceSentence_.start();
    Say(false, tr("No NMEA sentences came from %1 for %2 seconds. Check that the receiver is "
                  "switched on, connected to this port and set to send NMEA.")
                   .arg(PortText())
                   .arg(kSilenceMs / 1000));
}

// ---------------------------------------------------------------- fixes

void LivePosition::TakeFix(const SorvaneFix& fix) {
    ++fixes_;
    sinceSentence_.start();
    silenceSaid_ = false;
    lastFix_ = fix;
    if (fix.valid)
        lastValid_ = fix;
    ShowMarker(fix);
    ShowStatus();
}

void LivePosition::ShowMarker(const SorvaneFix& fix) {
    MapCtrl* map = window_.MapCtrl1();
    if (!fix.valid) {
        // The last position stays, greyed, until the fix comes back.
        if (auto marker = map->CurrentPositionMarker(); marker && !marker->stale) {
            PositionMarker grey = *marker;
            grey.stale = true;
            map->SetPositionMarker(grey);
        }
        return;
    }
    // The receiver gives WGS 84; the map and the store work in the control's datum.
    const auto local =
        sorvane::MolodenskyShift({fix.latitude, fix.longitude, 0.0}, map->DatumShift());
    if (!local)
        return;
    PositionMarker marker;
    marker.latitude = DegreesToMapAngle(local->latitude);
    marker.longitude = DegreesToMapAngle(local->longitude);
    if (fix.speed >= kHeadingMinKmh && std::isfinite(fix.course))
        marker.headingDegrees = fix.course;
    marker.accuracyMetres = fix.hdop > 0.0 ? fix.hdop * kMetresPerHdop : 0.0;
    map->SetPositionMarker(marker);
    if (follow_) {
        centring_ = true;
        map->MoveTo(marker.latitude, marker.longitude, 1, 0);
        centring_ = false;
    }
    if (recording_)
        Record(fix, marker.latitude, marker.longitude);
}

void LivePosition::ShowStatus() {
    if (!lastFix_)
        return;
    const SorvaneFix& fix = *lastFix_;
    QString state;
    if (!fix.valid)
        state = tr("No fix");
    else if (fix.quality == 2)
        state = tr("DGPS fix");
    else if (fix.mode == 2)
        state = tr("2D fix");
    else if (fix.mode == 3)
        state = tr("3D fix");
    else
        state = tr("Fix");
    QString text = state;
    if (fix.satellitesUsed >= 0)
        text += QStringLiteral("  ") + tr("Satellites used: %1").arg(fix.satellitesUsed);
    if (fix.valid) {
        text += QStringLiteral("  ") + tr("%1 km/h").arg(fix.speed, 0, 'f', 1);
        if (const auto& m = window_.MapCtrl1()->CurrentPositionMarker())
            text += QStringLiteral("  ") + PositionText(m->latitude, m->longitude);
    }
    status_->setText(text);
}

// ---------------------------------------------------------------- recording

void LivePosition::Record(const SorvaneFix& fix, std::int32_t latitude, std::int32_t longitude) {
    Recording& r = *recording_;
    const int t = RecordedTrack();
    TobrelFile& store = window_.Doc()->Store();
    if (t < 0 || t >= store.GetTrackCount()) {
        StopRecording(tr("The track being recorded was deleted; recording stopped."));
        return;
    }
    const double time = fix.time > 0.0 ? fix.time : NowSeconds();
    const int count = store.GetTrackPointCount(t);
    if (count > 0 && r.lastTime > 0.0 && time - r.lastTime > kNewSegmentAfterSeconds) {
        ++r.segment;
        r.firstPoint = count;
        store.SetTrackSegmentCount(t, r.segment);
        r.node = QPersistentModelIndex(
            window_.Tree()->AddTrackNode(r.name, 0, t, r.segment, r.firstPoint)->index());
    }
    r.lastTime = time;

    TrackData point{};
    point.latitude = latitude / kMapUnitsPerDegree;
    point.longitude = longitude / kMapUnitsPerDegree;
    const auto unix = static_cast<std::int64_t>(std::floor(time));
    point.time = unix > kUnixTimeOffset ? static_cast<std::uint32_t>(unix - kUnixTimeOffset) : 0;
    point.segment = static_cast<std::int16_t>(r.segment);
    point.altitude = fix.altitude <= kNoAltitude ? 0.0f : static_cast<float>(fix.altitude);
    if (count > 0) {
        const TrackData& previous = store.GetTrackData(t)[count - 1];
        point.distance = previous.distance +
                         GreatCircleDistance(previous.latitude, previous.longitude, point.latitude,
                                             point.longitude, window_.MapCtrl1()->DatumShift().dA);
        point.heading = HeadingField(
            InitialBearing(previous.latitude, previous.longitude, point.latitude, point.longitude));
    }
    if (!store.AppendTrackPoint(t, point)) {
        StopRecording(tr("There is no memory for more points; recording stopped."));
        return;
    }
    RedrawSegment(t);
    window_.Doc()->SetModified(true);
    if (!storeNotice_.isValid() || storeNotice_.elapsed() >= kStoreNoticeMs) {
        storeNotice_.start();
        window_.Doc()->NotifyEdited();
    }
}

// The segment's line again, from its first point to the newest.
void LivePosition::RedrawSegment(int t) {
    Recording& r = *recording_;
    const TobrelFile& store = window_.Doc()->Store();
    const int n = store.GetTrackPointCount(t) - r.firstPoint;
    if (n < 1)
        return;
    std::vector<double> lats(static_cast<std::size_t>(n));
    std::vector<double> lons(static_cast<std::size_t>(n));
    const TrackData* data = store.GetTrackData(t) + r.firstPoint;
    for (int i = 0; i < n; ++i) {
        lats[static_cast<std::size_t>(i)] = data[i].latitude;
        lons[static_cast<std::size_t>(i)] = data[i].longitude;
    }
    auto* node = window_.Tree()->Model()->itemFromIndex(r.node);
    if (node == nullptr)
        return;
    const std::int32_t old = node->data(TreeController::kElementIdRole).toInt();
    const std::int32_t id = window_.Overlay()->DrawPolyline(n, lats.data(), lons.data());
    if (old != 0)
        window_.Overlay()->EraseElement(old);
    window_.Tree()->SetNodeElement(node, id);
}

void LivePosition::StopRecording(const QString& why) {
    if (!recording_)
        return;
    recording_.reset();
    // The track stays in the store, complete for the views.
    window_.Doc()->NotifyEdited();
    storeNotice_.invalidate();
    if (!why.isEmpty())
        Say(false, why);
    emit Changed();
}

// ---------------------------------------------------------------- map and messages

void LivePosition::MapMoved(bool layerChanged) {
    // A zoom keeps following; a drag, a scroll or a jump elsewhere ends it.
    if (centring_ || !follow_ || !IsLive() || layerChanged)
        return;
    follow_ = false;
    emit Changed();
}

void LivePosition::Say(bool critical, const QString& text) {
    if (message_)
        message_->close();
    message_ = new QMessageBox(critical ? QMessageBox::Critical : QMessageBox::Warning,
                               tr("Live Position"), text, QMessageBox::Ok, &window_);
    message_->setObjectName(QStringLiteral("LiveMessage"));
    message_->setAttribute(Qt::WA_DeleteOnClose);
    // The stream goes on while the message is read.
    message_->setWindowModality(Qt::NonModal);
    message_->show();
    window_.statusBar()->showMessage(text, kStatusMessageMs);
}

}  // namespace tobrel
