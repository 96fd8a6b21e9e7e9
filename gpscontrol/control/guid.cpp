#include "control/guid.h"

#include <cstdio>
#include <cstring>

#include "text/numbers.h"

namespace sorvane {

bool SameGuid(const Guid& a, const Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

std::string FormatGuid(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(g.data1), g.data2, g.data3, g.data4[0], g.data4[1],
                  g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

namespace {

// Reads 2 * bytes hexadecimal digits at text[pos].
bool ReadHex(std::string_view text, std::size_t pos, int bytes, std::uint64_t* out) {
    std::uint64_t v = 0;
    for (int i = 0; i < 2 * bytes; ++i) {
        const int h = HexDigitValue(text[pos + i]);
        if (h < 0)
            return false;
        v = (v << 4) | static_cast<unsigned>(h);
    }
    *out = v;
    return true;
}

}  // namespace

std::optional<Guid> ParseGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
        text[23] != '-')
        return std::nullopt;
    Guid g{};
    std::uint64_t v = 0;
    if (!ReadHex(text, 0, 4, &v))
        return std::nullopt;
    g.data1 = static_cast<std::uint32_t>(v);
    if (!ReadHex(text, 9, 2, &v))
        return std::nullopt;
    g.data2 = static_cast<std::uint16_t>(v);
    if (!ReadHex(text, 14, 2, &v))
        return std::nullopt;
    g.data3 = static_cast<std::uint16_t>(v);
    static constexpr std::size_t kByteAt[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(text, kByteAt[i], 1, &v))
            return std::nullopt;
        g.data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

}  // namespace sorvane
