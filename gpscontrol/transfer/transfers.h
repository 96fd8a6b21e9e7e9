#pragma once
// The exchanges with the receiver. Each opens the port with the control's line
// settings, runs synchronously on the caller's thread, reports progress, stores
// the error code in the store, closes the port and returns 1 or 0. Downloads
// replace one collection of the store; uploads send what it holds.

#include <cstdint>
#include <functional>

#include "link/product_identification.h"
#include "link/serial_port.h"
#include "store/kel_data.h"

namespace sorvane {

// Receiving (records done so far, total). Runs on the caller's thread before the
// transfer goes on; it may call KelData::AbortTransfer.
using ProgressHandler = std::function<void(std::int32_t received, std::int32_t total)>;

struct TransferContext {
    KelData& store;
    PortSettings settings;
    ProgressHandler progress;  // may be empty
    int byteTimeoutMs = SerialPort::kDefaultByteTimeoutMs;
};

// Tracks and routes are replaced only after a complete stream; waypoints as
// soon as the count is announced, keeping what arrived when fewer came. A
// receiver that sends more than it announced (or a count that wrapped below
// zero) is acknowledged to the end of its stream, so that the line is quiet
// for the next transfer, and the download fails without keeping the excess.
int DownloadTrack(const TransferContext& ctx);
int DownloadWaypoint(const TransferContext& ctx);
int DownloadRoute(const TransferContext& ctx);
// Uploads close the exchange with transfer complete also after an abort or a
// missing acknowledgement; they report 1 only when every record they meant to
// send was acknowledged (or the host aborted) and transfer complete was too.
int UploadTrack(const TransferContext& ctx);
int UploadWaypoint(const TransferContext& ctx);
int UploadRoute(const TransferContext& ctx);
// A route index outside the store returns 0 before the port is opened.
int UploadSingleRoute(const TransferContext& ctx, std::int16_t route);

// Product identification applied to the store: the reported ID becomes the
// current product as it is (known or not), the software version and the error
// code are kept. The store's abort flag is left alone and no progress is sent.
ProductIdentification IdentifyProduct(const TransferContext& ctx);

}  // namespace sorvane
