#pragma once
// The product identification exchange: which receiver is on the line, its
// software version and description, and its optional capability list.

#include <cstdint>
#include <string>

#include "link/serial_port.h"

namespace sorvane {

// How long identification waits for the first byte of a capability list after
// acknowledging the product data; once it has begun, the byte budget applies.
constexpr int kCapabilityListWaitMs = 500;

struct ProductIdentification {
    bool ok = false;
    std::int32_t productId = -1;
    std::int32_t softwareVersion = -1;
    std::string description;  // at most 63 bytes
    int errorCode = 0;        // errno of the last failing call on the line
};

// Opens the port, asks for the product data, reads the capability list when
// one follows (applying the eMap switch of the product table) and closes the
// port. On failure the ID and version are -1 and the description is empty.
// The current product of a store is not touched.
ProductIdentification ReadProductID(const PortSettings& settings,
                                    int byteTimeoutMs = SerialPort::kDefaultByteTimeoutMs);

// The exchange on a line that is already open; listWaitMs is the wait for the
// first byte of the capability list.
ProductIdentification ReadProductID(ByteStream& line, int listWaitMs = kCapabilityListWaitMs);

}  // namespace sorvane
