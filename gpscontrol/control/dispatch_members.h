#pragma once
// The dispatch table as data: one entry per property, method and event, in
// DISPID order, with lookups by DISPID and by name.

#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

#include "control/automation_types.h"
#include "control/dispatch_table.h"
#include "control/pp_for_each.h"

namespace sorvane {

// Invoke flags.
constexpr std::uint16_t kDispatchMethod = 1;
constexpr std::uint16_t kDispatchPropertyGet = 2;
constexpr std::uint16_t kDispatchPropertyPut = 4;

// Event DISPIDs: kEventReceiving, kEventNMEAReceived.
#define SORVANE_EVENT_DISPID(id, name, ...) constexpr std::int32_t kEvent##name = id;
SORVANE_DISPATCH_EVENTS(SORVANE_EVENT_DISPID)
#undef SORVANE_EVENT_DISPID

enum class MemberKind : std::uint8_t { Property, Method, Event };

struct ParamInfo {
    const char* name;
    AutoType type;
};

constexpr int kMaxParams = 9;

struct MemberInfo {
    std::int32_t dispid;
    const char* name;
    MemberKind kind;
    AutoType type;  // the result of a method, the type of a property
    int paramCount;
    ParamInfo params[kMaxParams];
    std::int32_t defaultValue;  // properties only
};

#define SORVANE_MI_PARAM(i, T, n) \
    ParamInfo {                   \
#n, AutoType::T           \
    }
#define SORVANE_MI_PROPERTY(id, name, T, def) \
    MemberInfo{id, #name, MemberKind::Property, AutoType::T, 0, {}, def},
#define SORVANE_MI_ENTRY(kind, id, name, R, ...)                                         \
    MemberInfo{id,                                                                       \
               #name,                                                                    \
               MemberKind::kind,                                                         \
               AutoType::R,                                                              \
               SORVANE_PP_NARGS(__VA_ARGS__),                                            \
               {SORVANE_PP_FOR_EACH_COMMA(SORVANE_MI_PARAM __VA_OPT__(, ) __VA_ARGS__)}, \
               0},
#define SORVANE_MI_METHOD(id, name, R, ...) SORVANE_MI_ENTRY(Method, id, name, R, __VA_ARGS__)
#define SORVANE_MI_EVENT(id, name, ...) SORVANE_MI_ENTRY(Event, id, name, svVoid, __VA_ARGS__)

inline constexpr MemberInfo kDispatchMembers[] = {SORVANE_DISPATCH_PROPERTIES(SORVANE_MI_PROPERTY)
                                                      SORVANE_DISPATCH_METHODS(SORVANE_MI_METHOD)};

inline constexpr MemberInfo kEventMembers[] = {SORVANE_DISPATCH_EVENTS(SORVANE_MI_EVENT)};

#undef SORVANE_MI_EVENT
#undef SORVANE_MI_METHOD
#undef SORVANE_MI_ENTRY
#undef SORVANE_MI_PROPERTY
#undef SORVANE_MI_PARAM

constexpr int kDispatchMemberCount = static_cast<int>(std::size(kDispatchMembers));
// DISPIDs run from 1 without a gap, in table order.
static_assert([] {
    for (int i = 0; i < kDispatchMemberCount; ++i) {
        if (kDispatchMembers[i].dispid != i + 1)
            return false;
    }
    return true;
}());

inline constexpr int kEventCount = static_cast<int>(std::size(kEventMembers));
inline constexpr int kPropertyCount = [] {
    int n = 0;
    for (const MemberInfo& m : kDispatchMembers)
        n += m.kind == MemberKind::Property ? 1 : 0;
    return n;
}();
inline constexpr int kMethodCount = kDispatchMemberCount - kPropertyCount;

// The type as the type-library text writes it ("long", "BSTR*", ...).
const char* IdlTypeName(AutoType t);

// nullptr for an unknown DISPID.
const MemberInfo* FindMember(std::int32_t dispid);
const MemberInfo* FindEvent(std::int32_t dispid);
// Names compare without regard to letter case, as automation lookups do;
// -1 when no member has the name.
std::int32_t DispidOfName(std::string_view name);
std::int32_t EventDispidOfName(std::string_view name);

std::span<const MemberInfo> DispatchMembers();
std::span<const MemberInfo> EventMembers();

}  // namespace sorvane
