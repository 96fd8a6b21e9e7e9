#pragma once
// TSorvane: the typed wrapper a host uses for the GPS control. Each method
// calls the control by DISPID through its dispatch table of functions, the
// way a wrapper generated from the type library does; the methods themselves
// are expanded from the dispatch table.

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

#include "control/automation_types.h"
#include "control/dispatch_table.h"
#include "control/hresult.h"
#include "control/picture.h"
#include "control/pp_for_each.h"
#include "control/sorvane.h"

namespace sorvane {

class SORVANE_API TSorvane {
  public:
    // Creates a control by its class identity: from the registered library,
    // else from the library this program is linked with. See ok().
    TSorvane();
    // Wraps an existing control and takes a reference to it.
    explicit TSorvane(SorvaneCtrl* control);
    ~TSorvane();
    TSorvane(const TSorvane&) = delete;
    TSorvane& operator=(const TSorvane&) = delete;

    bool ok() const { return control_ != nullptr; }
    SorvaneCtrl* Object() const { return control_; }
    // The result of creation, then of the last call (0 when it went through).
    HResult LastResult() const { return lastResult_; }

    // Properties: get_BaudRate, set_BaudRate, ...
#define SORVANE_TS_PROPERTY(id, name, T, def) \
    AutoResult<AutoType::T> get_##name();     \
    void set_##name(AutoResult<AutoType::T> value);
    SORVANE_DISPATCH_PROPERTIES(SORVANE_TS_PROPERTY)
#undef SORVANE_TS_PROPERTY

    // Methods. An output pointer may be null when the value is not wanted.
#define SORVANE_TS_PARAM(i, T, n) AutoParam<AutoType::T> n
#define SORVANE_TS_METHOD(id, name, R, ...) \
    AutoResult<AutoType::R> name(           \
        SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_PARAM __VA_OPT__(, ) __VA_ARGS__));
    SORVANE_DISPATCH_METHODS(SORVANE_TS_METHOD)
#undef SORVANE_TS_METHOD

    // Event handlers: SetOnReceiving, SetOnNMEAReceived. Receiving runs on the
    // thread of the transfer call, NMEAReceived on the receiver's thread.
#define SORVANE_TS_EVENT(id, name, ...)                                                \
    using name##Handler =                                                              \
        std::function<void(SORVANE_PP_FOR_EACH_COMMA(SORVANE_TS_PARAM, __VA_ARGS__))>; \
    void SetOn##name(name##Handler handler);
    SORVANE_DISPATCH_EVENTS(SORVANE_TS_EVENT)
#undef SORVANE_TS_EVENT
#undef SORVANE_TS_PARAM

    // The persisted properties (28 bytes), the reset to defaults, and whether
    // a property changed since the last load or save.
    std::array<std::uint8_t, SORVANE_PERSISTED_SIZE> Save();
    bool Load(std::span<const std::uint8_t> bytes);
    void Reset();
    bool IsDirty();
    void Draw(Image& image, const Rect& bounds);

    // A call by DISPID with C variants, for members chosen at run time.
    HResult Invoke(std::int32_t dispid, std::uint16_t flags, std::span<SorvaneVariant> args,
                   SorvaneVariant* result);

  private:
    template <AutoType R, AutoType... P, class... A>
    SORVANE_LOCAL AutoResult<R> Call(std::int32_t dispid, A&&... args);
    SORVANE_LOCAL void Connect();
    SORVANE_LOCAL static void OnEvent(void* user, std::int32_t dispid, const SorvaneVariant* args,
                                      std::int32_t argCount);

    SorvaneCtrl* control_ = nullptr;
    std::uint32_t cookie_ = 0;
    HResult lastResult_ = kOk;
    std::mutex handlersMutex_;
#define SORVANE_TS_HANDLER(id, name, ...) name##Handler on##name##_;
    SORVANE_DISPATCH_EVENTS(SORVANE_TS_HANDLER)
#undef SORVANE_TS_HANDLER
};

}  // namespace sorvane
