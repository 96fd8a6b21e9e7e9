#include "cli_common.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "geodesy/map_datum.h"
#include "link/serial_port.h"

namespace sorvane_cli {

namespace {

constexpr ExitCodeEntry kExitCodes[] = {
    {kExitOk, "done"},
    {kExitFailed, "another failure (the control, an output file, the registration)"},
    {kExitUsage, "usage error: an unknown command, option, datum or value"},
    {kExitPort, "the port cannot be opened"},
    {kExitNoAnswer, "no answer from the receiver"},
    {kExitUnsupported, "the receiver's product is not supported"},
    {kExitTransfer, "the transfer failed: the receiver stopped or sent more than announced"},
    {kExitBadInput, "the file to upload cannot be read or holds a bad value"},
    {kExitInterrupted, "interrupted (Ctrl-C): the transfer stopped, nothing written"},
};

// Speeds a serial line can be set to.
constexpr std::array<std::int32_t, 30> kBaudRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

std::optional<long> ParseWhole(std::string_view text, long min, long max) {
    long v = 0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end || v < min || v > max)
        return std::nullopt;
    return v;
}

// Letters in lower case, without what people leave out or spell differently.
std::string DatumKey(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c >= 'A' && c <= 'Z')
            key += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 static_cast<unsigned char>(c) >= 0x80)
            key += c;
    }
    return key;
}

// The group that may use the device, for the advice on "Permission denied".
std::string DeviceGroup(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) == 0 && st.st_gid != 0) {
        if (const group* g = ::getgrgid(st.st_gid); g != nullptr && g->gr_name != nullptr)
            return g->gr_name;
    }
    return "dialout";
}

}  // namespace

std::span<const ExitCodeEntry> ExitCodes() {
    return kExitCodes;
}

std::string ExitCodeHelp() {
    std::string text = "Exit status:\n";
    for (const ExitCodeEntry& e : kExitCodes) {
        char line[160];
        std::snprintf(line, sizeof line, "  %3d  %s\n", e.code, e.meaning);
        text += line;
    }
    return text;
}

int Fail(int code, const std::string& message) {
    Note(message);
    return code;
}

void Note(const std::string& message) {
    std::fprintf(stderr, "sorvane: %s\n", message.c_str());
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::kTracks:
            return "tracks";
        case Kind::kWaypoints:
            return "waypoints";
        case Kind::kRoutes:
            return "routes";
    }
    return "";
}

std::optional<Kind> KindOf(std::string_view word) {
    if (word == "tracks" || word == "track")
        return Kind::kTracks;
    if (word == "waypoints" || word == "waypoint")
        return Kind::kWaypoints;
    if (word == "routes" || word == "route")
        return Kind::kRoutes;
    return std::nullopt;
}

std::optional<int> ParsePort(std::string_view text) {
    const auto v = ParseWhole(text, 1, 9);
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

std::optional<std::int32_t> ParseBaud(std::string_view text) {
    const auto v = ParseWhole(text, 1, 4000000);
    if (!v || std::find(kBaudRates.begin(), kBaudRates.end(), *v) == kBaudRates.end())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::optional<std::string> CanonicalDatumName(std::string_view typed) {
    const sorvane::MapDatum table;
    const std::string key = DatumKey(typed);
    std::optional<std::string> found;
    for (int i = 0; i < table.count(); ++i) {
        const std::string_view name = table.entryName(i);
        if (name == typed)
            return std::string(name);
        if (!key.empty() && DatumKey(name) == key) {
            if (found)
                return std::nullopt;  // two datums share the key
            found = std::string(name);
        }
    }
    return found;
}

OptionArg::OptionArg(int argc, char** argv, int& i)
    : argc_(argc), argv_(argv), i_(i), name_(argv[i]) {
    if (const std::size_t eq = name_.find('='); name_.starts_with("--") && eq != name_.npos) {
        attached_ = name_.substr(eq + 1);
        name_ = name_.substr(0, eq);
    }
}

std::optional<std::string_view> OptionArg::Value() {
    if (attached_)
        return attached_;
    if (i_ + 1 >= argc_)
        return std::nullopt;
    return std::string_view(argv_[++i_]);
}

std::optional<std::string> TakeLineOption(std::string_view name, OptionArg& option, int* port,
                                          std::int32_t* baud) {
    if (name == "--port") {
        const auto v = option.Value();
        const auto n = v ? ParsePort(*v) : std::nullopt;
        if (!n)
            return "--port needs a port number from 1 to 9";
        *port = *n;
        return std::string();
    }
    if (name == "--baud") {
        const auto v = option.Value();
        const auto b = v ? ParseBaud(*v) : std::nullopt;
        if (!b)
            return "--baud needs a line speed such as 4800, 9600, 19200 or 115200";
        *baud = *b;
        return std::string();
    }
    return std::nullopt;
}

int ParseOptions(int argc, char** argv, int first, Options* o) {
    bool optionsEnd = false;
    for (int i = first; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnd || arg == "-" || !arg.starts_with("-")) {
            o->words.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        OptionArg option(argc, argv, i);
        arg = option.name();
        const auto value = [&option] { return option.Value(); };
        const auto usage = [&](const std::string& what) {
            return Fail(kExitUsage, what + "\nTry 'sorvane --help'.");
        };
        const auto flag = [&](bool* target) {
            if (option.attached())
                return false;
            *target = true;
            return true;
        };
        if (const auto line = TakeLineOption(arg, option, &o->port, &o->baud)) {
            if (!line->empty())
                return usage(*line);
        } else if (arg == "--product") {
            const auto v = value();
            const auto id = v ? ParseWhole(*v, 0, 65535) : std::nullopt;
            if (!id)
                return usage("--product needs a product ID from 0 to 65535");
            o->product = static_cast<std::int32_t>(*id);
        } else if (arg == "--seconds") {
            const auto v = value();
            const auto seconds = v ? ParseWhole(*v, 0, 86400) : std::nullopt;
            if (!seconds)
                return usage("--seconds needs a number from 0 to 86400");
            o->seconds = static_cast<int>(*seconds);
        } else if (arg == "--datum") {
            const auto v = value();
            if (!v || v->empty())
                return usage("--datum needs a name (sorvane datums lists them)");
            const auto name = CanonicalDatumName(*v);
            if (!name)
                return usage("unknown datum \"" + std::string(*v) +
                             "\" (sorvane datums lists them)");
            o->datum = *name;
            o->datumGiven = true;
        } else if (arg == "--output" || arg == "-o") {
            const auto v = value();
            if (!v || v->empty())
                return usage(std::string(arg) + " needs a file name");
            o->output = std::string(*v);
        } else if (arg == "--quiet" || arg == "-q") {
            if (!flag(&o->quiet))
                return usage(std::string(arg) + " takes no value");
        } else if (arg == "--help" || arg == "-h") {
            if (!flag(&o->help))
                return usage(std::string(arg) + " takes no value");
        } else {
            return usage("unknown option: " + std::string(argv[i]));
        }
    }
    return 0;
}

std::string PortDevice(int port) {
    return sorvane::PortDevicePath(port);
}

bool IsOpenError(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case ENOENT:
        case ENOTDIR:
        case EISDIR:
        case ELOOP:
        case ENAMETOOLONG:
        case EBUSY:
        case ENODEV:
        case ENXIO:
        case ENOTTY:
        case EINVAL:
        case EROFS:
        case EMFILE:
        case ENFILE:
            return true;
        default:
            return false;
    }
}

std::string PortOpenMessage(int port, const std::string& device, int error) {
    std::string m = "cannot open port " + std::to_string(port);
    if (!device.empty())
        m += " (" + device + ")";
    m += ": ";
    switch (error) {
        case EACCES:
        case EPERM:
            return m + std::strerror(error) + "; add your user to the " + DeviceGroup(device) +
                   " group (sudo usermod -aG " + DeviceGroup(device) +
                   " \"$USER\") and log in again";
        case ENOENT:
            return m + std::strerror(error) + "; is the receiver connected? SORVANE_COM" +
                   std::to_string(port) + " or ports.conf names another device";
        case EBUSY:
            return m + "another program is using the port";
        case ENOTTY:
            return m + "not a serial line";
        case EISDIR:
            return m + "a folder, not a serial line";
        case EINVAL:
            return m + "the line does not take the line settings (see --baud)";
        case ENODEV:
            return m + "no device has that port number";
        default:
            return m + std::strerror(error);
    }
}

}  // namespace sorvane_cli
