#include "data/gpx_fields.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "data/tobrel_file.h"
#include "geodesy/waypoint_symbols.h"

namespace tobrel::gpx {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Days from 1970-01-01 to a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Reads the fields of a date and time from left to right.
class DateTimeScanner {
  public:
    explicit DateTimeScanner(std::string_view s) : s_(s) {}

    bool Digits(int count, int& value) {
        if (i_ + static_cast<std::size_t>(count) > s_.size())
            return false;
        value = 0;
        for (int k = 0; k < count; ++k, ++i_) {
            if (!IsDigit(s_[i_]))
                return false;
            value = value * 10 + (s_[i_] - '0');
        }
        return true;
    }
    bool Take(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool TakeAny(std::string_view set) {
        if (i_ < s_.size() && set.find(s_[i_]) != std::string_view::npos) {
            ++i_;
            return true;
        }
        return false;
    }
    // Digits after a decimal point; true when any is not zero.
    bool Fraction(bool& present) {
        const std::size_t start = i_;
        bool nonZero = false;
        while (i_ < s_.size() && IsDigit(s_[i_]))
            nonZero |= s_[i_++] != '0';
        present = i_ > start;
        return nonZero;
    }
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    bool AtEnd() const { return i_ == s_.size(); }

  private:
    std::string_view s_;
    std::size_t i_ = 0;
};

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '+' || s.front() == '-'))
            return std::nullopt;
    }
    if (s.empty())
        return std::nullopt;
    T value{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value))
            return std::nullopt;
    }
    return value;
}

iconv_t AsIconv(void* handle) {
    return static_cast<iconv_t>(handle);
}

bool Usable(void* handle) {
    return AsIconv(handle) != reinterpret_cast<iconv_t>(-1);
}

std::size_t Utf8Length(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead < 0xE0)
        return 2;
    return lead < 0xF0 ? 3 : 4;
}

// Escapes UTF-8 text for element content; returns the bytes that became "?".
int AppendEscaped(std::string_view utf8, std::string& out) {
    int replaced = 0;
    for (const char c : utf8) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\r':
                out += "&#13;";  // a raw carriage return would read back as a line feed
                break;
            case '\t':
            case '\n':
                out += c;
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += '?';
                    ++replaced;
                } else {
                    out += c;
                }
        }
    }
    return replaced;
}

}  // namespace

// ---- times -------------------------------------------------------------------

std::optional<std::int64_t> ParseDateTime(std::string_view text) {
    DateTimeScanner in(TrimBlanks(text));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!in.Digits(4, year) || !in.Take('-') || !in.Digits(2, month) || !in.Take('-') ||
        !in.Digits(2, day) || !in.TakeAny("Tt ") || !in.Digits(2, hour) || !in.Take(':') ||
        !in.Digits(2, minute) || !in.Take(':') || !in.Digits(2, second))
        return std::nullopt;
    bool fractionNonZero = false;
    if (in.Take('.')) {
        bool present = false;
        fractionNonZero = in.Fraction(present);
        if (!present)
            return std::nullopt;
    }
    int offset = 0;
    if (in.TakeAny("Zz")) {
        // UTC
    } else if (in.Peek() == '+' || in.Peek() == '-') {
        const int sign = in.Peek() == '-' ? -1 : 1;
        in.TakeAny("+-");
        int oh = 0, om = 0;
        if (!in.Digits(2, oh))
            return std::nullopt;
        in.Take(':');
        if (!in.Digits(2, om) || oh > 14 || om > 59 || (oh == 14 && om > 0))
            return std::nullopt;
        offset = sign * (oh * 3600 + om * 60);
    }
    if (!in.AtEnd())
        return std::nullopt;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 24 || minute > 59 || second > 60)
        return std::nullopt;
    // 24:00:00 is the end of the day; a leap second counts as the next one.
    if (hour == 24 && (minute != 0 || second != 0 || fractionNonZero))
        return std::nullopt;
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
           hour * 3600 + minute * 60 + second - offset;
}

std::optional<std::uint32_t> StoreTimeOf(std::int64_t unixSeconds) {
    const std::int64_t t = unixSeconds - kUnixTimeOffset;
    if (t < 0 || t > std::int64_t{UINT32_MAX})
        return std::nullopt;
    return static_cast<std::uint32_t>(t);
}

void FormatDateTime(std::int64_t unixSeconds, char* out) {
    std::int64_t days = unixSeconds / 86400;
    std::int64_t secs = unixSeconds % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0);
    const auto put = [&out](std::int64_t v, int width) {
        for (int k = width - 1; k >= 0; --k) {
            out[k] = static_cast<char>('0' + v % 10);
            v /= 10;
        }
        out += width;
    };
    put(y, 4);
    *out++ = '-';
    put(m, 2);
    *out++ = '-';
    put(d, 2);
    *out++ = 'T';
    put(secs / 3600, 2);
    *out++ = ':';
    put(secs / 60 % 60, 2);
    *out++ = ':';
    put(secs % 60, 2);
    *out = 'Z';
}

// ---- numbers -----------------------------------------------------------------

std::optional<double> ParseDecimal(std::string_view text) {
    return ParseNumber<double>(text);
}

std::optional<float> ParseFloat(std::string_view text) {
    return ParseNumber<float>(text);
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    return ParseNumber<std::int64_t>(text);
}

char* FormatDecimal(char* out, double value) {
    return std::to_chars(out, out + kDecimalRoom, value, std::chars_format::fixed).ptr;
}

char* FormatDecimal(char* out, float value) {
    return std::to_chars(out, out + kDecimalRoom, value, std::chars_format::fixed).ptr;
}

// ---- symbols -----------------------------------------------------------------

int SymbolTableFor(int waypointType) {
    return sorvane::WaypointSymbolTable(waypointType).empty() ? 4108 : waypointType;
}

const char* SymbolName(int table, int number) {
    for (const sorvane::WaypointSymbol& s : sorvane::WaypointSymbolTable(SymbolTableFor(table)))
        if (s.number == number)
            return s.name;
    return nullptr;
}

std::optional<int> SymbolNumber(int table, std::string_view name) {
    name = TrimBlanks(name);
    const auto entries = sorvane::WaypointSymbolTable(SymbolTableFor(table));
    for (const sorvane::WaypointSymbol& s : entries)
        if (name == s.name)
            return s.number;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const sorvane::WaypointSymbol& s : entries) {
        const std::string_view n = s.name;
        if (n.size() == name.size() &&
            std::equal(n.begin(), n.end(), name.begin(),
                       [&](char a, char b) { return lower(a) == lower(b); }))
            return s.number;
    }
    return std::nullopt;
}

// ---- positions ---------------------------------------------------------------

DatumConversion::DatumConversion(const sorvane::DatumShift& shift)
    : shift_(shift),
      reversed_(sorvane::Reversed(shift)),
      identity_(shift.dA == 0 && shift.dF == 0 && shift.dX == 0 && shift.dY == 0 && shift.dZ == 0) {
}

std::optional<sorvane::GeoPosition> DatumConversion::ToStore(
    const sorvane::GeoPosition& wgs84) const {
    if (identity_)
        return wgs84;
    return sorvane::MolodenskyShift(wgs84, shift_);
}

std::optional<sorvane::GeoPosition> DatumConversion::ToWgs84(const sorvane::GeoPosition& stored,
                                                             bool hasHeight, Hint* hint) const {
    if (identity_)
        return stored;
    sorvane::GeoPosition local = stored;
    if (!hasHeight)
        local.height = 0;
    std::optional<sorvane::GeoPosition> g;
    if (hint != nullptr && hint->valid) {
        g = sorvane::GeoPosition{local.latitude - hint->shift.latitude,
                                 local.longitude - hint->shift.longitude,
                                 local.height - hint->shift.height};
    } else {
        g = sorvane::MolodenskyShift(local, reversed_);
    }
    if (!g)
        return std::nullopt;
    if (!hasHeight)
        g->height = 0;
    // The shift changes by about 1e-4 of itself over its own size, so each
    // step gains four digits: from the reversed shift (a few 1e-7 degree off)
    // two steps, from a neighbour's shift one.
    for (int step = 0; step < 6; ++step) {
        const auto f = sorvane::MolodenskyShift(*g, shift_);
        if (!f)
            return std::nullopt;
        const double dLat = local.latitude - f->latitude;
        const double dLon = local.longitude - f->longitude;
        g->latitude += dLat;
        g->longitude += dLon;
        if (hasHeight)
            g->height += local.height - f->height;
        if (std::fabs(dLat) < 1e-8 && std::fabs(dLon) < 1e-8)
            break;
    }
    if (hint != nullptr) {
        hint->valid = true;
        hint->shift = {local.latitude - g->latitude, local.longitude - g->longitude,
                       local.height - g->height};
    }
    return g;
}

// ---- texts -------------------------------------------------------------------

TextConverter::TextConverter()
    : toStore_(iconv_open("CP932", "UTF-8")), toUtf8_(iconv_open("UTF-8", "CP932")) {}

TextConverter::~TextConverter() {
    if (Usable(toStore_))
        iconv_close(AsIconv(toStore_));
    if (Usable(toUtf8_))
        iconv_close(AsIconv(toUtf8_));
}

TextConverter::StoreText TextConverter::ToStore(std::string_view utf8, std::size_t maxBytes) {
    StoreText r;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t len = Utf8Length(static_cast<unsigned char>(utf8[i]));
        if (i + len > utf8.size()) {  // the caller kept only the start of a long text
            r.cut = true;
            break;
        }
        char buf[8];
        std::size_t n = 1;
        bool replaced = false;
        if (len == 1) {
            buf[0] = utf8[i];
        } else {
            char* in = const_cast<char*>(utf8.data() + i);
            std::size_t inLeft = len;
            char* out = buf;
            std::size_t outLeft = sizeof buf;
            if (!Usable(toStore_) ||
                iconv(AsIconv(toStore_), &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) ||
                inLeft != 0) {
                buf[0] = '?';
                replaced = true;
            } else {
                n = sizeof buf - outLeft;
            }
        }
        if (r.bytes.size() + n > maxBytes) {
            r.cut = true;
            break;
        }
        r.bytes.append(buf, n);
        r.replaced += replaced ? 1 : 0;
        i += len;
    }
    return r;
}

int TextConverter::AppendXml(std::string_view cp932, std::string& out) {
    const bool ascii = std::all_of(cp932.begin(), cp932.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return AppendEscaped(cp932, out);
    std::string utf8;
    int replaced = 0;
    char* in = const_cast<char*>(cp932.data());
    std::size_t inLeft = cp932.size();
    char buf[256];
    while (inLeft > 0) {
        char* o = buf;
        std::size_t oLeft = sizeof buf;
        const bool failed = !Usable(toUtf8_) || iconv(AsIconv(toUtf8_), &in, &inLeft, &o, &oLeft) ==
                                                    static_cast<size_t>(-1);
        utf8.append(buf, static_cast<std::size_t>(o - buf));
        if (failed && (!Usable(toUtf8_) || errno != E2BIG)) {
            // No character here (or half of one at the end): one "?" per byte.
            utf8 += '?';
            ++replaced;
            ++in;
            --inLeft;
        }
    }
    return replaced + AppendEscaped(utf8, out);
}

}  // namespace tobrel::gpx
