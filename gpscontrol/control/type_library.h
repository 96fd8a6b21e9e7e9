#pragma once
// The printable description of the type library: identities, versions, help
// strings and flags, every member of the dispatch interface and the events
// with their DISPIDs and parameters, the control class, and the module's
// version data. It is generated from the dispatch table.

#include <string>

namespace sorvane {

std::string TypeLibraryText();

}  // namespace sorvane
