#include "data/angle_unit.h"

#include <charconv>
#include <cstring>

namespace tobrel {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number at the start of text, as strtod reads it (leading blanks and a
// sign allowed), but independent of the process locale: the program runs
// under the user's locale, where strtod might expect a decimal comma.
double ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars would take a second sign; strtod does not.
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0;
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto r = std::from_chars(first, last, value);
    if (r.ec != std::errc())
        return 0.0;
    return negative ? -value : value;
}

std::size_t SkipNumberBytes(std::string_view text, std::size_t i) {
    while (i < text.size() && (IsDigit(text[i]) || text[i] == '.'))
        ++i;
    return i;
}

}  // namespace

double ParseAngle(const char* text) {
    if (text == nullptr)
        return 0.0;
    return ParseAngle(std::string_view(text));
}

double ParseAngle(std::string_view text) {
    const auto nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n && !IsDigit(text[i]) && text[i] != '.' && text[i] != '-')
        ++i;
    if (i >= n)
        return 0.0;
    long double sign = 1.0L;
    if (text[i] == '-') {
        sign = -1.0L;
        ++i;
    }
    const long double degrees = ReadNumber(text.substr(i));
    long double minutes = 0.0L;
    long double seconds = 0.0L;
    i = SkipNumberBytes(text, i);
    if (i < n) {
        minutes = ReadNumber(text.substr(i + 1));
        i = SkipNumberBytes(text, i + 1);
        if (i < n)
            seconds = ReadNumber(text.substr(i + 1));
    }
    const long double kMinute = 1.0L / 60.0L;
    const long double kSecond = 1.0L / 3600.0L;
    return static_cast<double>(sign * (degrees + minutes * kMinute + seconds * kSecond));
}

}  // namespace tobrel
