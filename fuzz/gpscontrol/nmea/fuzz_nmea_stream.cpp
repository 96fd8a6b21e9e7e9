// Feeds arbitrary bytes through the NMEA ring in chunks (the first byte picks
// the chunk size), dispatches every line it yields, and checks the invariants
// the receiver thread and its readers rely on: lines stay short, the ring
// never fills, the satellite table never reports an entry beyond its 24
// slots, the full satellite list names each satellite once with a known
// system, and the end of the stream gives at most one more fix.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>
#include <utility>

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
    int last = 0;
    sorvane::NmeaSentences sentences(
        [&](const sorvane::NmeaFix& fix) {
            ++events;
            last += fix.kind == sorvane::FixKind::kLast ? 1 : 0;
            if (fix.valid != 0 && fix.valid != 1)
                std::abort();
        },
        &seenRmc);
    int lists = 0;
    sentences.SetSatellitesHandler([&] { ++lists; });
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
                sentences.Take(line);
            }
        }
    }
    // Longer lines than the ring passes, as other sources may hand over.
    sentences.Take(std::string_view(reinterpret_cast<const char*>(data), size));
    sentences.Flush();
    sentences.Flush();
    if (last > 1)
        std::abort();

    sorvane::SatelliteEntry entry;
    if (sentences.Satellite(sorvane::kSatelliteTableSize, &entry))
        std::abort();
    for (int i = 0; i < sentences.SatelliteCount() && i < sorvane::kSatelliteTableSize; ++i) {
        if (!sentences.Satellite(i, &entry))
            std::abort();
    }
    std::set<std::pair<int, int>> seen;
    for (const sorvane::SatelliteInfo& s : sentences.Sky().List()) {
        const int system = static_cast<int>(s.constellation);
        if (system < 0 || system >= sorvane::kConstellationCount || s.prn == 0)
            std::abort();
        if (s.constellation != sorvane::Constellation::kUnknown &&
            !seen.emplace(system, s.number).second)
            std::abort();
    }
    return 0;
}
