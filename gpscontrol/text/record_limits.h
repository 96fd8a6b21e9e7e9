#pragma once
// What every store of the system shares: the byte limits of names and
// comments (code page 932, without the terminator) and the receiver's epoch.

#include <cstdint>

namespace sorvane {

constexpr int kNameMax = 23;     // names and identifiers of waypoints and tracks
constexpr int kCommentMax = 63;  // comments and route names

// Receiver time counts seconds from 1989-12-31 00:00:00 UTC; Unix time is
// that count plus this.
constexpr std::int64_t kReceiverEpochUnixTime = 631065600;

}  // namespace sorvane
