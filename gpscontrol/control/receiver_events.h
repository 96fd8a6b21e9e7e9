#pragma once
// What the control tells of its position receiver beyond the automation
// event: each fix with its quality, changes of the satellite list and of the
// source's status, and every line as it came.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "control/event_sinks.h"
#include "nmea/nmea_fix.h"
#include "nmea/position_source.h"

namespace sorvane {

struct ReceiverEvent {
    enum class Kind : std::int32_t { kFix = 1, kSatellites = 2, kStatus = 3, kSentence = 4 };
    Kind kind = Kind::kFix;
    const NmeaFix* fix = nullptr;            // kFix
    const ReceiverStatus* status = nullptr;  // kStatus
    std::string_view sentence;               // kSentence, without its line end
};

using ReceiverSinks = EventSinksOf<const ReceiverEvent&>;
using ReceiverEventHandler = ReceiverSinks::Handler;

// Where StartNMEAReceiving takes positions from.
struct ReceiverSource {
    SourceKind kind = SourceKind::kSerial;  // the port of CommPort at BaudRate
    std::string host;                       // gpsd: empty for localhost
    int port = 0;                           // gpsd: 0 for 2947
};

}  // namespace sorvane
