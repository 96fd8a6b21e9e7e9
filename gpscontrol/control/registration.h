#pragma once
// The per-user registration of the module: a small file of sections, like
// registry keys, under $XDG_DATA_HOME/sorvane/ (~/.local/share by default).
// Registering writes the type library's and the two classes' sections,
// unregistering removes exactly those; anything else in the file is kept as
// it stands. Every write replaces the file atomically.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "control/guid.h"
#include "control/hresult.h"

namespace sorvane {

// Empty when neither XDG_DATA_HOME nor HOME is set.
std::string RegistrationFilePath();

// The file of the module this code is in (the shared library, or the program
// it is linked into), found through the dynamic loader.
std::string ThisModulePath();

// 0, SELFREG_E_TYPELIB when the type library's sections could not be written,
// SELFREG_E_CLASS when the classes' could not.
HResult RegisterServer(const std::string& modulePath);
// The same codes; SELFREG_E_TYPELIB also when the type library is not registered.
HResult UnregisterServer();

// The library registered for a class, and the class of a ProgID.
std::optional<std::string> RegisteredServerPath(const Guid& clsid);
std::optional<Guid> RegisteredClassOfProgId(std::string_view progId);

// The file as sections of lines, in the order they stand.
struct RegistrySection {
    std::string name;
    std::vector<std::string> lines;  // "key=value", comments and blank lines as read

    std::optional<std::string> Value(std::string_view key) const;
};

struct RegistryFile {
    std::vector<std::string> preamble;  // lines before the first section
    std::vector<RegistrySection> sections;

    const RegistrySection* Find(std::string_view name) const;
    void Remove(std::string_view name);
    void Put(RegistrySection section);  // replaces a section of that name in place
    bool Empty() const;
};

RegistryFile ParseRegistryFile(std::string_view text);
std::string FormatRegistryFile(const RegistryFile& file);

// The sections registration writes for a module at modulePath: first the
// type library's and its interfaces', then the classes' and their ProgIDs'.
std::vector<RegistrySection> TypeLibrarySections(const std::string& modulePath);
std::vector<RegistrySection> ClassSections(const std::string& modulePath);

}  // namespace sorvane
