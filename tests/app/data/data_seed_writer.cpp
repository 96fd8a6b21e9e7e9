// Writes the seed corpora of the data fuzzers:
//   data_seed_writer <fuzz/corpus folder>
// Native files of every readable version, scripts made by the writer, and a
// few angle and tokenizer texts.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "data/map_server_script.h"
#include "data/native_file.h"
#include "legacy_native_image.h"
#include "sample_store.h"

namespace {

bool Save(const std::string& path, const void* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

bool Save(const std::string& path, const std::string& text) {
    return Save(path, text.data(), text.size());
}

tobrel::testing::ImageContent SampleContent() {
    using namespace tobrel::testing;
    ImageContent c;
    c.timeZoneBias = -32400;
    ImageTrack t{"TRK", 2, {}};
    t.points.push_back({35.5, 139.25, 100, 1, 0, 5.0f, 0.0});
    t.points.push_back({35.6, 139.3, 160, 1, 0, 6.0f, 10.0});
    t.points.push_back({35.7, 139.4, 220, 2, 0, 7.0f, 15.0});
    c.tracks.push_back(t);
    c.waypoints.push_back({35.5, 139.25, 3.0f, 20.0f, 18, 1, "WPT01", "free"});
    c.waypoints.push_back({-12.25, 45.5, 0.0f, 0.0f, 7, 0, "\x83\x7c\x83\x43", ""});
    ImageRoute r{"R1", {}};
    r.waypoints.push_back({35.1, 139.1, 1.0f, 0.0f, 18, 3, "RW_0", "route comment"});
    r.waypoints.push_back({35.2, 139.2, 2.0f, 0.0f, 18, 3, "RW_1", "route comment"});
    c.routes.push_back(r);
    c.routes.push_back({"EMPTY", {}});
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    for (const char* t :
         {"fuzz_native_file", "fuzz_map_server_script", "fuzz_parse_angle", "fuzz_ifstring"})
        ::mkdir((root + "/" + t).c_str(), 0777);
    bool ok = true;

    tobrel::TobrelFile sample;
    tobrel::testing::FillSampleStore(sample);
    tobrel::TobrelFile empty;
    empty.SetTimeZoneBias(0);

    const std::string native = root + "/fuzz_native_file/";
    std::vector<std::uint8_t> bytes;
    ok &= tobrel::EncodeNativeFile(sample, bytes) &&
          Save(native + "v7_sample.tb2", bytes.data(), bytes.size());
    ok &= tobrel::EncodeNativeFile(empty, bytes) &&
          Save(native + "v7_empty.tb2", bytes.data(), bytes.size());
    for (int v : {0, 2, 3, 4, 5, 6, -1}) {
        const auto image = tobrel::testing::BuildNativeImage(v, SampleContent());
        ok &= Save(native + "v" + std::to_string(v) + "_sample.tb2", image.data(), image.size());
    }

    const std::string script = root + "/fuzz_map_server_script/";
    std::string text;
    ok &= tobrel::EncodeMapServerScript(sample, text, true, true, true, nullptr, 0, 2) &&
          Save(script + "sample.mps", text);
    ok &= Save(script + "handwritten.mps",
               "mapserver script ver=\"1.0\";\n// a comment\nline gid=\"1\"\tpos=\">\n"
               "35:30:15,139 15 00,\n N35.6 , E139.3 ,\n\" str=\"hand \\\"made\\\"\";\n"
               "point  gid=\"2\" pos=\"5.5,  -0.125\" str=\"\x83\x7c\x83\x43\";\n"
               "point pos=\"1,2\";\nmapserver end;\n");

    const std::string angle = root + "/fuzz_parse_angle/";
    int n = 0;
    for (const char* a : {"35.123456", " 35:30:15", "35 30 15", "35d30m15s", "-139.25", "N35",
                          "35.30.15", ">\r35.500000", "1e3", "abc"})
        ok &= Save(angle + "angle" + std::to_string(n++), a);

    const std::string tok = root + "/fuzz_ifstring/";
    // first byte: delimiter count (bits 0-1) and the keep-delimiter flag (bit 2)
    ok &= Save(tok + "commas", std::string("\x01,a,,b"));
    ok &= Save(tok + "trailing", std::string("\x01,1.0,2.0,"));
    ok &= Save(tok + "slash", std::string("\x05/name/42"));
    ok &= Save(tok + "sjis", std::string("\x02\x5c;\x95\x5c;x\\y"));
    ok &= Save(tok + "statements", std::string("\x01;") + text.substr(0, 400));

    if (!ok)
        std::fprintf(stderr, "could not write every seed\n");
    return ok ? 0 : 1;
}
