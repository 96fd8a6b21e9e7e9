// The per-user registration file, whatever another program or a user left in it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "control/guid.h"
#include "control/registration.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const sorvane::RegistryFile file = sorvane::ParseRegistryFile(text);
    for (const sorvane::RegistrySection& s : file.sections) {
        for (const char* key : {"@", "CLSID", "InprocServer32", "ProgID"}) {
            if (const auto value = s.Value(key))
                sorvane::ParseGuid(*value);
        }
    }
    // A section registration writes into whatever surrounds it reads back.
    sorvane::RegistryFile changed = file;
    const std::string name = "CLSID\\{914DF45E-484F-41AD-A02C-17BF2318AD63}";
    changed.Put({name, {"InprocServer32=/usr/lib/libsorvane.so.3"}});
    const sorvane::RegistryFile back =
        sorvane::ParseRegistryFile(sorvane::FormatRegistryFile(changed));
    const sorvane::RegistrySection* s = back.Find(name);
    if (s == nullptr || s->Value("InprocServer32") != "/usr/lib/libsorvane.so.3")
        std::abort();
    return 0;
}
