#pragma once
// The encodings GPX files share with the store: times, decimal numbers,
// altitudes, symbol names, positions and texts. Used by the GPX reader and
// writer; small enough to be tested one by one.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "geodesy/molodensky.h"

namespace tobrel::gpx {

// ---- times -------------------------------------------------------------------

// Seconds since 1970-01-01 of an XML date and time such as
// "2021-09-01T12:34:56.75+09:00": a time without a zone is UTC, fractions of a
// second are dropped, surrounding blanks are allowed. nullopt when the text is
// no valid date and time.
std::optional<std::int64_t> ParseDateTime(std::string_view text);

// The store's time (seconds since 1989-12-31) of a Unix time; nullopt outside
// what 32 unsigned bits hold. 0 is the store's "no time".
std::optional<std::uint32_t> StoreTimeOf(std::int64_t unixSeconds);

// "YYYY-MM-DDThh:mm:ssZ" (20 characters, no terminator) for years 0 to 9999.
constexpr std::size_t kDateTimeLength = 20;
void FormatDateTime(std::int64_t unixSeconds, char* out);

// ---- numbers -----------------------------------------------------------------

// The whole text (surrounding blanks and a leading "+" allowed) as a finite
// number; nullopt for anything else, such as "35,5", "nan" or "12 m".
std::optional<double> ParseDecimal(std::string_view text);
std::optional<float> ParseFloat(std::string_view text);
std::optional<std::int64_t> ParseInteger(std::string_view text);

// The shortest digits that read back as the same value, without an exponent
// (XML decimals have none). `out` needs kDecimalRoom bytes; returns the end.
constexpr std::size_t kDecimalRoom = 400;
char* FormatDecimal(char* out, double value);
char* FormatDecimal(char* out, float value);

// ---- altitudes ---------------------------------------------------------------

// False for the store's "no altitude" values and for anything outside what a
// receiver can hold.
inline bool HasAltitude(double altitude) {
    return altitude > -9999.0 && altitude < 1.0e24;
}

// ---- symbols -----------------------------------------------------------------

// The symbol table used for a record type: its own, or the long table for a
// type that has none.
int SymbolTableFor(int waypointType);
// The table's name of the number; nullptr when the table has no entry for it.
const char* SymbolName(int table, int number);
// The table's number of a name, matched exactly or else ignoring ASCII
// letter case; nullopt when no entry has that name.
std::optional<int> SymbolNumber(int table, std::string_view name);

// ---- positions ---------------------------------------------------------------

// Positions between WGS 84 and the store's datum. Reading uses the shared
// shift as the GPS control does; writing finds the WGS 84 position that this
// shift takes to the stored one (to about 1e-12 degree), so a file written and
// read again gives back the stored numbers, where a single reversed shift is
// off by up to a few 1e-7 degree.
class DatumConversion {
  public:
    // The shift found for the previous position: along a track it is a guess
    // good to about 1e-9 degree, which saves two of the three shifts a
    // position otherwise takes.
    struct Hint {
        bool valid = false;
        sorvane::GeoPosition shift;  // stored minus WGS 84
    };

    explicit DatumConversion(const sorvane::DatumShift& shift);

    bool IsIdentity() const { return identity_; }
    // A position without an altitude converts at WGS 84 height 0.
    std::optional<sorvane::GeoPosition> ToStore(const sorvane::GeoPosition& wgs84) const;
    // Without `hasHeight` the stored height is ignored and the result's height
    // is 0: the inverse of ToStore for a position without an altitude.
    std::optional<sorvane::GeoPosition> ToWgs84(const sorvane::GeoPosition& stored, bool hasHeight,
                                                Hint* hint = nullptr) const;

  private:
    sorvane::DatumShift shift_;
    sorvane::DatumShift reversed_;
    bool identity_;
};

// ---- texts -------------------------------------------------------------------

// UTF-8 to code page 932 and back, one converter per direction for a whole
// file. Not copyable.
class TextConverter {
  public:
    TextConverter();
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    struct StoreText {
        std::string bytes;  // code page 932, at most the limit
        int replaced = 0;   // characters without a code page 932 form, now "?"
        bool cut = false;   // characters left out at the limit
    };
    // Valid UTF-8 to at most maxBytes code page 932 bytes, cut between characters.
    StoreText ToStore(std::string_view utf8, std::size_t maxBytes);

    // A store text as XML character data: converted to UTF-8 and escaped.
    // Returns the number of bytes that became "?" (no code page 932
    // character, or a control character XML cannot hold).
    int AppendXml(std::string_view cp932, std::string& out);

  private:
    void* toStore_;  // iconv handles
    void* toUtf8_;
};

}  // namespace tobrel::gpx
