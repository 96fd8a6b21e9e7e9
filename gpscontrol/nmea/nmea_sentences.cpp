#include "nmea/nmea_sentences.h"

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>

#include "geodesy/decimal_prefix.h"
#include "text/numbers.h"

namespace sorvane {

namespace {

constexpr double kKnotsToKmh = 1.852;
constexpr double kMinutesToDegrees = 0.016666666666666666;
constexpr double kNoAltitude = -9999.0;

// atof with a decimal point whatever locale the host process has chosen.
double AtoF(const char* s) {
    return DecimalPrefix(s);
}

// atol without its undefined overflow: strtol saturates.
long AtoL(const char* s) {
    return std::strtol(s, nullptr, 10);
}

std::int32_t ClampToInt32(long v) {
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// atol of the two characters at pos (fewer when the text ends).
long Pair(std::string_view s, std::size_t pos) {
    char two[3] = {};
    for (std::size_t i = 0; i < 2 && pos + i < s.size(); ++i)
        two[i] = s[pos + i];
    return AtoL(two);
}

// Seconds since 1970 of an RMC time and date, both UTC, as far as 64 bits go.
std::optional<std::int64_t> UtcSeconds(std::string_view hhmmss, std::string_view ddmmyy) {
    std::tm t{};
    if (hhmmss.size() >= 6) {
        t.tm_hour = static_cast<int>(Pair(hhmmss, 0));
        t.tm_min = static_cast<int>(Pair(hhmmss, 2));
        t.tm_sec = static_cast<int>(Pair(hhmmss, 4));
    }
    t.tm_mday = static_cast<int>(Pair(ddmmyy, 0));
    t.tm_mon = static_cast<int>(Pair(ddmmyy, 2)) - 1;
    t.tm_year = 2000 + static_cast<int>(Pair(ddmmyy, 4)) - 1900;
    t.tm_isdst = -1;
    const std::time_t seconds = ::timegm(&t);
    if (seconds == static_cast<std::time_t>(-1))
        return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

}  // namespace

// The fields of a sentence, split at every comma as FieldSplitter splits them
// (a comma is never the second byte of a double-byte character): adjacent
// commas give an empty field, a comma at the very end starts none. The last
// field keeps the checksum and line end; the number conversions stop at them.
class NmeaSentences::Fields {
  public:
    explicit Fields(const std::string& line) {
        const std::string_view text = line;
        std::size_t start = 0;
        while (start < text.size() && count_ < kMax) {
            const std::size_t comma = text.find(',', start);
            fields_[count_++] = text.substr(start, comma - start);
            if (comma == std::string_view::npos)
                break;
            start = comma + 1;
        }
    }
    int size() const { return count_; }
    bool has(int i) const { return i < count_; }
    std::string_view operator[](int i) const { return fields_[i]; }
    // Without a checksum or line end.
    std::string_view bare(int i) const {
        return fields_[i].substr(0, fields_[i].find_first_of("*\r\n"));
    }
    // Where a number conversion starts; it stops at the next comma.
    const char* at(int i) const { return fields_[i].data(); }

  private:
    // More than any of the four sentences has.
    static constexpr int kMax = 48;
    std::string_view fields_[kMax];
    int count_ = 0;
};

std::atomic<bool>& NmeaSeenRmcFlag() {
    static std::atomic<bool> seen{false};
    return seen;
}

NmeaChecksum CheckNmeaChecksum(std::string_view line) {
    const std::size_t star = line.find('*', 1);
    if (star == std::string_view::npos || star + 2 >= line.size())
        return NmeaChecksum::kAbsent;
    const int hi = HexDigitValue(line[star + 1]);
    const int lo = HexDigitValue(line[star + 2]);
    if (hi < 0 || lo < 0)
        return NmeaChecksum::kAbsent;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    return sum == static_cast<unsigned>(hi * 16 + lo) ? NmeaChecksum::kGood : NmeaChecksum::kBad;
}

double NmeaDegrees(const char* field) {
    const double x = AtoF(field);
    const double d = std::trunc(x * 0.01);
    return (x - 100.0 * d) * kMinutesToDegrees + d;
}

std::int32_t NmeaRmcTime(std::string_view hhmmss, std::string_view ddmmyy) {
    const std::optional<std::int64_t> seconds = UtcSeconds(hhmmss, ddmmyy);
    if (!seconds || *seconds > std::numeric_limits<std::int32_t>::max() ||
        *seconds < std::numeric_limits<std::int32_t>::min()) {
        return kNmeaTimeOutOfRange;
    }
    return static_cast<std::int32_t>(*seconds);
}

NmeaSentences::NmeaSentences(NmeaHandler handler, std::atomic<bool>* seenRmc)
    : handler_(std::move(handler)), seenRmc_(seenRmc) {}

NmeaTake NmeaSentences::Take(std::string_view line) {
    // A maker's own sentence: "$P" and the maker's letters, whatever follows.
    if (line.size() >= 3 && line[0] == '$' && line[1] == 'P' && IsUpper(line[2])) {
        return CheckNmeaChecksum(line) == NmeaChecksum::kBad ? NmeaTake::kBadChecksum
                                                             : NmeaTake::kOther;
    }
    // "$", a talker of two letters and a type of three.
    if (line.size() < 6 || line[0] != '$' || !IsUpper(line[1]) || !IsUpper(line[2]))
        return NmeaTake::kNotSentence;
    for (std::size_t i = 3; i < 6; ++i) {
        if (!IsUpper(line[i]) && !(line[i] >= '0' && line[i] <= '9'))
            return NmeaTake::kNotSentence;
    }
    if (CheckNmeaChecksum(line) == NmeaChecksum::kBad)
        return NmeaTake::kBadChecksum;
    const std::string_view talker = line.substr(1, 2);
    const std::string_view type = line.substr(3, 3);
    void (NmeaSentences::*parse)(const Fields&, std::string_view) = nullptr;
    if (type == "RMC") {
        parse = &NmeaSentences::Rmc;
    } else if (type == "GGA") {
        parse = &NmeaSentences::Gga;
    } else if (type == "GSV") {
        parse = &NmeaSentences::Gsv;
    } else if (type == "GSA") {
        parse = &NmeaSentences::Gsa;
    } else {
        return NmeaTake::kOther;
    }
    line_.assign(line);
    const Fields fields(line_);
    (this->*parse)(fields, talker);
    return NmeaTake::kParsed;
}

void NmeaSentences::Flush() {
    if (pending_ && handler_)
        handler_(CycleFix(FixKind::kLast));
    pending_ = false;
}

NmeaFix NmeaSentences::Current() const {
    NmeaFix fix;
    fix.valid = static_cast<std::int16_t>(valid_);
    fix.latitude = latitude_;
    fix.longitude = longitude_;
    fix.altitude = altitude_;
    fix.time = time_;
    fix.speed = speed_;
    fix.course = static_cast<std::int16_t>(course_);
    fix.utc = utc_;
    fix.courseOverGround = courseOverGround_;
    fix.mode = mode_;
    if (haveGga_) {
        fix.quality = gga_.quality;
        fix.satellitesUsed = gga_.satellitesUsed;
        fix.hdop = gga_.hdop;
        fix.fixAltitude = gga_.altitude;
    }
    if (fix.hdop == 0.0)
        fix.hdop = gsaHdop_;
    return fix;
}

// The cycle the last RMC opened, with the GGA of its own time where one came
// (receivers send the GGA before or after the RMC).
NmeaFix NmeaSentences::CycleFix(FixKind kind) const {
    NmeaFix fix = Current();
    fix.kind = kind;
    if (haveGga_ && gga_.time != rmcTime_ && havePreviousGga_ && previousGga_.time == rmcTime_) {
        fix.quality = previousGga_.quality;
        fix.satellitesUsed = previousGga_.satellitesUsed;
        fix.hdop = previousGga_.hdop != 0.0 ? previousGga_.hdop : gsaHdop_;
        fix.fixAltitude = previousGga_.altitude;
    }
    return fix;
}

void NmeaSentences::Rmc(const Fields& f, std::string_view talker) {
    const std::string_view time = f.has(1) ? f.bare(1) : std::string_view();
    const std::string_view date = f.has(9) ? f.bare(9) : std::string_view();
    if (haveRmc_ && talker != rmcTalker_ && time == rmcTime_ && date == rmcDate_) {
        // The same fix from another talker raises no second event. The
        // combined solution ($GN) wins, and a valid fix over a void one.
        const bool valid =
            f.has(2) && f[2].starts_with('A') && !(f.has(12) && f.bare(12).starts_with('N'));
        if (talker == "GN" || (valid_ == 0 && valid))
            ParseRmc(f);
        rmcTalker_ = talker;
        return;
    }

    // The event reports the cycle that this sentence closes.
    if (seenRmc_->load() && handler_)
        handler_(CycleFix(pending_ ? FixKind::kCycle : FixKind::kStale));
    ParseRmc(f);
    pending_ = true;
    haveRmc_ = true;
    rmcTalker_ = talker;
    rmcTime_ = time;
    rmcDate_ = date;
    seenRmc_->store(true);
}

void NmeaSentences::ParseRmc(const Fields& f) {
    valid_ = 0;
    if (!f.has(0) || f[0].empty())
        return;
    latitude_ = longitude_ = speed_ = courseOverGround_ = 0.0;
    course_ = 0;

    if (!f.has(1))
        return;
    const std::string_view time = f[1].size() >= 6 ? f[1].substr(0, 8) : std::string_view();
    if (!f.has(2))
        return;
    valid_ = f[2].starts_with('A') ? 1 : 0;
    if (!f.has(3))
        return;
    if (!f[3].empty())
        latitude_ = NmeaDegrees(f.at(3));
    if (!f.has(4))
        return;
    if (f[4].starts_with('S'))
        latitude_ = -latitude_;
    if (!f.has(5))
        return;
    if (!f[5].empty())
        longitude_ = NmeaDegrees(f.at(5));
    if (!f.has(6))
        return;
    if (f[6].starts_with('W'))
        longitude_ = -longitude_;
    if (!f.has(7))
        return;
    if (!f[7].empty())
        speed_ = AtoF(f.at(7)) * kKnotsToKmh;
    if (!f.has(8))
        return;
    if (!f[8].empty()) {
        courseOverGround_ = AtoF(f.at(8));
        course_ = TruncToInt32(courseOverGround_);
    }
    if (!f.has(9))
        return;
    if (f[9].size() >= 6) {
        time_ = NmeaRmcTime(time, f[9]);
        const std::optional<std::int64_t> seconds = UtcSeconds(time, f[9]);
        const double hhmmss = time.empty() ? 0.0 : AtoF(f.at(1));
        utc_ = seconds ? static_cast<double>(*seconds) + (hhmmss - std::floor(hhmmss)) : 0.0;
    }
    // NMEA 2.3 and later: mode "N" is no fix, whatever the status says.
    if (f.has(12) && f.bare(12).starts_with('N'))
        valid_ = 0;
}

void NmeaSentences::Gga(const Fields& f, std::string_view talker) {
    const std::string_view time = f.has(1) ? f.bare(1) : std::string_view();
    // The same fix from another talker: the combined solution ($GN) wins.
    if (haveGga_ && talker != ggaTalker_ && time == gga_.time && talker != "GN")
        return;
    altitude_ = kNoAltitude;
    GgaValues g;
    g.time = time;
    [&] {
        if (!f.has(6))
            return;
        g.quality = ClampToInt32(AtoL(f.at(6)));
        if (!f.has(7))
            return;
        g.satellitesUsed = f.bare(7).empty() ? -1 : ClampToInt32(AtoL(f.at(7)));
        if (!f.has(8))
            return;
        g.hdop = AtoF(f.at(8));
        if (!f.has(9))
            return;
        altitude_ = AtoF(f.at(9));
        g.altitude = altitude_;
    }();
    if (!(haveGga_ && gga_.time == g.time)) {
        previousGga_ = std::move(gga_);
        havePreviousGga_ = haveGga_;
    }
    gga_ = std::move(g);
    haveGga_ = true;
    ggaTalker_ = talker;
}

void NmeaSentences::Gsa(const Fields& f, std::string_view talker) {
    long mode = 0;
    if (f.has(2)) {
        mode = AtoL(f.at(2));
        if (mode >= 1 && mode <= 3)
            mode_ = static_cast<std::int32_t>(mode);
    }
    std::int16_t used[12];
    std::size_t n = 0;
    long first = 0;
    for (int i = 3; i <= 14 && f.has(i); ++i) {
        const long prn = f.bare(i).empty() ? 0 : AtoL(f.at(i));
        if (prn <= 0 || prn > std::numeric_limits<std::int16_t>::max())
            continue;
        used[n++] = static_cast<std::int16_t>(prn);
        if (first == 0)
            first = prn;
    }
    if (f.has(16) && !f.bare(16).empty())
        gsaHdop_ = AtoF(f.at(16));
    // The system: NMEA 4.10 names it, else the talker, else the numbers (an
    // SBAS or QZSS number in a combined GSA goes with GPS).
    Constellation c = Constellation::kUnknown;
    if (f.has(18) && !f.bare(18).empty())
        c = ConstellationOfSystemId(AtoL(f.at(18)));
    if (c == Constellation::kUnknown)
        c = ConstellationOfTalker(talker);
    if (c == Constellation::kUnknown && first != 0) {
        c = ConstellationOfPrn(first);
        if (c == Constellation::kSbas || c == Constellation::kQzss)
            c = Constellation::kGps;
    }
    sky_.ApplyGsa(c, std::span<const std::int16_t>(used, n), mode == 1);
}

void NmeaSentences::Gsv(const Fields& f, std::string_view talker) {
    if (!f.has(3))
        return;
    GsvMessage m;
    m.talker = talker;
    m.total = AtoL(f.at(1));
    m.number = AtoL(f.at(2));
    m.inView = AtoL(f.at(3));
    int n = f.size();
    // NMEA 4.10 ends the message with a signal ID, one hex digit, after the
    // satellites' groups of four.
    if (n >= 5 && (n - 4) % 4 == 1) {
        const std::string_view last = f.bare(n - 1);
        if (last.size() == 1 && HexDigitValue(last[0]) >= 0) {
            m.signal = static_cast<std::uint8_t>(HexDigitValue(last[0]));
            --n;
        }
    }
    for (int s = 0; s < 4; ++s) {
        const int base = 4 + 4 * s;
        if (base >= n)
            break;
        const int fields = n - base < 4 ? n - base : 4;
        std::int16_t values[4] = {};
        for (int k = 0; k < fields; ++k)
            values[k] = static_cast<std::int16_t>(AtoL(f.at(base + k)));
        m.satellites[s] = SatelliteEntry{values[0], values[1], values[2], values[3]};
        m.count = s + 1;
        m.lastFields = fields;
    }
    if (sky_.ApplyGsv(m) && onSatellites_)
        onSatellites_();
}

}  // namespace sorvane
