#include "control/receiver_object.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "control/c_guard.h"
#include "control/guid.h"
#include "control/hresult.h"

namespace sorvane {

namespace {

// Host names are short; a longer one is a mistake, not a name.
constexpr std::size_t kMaxHost = 255;

ReceiverObject* Self(SorvaneReceiver* self) {
    return static_cast<ReceiverObject*>(self);
}

SorvaneResult RxQueryInterface(SorvaneReceiver* self, const SorvaneGuid* iid, void** object) {
    // One identity: the control answers for all its interfaces.
    SorvaneCtrl* owner = Self(self)->owner;
    return owner->lpVtbl->QueryInterface(owner, iid, object);
}

std::uint32_t RxAddRef(SorvaneReceiver* self) {
    SorvaneCtrl* owner = Self(self)->owner;
    return owner->lpVtbl->AddRef(owner);
}

std::uint32_t RxRelease(SorvaneReceiver* self) {
    SorvaneCtrl* owner = Self(self)->owner;
    return owner->lpVtbl->Release(owner);
}

SorvaneResult RxSetSource(SorvaneReceiver* self, std::int32_t source, const char* host,
                          std::int32_t port) {
    if (host != nullptr && std::strlen(host) > kMaxHost)
        return kInvalidArg;
    if (source != SORVANE_SOURCE_SERIAL && source != SORVANE_SOURCE_GPSD)
        return kInvalidArg;
    return GuardedResult([&] {
        ReceiverSource s;
        s.kind = static_cast<SourceKind>(source);
        s.host = host != nullptr ? host : "";
        s.port = port;
        return Self(self)->ctrl->SetReceiverSource(s) ? kOk : kInvalidArg;
    });
}

SorvaneResult RxGetSource(SorvaneReceiver* self, std::int32_t* source, char* host,
                          std::size_t hostSize, std::int32_t* port) {
    return GuardedResult([&] {
        const ReceiverSource s = Self(self)->ctrl->GetReceiverSource();
        if (source != nullptr)
            *source = static_cast<std::int32_t>(s.kind);
        if (port != nullptr)
            *port = s.port;
        if (host != nullptr && hostSize > 0) {
            const std::size_t n = std::min(s.host.size(), hostSize - 1);
            std::memcpy(host, s.host.data(), n);
            host[n] = '\0';
        }
        return kOk;
    });
}

SorvaneResult RxGetStatus(SorvaneReceiver* self, SorvaneReceiverStatus* status) {
    if (status == nullptr)
        return kPointer;
    return GuardedResult([&] {
        *status = ToCStatus(Self(self)->ctrl->GetReceiverStatus());
        return kOk;
    });
}

SorvaneResult RxGetLastFix(SorvaneReceiver* self, SorvaneFix* fix) {
    if (fix == nullptr)
        return kPointer;
    return GuardedResult([&] {
        const std::optional<NmeaFix> f = Self(self)->ctrl->GetLastFix();
        *fix = f ? ToCFix(*f) : SorvaneFix{};
        return f ? kOk : kFalse;
    });
}

SorvaneResult RxGetSatellites(SorvaneReceiver* self, SorvaneSatellite* satellites,
                              std::int32_t capacity, std::int32_t* count) {
    if (count == nullptr || capacity < 0 || (capacity > 0 && satellites == nullptr))
        return count == nullptr || (capacity > 0 && satellites == nullptr) ? kPointer : kInvalidArg;
    return GuardedResult([&] {
        const std::vector<SatelliteInfo> all = Self(self)->ctrl->GetSatelliteList();
        *count = static_cast<std::int32_t>(all.size());
        for (std::size_t i = 0; i < all.size() && i < static_cast<std::size_t>(capacity); ++i)
            satellites[i] = ToCSatellite(all[i]);
        return kOk;
    });
}

SorvaneResult RxAdvise(SorvaneReceiver* self, SorvaneReceiverCallback callback, void* user,
                       std::uint32_t* cookie) {
    if (callback == nullptr || cookie == nullptr)
        return kPointer;
    return GuardedResult([&] {
        *cookie = Self(self)->ctrl->ConnectReceiver([callback, user](const ReceiverEvent& e) {
            SorvaneReceiverEvent c{};
            c.kind = static_cast<std::int32_t>(e.kind);
            SorvaneFix fix{};
            SorvaneReceiverStatus status{};
            std::string sentence;
            if (e.fix != nullptr) {
                fix = ToCFix(*e.fix);
                c.fix = &fix;
            }
            if (e.status != nullptr) {
                status = ToCStatus(*e.status);
                c.status = &status;
            }
            if (e.kind == ReceiverEvent::Kind::kSentence) {
                sentence.assign(e.sentence);
                c.sentence = sentence.c_str();
            }
            callback(user, &c);
        });
        return kOk;
    });
}

SorvaneResult RxUnadvise(SorvaneReceiver* self, std::uint32_t cookie) {
    return GuardedResult(
        [&] { return Self(self)->ctrl->DisconnectReceiver(cookie) ? kOk : kInvalidArg; });
}

constexpr SorvaneReceiverVtbl kReceiverVtbl = {
    RxQueryInterface, RxAddRef,     RxRelease,       RxSetSource, RxGetSource,
    RxGetStatus,      RxGetLastFix, RxGetSatellites, RxAdvise,    RxUnadvise,
};

}  // namespace

void InitReceiverObject(ReceiverObject* object, SorvaneCtrl* owner, CSorvaneCtrl* ctrl) {
    object->lpVtbl = &kReceiverVtbl;
    object->owner = owner;
    object->ctrl = ctrl;
}

SorvaneFix ToCFix(const NmeaFix& f) {
    SorvaneFix c{};
    c.valid = f.valid;
    c.latitude = f.latitude;
    c.longitude = f.longitude;
    c.altitude = f.fixAltitude;
    c.time = f.utc;
    c.speed = f.speed;
    c.course = f.courseOverGround;
    c.quality = f.quality;
    c.satellitesUsed = f.satellitesUsed;
    c.hdop = f.hdop;
    c.mode = f.mode;
    return c;
}

SorvaneSatellite ToCSatellite(const SatelliteInfo& s) {
    return SorvaneSatellite{static_cast<std::int32_t>(s.constellation),
                            s.prn,
                            s.number,
                            s.elevation,
                            s.azimuth,
                            s.snr,
                            s.used ? 1 : 0,
                            s.signal};
}

SorvaneReceiverStatus ToCStatus(const ReceiverStatus& s) {
    SorvaneReceiverStatus c{};
    c.source = static_cast<std::int32_t>(s.source);
    c.state = static_cast<std::int32_t>(s.state);
    c.errorCode = s.errorCode;
    c.noDevice = s.noDevice ? 1 : 0;
    c.bytes = s.bytes;
    c.sentences = s.sentences;
    c.rejected = s.rejected;
    const std::size_t n = std::min(s.message.size(), sizeof c.message - 1);
    std::memcpy(c.message, s.message.data(), n);
    c.message[n] = '\0';
    return c;
}

}  // namespace sorvane
