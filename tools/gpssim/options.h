#pragma once
// Command-line options of the simulator; tests fill the same structure.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataset.h"
#include "nmea_stream.h"
#include "profile.h"
#include "receiver_memory.h"

namespace gpssim {

// Faults count the packets the simulator transmits, from 1 (acknowledgements
// and retransmissions included); 0 switches a fault off.
struct Faults {
    bool noAnswer = false;      // reads, never writes
    int stopAfter = 0;          // silent after transmitting this many packets
    int cutPacket = 0;          // sends the first half of this packet, then silent
    int withholdAck = 0;        // no acknowledgement for this packet from the host (1-based)
    int corruptPacket = 0;      // one data byte (or the checksum) of this packet is wrong
    bool garbage = false;       // junk bytes before every frame
    int oversizedPacket = 0;    // this packet is sent with 255 data bytes
    int hangupAfter = -1;       // closes the line after this many packets (0: at the first)
    int rejectPacket = 0;       // negative acknowledgement for this packet from the host (1-based)
    bool rejectAlways = false;  // ... and for every retransmission of it
};

struct Options {
    Profile profile;
    std::uint32_t baud = 0;  // throttle: baud / 10 bytes per second each way; 0 = unthrottled
    Faults faults;
    StreamFaults stream;
    // What the receiver holds; the built-in sample for the profile when empty.
    std::optional<DataSet> data;
    // Uploads are also written to this file as text lines (appended).
    std::string recordFile;
    NmeaOptions nmea;
    bool exitOnStdinEof = false;
};

// Parses argv[1..]. False with a message in error for bad input; help is set
// for --help (nothing else is parsed then).
bool ParseOptions(int argc, const char* const* argv, Options* out, bool* help, std::string* error);
std::string UsageText();

// What in the options describes a receiver that cannot exist (a layout its
// model does not use, a newer model without a capability list), one sentence
// each; empty when the model is plausible.
std::vector<std::string> ModelWarnings(const Options& options);

}  // namespace gpssim
