// GPX reader: any bytes, read in WGS 84 and in Tokyo. What reads is written;
// what is written must read again, and in WGS 84 the second writing must give
// the same text as the first.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "data/gpx_file.h"
#include "geodesy/map_datum.h"

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tobrel::GpxOptions wgs84(sorvane::DatumShift{});
    static const tobrel::GpxOptions tokyo(sorvane::MapDatum("Tokyo").selectedShift());
    const std::span<const std::uint8_t> bytes(data, size);

    tobrel::TobrelFile local;
    if (tobrel::ReadGpx(bytes, tokyo, local)) {
        std::string text;
        tobrel::TobrelFile again;
        if (!tobrel::EncodeGpx(local, tokyo, text) || !tobrel::ReadGpx(Bytes(text), tokyo, again))
            std::abort();
    }

    tobrel::TobrelFile store;
    if (!tobrel::ReadGpx(bytes, wgs84, store))
        return 0;
    std::string first;
    if (!tobrel::EncodeGpx(store, wgs84, first))
        std::abort();
    tobrel::TobrelFile again;
    std::string second;
    if (!tobrel::ReadGpx(Bytes(first), wgs84, again) || !tobrel::EncodeGpx(again, wgs84, second) ||
        first != second)
        std::abort();
    return 0;
}
