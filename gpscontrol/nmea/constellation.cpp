#include "nmea/constellation.h"

namespace sorvane {

namespace {

bool Within(long v, long low, long high) {
    return v >= low && v <= high;
}

}  // namespace

Constellation ConstellationOfTalker(std::string_view talker) {
    struct Row {
        std::string_view talker;
        Constellation c;
    };
    static constexpr Row kRows[] = {
        {"GP", Constellation::kGps},     {"GL", Constellation::kGlonass},
        {"GA", Constellation::kGalileo}, {"GB", Constellation::kBeiDou},
        {"BD", Constellation::kBeiDou},  {"GQ", Constellation::kQzss},
        {"QZ", Constellation::kQzss},    {"GI", Constellation::kNavIc},
    };
    for (const Row& r : kRows) {
        if (r.talker == talker)
            return r.c;
    }
    return Constellation::kUnknown;
}

Constellation ConstellationOfSystemId(long id) {
    return id >= 1 && id <= 6 ? static_cast<Constellation>(id) : Constellation::kUnknown;
}

Constellation ConstellationOfPrn(long prn) {
    if (Within(prn, 1, 32))
        return Constellation::kGps;
    if (Within(prn, 33, 64) || Within(prn, 120, 158))
        return Constellation::kSbas;
    if (Within(prn, 65, 96))
        return Constellation::kGlonass;
    if (Within(prn, 193, 200))
        return Constellation::kQzss;
    if (Within(prn, 201, 263) || Within(prn, 401, 463))
        return Constellation::kBeiDou;
    if (Within(prn, 301, 336))
        return Constellation::kGalileo;
    return Constellation::kUnknown;
}

Constellation SatelliteConstellation(std::string_view talker, long prn) {
    const Constellation c = ConstellationOfTalker(talker);
    if (c == Constellation::kGps) {
        if (Within(prn, 33, 64) || Within(prn, 120, 158))
            return Constellation::kSbas;
        if (Within(prn, 193, 202))
            return Constellation::kQzss;
        return c;
    }
    return c != Constellation::kUnknown ? c : ConstellationOfPrn(prn);
}

int SatelliteNumber(Constellation c, long prn) {
    long n = prn;
    switch (c) {
        case Constellation::kSbas:
            n = Within(prn, 33, 64) ? prn + 87 : prn;
            break;
        case Constellation::kGlonass:
            n = Within(prn, 65, 96) ? prn - 64 : prn;
            break;
        case Constellation::kQzss:
            n = Within(prn, 193, 202) ? prn - 192 : prn;
            break;
        case Constellation::kBeiDou:
            n = Within(prn, 201, 263) ? prn - 200 : Within(prn, 401, 463) ? prn - 400 : prn;
            break;
        case Constellation::kGalileo:
            n = Within(prn, 301, 336) ? prn - 300 : prn;
            break;
        default:
            break;
    }
    return Within(n, -32768, 32767) ? static_cast<int>(n) : 0;
}

const char* ConstellationName(Constellation c) {
    switch (c) {
        case Constellation::kGps:
            return "GPS";
        case Constellation::kGlonass:
            return "GLONASS";
        case Constellation::kGalileo:
            return "Galileo";
        case Constellation::kBeiDou:
            return "BeiDou";
        case Constellation::kQzss:
            return "QZSS";
        case Constellation::kNavIc:
            return "NavIC";
        case Constellation::kSbas:
            return "SBAS";
        case Constellation::kUnknown:
            break;
    }
    return "unknown";
}

}  // namespace sorvane
