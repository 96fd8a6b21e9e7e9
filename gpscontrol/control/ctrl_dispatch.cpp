// Invoke by DISPID, expanded from the dispatch table.

#include <tuple>
#include <utility>

#include "control/dispatch_members.h"
#include "control/sorvane_ctrl.h"

namespace sorvane {

namespace {

// One argument converted to the parameter's C++ type.
template <AutoType T>
struct Arg;

template <>
struct Arg<AutoType::svI2> {
    std::int16_t value = 0;
    HResult From(const Variant& v) { return CoerceToI2(v, &value); }
    std::int16_t Get() const { return value; }
};

template <>
struct Arg<AutoType::svI4> {
    std::int32_t value = 0;
    HResult From(const Variant& v) { return CoerceToI4(v, &value); }
    std::int32_t Get() const { return value; }
};

template <>
struct Arg<AutoType::svR8> {
    double value = 0.0;
    HResult From(const Variant& v) { return CoerceToR8(v, &value); }
    double Get() const { return value; }
};

template <>
struct Arg<AutoType::svPBstr> {
    std::string value;
    HResult From(const Variant& v) { return CoerceToString(v, &value); }
    const std::string& Get() const { return value; }
};

// Outputs must be references of exactly their type, as the method writes them.
template <>
struct Arg<AutoType::svPI2> {
    std::int16_t* ref = nullptr;
    HResult From(const Variant& v) {
        ref = v.RefI2();
        return ref ? kOk : kTypeMismatch;
    }
    std::int16_t* Get() const { return ref; }
};

template <>
struct Arg<AutoType::svPI4> {
    std::int32_t* ref = nullptr;
    HResult From(const Variant& v) {
        ref = v.RefI4();
        return ref ? kOk : kTypeMismatch;
    }
    std::int32_t* Get() const { return ref; }
};

template <>
struct Arg<AutoType::svPR8> {
    double* ref = nullptr;
    HResult From(const Variant& v) {
        ref = v.RefR8();
        return ref ? kOk : kTypeMismatch;
    }
    double* Get() const { return ref; }
};

template <AutoType R, class Value>
Variant ResultVariant(Value&& v) {
    if constexpr (R == AutoType::svI2) {
        return Variant(static_cast<std::int16_t>(v));
    } else if constexpr (R == AutoType::svI4) {
        return Variant(static_cast<std::int32_t>(v));
    } else if constexpr (R == AutoType::svR8) {
        return Variant(static_cast<double>(v));
    } else if constexpr (R == AutoType::svBool) {
        return Variant(static_cast<bool>(v));
    } else {
        static_assert(R == AutoType::svBstr);
        return Variant(std::string(std::forward<Value>(v)));
    }
}

template <AutoType R, AutoType... P, class Call>
HResult CallWith(std::span<Variant> args, Variant* result, std::uint32_t* argErr, Call&& call) {
    if (args.size() != sizeof...(P))
        return kBadParamCount;
    std::tuple<Arg<P>...> converted;
    HResult hr = kOk;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (
            [&] {
                if (hr != kOk)
                    return;
                hr = std::get<I>(converted).From(args[I]);
                if (hr != kOk && argErr != nullptr)
                    *argErr = static_cast<std::uint32_t>(I);
            }(),
            ...);
    }
    (std::make_index_sequence<sizeof...(P)>{});
    if (hr != kOk)
        return hr;
    if constexpr (R == AutoType::svVoid) {
        std::apply([&](auto&... a) { call(a.Get()...); }, converted);
        if (result != nullptr)
            *result = Variant();
    } else {
        auto value = std::apply([&](auto&... a) { return call(a.Get()...); }, converted);
        if (result != nullptr)
            *result = ResultVariant<R>(std::move(value));
    }
    return kOk;
}

template <AutoType T, class Setter>
HResult PutProperty(std::span<Variant> args, std::uint32_t* argErr, Setter&& set) {
    if (args.size() != 1)
        return kBadParamCount;
    Arg<T> value;
    const HResult hr = value.From(args[0]);
    if (hr != kOk) {
        if (argErr != nullptr)
            *argErr = 0;
        return hr;
    }
    set(value.Get());
    return kOk;
}

}  // namespace

HResult CSorvaneCtrl::Invoke(std::int32_t dispid, std::uint16_t flags, std::span<Variant> args,
                             Variant* result, std::uint32_t* argErr) {
    const MemberInfo* member = FindMember(dispid);
    if (member == nullptr)
        return kMemberNotFound;

    if (member->kind == MemberKind::Property) {
        // A method call without arguments reads a property, as automation allows.
        const bool put = (flags & kDispatchPropertyPut) != 0;
        const bool get = !put && ((flags & kDispatchPropertyGet) != 0 ||
                                  ((flags & kDispatchMethod) != 0 && args.empty()));
        if (!put && !get)
            return kMemberNotFound;
        if (get && !args.empty())
            return kBadParamCount;
        switch (dispid) {
#define SORVANE_INVOKE_PROPERTY(id, name, T, def)                                         \
    case id:                                                                              \
        if (put)                                                                          \
            return PutProperty<AutoType::T>(args, argErr, [&](auto v) { Set##name(v); }); \
        if (result != nullptr)                                                            \
            *result = ResultVariant<AutoType::T>(Get##name());                            \
        return kOk;
            SORVANE_DISPATCH_PROPERTIES(SORVANE_INVOKE_PROPERTY)
#undef SORVANE_INVOKE_PROPERTY
        }
        return kMemberNotFound;
    }

    if ((flags & (kDispatchMethod | kDispatchPropertyGet)) == 0)
        return kMemberNotFound;
    switch (dispid) {
#define SORVANE_INVOKE_TYPE(i, T, n) , AutoType::T
#define SORVANE_INVOKE_METHOD(id, name, R, ...)                                          \
    case id:                                                                             \
        return CallWith<AutoType::R SORVANE_PP_FOR_EACH(SORVANE_INVOKE_TYPE __VA_OPT__(  \
            , ) __VA_ARGS__)>(args, result, argErr, [&](auto&&... a) -> decltype(auto) { \
            return this->name(std::forward<decltype(a)>(a)...);                          \
        });
        SORVANE_DISPATCH_METHODS(SORVANE_INVOKE_METHOD)
#undef SORVANE_INVOKE_METHOD
#undef SORVANE_INVOKE_TYPE
    }
    return kMemberNotFound;
}

}  // namespace sorvane
