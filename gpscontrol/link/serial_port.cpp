#include "link/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace sorvane {

namespace {

std::string_view Trim(std::string_view s) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

std::string PortsFilePath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/sorvane/ports.conf";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.config/sorvane/ports.conf";
    return {};
}

std::string LookUpPortsFile(const std::string& key) {
    const std::string file = PortsFilePath();
    if (file.empty())
        return {};
    std::ifstream in(file);
    std::ostringstream text;
    text << in.rdbuf();
    return PortMapDevice(text.str(), key);
}

speed_t SpeedConstant(std::uint32_t baud) {
    switch (baud) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        case 1152000:
            return B1152000;
        case 1500000:
            return B1500000;
        case 2000000:
            return B2000000;
        case 2500000:
            return B2500000;
        case 3000000:
            return B3000000;
        case 3500000:
            return B3500000;
        case 4000000:
            return B4000000;
        default:
            return B0;
    }
}

// The control flags a port's line settings select, or false when Linux has no
// way to do them (one and a half stop bits, unknown codes).
bool LineFlags(const PortSettings& s, tcflag_t* flags) {
    tcflag_t f = 0;
    switch (s.dataBits) {
        case 5:
            f |= CS5;
            break;
        case 6:
            f |= CS6;
            break;
        case 7:
            f |= CS7;
            break;
        case 8:
            f |= CS8;
            break;
        default:
            return false;
    }
    switch (s.parity) {
        case 0:
            break;
        case 1:
            f |= PARENB | PARODD;
            break;
        case 2:
            f |= PARENB;
            break;
        case 3:
            f |= PARENB | CMSPAR | PARODD;
            break;
        case 4:
            f |= PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    switch (s.stopBits) {
        case 0:
            break;
        case 2:
            f |= CSTOPB;
            break;
        default:
            return false;
    }
    *flags = f;
    return true;
}

constexpr tcflag_t kLineMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;

}  // namespace

std::string PortMapDevice(std::string_view text, std::string_view key) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view l = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (l.empty() || l.front() == '#')
            continue;
        const std::size_t eq = l.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (!EqualsNoCase(Trim(l.substr(0, eq)), key))
            continue;
        std::string_view value = l.substr(eq + 1);
        // A comment may follow the device after a blank; a # inside a path stays.
        for (std::size_t hash = value.find('#'); hash != std::string_view::npos;
             hash = value.find('#', hash + 1)) {
            if (hash == 0 || value[hash - 1] == ' ' || value[hash - 1] == '\t') {
                value = value.substr(0, hash);
                break;
            }
        }
        value = Trim(value);
        if (!value.empty())
            return std::string(value);
    }
    return {};
}

std::string PortDevicePath(int port) {
    if (port < 1 || port > 9)
        return {};
    const std::string key = "COM" + std::to_string(port);
    const std::string envName = "SORVANE_" + key;
    const char* env = std::getenv(envName.c_str());
    if (env != nullptr && env[0] != '\0')
        return env;
    std::string mapped = LookUpPortsFile(key);
    if (!mapped.empty())
        return mapped;
    return "/dev/ttyS" + std::to_string(port - 1);
}

SerialLine& SerialLine::operator=(SerialLine&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        saved_ = other.saved_;
    }
    return *this;
}

bool SerialLine::Close(bool restore) {
    if (fd_ < 0)
        return false;
    if (restore)
        ::tcsetattr(fd_, TCSADRAIN, &saved_);
    ::ioctl(fd_, TIOCNXCL);
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}

int OpenSerialLine(const std::string& path, const PortSettings& settings, SerialLine* line) {
    const speed_t speed = SpeedConstant(settings.baudRate);
    tcflag_t lineFlags = 0;
    if (speed == B0 || !LineFlags(settings, &lineFlags))
        return EINVAL;

    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Undo only what was done: an exclusive flag that another holder set is
    // not ours to clear.
    bool exclusive = false;
    bool changed = false;
    termios saved{};
    const auto abandon = [&](int error) {
        if (changed)
            ::tcsetattr(fd, TCSANOW, &saved);
        if (exclusive)
            ::ioctl(fd, TIOCNXCL);
        ::close(fd);
        return error;
    };

    if (::tcgetattr(fd, &saved) != 0)
        return abandon(errno);
    // TIOCEXCL does not keep out root, the advisory lock does.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return abandon(errno == EWOULDBLOCK ? EBUSY : errno);
    if (::ioctl(fd, TIOCEXCL) != 0)
        return abandon(errno);
    exclusive = true;

    termios t = saved;
    // Raw binary line: no translation, no echo, no software flow control
    // (0x11 and 0x13 are ordinary data bytes) and no hardware handshake, which
    // the receiver's three-wire cable does not carry.
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~(kLineMask | CRTSCTS);
    t.c_cflag |= lineFlags | CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0)
        return abandon(errno);
    if (::tcsetattr(fd, TCSANOW, &t) != 0)
        return abandon(errno);
    changed = true;

    // tcsetattr succeeds when any part was taken; read back what the driver
    // kept and refuse a line it changed.
    termios got{};
    if (::tcgetattr(fd, &got) != 0)
        return abandon(errno);
    if ((got.c_cflag & kLineMask) != lineFlags || ::cfgetispeed(&got) != speed ||
        ::cfgetospeed(&got) != speed) {
        return abandon(EINVAL);
    }

    line->Close();
    line->fd_ = fd;
    line->saved_ = saved;
    return 0;
}

SerialPort::SerialPort(int byteTimeoutMs) : byteTimeoutMs_(byteTimeoutMs < 0 ? 0 : byteTimeoutMs) {}

SerialPort::~SerialPort() {
    Close();
}

bool SerialPort::Fail(int error) {
    errorCode_ = error;
    return false;
}

bool SerialPort::Open(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity,
                      std::uint8_t dataBits, std::uint8_t stopBits) {
    return Open(PortSettings{port, baudRate, parity, dataBits, stopBits});
}

bool SerialPort::Open(const PortSettings& settings) {
    if (IsOpen())
        return false;
    const std::string path = PortDevicePath(settings.port);
    if (path.empty())
        return Fail(ENODEV);
    return OpenDevice(path, settings);
}

bool SerialPort::OpenDevice(const std::string& path, const PortSettings& settings) {
    if (IsOpen())
        return false;
    SerialLine line;
    if (const int error = OpenSerialLine(path, settings, &line); error != 0)
        return Fail(error);
    // Whatever arrived before this transfer belongs to no packet of it.
    ::tcflush(line.fd(), TCIFLUSH);

    line_ = std::move(line);
    path_ = path;
    hungUp_ = false;
    bufferPos_ = bufferLen_ = 0;
    return true;
}

bool SerialPort::WaitFor(short events, int timeoutMs, short* revents) {
    pollfd p{line_.fd(), events, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) {
        if (errno != EINTR)
            errorCode_ = errno;
        *revents = 0;
        return errno == EINTR;
    }
    *revents = p.revents;
    return true;
}

std::uint16_t SerialPort::ReadByteWithin(int waitMs) {
    if (bufferPos_ < bufferLen_)
        return buffer_[bufferPos_++];
    if (!line_.IsOpen() || hungUp_)
        return kReadTimeout;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs < 0 ? 0 : waitMs);
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left < Clock::duration::zero())
            return kReadTimeout;
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
        short revents = 0;
        if (!WaitFor(POLLIN, static_cast<int>(ms), &revents))
            return kReadTimeout;
        if (revents & POLLIN) {
            const ssize_t n = ::read(line_.fd(), buffer_, sizeof buffer_);
            if (n > 0) {
                bufferLen_ = static_cast<std::size_t>(n);
                bufferPos_ = 1;
                return buffer_[0];
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            // End of file or EIO: the other end is gone.
            hungUp_ = true;
            errorCode_ = n < 0 ? errno : EIO;
            return kReadTimeout;
        }
        if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hungUp_ = true;
            errorCode_ = EIO;
            return kReadTimeout;
        }
    }
}

std::int32_t SerialPort::Write(const std::uint8_t* bytes, std::size_t count) {
    if (!line_.IsOpen()) {
        errorCode_ = EBADF;
        return -1;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(line_.fd(), bytes + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The line is not taking bytes; give it one byte budget to drain.
            short revents = 0;
            if (!WaitFor(POLLOUT, byteTimeoutMs_, &revents))
                break;
            if (revents & POLLOUT)
                continue;
            errorCode_ = (revents & (POLLHUP | POLLERR)) ? EIO : ETIMEDOUT;
            break;
        }
        errorCode_ = n < 0 ? errno : EIO;
        break;
    }
    if (done == 0 && count > 0)
        return -1;
    return static_cast<std::int32_t>(done);
}

bool SerialPort::Close() {
    if (!line_.IsOpen())
        return false;
    const bool ok = line_.Close(!hungUp_);
    if (!ok)
        errorCode_ = errno;
    hungUp_ = false;
    bufferPos_ = bufferLen_ = 0;
    path_.clear();
    return ok;
}

}  // namespace sorvane
