#include "interrupt.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

namespace sorvane_cli {

namespace {

std::atomic<int> g_signal{0};
std::atomic<int> g_holds{0};

void OnInterrupt(int signal) {
    int expected = 0;
    if (g_signal.compare_exchange_strong(expected, signal)) {
        constexpr char kNote[] =
            "\nsorvane: stopping after the record in hand (press Ctrl-C again to quit at once)\n";
        const ssize_t ignored = ::write(STDERR_FILENO, kNote, sizeof kNote - 1);
        (void)ignored;
        return;
    }
    if (g_holds.load() == 0)
        ::_exit(128 + g_signal.load());
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

int InterruptSignal() {
    return g_signal.load();
}

int InterruptExitCode() {
    const int signal = g_signal.load();
    return signal == 0 ? 0 : 128 + signal;
}

HoldInterrupts::HoldInterrupts() {
    ++g_holds;
}

HoldInterrupts::~HoldInterrupts() {
    --g_holds;
}

}  // namespace sorvane_cli
