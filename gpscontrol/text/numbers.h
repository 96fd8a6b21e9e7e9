#pragma once
// Small number helpers shared by the readers and encoders.

#include <cmath>
#include <cstdint>
#include <limits>

namespace sorvane {

// The value of one hexadecimal digit of either case, or -1.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// v truncated toward zero, held at the 32-bit limits instead of overflowing;
// NaN gives 0.
inline std::int32_t TruncToInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace sorvane
