#pragma once
// Class, interface and library identities in their usual text form
// "914DF45E-484F-41AD-A02C-17BF2318AD63".

#include <optional>
#include <string>
#include <string_view>

#include "control/sorvane.h"

namespace sorvane {

using Guid = SorvaneGuid;

bool SameGuid(const Guid& a, const Guid& b);
// Upper-case hexadecimal without braces.
std::string FormatGuid(const Guid& g);
// Accepts the form above, with or without braces, in either letter case.
std::optional<Guid> ParseGuid(std::string_view text);

}  // namespace sorvane
