#include "ui/gps/gps_session.h"

#include <mutex>

#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "ui/settings/port_map.h"

namespace tobrel {

namespace {

// The control's messages are process-wide; they go to the session alive now.
std::mutex g_sessionMutex;
GpsSession* g_session = nullptr;

void ForwardMessage(void*, const char* text, const char* caption) {
    GpsSession::ForwardControlMessage(text, caption);
}

QByteArray ToBytes(const std::array<std::uint8_t, SORVANE_PERSISTED_SIZE>& block) {
    return QByteArray(reinterpret_cast<const char*>(block.data()),
                      static_cast<qsizetype>(block.size()));
}

}  // namespace

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
    control_.reset();
}

void GpsWorker::ReportPersisted() {
    const QByteArray now = ToBytes(control_->Save());
    if (now != persisted_) {
        persisted_ = now;
        emit PersistedChanged(now);
    }
}

void GpsWorker::Identify(int port) {
    Identification result;
    result.port = port;
    result.device = PortDeviceOf(port).path;
    if (control_ && control_->ok()) {
        control_->set_CommPort(static_cast<std::int16_t>(port));
        const std::string description =
            control_->ReadProductID(&result.productId, &result.softwareVersion);
        result.description = QString::fromStdString(description);
        ReportPersisted();
    }
    emit Identified(result);
}

// ---------------------------------------------------------------- session

GpsSession::GpsSession(const QByteArray& persisted, QObject* parent) : QObject(parent) {
    qRegisterMetaType<tobrel::Identification>();
    thread_.setObjectName(QStringLiteral("gps"));
    worker_ = new GpsWorker(persisted);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &GpsWorker::Identified, this, [this](const Identification& result) {
        --pending_;
        emit Identified(result);
    });
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

}  // namespace tobrel
