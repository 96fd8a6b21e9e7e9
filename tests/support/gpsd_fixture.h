#pragma once
// A real gpsd for the tests, never the system's service: started by the test
// on a free port of the loopback interface, reading a pseudo-terminal whose
// other side the test writes. The daemon is killed when the fixture goes, and
// with the test process if that dies first; every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

namespace testsupport {

// A TCP port of the loopback interface that nothing listens on just now.
int FreeLoopbackPort();

class GpsdDaemon {
  public:
    // withDevice false: the daemon starts with no receiver at all.
    explicit GpsdDaemon(bool withDevice = true);
    ~GpsdDaemon();
    GpsdDaemon(const GpsdDaemon&) = delete;
    GpsdDaemon& operator=(const GpsdDaemon&) = delete;

    bool ok() const { return pid_ > 0; }
    // Why it did not start.
    const std::string& error() const { return error_; }
    int port() const { return port_; }
    const std::string& devicePath() const { return devicePath_; }

    // Bytes into the receiver's side of the terminal; false when they did not all go.
    bool Write(std::string_view bytes);
    // Stops the daemon now (SIGKILL), as a crash would.
    void Kill();

  private:
    bool Start(bool withDevice);
    void Reap();

    pid_t pid_ = -1;
    int master_ = -1;
    int slave_ = -1;
    int port_ = 0;
    std::string devicePath_;
    std::string socketPath_;
    std::string error_;
};

}  // namespace testsupport
