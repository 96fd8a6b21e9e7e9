#pragma once
// The receiver's side of the packet protocol, free of any I/O: packets from
// the host go in, packets for the host come out through a sender. Packets are
// dispatched by ID and commands by code, so that transfers can be added as
// handlers; records a receiver sends wait in a queue, each released by the
// host's acknowledgement of the one before.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "frame.h"
#include "profile.h"

namespace gpssim {

constexpr std::uint8_t kPidAck = 6;
constexpr std::uint8_t kPidCommand = 10;
constexpr std::uint8_t kPidTransferComplete = 12;
constexpr std::uint8_t kPidNak = 21;
constexpr std::uint8_t kPidRecords = 27;
constexpr std::uint8_t kPidCapabilities = 253;
constexpr std::uint8_t kPidProductRequest = 254;
constexpr std::uint8_t kPidProductData = 255;

class ReceiverEngine {
  public:
    using Sender = std::function<void(const Packet&)>;
    using PacketHandler = std::function<void(ReceiverEngine&, const Packet&)>;
    using CommandHandler = std::function<void(ReceiverEngine&, std::uint16_t code)>;

    explicit ReceiverEngine(Profile profile);

    void SetSender(Sender sender) { sender_ = std::move(sender); }
    const Profile& profile() const { return profile_; }

    // Handlers run after the packet has been acknowledged. A packet without a
    // handler is acknowledged and otherwise ignored, as receivers do.
    void SetPacketHandler(std::uint8_t id, PacketHandler handler);
    void SetCommandHandler(std::uint16_t code, CommandHandler handler);

    // Input from the line.
    void OnPacket(const Packet& p);
    void OnBadPacket(std::uint8_t id);

    // Sends at once (acknowledgements and other unacknowledged packets).
    void SendNow(const Packet& p);
    // Queues a packet that the host acknowledges; it goes out when every packet
    // queued before it has been acknowledged.
    void Queue(Packet p);
    void ClearQueue();
    bool Idle() const { return queue_.empty() && !awaitingAck_; }

    // Leaves the k-th packet from the host (1-based, acknowledged kinds only)
    // without an acknowledgement.
    void WithholdAck(int k) { withholdAck_ = k; }
    // Answers the k-th packet from the host (counted as for WithholdAck) with
    // a negative acknowledgement instead of taking it; with `always`, every
    // retransmission of that packet is rejected too.
    void RejectPacket(int k, bool always) {
        rejectPacket_ = k;
        rejectAlways_ = always;
    }

    // Every good packet the host sent, in order, acknowledgements included.
    const std::vector<Packet>& received() const { return received_; }
    int badPacketsReceived() const { return badReceived_; }
    int naksReceived() const { return naksReceived_; }
    int packetsRejected() const { return rejected_; }

  private:
    void Transmit(const Packet& p);
    void Pump();
    void HandleProductRequest();

    Profile profile_;
    Sender sender_;
    std::map<std::uint8_t, PacketHandler> packetHandlers_;
    std::map<std::uint16_t, CommandHandler> commandHandlers_;
    std::deque<Packet> queue_;
    bool awaitingAck_ = false;
    Packet lastSent_;
    bool sentAny_ = false;
    int withholdAck_ = 0;
    int rejectPacket_ = 0;
    bool rejectAlways_ = false;
    std::optional<Packet> rejectedPacket_;
    int rejected_ = 0;
    int ackable_ = 0;
    std::vector<Packet> received_;
    int badReceived_ = 0;
    int naksReceived_ = 0;
};

}  // namespace gpssim
