// Compares the two XML parsers considered for the GPX reader on the benchmark
// file (1 000 000 track points in 10 tracks): time and peak memory of a pass
// that takes latitude, longitude, elevation and time out of every track point.
//   gpx_parser_compare [file]
// Without a file it writes one like the GPX writer's output to a temporary
// folder. Each pass runs in a child process so that its peak resident memory
// is its own.
#include <expat.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kPoints = 1000000;
constexpr int kTracks = 10;

// The store's own size for the benchmark file: 44 bytes per track point.
constexpr double kStoreBytes = 44.0 * kPoints;

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::strtol(line.c_str() + n + 1, nullptr, 10);
    return -1;
}

void WriteSample(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fprintf(f,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" "
                 "creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
    for (int t = 0; t < kTracks; ++t) {
        std::fprintf(f, " <trk>\n  <name>TRACK-%d</name>\n  <trkseg>\n", t);
        for (int i = 0; i < kPoints / kTracks; ++i) {
            const double lat = 35.0 + i * 1.0000000000000001e-5 + 1.1e-13;
            const double lon = 139.0 + t * 0.01 + i * 1e-5 + 3.3e-13;
            const long s = 1000000000L + 631065600L + i;
            const int day = static_cast<int>(s / 86400 % 28) + 1;
            std::fprintf(f,
                         "   <trkpt lat=\"%.15f\" lon=\"%.14f\"><ele>%d.5</ele>"
                         "<time>2021-09-%02dT%02ld:%02ld:%02ldZ</time></trkpt>\n",
                         lat, lon, i % 700, day, s / 3600 % 24, s / 60 % 60, s % 60);
        }
        std::fprintf(f, "  </trkseg>\n </trk>\n");
    }
    std::fprintf(f, "</gpx>\n");
    std::fclose(f);
}

// What each pass computes, so that neither can skip work.
struct Sums {
    long points = 0;
    double lat = 0, lon = 0, ele = 0;
    long timeChars = 0;
};

double Number(std::string_view s) {
    double v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// --- expat: streaming, 256 KiB at a time --------------------------------------

struct ExpatState {
    Sums sums;
    int field = 0;  // 1 ele, 2 time
    std::string text;
};

// The local name, with or without namespace processing.
const char* Local(const XML_Char* name) {
    const char* space = std::strrchr(name, ' ');
    return space != nullptr ? space + 1 : name;
}

void XMLCALL ExpatStart(void* data, const XML_Char* qname, const XML_Char** atts) {
    auto* s = static_cast<ExpatState*>(data);
    const char* name = Local(qname);
    if (std::strcmp(name, "trkpt") == 0) {
        ++s->sums.points;
        for (int i = 0; atts[i] != nullptr; i += 2) {
            if (std::strcmp(atts[i], "lat") == 0)
                s->sums.lat += Number(atts[i + 1]);
            else if (std::strcmp(atts[i], "lon") == 0)
                s->sums.lon += Number(atts[i + 1]);
        }
    } else if (std::strcmp(name, "ele") == 0) {
        s->field = 1;
        s->text.clear();
    } else if (std::strcmp(name, "time") == 0) {
        s->field = 2;
        s->text.clear();
    }
}

void XMLCALL ExpatEnd(void* data, const XML_Char*) {
    auto* s = static_cast<ExpatState*>(data);
    if (s->field == 1)
        s->sums.ele += Number(s->text);
    else if (s->field == 2)
        s->sums.timeChars += static_cast<long>(s->text.size());
    s->field = 0;
}

void XMLCALL ExpatText(void* data, const XML_Char* text, int len) {
    auto* s = static_cast<ExpatState*>(data);
    if (s->field != 0)
        s->text.append(text, static_cast<std::size_t>(len));
}

Sums RunExpat(const std::string& path, bool namespaces) {
    ExpatState state;
    XML_Parser p = namespaces ? XML_ParserCreateNS(nullptr, ' ') : XML_ParserCreate(nullptr);
    XML_SetUserData(p, &state);
    XML_SetElementHandler(p, ExpatStart, ExpatEnd);
    XML_SetCharacterDataHandler(p, ExpatText);
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (;;) {
        void* buf = XML_GetBuffer(p, 1 << 18);
        const ssize_t n = ::read(fd, buf, 1 << 18);
        if (n < 0 || XML_ParseBuffer(p, static_cast<int>(n), n == 0) != XML_STATUS_OK) {
            std::fprintf(stderr, "expat: %s\n", XML_ErrorString(XML_GetErrorCode(p)));
            std::exit(1);
        }
        if (n == 0)
            break;
    }
    ::close(fd);
    XML_ParserFree(p);
    return state.sums;
}

// --- pugixml: the whole document in memory ----------------------------------------

Sums WalkPugi(const pugi::xml_document& doc) {
    Sums sums;
    for (pugi::xml_node trk : doc.child("gpx").children("trk"))
        for (pugi::xml_node seg : trk.children("trkseg"))
            for (pugi::xml_node pt : seg.children("trkpt")) {
                ++sums.points;
                sums.lat += Number(pt.attribute("lat").value());
                sums.lon += Number(pt.attribute("lon").value());
                sums.ele += Number(pt.child_value("ele"));
                sums.timeChars += static_cast<long>(std::strlen(pt.child_value("time")));
            }
    return sums;
}

Sums RunPugiFile(const std::string& path, unsigned flags) {
    pugi::xml_document doc;
    if (!doc.load_file(path.c_str(), flags)) {
        std::fprintf(stderr, "pugixml: load failed\n");
        std::exit(1);
    }
    return WalkPugi(doc);
}

struct Pass {
    const char* name;
    Sums (*run)(const std::string&);
};

const Pass kPasses[] = {
    {"expat 2.5, streaming 256 KiB", [](const std::string& p) { return RunExpat(p, false); }},
    {"expat 2.5, same with namespaces", [](const std::string& p) { return RunExpat(p, true); }},
    {"pugixml 1.13, load_file, default flags",
     [](const std::string& p) { return RunPugiFile(p, pugi::parse_default); }},
    {"pugixml 1.13, load_file, minimal flags",
     [](const std::string& p) { return RunPugiFile(p, pugi::parse_minimal); }},
};

struct Figures {
    double seconds;
    double cpuSeconds;  // the machine is shared; this is less disturbed by other load
    long peakKb;
    long points;
};

Figures Measure(const Pass& pass, const std::string& path) {
    int fds[2];
    if (::pipe(fds) != 0)
        std::exit(1);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const long before = StatusKb("VmRSS:");
        const auto t0 = std::chrono::steady_clock::now();
        const Sums sums = pass.run(path);
        const auto t1 = std::chrono::steady_clock::now();
        rusage use{};
        ::getrusage(RUSAGE_SELF, &use);
        const double cpu = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                           (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
        Figures f{std::chrono::duration<double>(t1 - t0).count(), cpu, StatusKb("VmHWM:") - before,
                  sums.points};
        if (sums.lat + sums.lon + sums.ele + static_cast<double>(sums.timeChars) == 0.0)
            f.points = -1;
        (void)!::write(fds[1], &f, sizeof f);
        ::_exit(0);
    }
    ::close(fds[1]);
    Figures f{};
    (void)!::read(fds[0], &f, sizeof f);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    std::string path;
    std::string folder;
    if (argc > 1) {
        path = argv[1];
    } else {
        char pattern[] = "/tmp/gpx_compare_XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            return 1;
        folder = pattern;
        path = folder + "/bench.gpx";
        WriteSample(path);
    }
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::printf("file %s: %.1f MB; store of %d points: %.1f MB\n", path.c_str(),
                static_cast<double>(in.tellg()) / 1e6, kPoints, kStoreBytes / 1e6);
    std::printf("%-42s %8s %8s %9s %10s\n", "parser", "seconds", "cpu s", "peak MB", "peak/store");
    for (const Pass& pass : kPasses) {
        const Figures f = Measure(pass, path);
        std::printf("%-42s %8.3f %8.3f %9.1f %10.2f%s\n", pass.name, f.seconds, f.cpuSeconds,
                    f.peakKb / 1024.0, f.peakKb * 1024.0 / kStoreBytes,
                    f.points == kPoints ? "" : "  (wrong point count)");
    }
    if (!folder.empty())
        std::system(("rm -rf '" + folder + "'").c_str());
    return 0;
}
