#include "control/class_creation.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "control/identities.h"
#include "control/module_objects.h"
#include "control/registration.h"

namespace sorvane {

namespace {

using GetClassObjectFunction = SorvaneResult (*)(const SorvaneGuid*, const SorvaneGuid*, void**);

SorvaneResult LinkedGetClassObject(const SorvaneGuid* clsid, const SorvaneGuid* iid,
                                   void** object) {
    if (clsid == nullptr || iid == nullptr)
        return kPointer;
    return GetClassObject(*clsid, *iid, object);
}

// Loaded libraries stay loaded: their objects may be anywhere in the host.
GetClassObjectFunction LoadServer(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, void*> handles;
    std::lock_guard lock(mutex);
    void*& handle = handles[path];
    if (handle == nullptr)
        handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        handles.erase(path);
        return nullptr;
    }
    return reinterpret_cast<GetClassObjectFunction>(::dlsym(handle, "DllGetClassObject"));
}

HResult CreateFrom(GetClassObjectFunction getClassObject, const Guid& clsid,
                   SorvaneCtrl** control) {
    void* object = nullptr;
    HResult hr = getClassObject(&clsid, &kIidClassFactory, &object);
    if (hr != kOk || object == nullptr)
        return hr != kOk ? hr : kNoInterface;
    auto* factory = static_cast<SorvaneClassFactory*>(object);
    void* created = nullptr;
    hr = factory->lpVtbl->CreateInstance(factory, nullptr, &kIidDispatch, &created);
    factory->lpVtbl->Release(factory);
    if (hr != kOk || created == nullptr)
        return hr != kOk ? hr : kNoInterface;
    *control = static_cast<SorvaneCtrl*>(created);
    return kOk;
}

}  // namespace

HResult CreateControl(const Guid& clsid, SorvaneCtrl** control) {
    if (control == nullptr)
        return kPointer;
    *control = nullptr;
    if (const auto path = RegisteredServerPath(clsid)) {
        if (GetClassObjectFunction registered = LoadServer(*path)) {
            if (CreateFrom(registered, clsid, control) == kOk)
                return kOk;
        }
    }
    const HResult hr = CreateFrom(LinkedGetClassObject, clsid, control);
    return hr == kClassNotAvailable ? kClassNotRegistered : hr;
}

HResult CreateControlByProgId(std::string_view progId, SorvaneCtrl** control) {
    if (control == nullptr)
        return kPointer;
    *control = nullptr;
    std::optional<Guid> clsid = RegisteredClassOfProgId(progId);
    if (!clsid && progId == kControlProgId)
        clsid = kClsidSorvane;
    if (!clsid)
        return kBadClassString;
    return CreateControl(*clsid, control);
}

}  // namespace sorvane
