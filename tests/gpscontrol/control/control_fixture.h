#pragma once
// Controls for the tests: with the usual store or without one (as when its
// creation fails), plain or behind the dispatch object hosts see.

#include <memory>

#include "control/module_objects.h"
#include "control/sorvane_ctrl.h"
#include "store/kel_data.h"

namespace controltest {

inline std::unique_ptr<sorvane::CSorvaneCtrl> MakeControl(bool withStore) {
    if (withStore)
        return std::make_unique<sorvane::CSorvaneCtrl>();
    return std::make_unique<sorvane::CSorvaneCtrl>(
        [] { return std::unique_ptr<sorvane::KelData>(); });
}

// Releases the test's reference when it goes.
struct ObjectRef {
    SorvaneCtrl* object = nullptr;
    explicit ObjectRef(SorvaneCtrl* o) : object(o) {}
    ~ObjectRef() {
        if (object != nullptr)
            object->lpVtbl->Release(object);
    }
    ObjectRef(const ObjectRef&) = delete;
    ObjectRef& operator=(const ObjectRef&) = delete;
    sorvane::CSorvaneCtrl& ctrl() const { return *sorvane::ControlOf(object); }
};

inline SorvaneCtrl* MakeObject(bool withStore) {
    return sorvane::NewControlObject(MakeControl(withStore));
}

// A port path that names nothing, so that transfers fail at once.
constexpr const char* kMissingPort = "/nonexistent/sorvane-test-port";

}  // namespace controltest
