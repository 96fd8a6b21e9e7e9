#include "engine.h"

namespace gpssim {

ReceiverEngine::ReceiverEngine(Profile profile) : profile_(std::move(profile)) {
    SetPacketHandler(kPidProductRequest,
                     [](ReceiverEngine& e, const Packet&) { e.HandleProductRequest(); });
}

void ReceiverEngine::SetPacketHandler(std::uint8_t id, PacketHandler handler) {
    packetHandlers_[id] = std::move(handler);
}

void ReceiverEngine::SetCommandHandler(std::uint16_t code, CommandHandler handler) {
    commandHandlers_[code] = std::move(handler);
}

void ReceiverEngine::Transmit(const Packet& p) {
    lastSent_ = p;
    sentAny_ = true;
    if (sender_)
        sender_(p);
}

void ReceiverEngine::SendNow(const Packet& p) {
    Transmit(p);
}

void ReceiverEngine::Queue(Packet p) {
    queue_.push_back(std::move(p));
    Pump();
}

void ReceiverEngine::ClearQueue() {
    queue_.clear();
    awaitingAck_ = false;
}

void ReceiverEngine::Pump() {
    if (awaitingAck_ || queue_.empty())
        return;
    Packet next = std::move(queue_.front());
    queue_.pop_front();
    awaitingAck_ = true;
    Transmit(next);
}

void ReceiverEngine::OnBadPacket(std::uint8_t id) {
    ++badReceived_;
    SendNow(Packet{kPidNak, {id, 0}});
}

void ReceiverEngine::OnPacket(const Packet& p) {
    received_.push_back(p);
    if (p.id == kPidAck) {
        awaitingAck_ = false;
        Pump();
        return;
    }
    if (p.id == kPidNak) {
        ++naksReceived_;
        if (sentAny_)
            Transmit(lastSent_);
        return;
    }
    const int k = ++ackable_;
    if (k == rejectPacket_)
        rejectedPacket_ = p;
    if (k == rejectPacket_ || (rejectAlways_ && rejectedPacket_ == p)) {
        ++rejected_;
        SendNow(Packet{kPidNak, {p.id, 0}});
        return;
    }
    if (k != withholdAck_)
        SendNow(Packet{kPidAck, {p.id, 0}});

    if (p.id == kPidCommand) {
        // A command starts a new exchange; whatever was still queued is void.
        ClearQueue();
        const std::uint16_t code =
            p.data.size() >= 2 ? static_cast<std::uint16_t>(p.data[0] | p.data[1] << 8) : 0;
        auto it = commandHandlers_.find(code);
        if (it != commandHandlers_.end())
            it->second(*this, code);
        return;
    }
    auto it = packetHandlers_.find(p.id);
    if (it != packetHandlers_.end())
        it->second(*this, p);
}

void ReceiverEngine::HandleProductRequest() {
    ClearQueue();
    Queue(Packet{kPidProductData, ProductDataField(profile_)});
    if (profile_.capabilities)
        Queue(Packet{kPidCapabilities, CapabilityListData(profile_)});
}

}  // namespace gpssim
