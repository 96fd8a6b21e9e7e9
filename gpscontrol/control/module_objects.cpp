#include "control/module_objects.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "control/c_guard.h"
#include "control/dispatch_members.h"
#include "control/guid.h"
#include "control/identities.h"
#include "control/receiver_object.h"

namespace sorvane {

namespace {

std::atomic<int> g_liveObjects{0};
std::atomic<int> g_serverLocks{0};

bool IsNull(const SorvaneGuid* g) {
    return g == nullptr;
}

// ---- the control object ------------------------------------------------------------

struct ControlObject : SorvaneCtrl {
    std::atomic<std::uint32_t> refs{1};
    std::unique_ptr<CSorvaneCtrl> ctrl;
    ReceiverObject receiver;
};

ControlObject* Self(SorvaneCtrl* self) {
    return static_cast<ControlObject*>(self);
}

std::uint32_t CtrlAddRef(SorvaneCtrl* self) {
    return ++Self(self)->refs;
}

std::uint32_t CtrlRelease(SorvaneCtrl* self) {
    const std::uint32_t left = --Self(self)->refs;
    if (left == 0) {
        delete Self(self);
        --g_liveObjects;
    }
    return left;
}

SorvaneResult CtrlQueryInterface(SorvaneCtrl* self, const SorvaneGuid* iid, void** object) {
    if (object == nullptr)
        return kPointer;
    *object = nullptr;
    if (IsNull(iid))
        return kPointer;
    if (SameGuid(*iid, kIidSorvaneReceiver)) {
        CtrlAddRef(self);
        *object = static_cast<SorvaneReceiver*>(&Self(self)->receiver);
        return kOk;
    }
    if (!SameGuid(*iid, kIidUnknown) && !SameGuid(*iid, kIidDispatch) &&
        !SameGuid(*iid, kDiidDSorvane))
        return kNoInterface;
    CtrlAddRef(self);
    *object = self;
    return kOk;
}

SorvaneResult CtrlGetTypeInfoCount(SorvaneCtrl*, std::uint32_t* count) {
    if (count == nullptr)
        return kPointer;
    *count = 1;
    return kOk;
}

SorvaneResult CtrlGetIDOfName(SorvaneCtrl*, const char* name, std::int32_t* dispid) {
    if (name == nullptr || dispid == nullptr)
        return kPointer;
    return GuardedResult([&] {
        *dispid = DispidOfName(name);
        return *dispid < 0 ? kUnknownName : kOk;
    });
}

// A reference held for the length of a call: a host may release its last one
// from inside an event the call raises, and the control must outlive the call.
struct CallReference {
    explicit CallReference(SorvaneCtrl* self) : self(self) { CtrlAddRef(self); }
    ~CallReference() { CtrlRelease(self); }
    CallReference(const CallReference&) = delete;
    CallReference& operator=(const CallReference&) = delete;
    SorvaneCtrl* self;
};

SorvaneResult CtrlInvoke(SorvaneCtrl* self, std::int32_t dispid, std::uint16_t flags,
                         SorvaneVariant* args, std::int32_t argCount, SorvaneVariant* result,
                         std::uint32_t* argErr) {
    if (argCount < 0 || (argCount > 0 && args == nullptr))
        return kInvalidArg;
    const CallReference hold(self);
    return GuardedResult([&] {
        std::vector<Variant> in(static_cast<std::size_t>(argCount));
        for (std::int32_t i = 0; i < argCount; ++i) {
            const HResult hr = FromCVariant(args[i], &in[i]);
            if (hr != kOk) {
                if (argErr != nullptr)
                    *argErr = static_cast<std::uint32_t>(i);
                return hr;
            }
        }
        Variant out;
        const HResult hr = Self(self)->ctrl->Invoke(dispid, flags, in, &out, argErr);
        if (hr != kOk)
            return hr;
        if (result != nullptr)
            return ToCVariant(out, result);
        return kOk;
    });
}

SorvaneResult CtrlAdvise(SorvaneCtrl* self, SorvaneEventCallback callback, void* user,
                         std::uint32_t* cookie) {
    if (callback == nullptr || cookie == nullptr)
        return kPointer;
    return GuardedResult([&] {
        *cookie = Self(self)->ctrl->Connect(
            [callback, user](std::int32_t dispid, std::span<const Variant> args) {
                SorvaneVariant c[kMaxParams] = {};
                const std::size_t n = std::min(args.size(), std::size(c));
                for (std::size_t i = 0; i < n; ++i) {
                    sorvane_variant_init(&c[i]);
                    ToCVariant(args[i], &c[i]);
                }
                callback(user, dispid, c, static_cast<std::int32_t>(n));
                for (std::size_t i = 0; i < n; ++i)
                    sorvane_variant_clear(&c[i]);
            });
        return kOk;
    });
}

SorvaneResult CtrlUnadvise(SorvaneCtrl* self, std::uint32_t cookie) {
    return GuardedResult([&] { return Self(self)->ctrl->Disconnect(cookie) ? kOk : kInvalidArg; });
}

SorvaneResult CtrlSave(SorvaneCtrl* self, std::uint8_t* buffer, std::size_t size,
                       std::int32_t clearDirty) {
    if (buffer == nullptr)
        return kPointer;
    if (size < kPersistedSize)
        return kInvalidArg;
    return GuardedResult([&] {
        const auto bytes = Self(self)->ctrl->Save(clearDirty != 0);
        std::memcpy(buffer, bytes.data(), bytes.size());
        return kOk;
    });
}

SorvaneResult CtrlLoad(SorvaneCtrl* self, const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size > 0)
        return kPointer;
    return GuardedResult([&] {
        const LoadStatus status =
            Self(self)->ctrl->Load(std::span<const std::uint8_t>(data, data ? size : 0));
        // A short or foreign stream still loads, with defaults for what it lacks.
        return status == LoadStatus::Complete ? kOk : kFalse;
    });
}

SorvaneResult CtrlInitNew(SorvaneCtrl* self) {
    return GuardedResult([&] {
        Self(self)->ctrl->ResetState();
        return kOk;
    });
}

SorvaneResult CtrlIsDirty(SorvaneCtrl* self) {
    return Self(self)->ctrl->IsModified() ? kOk : kFalse;
}

SorvaneResult CtrlDraw(SorvaneCtrl*, std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                       const SorvaneRect* bounds) {
    if (pixels == nullptr || bounds == nullptr)
        return kPointer;
    if (width <= 0 || height <= 0)
        return kInvalidArg;
    return GuardedResult([&] {
        DrawControl(pixels, width, height,
                    Rect{bounds->left, bounds->top, bounds->right, bounds->bottom});
        return kOk;
    });
}

constexpr SorvaneCtrlVtbl kControlVtbl = {
    CtrlQueryInterface, CtrlAddRef, CtrlRelease, CtrlGetTypeInfoCount,
    CtrlGetIDOfName,    CtrlInvoke, CtrlAdvise,  CtrlUnadvise,
    CtrlSave,           CtrlLoad,   CtrlInitNew, CtrlIsDirty,
    CtrlDraw,
};

// ---- the property page -------------------------------------------------------------

struct PageObject : SorvanePropPage {
    std::atomic<std::uint32_t> refs{1};
};

std::uint32_t PageAddRef(SorvanePropPage* self) {
    return ++static_cast<PageObject*>(self)->refs;
}

std::uint32_t PageRelease(SorvanePropPage* self) {
    auto* page = static_cast<PageObject*>(self);
    const std::uint32_t left = --page->refs;
    if (left == 0) {
        delete page;
        --g_liveObjects;
    }
    return left;
}

SorvaneResult PageQueryInterface(SorvanePropPage* self, const SorvaneGuid* iid, void** object) {
    if (object == nullptr)
        return kPointer;
    *object = nullptr;
    if (IsNull(iid))
        return kPointer;
    if (!SameGuid(*iid, kIidUnknown))
        return kNoInterface;
    PageAddRef(self);
    *object = self;
    return kOk;
}

SorvaneResult PageGetPageInfo(SorvanePropPage*, SorvanePropPageInfo* info) {
    if (info == nullptr)
        return kPointer;
    *info = kPropPageInfo;
    return kOk;
}

constexpr SorvanePropPageVtbl kPageVtbl = {PageQueryInterface, PageAddRef, PageRelease,
                                           PageGetPageInfo};

// ---- class factories ---------------------------------------------------------------

// Factories live as long as the module; their references do not keep it loaded.
struct Factory : SorvaneClassFactory {
    bool control;
};

std::uint32_t FactoryAddRef(SorvaneClassFactory*) {
    return 2;
}

std::uint32_t FactoryRelease(SorvaneClassFactory*) {
    return 1;
}

SorvaneResult FactoryQueryInterface(SorvaneClassFactory* self, const SorvaneGuid* iid,
                                    void** object) {
    if (object == nullptr)
        return kPointer;
    *object = nullptr;
    if (IsNull(iid))
        return kPointer;
    if (!SameGuid(*iid, kIidUnknown) && !SameGuid(*iid, kIidClassFactory))
        return kNoInterface;
    *object = self;
    return kOk;
}

SorvaneResult FactoryCreateInstance(SorvaneClassFactory* self, void* outer, const SorvaneGuid* iid,
                                    void** object) {
    if (object == nullptr)
        return kPointer;
    *object = nullptr;
    if (IsNull(iid))
        return kPointer;
    if (outer != nullptr)
        return kNoAggregation;
    if (static_cast<Factory*>(self)->control) {
        SorvaneCtrl* created = sorvane_create();
        if (created == nullptr)
            return kOutOfMemory;
        const SorvaneResult hr = created->lpVtbl->QueryInterface(created, iid, object);
        created->lpVtbl->Release(created);
        return hr;
    }
    auto* page = new (std::nothrow) PageObject;
    if (page == nullptr)
        return kOutOfMemory;
    page->lpVtbl = &kPageVtbl;
    ++g_liveObjects;
    const SorvaneResult hr = PageQueryInterface(page, iid, object);
    PageRelease(page);
    return hr;
}

SorvaneResult FactoryLockServer(SorvaneClassFactory*, std::int32_t lock) {
    if (lock != 0) {
        ++g_serverLocks;
    } else if (g_serverLocks.load() > 0) {
        --g_serverLocks;
    }
    return kOk;
}

constexpr SorvaneClassFactoryVtbl kFactoryVtbl = {
    FactoryQueryInterface, FactoryAddRef, FactoryRelease, FactoryCreateInstance, FactoryLockServer};

Factory g_controlFactory{{&kFactoryVtbl}, true};
Factory g_pageFactory{{&kFactoryVtbl}, false};

}  // namespace

SorvaneCtrl* NewControlObject(std::unique_ptr<CSorvaneCtrl> ctrl) {
    if (!ctrl)
        return nullptr;
    auto* object = new (std::nothrow) ControlObject;
    if (object == nullptr)
        return nullptr;
    object->lpVtbl = &kControlVtbl;
    object->ctrl = std::move(ctrl);
    InitReceiverObject(&object->receiver, object, object->ctrl.get());
    object->ctrl->SetEventHold([object] { CtrlAddRef(object); }, [object] { CtrlRelease(object); });
    ++g_liveObjects;
    return object;
}

CSorvaneCtrl* ControlOf(SorvaneCtrl* object) {
    if (object == nullptr || object->lpVtbl != &kControlVtbl)
        return nullptr;
    return Self(object)->ctrl.get();
}

HResult GetClassObject(const Guid& clsid, const Guid& iid, void** object) {
    if (object == nullptr)
        return kPointer;
    *object = nullptr;
    Factory* factory = nullptr;
    if (SameGuid(clsid, kClsidSorvane)) {
        factory = &g_controlFactory;
    } else if (SameGuid(clsid, kClsidSorvanePropPage)) {
        factory = &g_pageFactory;
    } else {
        return kClassNotAvailable;
    }
    return FactoryQueryInterface(factory, &iid, object);
}

int LiveObjectCount() {
    return g_liveObjects.load();
}

int ServerLockCount() {
    return g_serverLocks.load();
}

HResult FromCVariant(const SorvaneVariant& in, Variant* out) {
    switch (in.vt) {
        case SORVANE_VT_EMPTY:
            *out = Variant();
            return kOk;
        case SORVANE_VT_I2:
            *out = Variant(in.u.iVal);
            return kOk;
        case SORVANE_VT_I4:
            *out = Variant(in.u.lVal);
            return kOk;
        case SORVANE_VT_R8:
            *out = Variant(in.u.dblVal);
            return kOk;
        case SORVANE_VT_BOOL:
            *out = Variant(in.u.boolVal != 0);
            return kOk;
        case SORVANE_VT_BSTR:
            *out = Variant(in.u.bstrVal);  // a null string is an empty one
            return kOk;
        case SORVANE_VT_BYREF | SORVANE_VT_I2:
            *out = Variant(in.u.piVal);
            return in.u.piVal ? kOk : kTypeMismatch;
        case SORVANE_VT_BYREF | SORVANE_VT_I4:
            *out = Variant(in.u.plVal);
            return in.u.plVal ? kOk : kTypeMismatch;
        case SORVANE_VT_BYREF | SORVANE_VT_R8:
            *out = Variant(in.u.pdblVal);
            return in.u.pdblVal ? kOk : kTypeMismatch;
        default:
            return kTypeMismatch;
    }
}

HResult ToCVariant(const Variant& in, SorvaneVariant* out) {
    sorvane_variant_init(out);
    switch (in.type()) {
        case Variant::Type::Empty:
            return kOk;
        case Variant::Type::I2:
            out->vt = SORVANE_VT_I2;
            out->u.iVal = in.AsI2();
            return kOk;
        case Variant::Type::I4:
            out->vt = SORVANE_VT_I4;
            out->u.lVal = in.AsI4();
            return kOk;
        case Variant::Type::R8:
            out->vt = SORVANE_VT_R8;
            out->u.dblVal = in.AsR8();
            return kOk;
        case Variant::Type::Bool:
            out->vt = SORVANE_VT_BOOL;
            out->u.boolVal = in.AsBool() ? kVariantTrue : kVariantFalse;
            return kOk;
        case Variant::Type::Bstr: {
            const std::string& s = in.AsString();
            char* copy = static_cast<char*>(std::malloc(s.size() + 1));
            if (copy == nullptr)
                return kOutOfMemory;
            std::memcpy(copy, s.c_str(), s.size() + 1);
            out->vt = SORVANE_VT_BSTR;
            out->u.bstrVal = copy;
            return kOk;
        }
        case Variant::Type::ByRefI2:
            out->vt = SORVANE_VT_BYREF | SORVANE_VT_I2;
            out->u.piVal = in.RefI2();
            return kOk;
        case Variant::Type::ByRefI4:
            out->vt = SORVANE_VT_BYREF | SORVANE_VT_I4;
            out->u.plVal = in.RefI4();
            return kOk;
        case Variant::Type::ByRefR8:
            out->vt = SORVANE_VT_BYREF | SORVANE_VT_R8;
            out->u.pdblVal = in.RefR8();
            return kOk;
    }
    return kTypeMismatch;
}

}  // namespace sorvane
