#pragma once
// Result codes of the automation boundary, with their platform values so that
// hosts written against the usual codes understand them.

#include <cstdint>

namespace sorvane {

using HResult = std::int32_t;

constexpr HResult ToHResult(std::uint32_t code) {
    return static_cast<HResult>(code);
}

constexpr HResult kOk = 0;                                       // S_OK
constexpr HResult kFalse = 1;                                    // S_FALSE
constexpr HResult kNotImplemented = ToHResult(0x80004001u);      // E_NOTIMPL
constexpr HResult kNoInterface = ToHResult(0x80004002u);         // E_NOINTERFACE
constexpr HResult kPointer = ToHResult(0x80004003u);             // E_POINTER
constexpr HResult kFail = ToHResult(0x80004005u);                // E_FAIL
constexpr HResult kUnexpected = ToHResult(0x8000FFFFu);          // E_UNEXPECTED
constexpr HResult kOutOfMemory = ToHResult(0x8007000Eu);         // E_OUTOFMEMORY
constexpr HResult kInvalidArg = ToHResult(0x80070057u);          // E_INVALIDARG
constexpr HResult kMemberNotFound = ToHResult(0x80020003u);      // DISP_E_MEMBERNOTFOUND
constexpr HResult kTypeMismatch = ToHResult(0x80020005u);        // DISP_E_TYPEMISMATCH
constexpr HResult kUnknownName = ToHResult(0x80020006u);         // DISP_E_UNKNOWNNAME
constexpr HResult kOverflow = ToHResult(0x8002000Au);            // DISP_E_OVERFLOW
constexpr HResult kBadParamCount = ToHResult(0x8002000Eu);       // DISP_E_BADPARAMCOUNT
constexpr HResult kNoAggregation = ToHResult(0x80040110u);       // CLASS_E_NOAGGREGATION
constexpr HResult kClassNotAvailable = ToHResult(0x80040111u);   // CLASS_E_CLASSNOTAVAILABLE
constexpr HResult kClassNotRegistered = ToHResult(0x80040154u);  // REGDB_E_CLASSNOTREG
constexpr HResult kBadClassString = ToHResult(0x800401F3u);      // CO_E_CLASSSTRING
constexpr HResult kSelfRegTypeLib = ToHResult(0x80040200u);      // SELFREG_E_TYPELIB
constexpr HResult kSelfRegClass = ToHResult(0x80040201u);        // SELFREG_E_CLASS

}  // namespace sorvane
