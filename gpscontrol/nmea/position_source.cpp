#include "nmea/position_source.h"

namespace sorvane {

StatusBoard::StatusBoard(SourceKind source, std::function<void(const ReceiverStatus&)> handler)
    : handler_(std::move(handler)) {
    status_.source = source;
}

void StatusBoard::Changed(std::unique_lock<std::mutex>& lock) {
    const ReceiverStatus copy = status_;
    lock.unlock();
    if (handler_)
        handler_(copy);
}

void StatusBoard::Set(SourceState state, int errorCode, std::string message) {
    std::unique_lock lock(mutex_);
    if (status_.state == state && status_.errorCode == errorCode && status_.message == message)
        return;
    status_.state = state;
    status_.errorCode = errorCode;
    status_.message = std::move(message);
    Changed(lock);
}

void StatusBoard::SetNoDevice(bool noDevice, std::string message) {
    std::unique_lock lock(mutex_);
    if (status_.noDevice == noDevice && status_.message == message)
        return;
    status_.noDevice = noDevice;
    status_.message = std::move(message);
    Changed(lock);
}

void StatusBoard::Count(std::uint64_t bytes, std::uint64_t sentences, std::uint64_t rejected) {
    std::lock_guard lock(mutex_);
    status_.bytes += bytes;
    status_.sentences += sentences;
    status_.rejected += rejected;
}

void StatusBoard::SetLastFix(const NmeaFix& fix) {
    std::lock_guard lock(mutex_);
    lastFix_ = fix;
}

ReceiverStatus StatusBoard::Get() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<NmeaFix> StatusBoard::LastFix() const {
    std::lock_guard lock(mutex_);
    return lastFix_;
}

}  // namespace sorvane
