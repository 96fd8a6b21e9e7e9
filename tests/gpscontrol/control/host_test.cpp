// A host linked with libsorvane: registration into a fresh data folder and
// creation by class identity and ProgID, from the registered library or,
// failing that, from the linked one.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "control/sorvane.h"
#include "control/tsorvane.h"

namespace {

namespace fs = std::filesystem;

class Env {
  public:
    Env(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~Env() {
        if (old_) {
            ::setenv(name_.c_str(), old_->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

  private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The library path of the control class in the registration text.
std::string RegisteredLibrary(const std::string& text) {
    const std::string key = "InprocServer32=";
    const std::size_t at = text.find(key);
    if (at == std::string::npos)
        return {};
    const std::size_t end = text.find('\n', at);
    return text.substr(at + key.size(), end - at - key.size());
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

class Host : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sorvane-host-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        data_.emplace("XDG_DATA_HOME", (root_ / "share").string());
        ASSERT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    }
    void TearDown() override {
        data_.reset();
        fs::remove_all(root_);
    }
    fs::path RegistrationFile() const { return root_ / "share" / "sorvane" / "registration.ini"; }

    // The table of functions of this program's own libsorvane.
    static const SorvaneCtrlVtbl* LinkedTable() {
        SorvaneCtrl* c = sorvane_create();
        const SorvaneCtrlVtbl* table = c->lpVtbl;
        sorvane_destroy(c);
        return table;
    }

    fs::path root_;
    std::optional<Env> data_;
};

TEST_F(Host, WrapperFallsBackToTheLinkedLibraryWhenNothingIsRegistered) {
    sorvane::TSorvane gps;
    ASSERT_TRUE(gps.ok());
    EXPECT_EQ(gps.LastResult(), 0);
    EXPECT_EQ(gps.GetVersion(), 196613);
    EXPECT_EQ(gps.get_BaudRate(), 9600);
    EXPECT_EQ(gps.Object()->lpVtbl, LinkedTable());
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
}

TEST_F(Host, RegisterThenCreateByClsidAndByProgId) {
    ASSERT_EQ(DllRegisterServer(), 0);
    const std::string text = ReadText(RegistrationFile());
    const std::string library = RegisteredLibrary(text);
    ASSERT_FALSE(library.empty()) << text;
    EXPECT_EQ(fs::canonical(library), fs::canonical(SORVANE_LIBRARY));

    const SorvaneGuid clsid = SORVANE_CLSID_SORVANE;
    SorvaneCtrl* byClsid = nullptr;
    ASSERT_EQ(sorvane_create_instance(&clsid, &byClsid), 0);
    SorvaneCtrl* byProgId = nullptr;
    ASSERT_EQ(sorvane_create_by_progid("SORVANE.SorvaneCtrl.1", &byProgId), 0);
    // The registered library is the linked one, loaded once.
    EXPECT_EQ(byClsid->lpVtbl, LinkedTable());
    EXPECT_EQ(byProgId->lpVtbl, LinkedTable());
    SorvaneVariant r;
    sorvane_variant_init(&r);
    ASSERT_EQ(sorvane_invoke(byProgId, sorvane_get_dispid("GetDatumName"), SORVANE_DISPATCH_METHOD,
                             nullptr, 0, &r),
              0);
    ASSERT_EQ(r.vt, SORVANE_VT_BSTR);
    EXPECT_STREQ(r.u.bstrVal, "Tokyo");
    sorvane_variant_clear(&r);
    EXPECT_EQ(r.vt, SORVANE_VT_EMPTY);
    sorvane_destroy(byClsid);
    sorvane_destroy(byProgId);

    ASSERT_EQ(DllUnregisterServer(), 0);
    EXPECT_FALSE(fs::exists(RegistrationFile()));
    ASSERT_EQ(DllRegisterServer(), 0);
    EXPECT_EQ(ReadText(RegistrationFile()), text);
}

TEST_F(Host, TheRegisteredLibraryIsLoadedAndAskedForItsClassFactory) {
    // A second copy of the library, registered in place of the linked one.
    const fs::path copy = root_ / "other" / "libsorvane.so";
    fs::create_directories(copy.parent_path());
    fs::copy_file(fs::canonical(SORVANE_LIBRARY), copy);
    ASSERT_EQ(DllRegisterServer(), 0);
    std::string text = ReadText(RegistrationFile());
    ReplaceAll(text, RegisteredLibrary(text), copy.string());
    {
        std::ofstream out(RegistrationFile(), std::ios::binary | std::ios::trunc);
        out << text;
    }

    void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    using CanUnload = SorvaneResult (*)();
    auto copyCanUnload = reinterpret_cast<CanUnload>(::dlsym(handle, "DllCanUnloadNow"));
    ASSERT_NE(copyCanUnload, nullptr);
    {
        sorvane::TSorvane gps;
        ASSERT_TRUE(gps.ok());
        EXPECT_NE(gps.Object()->lpVtbl, LinkedTable());
        EXPECT_EQ(copyCanUnload(), SORVANE_S_FALSE);
        EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
        // It is a full control all the same.
        gps.set_CommPort(3);
        EXPECT_EQ(gps.get_CommPort(), 3);
        EXPECT_EQ(gps.GetDatumCount(), 124);
        EXPECT_TRUE(gps.AddWaypoint("東京", "", 35.0, 139.0, 0.0, 0, 0, 0.0));
        EXPECT_EQ(gps.GetWaypointID(0), "東京");
        double lat = 0, lon = 0, alt = 0;
        EXPECT_TRUE(gps.TransformDatumWGS84IntoLocal(35.0, 139.0, 0.0, &lat, &lon, &alt));
        EXPECT_NE(lat, 35.0);
    }
    EXPECT_EQ(copyCanUnload(), SORVANE_S_OK);
    ::dlclose(handle);

    // A registration that names a library that is not there falls back.
    const fs::path missing = root_ / "gone" / "libsorvane.so";
    ReplaceAll(text, copy.string(), missing.string());
    {
        std::ofstream out(RegistrationFile(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    sorvane::TSorvane fallback;
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(fallback.Object()->lpVtbl, LinkedTable());
}

}  // namespace
