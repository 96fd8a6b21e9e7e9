// A host linked with libsorvane: registration into a fresh data folder and
// creation by class identity and ProgID, from the registered library or,
// failing that, from the linked one.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "control/sorvane.h"
#include "control/tsorvane.h"

namespace {

namespace fs = std::filesystem;

class Host : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sorvane-host-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        ::setenv("XDG_DATA_HOME", (root_ / "share").c_str(), 1);
        ASSERT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(root_);
    }

    // Registers this program's libsorvane, then names `library` in its place.
    void RegisterAs(const fs::path& library) {
        ASSERT_EQ(DllRegisterServer(), 0);
        const fs::path file = root_ / "share" / "sorvane" / "registration.ini";
        std::ostringstream s;
        s << std::ifstream(file).rdbuf();
        std::string text = s.str();
        const std::string key = "InprocServer32=";
        const std::size_t start = text.find(key) + key.size();
        ASSERT_GT(start, key.size()) << text;
        const std::string linked = text.substr(start, text.find('\n', start) - start);
        ASSERT_EQ(fs::canonical(linked), fs::canonical(SORVANE_LIBRARY));
        for (std::size_t at = text.find(linked); at != std::string::npos;
             at = text.find(linked, at + library.string().size()))
            text.replace(at, linked.size(), library.string());
        std::ofstream(file, std::ios::trunc) << text;
    }

    // The table of functions of this program's own libsorvane.
    static const SorvaneCtrlVtbl* LinkedTable() {
        SorvaneCtrl* c = sorvane_create();
        const SorvaneCtrlVtbl* table = c->lpVtbl;
        sorvane_destroy(c);
        return table;
    }

    fs::path root_;
};

TEST_F(Host, WrapperFallsBackToTheLinkedLibraryWhenNothingIsRegistered) {
    sorvane::TSorvane gps;
    ASSERT_TRUE(gps.ok());
    EXPECT_EQ(gps.LastResult(), 0);
    EXPECT_EQ(gps.GetVersion(), 196613);
    EXPECT_EQ(gps.Object()->lpVtbl, LinkedTable());
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
}

TEST_F(Host, RegisterThenCreateByClsidAndByProgId) {
    RegisterAs(SORVANE_LIBRARY);
    const SorvaneGuid clsid = SORVANE_CLSID_SORVANE;
    SorvaneCtrl* byClsid = nullptr;
    SorvaneCtrl* byProgId = nullptr;
    ASSERT_EQ(sorvane_create_instance(&clsid, &byClsid), 0);
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
    sorvane_destroy(byClsid);
    sorvane_destroy(byProgId);
}

TEST_F(Host, TheRegisteredLibraryIsLoadedAndAskedForItsClassFactory) {
    // A second copy of the library, registered in place of the linked one.
    const fs::path copy = root_ / "other" / "libsorvane.so";
    fs::create_directories(copy.parent_path());
    fs::copy_file(fs::canonical(SORVANE_LIBRARY), copy);
    RegisterAs(copy);
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
        EXPECT_TRUE(gps.AddWaypoint("東京", "", 35.0, 139.0, 0.0, 0, 0, 0.0));
        EXPECT_EQ(gps.GetWaypointID(0), "東京");
    }
    EXPECT_EQ(copyCanUnload(), SORVANE_S_OK);
    ::dlclose(handle);

    // A registration that names a library that is not there falls back.
    RegisterAs(root_ / "gone" / "libsorvane.so");
    sorvane::TSorvane fallback;
    ASSERT_TRUE(fallback.ok());
    EXPECT_EQ(fallback.Object()->lpVtbl, LinkedTable());
}

}  // namespace
