#pragma once
// Ctrl-C (and SIGTERM, SIGHUP) during a transfer: the first asks the running
// transfer to stop after the record in hand, so that the line and the
// receiver are left in order; a second one ends the program at once, except
// while a file is being written.

namespace sorvane_cli {

// Installs the handlers; until then the signals keep their default action.
void CatchInterrupts();
// The signal that asked to stop, or 0.
int InterruptSignal();
// The exit status for it: 128 + the signal number.
int InterruptExitCode();

// While alive, a second signal waits like the first (a file is being written).
class HoldInterrupts {
  public:
    HoldInterrupts();
    ~HoldInterrupts();
    HoldInterrupts(const HoldInterrupts&) = delete;
    HoldInterrupts& operator=(const HoldInterrupts&) = delete;
};

}  // namespace sorvane_cli
