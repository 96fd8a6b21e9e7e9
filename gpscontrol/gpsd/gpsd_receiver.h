#pragma once
// Positions and satellites from a running gpsd, the system's GPS daemon, so
// that several programs can share one receiver. The daemon's reports go into
// the same fixes, satellite table and status as the serial NMEA receiver's.
// A daemon that is not there, has no receiver or goes away mid-stream is said
// in the status; nothing waits without end.

#include <atomic>
#include <memory>
#include <string>

#include "nmea/position_source.h"

namespace sorvane {

class GpsdReceiver : public PositionSource {
  public:
    static constexpr int kDefaultPort = 2947;
    static constexpr const char* kDefaultHost = "localhost";
    // How long a connection, and the daemon's greeting after it, may take.
    static constexpr int kDefaultAnswerTimeoutMs = 5000;

    explicit GpsdReceiver(ReceiverHandlers handlers);
    // Closes first.
    ~GpsdReceiver() override;
    GpsdReceiver(const GpsdReceiver&) = delete;
    GpsdReceiver& operator=(const GpsdReceiver&) = delete;

    // Starts the thread that connects to the daemon at host (empty: localhost)
    // and port (0: 2947) and reads its reports; what becomes of the connection
    // the status tells. False when already open or the thread cannot start.
    bool open(const std::string& host, int port);
    // For the next open (tests shorten it).
    void setAnswerTimeoutMs(int ms) { answerTimeoutMs_ = ms; }
    // Stops the thread; see PositionSource. A thread still looking up a host
    // name is left to finish on its own after a short wait.
    void close() override;
    bool isOpen() const override;

    int satelliteCount() const override;
    bool satellite(int n, std::int16_t& prn, std::int16_t& elevation, std::int16_t& azimuth,
                   std::int16_t& snr) const override;
    std::vector<SatelliteInfo> satellites() const override;
    ReceiverStatus status() const override;
    std::optional<NmeaFix> lastFix() const override;

  private:
    struct Shared;
    ReceiverHandlers handlers_;
    std::shared_ptr<Shared> shared_;
    std::atomic<bool> open_{false};
    int answerTimeoutMs_ = kDefaultAnswerTimeoutMs;
};

}  // namespace sorvane
