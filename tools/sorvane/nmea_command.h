#pragma once
// `sorvane nmea`: positions and satellites from a receiver's NMEA stream or
// from gpsd, printed as they come.

namespace sorvane_cli {

// argv[first..] are the command's own options. Returns the exit status.
int NmeaCommand(int argc, char** argv, int first);
// What `sorvane nmea --help` prints.
const char* NmeaHelpText();

}  // namespace sorvane_cli
