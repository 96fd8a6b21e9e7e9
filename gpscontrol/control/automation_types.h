#pragma once
// The automation types of the dispatch table and the C++ types they become in
// the control's methods and in the typed host wrapper.

#include <cstdint>
#include <string>

namespace sorvane {

enum class AutoType : std::uint8_t {
    svVoid,
    svBool,
    svI2,
    svI4,
    svR8,
    svBstr,
    svPI2,
    svPI4,
    svPR8,
    svPBstr,
};

template <AutoType T>
struct AutoTraits;

template <>
struct AutoTraits<AutoType::svVoid> {
    using Result = void;
};
template <>
struct AutoTraits<AutoType::svBool> {
    using Result = bool;
};
template <>
struct AutoTraits<AutoType::svI2> {
    using Param = std::int16_t;
    using Result = std::int16_t;
};
template <>
struct AutoTraits<AutoType::svI4> {
    using Param = std::int32_t;
    using Result = std::int32_t;
};
template <>
struct AutoTraits<AutoType::svR8> {
    using Param = double;
    using Result = double;
};
template <>
struct AutoTraits<AutoType::svBstr> {
    using Result = std::string;
};
template <>
struct AutoTraits<AutoType::svPI2> {
    using Param = std::int16_t*;
};
template <>
struct AutoTraits<AutoType::svPI4> {
    using Param = std::int32_t*;
};
template <>
struct AutoTraits<AutoType::svPR8> {
    using Param = double*;
};
template <>
struct AutoTraits<AutoType::svPBstr> {
    using Param = const std::string&;
};

template <AutoType T>
using AutoParam = typename AutoTraits<T>::Param;
template <AutoType T>
using AutoResult = typename AutoTraits<T>::Result;

constexpr bool IsOutput(AutoType t) {
    return t == AutoType::svPI2 || t == AutoType::svPI4 || t == AutoType::svPR8;
}

}  // namespace sorvane
