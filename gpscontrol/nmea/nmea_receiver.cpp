#include "nmea/nmea_receiver.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "nmea/nmea_ring.h"

namespace sorvane {

namespace {

// Largest chunk taken from the driver in one read.
constexpr std::size_t kMaxChunk = 65536;

ReceiverHandlers FixOnly(NmeaHandler handler) {
    ReceiverHandlers h;
    h.fix = std::move(handler);
    return h;
}

std::string_view WithoutLineEnd(const char* line) {
    std::string_view s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

struct NmeaReceiver::Shared {
    // Once stopped (a handler may close the receiver and let its host go),
    // the thread raises nothing more.
    explicit Shared(const ReceiverHandlers& h)
        : handlers(h),
          board(SourceKind::kSerial,
                [this](const ReceiverStatus& s) {
                    if (handlers.status && !stop.load())
                        handlers.status(s);
                }),
          sentences([this](const NmeaFix& fix) {
              if (fix.kind != FixKind::kStale)
                  board.SetLastFix(fix);
              if (handlers.fix && !stop.load())
                  handlers.fix(fix);
          }) {
        sentences.SetSatellitesHandler([this] {
            if (handlers.satellites && !stop.load())
                handlers.satellites();
        });
    }
    ~Shared() { CloseFds(); }

    void Run();
    void Feed(const char* bytes, std::size_t length);
    void HangUp(int error);
    void CloseFds();

    const ReceiverHandlers handlers;
    StatusBoard board;

    // Set before the thread starts; the thread alone uses them afterwards
    // until it has been joined (or, once detached, it closes them itself).
    SerialLine line;
    std::string path;
    int wake = -1;
    bool hungUp = false;
    std::thread thread;

    // Set once the owner has finished starting the thread, which waits for
    // it, so that the thread never sees the std::thread object half assigned.
    std::atomic<bool> launched{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> active{false};
    std::atomic<bool> detached{false};

    NmeaRing ring;
    NmeaSentences sentences;
};

void NmeaReceiver::Shared::CloseFds() {
    line.Close(!hungUp);
    if (wake >= 0) {
        ::close(wake);
        wake = -1;
    }
}

void NmeaReceiver::Shared::Feed(const char* bytes, std::size_t length) {
    std::uint64_t taken = 0;
    std::uint64_t rejected = ring.Append(bytes, length) ? 0 : 1;
    char text[kNmeaLineMax];
    while (!stop.load()) {
        const NmeaRing::Take t = ring.TakeLine(text);
        if (t == NmeaRing::Take::kNone)
            break;
        if (t == NmeaRing::Take::kDiscarded) {
            ++rejected;
            continue;
        }
        if (handlers.sentence) {
            handlers.sentence(WithoutLineEnd(text));
            if (stop.load())
                break;
        }
        const NmeaTake took = sentences.Take(text);
        if (took == NmeaTake::kParsed || took == NmeaTake::kOther) {
            ++taken;
        } else {
            ++rejected;
        }
    }
    board.Count(length, taken, rejected);
}

void NmeaReceiver::Shared::HangUp(int error) {
    hungUp = true;
    // No RMC will close the cycle in hand.
    sentences.Flush();
    std::string message = "the line " + path + " hung up";
    if (error != 0)
        message += std::string(": ") + std::strerror(error);
    board.Set(SourceState::kEnded, error, std::move(message));
}

void NmeaReceiver::Shared::Run() {
    launched.wait(false);
    const int fd = line.fd();
    // What waited in the driver before the start belongs to no cycle of ours.
    ::tcflush(fd, TCIFLUSH);
    std::vector<char> buffer;
    for (;;) {
        buffer.resize(1024);
        if (::read(fd, buffer.data(), buffer.size()) <= 0)
            break;
    }

    active.store(true);
    while (!stop.load()) {
        pollfd fds[2] = {{wake, POLLIN, 0}, {fd, POLLIN, 0}};
        // A line that hung up is not polled again (it would report at once,
        // every time); the thread then only waits to be stopped.
        const nfds_t count = hungUp ? 1 : 2;
        const int r = ::poll(fds, count, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;
        if (count < 2)
            continue;
        if (fds[1].revents & POLLIN) {
            int queued = 0;
            if (::ioctl(fd, FIONREAD, &queued) != 0 || queued <= 0)
                queued = 1024;
            // No more than the ring has room for: a chunk that does not fit
            // would be dropped whole, and the rest waits in the driver.
            const std::size_t room = ring.FreeSpace() - 1;
            buffer.resize(std::min({static_cast<std::size_t>(queued), kMaxChunk, room}));
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n > 0) {
                Feed(buffer.data(), static_cast<std::size_t>(n));
            } else if (n == 0) {
                HangUp(0);
            } else if (errno != EINTR && errno != EAGAIN) {
                HangUp(errno == EIO ? 0 : errno);
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            HangUp(0);
        }
    }
    active.store(false);
    if (detached.load())
        CloseFds();
}

NmeaReceiver::NmeaReceiver(NmeaHandler handler) : NmeaReceiver(FixOnly(std::move(handler))) {}

NmeaReceiver::NmeaReceiver(ReceiverHandlers handlers)
    : handlers_(std::move(handlers)), shared_(std::make_shared<Shared>(handlers_)) {}

NmeaReceiver::~NmeaReceiver() {
    close();
}

NmeaReceiver::Shared& NmeaReceiver::Fresh() {
    // A receiver stopped from inside its own event left its state to the
    // thread that is still finishing; start afresh.
    if (shared_->detached.load())
        shared_ = std::make_shared<Shared>(handlers_);
    shared_->stop.store(false);
    return *shared_;
}

bool NmeaReceiver::open(std::uint8_t port, std::uint32_t baud) {
    if (open_.load())
        return false;
    const std::string path = PortDevicePath(port);
    if (path.empty()) {
        errorCode_ = ENODEV;
        Fresh().board.Set(SourceState::kFailed, ENODEV,
                          "port " + std::to_string(port) + " names no device");
        return false;
    }
    return openDevice(path, baud);
}

bool NmeaReceiver::openDevice(const std::string& path, std::uint32_t baud) {
    if (open_.load())
        return false;
    Shared& s = Fresh();
    const auto fail = [&](int error) {
        errorCode_ = error;
        s.board.Set(SourceState::kFailed, error,
                    "cannot open " + path + ": " + std::strerror(error));
        return false;
    };
    SerialLine line;
    if (const int error = OpenSerialLine(path, PortSettings{0, baud, 0, 8, 0}, &line); error != 0)
        return fail(error);

    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return fail(errno);

    s.line = std::move(line);
    s.path = path;
    s.wake = wake;
    s.hungUp = false;
    s.launched.store(false);
    s.board.Set(SourceState::kRunning, 0, "");
    try {
        s.thread = std::thread([state = shared_]() mutable {
            state->Run();
            state.reset();
        });
    } catch (const std::system_error& e) {
        s.CloseFds();
        return fail(e.code().value());
    }
    open_.store(true);
    s.launched.store(true);
    s.launched.notify_one();
    return true;
}

void NmeaReceiver::close() {
    Shared& s = *shared_;
    // From an event handler: the thread ends once the handler returns and
    // closes the port itself. Marked before the receiver reads as closed, so
    // that an open after that never reuses this thread's state.
    const bool self = s.thread.get_id() == std::this_thread::get_id();
    if (self)
        s.detached.store(true);
    if (!open_.exchange(false))
        return;
    s.stop.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(s.wake, &one, sizeof one);
    if (self) {
        s.thread.detach();
        return;
    }
    if (s.thread.joinable())
        s.thread.join();
    s.CloseFds();
}

bool NmeaReceiver::isOpen() const {
    return open_.load();
}

bool NmeaReceiver::isThreadActive() const {
    return shared_->active.load();
}

int NmeaReceiver::satelliteCount() const {
    return shared_->sentences.SatelliteCount();
}

bool NmeaReceiver::satellite(int n, std::int16_t& prn, std::int16_t& elevation,
                             std::int16_t& azimuth, std::int16_t& snr) const {
    SatelliteEntry e;
    if (!shared_->sentences.Satellite(n, &e))
        return false;
    prn = e.prn;
    elevation = e.elevation;
    azimuth = e.azimuth;
    snr = e.snr;
    return true;
}

std::vector<SatelliteInfo> NmeaReceiver::satellites() const {
    return shared_->sentences.Sky().List();
}

ReceiverStatus NmeaReceiver::status() const {
    ReceiverStatus s = shared_->board.Get();
    if (!open_.load() && s.state != SourceState::kFailed)
        s.state = SourceState::kStopped;
    return s;
}

std::optional<NmeaFix> NmeaReceiver::lastFix() const {
    return shared_->board.LastFix();
}

}  // namespace sorvane
