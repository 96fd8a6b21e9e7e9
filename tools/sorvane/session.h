#pragma once
// One run of the host with the receiver: the control with the line settings
// and datum of the options, identification, and transfers with their
// progress, their interruption by Ctrl-C and a message and exit code that
// say what went wrong.

#include <memory>
#include <string>

#include "cli_common.h"
#include "progress.h"

namespace sorvane {
class TSorvane;
}

namespace sorvane_cli {

// A control that could be created, or false after a message.
bool Created(const sorvane::TSorvane& gps);
// A control with the port, speed and datum of the options.
bool Prepare(sorvane::TSorvane& gps, const Options& o);

class Session {
  public:
    explicit Session(const Options& o);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    sorvane::TSorvane& gps() { return *gps_; }

    // Each returns 0, or the exit code after its one-line message.
    // Creates the control with the line settings and the datum named.
    int Start(const std::string& datum);
    // Asks the receiver who it is (printing the answer when asked to) and
    // makes its product the one the transfers use.
    int Identify(bool print);
    // The product of --product, else the receiver's.
    int ChooseProduct();
    int Download(Kind kind);
    int Upload(Kind kind);

    // The waypoint record type whose symbol names fit the chosen product.
    int SymbolTable();

  private:
    struct Counts {
        bool seen = false;
        int done = 0;
        int total = 0;
        int most = 0;
    };

    int Transfer(Kind kind, bool upload);
    int Failure(Kind kind, bool upload, const Counts& counts);
    int NoAnswer();
    int Interrupted(Kind kind, bool upload, const Counts& counts);
    // Whether NMEA sentences come in on the port, at the options' speed or at
    // 4800 baud.
    bool SendsNmea();

    const Options& o_;
    std::unique_ptr<sorvane::TSorvane> gps_;
    Progress progress_;
    bool identified_ = false;
};

}  // namespace sorvane_cli
