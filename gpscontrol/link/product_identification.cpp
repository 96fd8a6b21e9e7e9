#include "link/product_identification.h"

#include "link/device_records.h"
#include "link/packet.h"
#include "link/product_table.h"

namespace sorvane {

namespace {

ProductIdentification Failed(int errorCode) {
    ProductIdentification r;
    r.errorCode = errorCode;
    return r;
}

}  // namespace

ProductIdentification ReadProductID(ByteStream& line) {
    std::vector<std::uint8_t> request = BuildProductRequestPacket();
    SendPacket(line, request.data(), request.size());

    std::uint8_t slot[kPacketSlotSize];
    // The receiver's acknowledgement, then the product data.
    if (ReceivePacket(line, slot) == 0)
        return Failed(0);
    const int length = ReceivePacket(line, slot);
    if (length == 0)
        return Failed(0);
    ProductData data;
    if (!ParseProductData(PacketData(slot, length), &data))
        return Failed(0);

    auto ack = BuildAckPacket(slot[1]);
    line.Write(ack.data(), ack.size());

    // Newer receivers follow with their capability list; older ones are silent.
    const int listLength = ReceivePacket(line, slot);
    if (listLength > 0) {
        ack = BuildAckPacket(slot[1]);
        line.Write(ack.data(), ack.size());
        if (auto byte = CapabilityByte(PacketData(slot, listLength))) {
            ApplyCapabilityByte(data.productId, *byte);
        }
    }

    ProductIdentification r;
    r.ok = true;
    r.productId = data.productId;
    r.softwareVersion = data.softwareVersion;
    r.description = std::move(data.description);
    return r;
}

ProductIdentification ReadProductID(const PortSettings& settings, int byteTimeoutMs) {
    SerialPort port(byteTimeoutMs);
    if (!port.Open(settings))
        return Failed(port.ErrorCode());
    ProductIdentification r = ReadProductID(port);
    port.Close();
    r.errorCode = port.ErrorCode();
    return r;
}

}  // namespace sorvane
