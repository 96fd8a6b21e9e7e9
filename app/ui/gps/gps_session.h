#pragma once
// The GPS control Sorvane1 lives on a thread of its own: a transfer holds its
// caller for as long as the receiver talks, and the window must not freeze.
// GpsWorker owns the control on that thread and is the only code that calls
// it; GpsSession is the window's side and talks to the worker through queued
// calls and signals.
//
// The GPS commands plug in here: a slot on GpsWorker per transfer (it reads
// the progress through the control's Receiving event, calls AbortTransfer
// when CancelRequested() is set, and emits its result), and a method on
// GpsSession that queues it.

#include <atomic>
#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QThread>

#include "geodesy/molodensky.h"

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
    int port = 0;
    QString device;               // what the port names
    std::int32_t productId = -1;  // -1: no answer
    std::int32_t softwareVersion = 0;
    QString description;
};

class GpsWorker : public QObject {
    Q_OBJECT
  public:
    explicit GpsWorker(QByteArray persisted);
    ~GpsWorker() override;

    // On the worker's thread.
    ControlInfo Create();
    void Destroy();
    QByteArray Persisted() const { return persisted_; }

    // From any thread: asks a running transfer to stop.
    void RequestCancel() { cancel_ = true; }
    bool CancelRequested() const { return cancel_; }

  public slots:
    void Identify(int port);

  signals:
    void Identified(const tobrel::Identification& result);
    // The control's 28-byte persisted properties after they changed.
    void PersistedChanged(const QByteArray& bytes);

  private:
    void ReportPersisted();

    QByteArray persisted_;
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

    // Where the control's failure messages arrive, on whatever thread raised
    // them; they reach the live session's ControlMessage on its own thread.
    static void ForwardControlMessage(const char* text, const char* caption);

  signals:
    void Identified(const tobrel::Identification& result);
    // A failure message of the control ("Memory allocation", ...), on the window's thread.
    void ControlMessage(const QString& text, const QString& caption);

  private:
    QThread thread_;
    GpsWorker* worker_ = nullptr;
    ControlInfo info_;
    QByteArray persisted_;
    int pending_ = 0;
};

}  // namespace tobrel

Q_DECLARE_METATYPE(tobrel::Identification)
