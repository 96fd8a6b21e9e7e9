#pragma once
// The four sentences the receiver understands ($GPRMC, $GPGGA, $GPGSA and
// $GPGSV) and the state they build: the latest fix and the satellites in view.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "nmea/nmea_fix.h"
#include "text/record_limits.h"

namespace sorvane {

constexpr int kSatelliteTableSize = 24;
// The time given for an RMC date that does not fit in 32 bits: the receiver's epoch.
constexpr std::int32_t kNmeaTimeOutOfRange = static_cast<std::int32_t>(kReceiverEpochUnixTime);

struct SatelliteEntry {
    std::int16_t prn = 0;  // 0: the entry is free
    std::int16_t elevation = 0;
    std::int16_t azimuth = 0;
    std::int16_t snr = 0;
};

// Set by the first $GPRMC in the process and never cleared: the first RMC of a
// process raises no event, later ones (also after a restart) do.
std::atomic<bool>& NmeaSeenRmcFlag();

enum class NmeaChecksum { kAbsent, kGood, kBad };
// "*hh" after the sentence: the XOR of the bytes between '$' and '*'. A '*'
// not followed by two hex digits counts as no checksum.
NmeaChecksum CheckNmeaChecksum(std::string_view line);

// Degrees from ddmm.mmmm (or dddmm.mmmm) with atof semantics.
double NmeaDegrees(const char* field);
// Seconds since 1970 of an RMC time (hhmmss, at least 6 characters, or empty
// for midnight) and date (ddmmyy, year 2000 + yy), both UTC.
// kNmeaTimeOutOfRange when the instant does not fit in 32 bits.
std::int32_t NmeaRmcTime(std::string_view hhmmss, std::string_view ddmmyy);

class NmeaSentences {
  public:
    // Events go to handler (may be empty); seenRmc is the process-wide flag
    // unless a test gives its own.
    explicit NmeaSentences(NmeaHandler handler, std::atomic<bool>* seenRmc = &NmeaSeenRmcFlag());

    // Parses one line ending in CR LF (or not). False when the line is none of
    // the four sentences or carries a wrong checksum; it then changes nothing.
    bool Dispatch(std::string_view line);

    // The fix as it stands (what the next RMC will report). Read it only on
    // the thread that dispatches.
    NmeaFix Current() const;

    // Safe from any thread.
    int SatelliteCount() const;
    bool Satellite(int n, SatelliteEntry* out) const;

  private:
    void Rmc(std::string_view line);
    void Gga(std::string_view line);
    void Gsa();
    void Gsv(std::string_view line);

    NmeaHandler handler_;
    std::atomic<bool>* seenRmc_;

    std::int32_t valid_ = 0;
    double latitude_ = 0.0;
    double longitude_ = 0.0;
    double altitude_ = 0.0;
    double speed_ = 0.0;
    std::int32_t course_ = 0;
    std::int32_t time_ = 0;

    // Read by the control's thread while the receiver's thread writes them.
    mutable std::mutex satellitesMutex_;
    std::int32_t satellitesInView_ = 0;
    SatelliteEntry satellites_[kSatelliteTableSize] = {};
};

}  // namespace sorvane
