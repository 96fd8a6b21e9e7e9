#pragma once
// Small number helpers shared by the readers and encoders. Text numbers never
// go through the C library's locale: a program that switched to its user's
// locale may have a decimal comma there, and files must read the same
// everywhere.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

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

// v rounded to the nearest integer, halves away from zero (so that a value and
// its negation round alike), held at the 32-bit limits; NaN gives 0.
inline std::int32_t RoundToInt32(double v) {
    if (std::isnan(v))
        return 0;
    return TruncToInt32(std::round(v));
}

// v with `decimals` digits after the point, right-aligned in `width`
// characters: what printf's "%*.*f" gives in the C locale.
inline std::string FormatFixed(double v, int decimals, int width = 0) {
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string text = r.ec == std::errc() ? std::string(buf, r.ptr) : std::string("nan");
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    return text;
}

// The shortest text that reads back as exactly v.
inline std::string FormatShortest(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// The whole text as a decimal number (an optional sign, digits with a decimal
// point, an optional exponent). False for anything else or an empty text.
inline bool ParseDecimal(std::string_view text, double* out) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return false;
    }
    double v = 0.0;
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end)
        return false;
    *out = v;
    return true;
}

}  // namespace sorvane
