#pragma once
// TSorvane: the typed wrapper a host uses for the GPS control. It is written
// entirely over the C interface of control/sorvane.h, in this header, so that
// the library's binary interface is C alone. Each method calls the control by
// DISPID through its table of functions, the way a wrapper generated from
// the type library does; the methods themselves are expanded from the
// dispatch table.
//
// A TSorvane belongs to one thread: make it, call it and destroy it there.
// Only its NMEAReceived handler runs elsewhere (on the receiver's thread);
// Receiving runs inside the transfer call, on the caller's thread.

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "control/automation_types.h"
#include "control/dispatch_table.h"
#include "control/hresult.h"
#include "control/image.h"
#include "control/pp_for_each.h"
#include "control/sorvane.h"

namespace sorvane {

namespace tsorvane_detail {

// A typed argument as a C variant. Strings stay the caller's; an output the
// caller does not want goes to scratch space so that the call still runs.
template <AutoType T>
struct CArg;

template <>
struct CArg<AutoType::svI2> {
    SorvaneVariant v{};
    explicit CArg(std::int16_t x) {
        v.vt = SORVANE_VT_I2;
        v.u.iVal = x;
    }
};

template <>
struct CArg<AutoType::svI4> {
    SorvaneVariant v{};
    explicit CArg(std::int32_t x) {
        v.vt = SORVANE_VT_I4;
        v.u.lVal = x;
    }
};

template <>
struct CArg<AutoType::svR8> {
    SorvaneVariant v{};
    explicit CArg(double x) {
        v.vt = SORVANE_VT_R8;
        v.u.dblVal = x;
    }
};

template <>
struct CArg<AutoType::svPBstr> {
    SorvaneVariant v{};
    explicit CArg(const std::string& s) {
        v.vt = SORVANE_VT_BSTR;
        v.u.bstrVal = const_cast<char*>(s.c_str());  // read, never written or freed
    }
};

template <>
struct CArg<AutoType::svPI2> {
    SorvaneVariant v{};
    std::int16_t scratch = 0;
    explicit CArg(std::int16_t* p) {
        v.vt = SORVANE_VT_BYREF | SORVANE_VT_I2;
        v.u.piVal = p ? p : &scratch;
    }
    CArg(const CArg&) = delete;
};

template <>
struct CArg<AutoType::svPI4> {
    SorvaneVariant v{};
    std::int32_t scratch = 0;
    explicit CArg(std::int32_t* p) {
        v.vt = SORVANE_VT_BYREF | SORVANE_VT_I4;
        v.u.plVal = p ? p : &scratch;
    }
    CArg(const CArg&) = delete;
};

template <>
struct CArg<AutoType::svPR8> {
    SorvaneVariant v{};
    double scratch = 0.0;
    explicit CArg(double* p) {
        v.vt = SORVANE_VT_BYREF | SORVANE_VT_R8;
        v.u.pdblVal = p ? p : &scratch;
    }
    CArg(const CArg&) = delete;
};

// The result of a call in its C++ type; a result of another type than the
// table says (a control of another build) reads as the type's zero.
template <AutoType R>
AutoResult<R> FromResult(SorvaneVariant& v) {
    if constexpr (R == AutoType::svVoid) {
        sorvane_variant_clear(&v);
    } else if constexpr (R == AutoType::svBool) {
        const bool b = v.vt == SORVANE_VT_BOOL && v.u.boolVal != 0;
        sorvane_variant_clear(&v);
        return b;
    } else if constexpr (R == AutoType::svI2) {
        const std::int16_t x = v.vt == SORVANE_VT_I2 ? v.u.iVal : 0;
        sorvane_variant_clear(&v);
        return x;
    } else if constexpr (R == AutoType::svI4) {
        const std::int32_t x = v.vt == SORVANE_VT_I4 ? v.u.lVal : 0;
        sorvane_variant_clear(&v);
        return x;
    } else if constexpr (R == AutoType::svR8) {
        const double x = v.vt == SORVANE_VT_R8 ? v.u.dblVal : 0.0;
        sorvane_variant_clear(&v);
        return x;
    } else {
        static_assert(R == AutoType::svBstr);
        std::string s;
        if (v.vt == SORVANE_VT_BSTR && v.u.bstrVal != nullptr)
            s = v.u.bstrVal;
        sorvane_variant_clear(&v);
        return s;
    }
}

// An event argument in its C++ type (missing or of another type: zero).
template <AutoType T>
AutoParam<T> EventArg(const SorvaneVariant* args, std::int32_t count, int index) {
    if (args == nullptr || index >= count)
        return {};
    const SorvaneVariant& v = args[index];
    if constexpr (T == AutoType::svI2) {
        return v.vt == SORVANE_VT_I2 ? v.u.iVal : std::int16_t{0};
    } else if constexpr (T == AutoType::svI4) {
        return v.vt == SORVANE_VT_I4 ? v.u.lVal : 0;
    } else {
        static_assert(T == AutoType::svR8);
        return v.vt == SORVANE_VT_R8 ? v.u.dblVal : 0.0;
    }
}

}  // namespace tsorvane_detail

class TSorvane {
  public:
    // Creates a control by its class identity: from the registered library,
    // else from the library this program is linked with. See ok().
    TSorvane() {
        const SorvaneGuid clsid = SORVANE_CLSID_SORVANE;
        lastResult_ = sorvane_create_instance(&clsid, &control_);
        if (control_ != nullptr)
            Connect();
    }
    // Wraps an existing control and takes a reference to it.
    explicit TSorvane(SorvaneCtrl* control) : control_(control) {
        if (control_ == nullptr) {
            lastResult_ = kPointer;
            return;
        }
        control_->lpVtbl->AddRef(control_);
        Connect();
    }
    ~TSorvane() {
        *alive_ = false;
        if (control_ == nullptr)
            return;
        if (receiverCookie_ != 0)
            sorvane_receiver_disconnect(control_, receiverCookie_);
        if (cookie_ != 0)
            control_->lpVtbl->Unadvise(control_, cookie_);
        control_->lpVtbl->Release(control_);
    }
    TSorvane(const TSorvane&) = delete;
    TSorvane& operator=(const TSorvane&) = delete;

    bool ok() const { return control_ != nullptr; }
    SorvaneCtrl* Object() const { return control_; }
    // The result of creation, then of the last call (0 when it went through).
    HResult LastResult() const { return lastResult_; }

    // Properties: get_BaudRate, set_BaudRate, ...
#define SORVANE_TS_PROPERTY(id, name, T, def)                            \
    AutoResult<AutoType::T> get_##name() {                               \
        SorvaneVariant result{};                                         \
        Dispatch(id, SORVANE_DISPATCH_PROPERTYGET, nullptr, 0, &result); \
        return tsorvane_detail::FromResult<AutoType::T>(result);         \
    }                                                                    \
    void set_##name(AutoResult<AutoType::T> value) {                     \
        tsorvane_detail::CArg<AutoType::T> arg(value);                   \
        Dispatch(id, SORVANE_DISPATCH_PROPERTYPUT, &arg.v, 1, nullptr);  \
    }
    SORVANE_DISPATCH_PROPERTIES(SORVANE_TS_PROPERTY)
#undef SORVANE_TS_PROPERTY

    // Methods. An output pointer may be null when the value is not wanted.
#define SORVANE_TS_PARAM(i, T, n) AutoParam<AutoType::T> n
#define SORVANE_TS_TYPE(i, T, n) , AutoType::T
#define SORVANE_TS_NAME(i, T, n) , n
#define SORVANE_TS_METHOD(id, name, R, ...)                                                       \
    AutoResult<AutoType::R> name(                                                                 \
        SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_PARAM __VA_OPT__(, ) __VA_ARGS__)) {                 \
        return Call<AutoType::R SORVANE_PP_FOR_EACH(SORVANE_TS_TYPE __VA_OPT__(, ) __VA_ARGS__)>( \
            id SORVANE_PP_FOR_EACH(SORVANE_TS_NAME __VA_OPT__(, ) __VA_ARGS__));                  \
    }
    SORVANE_DISPATCH_METHODS(SORVANE_TS_METHOD)
#undef SORVANE_TS_METHOD
#undef SORVANE_TS_NAME
#undef SORVANE_TS_TYPE

    // Event handlers: SetOnReceiving, SetOnNMEAReceived. Receiving runs on the
    // thread of the transfer call, NMEAReceived on the receiver's thread.
#define SORVANE_TS_EVENT(id, name, ...)                                                \
    using name##Handler =                                                              \
        std::function<void(SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_PARAM, __VA_ARGS__))>; \
    void SetOn##name(name##Handler handler) {                                          \
        std::lock_guard lock(handlersMutex_);                                          \
        on##name##_ = std::move(handler);                                              \
    }
    SORVANE_DISPATCH_EVENTS(SORVANE_TS_EVENT)
#undef SORVANE_TS_EVENT
#undef SORVANE_TS_PARAM

    // ---- The position receiver beyond the automation members (control/sorvane.h).
    // A control without them answers false, an empty status and no satellites.

    // The source the next StartNMEAReceiving starts: SORVANE_SOURCE_SERIAL
    // (CommPort at BaudRate), or SORVANE_SOURCE_GPSD at host ("" localhost)
    // and port (0 for 2947).
    bool SetReceiverSource(std::int32_t source, const std::string& host = {},
                           std::int32_t port = 0) {
        lastResult_ = sorvane_receiver_set_source(control_, source, host.c_str(), port);
        return lastResult_ == kOk;
    }
    std::int32_t GetReceiverSource(std::string* host = nullptr, std::int32_t* port = nullptr) {
        std::int32_t source = SORVANE_SOURCE_SERIAL;
        char name[256] = {};
        lastResult_ = sorvane_receiver_get_source(control_, &source, name, sizeof name, port);
        if (host != nullptr)
            *host = name;
        return source;
    }
    SorvaneReceiverStatus GetReceiverStatus() {
        SorvaneReceiverStatus status{};
        lastResult_ = sorvane_receiver_status(control_, &status);
        return status;
    }
    // The last fix of the running receiver, with its quality.
    std::optional<SorvaneFix> GetLastFix() {
        SorvaneFix fix{};
        lastResult_ = sorvane_receiver_last_fix(control_, &fix);
        return lastResult_ == kOk ? std::optional<SorvaneFix>(fix) : std::nullopt;
    }
    // Every satellite in view, of every constellation, each once.
    std::vector<SorvaneSatellite> GetSatellites() {
        std::vector<SorvaneSatellite> all;
        std::int32_t count = 0;
        // The list may grow between the two calls; then ask again.
        for (int attempt = 0; attempt < 4; ++attempt) {
            lastResult_ = sorvane_receiver_satellites(
                control_, all.data(), static_cast<std::int32_t>(all.size()), &count);
            if (lastResult_ != kOk) {
                all.clear();
                break;
            }
            if (count <= static_cast<std::int32_t>(all.size())) {
                all.resize(static_cast<std::size_t>(count));
                break;
            }
            all.resize(static_cast<std::size_t>(count) + 8);
        }
        return all;
    }

    // Receiver events, on the receiver's thread (a start that fails at once
    // reports its status inside StartNMEAReceiving): each fix with its
    // quality, a change of the satellite list or of the status, each line.
    using FixHandler = std::function<void(const SorvaneFix&)>;
    using SatellitesHandler = std::function<void()>;
    using ReceiverStatusHandler = std::function<void(const SorvaneReceiverStatus&)>;
    using SentenceHandler = std::function<void(std::string_view)>;
    void SetOnFix(FixHandler handler) {
        std::lock_guard lock(handlersMutex_);
        onFix_ = std::move(handler);
    }
    void SetOnSatellites(SatellitesHandler handler) {
        std::lock_guard lock(handlersMutex_);
        onSatellites_ = std::move(handler);
    }
    void SetOnReceiverStatus(ReceiverStatusHandler handler) {
        std::lock_guard lock(handlersMutex_);
        onReceiverStatus_ = std::move(handler);
    }
    void SetOnSentence(SentenceHandler handler) {
        std::lock_guard lock(handlersMutex_);
        onSentence_ = std::move(handler);
    }

    // The persisted properties (28 bytes), the reset to defaults, and whether
    // a property changed since the last load or save.
    std::array<std::uint8_t, SORVANE_PERSISTED_SIZE> Save() {
        std::array<std::uint8_t, SORVANE_PERSISTED_SIZE> bytes{};
        lastResult_ =
            control_ ? control_->lpVtbl->Save(control_, bytes.data(), bytes.size(), 1) : kPointer;
        return bytes;
    }
    bool Load(std::span<const std::uint8_t> bytes) {
        lastResult_ =
            control_ ? control_->lpVtbl->Load(control_, bytes.data(), bytes.size()) : kPointer;
        return lastResult_ == kOk;
    }
    void Reset() {
        lastResult_ = control_ ? control_->lpVtbl->InitNew(control_) : kPointer;
    }
    bool IsDirty() {
        lastResult_ = control_ ? control_->lpVtbl->IsDirty(control_) : kPointer;
        return lastResult_ == kOk;
    }
    void Draw(Image& image, const Rect& bounds) {
        const SorvaneRect r{bounds.left, bounds.top, bounds.right, bounds.bottom};
        lastResult_ = control_ ? control_->lpVtbl->Draw(control_, image.pixels.data(), image.width,
                                                        image.height, &r)
                               : kPointer;
    }

    // The name a receiver of the current product will hold for `name` after
    // an upload (kind SORVANE_NAME_WAYPOINT or SORVANE_NAME_ROUTE; see
    // sorvane_receiver_name). Nothing when the control cannot say.
    std::optional<std::string> ReceiverName(std::int32_t kind, const std::string& name) {
        if (control_ == nullptr) {
            lastResult_ = kPointer;
            return std::nullopt;
        }
        char small[64];
        std::size_t length = 0;
        lastResult_ =
            sorvane_receiver_name(control_, kind, name.c_str(), small, sizeof small, &length);
        if (lastResult_ != kOk)
            return std::nullopt;
        if (length < sizeof small)
            return std::string(small, length);
        std::string held(length + 1, '\0');
        lastResult_ =
            sorvane_receiver_name(control_, kind, name.c_str(), held.data(), held.size(), &length);
        if (lastResult_ != kOk)
            return std::nullopt;
        held.resize(std::min(length, held.size() - 1));
        return held;
    }

    // A call by DISPID with C variants, for members chosen at run time.
    HResult Invoke(std::int32_t dispid, std::uint16_t flags, std::span<SorvaneVariant> args,
                   SorvaneVariant* result) {
        return Dispatch(dispid, flags, args.data(), static_cast<std::int32_t>(args.size()), result);
    }

  private:
    // One call through the control's table. A handler may destroy this
    // wrapper during the call (the control keeps itself alive meanwhile);
    // the result is then not recorded.
    HResult Dispatch(std::int32_t dispid, std::uint16_t flags, SorvaneVariant* args,
                     std::int32_t count, SorvaneVariant* result) {
        if (control_ == nullptr) {
            lastResult_ = kPointer;
            return kPointer;
        }
        const std::shared_ptr<bool> alive = alive_;
        const HResult hr =
            control_->lpVtbl->Invoke(control_, dispid, flags, args, count, result, nullptr);
        if (*alive)
            lastResult_ = hr;
        return hr;
    }

    template <AutoType R, AutoType... P, class... A>
    AutoResult<R> Call(std::int32_t dispid, A&&... args) {
        SorvaneVariant result{};
        if constexpr (sizeof...(P) == 0) {
            Dispatch(dispid, SORVANE_DISPATCH_METHOD, nullptr, 0, &result);
        } else {
            std::tuple<tsorvane_detail::CArg<P>...> converted{std::forward<A>(args)...};
            SorvaneVariant cargs[sizeof...(P)];
            [&]<std::size_t... I>(std::index_sequence<I...>) {
                ((cargs[I] = std::get<I>(converted).v), ...);
            }
            (std::make_index_sequence<sizeof...(P)>{});
            Dispatch(dispid, SORVANE_DISPATCH_METHOD, cargs,
                     static_cast<std::int32_t>(sizeof...(P)), &result);
        }
        return tsorvane_detail::FromResult<R>(result);
    }

    void Connect() {
        const HResult hr = control_->lpVtbl->Advise(control_, &TSorvane::OnEvent, this, &cookie_);
        if (hr != kOk)
            cookie_ = 0;
        // A control without the receiver interface simply raises none of its events.
        if (sorvane_receiver_connect(control_, &TSorvane::OnReceiverEvent, this,
                                     &receiverCookie_) != kOk)
            receiverCookie_ = 0;
    }

    static void OnReceiverEvent(void* user, const SorvaneReceiverEvent* event) {
        auto* self = static_cast<TSorvane*>(user);
        std::unique_lock lock(self->handlersMutex_);
        switch (event->kind) {
            case SORVANE_RECEIVER_EVENT_FIX:
                if (FixHandler h = self->onFix_; h && event->fix != nullptr) {
                    lock.unlock();
                    h(*event->fix);
                }
                break;
            case SORVANE_RECEIVER_EVENT_SATELLITES:
                if (SatellitesHandler h = self->onSatellites_) {
                    lock.unlock();
                    h();
                }
                break;
            case SORVANE_RECEIVER_EVENT_STATUS:
                if (ReceiverStatusHandler h = self->onReceiverStatus_;
                    h && event->status != nullptr) {
                    lock.unlock();
                    h(*event->status);
                }
                break;
            case SORVANE_RECEIVER_EVENT_SENTENCE:
                if (SentenceHandler h = self->onSentence_; h && event->sentence != nullptr) {
                    lock.unlock();
                    h(event->sentence);
                }
                break;
            default:
                break;
        }
    }

    static void OnEvent(void* user, std::int32_t dispid, const SorvaneVariant* args,
                        std::int32_t argCount) {
        auto* self = static_cast<TSorvane*>(user);
        switch (dispid) {
#define SORVANE_TS_EVENT_ARG(i, T, n) tsorvane_detail::EventArg<AutoType::T>(args, argCount, i)
#define SORVANE_TS_DISPATCH_EVENT(id, name, ...)                                   \
    case id: {                                                                     \
        name##Handler handler;                                                     \
        {                                                                          \
            std::lock_guard lock(self->handlersMutex_);                            \
            handler = self->on##name##_;                                           \
        }                                                                          \
        if (handler)                                                               \
            handler(SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_EVENT_ARG, __VA_ARGS__)); \
        break;                                                                     \
    }
            SORVANE_DISPATCH_EVENTS(SORVANE_TS_DISPATCH_EVENT)
#undef SORVANE_TS_DISPATCH_EVENT
#undef SORVANE_TS_EVENT_ARG
            default:
                break;
        }
    }

    SorvaneCtrl* control_ = nullptr;
    std::uint32_t cookie_ = 0;
    std::uint32_t receiverCookie_ = 0;
    FixHandler onFix_;
    SatellitesHandler onSatellites_;
    ReceiverStatusHandler onReceiverStatus_;
    SentenceHandler onSentence_;
    HResult lastResult_ = kOk;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::mutex handlersMutex_;
#define SORVANE_TS_HANDLER(id, name, ...) name##Handler on##name##_;
    SORVANE_DISPATCH_EVENTS(SORVANE_TS_HANDLER)
#undef SORVANE_TS_HANDLER
};

}  // namespace sorvane
