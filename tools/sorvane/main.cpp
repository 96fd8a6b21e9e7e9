// sorvane: command-line host of the GPS control. It drives the control only
// through its typed wrapper, as the desktop program does. Messages follow the
// user's locale; the files it prints and reads never do, so that a file reads
// back the same everywhere.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "cli_common.h"
#include "control/sorvane.h"
#include "control/tsorvane.h"
#include "control_store.h"
#include "data/gpx_file.h"
#include "data/native_file.h"
#include "data/tobrel_file.h"
#include "host_files.h"
#include "interrupt.h"
#include "nmea_command.h"
#include "session.h"
#include "tab_format.h"
#include "text/numbers.h"

namespace {

using namespace sorvane_cli;
using sorvane::FormatFixed;

// GPX holds WGS 84: with it selected the control hands positions out and
// takes them in untouched, so a file gives back the very wire values.
constexpr const char* kGpxDatum = "WGS 84";

constexpr const char* kUsage = R"(Usage: sorvane <command> [options]

Commands:
  identify                  ask the receiver who it is and print its product ID,
                            software version and description
  download tracks|waypoints|routes|all [--output FILE]
                            fetch from the receiver and print what came, or
                            write it to FILE: GPX for FILE.gpx, a native data
                            file for FILE.tb2, else the form printed
  upload tracks|waypoints|routes FILE
                            send what FILE holds: GPX, a native data file or
                            the form download prints ("-": standard input)
  nmea [--seconds N] [--gpsd [HOST[:PORT]]] [--raw]
                            print positions and satellites from the port or
                            from gpsd (sorvane nmea --help tells more)
  datums                    list the datums (index, name, ellipsoid)
  typelib                   print the control's interface description
  register, unregister      register the control library for this user, or
                            remove the registration
  help [COMMAND]            show this text, or what COMMAND --help shows
  --version                 show the program's version

Options:
  --port N          port number 1 to 9 (default 1)
  --baud B          line speed (default 9600)
  --datum NAME      datum of the positions printed and read (default Tokyo);
                    any letter case, with or without blanks ("wgs84");
                    GPX files are always WGS 84
  --product ID      use this product instead of asking the receiver first
  -o, --output FILE where download writes (default: standard output)
  -q, --quiet       no progress on standard error
  -h, --help        this text, or after a command that command's

Port N is the device named by $SORVANE_COMN, else by the line COMN=... of
$XDG_CONFIG_HOME/sorvane/ports.conf, else /dev/ttyS<N-1>.

Transfers show their progress on standard error: a bar with the count, the
rate and the time left on a terminal, a line every ten records otherwise.
Ctrl-C stops a transfer after the record in hand and writes nothing; a second
Ctrl-C quits at once. Every value of a file is checked before anything is
sent.

Download and upload files have one record a line, fields separated by tabs,
numbers with a decimal point whatever the locale:
  W name comment latitude longitude altitude symbol display proximity
  T name            a track; S starts a segment of it;
  P latitude longitude altitude seconds time
                    a point: receiver seconds (since 1989-12-31) and the same
                    time in ISO 8601 UTC; either may be empty
  R name            a route; RW (as W) a waypoint of it
Lines starting with # are comments.

)";

struct CommandHelp {
    const char* name;
    const char* text;
};

constexpr CommandHelp kCommands[] = {
    {"identify", R"(Usage: sorvane identify [--port N] [--baud B]

Asks the receiver on the port who it is and prints its product ID, software
version and description. Exits with 5 when the product is not supported.
)"},
    {"download", R"(Usage: sorvane download tracks|waypoints|routes|all [--output FILE]
                        [--port N] [--baud B] [--datum NAME] [--product ID] [--quiet]

Fetches the tracks, waypoints or routes (all: the three, one after the other)
from the receiver. Without --output they are printed in the tab form (see
sorvane --help) with positions in the datum of --datum. With --output FILE:
  FILE.gpx   GPX 1.1, positions in WGS 84
  FILE.tb2   the desktop program's data file, positions in --datum
  otherwise  the tab form
The file is written only when everything arrived; a file that was there stays
as it was until then. Ctrl-C stops the transfer and writes nothing.
)"},
    {"upload", R"(Usage: sorvane upload tracks|waypoints|routes FILE
                      [--port N] [--baud B] [--datum NAME] [--product ID] [--quiet]

Sends the tracks, waypoints or routes that FILE holds to the receiver. FILE
is GPX (positions in WGS 84), the desktop program's data file (.tb2) or the
tab form download prints ("-" reads standard input); the other two take
positions in the datum of --datum. Every value is checked before anything is
sent: a position outside the earth, a number that is none, a time that does
not read or a waypoint without a name stops the upload with the line (or the
record) that holds it, and nothing is sent.
)"},
    {"nmea", nullptr},  // nmea_command.cpp has its own
    {"datums", R"(Usage: sorvane datums

Lists the datums: index, name and ellipsoid. --datum takes any of the names.
)"},
    {"typelib", R"(Usage: sorvane typelib

Prints the description of the control's automation interface.
)"},
    {"register", R"(Usage: sorvane register

Records the control library for this user, where hosts find it by class
identifier or program identifier.
)"},
    {"unregister", R"(Usage: sorvane unregister

Removes the registration that register made.
)"},
};

const CommandHelp* FindCommand(std::string_view name) {
    for (const CommandHelp& c : kCommands) {
        if (name == c.name)
            return &c;
    }
    return nullptr;
}

int Usage(const std::string& message, const char* command = nullptr) {
    return Fail(kExitUsage, message + "\nTry 'sorvane " +
                                (command ? std::string(command) + " " : "") + "--help'.");
}

std::string Counted(int n, Kind kind) {
    std::string name = KindName(kind);
    if (n == 1)
        name.pop_back();
    return std::to_string(n) + " " + name;
}

int Identify(const Options& o) {
    CatchInterrupts();
    Session s(o);
    if (const int rc = s.Start(o.datum); rc != 0)
        return rc;
    return s.Identify(true);
}

// Writes what was downloaded; 0 or an exit code after a message.
int Save(const Options& o, FileFormat format, const std::string& text,
         const tobrel::TobrelFile& store, int symbolTable) {
    const std::string& path = o.output;
    const auto failed = [&](const std::string& why) {
        return Fail(kExitFailed, "cannot write " + path + ": " + why);
    };
    switch (format) {
        case FileFormat::kTab:
            if (path.empty() || path == "-") {
                if (!WriteText("-", text))
                    return Fail(kExitFailed,
                                std::string("cannot write the output: ") + std::strerror(errno));
                return 0;
            }
            return WriteText(path, text) ? 0 : failed(std::strerror(errno));
        case FileFormat::kGpx: {
            tobrel::GpxOptions options{sorvane::DatumShift{}};
            options.symbolTable = symbolTable;
            tobrel::GpxReport report;
            const tobrel::GpxResult r = tobrel::WriteGpx(path, store, options, &report);
            if (!r)
                return failed(r.Describe());
            if (report.replacedCharacters > 0)
                Note(path + ": " + std::to_string(report.replacedCharacters) +
                     " characters had no GPX form and were written as \"?\"");
            if (report.skippedPoints > 0)
                Note(path + ": " + std::to_string(report.skippedPoints) +
                     " points without a valid position were left out");
            return 0;
        }
        case FileFormat::kNative:
            errno = 0;
            if (!tobrel::WriteNativeFile(store, path))
                return failed(errno != 0 ? std::strerror(errno) : "the data do not fit the file");
            return 0;
    }
    return kExitFailed;
}

int Download(const Options& o) {
    std::vector<Kind> kinds;
    if (o.words.size() == 2 && o.words[1] == "all")
        kinds = {Kind::kTracks, Kind::kWaypoints, Kind::kRoutes};
    else if (const auto kind = o.words.size() == 2 ? KindOf(o.words[1]) : std::nullopt)
        kinds = {*kind};
    if (kinds.empty())
        return Usage("download tracks, waypoints, routes or all?", "download");
    const bool toFile = !o.output.empty() && o.output != "-";
    const FileFormat format = toFile ? OutputFormat(o.output) : FileFormat::kTab;
    // Better told now than after a long download.
    if (toFile) {
        if (const auto problem = OutputProblem(o.output))
            return Fail(kExitFailed, "cannot write " + o.output + ": " + *problem);
    }
    CatchInterrupts();
    Session s(o);
    if (const int rc = s.Start(format == FileFormat::kGpx ? kGpxDatum : o.datum); rc != 0)
        return rc;
    if (const int rc = s.ChooseProduct(); rc != 0)
        return rc;
    sorvane::TSorvane& gps = s.gps();
    std::string text;
    tobrel::TobrelFile store;
    std::string summary;
    for (const Kind kind : kinds) {
        if (const int rc = s.Download(kind); rc != 0)
            return rc;
        summary += (summary.empty() ? "" : ", ") + Counted(RecordCount(gps, kind), kind);
        if (format == FileFormat::kTab)
            AppendTabRecords(gps, kind, text);
        else if (!CopyFromControl(gps, kind, store))
            return Fail(kExitFailed, "out of memory");
    }
    if (InterruptSignal() != 0)
        return Fail(InterruptExitCode(), "interrupted; nothing was written");
    const HoldInterrupts hold;
    if (const int rc = Save(o, format, text, store, s.SymbolTable()); rc != 0)
        return rc;
    if (!o.quiet && toFile)
        Note("wrote " + summary + " to " + o.output);
    return 0;
}

// Reads a GPX file for an upload of a kind; 0 or kExitBadInput after a message.
int ReadGpxFile(const std::string& path, Kind kind, int symbolTable, bool warn,
                tobrel::TobrelFile& store) {
    tobrel::GpxOptions options{sorvane::DatumShift{}};
    options.symbolTable = symbolTable;
    options.requireNames = kind != Kind::kTracks;
    tobrel::GpxReport report;
    tobrel::TobrelFile read;
    const tobrel::GpxResult r = tobrel::ReadGpx(path, options, read, &report);
    if (!r) {
        const std::string where = r.line > 0 ? ":" + std::to_string(r.line) : "";
        return Fail(kExitBadInput, path + where + ": " + r.message);
    }
    if (warn && report.replacedCharacters > 0)
        Note(path + ": " + std::to_string(report.replacedCharacters) +
             " characters have no form on the receiver and became \"?\"");
    if (warn && report.cutTexts > 0)
        Note(path + ": " + std::to_string(report.cutTexts) +
             " names or comments were cut at their length limit");
    if (warn && report.droppedTimes > 0)
        Note(path + ": " + std::to_string(report.droppedTimes) +
             " times lie outside what a receiver holds and were left out");
    store = std::move(read);
    return 0;
}

int Upload(const Options& o) {
    const std::optional<Kind> kind = o.words.size() == 3 ? KindOf(o.words[1]) : std::nullopt;
    if (!kind)
        return Usage("upload tracks, waypoints or routes, and a file", "upload");
    if (!o.output.empty())
        return Usage("--output is for download", "upload");
    const std::string& path = o.words[2];
    const FileFormat format = InputFormat(path);
    CatchInterrupts();
    Session s(o);
    if (const int rc = s.Start(format == FileFormat::kGpx ? kGpxDatum : o.datum); rc != 0)
        return rc;
    sorvane::TSorvane& gps = s.gps();
    const auto bad = [&](const std::string& why) { return Fail(kExitBadInput, path + ": " + why); };
    // Everything is read and checked before the receiver hears of it.
    int count = 0;
    tobrel::TobrelFile store;
    switch (format) {
        case FileFormat::kTab: {
            std::string problem;
            const std::optional<std::string> text = ReadText(path, &problem);
            if (!text)
                return bad(problem);
            if (const auto p = LoadTabRecords(*text, *kind, gps, &count))
                return Fail(kExitBadInput,
                            path + ":" + std::to_string(p->line) + ": " + p->message);
            break;
        }
        case FileFormat::kGpx:
            if (const int rc =
                    ReadGpxFile(path, *kind, tobrel::kGpxDefaultSymbolTable, true, store);
                rc != 0)
                return rc;
            count = RecordCount(store, *kind);
            break;
        case FileFormat::kNative: {
            tobrel::NativeReadError error = tobrel::NativeReadError::kNone;
            if (!tobrel::ReadNativeFile(store, path, &error))
                return bad(NativeReadMessage(error));
            count = RecordCount(store, *kind);
            break;
        }
    }
    if (format != FileFormat::kTab) {
        if (const auto problem = CheckRecords(gps, store, *kind))
            return bad(*problem);
    }
    if (count == 0)
        return bad(std::string("no ") + KindName(*kind) + " in the file");
    if (const int rc = s.ChooseProduct(); rc != 0)
        return rc;
    // Symbol names read by the table of the receiver's product.
    if (format == FileFormat::kGpx && s.SymbolTable() != tobrel::kGpxDefaultSymbolTable) {
        if (const int rc = ReadGpxFile(path, *kind, s.SymbolTable(), false, store); rc != 0)
            return rc;
    }
    // A native file holds what a download handed out in the datum.
    if (format != FileFormat::kTab &&
        !CopyToControl(store, *kind, format == FileFormat::kNative, gps))
        return Fail(kExitFailed, "the control did not take the records");
    if (const int rc = s.Upload(*kind); rc != 0)
        return rc;
    std::printf("uploaded %s\n", Counted(count, *kind).c_str());
    return 0;
}

int Datums() {
    sorvane::TSorvane gps;
    if (!Created(gps))
        return kExitFailed;
    const int n = gps.GetDatumCount();
    for (int i = 0; i < n; ++i)
        std::printf("%d\t%s\t%s\n", i, gps.GetEntryDatumName(i).c_str(),
                    gps.GetEntryDatumName2(i).c_str());
    return 0;
}

int Register(bool add) {
    const SorvaneResult hr = add ? DllRegisterServer() : DllUnregisterServer();
    char path[4096];
    sorvane_registration_path(path, sizeof path);
    if (hr != 0) {
        std::fprintf(stderr, "sorvane: %s failed (0x%08X) for %s\n",
                     add ? "registration" : "unregistration", static_cast<unsigned>(hr), path);
        return kExitFailed;
    }
    std::printf("%s %s\n", add ? "registered in" : "unregistered from", path);
    return 0;
}

int Version() {
    std::printf("sorvane %s\n", SORVANE_VERSION_TEXT);
    sorvane::TSorvane gps;
    if (gps.ok()) {
        const std::int32_t v = gps.GetVersion();
        std::printf("control %d.%d\n", v >> 16, v & 0xFFFF);
    }
    return 0;
}

int Help(std::string_view command) {
    if (command.empty()) {
        std::fputs(kUsage, stdout);
        std::fputs(ExitCodeHelp().c_str(), stdout);
        return 0;
    }
    const CommandHelp* help = FindCommand(command);
    if (help == nullptr)
        return Usage("unknown command: " + std::string(command));
    std::fputs(help->text != nullptr ? help->text : NmeaHelpText(), stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        std::fputs(ExitCodeHelp().c_str(), stderr);
        return kExitUsage;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help")
        return argc > 3 ? Usage("help takes one command") : Help(argc == 3 ? argv[2] : "");
    if (command == "--version")
        return argc == 2 ? Version() : Usage("--version takes nothing more");
    if (FindCommand(command) == nullptr)
        return Usage("unknown command: " + std::string(command));
    if (command == "nmea")
        return NmeaCommand(argc, argv, 2);
    Options o;
    o.words.emplace_back(command);
    if (const int rc = ParseOptions(argc, argv, 2, &o); rc != 0)
        return rc;
    if (o.help)
        return Help(command);
    if (command == "download")
        return Download(o);
    if (command == "upload")
        return Upload(o);
    if (o.words.size() != 1)
        return Usage(std::string(command) + " takes no " + o.words[1], argv[1]);
    if (command == "identify")
        return Identify(o);
    if (command == "datums")
        return Datums();
    if (command == "typelib") {
        std::fputs(sorvane_type_library(), stdout);
        return 0;
    }
    return Register(command == "register");
}
