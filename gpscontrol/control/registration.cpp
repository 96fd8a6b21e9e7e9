#include "control/registration.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "control/identities.h"

namespace sorvane {

namespace {

constexpr const char* kFileName = "registration.ini";
// The platform's dispatch proxy, which every dispatch interface names.
constexpr const char* kDispatchProxyClsid = "{00020420-0000-0000-C000-000000000046}";
constexpr int kLibFlagControl = 0x2;

std::string Braced(const Guid& g) {
    return "{" + FormatGuid(g) + "}";
}

std::string TypeLibVersionText() {
    return std::to_string(kTypeLibMajor) + "." + std::to_string(kTypeLibMinor);
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Trim(std::string_view s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    const std::size_t e = s.find_last_not_of(" \t\r");
    return std::string(s.substr(b, e - b + 1));
}

RegistrySection Section(std::string name,
                        std::initializer_list<std::pair<std::string, std::string>> values) {
    RegistrySection s{std::move(name), {}};
    for (const auto& [key, value] : values)
        s.lines.push_back(key + "=" + value);
    return s;
}

// Creates each missing folder of dir (as mkdir -p does).
bool MakeDirectories(const std::string& dir) {
    if (dir.empty())
        return false;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        partial = dir.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadFile(const std::string& path, std::string* text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    text->clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            ::close(fd);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        text->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes through a temporary file in the same folder and renames it over the
// old one, so that a reader sees the old file or the new one, never half.
bool ReplaceFile(const std::string& path, const std::string& text) {
    if (!MakeDirectories(DirectoryOf(path)))
        return false;
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// Applies change to the file; an emptied file is removed.
template <class Change>
bool UpdateFile(Change&& change) {
    const std::string path = RegistrationFilePath();
    if (path.empty())
        return false;
    std::string text;
    const ReadResult read = ReadFile(path, &text);
    if (read == ReadResult::Failed)
        return false;
    RegistryFile file = ParseRegistryFile(text);
    const bool existed = read == ReadResult::Ok;
    if (!change(file))
        return true;  // nothing to change
    if (file.Empty()) {
        if (existed && ::unlink(path.c_str()) != 0 && errno != ENOENT)
            return false;
        return true;
    }
    return ReplaceFile(path, FormatRegistryFile(file));
}

bool PutSections(const std::vector<RegistrySection>& sections) {
    return UpdateFile([&](RegistryFile& file) {
        for (const RegistrySection& s : sections)
            file.Put(s);
        return true;
    });
}

bool RemoveSections(const std::vector<RegistrySection>& sections) {
    return UpdateFile([&](RegistryFile& file) {
        bool changed = false;
        for (const RegistrySection& s : sections) {
            if (file.Find(s.name) != nullptr) {
                file.Remove(s.name);
                changed = true;
            }
        }
        return changed;
    });
}

std::optional<RegistryFile> LoadRegistryFile() {
    const std::string path = RegistrationFilePath();
    if (path.empty())
        return std::nullopt;
    std::string text;
    if (ReadFile(path, &text) != ReadResult::Ok)
        return std::nullopt;
    return ParseRegistryFile(text);
}

}  // namespace

// ---- the file --------------------------------------------------------------------

std::optional<std::string> RegistrySection::Value(std::string_view key) const {
    for (const std::string& line : lines) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        if (Trim(std::string_view(line).substr(0, eq)) == key)
            return Trim(std::string_view(line).substr(eq + 1));
    }
    return std::nullopt;
}

const RegistrySection* RegistryFile::Find(std::string_view name) const {
    for (const RegistrySection& s : sections) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

void RegistryFile::Remove(std::string_view name) {
    std::erase_if(sections, [&](const RegistrySection& s) { return s.name == name; });
}

void RegistryFile::Put(RegistrySection section) {
    for (RegistrySection& s : sections) {
        if (s.name == section.name) {
            s = std::move(section);
            return;
        }
    }
    sections.push_back(std::move(section));
}

bool RegistryFile::Empty() const {
    if (!sections.empty())
        return false;
    for (const std::string& line : preamble) {
        if (!Trim(line).empty())
            return false;
    }
    return true;
}

RegistryFile ParseRegistryFile(std::string_view text) {
    RegistryFile file;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(pos, end - pos));
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string trimmed = Trim(line);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            file.sections.push_back({trimmed.substr(1, trimmed.size() - 2), {}});
            continue;
        }
        // Blank lines belong to no section; the writer puts its own between sections.
        if (trimmed.empty())
            continue;
        if (file.sections.empty()) {
            file.preamble.push_back(line);
        } else {
            file.sections.back().lines.push_back(line);
        }
    }
    return file;
}

std::string FormatRegistryFile(const RegistryFile& file) {
    std::string out;
    for (const std::string& line : file.preamble)
        out += line + "\n";
    bool first = true;
    for (const RegistrySection& s : file.sections) {
        if (!first)
            out += "\n";
        first = false;
        out += "[" + s.name + "]\n";
        for (const std::string& line : s.lines)
            out += line + "\n";
    }
    return out;
}

// ---- what registration writes ----------------------------------------------------

std::vector<RegistrySection> TypeLibrarySections(const std::string& modulePath) {
    const std::string libid = Braced(kLibidSorvaneLib);
    const std::string version = TypeLibVersionText();
    std::vector<RegistrySection> out;
    out.push_back(
        Section("TypeLib\\" + libid + "\\" + version, {{"@", kTypeLibHelpString},
                                                       {"Name", kTypeLibName},
                                                       {"LCID", "0"},
                                                       {"Path", modulePath},
                                                       {"Flags", std::to_string(kLibFlagControl)},
                                                       {"HelpDir", DirectoryOf(modulePath)}}));
    out.push_back(
        Section("Interface\\" + Braced(kDiidDSorvane), {{"@", kDispatchName},
                                                        {"ProxyStubClsid32", kDispatchProxyClsid},
                                                        {"TypeLib", libid},
                                                        {"Version", version}}));
    out.push_back(Section("Interface\\" + Braced(kDiidDSorvaneEvents),
                          {{"@", kEventsName},
                           {"ProxyStubClsid32", kDispatchProxyClsid},
                           {"TypeLib", libid},
                           {"Version", version}}));
    return out;
}

std::vector<RegistrySection> ClassSections(const std::string& modulePath) {
    const std::string control = Braced(kClsidSorvane);
    const std::string page = Braced(kClsidSorvanePropPage);
    std::vector<RegistrySection> out;
    out.push_back(
        Section("CLSID\\" + control,
                {{"@", kStringControlTypeName},
                 {"ProgID", kControlProgId},
                 {"InprocServer32", modulePath},
                 {"ThreadingModel", kThreadingModel},
                 {"ToolboxBitmap32", modulePath + ", " + std::to_string(kToolboxBitmapId)},
                 {"Control", ""},
                 {"MiscStatus", "0"},
                 {"MiscStatus\\1", std::to_string(kControlMiscStatus)},
                 {"TypeLib", Braced(kLibidSorvaneLib)},
                 {"Version", TypeLibVersionText()}}));
    out.push_back(Section(kControlProgId, {{"@", kStringControlTypeName}, {"CLSID", control}}));
    out.push_back(Section("CLSID\\" + page, {{"@", kStringPropPageName},
                                             {"ProgID", kPropPageProgId},
                                             {"InprocServer32", modulePath},
                                             {"ThreadingModel", kThreadingModel}}));
    out.push_back(Section(kPropPageProgId, {{"@", kStringPropPageName}, {"CLSID", page}}));
    return out;
}

// ---- registration ----------------------------------------------------------------

std::string RegistrationFilePath() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    return base + "/sorvane/" + kFileName;
}

std::string ThisModulePath() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ThisModulePath), &info) == 0 || info.dli_fname == nullptr)
        return {};
    // The path the loader used (usually the versioned link, which an update
    // moves along); only a relative one is made absolute.
    if (info.dli_fname[0] == '/')
        return info.dli_fname;
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) != nullptr)
        return resolved;
    return info.dli_fname;
}

HResult RegisterServer(const std::string& modulePath) {
    if (!PutSections(TypeLibrarySections(modulePath)))
        return kSelfRegTypeLib;
    if (!PutSections(ClassSections(modulePath)))
        return kSelfRegClass;
    return kOk;
}

HResult UnregisterServer() {
    // As with the platform's type libraries, one that is not registered
    // cannot be unregistered.
    const std::optional<RegistryFile> file = LoadRegistryFile();
    const std::vector<RegistrySection> typeLibrary = TypeLibrarySections({});
    if (!file ||
        std::none_of(typeLibrary.begin(), typeLibrary.end(),
                     [&](const RegistrySection& s) { return file->Find(s.name) != nullptr; }))
        return kSelfRegTypeLib;
    if (!RemoveSections(typeLibrary))
        return kSelfRegTypeLib;
    if (!RemoveSections(ClassSections({})))
        return kSelfRegClass;
    return kOk;
}

std::optional<std::string> RegisteredServerPath(const Guid& clsid) {
    const std::optional<RegistryFile> file = LoadRegistryFile();
    if (!file)
        return std::nullopt;
    const RegistrySection* s = file->Find("CLSID\\" + Braced(clsid));
    if (s == nullptr)
        return std::nullopt;
    std::optional<std::string> path = s->Value("InprocServer32");
    if (path && path->empty())
        return std::nullopt;
    return path;
}

std::optional<Guid> RegisteredClassOfProgId(std::string_view progId) {
    const std::optional<RegistryFile> file = LoadRegistryFile();
    if (!file)
        return std::nullopt;
    const RegistrySection* s = file->Find(progId);
    if (s == nullptr)
        return std::nullopt;
    const std::optional<std::string> clsid = s->Value("CLSID");
    if (!clsid)
        return std::nullopt;
    return ParseGuid(*clsid);
}

}  // namespace sorvane
