#pragma once
// The satellites in view as the sources fill them. Two views of one sky:
// - the 24-entry table the automation methods read, kept as receivers have
//   always filled it (a GSA empties it, a GSV set refills it), now with the
//   sets of several talkers appended to each other in one cycle;
// - the full list of every constellation, each satellite with its system and
//   whether the fix uses it, which keeps the last complete set of each talker
//   so that it never shows half a cycle.
// Safe from any thread.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "nmea/constellation.h"

namespace sorvane {

constexpr int kSatelliteTableSize = 24;

struct SatelliteEntry {
    std::int16_t prn = 0;  // 0: the entry is free
    std::int16_t elevation = 0;
    std::int16_t azimuth = 0;
    std::int16_t snr = 0;
};

struct SatelliteInfo {
    Constellation constellation = Constellation::kUnknown;
    std::int16_t prn = 0;        // as the source numbers it
    std::int16_t number = 0;     // within its own system
    std::int16_t elevation = 0;  // degrees
    std::int16_t azimuth = 0;    // degrees
    std::int16_t snr = 0;        // dB-Hz; 0 when not tracked
    bool used = false;           // in the fix
    std::uint8_t signal = 0;     // NMEA 4.10 signal ID; 0 when not given
    friend bool operator==(const SatelliteInfo&, const SatelliteInfo&) = default;
};

// One GSV message as it came.
struct GsvMessage {
    std::string_view talker;  // two letters
    long total = 0;           // messages in the set
    long number = 0;          // this one's, from 1
    long inView = 0;          // satellites the talker announces
    std::uint8_t signal = 0;  // NMEA 4.10 signal ID; 0 when absent
    int count = 0;            // satellites in this message, 0 to 4
    SatelliteEntry satellites[4];
    // Fields the last satellite brought (1 to 4); the table keeps what it
    // held in the others.
    int lastFields = 4;
};

class SatelliteSky {
  public:
    // True when the message completed its set, so that the full list changed.
    bool ApplyGsv(const GsvMessage& m);
    // A GSA of constellation c (kUnknown when nothing tells) and the
    // satellites it names as used; one without a fix uses none of any
    // constellation. The first GSA of a cycle empties the table; a cycle's
    // GSAs of other constellations do not.
    void ApplyGsa(Constellation c, std::span<const std::int16_t> used, bool noFix = false);
    // Everything at once, as a daemon reports it.
    void Replace(std::int32_t inView, std::vector<SatelliteInfo> satellites);

    // The count announced for the cycle, not limited to the table. With the
    // sets of several talkers it does not fall while a cycle is still coming
    // in: until then it is at least the last complete cycle's.
    int Count() const;
    // Entry n of the table; false with *out untouched when n < 0,
    // n >= Count() or n >= kSatelliteTableSize.
    bool Entry(int n, SatelliteEntry* out) const;
    // Every satellite once, whatever number of signals it was reported on.
    std::vector<SatelliteInfo> List() const;

  private:
    struct GroupKey {
        char talker[2] = {};
        std::uint8_t signal = 0;
        friend bool operator==(const GroupKey&, const GroupKey&) = default;
    };
    // The GSV set of one talker (and signal).
    struct Group {
        GroupKey key;
        std::int32_t count = 0;
        std::vector<SatelliteInfo> satellites;
    };
    // Who wrote a table entry: a satellite of another set that is already
    // there is not written twice.
    struct Origin {
        Constellation constellation = Constellation::kUnknown;
        int group = -1;  // index into cycle_
    };

    void ClearTable();
    std::int32_t CycleCount() const;
    void WriteTable(const GsvMessage& m, int group);

    mutable std::mutex mutex_;
    std::int32_t inView_ = 0;
    SatelliteEntry table_[kSatelliteTableSize] = {};
    Origin origin_[kSatelliteTableSize] = {};
    std::vector<Group> cycle_;         // the sets of the cycle in progress
    std::int32_t lastCycleCount_ = 0;  // of the last complete cycle of several talkers, else 0
    std::vector<Group> published_;     // the last complete set of each
    std::vector<Constellation> gsaCycle_;
    std::array<std::vector<std::int16_t>, kConstellationCount> used_;
};

}  // namespace sorvane
