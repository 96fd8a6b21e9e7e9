#pragma once
// The control's receiver interface as hosts see it: a table of functions
// reached through QueryInterface on the control, so that a host of any build
// finds it on a control of any library that has it.

#include "control/sorvane.h"
#include "control/sorvane_ctrl.h"

namespace sorvane {

inline constexpr SorvaneGuid kIidSorvaneReceiver = SORVANE_IID_SORVANERECEIVER;

// Lives inside the control object and shares its references.
struct ReceiverObject : SorvaneReceiver {
    SorvaneCtrl* owner = nullptr;
    CSorvaneCtrl* ctrl = nullptr;
};

void InitReceiverObject(ReceiverObject* object, SorvaneCtrl* owner, CSorvaneCtrl* ctrl);

// The C forms of what the receiver keeps.
SorvaneFix ToCFix(const NmeaFix& fix);
SorvaneSatellite ToCSatellite(const SatelliteInfo& s);
SorvaneReceiverStatus ToCStatus(const ReceiverStatus& s);

}  // namespace sorvane
