// The NMEA members and the receiver beyond them. The control holds the
// position source while one runs (the serial NMEA receiver or gpsd); its fixes
// go to this control's sinks only, raised on the source's own thread.

#include "control/sorvane_ctrl.h"
#include "gpsd/gpsd_receiver.h"
#include "nmea/nmea_fix.h"
#include "nmea/nmea_receiver.h"

namespace sorvane {

ReceiverHandlers CSorvaneCtrl::MakeReceiverHandlers() {
    ReceiverHandlers h;
    h.fix = [this](const NmeaFix& fix) {
        // Both events inside one hold: a host may let the control go in the first.
        InEventHold([&] {
            if (fix.kind != FixKind::kLast) {
                FireNMEAReceived(fix.valid, fix.latitude, fix.longitude, fix.altitude, fix.time,
                                 fix.speed, fix.course);
            }
            if (fix.kind != FixKind::kStale)
                FireReceiver({ReceiverEvent::Kind::kFix, &fix, nullptr, {}});
        });
    };
    h.satellites = [this] {
        FireReceiver({ReceiverEvent::Kind::kSatellites, nullptr, nullptr, {}});
    };
    h.status = [this](const ReceiverStatus& status) {
        FireReceiver({ReceiverEvent::Kind::kStatus, nullptr, &status, {}});
    };
    h.sentence = [this](std::string_view line) {
        FireReceiver({ReceiverEvent::Kind::kSentence, nullptr, nullptr, line});
    };
    return h;
}

bool CSorvaneCtrl::StartNMEAReceiving() {
    if (!store_ || nmea_)
        return false;
    if (source_.kind == SourceKind::kGpsd) {
        auto gpsd = std::make_unique<GpsdReceiver>(MakeReceiverHandlers());
        GpsdReceiver& g = *gpsd;
        nmea_ = std::move(gpsd);
        g.open(source_.host, source_.port);
        return true;
    }
    // Only the port and the speed count: the receiver uses 8 data bits, no
    // parity and one stop bit whatever the other properties say.
    const PortSettings line = LineSettings();
    auto serial = std::make_unique<NmeaReceiver>(MakeReceiverHandlers());
    NmeaReceiver& r = *serial;
    nmea_ = std::move(serial);
    // A port that cannot be opened leaves a receiver that stays silent until
    // it is stopped; its status says why.
    r.open(line.port, line.baudRate);
    return true;
}

void CSorvaneCtrl::StopNMEAReceiving() {
    if (!nmea_)
        return;
    nmea_->close();
    nmea_.reset();
}

std::int32_t CSorvaneCtrl::GetNumSatellite() {
    return nmea_ ? nmea_->satelliteCount() : 0;
}

bool CSorvaneCtrl::GetSatelliteData(std::int16_t n, std::int16_t* PRNnumber,
                                    std::int16_t* ElevationAngle, std::int16_t* AzimuthAngle,
                                    std::int16_t* SignalStrength) {
    std::int16_t prn = 0, elevation = 0, azimuth = 0, snr = 0;
    if (!nmea_ || !nmea_->satellite(n, prn, elevation, azimuth, snr))
        return false;
    if (PRNnumber != nullptr)
        *PRNnumber = prn;
    if (ElevationAngle != nullptr)
        *ElevationAngle = elevation;
    if (AzimuthAngle != nullptr)
        *AzimuthAngle = azimuth;
    if (SignalStrength != nullptr)
        *SignalStrength = snr;
    return true;
}

bool CSorvaneCtrl::SetReceiverSource(const ReceiverSource& source) {
    if (source.port < 0 || source.port > 65535 ||
        (source.kind != SourceKind::kSerial && source.kind != SourceKind::kGpsd))
        return false;
    source_ = source;
    return true;
}

ReceiverStatus CSorvaneCtrl::GetReceiverStatus() const {
    if (nmea_)
        return nmea_->status();
    ReceiverStatus s;
    s.source = source_.kind;
    return s;
}

std::optional<NmeaFix> CSorvaneCtrl::GetLastFix() const {
    return nmea_ ? nmea_->lastFix() : std::nullopt;
}

std::vector<SatelliteInfo> CSorvaneCtrl::GetSatelliteList() const {
    return nmea_ ? nmea_->satellites() : std::vector<SatelliteInfo>{};
}

}  // namespace sorvane
