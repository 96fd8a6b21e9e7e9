#include "link/packet.h"

#include <new>

namespace sorvane {

std::uint8_t PacketChecksum(const std::uint8_t* packet, std::size_t length) {
    unsigned sum = 0;
    for (std::size_t i = 1; i + 3 < length; ++i)
        sum += packet[i];
    return static_cast<std::uint8_t>(-sum);
}

std::vector<std::uint8_t> BuildPacket(std::uint8_t id, std::span<const std::uint8_t> data) {
    if (data.size() > 255)
        return {};
    std::vector<std::uint8_t> p;
    p.reserve(data.size() + 6);
    p.push_back(kDle);
    p.push_back(id);
    p.push_back(static_cast<std::uint8_t>(data.size()));
    p.insert(p.end(), data.begin(), data.end());
    p.push_back(0);
    p.push_back(kDle);
    p.push_back(kEtx);
    p[p.size() - 3] = PacketChecksum(p.data(), p.size());
    return p;
}

std::array<std::uint8_t, 8> BuildTwoBytePacket(std::uint8_t id, std::uint8_t b0, std::uint8_t b1) {
    std::array<std::uint8_t, 8> p = {kDle, id, 2, b0, b1, 0, kDle, kEtx};
    p[5] = PacketChecksum(p.data(), p.size());
    return p;
}

std::array<std::uint8_t, 8> BuildAckPacket(std::uint8_t ackedId) {
    return BuildTwoBytePacket(kPidAck, ackedId, 0);
}

std::array<std::uint8_t, 8> BuildNakPacket(std::uint8_t rejectedId) {
    return BuildTwoBytePacket(kPidNak, rejectedId, 0);
}

std::vector<std::uint8_t> StuffFrame(const std::uint8_t* packet, std::size_t length) {
    std::vector<std::uint8_t> wire;
    if (length < 6)
        return wire;
    wire.reserve(2 * length);
    wire.push_back(kDle);
    wire.push_back(packet[1]);
    for (std::size_t i = 2; i <= length - 3; ++i) {
        wire.push_back(packet[i]);
        if (packet[i] == kDle)
            wire.push_back(kDle);
    }
    wire.push_back(kDle);
    wire.push_back(kEtx);
    return wire;
}

namespace {

// Reads one stuffed byte at pos. kNeedMore when the bytes end first; kBroken
// when a DLE is followed by anything but a second DLE (pos is left at it).
enum class Step { kOk, kNeedMore, kBroken };

Step NextByte(std::span<const std::uint8_t> bytes, std::size_t& pos, std::uint8_t& value) {
    if (pos >= bytes.size())
        return Step::kNeedMore;
    value = bytes[pos];
    if (value != kDle) {
        ++pos;
        return Step::kOk;
    }
    if (pos + 1 >= bytes.size())
        return Step::kNeedMore;
    if (bytes[pos + 1] != kDle)
        return Step::kBroken;
    pos += 2;
    return Step::kOk;
}

// Length of the run of bytes before the first possible frame start: a DLE
// followed by anything but DLE or ETX (no packet ID is either). A DLE at the
// very end might still start a frame, so it is kept.
std::size_t GarbageLength(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == kDle) {
            if (i + 1 >= bytes.size())
                break;
            const std::uint8_t next = bytes[i + 1];
            if (next != kDle && next != kEtx)
                break;
        }
        ++i;
    }
    return i;
}

}  // namespace

FrameResult ParseFrame(std::span<const std::uint8_t> bytes, std::uint8_t (&out)[kPacketSlotSize]) {
    FrameResult r;
    const std::size_t garbage = GarbageLength(bytes);
    if (garbage > 0) {
        r.status = FrameStatus::kGarbage;
        r.consumed = garbage;
        return r;
    }
    if (bytes.size() < 2)
        return r;

    r.id = bytes[1];
    std::size_t pos = 2;
    // A stuffing error ends the frame where it stands: DLE ETX means the frame
    // was shorter than its size byte said; DLE and anything else is taken as
    // the start of the next frame, which is left in the input.
    const auto broken = [&](std::size_t at) {
        r.status = FrameStatus::kBadFraming;
        r.consumed = bytes[at + 1] == kEtx ? at + 2 : at;
        return r;
    };

    std::uint8_t size = 0;
    Step s = NextByte(bytes, pos, size);
    if (s == Step::kNeedMore)
        return r;
    if (s == Step::kBroken)
        return broken(pos);
    r.dataSize = size;
    const bool fits = size <= kMaxDataSize;
    unsigned sum = r.id + size;
    for (std::size_t k = 0; k < size; ++k) {
        std::uint8_t v = 0;
        s = NextByte(bytes, pos, v);
        if (s == Step::kNeedMore)
            return r;
        if (s == Step::kBroken)
            return broken(pos);
        if (fits)
            out[3 + k] = v;
        sum += v;
    }
    std::uint8_t checksum = 0;
    s = NextByte(bytes, pos, checksum);
    if (s == Step::kNeedMore)
        return r;
    if (s == Step::kBroken)
        return broken(pos);
    sum += checksum;

    if (pos >= bytes.size())
        return r;
    if (bytes[pos] != kDle) {
        r.status = FrameStatus::kBadFraming;
        r.consumed = pos;
        return r;
    }
    if (pos + 1 >= bytes.size())
        return r;
    if (bytes[pos + 1] != kEtx) {
        r.status = FrameStatus::kBadFraming;
        r.consumed = pos;
        return r;
    }
    r.consumed = pos + 2;
    if (!fits) {
        r.status = FrameStatus::kBadFraming;
        return r;
    }
    out[0] = kDle;
    out[1] = r.id;
    out[2] = size;
    out[3 + size] = checksum;
    out[4 + size] = kDle;
    out[5 + size] = kEtx;
    r.status = (sum & 0xFF) == 0 ? FrameStatus::kGood : FrameStatus::kBadChecksum;
    return r;
}

std::int32_t SendPacket(ByteStream& port, std::uint8_t* buffer, std::size_t length) {
    if (length < 6)
        return -1;
    buffer[length - 3] = PacketChecksum(buffer, length);
    try {
        const std::vector<std::uint8_t> wire = StuffFrame(buffer, length);
        return port.Write(wire.data(), wire.size());
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

std::int32_t SendAck(ByteStream& port, std::uint8_t ackedId) {
    auto ack = BuildAckPacket(ackedId);
    return SendPacket(port, ack.data(), ack.size());
}

std::int32_t SendNak(ByteStream& port, std::uint8_t rejectedId) {
    auto nak = BuildNakPacket(rejectedId);
    return SendPacket(port, nak.data(), nak.size());
}

int ReceivePacket(ByteStream& port, std::uint8_t (&buffer)[kPacketSlotSize], int firstByteWaitMs) {
    // Bytes of the frame in progress; a frame is at most 2 + 2 * 257 + 2 bytes.
    std::uint8_t pending[2 * kPacketSlotSize + 8];
    std::size_t have = 0;
    std::size_t garbage = 0;
    int badFrames = 0;
    for (;;) {
        const FrameResult r = ParseFrame({pending, have}, buffer);
        switch (r.status) {
            case FrameStatus::kIncomplete: {
                if (have == sizeof pending)
                    return 0;  // cannot happen: frames are shorter
                const bool first = have == 0 && garbage == 0 && badFrames == 0;
                const std::uint16_t b = first && firstByteWaitMs != kLineBudget
                                            ? port.ReadByteWithin(firstByteWaitMs)
                                            : port.ReadByte();
                if (b == kReadTimeout)
                    return 0;
                pending[have++] = static_cast<std::uint8_t>(b);
                continue;
            }
            case FrameStatus::kGood:
                return static_cast<int>(r.dataSize + 6);
            case FrameStatus::kGarbage:
                garbage += r.consumed;
                if (garbage > kMaxGarbageBytes)
                    return 0;
                break;
            case FrameStatus::kBadChecksum:
            case FrameStatus::kBadFraming: {
                if (++badFrames > kMaxNakRetries)
                    return 0;
                SendNak(port, r.id);
                break;
            }
        }
        // Drop what was accounted for and keep the rest for the next parse.
        for (std::size_t i = r.consumed; i < have; ++i)
            pending[i - r.consumed] = pending[i];
        have -= r.consumed;
    }
}

Answer SendAndWait(ByteStream& port, std::uint8_t* packet, std::size_t length,
                   std::uint8_t (&slot)[kPacketSlotSize]) {
    for (int resends = 0;; ++resends) {
        SendPacket(port, packet, length);
        const int n = ReceivePacket(port, slot);
        if (n == 0)
            return Answer::kNone;
        if (slot[1] != kPidNak)
            return Answer::kAcknowledged;
        if (resends == kMaxResends)
            return Answer::kRejected;
    }
}

}  // namespace sorvane
