#include "gpsd/gpsd_receiver.h"

#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "gpsd/gpsd_reports.h"

namespace sorvane {

namespace {

using Clock = std::chrono::steady_clock;

// A report is a few kilobytes at most; a longer line is no report.
constexpr std::size_t kMaxLine = 1 << 16;
// How long close waits for a thread that is looking up a host name.
constexpr auto kCloseWait = std::chrono::seconds(2);
// How long a report that lacks part of its fix waits for the rest of it.
constexpr auto kHoldLimit = std::chrono::seconds(1);

constexpr std::string_view kWatch = "?WATCH={\"enable\":true,\"json\":true};\n";

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

struct GpsdReceiver::Shared {
    // Once stopped (a handler may close the receiver and let its host go),
    // the thread raises nothing more.
    explicit Shared(const ReceiverHandlers& h)
        : handlers(h), board(SourceKind::kGpsd, [this](const ReceiverStatus& s) {
              if (handlers.status && !stop.load())
                  handlers.status(s);
          }) {}
    ~Shared() { CloseFds(); }

    void Run();
    // The connected socket, or -1 after a failure (told in the status) or a stop.
    int Connect();
    // False when the daemon is gone.
    bool Read();
    void Line(std::string_view line);
    void Position(const GpsdReport& report);
    void Emit(const NmeaFix& fix);
    void EmitHeld();
    void Send(std::string_view text);
    void CloseFds();
    std::string Where() const { return host + ":" + std::to_string(port); }

    const ReceiverHandlers handlers;
    StatusBoard board;
    SatelliteSky sky;
    GpsdDecoder decoder;

    std::string host;
    int port = 0;
    int answerTimeoutMs = GpsdReceiver::kDefaultAnswerTimeoutMs;
    int wake = -1;
    int socket = -1;
    std::string pending;  // bytes of a line not yet complete
    bool greeted = false;
    // The fix of one time waits here while the daemon may still complete it.
    std::optional<NmeaFix> held;
    Clock::time_point heldSince;
    std::optional<double> reportedUtc;
    int satellitesUsed = -1;
    double hdop = 0.0;

    std::thread thread;
    std::atomic<bool> launched{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> detached{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
};

void GpsdReceiver::Shared::CloseFds() {
    if (socket >= 0) {
        ::close(socket);
        socket = -1;
    }
    if (wake >= 0) {
        ::close(wake);
        wake = -1;
    }
}

int GpsdReceiver::Shared::Connect() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int lookup = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    // A close that did not wait for the lookup has let the receiver go.
    if (stop.load()) {
        if (lookup == 0)
            ::freeaddrinfo(found);
        return -1;
    }
    if (const int r = lookup; r != 0) {
        board.Set(SourceState::kFailed, r == EAI_SYSTEM ? errno : EHOSTUNREACH,
                  "cannot find the gpsd host " + host + ": " + ::gai_strerror(r));
        return -1;
    }
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(answerTimeoutMs);
    int error = ECONNREFUSED;
    for (const addrinfo* a = found; a != nullptr && !stop.load(); a = a->ai_next) {
        const int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = errno;
            continue;
        }
        int r = ::connect(s, a->ai_addr, a->ai_addrlen);
        if (r != 0 && errno == EINPROGRESS) {
            pollfd fds[2] = {{wake, POLLIN, 0}, {s, POLLOUT, 0}};
            do {
                r = ::poll(fds, 2, RemainingMs(deadline));
            } while (r < 0 && errno == EINTR);
            if (r == 0) {
                errno = ETIMEDOUT;
                r = -1;
            } else if (r > 0 && fds[0].revents != 0) {
                ::close(s);
                return -1;
            } else if (r > 0) {
                int soError = 0;
                socklen_t length = sizeof soError;
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &length);
                errno = soError;
                r = soError == 0 ? 0 : -1;
            }
        }
        if (r == 0)
            return s;
        error = errno;
        ::close(s);
    }
    if (stop.load())
        return -1;
    std::string message;
    if (error == ECONNREFUSED) {
        message = "gpsd is not running at " + Where() + " (connection refused)";
    } else if (error == ETIMEDOUT) {
        message = "no answer from gpsd at " + Where();
    } else {
        message = "cannot reach gpsd at " + Where() + ": " + std::strerror(error);
    }
    board.Set(SourceState::kFailed, error, std::move(message));
    return -1;
}

void GpsdReceiver::Shared::Send(std::string_view text) {
    // A request is far smaller than a socket's buffer.
    [[maybe_unused]] const ssize_t n = ::send(socket, text.data(), text.size(), MSG_NOSIGNAL);
}

void GpsdReceiver::Shared::Line(std::string_view line) {
    if (handlers.sentence) {
        handlers.sentence(line);
        if (stop.load())
            return;
    }
    GpsdReport report;
    if (!decoder.Decode(line, &report)) {
        board.Count(0, 0, 1);
        return;
    }
    board.Count(0, 1, 0);
    switch (report.type) {
        case GpsdReport::Type::kVersion:
            greeted = true;
            board.Set(SourceState::kRunning, 0, "");
            break;
        case GpsdReport::Type::kDevices:
            board.SetNoDevice(report.devices == 0,
                              report.devices == 0 ? "gpsd at " + Where() + " has no GPS receiver"
                                                  : std::string());
            break;
        case GpsdReport::Type::kDevice:
            if (report.deviceActive) {
                board.SetNoDevice(false, "");
            } else {
                // A receiver went away; the list tells whether another is left.
                Send("?DEVICES;\n");
            }
            break;
        case GpsdReport::Type::kTpv:
            Position(report);
            break;
        case GpsdReport::Type::kSky:
            if (report.hdop > 0.0)
                hdop = report.hdop;
            if (report.hasSatellites) {
                satellitesUsed = report.satellitesUsed;
                const auto count = static_cast<std::int32_t>(report.satellites.size());
                sky.Replace(count, std::move(report.satellites));
                if (handlers.satellites && !stop.load())
                    handlers.satellites();
            }
            break;
        case GpsdReport::Type::kOther:
            break;
    }
}

void GpsdReceiver::Shared::Emit(const NmeaFix& fix) {
    if (handlers.fix && !stop.load())
        handlers.fix(fix);
}

void GpsdReceiver::Shared::EmitHeld() {
    if (!held)
        return;
    const NmeaFix fix = *held;
    held.reset();
    reportedUtc = fix.utc;
    Emit(fix);
}

// One event per time. The daemon may report a time more than once as its
// sentences come in (a 2D fix before the 3D one, the GGA's before the RMC's):
// a report that lacks part of its fix waits for the rest, for a while; the
// reports of a time already given change only the last fix.
void GpsdReceiver::Shared::Position(const GpsdReport& report) {
    NmeaFix fix = report.fix;
    fix.satellitesUsed = satellitesUsed;
    fix.hdop = hdop;
    board.SetLastFix(fix);
    if (!report.hasTime) {
        EmitHeld();
        reportedUtc.reset();
        Emit(fix);
        return;
    }
    if (reportedUtc && *reportedUtc == fix.utc)
        return;
    if (held && held->utc != fix.utc)
        EmitHeld();
    if (report.complete) {
        held.reset();
        reportedUtc = fix.utc;
        Emit(fix);
        return;
    }
    if (!held)
        heldSince = Clock::now();
    held = fix;
}

bool GpsdReceiver::Shared::Read() {
    char buffer[8192];
    const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return true;
    if (n <= 0) {
        const int error = n < 0 ? errno : 0;
        EmitHeld();
        std::string message = "gpsd at " + Where() + " went away";
        if (error != 0)
            message += std::string(": ") + std::strerror(error);
        board.Set(SourceState::kEnded, error, std::move(message));
        return false;
    }
    board.Count(static_cast<std::uint64_t>(n), 0, 0);
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t lf; !stop.load() && (lf = pending.find('\n', start)) != std::string::npos;
         start = lf + 1) {
        std::string_view line(pending.data() + start, lf - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            Line(line);
    }
    pending.erase(0, start);
    if (pending.size() > kMaxLine) {
        pending.clear();
        board.Count(0, 0, 1);
    }
    return true;
}

void GpsdReceiver::Shared::Run() {
    launched.wait(false);
    socket = Connect();
    if (socket >= 0) {
        Send(kWatch);
        const Clock::time_point deadline =
            Clock::now() + std::chrono::milliseconds(answerTimeoutMs);
        while (!stop.load()) {
            pollfd fds[2] = {{wake, POLLIN, 0}, {socket, POLLIN, 0}};
            const int timeout = held      ? RemainingMs(heldSince + kHoldLimit)
                                : greeted ? -1
                                          : RemainingMs(deadline);
            const int r = ::poll(fds, 2, timeout);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (r == 0 && held) {
                EmitHeld();
                continue;
            }
            if (r == 0) {
                board.Set(SourceState::kFailed, ETIMEDOUT,
                          Where() + " does not answer as gpsd does");
                break;
            }
            if (fds[0].revents != 0)
                break;
            if (fds[1].revents != 0 && !Read())
                break;
        }
    }
    if (detached.load())
        CloseFds();
    std::lock_guard lock(mutex);
    finished = true;
    ended.notify_all();
}

GpsdReceiver::GpsdReceiver(ReceiverHandlers handlers)
    : handlers_(std::move(handlers)), shared_(std::make_shared<Shared>(handlers_)) {}

GpsdReceiver::~GpsdReceiver() {
    close();
}

bool GpsdReceiver::open(const std::string& host, int port) {
    if (open_.load())
        return false;
    shared_ = std::make_shared<Shared>(handlers_);
    Shared& s = *shared_;
    s.host = host.empty() ? kDefaultHost : host;
    s.port = port > 0 ? port : kDefaultPort;
    s.answerTimeoutMs = answerTimeoutMs_;
    s.wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (s.wake < 0) {
        s.board.Set(SourceState::kFailed, errno,
                    std::string("cannot start: ") + std::strerror(errno));
        return false;
    }
    s.board.Set(SourceState::kConnecting, 0, "connecting to gpsd at " + s.Where());
    try {
        s.thread = std::thread([state = shared_]() mutable {
            state->Run();
            state.reset();
        });
    } catch (const std::system_error& e) {
        s.CloseFds();
        s.board.Set(SourceState::kFailed, e.code().value(), "cannot start: " + e.code().message());
        return false;
    }
    open_.store(true);
    s.launched.store(true);
    s.launched.notify_one();
    return true;
}

void GpsdReceiver::close() {
    Shared& s = *shared_;
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
    {
        std::unique_lock lock(s.mutex);
        if (!s.ended.wait_for(lock, kCloseWait, [&] { return s.finished; })) {
            // Only a host name lookup takes this long; the thread closes
            // what it holds when it ends.
            s.detached.store(true);
            lock.unlock();
            s.thread.detach();
            return;
        }
    }
    s.thread.join();
    s.CloseFds();
}

bool GpsdReceiver::isOpen() const {
    return open_.load();
}

int GpsdReceiver::satelliteCount() const {
    return shared_->sky.Count();
}

bool GpsdReceiver::satellite(int n, std::int16_t& prn, std::int16_t& elevation,
                             std::int16_t& azimuth, std::int16_t& snr) const {
    SatelliteEntry e;
    if (!shared_->sky.Entry(n, &e))
        return false;
    prn = e.prn;
    elevation = e.elevation;
    azimuth = e.azimuth;
    snr = e.snr;
    return true;
}

std::vector<SatelliteInfo> GpsdReceiver::satellites() const {
    return shared_->sky.List();
}

ReceiverStatus GpsdReceiver::status() const {
    ReceiverStatus s = shared_->board.Get();
    if (!open_.load() && s.state != SourceState::kFailed)
        s.state = SourceState::kStopped;
    return s;
}

std::optional<NmeaFix> GpsdReceiver::lastFix() const {
    return shared_->board.LastFix();
}

}  // namespace sorvane
