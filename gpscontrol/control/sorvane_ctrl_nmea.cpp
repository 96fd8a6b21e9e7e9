// The NMEA members. The control holds the receiver while one runs; its fixes
// go to this control's sinks only, raised on the receiver's own thread.

#include "control/sorvane_ctrl.h"
#include "nmea/nmea_fix.h"
#include "nmea/nmea_receiver.h"

namespace sorvane {

bool CSorvaneCtrl::StartNMEAReceiving() {
    if (!store_ || nmea_)
        return false;
    // Only the port and the speed count: the receiver uses 8 data bits, no
    // parity and one stop bit whatever the other properties say.
    const PortSettings line = LineSettings();
    nmea_ = std::make_unique<NmeaReceiver>([this](const NmeaFix& fix) {
        FireNMEAReceived(fix.valid, fix.latitude, fix.longitude, fix.altitude, fix.time, fix.speed,
                         fix.course);
    });
    // A port that cannot be opened leaves a receiver that stays silent until
    // it is stopped.
    nmea_->open(line.port, line.baudRate);
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

}  // namespace sorvane
