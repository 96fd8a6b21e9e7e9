#include "support/gpsd_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace testsupport {

namespace {

using namespace std::chrono_literals;

bool Accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

}  // namespace

int FreeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

GpsdDaemon::GpsdDaemon(bool withDevice) {
    // Another process may take the port between the look and the daemon's bind.
    for (int attempt = 0; attempt < 3 && !ok(); ++attempt)
        Start(withDevice);
}

bool GpsdDaemon::Start(bool withDevice) {
    Reap();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        error_ = std::string("no pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    devicePath_ = ::ptsname(master_);
    // Raw and silent before the daemon opens it, and held open so that the
    // terminal lives on while the daemon reopens it.
    slave_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (slave_ < 0 || ::tcgetattr(slave_, &t) != 0) {
        error_ = std::string("cannot set up ") + devicePath_ + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);

    port_ = FreeLoopbackPort();
    socketPath_ = "/tmp/sorvane-gpsd-" + std::to_string(::getpid()) + "-" + std::to_string(port_);
    const std::string port = std::to_string(port_);
    // -N foreground, -n no waiting for clients, -b never write to the receiver.
    std::vector<std::string> args = {"gpsd", "-N", "-n", "-b", "-S", port, "-F", socketPath_};
    if (withDevice)
        args.push_back(devicePath_);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(GPSD_PROGRAM, argv.data());
        ::_exit(127);
    }
    pid_ = pid;
    for (int i = 0; i < 1000; ++i) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = std::string(GPSD_PROGRAM) + " exited at once (status " +
                     std::to_string(status) + ")";
            return false;
        }
        if (Accepts(port_))
            return true;
        std::this_thread::sleep_for(10ms);
    }
    error_ = "gpsd did not listen on port " + port + " within 10 s";
    Reap();
    return false;
}

bool GpsdDaemon::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 5000) <= 0)
            return false;
        const ssize_t n = ::write(master_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void GpsdDaemon::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void GpsdDaemon::Reap() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        bool gone = false;
        for (int i = 0; i < 300 && !gone; ++i) {
            gone = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!gone)
                std::this_thread::sleep_for(10ms);
        }
        if (!gone)
            Kill();
        pid_ = -1;
    }
    for (int* fd : {&slave_, &master_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    if (!socketPath_.empty())
        ::unlink(socketPath_.c_str());
}

GpsdDaemon::~GpsdDaemon() {
    Reap();
}

}  // namespace testsupport
