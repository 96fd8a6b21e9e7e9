#include "session.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "control/tsorvane.h"
#include "data/gpx_file.h"
#include "geodesy/waypoint_symbols.h"
#include "interrupt.h"

namespace sorvane_cli {

namespace {

constexpr int kShortSymbolTableType = 4103;
// NMEA receivers talk at this speed unless set otherwise.
constexpr std::int32_t kNmeaBaud = 4800;
// Long enough for two position sentences at one a second.
constexpr auto kNmeaListen = std::chrono::milliseconds(2500);

std::string OfRecords(int done, int total) {
    return std::to_string(done) + " of " + std::to_string(total) + " records";
}

}  // namespace

bool Created(const sorvane::TSorvane& gps) {
    if (gps.ok())
        return true;
    std::fprintf(stderr, "sorvane: the control could not be created (0x%08X)\n",
                 static_cast<unsigned>(gps.LastResult()));
    return false;
}

bool Prepare(sorvane::TSorvane& gps, const Options& o) {
    if (!Created(gps))
        return false;
    gps.set_CommPort(static_cast<std::int16_t>(o.port));
    gps.set_BaudRate(o.baud);
    gps.SelectDatumByName(o.datum);
    return true;
}

Session::Session(const Options& o)
    : o_(o),
      gps_(std::make_unique<sorvane::TSorvane>()),
      progress_(Progress::StyleFor(stderr, o.quiet)) {}

Session::~Session() = default;

int Session::Start(const std::string& datum) {
    if (!Prepare(*gps_, o_))
        return kExitFailed;
    gps_->SelectDatumByName(datum);
    return 0;
}

int Session::Identify(bool print) {
    if (InterruptSignal() != 0)
        return Fail(InterruptExitCode(), "interrupted");
    std::int32_t id = -1;
    std::int32_t version = 0;
    const std::string description = gps_->ReadProductID(&id, &version);
    if (InterruptSignal() != 0)
        return Fail(InterruptExitCode(), "interrupted");
    if (id < 0) {
        const int code = gps_->GetErrorCode();
        if (IsOpenError(code))
            return Fail(kExitPort, PortOpenMessage(o_.port, PortDevice(o_.port), code));
        if (code == EPROTO)
            return Fail(kExitTransfer, "the receiver kept rejecting the product request");
        return NoAnswer();
    }
    identified_ = true;
    if (print) {
        std::printf("Product ID: %d\n", id);
        std::printf("Software version: %d\n", version);
        std::printf("Description: %s\n", description.c_str());
        std::fflush(stdout);
    }
    if (!gps_->SetProductID(id))
        return Fail(kExitUnsupported, "the receiver's product " + std::to_string(id) + " (" +
                                          description +
                                          ") is not supported; --product ID transfers with the "
                                          "record layouts of a supported product");
    return 0;
}

int Session::ChooseProduct() {
    if (InterruptSignal() != 0)
        return Fail(InterruptExitCode(), "interrupted");
    if (!o_.product)
        return Identify(false);
    if (!gps_->SetProductID(*o_.product))
        return Fail(kExitUnsupported,
                    "product " + std::to_string(*o_.product) + " is not in the product table");
    return 0;
}

int Session::Download(Kind kind) {
    return Transfer(kind, false);
}

int Session::Upload(Kind kind) {
    return Transfer(kind, true);
}

int Session::SymbolTable() {
    return gps_->GetWaypointSymbolCount() == sorvane::WaypointSymbolCount(kShortSymbolTableType)
               ? kShortSymbolTableType
               : tobrel::kGpxDefaultSymbolTable;
}

int Session::Transfer(Kind kind, bool upload) {
    Counts counts;
    if (InterruptSignal() != 0)
        return Interrupted(kind, upload, counts);
    sorvane::TSorvane& gps = *gps_;
    progress_.Begin(KindName(kind), upload);
    gps.SetOnReceiving([&](std::int32_t done, std::int32_t total) {
        counts.seen = true;
        counts.done = done;
        counts.total = total;
        counts.most = std::max(counts.most, done);
        progress_.Update(done, total);
        // The one place a transfer can be stopped: it ends after this record.
        if (InterruptSignal() != 0)
            gps.AbortTransfer();
    });
    bool ok = false;
    switch (kind) {
        case Kind::kTracks:
            ok = upload ? gps.UploadTrack() : gps.DownloadTrack() != 0;
            break;
        case Kind::kWaypoints:
            ok = upload ? gps.UploadWaypoint() : gps.DownloadWaypoint() != 0;
            break;
        case Kind::kRoutes:
            ok = upload ? gps.UploadRoute() : gps.DownloadRoute() != 0;
            break;
    }
    gps.SetOnReceiving(nullptr);
    progress_.End();
    if (InterruptSignal() != 0)
        return Interrupted(kind, upload, counts);
    // A receiver that holds no tracks or routes announces none and ends at
    // once; the control fails such a download, yet nothing is missing.
    const bool nothingHeld = !upload && kind != Kind::kWaypoints && counts.seen &&
                             counts.total == 0 && counts.most == 0 && gps.GetErrorCode() == 0;
    return ok || nothingHeld ? 0 : Failure(kind, upload, counts);
}

int Session::Interrupted(Kind kind, bool upload, const Counts& counts) {
    std::string m = "interrupted";
    if (upload && counts.seen)
        m += ": the upload of " + std::string(KindName(kind)) + " stopped after " +
             OfRecords(counts.done, counts.total) + "; the receiver may keep what it took";
    else if (!upload)
        m += "; nothing was written";
    return Fail(InterruptExitCode(), m);
}

int Session::Failure(Kind kind, bool upload, const Counts& c) {
    const int code = gps_->GetErrorCode();
    if (IsOpenError(code))
        return Fail(kExitPort, PortOpenMessage(o_.port, PortDevice(o_.port), code));
    const std::string what =
        std::string(upload ? "the upload of " : "the download of ") + KindName(kind) + " failed: ";
    if (code == EPROTO)
        return Fail(kExitTransfer, what + "the receiver kept rejecting a record");
    // Without identification nothing has shown that a receiver is there.
    if (!c.seen && !identified_)
        return NoAnswer();
    const std::string last =
        c.seen ? " (last count " + std::to_string(c.done) + " of " + std::to_string(c.total) + ")"
               : "";
    const std::string announced = std::to_string(c.total) + " " +
                                  (kind == Kind::kWaypoints ? "waypoints" : "records") +
                                  " it announced";
    std::string why;
    if (code == EIO) {
        why = "the line hung up" + last;
    } else if (upload) {
        why = "the receiver stopped answering" + last;
    } else if (c.seen && c.most > c.total) {
        why = "the receiver sent more than the " + announced;
    } else if (kind == Kind::kWaypoints) {
        // A failed waypoint download keeps what came, which tells the two
        // apart once the announced count is known (progress every tenth).
        const int n = gps_->GetWaypointCount();
        if (c.seen)
            why = n >= c.total
                      ? "the receiver sent more than the " + announced
                      : "the receiver stopped after " + std::to_string(n) + " of the " + announced;
        else
            why = "the receiver sent another number of waypoints than it announced (" +
                  std::to_string(n) + " taken)";
    } else if (!c.seen) {
        why = "the receiver stopped before sending any record";
    } else {
        // Progress comes every tenth record, so the last few are not seen.
        why = "the receiver stopped before the end or sent more than the " + announced + last;
    }
    return Fail(kExitTransfer, what + why);
}

int Session::NoAnswer() {
    std::string m = "no answer from the receiver on port " + std::to_string(o_.port) + " (" +
                    PortDevice(o_.port) + ")";
    const bool nmea = SendsNmea();
    if (InterruptSignal() != 0)
        return Fail(InterruptExitCode(), "interrupted");
    if (nmea)
        m += ": it is sending NMEA sentences; switch its interface to the binary transfer mode "
             "and try again";
    else
        m += "; is it connected and switched on?";
    return Fail(kExitNoAnswer, m);
}

bool Session::SendsNmea() {
    sorvane::TSorvane& gps = *gps_;
    std::vector<std::int32_t> speeds = {o_.baud};
    if (o_.baud != kNmeaBaud)
        speeds.push_back(kNmeaBaud);
    std::atomic<bool> heard{false};
    gps.SetOnNMEAReceived([&heard](std::int16_t, double, double, double, std::int32_t, double,
                                   std::int16_t) { heard = true; });
    bool found = false;
    for (const std::int32_t speed : speeds) {
        gps.set_BaudRate(speed);
        if (!gps.StartNMEAReceiving())
            continue;
        const auto end = std::chrono::steady_clock::now() + kNmeaListen;
        while (!heard && gps.GetNumSatellite() == 0 && InterruptSignal() == 0 &&
               std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        found = heard || gps.GetNumSatellite() > 0;
        gps.StopNMEAReceiving();
        if (found || InterruptSignal() != 0)
            break;
    }
    gps.SetOnNMEAReceived(nullptr);
    gps.set_BaudRate(o_.baud);
    return found;
}

}  // namespace sorvane_cli
