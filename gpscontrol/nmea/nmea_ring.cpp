#include "nmea/nmea_ring.h"

#include <cstring>

namespace sorvane {

std::size_t NmeaRing::Pending() const {
    return write_ >= read_ ? write_ - read_ : kNmeaRingSize - read_ + write_;
}

std::size_t NmeaRing::FreeSpace() const {
    return write_ < read_ ? read_ - write_ : kNmeaRingSize - write_ + read_;
}

bool NmeaRing::Append(const char* bytes, std::size_t length) {
    const std::size_t n = strnlen(bytes, length);
    if (FreeSpace() <= n)
        return false;
    const std::size_t first = n < kNmeaRingSize - write_ ? n : kNmeaRingSize - write_;
    std::memcpy(bytes_ + write_, bytes, first);
    std::memcpy(bytes_, bytes + first, n - first);
    write_ = (write_ + n) % kNmeaRingSize;
    return true;
}

NmeaRing::Take NmeaRing::TakeLine(char (&line)[kNmeaLineMax]) {
    const std::size_t pending = Pending();
    if (pending == 0)
        return Take::kNone;
    std::size_t k = 0;
    bool found = false;
    while (k < pending) {
        if (bytes_[(read_ + k) % kNmeaRingSize] == '\n') {
            found = true;
            ++k;
            break;
        }
        ++k;
    }
    if (skipping_) {
        read_ = (read_ + k) % kNmeaRingSize;
        skipping_ = !found;
        return found ? Take::kDiscarded : Take::kNone;
    }
    if (!found) {
        // Without a line feed these bytes can only end as an overlong line.
        // Dropping them now keeps the ring from filling up for good.
        if (pending < kNmeaLineMax)
            return Take::kNone;
        read_ = write_;
        skipping_ = true;
        return Take::kDiscarded;
    }
    const bool keep = bytes_[read_] == '$' && k < kNmeaLineMax;
    if (keep) {
        for (std::size_t i = 0; i < k; ++i)
            line[i] = bytes_[(read_ + i) % kNmeaRingSize];
        line[k] = '\0';
    }
    read_ = (read_ + k) % kNmeaRingSize;
    return keep ? Take::kLine : Take::kDiscarded;
}

}  // namespace sorvane
