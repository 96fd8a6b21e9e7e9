#pragma once
// What the commands of the sorvane host share: exit codes, options, datum
// names, the device a port number names, and one-line messages.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorvane_cli {

// One code per kind of failure, so that scripts can tell them apart.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // anything below has no code of its own
    kExitUsage = 2,
    kExitPort = 3,         // the port cannot be opened
    kExitNoAnswer = 4,     // nothing answers on the port
    kExitUnsupported = 5,  // the receiver's product is not in the product table
    kExitTransfer = 6,     // the receiver stopped, rejected a record or sent too much
    kExitBadInput = 7,     // the file to upload cannot be read or holds a bad value
    kExitInterrupted = 130,
};

struct ExitCodeEntry {
    int code;
    const char* meaning;
};
// Every code with its meaning, in ascending order (interrupts last).
std::span<const ExitCodeEntry> ExitCodes();
// The "Exit status:" block of the help text.
std::string ExitCodeHelp();

// Prints "sorvane: message" on standard error and returns the code.
int Fail(int code, const std::string& message);
// Prints "sorvane: message" on standard error.
void Note(const std::string& message);

enum class Kind { kTracks, kWaypoints, kRoutes };
// "tracks", "waypoints", "routes".
const char* KindName(Kind kind);
// The singular too ("track"); nullopt for anything else.
std::optional<Kind> KindOf(std::string_view word);

struct Options {
    int port = 1;
    std::int32_t baud = 9600;
    std::string datum = "Tokyo";  // a name of the datum table, as it stands there
    bool datumGiven = false;
    std::optional<std::int32_t> product;
    int seconds = 10;
    bool quiet = false;
    bool help = false;
    std::string output;              // --output FILE
    std::vector<std::string> words;  // what is not an option, the command first
};

// Options from argv[first..]; 0, or kExitUsage after a message. Both
// "--name value" and "--name=value" are taken.
int ParseOptions(int argc, char** argv, int first, Options* o);

// One option of a command line, "--name=value" or "--name value".
class OptionArg {
  public:
    // argv[i] is the option; Value() may move i past the value it takes.
    OptionArg(int argc, char** argv, int& i);
    std::string_view name() const { return name_; }
    std::optional<std::string_view> attached() const { return attached_; }
    // The attached value, else the next argument; nullopt at the end.
    std::optional<std::string_view> Value();

  private:
    int argc_;
    char** argv_;
    int& i_;
    std::string_view name_;
    std::optional<std::string_view> attached_;
};

// --port N or --baud B, as every command takes them: nullopt when `name` is
// neither; else the value is stored and the text is empty, or the text says
// what is wrong with the value.
std::optional<std::string> TakeLineOption(std::string_view name, OptionArg& option, int* port,
                                          std::int32_t* baud);
// The port number of text: 1 to 9.
std::optional<int> ParsePort(std::string_view text);
// A line speed the serial line can be set to.
std::optional<std::int32_t> ParseBaud(std::string_view text);
// The datum table's own spelling of a datum name typed in any letter case,
// with or without blanks, hyphens, dots and the like ("wgs84", "WGS-84",
// "tokyo"); nullopt when no datum or more than one has that name.
std::optional<std::string> CanonicalDatumName(std::string_view typed);

// The device port n names ($SORVANE_COMn, the port map file, /dev/ttyS<n-1>).
std::string PortDevice(int port);
// Whether a transfer's error code says the port could not be opened.
bool IsOpenError(int error);
// "cannot open port 1 (/dev/ttyUSB0): Permission denied; ..." with what to
// do about it where there is something to do.
std::string PortOpenMessage(int port, const std::string& device, int error);

}  // namespace sorvane_cli
