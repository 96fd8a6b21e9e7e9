#pragma once
// The receiver side of the framing: DLE, ID, size, data, checksum, DLE, ETX,
// with DLE doubled inside size, data and checksum. Kept separate from the
// control's own code so that the two sides check each other.

#include <cstdint>
#include <span>
#include <vector>

namespace gpssim {

constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kEtx = 0x03;

struct Packet {
    std::uint8_t id = 0;
    std::vector<std::uint8_t> data;
    bool operator==(const Packet&) const = default;
};

std::uint8_t Checksum(std::uint8_t id, std::span<const std::uint8_t> data);

// Wire bytes of a packet with the given checksum byte (normally Checksum()).
std::vector<std::uint8_t> EncodeFrame(std::uint8_t id, std::span<const std::uint8_t> data,
                                      std::uint8_t checksum);
inline std::vector<std::uint8_t> EncodeFrame(const Packet& p) {
    return EncodeFrame(p.id, p.data, Checksum(p.id, p.data));
}

// Splits a byte stream into packets, one byte at a time.
class FrameDecoder {
  public:
    enum class Event { kNone, kPacket, kBadPacket };

    Event Feed(std::uint8_t byte);
    // The packet of the last kPacket event.
    const Packet& packet() const { return packet_; }
    // The packet ID of the last kBadPacket event.
    std::uint8_t badId() const { return badId_; }

  private:
    enum class State { kIdle, kStart, kSize, kData, kChecksum, kEndDle, kEndEtx };
    Event Broken(std::uint8_t byte);

    State state_ = State::kIdle;
    bool escape_ = false;
    std::size_t size_ = 0;
    std::uint8_t checksum_ = 0;
    std::uint8_t badId_ = 0;
    Packet packet_;
};

}  // namespace gpssim
