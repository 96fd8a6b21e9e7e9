#pragma once
// The GPS control Sorvane1 lives on a thread of its own: a transfer holds its
// caller for as long as the receiver talks, and the window must not freeze.
// GpsWorker owns the control on that thread and is the only code that calls
// it; GpsSession is the window's side and talks to the worker through queued
// calls and signals.
//
// A GPS command identifies the receiver, may check the names an upload sends,
// then runs one transfer. Each step is one queued call with a tag, answered
// by a signal carrying that tag; the transfer reports its progress on the way
// and stops at the next record once RequestCancel() was called.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>

#include "control/sorvane.h"
#include "geodesy/molodensky.h"
#include "ui/gps/gps_records.h"

namespace sorvane {
class TSorvane;
}

namespace tobrel {

struct ControlInfo {
    bool ok = false;           // the control could be created
    std::int32_t version = 0;  // GetVersion
    sorvane::DatumShift datum;
    QString datumName;
};

struct Identification {
    int tag = 0;  // 0 for the status bar's, a command's own otherwise
    int port = 0;
    QString device;               // what the port names
    std::int32_t productId = -1;  // -1: no answer
    std::int32_t softwareVersion = 0;
    QString description;
    // For a command's identification: whether the control supports the
    // product (it is then selected), and after no answer the errno of the
    // failure (0 when none is known) and whether the port carries NMEA.
    bool supported = false;
    int errorCode = 0;
    bool nmeaHeard = false;
};

enum class TransferKind {
    kDownloadTracks,
    kDownloadWaypoints,
    kUploadTracks,
    kUploadWaypoints,
    kUploadRoute
};

// One transfer: the product to select first, and what an upload sends.
struct TransferRequest {
    int tag = 0;
    TransferKind kind = TransferKind::kDownloadTracks;
    std::int32_t productId = 0;
    std::vector<GpsTrack> tracks;
    std::vector<GpsWaypoint> waypoints;
    GpsRoute route;
};

struct TransferResult {
    enum class Outcome { kDone, kFailed, kCancelled };
    int tag = 0;
    TransferKind kind = TransferKind::kDownloadTracks;
    Outcome outcome = Outcome::kFailed;
    int errorCode = 0;  // errno of the failing call, 0 when none is known
    // The line stayed quiet for a byte budget before the transfer ended: the
    // receiver stopped answering (a time-out carries no error code).
    bool timedOut = false;
    // The last progress the control reported: records done of total.
    int done = 0;
    int total = 0;
    // A completed download.
    std::vector<GpsTrack> tracks;
    std::vector<GpsWaypoint> waypoints;
    double axisDifference = 0.0;  // GetMapDatumDeltaA
};

// Whether an errno of a failed identification or transfer means the port
// could not be opened, as opposed to a failure on the open line.
bool IsPortOpenFailure(int errorCode);

// A name an upload sends and what the receiver will keep of it.
struct NameChange {
    QString name;
    QString held;
};
using NameChanges = QList<NameChange>;
// Names an upload sends, with their kind (SORVANE_NAME_WAYPOINT or _ROUTE).
using NameList = std::vector<std::pair<std::int32_t, std::string>>;

class GpsWorker : public QObject {
    Q_OBJECT
  public:
    explicit GpsWorker(QByteArray persisted);
    ~GpsWorker() override;

    // On the worker's thread.
    ControlInfo Create();
    void Destroy();
    QByteArray Persisted() const { return persisted_; }

    // From any thread: asks a running transfer to stop, or lets the next run.
    void RequestCancel() { cancel_ = true; }
    void ClearCancel() { cancel_ = false; }
    bool CancelRequested() const { return cancel_; }

  public slots:
    void Identify(int port);
    // Also selects a supported product, and after no answer says why.
    void IdentifyForCommand(int tag, int port);
    void CheckNames(int tag, std::int32_t productId, const NameList& names);
    void DownloadTracks(const TransferRequest& request);
    void DownloadWaypoints(const TransferRequest& request);
    void UploadTracks(const TransferRequest& request);
    void UploadWaypoints(const TransferRequest& request);
    void UploadRoute(const TransferRequest& request);
    // The live position: the NMEA receiver on port n at the NMEA speed.
    void StartLive(int port);
    void StopLive();
    // After the line stayed silent: whether the receiver answers in its
    // binary protocol instead. Live stays stopped when it does.
    void ProbeBinary(int port);

  signals:
    void Identified(const tobrel::Identification& result);
    void NamesChecked(int tag, const tobrel::NameChanges& changes);
    // The control's Receiving counts, a few times a second at most.
    void Progress(int tag, tobrel::TransferKind kind, int done, int total);
    void Transferred(const tobrel::TransferResult& result);
    // The control's 28-byte persisted properties after they changed.
    void PersistedChanged(const QByteArray& bytes);
    // The live position. Fixes, satellites and status come from the
    // receiver's thread; connect them queued.
    void LiveStarted(bool ok, const SorvaneReceiverStatus& status);
    void LiveFix(const SorvaneFix& fix);
    void LiveSatellites(const std::vector<SorvaneSatellite>& satellites);
    void LiveStatus(const SorvaneReceiverStatus& status);
    void LiveStopped();
    void BinaryProbed(bool answered, const QString& description);

  private:
    Identification ReadProduct(int port);
    TransferResult Run(const TransferRequest& request, const std::function<int()>& transfer);
    void Finish(TransferResult result);
    void MarkErrorCode();
    int ErrorCodeSinceMark();
    bool HearsNmea();
    void ReportPersisted();
    bool StartReceiver(SorvaneReceiverStatus* status);
    void StopReceiver();
    void ReadSatellites();
    void ClearLiveHandlers();

    QByteArray persisted_;
    bool live_ = false;
    std::int32_t savedBaudRate_ = 0;
    std::atomic<bool> satellitesQueued_{false};
    std::unique_ptr<sorvane::TSorvane> control_;
    std::atomic<bool> cancel_{false};
};

class GpsSession : public QObject {
    Q_OBJECT
  public:
    // Starts the thread and creates the control there with the persisted
    // properties (the defaults when there are none or they do not load).
    explicit GpsSession(const QByteArray& persisted, QObject* parent = nullptr);
    ~GpsSession() override;

    const ControlInfo& Info() const { return info_; }
    QByteArray Persisted() const { return persisted_; }
    bool IsBusy() const { return pending_ > 0; }

    // Reads the receiver's product on port n in the background.
    void Identify(int port);

    // A command's steps; each returns the tag its answer carries.
    void BeginCommand() { worker_->ClearCancel(); }
    int IdentifyForCommand(int port);
    int CheckNames(std::int32_t productId, const NameList& names);
    int Transfer(TransferRequest request);
    // From any thread: the running transfer stops at its next record.
    void RequestCancel() { worker_->RequestCancel(); }

    // The live position on the worker's thread; the answers come as signals.
    void StartLive(int port);
    void StopLive();
    void ProbeBinary(int port);

    // Where the control's failure messages arrive, on whatever thread raised
    // them; they reach the live session's ControlMessage on its own thread.
    static void ForwardControlMessage(const char* text, const char* caption);

  signals:
    void Identified(const tobrel::Identification& result);
    void NamesChecked(int tag, const tobrel::NameChanges& changes);
    void Progress(int tag, tobrel::TransferKind kind, int done, int total);
    void Transferred(const tobrel::TransferResult& result);
    // A failure message of the control ("Memory allocation", ...), on the window's thread.
    void ControlMessage(const QString& text, const QString& caption);
    void LiveStarted(bool ok, const SorvaneReceiverStatus& status);
    void LiveFix(const SorvaneFix& fix);
    void LiveSatellites(const std::vector<SorvaneSatellite>& satellites);
    void LiveStatus(const SorvaneReceiverStatus& status);
    void LiveStopped();
    void BinaryProbed(bool answered, const QString& description);

  private:
    int NextTag() { return ++lastTag_; }

    QThread thread_;
    GpsWorker* worker_ = nullptr;
    ControlInfo info_;
    QByteArray persisted_;
    int pending_ = 0;
    int lastTag_ = 0;
};

}  // namespace tobrel

Q_DECLARE_METATYPE(tobrel::Identification)
Q_DECLARE_METATYPE(tobrel::TransferResult)
Q_DECLARE_METATYPE(tobrel::NameChanges)
Q_DECLARE_METATYPE(tobrel::TransferKind)
Q_DECLARE_METATYPE(SorvaneFix)
Q_DECLARE_METATYPE(SorvaneReceiverStatus)
Q_DECLARE_METATYPE(std::vector<SorvaneSatellite>)
