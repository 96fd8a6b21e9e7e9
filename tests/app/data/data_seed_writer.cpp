// Writes the seed corpora of the data fuzzers that come from our own writers:
//   data_seed_writer <fuzz/corpus folder>
// the sample as a native file of every readable version, as a script and as
// GPX. The hand-written seeds (an empty file, angle and tokenizer texts, a
// loose script, GPX of other writers and hostile GPX) live in the corpus
// folders themselves.
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "data/gpx_file.h"
#include "data/map_server_script.h"
#include "data/native_file.h"
#include "data_test_support.h"

namespace {

bool Save(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string native = std::string(argv[1]) + "/fuzz_native_file/";
    const std::string script = std::string(argv[1]) + "/fuzz_map_server_script/";
    const std::string gpx = std::string(argv[1]) + "/fuzz_gpx/";
    ::mkdir(native.c_str(), 0777);
    ::mkdir(script.c_str(), 0777);
    ::mkdir(gpx.c_str(), 0777);
    tobrel::TobrelFile sample;
    tobrel::testing::FillSample(sample);
    std::vector<std::uint8_t> bytes;
    bool ok = tobrel::EncodeNativeFile(sample, bytes) &&
              Save(native + "v7_sample.tb2", std::string(bytes.begin(), bytes.end()));
    for (int v : {0, 2, 3, 4, 5, 6, -1}) {
        bytes = tobrel::testing::BuildNativeImage(v, sample);
        ok &= Save(native + "v" + std::to_string(v) + "_sample.tb2",
                   std::string(bytes.begin(), bytes.end()));
    }
    std::string text;
    ok &= tobrel::EncodeMapServerScript(sample, text, true, true, true, nullptr, 0, 2) &&
          Save(script + "sample.mps", text);
    ok &= tobrel::EncodeGpx(sample, tobrel::GpxOptions(sorvane::DatumShift{}), text) &&
          Save(gpx + "sample.gpx", text);
    if (!ok)
        std::fprintf(stderr, "could not write every seed\n");
    return ok ? 0 : 1;
}
