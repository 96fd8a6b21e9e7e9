// The module's identity: registration file, class objects, unloading, and
// creation by class identity and ProgID.

#include "control/registration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "control/class_creation.h"
#include "control/identities.h"
#include "control/module_objects.h"
#include "control/sorvane.h"
#include "control/type_library.h"
#include "support/sim_fixture.h"

namespace sorvane {
namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
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
        const std::string cmd = "rm -rf '" + root_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }

    std::string root_;
    std::string path_;
    std::optional<testsupport::ScopedEnv> dataHome_;
};

TEST_F(RegistrationFile, PathFollowsTheDataHome) {
    EXPECT_EQ(RegistrationFilePath(), path_);
    char buffer[8];
    EXPECT_EQ(sorvane_registration_path(buffer, sizeof buffer), path_.size());
    EXPECT_EQ(std::string(buffer), path_.substr(0, 7));
    {
        testsupport::ScopedEnv relative("XDG_DATA_HOME", "relative/dir");
        testsupport::ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(RegistrationFilePath(), "/home/someone/.local/share/sorvane/registration.ini");
    }
}

TEST_F(RegistrationFile, RegisterWritesTheIdentitiesIntoANewFolder) {
    ASSERT_FALSE(Exists(root_ + "/data"));
    ASSERT_EQ(RegisterServer("/opt/lib/libsorvane.so.3"), kOk);
    ASSERT_TRUE(Exists(path_));

    const RegistryFile file = ParseRegistryFile(ReadText(path_));
    const RegistrySection* control = file.Find("CLSID\\{914DF45E-484F-41AD-A02C-17BF2318AD63}");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Value("@"), "Sorvane Control");
    EXPECT_EQ(control->Value("ProgID"), "SORVANE.SorvaneCtrl.1");
    EXPECT_EQ(control->Value("InprocServer32"), "/opt/lib/libsorvane.so.3");
    EXPECT_EQ(control->Value("ThreadingModel"), "Apartment");
    EXPECT_EQ(control->Value("MiscStatus\\1"), "132241");  // 0x20491
    EXPECT_EQ(control->Value("TypeLib"), "{CA49C26E-8FB3-4E1B-8102-A979127F5173}");
    EXPECT_EQ(control->Value("Version"), "3.5");
    EXPECT_EQ(control->Value("ToolboxBitmap32"), "/opt/lib/libsorvane.so.3, 1");
    EXPECT_EQ(control->Value("Insertable"), std::nullopt);

    const RegistrySection* page = file.Find("CLSID\\{90B1BA73-E030-4E60-BDE3-3F8231294B98}");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Value("@"), "Sorvane Property Page");
    EXPECT_EQ(page->Value("ProgID"), "SORVANE.SorvanePropPage.1");

    const RegistrySection* lib = file.Find("TypeLib\\{CA49C26E-8FB3-4E1B-8102-A979127F5173}\\3.5");
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->Value("Path"), "/opt/lib/libsorvane.so.3");
    EXPECT_EQ(lib->Value("@"), "Sorvane ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ");
    EXPECT_NE(file.Find("Interface\\{84689633-94FB-4413-B7D6-034F2BB2C741}"), nullptr);
    EXPECT_NE(file.Find("Interface\\{9235432E-BAAB-4B05-A343-2563BC87F749}"), nullptr);

    EXPECT_EQ(RegisteredServerPath(kClsidSorvane), "/opt/lib/libsorvane.so.3");
    ASSERT_TRUE(RegisteredClassOfProgId("SORVANE.SorvaneCtrl.1"));
    EXPECT_TRUE(SameGuid(*RegisteredClassOfProgId("SORVANE.SorvaneCtrl.1"), kClsidSorvane));
    EXPECT_TRUE(
        SameGuid(*RegisteredClassOfProgId("SORVANE.SorvanePropPage.1"), kClsidSorvanePropPage));
    EXPECT_FALSE(RegisteredClassOfProgId("SORVANE.Other.1"));
}

TEST_F(RegistrationFile, UnregisterAndRegisterAgainLeaveTheSameIdentities) {
    ASSERT_EQ(DllRegisterServer(), 0);
    const std::string first = ReadText(path_);
    // The module found its own file.
    EXPECT_EQ(RegisteredServerPath(kClsidSorvane), ThisModulePath());
    EXPECT_FALSE(ThisModulePath().empty());

    ASSERT_EQ(DllUnregisterServer(), 0);
    EXPECT_FALSE(Exists(path_));  // nothing else was in it
    EXPECT_FALSE(RegisteredServerPath(kClsidSorvane));
    ASSERT_EQ(DllUnregisterServer(), 0);  // nothing registered is no failure

    ASSERT_EQ(DllRegisterServer(), 0);
    EXPECT_EQ(ReadText(path_), first);
    ASSERT_EQ(DllRegisterServer(), 0);  // registering twice changes nothing
    EXPECT_EQ(ReadText(path_), first);
}

TEST_F(RegistrationFile, OtherEntriesAreKeptAndOnlyOursRemoved) {
    ASSERT_TRUE(Exists(root_));
    ASSERT_EQ(::mkdir((root_ + "/data").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/data/home").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/data/home/sorvane").c_str(), 0755), 0);
    const std::string foreign =
        "; someone else's classes\n[CLSID\\{00000000-1111-2222-3333-444444444444}]\n@=Other\n"
        "InprocServer32=/usr/lib/libother.so\n";
    {
        std::ofstream out(path_, std::ios::binary);
        out << foreign;
    }
    ASSERT_EQ(RegisterServer("/x/libsorvane.so"), kOk);
    const RegistryFile both = ParseRegistryFile(ReadText(path_));
    EXPECT_EQ(both.sections.size(), 1u + 3u + 4u);
    ASSERT_EQ(UnregisterServer(), kOk);
    EXPECT_EQ(ReadText(path_), foreign);
}

TEST_F(RegistrationFile, FailuresComeBackAsTheSelfRegistrationCodes) {
    // The data folder is a file: nothing can be created under it.
    {
        std::ofstream out(root_ + "/data");
        out << "not a folder";
    }
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
    EXPECT_EQ(RegisterServer("/x"), kSelfRegTypeLib);
    ASSERT_EQ(::unlink((root_ + "/data").c_str()), 0);

    // The registration file is a folder: it cannot be read.
    ASSERT_EQ(::mkdir((root_ + "/data").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/data/home").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((root_ + "/data/home/sorvane").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(path_.c_str(), 0755), 0);
    EXPECT_EQ(DllUnregisterServer(), SORVANE_SELFREG_E_TYPELIB);
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
    EXPECT_FALSE(RegisteredServerPath(kClsidSorvane));

    testsupport::ScopedEnv noData("XDG_DATA_HOME", "");
    testsupport::ScopedEnv noHome("HOME", "");
    EXPECT_EQ(DllRegisterServer(), SORVANE_SELFREG_E_TYPELIB);
}

TEST(RegistryText, ParsesWhatItWritesAndToleratesOddLines) {
    const RegistryFile f = ParseRegistryFile(
        "top=1\r\n\r\n[A]\r\nkey = value \r\nnoequals\n[]\n[B]\nk=\n  [C]  \n=v\n");
    ASSERT_EQ(f.preamble.size(), 1u);
    ASSERT_EQ(f.sections.size(), 4u);
    EXPECT_EQ(f.sections[0].Value("key"), "value");
    EXPECT_EQ(f.sections[0].Value("noequals"), std::nullopt);
    EXPECT_EQ(f.sections[1].name, "");
    EXPECT_EQ(f.sections[2].Value("k"), "");
    EXPECT_EQ(f.sections[3].name, "C");
    const RegistryFile again = ParseRegistryFile(FormatRegistryFile(f));
    EXPECT_EQ(FormatRegistryFile(again), FormatRegistryFile(f));
    EXPECT_TRUE(ParseRegistryFile("").Empty());
    EXPECT_TRUE(ParseRegistryFile("\n\n").Empty());
}

TEST(Guids, FormatAndParse) {
    EXPECT_EQ(FormatGuid(kClsidSorvane), "914DF45E-484F-41AD-A02C-17BF2318AD63");
    EXPECT_EQ(FormatGuid(kClsidSorvanePropPage), "90B1BA73-E030-4E60-BDE3-3F8231294B98");
    EXPECT_EQ(FormatGuid(kLibidSorvaneLib), "CA49C26E-8FB3-4E1B-8102-A979127F5173");
    const auto g = ParseGuid("{914df45e-484f-41ad-a02c-17bf2318ad63}");
    ASSERT_TRUE(g);
    EXPECT_TRUE(SameGuid(*g, kClsidSorvane));
    EXPECT_FALSE(ParseGuid("914DF45E-484F-41AD-A02C-17BF2318AD6"));
    EXPECT_FALSE(ParseGuid("914DF45E-484F-41AD-A02C-17BF2318AD6G"));
    EXPECT_FALSE(ParseGuid("914DF45E+484F-41AD-A02C-17BF2318AD63"));
    EXPECT_FALSE(ParseGuid("{914DF45E-484F-41AD-A02C-17BF2318AD63"));
}

// ---- class objects and unloading ----------------------------------------------------

TEST(ClassObjects, KnownClassesOnlyAndTheRightInterfaces) {
    const SorvaneGuid unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    const SorvaneGuid factoryIid = SORVANE_IID_ICLASSFACTORY;
    const SorvaneGuid dispatchIid = SORVANE_IID_IDISPATCH;
    const SorvaneGuid control = SORVANE_CLSID_SORVANE;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(&unknown, &factoryIid, &object), SORVANE_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllGetClassObject(&control, &dispatchIid, &object), SORVANE_E_NOINTERFACE);
    EXPECT_EQ(DllGetClassObject(&control, &factoryIid, nullptr), SORVANE_E_POINTER);
    EXPECT_EQ(DllGetClassObject(nullptr, &factoryIid, &object), SORVANE_E_POINTER);

    ASSERT_EQ(DllGetClassObject(&control, &factoryIid, &object), 0);
    auto* factory = static_cast<SorvaneClassFactory*>(object);
    void* created = nullptr;
    int dummy = 0;
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, &dummy, &dispatchIid, &created),
              SORVANE_CLASS_E_NOAGGREGATION);
    EXPECT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &factoryIid, &created),
              SORVANE_E_NOINTERFACE);
    EXPECT_EQ(LiveObjectCount(), 0);  // the refused instance did not live on
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &dispatchIid, &created), 0);
    auto* ctrl = static_cast<SorvaneCtrl*>(created);
    SorvaneVariant result;
    sorvane_variant_init(&result);
    ASSERT_EQ(sorvane_invoke(ctrl, 7, SORVANE_DISPATCH_METHOD, nullptr, 0, &result), 0);
    EXPECT_EQ(result.u.lVal, 196613);
    void* again = nullptr;
    const SorvaneGuid events = SORVANE_DIID_DSORVANEEVENTS;
    EXPECT_EQ(ctrl->lpVtbl->QueryInterface(ctrl, &events, &again), SORVANE_E_NOINTERFACE);
    const SorvaneGuid own = SORVANE_DIID_DSORVANE;
    ASSERT_EQ(ctrl->lpVtbl->QueryInterface(ctrl, &own, &again), 0);
    EXPECT_EQ(again, ctrl);
    EXPECT_EQ(ctrl->lpVtbl->Release(ctrl), 1u);
    std::uint32_t count = 0;
    EXPECT_EQ(ctrl->lpVtbl->GetTypeInfoCount(ctrl, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(ctrl->lpVtbl->Release(ctrl), 0u);
    factory->lpVtbl->Release(factory);
}

TEST(ClassObjects, PropertyPageDescribesItself) {
    const SorvaneGuid page = SORVANE_CLSID_SORVANEPROPPAGE;
    const SorvaneGuid factoryIid = SORVANE_IID_ICLASSFACTORY;
    const SorvaneGuid unknownIid = SORVANE_IID_IUNKNOWN;
    void* object = nullptr;
    ASSERT_EQ(DllGetClassObject(&page, &factoryIid, &object), 0);
    auto* factory = static_cast<SorvaneClassFactory*>(object);
    void* created = nullptr;
    ASSERT_EQ(factory->lpVtbl->CreateInstance(factory, nullptr, &unknownIid, &created), 0);
    auto* p = static_cast<SorvanePropPage*>(created);
    SorvanePropPageInfo info{};
    ASSERT_EQ(p->lpVtbl->GetPageInfo(p, &info), 0);
    EXPECT_STREQ(info.caption, "General");
    EXPECT_EQ(info.width, 250);
    EXPECT_EQ(info.height, 62);
    EXPECT_STREQ(info.fontName, "ＭＳ Ｐゴシック");
    EXPECT_EQ(info.fontPoints, 9);
    EXPECT_EQ(info.textLeft, 7);
    EXPECT_EQ(info.textTop, 25);
    EXPECT_EQ(info.textWidth, 229);
    EXPECT_EQ(info.textHeight, 16);
    EXPECT_STREQ(info.text, "TODO: Sorvane Control のﾌﾟﾛﾊﾟﾃｨを処理するｺﾝﾄﾛｰﾙを配置");
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    p->lpVtbl->Release(p);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    // A property page is no control.
    SorvaneCtrl* ctrl = nullptr;
    EXPECT_EQ(CreateControl(kClsidSorvanePropPage, &ctrl), kNoInterface);
    EXPECT_EQ(ctrl, nullptr);
    factory->lpVtbl->Release(factory);
}

TEST(ClassObjects, UnloadOnlyWithoutLiveObjectsAndLocks) {
    ASSERT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    SorvaneCtrl* a = sorvane_create();
    SorvaneCtrl* b = sorvane_create();
    EXPECT_EQ(LiveObjectCount(), 2);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    sorvane_destroy(a);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    sorvane_destroy(b);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);

    const SorvaneGuid control = SORVANE_CLSID_SORVANE;
    const SorvaneGuid factoryIid = SORVANE_IID_ICLASSFACTORY;
    void* object = nullptr;
    ASSERT_EQ(DllGetClassObject(&control, &factoryIid, &object), 0);
    auto* factory = static_cast<SorvaneClassFactory*>(object);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);  // a factory alone does not hold the module
    factory->lpVtbl->LockServer(factory, 1);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_FALSE);
    factory->lpVtbl->LockServer(factory, 0);
    factory->lpVtbl->LockServer(factory, 0);  // one unlock too many changes nothing
    EXPECT_EQ(ServerLockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
    factory->lpVtbl->Release(factory);
}

TEST_F(RegistrationFile, CreationFallsBackToTheLinkedLibrary) {
    SorvaneCtrl* ctrl = nullptr;
    // Nothing registered: this module's own class.
    ASSERT_EQ(CreateControl(kClsidSorvane, &ctrl), kOk);
    EXPECT_NE(ControlOf(ctrl), nullptr);
    sorvane_destroy(ctrl);
    ASSERT_EQ(sorvane_create_by_progid("SORVANE.SorvaneCtrl.1", &ctrl), 0);
    EXPECT_NE(ControlOf(ctrl), nullptr);
    sorvane_destroy(ctrl);
    // Registered to a library that is not there.
    ASSERT_EQ(RegisterServer(root_ + "/missing/libsorvane.so"), kOk);
    ASSERT_EQ(CreateControl(kClsidSorvane, &ctrl), kOk);
    EXPECT_NE(ControlOf(ctrl), nullptr);
    sorvane_destroy(ctrl);

    const SorvaneGuid unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(sorvane_create_instance(&unknown, &ctrl), SORVANE_REGDB_E_CLASSNOTREG);
    EXPECT_EQ(ctrl, nullptr);
    EXPECT_EQ(sorvane_create_by_progid("NOT.Registered.1", &ctrl), SORVANE_CO_E_CLASSSTRING);
    EXPECT_EQ(sorvane_create_by_progid(nullptr, &ctrl), SORVANE_E_POINTER);
    EXPECT_EQ(DllCanUnloadNow(), SORVANE_S_OK);
}

TEST(TypeLibraryText, CarriesTheIdentitiesAndEveryMember) {
    const std::string text = TypeLibraryText();
    for (const char* expected :
         {"uuid(CA49C26E-8FB3-4E1B-8102-A979127F5173)",
          "version(3.5)",
          "lcid(0x0409)",
          "helpstring(\"Sorvane ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ\")",
          "helpfile(\"Sorvane.hlp\")",
          "library SORVANELib",
          "uuid(84689633-94FB-4413-B7D6-034F2BB2C741)",
          "helpstring(\"Sorvane Control 用ﾃﾞｨｽﾊﾟｯﾁ ｲﾝﾀｰﾌｪｲｽ\")",
          "dispinterface _DSorvane",
          "uuid(9235432E-BAAB-4B05-A343-2563BC87F749)",
          "helpstring(\"Event interface for Sorvane Control\")",
          "dispinterface _DSorvaneEvents",
          "uuid(914DF45E-484F-41AD-A02C-17BF2318AD63)",
          "coclass Sorvane",
          "[default] dispinterface _DSorvane;",
          "[default, source] dispinterface _DSorvaneEvents;",
          "[id(1)] long BaudRate;",
          "[id(5)] short StopBit;",
          "[id(18)] BSTR ReadProductID(long* id, long* ver);",
          "[id(33)] BOOL AddRouteWaypoint(long rno, BSTR* name, BSTR* comment, double lat, double "
          "lon, double alt, short smbl, short dspl, double dst);",
          "[id(76)] long GetErrorCode();",
          "[id(1)] void Receiving(long nReceived, long nTotal);",
          "[id(2)] void NMEAReceived(short valid, double lat, double lon, double alt, long t, "
          "double vel, short dir);",
          "SORVANE.SorvaneCtrl.1",
          "SORVANE.SorvanePropPage.1",
          "0x20491",
          "FILEVERSION 3,5,0,1",
          "\"FileVersion\", \"3, 5, 0, 1\"",
          "\"FileDescription\", \"Sorvane ActiveX Control Module\"",
          "\"OriginalFilename\", \"Sorvane.ocx\"",
          "\"Comments\", \"2001/09/29\"",
          "OLESelfRegister",
          "Translation 0x0411, code page 1200",
          "ＭＳ Ｐゴシック"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(std::string(sorvane_type_library()), text);
}

}  // namespace
}  // namespace sorvane
