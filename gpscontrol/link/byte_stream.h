#pragma once
// The two operations the packet layer needs from a line. SerialPort is the
// real one; tests put scripted streams behind the same interface.

#include <cstddef>
#include <cstdint>

namespace sorvane {

constexpr std::uint16_t kReadTimeout = 0xFFFF;

class ByteStream {
  public:
    virtual ~ByteStream() = default;
    // The next byte (0..255), or kReadTimeout when none arrived in time.
    virtual std::uint16_t ReadByte() = 0;
    // The same with a wait of its own instead of the line's byte budget.
    virtual std::uint16_t ReadByteWithin(int waitMs) {
        (void)waitMs;
        return ReadByte();
    }
    // Writes the whole block; the count written, or -1 when nothing could be.
    virtual std::int32_t Write(const std::uint8_t* bytes, std::size_t count) = 0;
};

}  // namespace sorvane
