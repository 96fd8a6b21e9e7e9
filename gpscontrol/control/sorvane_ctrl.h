#pragma once
// CSorvaneCtrl: the GPS control. Its properties and methods are those of the
// dispatch table; every method is a thin adapter onto the store, the
// transfers, the datum and symbol tables or the NMEA receiver, which the
// control holds while one runs. Without a store (its creation failed) each
// member answers with its fixed no-store value. Strings are UTF-8 here and
// code page 932 in the store.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "control/automation_types.h"
#include "control/dispatch_table.h"
#include "control/event_sinks.h"
#include "control/hresult.h"
#include "control/persisted_properties.h"
#include "control/picture.h"
#include "control/pp_for_each.h"
#include "control/receiver_events.h"
#include "control/variant.h"
#include "link/serial_port.h"
#include "nmea/position_source.h"

namespace sorvane {

class KelData;

class CSorvaneCtrl {
  public:
    using StoreFactory = std::function<std::unique_ptr<KelData>()>;

    CSorvaneCtrl();
    // The store comes from makeStore; when it gives none (or memory runs out)
    // the control has no store, as when its creation fails.
    explicit CSorvaneCtrl(const StoreFactory& makeStore);
    ~CSorvaneCtrl();
    CSorvaneCtrl(const CSorvaneCtrl&) = delete;
    CSorvaneCtrl& operator=(const CSorvaneCtrl&) = delete;

    bool HasStore() const { return store_ != nullptr; }
    KelData* Store() const { return store_.get(); }
    bool IsNMEAReceiving() const { return nmea_ != nullptr; }

    // What keeps the object this control lives in alive while an event runs,
    // so that a host may release its last reference from inside a handler:
    // acquire before the sinks are called, release (which may destroy this
    // control) once they have returned.
    void SetEventHold(std::function<void()> acquire, std::function<void()> release) {
        holdAcquire_ = std::move(acquire);
        holdRelease_ = std::move(release);
    }

    // Properties: GetBaudRate, SetBaudRate, ... A write marks the control modified.
#define SORVANE_CTRL_PROPERTY(id, name, T, def)     \
    AutoResult<AutoType::T> Get##name() const {     \
        return name##_;                             \
    }                                               \
    void Set##name(AutoResult<AutoType::T> value) { \
        name##_ = value;                            \
        modified_ = true;                           \
    }
    SORVANE_DISPATCH_PROPERTIES(SORVANE_CTRL_PROPERTY)
#undef SORVANE_CTRL_PROPERTY

    // Methods, declared from the dispatch table.
#define SORVANE_CTRL_PARAM(i, T, n) AutoParam<AutoType::T> n
#define SORVANE_CTRL_METHOD(id, name, R, ...) \
    AutoResult<AutoType::R> name(             \
        SORVANE_PP_FOR_EACH_COMMA(SORVANE_CTRL_PARAM __VA_OPT__(, ) __VA_ARGS__));
    SORVANE_DISPATCH_METHODS(SORVANE_CTRL_METHOD)
#undef SORVANE_CTRL_METHOD
#undef SORVANE_CTRL_PARAM

    // Calls a member by DISPID. args are in parameter order; a property get
    // takes none, a put one. argErr receives the index of a bad argument.
    HResult Invoke(std::int32_t dispid, std::uint16_t flags, std::span<Variant> args,
                   Variant* result, std::uint32_t* argErr = nullptr);

    // Event sinks of this control: Receiving from its own transfers (on the
    // caller's thread), NMEAReceived from its own receiver (on that thread).
    std::uint32_t Connect(EventHandler handler) {
        return sinks_.Connect(std::move(handler));
    }
    bool Disconnect(std::uint32_t cookie) {
        return sinks_.Disconnect(cookie);
    }

    // The position receiver beyond the automation members. The source is
    // the one the next StartNMEAReceiving starts; false for a port outside
    // 0 to 65535. The status, last fix and satellites are those of the
    // running receiver (stopped, none and empty without one). Receiver events
    // come on the receiver's thread, a start that fails at once on the caller's.
    bool SetReceiverSource(const ReceiverSource& source);
    ReceiverSource GetReceiverSource() const {
        return source_;
    }
    ReceiverStatus GetReceiverStatus() const;
    std::optional<NmeaFix> GetLastFix() const;
    std::vector<SatelliteInfo> GetSatelliteList() const;
    std::uint32_t ConnectReceiver(ReceiverEventHandler handler) {
        return receiverSinks_.Connect(std::move(handler));
    }
    bool DisconnectReceiver(std::uint32_t cookie) {
        return receiverSinks_.Disconnect(cookie);
    }

    // Persistence of the properties and the extent.
    std::array<std::uint8_t, kPersistedSize> Save(bool clearDirty = true);
    LoadStatus Load(std::span<const std::uint8_t> bytes);
    // All five properties back to their defaults, as for a new control.
    void ResetState();
    bool IsModified() const {
        return modified_;
    }
    void SetModifiedFlag(bool modified) {
        modified_ = modified;
    }
    std::int32_t ExtentWidth() const {
        return extentWidth_;
    }
    std::int32_t ExtentHeight() const {
        return extentHeight_;
    }
    void SetExtent(std::int32_t width, std::int32_t height);

    void Draw(Image& image, const Rect& bounds) const {
        DrawControl(image, bounds);
    }

    // The line settings a transfer opens the port with: the properties as they
    // are now, low bytes of the 16-bit ones.
    PortSettings LineSettings() const;
    // Per-byte time-out of the transfers (tests shorten it).
    void SetByteTimeoutMs(int ms) {
        byteTimeoutMs_ = ms;
    }

    // Raise an event to this control's sinks: FireReceiving, FireNMEAReceived.
#define SORVANE_CTRL_EVENT_PARAM(i, T, n) AutoParam<AutoType::T> n
#define SORVANE_CTRL_EVENT_ARG(i, T, n) Variant(n)
#define SORVANE_CTRL_FIRE(id, name, ...)                                                         \
    void Fire##name(SORVANE_PP_FOR_EACH_COMMA(SORVANE_CTRL_EVENT_PARAM, __VA_ARGS__)) {          \
        const Variant args[] = {SORVANE_PP_FOR_EACH_COMMA(SORVANE_CTRL_EVENT_ARG, __VA_ARGS__)}; \
        Fire(id, args);                                                                          \
    }
    SORVANE_DISPATCH_EVENTS(SORVANE_CTRL_FIRE)
#undef SORVANE_CTRL_FIRE
#undef SORVANE_CTRL_EVENT_ARG
#undef SORVANE_CTRL_EVENT_PARAM

  private:
    template <class Transfer>
    auto RunTransfer(Transfer&& transfer);
    // Runs f inside the event hold. This control may be gone when it returns.
    void InEventHold(const std::function<void()>& f);
    // Calls the sinks inside the event hold.
    void Fire(std::int32_t dispid, std::span<const Variant> args);
    void FireReceiver(const ReceiverEvent& event);
    ReceiverHandlers MakeReceiverHandlers();

#define SORVANE_CTRL_FIELD(id, name, T, def) AutoResult<AutoType::T> name##_ = def;
    SORVANE_DISPATCH_PROPERTIES(SORVANE_CTRL_FIELD)
#undef SORVANE_CTRL_FIELD

    std::int32_t extentWidth_ = kDefaultExtentWidth;
    std::int32_t extentHeight_ = kDefaultExtentHeight;
    bool modified_ = false;
    int byteTimeoutMs_ = SerialPort::kDefaultByteTimeoutMs;
    std::function<void()> holdAcquire_;
    std::function<void()> holdRelease_;
    ReceiverSource source_;
    // Declared in this order so that a running receiver, which raises events,
    // goes first, then the store, then the sinks.
    EventSinks sinks_;
    ReceiverSinks receiverSinks_;
    std::unique_ptr<KelData> store_;
    std::unique_ptr<PositionSource> nmea_;
};

}  // namespace sorvane
