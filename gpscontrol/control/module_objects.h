#pragma once
// The module's objects as hosts see them: a control behind its table of
// functions, the property page, the two class factories, and the counts of
// live objects and server locks that decide whether the module may unload.

#include <memory>

#include "control/guid.h"
#include "control/hresult.h"
#include "control/sorvane.h"
#include "control/sorvane_ctrl.h"
#include "control/variant.h"

namespace sorvane {

// A dispatch object around ctrl, with one reference; nullptr when memory runs out.
SorvaneCtrl* NewControlObject(std::unique_ptr<CSorvaneCtrl> ctrl);
// The control behind an object of this module, nullptr for another's.
CSorvaneCtrl* ControlOf(SorvaneCtrl* object);

// DllGetClassObject of this module.
HResult GetClassObject(const Guid& clsid, const Guid& iid, void** object);
// Controls and property pages alive, and server locks held.
int LiveObjectCount();
int ServerLockCount();

// Conversions between the C variant and the C++ one. A string result is
// copied into memory the caller frees with sorvane_variant_clear.
HResult FromCVariant(const SorvaneVariant& in, Variant* out);
HResult ToCVariant(const Variant& in, SorvaneVariant* out);

}  // namespace sorvane
