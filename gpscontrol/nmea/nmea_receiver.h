#pragma once
// Reads NMEA 0183 sentences from a serial port on a thread of its own and
// raises one event per position cycle. Owned by the control, at most one at a time.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "nmea/nmea_fix.h"
#include "nmea/nmea_sentences.h"
#include "nmea/position_source.h"

namespace sorvane {

class NmeaReceiver : public PositionSource {
  public:
    // Events go to handler, on the receiver's thread.
    explicit NmeaReceiver(NmeaHandler handler);
    explicit NmeaReceiver(ReceiverHandlers handlers);
    // Closes first.
    ~NmeaReceiver() override;
    NmeaReceiver(const NmeaReceiver&) = delete;
    NmeaReceiver& operator=(const NmeaReceiver&) = delete;

    // Opens the device of the port number exclusively at baud, 8 data bits, no
    // parity, one stop bit, and starts the thread. False when already open or
    // when the port cannot be had; no thread runs then, and the status says why.
    bool open(std::uint8_t port, std::uint32_t baud);
    bool openDevice(const std::string& path, std::uint32_t baud);
    // Stops the thread and waits for it, then closes the port. Returns at once
    // when nothing is open. Called from the receiver's own thread (an event
    // handler), it asks the thread to end after the handler returns.
    void close() override;

    bool isOpen() const override;
    // True while the thread is inside its loop.
    bool isThreadActive() const;
    // errno of the last failing open (0 when none failed).
    int errorCode() const { return errorCode_; }

    int satelliteCount() const override;
    // Entry n of the satellites in view; false with the outputs untouched when
    // n < 0, n >= satelliteCount() or n >= 24.
    bool satellite(int n, std::int16_t& prn, std::int16_t& elevation, std::int16_t& azimuth,
                   std::int16_t& snr) const override;
    std::vector<SatelliteInfo> satellites() const override;
    ReceiverStatus status() const override;
    std::optional<NmeaFix> lastFix() const override;

  private:
    struct Shared;
    // The state for an open, stopped by no one.
    Shared& Fresh();
    // The thread keeps its own reference, so that the state outlives a close
    // that came from inside an event handler.
    ReceiverHandlers handlers_;
    std::shared_ptr<Shared> shared_;
    std::atomic<bool> open_{false};
    int errorCode_ = 0;
};

}  // namespace sorvane
