// Native data file reader: any bytes, then a write and a second read of what
// was read, which must give the same bytes again.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "data/native_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tobrel::TobrelFile store;
    if (!tobrel::ReadNativeFile(store, std::span<const std::uint8_t>(data, size)))
        return 0;
    std::vector<std::uint8_t> first;
    if (!tobrel::EncodeNativeFile(store, first))
        return 0;
    tobrel::TobrelFile again;
    if (!tobrel::ReadNativeFile(again, std::span<const std::uint8_t>(first)))
        std::abort();
    std::vector<std::uint8_t> second;
    if (!tobrel::EncodeNativeFile(again, second) || first != second)
        std::abort();
    return 0;
}
