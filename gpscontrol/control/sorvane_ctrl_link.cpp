// The members that talk to the receiver: transfers, product identification
// and the NMEA receiver. Each reads the properties afresh and raises its
// events on this control only.

#include "control/identities.h"
#include "control/sorvane_ctrl.h"
#include "store/kel_data.h"
#include "text/cp932.h"
#include "text/record_limits.h"
#include "transfer/transfers.h"

namespace sorvane {

template <class Transfer>
auto CSorvaneCtrl::RunTransfer(Transfer&& transfer) {
    const TransferContext context{
        *store_, LineSettings(),
        [this](std::int32_t received, std::int32_t total) { FireReceiving(received, total); },
        byteTimeoutMs_};
    return transfer(context);
}

// Downloads report 1 without a store, as they always have; hosts then find
// nothing in the collections.
std::int32_t CSorvaneCtrl::DownloadTrack() {
    return store_ ? RunTransfer(sorvane::DownloadTrack) : 1;
}

std::int32_t CSorvaneCtrl::DownloadWaypoint() {
    return store_ ? RunTransfer(sorvane::DownloadWaypoint) : 1;
}

std::int32_t CSorvaneCtrl::DownloadRoute() {
    return store_ ? RunTransfer(sorvane::DownloadRoute) : 1;
}

bool CSorvaneCtrl::UploadTrack() {
    return store_ && RunTransfer(sorvane::UploadTrack) != 0;
}

bool CSorvaneCtrl::UploadWaypoint() {
    return store_ && RunTransfer(sorvane::UploadWaypoint) != 0;
}

bool CSorvaneCtrl::UploadRoute() {
    return store_ && RunTransfer(sorvane::UploadRoute) != 0;
}

bool CSorvaneCtrl::UploadSingleRoute(std::int16_t rno) {
    return store_ && RunTransfer([rno](const TransferContext& context) {
                         return sorvane::UploadSingleRoute(context, rno);
                     }) != 0;
}

std::string CSorvaneCtrl::ReadProductID(std::int32_t* id, std::int32_t* ver) {
    if (!store_) {
        if (id != nullptr)
            *id = -1;
        return "ERROR";
    }
    const ProductIdentification product =
        RunTransfer([](const TransferContext& context) { return IdentifyProduct(context); });
    if (!product.ok) {
        // The version is left as the caller had it.
        if (id != nullptr)
            *id = -1;
        return {};
    }
    if (id != nullptr)
        *id = product.productId;
    // An unknown model stays current through the identification itself.
    store_->SetProductID(product.productId);
    if (ver != nullptr)
        *ver = product.softwareVersion;
    const std::string& text = product.description;
    return cp932::ToUtf8(std::string_view(text).substr(0, cp932::FitLength(text, kCommentMax)));
}

}  // namespace sorvane
