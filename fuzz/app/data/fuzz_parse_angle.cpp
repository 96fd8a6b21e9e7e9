// Angle texts of any bytes.
#include <cstdint>
#include <string>
#include <string_view>

#include "data/angle_unit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view view(reinterpret_cast<const char*>(data), size);
    const double a = tobrel::ParseAngle(view);
    const std::string terminated(view);
    const double b = tobrel::ParseAngle(terminated.c_str());
    // Both entry points read up to the first NUL.
    if (!(a == b || (a != a && b != b)))
        __builtin_trap();
    return 0;
}
