#include "link/product_identification.h"

#include <algorithm>

#include "link/device_records.h"
#include "link/packet.h"
#include "records/product_table.h"

namespace sorvane {

namespace {

ProductIdentification Failed(int errorCode) {
    ProductIdentification r;
    r.errorCode = errorCode;
    return r;
}

}  // namespace

ProductIdentification ReadProductID(ByteStream& line, int listWaitMs) {
    std::vector<std::uint8_t> request = BuildProductRequestPacket();
    std::uint8_t slot[kPacketSlotSize];
    // The receiver's acknowledgement, then the product data.
    switch (SendAndWait(line, request.data(), request.size(), slot)) {
        case Answer::kAcknowledged:
            break;
        case Answer::kRejected:
            return Failed(kRejectedError);
        case Answer::kNone:
            return Failed(0);
    }
    const int length = ReceivePacket(line, slot);
    if (length == 0)
        return Failed(0);
    ProductData data;
    if (!ParseProductData(PacketData(slot, length), &data))
        return Failed(0);

    SendAck(line, slot[1]);

    // Newer receivers follow with their capability list at once; older ones
    // send none, and are not kept waiting a whole byte budget for it.
    const int listLength = ReceivePacket(line, slot, listWaitMs);
    if (listLength > 0) {
        SendAck(line, slot[1]);
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
    // A line with a shorter byte budget (tests) waits no longer than that.
    ProductIdentification r = ReadProductID(port, std::min(kCapabilityListWaitMs, byteTimeoutMs));
    port.Close();
    if (r.errorCode == 0)
        r.errorCode = port.ErrorCode();
    return r;
}

}  // namespace sorvane
