#include "nmea/nmea_sentences.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>

#include "geodesy/decimal_prefix.h"
#include "geodesy/field_splitter.h"
#include "text/numbers.h"

namespace sorvane {

namespace {

constexpr double kKnotsToKmh = 1.852;
constexpr double kMinutesToDegrees = 0.016666666666666666;

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

}  // namespace

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
    // The receiver's date and time are UTC.
    const std::time_t seconds = ::timegm(&t);
    if (seconds == static_cast<std::time_t>(-1) ||
        seconds > std::numeric_limits<std::int32_t>::max() ||
        seconds < std::numeric_limits<std::int32_t>::min()) {
        return kNmeaTimeOutOfRange;
    }
    return static_cast<std::int32_t>(seconds);
}

NmeaSentences::NmeaSentences(NmeaHandler handler, std::atomic<bool>* seenRmc)
    : handler_(std::move(handler)), seenRmc_(seenRmc) {}

bool NmeaSentences::Dispatch(std::string_view line) {
    if (line.size() < 6)
        return false;
    const std::string_view name = line.substr(0, 6);
    void (NmeaSentences::*parse)(std::string_view) = nullptr;
    bool gsa = false;
    if (name == "$GPRMC") {
        parse = &NmeaSentences::Rmc;
    } else if (name == "$GPGGA") {
        parse = &NmeaSentences::Gga;
    } else if (name == "$GPGSV") {
        parse = &NmeaSentences::Gsv;
    } else if (name == "$GPGSA") {
        gsa = true;
    } else {
        return false;
    }
    if (CheckNmeaChecksum(line) == NmeaChecksum::kBad)
        return false;
    if (gsa) {
        Gsa();
    } else {
        (this->*parse)(line);
    }
    return true;
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
    return fix;
}

void NmeaSentences::Rmc(std::string_view line) {
    // The event reports the cycle that this sentence closes.
    if (seenRmc_->load() && handler_)
        handler_(Current());

    [&] {
        valid_ = 0;
        FieldSplitter f(line, ",");
        const char* t = f.next();
        if (t == nullptr || t[0] == '\0')
            return;
        latitude_ = longitude_ = speed_ = 0.0;
        course_ = 0;

        char time[9] = {};
        if ((t = f.next()) == nullptr)
            return;
        if (std::strlen(t) >= 6)
            std::strncpy(time, t, 8);
        if ((t = f.next()) == nullptr)
            return;
        valid_ = t[0] == 'A' ? 1 : 0;
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] != '\0')
            latitude_ = NmeaDegrees(t);
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] == 'S')
            latitude_ = -latitude_;
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] != '\0')
            longitude_ = NmeaDegrees(t);
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] == 'W')
            longitude_ = -longitude_;
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] != '\0')
            speed_ = AtoF(t) * kKnotsToKmh;
        if ((t = f.next()) == nullptr)
            return;
        if (t[0] != '\0')
            course_ = TruncToInt32(AtoF(t));
        if ((t = f.next()) == nullptr)
            return;
        if (std::strlen(t) >= 6)
            time_ = NmeaRmcTime(time, t);
    }();
    seenRmc_->store(true);
}

void NmeaSentences::Gga(std::string_view line) {
    altitude_ = -9999.0;
    FieldSplitter f(line, ",");
    const char* t = nullptr;
    for (int i = 0; i <= 9; ++i) {
        if ((t = f.next()) == nullptr)
            return;
    }
    altitude_ = AtoF(t);
}

void NmeaSentences::Gsa() {
    std::lock_guard lock(satellitesMutex_);
    for (SatelliteEntry& e : satellites_)
        e = SatelliteEntry{};
}

void NmeaSentences::Gsv(std::string_view line) {
    FieldSplitter f(line, ",");
    // A token lives only until the next one is taken, so the header fields
    // are converted as they come.
    long header[4] = {};
    for (long& value : header) {
        const char* t = f.next();
        if (t == nullptr)
            return;
        value = AtoL(t);
    }
    std::lock_guard lock(satellitesMutex_);
    satellitesInView_ = ClampToInt32(header[3]);
    if (header[2] == 1) {
        for (SatelliteEntry& e : satellites_)
            e = SatelliteEntry{};
    }
    int at = 0;
    while (at < kSatelliteTableSize && satellites_[at].prn != 0)
        ++at;
    if (at == kSatelliteTableSize)
        at = 0;
    // Satellites that would run past the table are left out; the ones before
    // them are kept.
    for (int s = 0; s < 4 && at < kSatelliteTableSize; ++s, ++at) {
        std::int16_t* values[4] = {&satellites_[at].prn, &satellites_[at].elevation,
                                   &satellites_[at].azimuth, &satellites_[at].snr};
        for (std::int16_t* v : values) {
            const char* t = f.next();
            if (t == nullptr)
                return;
            *v = static_cast<std::int16_t>(AtoL(t));
        }
    }
}

int NmeaSentences::SatelliteCount() const {
    std::lock_guard lock(satellitesMutex_);
    return satellitesInView_;
}

bool NmeaSentences::Satellite(int n, SatelliteEntry* out) const {
    std::lock_guard lock(satellitesMutex_);
    if (n < 0 || n >= satellitesInView_ || n >= kSatelliteTableSize)
        return false;
    *out = satellites_[n];
    return true;
}

}  // namespace sorvane
