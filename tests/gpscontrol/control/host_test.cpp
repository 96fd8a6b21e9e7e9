// A host linked with libsorvane: registration into a fresh data folder and
// creation by class identity and ProgID, from the registered library or,
// failing that, from the linked one.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include "control/sorvane.h"
#include "control/tsorvane.h"

namespace {

namespace fs = std::filesystem;

// The table of functions of this program's own libsorvane.
const SorvaneCtrlVtbl* LinkedTable() {
    SorvaneCtrl* c = sorvane_create();
    const SorvaneCtrlVtbl* table = c->lpVtbl;
    sorvane_destroy(c);
    return table;
}

TEST(Host, RegisterIntoAFreshFolderThenCreateFromTheRegisteredLibraryOrTheLinkedOne) {
    char pattern[] = "/tmp/sorvane-host-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path root = pattern;
    ::setenv("XDG_DATA_HOME", (root / "share").c_str(), 1);
    const std::unique_ptr<const fs::path, void (*)(const fs::path*)> cleanup(&root, [](auto* p) {
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(*p);
    });
    const fs::path file = root / "share" / "sorvane" / "registration.ini";
    // Nothing registered: the wrapper makes a control of the linked library.
    {
        sorvane::TSorvane gps;
        ASSERT_TRUE(gps.ok());
        EXPECT_EQ(gps.GetVersion(), 196613);
        EXPECT_EQ(gps.Object()->lpVtbl, LinkedTable());
    }

    ASSERT_EQ(DllRegisterServer(), 0);
    std::ostringstream s;
    s << std::ifstream(file).rdbuf();
    std::string text = s.str();
    const std::string key = "InprocServer32=";
    const std::size_t start = text.find(key) + key.size();
    ASSERT_GT(start, key.size()) << text;
    const std::string linked = text.substr(start, text.find('\n', start) - start);
    EXPECT_EQ(fs::canonical(linked), fs::canonical(SORVANE_LIBRARY));
    const SorvaneGuid clsid = SORVANE_CLSID_SORVANE;
    SorvaneCtrl* byClsid = nullptr;
    SorvaneCtrl* byProgId = nullptr;
    ASSERT_EQ(sorvane_create_instance(&clsid, &byClsid), 0);
    ASSERT_EQ(sorvane_create_by_progid("SORVANE.SorvaneCtrl.1", &byProgId), 0);
    // The registered library is the linked one, loaded once.
    EXPECT_EQ(byClsid->lpVtbl, LinkedTable());
    EXPECT_EQ(byProgId->lpVtbl, LinkedTable());
    EXPECT_EQ(sorvane::TSorvane(byProgId).GetDatumName(), "Tokyo");
    sorvane_destroy(byClsid);
    sorvane_destroy(byProgId);

    // A second copy of the library, registered in place of the linked one, is
    // loaded and asked for its class factory; then one that is not there.
    const fs::path copy = root / "other" / "libsorvane.so";
    fs::create_directories(copy.parent_path());
    fs::copy_file(fs::canonical(SORVANE_LIBRARY), copy);
    const auto registerAs = [&](const std::string& library) {
        std::string replaced = text;
        for (std::size_t at = replaced.find(linked); at != std::string::npos;
             at = replaced.find(linked, at + library.size()))
            replaced.replace(at, linked.size(), library);
        std::ofstream(file, std::ios::trunc) << replaced;
    };
    registerAs(copy.string());
    void* handle = ::dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    auto copyCanUnload = reinterpret_cast<SorvaneResult (*)()>(::dlsym(handle, "DllCanUnloadNow"));
    ASSERT_NE(copyCanUnload, nullptr);
    {
        sorvane::TSorvane gps;
        ASSERT_TRUE(gps.ok());
        EXPECT_NE(gps.Object()->lpVtbl, LinkedTable());
        EXPECT_EQ(copyCanUnload(), SORVANE_S_FALSE);
        EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
        // It is a full control all the same.
        EXPECT_TRUE(gps.AddWaypoint("東京", "", 35.0, 139.0, 0.0, 0, 0, 0.0));
        EXPECT_EQ(gps.GetWaypointID(0), "東京");
        // Its receiver too, reached through the copy's own interface.
        ASSERT_TRUE(gps.SetReceiverSource(SORVANE_SOURCE_GPSD, "gps.example", 2948));
        std::string host;
        std::int32_t port = 0;
        EXPECT_EQ(std::tuple(gps.GetReceiverSource(&host, &port), host, port),
                  std::tuple(SORVANE_SOURCE_GPSD, std::string("gps.example"), 2948));
        const SorvaneReceiverStatus status = gps.GetReceiverStatus();
        EXPECT_EQ(std::tuple(status.source, status.state),
                  std::tuple(SORVANE_SOURCE_GPSD, SORVANE_RECEIVER_STOPPED));
        EXPECT_TRUE(gps.GetSatellites().empty());
        EXPECT_FALSE(gps.GetLastFix().has_value());
    }
    EXPECT_EQ(copyCanUnload(), SORVANE_S_OK);
    ::dlclose(handle);
    registerAs((root / "gone" / "libsorvane.so").string());
    {
        sorvane::TSorvane fallback;
        ASSERT_TRUE(fallback.ok());
        EXPECT_EQ(fallback.Object()->lpVtbl, LinkedTable());
    }
}

}  // namespace
