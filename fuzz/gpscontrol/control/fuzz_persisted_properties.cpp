// The persisted property stream a container hands back to a new control.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "control/persisted_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sorvane::PersistedProperties p;
    sorvane::DecodeProperties(std::span<const std::uint8_t>(data, size), &p);
    // Whatever was taken saves and loads back unchanged.
    const auto bytes = sorvane::EncodeProperties(p);
    sorvane::PersistedProperties back;
    if (sorvane::DecodeProperties(bytes, &back) != sorvane::LoadStatus::Complete ||
        sorvane::EncodeProperties(back) != bytes)
        std::abort();
    return 0;
}
