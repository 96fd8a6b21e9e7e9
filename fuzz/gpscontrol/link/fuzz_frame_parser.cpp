// Frame parser and packet receive over arbitrary line bytes: never a read or
// write outside the slot, never a packet that does not add up.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "link/packet.h"

namespace {

class BytesLine : public sorvane::ByteStream {
  public:
    BytesLine(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint16_t ReadByte() override {
        return pos_ < size_ ? data_[pos_++] : sorvane::kReadTimeout;
    }
    std::int32_t Write(const std::uint8_t*, std::size_t count) override {
        return static_cast<std::int32_t>(count);
    }
    bool done() const { return pos_ >= size_; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint8_t slot[sorvane::kPacketSlotSize];
    std::span<const std::uint8_t> rest(data, size);
    while (!rest.empty()) {
        const sorvane::FrameResult r = sorvane::ParseFrame(rest, slot);
        if (r.status == sorvane::FrameStatus::kIncomplete)
            break;
        if (r.consumed == 0 || r.consumed > rest.size())
            std::abort();
        if (r.status == sorvane::FrameStatus::kGood &&
            sorvane::PacketChecksum(slot, r.dataSize + 6) != slot[r.dataSize + 3]) {
            std::abort();
        }
        rest = rest.subspan(r.consumed);
    }

    BytesLine line(data, size);
    while (!line.done()) {
        const int n = sorvane::ReceivePacket(line, slot);
        if (n == 0)
            continue;
        if (n < 6 || n > 256 || n != slot[2] + 6)
            std::abort();
    }
    return 0;
}
