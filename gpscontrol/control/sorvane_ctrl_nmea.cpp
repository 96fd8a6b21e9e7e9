// The NMEA members. The receiver's fixes go to this control's sinks only,
// raised on the receiver's own thread.

#include "control/sorvane_ctrl.h"
#include "nmea/nmea_fix.h"
#include "store/kel_data.h"

namespace sorvane {

bool CSorvaneCtrl::StartNMEAReceiving() {
    if (!store_)
        return false;
    // Only the port and the speed count: the receiver uses 8 data bits, no
    // parity and one stop bit whatever the other properties say.
    const PortSettings line = LineSettings();
    return store_->StartNMEAReceiving(line.port, line.baudRate, [this](const NmeaFix& fix) {
        FireNMEAReceived(fix.valid, fix.latitude, fix.longitude, fix.altitude, fix.time, fix.speed,
                         fix.course);
    }) != 0;
}

void CSorvaneCtrl::StopNMEAReceiving() {
    if (store_)
        store_->StopNMEAReceiving();
}

std::int32_t CSorvaneCtrl::GetNumSatellite() {
    return store_ ? store_->GetNumSatellite() : 0;
}

bool CSorvaneCtrl::GetSatelliteData(std::int16_t n, std::int16_t* PRNnumber,
                                    std::int16_t* ElevationAngle, std::int16_t* AzimuthAngle,
                                    std::int16_t* SignalStrength) {
    if (!store_)
        return false;
    std::int16_t prn = 0, elevation = 0, azimuth = 0, snr = 0;
    if (store_->GetSatelliteData(n, prn, elevation, azimuth, snr) == 0)
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
