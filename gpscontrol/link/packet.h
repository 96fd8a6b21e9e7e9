#pragma once
// Framing of single packets: DLE, ID, size, data, checksum, DLE, ETX, with
// every DLE in size, data and checksum doubled on the wire.

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/byte_stream.h"

namespace sorvane {

constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kEtx = 0x03;

constexpr std::uint8_t kPidAck = 6;
constexpr std::uint8_t kPidCommand = 10;
constexpr std::uint8_t kPidTransferComplete = 12;
constexpr std::uint8_t kPidNak = 21;
constexpr std::uint8_t kPidRecords = 27;
constexpr std::uint8_t kPidRouteHeader = 29;
constexpr std::uint8_t kPidRouteWaypoint = 30;
constexpr std::uint8_t kPidTrackPoint = 34;
constexpr std::uint8_t kPidWaypoint = 35;
constexpr std::uint8_t kPidRouteLink = 98;
constexpr std::uint8_t kPidTrackHeader = 99;
constexpr std::uint8_t kPidCapabilities = 253;
constexpr std::uint8_t kPidProductRequest = 254;
constexpr std::uint8_t kPidProductData = 255;

// A receive slot holds one unstuffed packet of up to kMaxDataSize data bytes.
constexpr std::size_t kPacketSlotSize = 256;
constexpr std::size_t kMaxDataSize = kPacketSlotSize - 6;
// Bad frames answered with a negative acknowledgement before a receive gives up.
constexpr int kMaxNakRetries = 3;
// Times a packet the receiver rejects is sent again before the sender gives up.
constexpr int kMaxResends = 3;
// The error code of an exchange whose packet the receiver kept rejecting.
constexpr int kRejectedError = EPROTO;
// Bytes that start no frame tolerated in one receive (a line streaming text).
constexpr std::size_t kMaxGarbageBytes = 4096;

// The checksum of an unstuffed packet of the given length: the two's
// complement of the sum of the bytes from the ID to the last data byte.
std::uint8_t PacketChecksum(const std::uint8_t* packet, std::size_t length);

// A complete unstuffed packet with its checksum filled in.
std::vector<std::uint8_t> BuildPacket(std::uint8_t id, std::span<const std::uint8_t> data);
// The 8-byte packets with two data bytes: acknowledgement, command, records,
// transfer complete, negative acknowledgement.
std::array<std::uint8_t, 8> BuildTwoBytePacket(std::uint8_t id, std::uint8_t b0, std::uint8_t b1);
std::array<std::uint8_t, 8> BuildAckPacket(std::uint8_t ackedId);
std::array<std::uint8_t, 8> BuildNakPacket(std::uint8_t rejectedId);

// The wire bytes of an unstuffed packet (its checksum byte is taken as it is).
// Empty for a length below 6.
std::vector<std::uint8_t> StuffFrame(const std::uint8_t* packet, std::size_t length);

enum class FrameStatus {
    kGood,         // a whole frame with a correct checksum
    kBadChecksum,  // a whole frame whose checksum does not add up
    kBadFraming,   // a broken frame: wrong stuffing, no DLE ETX, or more than 250 data bytes
    kGarbage,      // bytes before the next frame start, to be dropped
    kIncomplete,   // the bytes end inside a frame; feed more and parse again
};

struct FrameResult {
    FrameStatus status = FrameStatus::kIncomplete;
    // Bytes of the input this result accounts for (0 when incomplete).
    std::size_t consumed = 0;
    // For frames: the packet ID and the declared number of data bytes.
    std::uint8_t id = 0;
    std::size_t dataSize = 0;
};

// Takes one frame or one run of garbage off the front of bytes. A good frame
// (and a bad-checksum one) is written unstuffed to out, N + 6 bytes; a frame
// with more data than a slot holds is read to its end and reported as bad
// framing without writing past the slot.
FrameResult ParseFrame(std::span<const std::uint8_t> bytes, std::uint8_t (&out)[kPacketSlotSize]);

// Computes the checksum into buffer[length - 3] and sends the stuffed frame in
// one write. The count written, or -1 when nothing was sent. Every frame the
// control sends goes through here, so that none escapes the stuffing.
std::int32_t SendPacket(ByteStream& port, std::uint8_t* buffer, std::size_t length);
// The acknowledgement of a received packet, and the negative one of a bad frame.
std::int32_t SendAck(ByteStream& port, std::uint8_t ackedId);
std::int32_t SendNak(ByteStream& port, std::uint8_t rejectedId);

// Waiting for the first byte with the line's own budget.
constexpr int kLineBudget = -1;

// Receives one packet into buffer (unstuffed) and returns its length N + 6, or
// 0 when a byte did not arrive in time. Garbage before a frame is skipped; a
// bad frame is answered with a negative acknowledgement and received again,
// at most kMaxNakRetries times, after which the receive fails like a time-out.
// firstByteWaitMs replaces the line's budget for the wait for the first byte.
int ReceivePacket(ByteStream& port, std::uint8_t (&buffer)[kPacketSlotSize],
                  int firstByteWaitMs = kLineBudget);

// What the receiver made of a packet sent to it.
enum class Answer {
    kAcknowledged,  // some packet came back; as in the protocol its ID is not examined
    kRejected,      // every try was answered with a negative acknowledgement
    kNone,          // nothing came in time
};

// Sends the packet and takes the receiver's answer into slot. A negative
// acknowledgement (ID 21) makes it send the packet again, at most kMaxResends
// times; any other packet counts as the acknowledgement.
Answer SendAndWait(ByteStream& port, std::uint8_t* packet, std::size_t length,
                   std::uint8_t (&slot)[kPacketSlotSize]);

// The data field of an unstuffed packet of the given length.
inline std::span<const std::uint8_t> PacketData(const std::uint8_t* packet, std::size_t length) {
    if (length < 6)
        return {};
    const std::size_t n = packet[2];
    return {packet + 3, n + 6 <= length ? n : length - 6};
}

}  // namespace sorvane
