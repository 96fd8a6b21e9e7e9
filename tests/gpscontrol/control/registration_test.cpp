// The module's identity: registration file, class objects, unloading, and
// creation by class identity and ProgID.

#include "control/registration.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "control/class_creation.h"
#include "control/identities.h"
#include "control/module_objects.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A fresh data folder that does not exist yet, so registration must create it.
class RegistrationFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sorvane-reg-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        dataHome_.emplace("XDG_DATA_HOME", root_ + "/data/home");
        path_ = root_ + "/data/home/sorvane/registration.ini";
    }
    void TearDown() override {
        dataHome_.reset();
        fs::remove_all(root_);
    }

    std::string root_, path_;
    std::optional<testsupport::ScopedEnv> dataHome_;
};

TEST_F(RegistrationFile, RegisterWritesTheIdentitiesIntoANewFolderUnderTheDataHome) {
    EXPECT_EQ(RegistrationFilePath(), path_);
    char buffer[8];
    EXPECT_EQ(sorvane_registration_path(buffer, sizeof buffer), path_.size());
    EXPECT_EQ(std::string(buffer), path_.substr(0, 7));
    ASSERT_FALSE(fs::exists(root_ + "/data"));
    ASSERT_EQ(RegisterServer("/opt/lib/libsorvane.so.3"), kOk);
    const RegistryFile file = ParseRegistryFile(ReadText(path_));
    const std::string ctrl = "CLSID\\{914DF45E-484F-41AD-A02C-17BF2318AD63}";
    const std::string page = "CLSID\\{90B1BA73-E030-4E60-BDE3-3F8231294B98}";
    const std::string lib = "TypeLib\\{CA49C26E-8FB3-4E1B-8102-A979127F5173}\\3.5";
    // MiscStatus 132241 is 0x20491.
    const std::tuple<std::string, const char*, std::optional<std::string>> entries[] = {
        {ctrl, "@", "Sorvane Control"},
        {ctrl, "ProgID", "SORVANE.SorvaneCtrl.1"},
        {ctrl, "InprocServer32", "/opt/lib/libsorvane.so.3"},
        {ctrl, "ThreadingModel", "Apartment"},
        {ctrl, "MiscStatus\\1", "132241"},
        {ctrl, "TypeLib", "{CA49C26E-8FB3-4E1B-8102-A979127F5173}"},
        {ctrl, "Version", "3.5"},
        {ctrl, "ToolboxBitmap32", "/opt/lib/libsorvane.so.3, 1"},
        {ctrl, "Insertable", std::nullopt},
        {page, "@", "Sorvane Property Page"},
        {page, "ProgID", "SORVANE.SorvanePropPage.1"},
        {lib, "Path", "/opt/lib/libsorvane.so.3"},
        {lib, "@", "Sorvane ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ"},
        {"Interface\\{84689633-94FB-4413-B7D6-034F2BB2C741}", "@", "_DSorvane"},
        {"Interface\\{9235432E-BAAB-4B05-A343-2563BC87F749}", "@", "_DSorvaneEvents"}};
    for (const auto& [section, key, value] : entries) {
        const RegistrySection* s = file.Find(section);
        ASSERT_NE(s, nullptr) << section;
        EXPECT_EQ(s->Value(key), value) << section << " " << key;
    }
    EXPECT_EQ(RegisteredServerPath(kClsidSorvane), "/opt/lib/libsorvane.so.3");
    EXPECT_TRUE(SameGuid(RegisteredClassOfProgId("SORVANE.SorvanePropPage.1").value_or(Guid{}),
                         kClsidSorvanePropPage));
    EXPECT_FALSE(RegisteredClassOfProgId("SORVANE.Other.1"));
    testsupport::ScopedEnv relative("XDG_DATA_HOME", "relative/dir");
    testsupport::ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(RegistrationFilePath(), "/home/someone/.local/share/sorvane/registration.ini");
}

TEST_F(RegistrationFile, UnregisterAndRegisterAgainLeaveTheSameIdentities) {
    ASSERT_EQ(DllRegisterServer(), 0);
    const std::string first = ReadText(path_);
    // The module found its own file.
    EXPECT_FALSE(ThisModulePath().empty());
    EXPECT_EQ(RegisteredServerPath(kClsidSorvane), ThisModulePath());
    ASSERT_EQ(DllUnregisterServer(), 0);
    EXPECT_FALSE(fs::exists(path_));  // nothing else was in it
    EXPECT_FALSE(RegisteredServerPath(kClsidSorvane));
    // Nothing registered: the type library cannot be unregistered.
    ASSERT_EQ(DllUnregisterServer(), SORVANE_SELFREG_E_TYPELIB);
    ASSERT_EQ(DllRegisterServer(), 0);
    EXPECT_EQ(ReadText(path_), first);
    ASSERT_EQ(DllRegisterServer(), 0);  // registering twice changes nothing
    EXPECT_EQ(ReadText(path_), first);
}

TEST_F(RegistrationFile, OtherEntriesAndOddLinesAreKeptAndOnlyOursRemoved) {
    const std::string foreign =
        "; someone else's\r\ntop=1\n[CLSID\\{00000000-1111-2222-3333-444444444444}]\r\n"
        "@ = Other \r\nnoequals\n[]\n=v\n  [C]  \nk=\n";
    WriteText(path_, foreign);
    ASSERT_EQ(RegisterServer("/x/libsorvane.so"), kOk);
    const RegistryFile both = ParseRegistryFile(ReadText(path_));
    EXPECT_EQ(both.sections.size(), 3u + 3u + 4u);
    EXPECT_EQ(both.sections[0].Value("@"), "Other");
    EXPECT_EQ(both.sections[0].Value("noequals"), std::nullopt);
    EXPECT_EQ(both.sections[2].Value("k"), "");
    ASSERT_EQ(UnregisterServer(), kOk);
    // Only the layout is made regular: line ends, section names, blank lines.
    EXPECT_EQ(ReadText(path_), FormatRegistryFile(ParseRegistryFile(foreign)));
    EXPECT_NE(ReadText(path_).find("@ = Other \nnoequals\n"), std::string::npos);
    for (const char* bad :
         {"914DF45E-484F-41AD-A02C-17BF2318AD6", "914DF45E-484F-41AD-A02C-17BF2318AD6G",
          "914DF45E+484F-41AD-A02C-17BF2318AD63", "{914DF45E-484F-41AD-A02C-17BF2318AD63"})
        EXPECT_FALSE(ParseGuid(bad)) << bad;
    EXPECT_TRUE(SameGuid(ParseGuid("{914df45e-484f-41ad-a02c-17bf2318ad63}").value_or(Guid{}),
                         kClsidSorvane));
}

TEST_F(RegistrationFile, FailuresComeBackAsTheSelfRegistrationCodes) {
    // The data folder is a file: nothing can be created under it.
    WriteText(root_ + "/data", "not a folder");
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
    fs::remove(root_ + "/data");
    // The registration file is a folder: it cannot be read.
    fs::create_directories(path_);
    EXPECT_EQ(DllUnregisterServer(), SORVANE_SELFREG_E_TYPELIB);
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
    EXPECT_FALSE(RegisteredServerPath(kClsidSorvane));
    testsupport::ScopedEnv noData("XDG_DATA_HOME", "");
    testsupport::ScopedEnv noHome("HOME", "");
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
}

// ---- class objects and unloading ----------------------------------------------------

const SorvaneGuid kFactoryIid = SORVANE_IID_ICLASSFACTORY;
const SorvaneGuid kDispatchIid = SORVANE_IID_IDISPATCH;

SorvaneClassFactory* FactoryOf(const SorvaneGuid& clsid) {
    void* object = nullptr;
    EXPECT_EQ(DllGetClassObject(&clsid, &kFactoryIid, &object), 0);
    return static_cast<SorvaneClassFactory*>(object);
}

// Nothing registered here, so only this module's classes are known.
TEST_F(RegistrationFile, KnownClassesOnlyAndTheRightInterfaces) {
    const SorvaneGuid control = SORVANE_CLSID_SORVANE, unknown = {1, 2, 3, {4, 5, 6, 7}};
    SorvaneCtrl* ctrl = nullptr;
    EXPECT_EQ(sorvane_create_instance(&unknown, &ctrl), SORVANE_REGDB_E_CLASSNOTREG);
    EXPECT_EQ(sorvane_create_by_progid("NOT.Registered.1", &ctrl), SORVANE_CO_E_CLASSSTRING);
    EXPECT_EQ(sorvane_create_by_progid(nullptr, &ctrl), SORVANE_E_POINTER);
    EXPECT_EQ(CreateControl(kClsidSorvanePropPage, &ctrl), kNoInterface);  // no control
    EXPECT_EQ(ctrl, nullptr);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(&unknown, &kFactoryIid, &object),
              SORVANE_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(&control, &kDispatchIid, &object), SORVANE_E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(&control, &kFactoryIid, nullptr), SORVANE_E_POINTER);
    EXPECT_EQ(DllGetClassObject(nullptr, &kFactoryIid, &object), SORVANE_E_POINTER);

    SorvaneClassFactory* factory = FactoryOf(control);
    ASSERT_NE(factory, nullptr);
    void* created = nullptr;
    int outer = 0;
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, &outer, &kDispatchIid, &created),
              SORVANE_CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &kFactoryIid, &created),
              SORVANE_E_NOINTERFACE);
    EXPECT_EQ(LiveObjectCount(), 0);  // the refused instance did not live on
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &kDispatchIid, &created), 0);
    ctrl = static_cast<SorvaneCtrl*>(created);
    EXPECT_NE(ControlOf(ctrl), nullptr);
    void* again = nullptr;
    const SorvaneGuid events = SORVANE_DIID_DSORVANEEVENTS, own = SORVANE_DIID_DSORVANE;
    EXPECT_EQ(ctrl->lpVtbl->QueryInterface(ctrl, &events, &again), SORVANE_E_NOINTERFACE);
    ASSERT_EQ(ctrl->lpVtbl->QueryInterface(ctrl, &own, &again), 0);
    EXPECT_EQ(again, ctrl);
    ctrl->lpVtbl->Release(ctrl);
    std::uint32_t count = 0;
    EXPECT_EQ(ctrl->lpVtbl->GetTypeInfoCount(ctrl, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(ctrl->lpVtbl->Release(ctrl), 0u);
    factory->lpVtbl->Release(factory);
}

TEST(ClassObjects, ThePropertyPageAndUnloadingWithoutLiveObjectsOrLocks) {
    ASSERT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    SorvaneClassFactory* factory = FactoryOf(SORVANE_CLSID_SORVANEPROPPAGE);
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);  // a factory alone does not hold the module
    const SorvaneGuid unknownIid = SORVANE_IID_IUNKNOWN;
    void* created = nullptr;
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &unknownIid, &created), 0);
    auto* page = static_cast<SorvanePropPage*>(created);
    SorvanePropPageInfo i{};
    ASSERT_EQ(page->lpVtbl->GetPageInfo(page, &i), 0);
    EXPECT_STREQ(i.caption, "General");
    EXPECT_STREQ(i.fontName, "ＭＳ Ｐゴシック");
    EXPECT_STREQ(i.text, "TODO: Sorvane Control のﾌﾟﾛﾊﾟﾃｨを処理するｺﾝﾄﾛｰﾙを配置");
    EXPECT_EQ(std::pair(i.width, i.height), std::pair(250, 62));
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    SorvaneCtrl* ctrl = sorvane_create();
    EXPECT_EQ(LiveObjectCount(), 2);
    page->lpVtbl->Release(page);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    sorvane_destroy(ctrl);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    factory->lpVtbl->LockServer(factory, 1);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    factory->lpVtbl->LockServer(factory, 0);
    factory->lpVtbl->LockServer(factory, 0);  // one unlock too many changes nothing
    EXPECT_EQ(ServerLockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    factory->lpVtbl->Release(factory);
}

}  // namespace
}  // namespace sorvane
