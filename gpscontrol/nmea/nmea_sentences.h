#pragma once
// The four sentences the receiver understands (RMC, GGA, GSA and GSV, from
// any talker: $GP, $GN, $GL, $GA, $GB, $BD, $GQ, ...) and the state they
// build: the latest fix and the satellites in view.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "nmea/nmea_fix.h"
#include "nmea/satellite_sky.h"
#include "text/record_limits.h"

namespace sorvane {

// The time given for an RMC date that does not fit in 32 bits: the receiver's epoch.
constexpr std::int32_t kNmeaTimeOutOfRange = static_cast<std::int32_t>(kReceiverEpochUnixTime);

// Set by the first RMC in the process and never cleared: the first RMC of a
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

// What became of a line.
enum class NmeaTake {
    kParsed,       // one of the four, taken into the state
    kOther,        // a sentence of another type, or a proprietary one ($P...)
    kBadChecksum,  // dropped
    kNotSentence,  // no "$" and address: dropped
};

class NmeaSentences {
  public:
    // Events go to handler (may be empty); seenRmc is the process-wide flag
    // unless a test gives its own.
    explicit NmeaSentences(NmeaHandler handler, std::atomic<bool>* seenRmc = &NmeaSeenRmcFlag());

    // Parses one line ending in CR LF (or not). A line that is none of the
    // four sentences, or carries a wrong checksum, changes nothing.
    NmeaTake Take(std::string_view line);
    // True when Take parsed the line.
    bool Dispatch(std::string_view line) { return Take(line) == NmeaTake::kParsed; }
    // The stream has ended: the cycle in hand, which no RMC will close, goes
    // to the handler as FixKind::kLast (once).
    void Flush();
    // Called on the dispatching thread each time a GSV set is complete.
    void SetSatellitesHandler(std::function<void()> handler) { onSatellites_ = std::move(handler); }

    // The fix as it stands (what the next RMC will report). Read it only on
    // the thread that dispatches.
    NmeaFix Current() const;

    // Safe from any thread.
    int SatelliteCount() const { return sky_.Count(); }
    bool Satellite(int n, SatelliteEntry* out) const { return sky_.Entry(n, out); }
    const SatelliteSky& Sky() const { return sky_; }

  private:
    class Fields;
    // What one GGA said, kept to go with the RMC of the same time.
    struct GgaValues {
        std::string time;
        double altitude = -9999.0;
        std::int32_t quality = 0;
        std::int32_t satellitesUsed = -1;
        double hdop = 0.0;
    };

    void Rmc(const Fields& f, std::string_view talker);
    void ParseRmc(const Fields& f);
    void Gga(const Fields& f, std::string_view talker);
    void Gsa(const Fields& f, std::string_view talker);
    void Gsv(const Fields& f, std::string_view talker);
    NmeaFix CycleFix(FixKind kind) const;

    NmeaHandler handler_;
    std::function<void()> onSatellites_;
    std::atomic<bool>* seenRmc_;
    std::string line_;  // the line being parsed, NUL-terminated for the number conversions

    std::int32_t valid_ = 0;
    double latitude_ = 0.0;
    double longitude_ = 0.0;
    double altitude_ = 0.0;
    double speed_ = 0.0;
    std::int32_t course_ = 0;
    std::int32_t time_ = 0;
    double utc_ = 0.0;
    double courseOverGround_ = 0.0;
    std::int32_t mode_ = 0;
    double gsaHdop_ = 0.0;

    // The RMC that opened the cycle in hand; another talker's RMC of the same
    // time is the same fix.
    bool pending_ = false;
    bool haveRmc_ = false;
    std::string rmcTalker_, rmcTime_, rmcDate_;
    // The last two GGAs, and the talker of the last.
    GgaValues gga_, previousGga_;
    bool haveGga_ = false;
    bool havePreviousGga_ = false;
    std::string ggaTalker_;

    SatelliteSky sky_;
};

}  // namespace sorvane
