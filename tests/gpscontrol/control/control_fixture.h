#pragma once
// Controls for the tests: with the usual store or without one (as when its
// creation fails), plain or behind the dispatch object hosts see.

#include <memory>
#include <ostream>
#include <string>

#include "control/module_objects.h"
#include "control/sorvane_ctrl.h"
#include "control/tsorvane.h"
#include "store/kel_data.h"

namespace sorvane {

// Failure messages show a variant's type and value.
inline void PrintTo(const Variant& v, std::ostream* os) {
    double n = 0;
    *os << VariantTypeName(v.type()) << ' '
        << (CoerceToR8(v, &n) == kOk ? std::to_string(n) : '"' + v.AsString() + '"');
}

}  // namespace sorvane

namespace controltest {

inline std::unique_ptr<sorvane::CSorvaneCtrl> MakeControl(bool withStore) {
    return withStore ? std::make_unique<sorvane::CSorvaneCtrl>()
                     : std::make_unique<sorvane::CSorvaneCtrl>(
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

// Two of everything, so that index 1 is valid and 2 is one past the end:
// waypoints A and B, routes R0 and R1 of waypoints P and Q, tracks T0 and T1
// of two segments of two points each.
inline void Fill(sorvane::TSorvane& g) {
    g.DeleteTrackAll();
    g.DeleteWaypointAll();
    g.DeleteRouteAll();
    g.AddWaypoint("A", "first", 35.0, 139.0, 10.0, 18, 2, 50.0);
    g.AddWaypoint("B", "second", 35.1, 139.1, 20.0, 8, 1, 0.0);
    for (int i = 0; i < 2; ++i) {
        g.AddRoute("R" + std::to_string(i));
        g.AddRouteWaypoint(i, "P", "", 35.0, 139.0, 0.0, 3, 5, 1.5);
        g.AddRouteWaypoint(i, "Q", "q", 35.2, 139.2, 4.0, 7, 0, 0.0);
        g.AddTrack("T" + std::to_string(i));
        for (int s = 0; s < 2; ++s) {
            g.AddTrackSegment(i);
            g.AddTrackData(i, s, 35.0, 139.0, 12.0, 123456);
            g.AddTrackData(i, s, 35.01, 139.01, 13.0, 123457);
        }
    }
}

// A port path that names nothing, so that transfers fail at once.
constexpr const char* kMissingPort = "/nonexistent/sorvane-test-port";

}  // namespace controltest
