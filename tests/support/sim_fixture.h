#pragma once
// Test helpers around the receiver simulator: one running in-process on its
// own thread, one running as the gpssim program, and scoped environment
// variables that point a port number at a simulator's terminal.

#include <sys/types.h>

#include <optional>
#include <string>

#include "link/serial_port.h"
#include "options.h"
#include "simulator.h"

namespace testsupport {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string name_;
    std::optional<std::string> old_;
};

// A short byte budget for tests that wait for time-outs.
constexpr int kShortByteTimeoutMs = 300;

// The simulator on its own thread. Construction starts it; port(n) maps port
// number n to its terminal through SORVANE_COMn and returns the settings.
class RunningSimulator {
  public:
    explicit RunningSimulator(gpssim::Options options = {});
    explicit RunningSimulator(const std::string& arguments);  // parsed like the program's
    ~RunningSimulator();

    bool ok() const { return ok_; }
    const std::string& path() const { return sim_.slavePath(); }
    gpssim::Simulator& sim() { return sim_; }
    sorvane::PortSettings port(int n = 5);

  private:
    gpssim::Simulator sim_;
    bool ok_ = false;
    std::optional<ScopedEnv> env_;
};

// Options as the program would parse them from a space-separated string.
gpssim::Options ParseSimOptions(const std::string& arguments);

// The gpssim program in a child process; the first line of its output is
// read as the terminal path. The destructor sends SIGTERM and reaps it.
class SpawnedSimulator {
  public:
    explicit SpawnedSimulator(const std::string& arguments = "");
    ~SpawnedSimulator();
    SpawnedSimulator(const SpawnedSimulator&) = delete;
    SpawnedSimulator& operator=(const SpawnedSimulator&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Sends SIGTERM and returns the exit status (-1 when it did not exit).
    int Terminate();

  private:
    pid_t pid_ = -1;
    std::string path_;
};

}  // namespace testsupport
