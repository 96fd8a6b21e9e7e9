// Map server script reader in both modes, then the writer over what was read.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/map_server_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tobrel::TobrelFile store;
    tobrel::ReadMapServerScriptText(store, text, tobrel::kReadLines);
    tobrel::ReadMapServerScriptText(store, text, tobrel::kReadPoints);
    std::string out;
    tobrel::EncodeMapServerScript(store, out, true, true, true, nullptr, 0, 2);
    return 0;
}
