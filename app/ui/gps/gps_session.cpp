#include "ui/gps/gps_session.h"

#include <cerrno>
#include <mutex>

#include <QElapsedTimer>

#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "ui/settings/port_map.h"

namespace tobrel {

namespace {

// The control's messages are process-wide; they go to the session alive now.
std::mutex g_sessionMutex;
GpsSession* g_session = nullptr;

// Progress reaches the window at most this often.
constexpr qint64 kProgressIntervalMs = 30;
// How long the port is listened to for NMEA sentences, per line speed.
constexpr qint64 kNmeaListenMs = 2000;
constexpr std::int32_t kNmeaBaudRate = 4800;
// A transfer that ends this long after the last sign of the receiver ended
// by a time-out (the control waits 2 s for each byte).
constexpr qint64 kQuietMs = 1500;

void ForwardMessage(void*, const char* text, const char* caption) {
    GpsSession::ForwardControlMessage(text, caption);
}

QByteArray ToBytes(const std::array<std::uint8_t, SORVANE_PERSISTED_SIZE>& block) {
    return QByteArray(reinterpret_cast<const char*>(block.data()),
                      static_cast<qsizetype>(block.size()));
}

}  // namespace

bool IsPortOpenFailure(int code) {
    return code != 0 && code != ETIMEDOUT && code != EIO && code != EPROTO;
}

// ---------------------------------------------------------------- worker

GpsWorker::GpsWorker(QByteArray persisted) : persisted_(std::move(persisted)) {}

GpsWorker::~GpsWorker() = default;

ControlInfo GpsWorker::Create() {
    ControlInfo info;
    control_ = std::make_unique<sorvane::TSorvane>();
    if (!control_->ok())
        return info;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(persisted_.constData());
    if (persisted_.size() != SORVANE_PERSISTED_SIZE ||
        !control_->Load(std::span<const std::uint8_t>(bytes, SORVANE_PERSISTED_SIZE)))
        control_->Reset();
    persisted_ = ToBytes(control_->Save());
    info.ok = true;
    info.version = control_->GetVersion();
    info.datum = {control_->GetMapDatumDeltaA(), control_->GetMapDatumDeltaF(),
                  control_->GetMapDatumDeltaX(), control_->GetMapDatumDeltaY(),
                  control_->GetMapDatumDeltaZ()};
    info.datumName = QString::fromStdString(control_->GetDatumName());
    return info;
}

void GpsWorker::Destroy() {
    StopLive();
    control_.reset();
}

void GpsWorker::ReportPersisted() {
    const QByteArray now = ToBytes(control_->Save());
    if (now != persisted_) {
        persisted_ = now;
        emit PersistedChanged(now);
    }
}

Identification GpsWorker::ReadProduct(int port) {
    Identification result;
    result.port = port;
    result.device = PortDeviceOf(port).path;
    if (control_ && control_->ok()) {
        control_->set_CommPort(static_cast<std::int16_t>(port));
        const std::string description =
            control_->ReadProductID(&result.productId, &result.softwareVersion);
        result.description = QString::fromStdString(description);
    }
    return result;
}

void GpsWorker::Identify(int port) {
    Identification result = ReadProduct(port);
    if (control_ && control_->ok())
        ReportPersisted();
    emit Identified(result);
}

void GpsWorker::IdentifyForCommand(int tag, int port) {
    if (!control_ || !control_->ok()) {
        Identification result = ReadProduct(port);
        result.tag = tag;
        emit Identified(result);
        return;
    }
    MarkErrorCode();
    Identification result = ReadProduct(port);
    result.tag = tag;
    if (result.productId == -1) {
        result.errorCode = ErrorCodeSinceMark();
        // A receiver that talks NMEA instead of answering is heard on a line
        // that opened; one that cannot be opened has its reason.
        if (!IsPortOpenFailure(result.errorCode) && !cancel_)
            result.nmeaHeard = HearsNmea();
    } else {
        result.supported = control_->SetProductID(result.productId);
    }
    ReportPersisted();
    emit Identified(result);
}

// The control keeps the code of the last call that failed with one, also
// through later calls that fail without (a line of garbage, a receiver that
// sends more than it announced). An open bound to fail (port 0 names no
// device) marks where a call starts, so that the code read after it is that
// call's own, or none.
void GpsWorker::MarkErrorCode() {
    const std::int16_t port = control_->get_CommPort();
    control_->set_CommPort(0);
    control_->ReadProductID(nullptr, nullptr);
    control_->set_CommPort(port);
}

int GpsWorker::ErrorCodeSinceMark() {
    const int code = control_->GetErrorCode();
    return code == ENODEV ? 0 : code;
}

// Listens on the port with the control's own NMEA receiver, at the line's
// speed and at the usual NMEA speed, until a sentence cycle is heard.
bool GpsWorker::HearsNmea() {
    std::atomic<bool> heard{false};
    control_->SetOnNMEAReceived([&heard](std::int16_t, double, double, double, std::int32_t, double,
                                         std::int16_t) { heard = true; });
    const std::int32_t baudRate = control_->get_BaudRate();
    std::vector<std::int32_t> speeds{baudRate};
    if (baudRate != kNmeaBaudRate)
        speeds.push_back(kNmeaBaudRate);
    for (const std::int32_t speed : speeds) {
        if (heard || cancel_)
            break;
        control_->set_BaudRate(speed);
        if (!control_->StartNMEAReceiving())
            continue;
        QElapsedTimer clock;
        clock.start();
        while (!heard && !cancel_ && clock.elapsed() < kNmeaListenMs) {
            // Satellites in view come with the first cycle already.
            if (control_->GetNumSatellite() > 0)
                heard = true;
            else
                QThread::msleep(20);
        }
        control_->StopNMEAReceiving();
    }
    control_->set_BaudRate(baudRate);
    control_->SetOnNMEAReceived({});
    return heard;
}

void GpsWorker::CheckNames(int tag, std::int32_t productId, const NameList& names) {
    NameChanges changes;
    if (control_ && control_->ok()) {
        control_->SetProductID(productId);
        for (const auto& [kind, name] : names) {
            const auto held = control_->ReceiverName(kind, name);
            QString given = QString::fromStdString(name);
            // Trailing blanks are padding to the receiver, not part of a name.
            while (given.endsWith(QLatin1Char(' ')))
                given.chop(1);
            if (held && QString::fromStdString(*held) != given)
                changes.append({QString::fromStdString(name), QString::fromStdString(*held)});
        }
    }
    emit NamesChecked(tag, changes);
}

TransferResult GpsWorker::Run(const TransferRequest& request,
                              const std::function<int()>& transfer) {
    TransferResult result;
    result.tag = request.tag;
    result.kind = request.kind;
    if (!control_ || !control_->ok())
        return result;
    if (cancel_) {
        result.outcome = TransferResult::Outcome::kCancelled;
        return result;
    }
    control_->SetProductID(request.productId);
    MarkErrorCode();
    QElapsedTimer sinceReport;
    QElapsedTimer quiet;
    quiet.start();
    bool reported = false;
    control_->SetOnReceiving([&](std::int32_t done, std::int32_t total) {
        quiet.start();
        result.done = done;
        result.total = total;
        if (!reported || sinceReport.elapsed() >= kProgressIntervalMs) {
            reported = true;
            sinceReport.start();
            emit Progress(request.tag, request.kind, done, total);
        }
        if (cancel_)
            control_->AbortTransfer();
    });
    const int completed = transfer();
    control_->SetOnReceiving({});
    result.errorCode = ErrorCodeSinceMark();
    result.timedOut =
        result.errorCode == ETIMEDOUT || (result.errorCode == 0 && quiet.elapsed() >= kQuietMs);
    // A transfer cut short by Cancel may still report success (an upload does).
    if (cancel_)
        result.outcome = TransferResult::Outcome::kCancelled;
    else
        result.outcome =
            completed == 1 ? TransferResult::Outcome::kDone : TransferResult::Outcome::kFailed;
    return result;
}

void GpsWorker::Finish(TransferResult result) {
    if (control_ && control_->ok())
        ReportPersisted();
    emit Transferred(result);
}

void GpsWorker::DownloadTracks(const TransferRequest& request) {
    TransferResult result = Run(request, [this] { return control_->DownloadTrack(); });
    if (result.outcome == TransferResult::Outcome::kDone) {
        const int count = control_->GetTrackCount();
        for (int t = 0; t < count; ++t) {
            GpsTrack track{control_->GetTrackName(t), {}};
            for (int s = 0; s < control_->GetTrackSegmentCount(t); ++s) {
                auto& segment = track.segments.emplace_back();
                for (int d = 0; d < control_->GetTrackSegmentDataCount(t, s); ++d) {
                    GpsPoint p;
                    control_->GetTrackPosition(t, s, d, &p.latitude, &p.longitude, &p.altitude);
                    p.time = static_cast<std::uint32_t>(control_->GetTrackUnixTime(t, s, d));
                    segment.push_back(p);
                }
            }
            result.tracks.push_back(std::move(track));
        }
        result.axisDifference = control_->GetMapDatumDeltaA();
    }
    // The control holds no tracks after a download, whatever became of it.
    if (control_ && control_->ok())
        control_->DeleteTrackAll();
    Finish(std::move(result));
}

void GpsWorker::DownloadWaypoints(const TransferRequest& request) {
    TransferResult result = Run(request, [this] { return control_->DownloadWaypoint(); });
    if (result.outcome == TransferResult::Outcome::kDone) {
        const int count = control_->GetWaypointCount();
        for (int i = 0; i < count; ++i) {
            GpsWaypoint w;
            w.latitude = control_->GetWaypointLatitude(i);
            w.longitude = control_->GetWaypointLongitude(i);
            w.altitude = control_->GetWaypointAltitude(i);
            w.name = control_->GetWaypointID(i);
            w.comment = control_->GetWaypointComment(i);
            w.proximity = control_->GetWaypointDst(i);
            w.symbol = control_->GetWaypointSmbl(i);
            w.display = control_->GetWaypointDspl(i);
            result.waypoints.push_back(std::move(w));
        }
    }
    if (control_ && control_->ok())
        control_->DeleteWaypointAll();
    Finish(std::move(result));
}

void GpsWorker::UploadTracks(const TransferRequest& request) {
    Finish(Run(request, [this, &request] {
        control_->DeleteTrackAll();
        for (std::size_t t = 0; t < request.tracks.size(); ++t) {
            const GpsTrack& track = request.tracks[t];
            const auto tno = static_cast<std::int32_t>(t);
            control_->AddTrack(track.name);
            for (std::size_t s = 0; s < track.segments.size(); ++s) {
                control_->AddTrackSegment(tno);
                for (const GpsPoint& p : track.segments[s])
                    control_->AddTrackData(tno, static_cast<std::int32_t>(s), p.latitude,
                                           p.longitude, p.altitude,
                                           static_cast<std::int32_t>(p.time));
            }
        }
        return control_->UploadTrack() ? 1 : 0;
    }));
}

void GpsWorker::UploadWaypoints(const TransferRequest& request) {
    Finish(Run(request, [this, &request] {
        // Only what the store holds now: waypoints of an earlier upload would
        // go again.
        control_->DeleteWaypointAll();
        for (const GpsWaypoint& w : request.waypoints)
            control_->AddWaypoint(w.name, w.comment, w.latitude, w.longitude, w.altitude, w.symbol,
                                  w.display, w.proximity);
        return control_->UploadWaypoint() ? 1 : 0;
    }));
}

void GpsWorker::UploadRoute(const TransferRequest& request) {
    Finish(Run(request, [this, &request] {
        control_->DeleteRouteAll();
        control_->AddRoute(request.route.name);
        for (const GpsWaypoint& w : request.route.waypoints)
            control_->AddRouteWaypoint(0, w.name, w.comment, w.latitude, w.longitude, w.altitude,
                                       w.symbol, w.display, w.proximity);
        return control_->UploadSingleRoute(0) ? 1 : 0;
    }));
}

// ---------------------------------------------------------------- live position

// A port that cannot be opened still starts a receiver, one that only
// reports the failure; it is stopped again at once.
bool GpsWorker::StartReceiver(SorvaneReceiverStatus* status) {
    savedBaudRate_ = control_->get_BaudRate();
    control_->set_BaudRate(kNmeaBaudRate);
    control_->SetReceiverSource(SORVANE_SOURCE_SERIAL);
    const bool started = control_->StartNMEAReceiving();
    *status = control_->GetReceiverStatus();
    if (started && status->state != SORVANE_RECEIVER_FAILED)
        return true;
    StopReceiver();
    return false;
}

// Joins the receiver's thread: every event it raised is queued before this returns.
void GpsWorker::StopReceiver() {
    control_->StopNMEAReceiving();
    control_->set_BaudRate(savedBaudRate_);
}

void GpsWorker::StartLive(int port) {
    if (!control_ || !control_->ok() || live_) {
        emit LiveStarted(false, SorvaneReceiverStatus{});
        return;
    }
    control_->set_CommPort(static_cast<std::int16_t>(port));
    control_->SetOnFix([this](const SorvaneFix& fix) { emit LiveFix(fix); });
    control_->SetOnReceiverStatus(
        [this](const SorvaneReceiverStatus& status) { emit LiveStatus(status); });
    // The list is read on this thread, once for however many changes queued up.
    control_->SetOnSatellites([this] {
        if (!satellitesQueued_.exchange(true))
            QMetaObject::invokeMethod(this, &GpsWorker::ReadSatellites, Qt::QueuedConnection);
    });
    SorvaneReceiverStatus status{};
    live_ = StartReceiver(&status);
    if (!live_) {
        ClearLiveHandlers();
    }
    emit LiveStarted(live_, status);
}

void GpsWorker::ClearLiveHandlers() {
    control_->SetOnFix({});
    control_->SetOnReceiverStatus({});
    control_->SetOnSatellites({});
}

void GpsWorker::ReadSatellites() {
    satellitesQueued_ = false;
    if (live_)
        emit LiveSatellites(control_->GetSatellites());
}

void GpsWorker::StopLive() {
    if (!live_)
        return;
    live_ = false;
    ClearLiveHandlers();
    StopReceiver();
    emit LiveStopped();
}

void GpsWorker::ProbeBinary(int port) {
    if (!live_)
        return;
    StopReceiver();
    const Identification answer = ReadProduct(port);
    if (answer.productId != -1) {
        live_ = false;
        ClearLiveHandlers();
        emit BinaryProbed(true, answer.description);
        emit LiveStopped();
        return;
    }
    SorvaneReceiverStatus status{};
    live_ = StartReceiver(&status);
    emit BinaryProbed(false, {});
    if (!live_) {
        ClearLiveHandlers();
        emit LiveStopped();
    }
}

// ---------------------------------------------------------------- session

GpsSession::GpsSession(const QByteArray& persisted, QObject* parent) : QObject(parent) {
    qRegisterMetaType<tobrel::Identification>();
    qRegisterMetaType<tobrel::TransferResult>();
    qRegisterMetaType<tobrel::NameChanges>();
    qRegisterMetaType<tobrel::TransferKind>();
    qRegisterMetaType<SorvaneFix>();
    qRegisterMetaType<SorvaneReceiverStatus>();
    qRegisterMetaType<std::vector<SorvaneSatellite>>();
    thread_.setObjectName(QStringLiteral("gps"));
    worker_ = new GpsWorker(persisted);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &GpsWorker::Identified, this, [this](const Identification& result) {
        --pending_;
        emit Identified(result);
    });
    connect(worker_, &GpsWorker::NamesChecked, this, [this](int tag, const NameChanges& changes) {
        --pending_;
        emit NamesChecked(tag, changes);
    });
    connect(worker_, &GpsWorker::Progress, this, &GpsSession::Progress);
    connect(worker_, &GpsWorker::Transferred, this, [this](const TransferResult& result) {
        --pending_;
        emit Transferred(result);
    });
    // The receiver's events are raised on its own thread: always queued.
    connect(worker_, &GpsWorker::LiveStarted, this, &GpsSession::LiveStarted, Qt::QueuedConnection);
    connect(worker_, &GpsWorker::LiveFix, this, &GpsSession::LiveFix, Qt::QueuedConnection);
    connect(worker_, &GpsWorker::LiveSatellites, this, &GpsSession::LiveSatellites,
            Qt::QueuedConnection);
    connect(worker_, &GpsWorker::LiveStatus, this, &GpsSession::LiveStatus, Qt::QueuedConnection);
    connect(worker_, &GpsWorker::LiveStopped, this, &GpsSession::LiveStopped, Qt::QueuedConnection);
    connect(worker_, &GpsWorker::BinaryProbed, this, &GpsSession::BinaryProbed,
            Qt::QueuedConnection);
    connect(worker_, &GpsWorker::PersistedChanged, this,
            [this](const QByteArray& bytes) { persisted_ = bytes; });
    thread_.start();
    QMetaObject::invokeMethod(
        worker_,
        [this] {
            info_ = worker_->Create();
            persisted_ = worker_->Persisted();
        },
        Qt::BlockingQueuedConnection);
    {
        std::lock_guard lock(g_sessionMutex);
        g_session = this;
    }
    sorvane_set_message_handler(&ForwardMessage, nullptr);
}

GpsSession::~GpsSession() {
    {
        std::lock_guard lock(g_sessionMutex);
        if (g_session == this) {
            g_session = nullptr;
            sorvane_set_message_handler(nullptr, nullptr);
        }
    }
    worker_->RequestCancel();
    // The control goes on the thread that made it, after what is queued there.
    QMetaObject::invokeMethod(
        worker_, [w = worker_] { w->Destroy(); }, Qt::QueuedConnection);
    thread_.quit();
    thread_.wait();
}

void GpsSession::ForwardControlMessage(const char* text, const char* caption) {
    std::lock_guard lock(g_sessionMutex);
    if (g_session == nullptr)
        return;
    const QString t = QString::fromUtf8(text != nullptr ? text : "");
    const QString c = QString::fromUtf8(caption != nullptr ? caption : "");
    GpsSession* session = g_session;
    QMetaObject::invokeMethod(
        session, [session, t, c] { emit session->ControlMessage(t, c); }, Qt::QueuedConnection);
}

void GpsSession::Identify(int port) {
    ++pending_;
    QMetaObject::invokeMethod(
        worker_, [w = worker_, port] { w->Identify(port); }, Qt::QueuedConnection);
}

void GpsSession::StartLive(int port) {
    QMetaObject::invokeMethod(
        worker_, [w = worker_, port] { w->StartLive(port); }, Qt::QueuedConnection);
}

void GpsSession::StopLive() {
    QMetaObject::invokeMethod(worker_, &GpsWorker::StopLive, Qt::QueuedConnection);
}

void GpsSession::ProbeBinary(int port) {
    QMetaObject::invokeMethod(
        worker_, [w = worker_, port] { w->ProbeBinary(port); }, Qt::QueuedConnection);
}

int GpsSession::IdentifyForCommand(int port) {
    const int tag = NextTag();
    ++pending_;
    QMetaObject::invokeMethod(
        worker_, [w = worker_, tag, port] { w->IdentifyForCommand(tag, port); },
        Qt::QueuedConnection);
    return tag;
}

int GpsSession::CheckNames(std::int32_t productId, const NameList& names) {
    const int tag = NextTag();
    ++pending_;
    QMetaObject::invokeMethod(
        worker_, [w = worker_, tag, productId, names] { w->CheckNames(tag, productId, names); },
        Qt::QueuedConnection);
    return tag;
}

int GpsSession::Transfer(TransferRequest request) {
    request.tag = NextTag();
    const int tag = request.tag;
    ++pending_;
    using Slot = void (GpsWorker::*)(const TransferRequest&);
    Slot slot = &GpsWorker::DownloadTracks;
    switch (request.kind) {
        case TransferKind::kDownloadTracks:
            slot = &GpsWorker::DownloadTracks;
            break;
        case TransferKind::kDownloadWaypoints:
            slot = &GpsWorker::DownloadWaypoints;
            break;
        case TransferKind::kUploadTracks:
            slot = &GpsWorker::UploadTracks;
            break;
        case TransferKind::kUploadWaypoints:
            slot = &GpsWorker::UploadWaypoints;
            break;
        case TransferKind::kUploadRoute:
            slot = &GpsWorker::UploadRoute;
            break;
    }
    QMetaObject::invokeMethod(
        worker_, [w = worker_, slot, r = std::move(request)] { (w->*slot)(r); },
        Qt::QueuedConnection);
    return tag;
}

}  // namespace tobrel
