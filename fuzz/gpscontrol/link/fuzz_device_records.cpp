// Parsers of received records over arbitrary data fields.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/device_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 255)
        return 0;  // a data field has at most 255 bytes
    const std::span<const std::uint8_t> d(data, size);
    for (int type : {4101, 4103, 4104, 4108, 4109, 0}) {
        for (int charset : {1, 2}) {
            sorvane::WaypointRecord w;
            sorvane::ParseWaypoint(type, charset, d, &w);
            if (std::strlen(w.name) > sorvane::kNameMax)
                std::abort();
            if (std::strlen(w.comment) > sorvane::kCommentMax)
                std::abort();
        }
    }
    for (bool newer : {false, true}) {
        const sorvane::RouteHeader h = sorvane::ParseRouteHeader(newer, d);
        if (std::strlen(h.name) > sorvane::kCommentMax)
            std::abort();
        sorvane::ReceivedTrackPoint p;
        sorvane::ParseTrackPoint(newer, d, &p);
    }
    char name[sorvane::kNameMax + 1];
    sorvane::ParseTrackHeaderName(d, name);
    sorvane::ProductData pd;
    if (sorvane::ParseProductData(d, &pd) && pd.description.size() > 63)
        std::abort();
    sorvane::ParseRecordsCount(d);
    sorvane::CapabilityByte(d);
    return 0;
}
