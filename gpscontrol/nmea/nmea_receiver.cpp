#include "nmea/nmea_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "nmea/nmea_ring.h"

namespace sorvane {

namespace {

struct BaudRate {
    std::uint32_t rate;
    speed_t constant;
};

constexpr BaudRate kBaudRates[] = {
    {300, B300},         {600, B600},         {1200, B1200},       {2400, B2400},
    {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
    {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
};

speed_t BaudConstant(std::uint32_t baud) {
    for (const BaudRate& b : kBaudRates) {
        if (b.rate == baud)
            return b.constant;
    }
    return B0;
}

// Largest chunk taken from the driver in one read.
constexpr std::size_t kMaxChunk = 65536;

}  // namespace

struct NmeaReceiver::Shared {
    explicit Shared(const NmeaHandler& handler) : sentences(handler) {}
    ~Shared() { CloseFds(); }

    void Run();
    void Feed(const char* bytes, std::size_t length);
    void CloseFds();

    // Set before the thread starts; the thread alone uses them afterwards
    // until it has been joined (or, once detached, it closes them itself).
    int fd = -1;
    int wake = -1;
    termios saved{};
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
    if (fd >= 0) {
        if (!hungUp)
            ::tcsetattr(fd, TCSANOW, &saved);
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        fd = -1;
    }
    if (wake >= 0) {
        ::close(wake);
        wake = -1;
    }
}

void NmeaReceiver::Shared::Feed(const char* bytes, std::size_t length) {
    ring.Append(bytes, length);
    char line[kNmeaLineMax];
    while (!stop.load()) {
        const NmeaRing::Take t = ring.TakeLine(line);
        if (t == NmeaRing::Take::kNone)
            return;
        if (t == NmeaRing::Take::kLine)
            sentences.Dispatch(line);
    }
}

void NmeaReceiver::Shared::Run() {
    launched.wait(false);
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
            buffer.resize(static_cast<std::size_t>(queued) < kMaxChunk
                              ? static_cast<std::size_t>(queued)
                              : kMaxChunk);
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n > 0) {
                Feed(buffer.data(), static_cast<std::size_t>(n));
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                hungUp = true;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp = true;
        }
    }
    active.store(false);
    if (detached.load())
        CloseFds();
}

NmeaReceiver::NmeaReceiver(NmeaHandler handler)
    : handler_(std::move(handler)), shared_(std::make_shared<Shared>(handler_)) {}

NmeaReceiver::~NmeaReceiver() {
    close();
}

bool NmeaReceiver::open(std::uint8_t port, std::uint32_t baud) {
    if (open_.load())
        return false;
    const std::string path = PortDevicePath(port);
    if (path.empty()) {
        errorCode_ = ENODEV;
        return false;
    }
    return openDevice(path, baud);
}

bool NmeaReceiver::openDevice(const std::string& path, std::uint32_t baud) {
    if (open_.load())
        return false;
    const auto fail = [this](int error) {
        errorCode_ = error;
        return false;
    };
    const speed_t speed = BaudConstant(baud);
    if (speed == B0)
        return fail(EINVAL);

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    bool exclusive = false;
    bool changed = false;
    termios saved{};
    const auto abandon = [&](int error) {
        if (changed)
            ::tcsetattr(fd, TCSANOW, &saved);
        if (exclusive)
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return fail(error);
    };
    if (::tcgetattr(fd, &saved) != 0)
        return abandon(errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return abandon(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return abandon(errno);
    exclusive = true;

    termios t = saved;
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return abandon(errno);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return abandon(errno);
    changed = true;
    termios got{};
    if (::tcgetattr(fd, &got) != 0)
        return abandon(errno);
    if ((got.c_cflag & CSIZE) != CS8 || (got.c_cflag & (PARENB | CSTOPB)) != 0 ||
        ::cfgetispeed(&got) != speed || ::cfgetospeed(&got) != speed) {
        return abandon(EINVAL);
    }

    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return abandon(errno);

    // A receiver stopped from inside its own event left its state to the
    // thread that is still finishing; start afresh.
    if (shared_->detached.load())
        shared_ = std::make_shared<Shared>(handler_);
    Shared& s = *shared_;
    s.fd = fd;
    s.wake = wake;
    s.saved = saved;
    s.hungUp = false;
    s.stop.store(false);
    s.launched.store(false);
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

}  // namespace sorvane
