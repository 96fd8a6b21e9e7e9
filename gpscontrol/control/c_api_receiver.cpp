// The C interface of the position receiver beyond the automation members.
// Each entry asks the control for its receiver interface, so that it reaches
// a control of whichever library made it.

#include "control/c_guard.h"
#include "control/receiver_object.h"
#include "control/sorvane.h"
#include "nmea/constellation.h"

using namespace sorvane;

namespace {

// Calls f with the control's receiver interface, which it holds meanwhile.
template <class F>
SorvaneResult WithReceiver(SorvaneCtrl* control, F&& f) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&]() -> SorvaneResult {
        void* object = nullptr;
        const SorvaneResult hr =
            control->lpVtbl->QueryInterface(control, &kIidSorvaneReceiver, &object);
        if (hr != kOk || object == nullptr)
            return hr != kOk ? hr : kNoInterface;
        auto* receiver = static_cast<SorvaneReceiver*>(object);
        struct Release {
            SorvaneReceiver* r;
            ~Release() { r->lpVtbl->Release(r); }
        } release{receiver};
        return f(receiver);
    });
}

}  // namespace

extern "C" {

SorvaneResult sorvane_receiver_set_source(SorvaneCtrl* control, std::int32_t source,
                                          const char* host, std::int32_t port) {
    return WithReceiver(
        control, [&](SorvaneReceiver* r) { return r->lpVtbl->SetSource(r, source, host, port); });
}

SorvaneResult sorvane_receiver_get_source(SorvaneCtrl* control, std::int32_t* source, char* host,
                                          std::size_t hostSize, std::int32_t* port) {
    return WithReceiver(control, [&](SorvaneReceiver* r) {
        return r->lpVtbl->GetSource(r, source, host, hostSize, port);
    });
}

SorvaneResult sorvane_receiver_status(SorvaneCtrl* control, SorvaneReceiverStatus* status) {
    return WithReceiver(control,
                        [&](SorvaneReceiver* r) { return r->lpVtbl->GetStatus(r, status); });
}

SorvaneResult sorvane_receiver_last_fix(SorvaneCtrl* control, SorvaneFix* fix) {
    return WithReceiver(control, [&](SorvaneReceiver* r) { return r->lpVtbl->GetLastFix(r, fix); });
}

SorvaneResult sorvane_receiver_satellites(SorvaneCtrl* control, SorvaneSatellite* satellites,
                                          std::int32_t capacity, std::int32_t* count) {
    return WithReceiver(control, [&](SorvaneReceiver* r) {
        return r->lpVtbl->GetSatellites(r, satellites, capacity, count);
    });
}

SorvaneResult sorvane_receiver_connect(SorvaneCtrl* control, SorvaneReceiverCallback callback,
                                       void* user, std::uint32_t* cookie) {
    return WithReceiver(
        control, [&](SorvaneReceiver* r) { return r->lpVtbl->Advise(r, callback, user, cookie); });
}

SorvaneResult sorvane_receiver_disconnect(SorvaneCtrl* control, std::uint32_t cookie) {
    return WithReceiver(control,
                        [&](SorvaneReceiver* r) { return r->lpVtbl->Unadvise(r, cookie); });
}

const char* sorvane_constellation_name(std::int32_t constellation) {
    if (constellation < 0 || constellation >= kConstellationCount)
        return ConstellationName(Constellation::kUnknown);
    return ConstellationName(static_cast<Constellation>(constellation));
}

}  // extern "C"
