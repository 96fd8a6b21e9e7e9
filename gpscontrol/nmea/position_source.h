#pragma once
// What the control holds while positions stream in: a source (the serial NMEA
// receiver, or a gpsd daemon) that raises fixes on its own thread and keeps
// the satellites in view and its status for any thread to read.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nmea/nmea_fix.h"
#include "nmea/satellite_sky.h"

namespace sorvane {

enum class SourceKind : std::uint8_t { kSerial = 0, kGpsd = 1 };

enum class SourceState : std::uint8_t {
    kStopped = 0,     // not started, or stopped
    kConnecting = 1,  // on its way to a daemon
    kRunning = 2,     // reading
    kFailed = 3,      // could not start; errorCode and message say why
    kEnded = 4,       // the line hung up, or the daemon went away
};

struct ReceiverStatus {
    SourceKind source = SourceKind::kSerial;
    SourceState state = SourceState::kStopped;
    int errorCode = 0;            // errno of a failure; 0 when none
    bool noDevice = false;        // a daemon that has no receiver
    std::uint64_t bytes = 0;      // read from the line or the daemon
    std::uint64_t sentences = 0;  // sentences (or reports) taken
    std::uint64_t rejected = 0;   // lines thrown away: no '$', too long, a wrong checksum
    std::string message;          // what happened, in English; empty while all is well
};

// Everything a source raises, on its own thread (a start that fails at once
// raises its status on the caller's). Any of them may be empty.
struct ReceiverHandlers {
    NmeaHandler fix;
    std::function<void()> satellites;                   // the full satellite list changed
    std::function<void(const ReceiverStatus&)> status;  // state, device or message changed
    std::function<void(std::string_view)> sentence;     // each line as it came, without its end
};

// A source's status and last fix: written by its thread, read by any.
class StatusBoard {
  public:
    StatusBoard(SourceKind source, std::function<void(const ReceiverStatus&)> handler);

    // Raise the handler when something changed (counts alone do not).
    void Set(SourceState state, int errorCode, std::string message);
    void SetNoDevice(bool noDevice, std::string message);
    void Count(std::uint64_t bytes, std::uint64_t sentences, std::uint64_t rejected);
    void SetLastFix(const NmeaFix& fix);

    ReceiverStatus Get() const;
    std::optional<NmeaFix> LastFix() const;

  private:
    void Changed(std::unique_lock<std::mutex>& lock);

    std::function<void(const ReceiverStatus&)> handler_;
    mutable std::mutex mutex_;
    ReceiverStatus status_;
    std::optional<NmeaFix> lastFix_;
};

class PositionSource {
  public:
    virtual ~PositionSource() = default;

    // Stops the thread, waiting for it unless called from it (an event
    // handler): that thread then ends once the handler returns.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The table the automation methods read.
    virtual int satelliteCount() const = 0;
    virtual bool satellite(int n, std::int16_t& prn, std::int16_t& elevation, std::int16_t& azimuth,
                           std::int16_t& snr) const = 0;
    // Every satellite in view, of every constellation.
    virtual std::vector<SatelliteInfo> satellites() const = 0;
    virtual ReceiverStatus status() const = 0;
    // The last fix reported (FixKind kCycle or kLast); none before the first.
    virtual std::optional<NmeaFix> lastFix() const = 0;
};

}  // namespace sorvane
