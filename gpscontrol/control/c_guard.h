#pragma once
// The one guard around every function a C caller reaches (the module's
// exports, the C interface and the objects' tables of functions): nothing may
// unwind into a caller that knows no exceptions, so any exception becomes the
// function's failure value.

#include <new>
#include <type_traits>
#include <utility>

#include "control/hresult.h"

namespace sorvane {

// f(), or `failure` when it throws (`outOfMemory` when memory ran out).
template <class F, class R = std::invoke_result_t<F>>
R Guarded(F&& f, std::type_identity_t<R> failure, std::type_identity_t<R> outOfMemory) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return failure;
    }
}

template <class F, class R = std::invoke_result_t<F>>
R Guarded(F&& f, std::type_identity_t<R> failure) noexcept {
    return Guarded(std::forward<F>(f), failure, failure);
}

// For results of the automation boundary.
template <class F>
HResult GuardedResult(F&& f) noexcept {
    return Guarded(std::forward<F>(f), kUnexpected, kOutOfMemory);
}

// For functions without a result: the failure is only that nothing escapes.
template <class F>
void GuardedVoid(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
    }
}

}  // namespace sorvane
