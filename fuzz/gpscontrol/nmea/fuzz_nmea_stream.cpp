// Feeds arbitrary bytes through the NMEA ring in chunks (the first byte picks
// the chunk size), dispatches every line it yields, and checks the invariants
// the receiver thread relies on: lines stay short, the ring never fills, and
// the satellite table never reports an entry beyond its 24 slots.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "nmea/nmea_ring.h"
#include "nmea/nmea_sentences.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t chunk = 1 + data[0] % 200;
    ++data;
    --size;

    std::atomic<bool> seenRmc{false};
    int events = 0;
    sorvane::NmeaSentences sentences([&events](const sorvane::NmeaFix&) { ++events; }, &seenRmc);
    sorvane::NmeaRing ring;
    char line[sorvane::kNmeaLineMax];

    for (std::size_t at = 0; at < size; at += chunk) {
        const std::size_t n = size - at < chunk ? size - at : chunk;
        ring.Append(reinterpret_cast<const char*>(data + at), n);
        if (ring.FreeSpace() == 0)
            std::abort();
        for (;;) {
            const auto took = ring.TakeLine(line);
            if (took == sorvane::NmeaRing::Take::kNone)
                break;
            if (took == sorvane::NmeaRing::Take::kLine) {
                const std::size_t len = std::strlen(line);
                if (len >= sorvane::kNmeaLineMax || line[0] != '$')
                    std::abort();
                sentences.Dispatch(line);
            }
        }
    }
    sorvane::SatelliteEntry entry;
    if (sentences.Satellite(sorvane::kSatelliteTableSize, &entry))
        std::abort();
    for (int i = 0; i < sentences.SatelliteCount() && i < sorvane::kSatelliteTableSize; ++i) {
        sentences.Satellite(i, &entry);
    }
    return 0;
}
