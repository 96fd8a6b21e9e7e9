// The C interface and the module's exports. Every entry runs inside the one
// guard of c_guard.h, so that no exception reaches a C caller.

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "control/c_guard.h"
#include "control/class_creation.h"
#include "control/dispatch_members.h"
#include "control/module_objects.h"
#include "control/registration.h"
#include "control/sorvane.h"
#include "control/type_library.h"
#include "link/device_records.h"
#include "store/kel_data.h"
#include "store/messages.h"
#include "text/cp932.h"

using namespace sorvane;

extern "C" {

SorvaneResult DllRegisterServer(void) {
    return Guarded([] { return RegisterServer(ThisModulePath()); }, kSelfRegTypeLib);
}

SorvaneResult DllUnregisterServer(void) {
    return Guarded([] { return UnregisterServer(); }, kSelfRegTypeLib);
}

SorvaneResult DllGetClassObject(const SorvaneGuid* clsid, const SorvaneGuid* iid, void** object) {
    if (object != nullptr)
        *object = nullptr;
    if (clsid == nullptr || iid == nullptr)
        return kPointer;
    return GuardedResult([&] { return GetClassObject(*clsid, *iid, object); });
}

SorvaneResult DllCanUnloadNow(void) {
    return GuardedResult(
        [] { return LiveObjectCount() == 0 && ServerLockCount() == 0 ? kOk : kFalse; });
}

SorvaneCtrl* sorvane_create(void) {
    return Guarded(
        []() -> SorvaneCtrl* { return NewControlObject(std::make_unique<CSorvaneCtrl>()); },
        nullptr);
}

SorvaneResult sorvane_create_instance(const SorvaneGuid* clsid, SorvaneCtrl** control) {
    if (control != nullptr)
        *control = nullptr;
    if (clsid == nullptr || control == nullptr)
        return kPointer;
    return GuardedResult([&] { return CreateControl(*clsid, control); });
}

SorvaneResult sorvane_create_by_progid(const char* progid, SorvaneCtrl** control) {
    if (control != nullptr)
        *control = nullptr;
    if (progid == nullptr || control == nullptr)
        return kPointer;
    return GuardedResult([&] { return CreateControlByProgId(progid, control); });
}

void sorvane_destroy(SorvaneCtrl* control) {
    if (control != nullptr)
        GuardedVoid([&] { control->lpVtbl->Release(control); });
}

SorvaneResult sorvane_invoke(SorvaneCtrl* control, std::int32_t dispid, std::uint16_t flags,
                             SorvaneVariant* args, std::int32_t argCount, SorvaneVariant* result) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] {
        return control->lpVtbl->Invoke(control, dispid, flags, args, argCount, result, nullptr);
    });
}

std::int32_t sorvane_get_dispid(const char* name) {
    if (name == nullptr)
        return -1;
    return Guarded([&] { return DispidOfName(name); }, -1);
}

const char* sorvane_get_name(std::int32_t dispid) {
    return Guarded(
        [&]() -> const char* {
            const MemberInfo* m = FindMember(dispid);
            return m != nullptr ? m->name : nullptr;
        },
        nullptr);
}

std::int32_t sorvane_get_event_dispid(const char* name) {
    if (name == nullptr)
        return -1;
    return Guarded([&] { return EventDispidOfName(name); }, -1);
}

const char* sorvane_get_event_name(std::int32_t dispid) {
    return Guarded(
        [&]() -> const char* {
            const MemberInfo* m = FindEvent(dispid);
            return m != nullptr ? m->name : nullptr;
        },
        nullptr);
}

std::int32_t sorvane_get_param_count(std::int32_t dispid) {
    return Guarded(
        [&]() -> std::int32_t {
            const MemberInfo* m = FindMember(dispid);
            if (m == nullptr)
                return -1;
            return m->kind == MemberKind::Property ? 0 : m->paramCount;
        },
        -1);
}

SorvaneResult sorvane_connect(SorvaneCtrl* control, SorvaneEventCallback callback, void* user,
                              std::uint32_t* cookie) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] { return control->lpVtbl->Advise(control, callback, user, cookie); });
}

SorvaneResult sorvane_disconnect(SorvaneCtrl* control, std::uint32_t cookie) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] { return control->lpVtbl->Unadvise(control, cookie); });
}

void sorvane_set_message_handler(SorvaneMessageCallback callback, void* user) {
    GuardedVoid([&] {
        if (callback == nullptr) {
            SetMessageHandler(nullptr);
            return;
        }
        SetMessageHandler([callback, user](std::string_view text, std::string_view caption) {
            const std::string t = cp932::ToUtf8(text);
            const std::string c = cp932::ToUtf8(caption);
            callback(user, t.c_str(), c.c_str());
        });
    });
}

// The two variant helpers only clear memory; nothing in them can throw.
void sorvane_variant_init(SorvaneVariant* v) {
    if (v != nullptr)
        std::memset(v, 0, sizeof *v);
}

void sorvane_variant_clear(SorvaneVariant* v) {
    if (v == nullptr)
        return;
    if (v->vt == SORVANE_VT_BSTR)
        std::free(v->u.bstrVal);
    sorvane_variant_init(v);
}

const char* sorvane_type_library(void) {
    return Guarded(
        []() -> const char* {
            static const std::string text = TypeLibraryText();
            return text.c_str();
        },
        nullptr);
}

std::size_t sorvane_registration_path(char* buffer, std::size_t size) {
    return Guarded(
        [&]() -> std::size_t {
            const std::string path = RegistrationFilePath();
            if (buffer != nullptr && size > 0) {
                const std::size_t n = std::min(path.size(), size - 1);
                std::memcpy(buffer, path.data(), n);
                buffer[n] = '\0';
            }
            return path.size();
        },
        0);
}

SorvaneResult sorvane_receiver_name(SorvaneCtrl* control, std::int32_t kind, const char* name,
                                    char* buffer, std::size_t size, std::size_t* length) {
    if (control == nullptr || name == nullptr || length == nullptr ||
        (buffer == nullptr && size > 0))
        return kPointer;
    *length = 0;
    if (size > 0)
        buffer[0] = '\0';
    return GuardedResult([&]() -> HResult {
        const CSorvaneCtrl* ctrl = ControlOf(control);
        const KelData* store = ctrl != nullptr ? ctrl->Store() : nullptr;
        if (store == nullptr || (kind != SORVANE_NAME_WAYPOINT && kind != SORVANE_NAME_ROUTE))
            return kInvalidArg;
        // Cut as the store keeps it when the name is added.
        const ReceiverNameKind what =
            kind == SORVANE_NAME_ROUTE ? ReceiverNameKind::kRoute : ReceiverNameKind::kWaypoint;
        const std::string stored = cp932::FromUtf8(name);
        const std::size_t limit = what == ReceiverNameKind::kRoute ? kCommentMax : kNameMax;
        const std::string held = cp932::ToUtf8(ReceiverHeldName(
            what, stored.substr(0, cp932::FitLength(stored, limit)), store->GetWaypointType(),
            store->GetRouteHeaderType(), store->GetCharacterSet()));
        if (size > 0) {
            const std::size_t n = std::min(held.size(), size - 1);
            std::memcpy(buffer, held.data(), n);
            buffer[n] = '\0';
        }
        *length = held.size();
        return kOk;
    });
}

SorvaneResult sorvane_save(SorvaneCtrl* control, std::uint8_t* buffer, std::size_t size) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] { return control->lpVtbl->Save(control, buffer, size, 1); });
}

SorvaneResult sorvane_load(SorvaneCtrl* control, const std::uint8_t* data, std::size_t size) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] { return control->lpVtbl->Load(control, data, size); });
}

SorvaneResult sorvane_reset(SorvaneCtrl* control) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult([&] { return control->lpVtbl->InitNew(control); });
}

SorvaneResult sorvane_draw(SorvaneCtrl* control, std::uint32_t* pixels, std::int32_t width,
                           std::int32_t height, const SorvaneRect* bounds) {
    if (control == nullptr)
        return kPointer;
    return GuardedResult(
        [&] { return control->lpVtbl->Draw(control, pixels, width, height, bounds); });
}

}  // extern "C"
