#pragma once
// The NMEA receiver's byte ring and the cutting of its stream into lines.

#include <cstddef>

namespace sorvane {

constexpr std::size_t kNmeaRingSize = 2048;
// Size of a line buffer: a line of this many bytes or more (CR LF included)
// is thrown away, so a kept line has at most 127 bytes and its terminator.
constexpr std::size_t kNmeaLineMax = 128;

class NmeaRing {
  public:
    enum class Take {
        kNone,       // no complete line waiting
        kDiscarded,  // a line (or the start of one) was thrown away; ask again
        kLine,       // a line was copied out
    };

    // Appends the chunk up to its first NUL byte. A chunk that does not fit in
    // the free space (which is always kept above zero) is dropped whole, and
    // false is returned.
    bool Append(const char* bytes, std::size_t length);

    // Takes the next line out. A line must start with '$' and be shorter than
    // kNmeaLineMax bytes; it is copied with its CR LF and a terminating NUL.
    Take TakeLine(char (&line)[kNmeaLineMax]);

    std::size_t Pending() const;
    std::size_t FreeSpace() const;

  private:
    char bytes_[kNmeaRingSize] = {};
    std::size_t read_ = 0;
    std::size_t write_ = 0;
    // The bytes up to the next line feed belong to a line already too long.
    bool skipping_ = false;
};

}  // namespace sorvane
