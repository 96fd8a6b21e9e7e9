#pragma once
// Creating a control the way a host does: by class identity or ProgID through
// the per-user registration (the registered library is loaded and asked for
// its class factory), else from the library the host is linked with.

#include <string_view>

#include "control/guid.h"
#include "control/hresult.h"
#include "control/sorvane.h"

namespace sorvane {

// *control gets one reference. REGDB_E_CLASSNOTREG for a class nobody knows.
HResult CreateControl(const Guid& clsid, SorvaneCtrl** control);
// CO_E_CLASSSTRING for an unknown ProgID.
HResult CreateControlByProgId(std::string_view progId, SorvaneCtrl** control);

}  // namespace sorvane
