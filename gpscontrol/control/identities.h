#pragma once
// What the module says about itself: identities of the type library, the two
// interfaces and the two classes, its string resources, its version data and
// the property page. Texts are UTF-8.

#include <cstdint>

#include "control/sorvane.h"

namespace sorvane {

inline constexpr SorvaneGuid kLibidSorvaneLib = SORVANE_LIBID_SORVANELIB;
inline constexpr SorvaneGuid kDiidDSorvane = SORVANE_DIID_DSORVANE;
inline constexpr SorvaneGuid kDiidDSorvaneEvents = SORVANE_DIID_DSORVANEEVENTS;
inline constexpr SorvaneGuid kClsidSorvane = SORVANE_CLSID_SORVANE;
inline constexpr SorvaneGuid kClsidSorvanePropPage = SORVANE_CLSID_SORVANEPROPPAGE;
inline constexpr SorvaneGuid kIidUnknown = SORVANE_IID_IUNKNOWN;
inline constexpr SorvaneGuid kIidClassFactory = SORVANE_IID_ICLASSFACTORY;
inline constexpr SorvaneGuid kIidDispatch = SORVANE_IID_IDISPATCH;

// Type library.
inline constexpr const char* kTypeLibName = "SORVANELib";
inline constexpr std::uint16_t kTypeLibMajor = 3;
inline constexpr std::uint16_t kTypeLibMinor = 5;
inline constexpr std::uint32_t kTypeLibLcid = 0x0409;
inline constexpr const char* kTypeLibHelpString = "Sorvane ActiveX ｺﾝﾄﾛｰﾙ ﾓｼﾞｭｰﾙ";
inline constexpr const char* kTypeLibHelpFile = "Sorvane.hlp";

// Type flags of the platform's type libraries.
inline constexpr std::uint32_t kTypeFlagCanCreate = 0x2;
inline constexpr std::uint32_t kTypeFlagHidden = 0x10;
inline constexpr std::uint32_t kTypeFlagControl = 0x20;
inline constexpr std::uint32_t kTypeFlagDispatchable = 0x1000;

inline constexpr const char* kDispatchName = "_DSorvane";
inline constexpr const char* kDispatchHelpString = "Sorvane Control 用ﾃﾞｨｽﾊﾟｯﾁ ｲﾝﾀｰﾌｪｲｽ";
inline constexpr std::uint32_t kDispatchFlags = kTypeFlagHidden | kTypeFlagDispatchable;
inline constexpr const char* kEventsName = "_DSorvaneEvents";
inline constexpr const char* kEventsHelpString = "Event interface for Sorvane Control";
inline constexpr std::uint32_t kEventsFlags = kTypeFlagDispatchable;
inline constexpr const char* kCoclassName = "Sorvane";
inline constexpr const char* kCoclassHelpString = "Sorvane Control";
inline constexpr std::uint32_t kCoclassFlags = kTypeFlagControl | kTypeFlagCanCreate;

// Classes.
inline constexpr const char* kControlClassName = "CSorvaneCtrl";
inline constexpr const char* kControlProgId = "SORVANE.SorvaneCtrl.1";
inline constexpr const char* kPropPageClassName = "CSorvanePropPage";
inline constexpr const char* kPropPageProgId = "SORVANE.SorvanePropPage.1";
// OLEMISC_SETCLIENTSITEFIRST | INVISIBLEATRUNTIME | INSIDEOUT | CANTLINKINSIDE |
// RECOMPOSEONRESIZE: the control shows itself only in design mode.
inline constexpr std::uint32_t kControlMiscStatus = 0x20491;
inline constexpr const char* kThreadingModel = "Apartment";

// The version of the control and of its persisted properties.
inline constexpr std::int32_t kControlVersion = (3 << 16) | 5;  // 196613
inline constexpr std::uint32_t kPersistedVersion = 0x30005;

// String resources.
inline constexpr std::uint16_t kResourceLanguage = 0x0411;
inline constexpr const char* kStringControlTypeName = "Sorvane Control";     // string 1
inline constexpr const char* kStringPropPageName = "Sorvane Property Page";  // string 2
inline constexpr const char* kStringPropPageCaption = "General";             // string 200
inline constexpr int kToolboxBitmapId = 1;
inline constexpr int kPictureBitmapId = 201;
inline constexpr int kPropPageDialogId = 200;

struct VersionResource {
    std::uint16_t fileVersion[4];
    std::uint16_t productVersion[4];
    const char* fileVersionText;
    const char* productVersionText;
    const char* fileDescription;
    const char* productName;
    const char* internalName;
    const char* originalFilename;
    const char* comments;
    bool oleSelfRegister;
    std::uint16_t translationLanguage;
    std::uint16_t translationCodePage;
    std::uint32_t fileOs;    // VOS__WINDOWS32
    std::uint32_t fileType;  // VFT_DLL
};

inline constexpr VersionResource kVersionResource = {
    {3, 5, 0, 1},
    {3, 5, 0, 1},
    "3, 5, 0, 1",
    "3, 5, 0, 1",
    "Sorvane ActiveX Control Module",
    "Sorvane ActiveX Control Module",
    "Sorvane",
    "Sorvane.ocx",
    "2001/09/29",
    true,
    0x0411,
    1200,
    0x4,
    0x2,
};

// The property page (dialog 200): no input fields, no data exchange.
inline constexpr SorvanePropPageInfo kPropPageInfo = {
    kStringPropPageCaption,
    250,
    62,
    "ＭＳ Ｐゴシック",
    9,
    7,
    25,
    229,
    16,
    "TODO: Sorvane Control のﾌﾟﾛﾊﾟﾃｨを処理するｺﾝﾄﾛｰﾙを配置"};

}  // namespace sorvane
