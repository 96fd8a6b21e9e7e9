#include "frame.h"

namespace gpssim {

std::uint8_t Checksum(std::uint8_t id, std::span<const std::uint8_t> data) {
    std::uint8_t sum = static_cast<std::uint8_t>(id + data.size());
    for (std::uint8_t b : data)
        sum = static_cast<std::uint8_t>(sum + b);
    return static_cast<std::uint8_t>(0x100 - sum);
}

std::vector<std::uint8_t> EncodeFrame(std::uint8_t id, std::span<const std::uint8_t> data,
                                      std::uint8_t checksum) {
    std::vector<std::uint8_t> out;
    out.reserve(2 * data.size() + 8);
    const auto stuffed = [&out](std::uint8_t b) {
        out.push_back(b);
        if (b == kDle)
            out.push_back(kDle);
    };
    out.push_back(kDle);
    out.push_back(id);
    stuffed(static_cast<std::uint8_t>(data.size()));
    for (std::uint8_t b : data)
        stuffed(b);
    stuffed(checksum);
    out.push_back(kDle);
    out.push_back(kEtx);
    return out;
}

FrameDecoder::Event FrameDecoder::Broken(std::uint8_t byte) {
    // The frame ends here; the DLE before this byte may begin the next one.
    badId_ = packet_.id;
    escape_ = false;
    if (byte == kEtx) {
        state_ = State::kIdle;
    } else if (byte == kDle) {
        state_ = State::kStart;
    } else {
        packet_.id = byte;
        packet_.data.clear();
        state_ = State::kSize;
    }
    return Event::kBadPacket;
}

FrameDecoder::Event FrameDecoder::Feed(std::uint8_t byte) {
    switch (state_) {
        case State::kIdle:
            if (byte == kDle)
                state_ = State::kStart;
            return Event::kNone;
        case State::kStart:
            if (byte == kDle || byte == kEtx) {
                state_ = byte == kDle ? State::kStart : State::kIdle;
                return Event::kNone;
            }
            packet_.id = byte;
            packet_.data.clear();
            escape_ = false;
            state_ = State::kSize;
            return Event::kNone;
        case State::kEndDle:
            if (byte != kDle) {
                badId_ = packet_.id;
                state_ = State::kIdle;
                return Event::kBadPacket;
            }
            state_ = State::kEndEtx;
            return Event::kNone;
        case State::kEndEtx:
            if (byte != kEtx)
                return Broken(byte);
            state_ = State::kIdle;
            if (Checksum(packet_.id, packet_.data) == checksum_)
                return Event::kPacket;
            badId_ = packet_.id;
            return Event::kBadPacket;
        default:
            break;
    }

    // Size, data and checksum carry doubled DLEs.
    if (escape_) {
        escape_ = false;
        if (byte != kDle)
            return Broken(byte);
    } else if (byte == kDle) {
        escape_ = true;
        return Event::kNone;
    }
    switch (state_) {
        case State::kSize:
            size_ = byte;
            state_ = size_ == 0 ? State::kChecksum : State::kData;
            break;
        case State::kData:
            packet_.data.push_back(byte);
            if (packet_.data.size() == size_)
                state_ = State::kChecksum;
            break;
        case State::kChecksum:
            checksum_ = byte;
            state_ = State::kEndDle;
            break;
        default:
            break;
    }
    return Event::kNone;
}

}  // namespace gpssim
