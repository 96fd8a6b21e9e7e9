// gpssim: plays a GPS receiver on a pseudo-terminal until it is stopped.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "options.h"
#include "simulator.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const int saved = errno;
    const char b = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &b, 1);
    errno = saved;
}

}  // namespace

int main(int argc, char** argv) {
    gpssim::Options options;
    bool help = false;
    std::string error;
    if (!gpssim::ParseOptions(argc, argv, &options, &help, &error)) {
        std::fprintf(stderr, "gpssim: %s\nTry 'gpssim --help'.\n", error.c_str());
        return 2;
    }
    if (help) {
        std::fputs(gpssim::UsageText().c_str(), stdout);
        return 0;
    }
    for (const std::string& warning : gpssim::ModelWarnings(options))
        std::fprintf(stderr, "gpssim: warning: %s\n", warning.c_str());

    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("gpssim: pipe");
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    gpssim::Simulator sim(options);
    if (!sim.Start()) {
        std::fprintf(stderr, "gpssim: %s\n", sim.error().c_str());
        return 1;
    }
    std::printf("%s\n", sim.slavePath().c_str());
    std::fflush(stdout);

    pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    const nfds_t count = options.exitOnStdinEof ? 2 : 1;
    for (;;) {
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (count == 2 && fds[1].revents) {
            char buf[256];
            const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
        }
    }
    sim.Stop();
    return 0;
}
