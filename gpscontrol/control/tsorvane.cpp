#include "control/tsorvane.h"

#include <cstring>
#include <tuple>
#include <utility>

#include "control/class_creation.h"
#include "control/identities.h"

namespace sorvane {

namespace {

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

}  // namespace

TSorvane::TSorvane() {
    lastResult_ = CreateControl(kClsidSorvane, &control_);
    if (control_ != nullptr)
        Connect();
}

TSorvane::TSorvane(SorvaneCtrl* control) : control_(control) {
    if (control_ == nullptr) {
        lastResult_ = kPointer;
        return;
    }
    control_->lpVtbl->AddRef(control_);
    Connect();
}

TSorvane::~TSorvane() {
    if (control_ == nullptr)
        return;
    if (cookie_ != 0)
        control_->lpVtbl->Unadvise(control_, cookie_);
    control_->lpVtbl->Release(control_);
}

void TSorvane::Connect() {
    const HResult hr = control_->lpVtbl->Advise(control_, &TSorvane::OnEvent, this, &cookie_);
    if (hr != kOk)
        cookie_ = 0;
}

template <AutoType R, AutoType... P, class... A>
AutoResult<R> TSorvane::Call(std::int32_t dispid, A&&... args) {
    SorvaneVariant result{};
    if (control_ == nullptr) {
        lastResult_ = kPointer;
        return FromResult<R>(result);
    }
    std::tuple<CArg<P>...> converted{std::forward<A>(args)...};
    HResult hr = kOk;
    if constexpr (sizeof...(P) == 0) {
        hr = control_->lpVtbl->Invoke(control_, dispid, SORVANE_DISPATCH_METHOD, nullptr, 0,
                                      &result, nullptr);
    } else {
        SorvaneVariant cargs[sizeof...(P)];
        [&]<std::size_t... I>(std::index_sequence<I...>) {
            ((cargs[I] = std::get<I>(converted).v), ...);
        }
        (std::make_index_sequence<sizeof...(P)>{});
        hr = control_->lpVtbl->Invoke(control_, dispid, SORVANE_DISPATCH_METHOD, cargs,
                                      static_cast<std::int32_t>(sizeof...(P)), &result, nullptr);
    }
    lastResult_ = hr;
    return FromResult<R>(result);
}

// ---- properties and methods, from the dispatch table --------------------------------

#define SORVANE_TS_PROPERTY(id, name, T, def)                                                      \
    AutoResult<AutoType::T> TSorvane::get_##name() {                                               \
        SorvaneVariant result{};                                                                   \
        if (control_ == nullptr) {                                                                 \
            lastResult_ = kPointer;                                                                \
            return FromResult<AutoType::T>(result);                                                \
        }                                                                                          \
        lastResult_ = control_->lpVtbl->Invoke(control_, id, SORVANE_DISPATCH_PROPERTYGET,         \
                                               nullptr, 0, &result, nullptr);                      \
        return FromResult<AutoType::T>(result);                                                    \
    }                                                                                              \
    void TSorvane::set_##name(AutoResult<AutoType::T> value) {                                     \
        if (control_ == nullptr) {                                                                 \
            lastResult_ = kPointer;                                                                \
            return;                                                                                \
        }                                                                                          \
        CArg<AutoType::T> arg(value);                                                              \
        lastResult_ = control_->lpVtbl->Invoke(control_, id, SORVANE_DISPATCH_PROPERTYPUT, &arg.v, \
                                               1, nullptr, nullptr);                               \
    }
SORVANE_DISPATCH_PROPERTIES(SORVANE_TS_PROPERTY)
#undef SORVANE_TS_PROPERTY

#define SORVANE_TS_PARAM(i, T, n) AutoParam<AutoType::T> n
#define SORVANE_TS_TYPE(i, T, n) , AutoType::T
#define SORVANE_TS_NAME(i, T, n) , n
#define SORVANE_TS_METHOD(id, name, R, ...)                                                       \
    AutoResult<AutoType::R> TSorvane::name(                                                       \
        SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_PARAM __VA_OPT__(, ) __VA_ARGS__)) {                 \
        return Call<AutoType::R SORVANE_PP_FOR_EACH(SORVANE_TS_TYPE __VA_OPT__(, ) __VA_ARGS__)>( \
            id SORVANE_PP_FOR_EACH(SORVANE_TS_NAME __VA_OPT__(, ) __VA_ARGS__));                  \
    }
SORVANE_DISPATCH_METHODS(SORVANE_TS_METHOD)
#undef SORVANE_TS_METHOD
#undef SORVANE_TS_NAME
#undef SORVANE_TS_TYPE

// ---- events -----------------------------------------------------------------------------

#define SORVANE_TS_SET_HANDLER(id, name, ...)           \
    void TSorvane::SetOn##name(name##Handler handler) { \
        std::lock_guard lock(handlersMutex_);           \
        on##name##_ = std::move(handler);               \
    }
SORVANE_DISPATCH_EVENTS(SORVANE_TS_SET_HANDLER)
#undef SORVANE_TS_SET_HANDLER

void TSorvane::OnEvent(void* user, std::int32_t dispid, const SorvaneVariant* args,
                       std::int32_t argCount) {
    auto* self = static_cast<TSorvane*>(user);
    switch (dispid) {
#define SORVANE_TS_EVENT_ARG(i, T, n) EventArg<AutoType::T>(args, argCount, i)
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

#undef SORVANE_TS_PARAM

// ---- persistence and picture ------------------------------------------------------------

std::array<std::uint8_t, SORVANE_PERSISTED_SIZE> TSorvane::Save() {
    std::array<std::uint8_t, SORVANE_PERSISTED_SIZE> bytes{};
    lastResult_ =
        control_ ? control_->lpVtbl->Save(control_, bytes.data(), bytes.size(), 1) : kPointer;
    return bytes;
}

bool TSorvane::Load(std::span<const std::uint8_t> bytes) {
    lastResult_ =
        control_ ? control_->lpVtbl->Load(control_, bytes.data(), bytes.size()) : kPointer;
    return lastResult_ == kOk;
}

void TSorvane::Reset() {
    lastResult_ = control_ ? control_->lpVtbl->InitNew(control_) : kPointer;
}

bool TSorvane::IsDirty() {
    lastResult_ = control_ ? control_->lpVtbl->IsDirty(control_) : kPointer;
    return lastResult_ == kOk;
}

void TSorvane::Draw(Image& image, const Rect& bounds) {
    const SorvaneRect r{bounds.left, bounds.top, bounds.right, bounds.bottom};
    lastResult_ = control_ ? control_->lpVtbl->Draw(control_, image.pixels.data(), image.width,
                                                    image.height, &r)
                           : kPointer;
}

HResult TSorvane::Invoke(std::int32_t dispid, std::uint16_t flags, std::span<SorvaneVariant> args,
                         SorvaneVariant* result) {
    lastResult_ =
        control_ ? control_->lpVtbl->Invoke(control_, dispid, flags, args.data(),
                                            static_cast<std::int32_t>(args.size()), result, nullptr)
                 : kPointer;
    return lastResult_;
}

}  // namespace sorvane
