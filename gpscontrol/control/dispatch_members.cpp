#include "control/dispatch_members.h"

#include <cctype>

namespace sorvane {

namespace {

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return true;
}

const MemberInfo* FindIn(std::span<const MemberInfo> members, std::int32_t dispid) {
    for (const MemberInfo& m : members) {
        if (m.dispid == dispid)
            return &m;
    }
    return nullptr;
}

std::int32_t DispidIn(std::span<const MemberInfo> members, std::string_view name) {
    for (const MemberInfo& m : members) {
        if (SameNameIgnoringCase(m.name, name))
            return m.dispid;
    }
    return -1;
}

}  // namespace

std::span<const MemberInfo> DispatchMembers() {
    return kDispatchMembers;
}

std::span<const MemberInfo> EventMembers() {
    return kEventMembers;
}

const MemberInfo* FindMember(std::int32_t dispid) {
    // DISPIDs run from 1 in table order (checked where the table is made).
    if (dispid >= 1 && dispid <= kDispatchMemberCount)
        return &kDispatchMembers[dispid - 1];
    return nullptr;
}

const MemberInfo* FindEvent(std::int32_t dispid) {
    return FindIn(kEventMembers, dispid);
}

std::int32_t DispidOfName(std::string_view name) {
    return DispidIn(kDispatchMembers, name);
}

std::int32_t EventDispidOfName(std::string_view name) {
    return DispidIn(kEventMembers, name);
}

const char* IdlTypeName(AutoType t) {
    switch (t) {
        case AutoType::svVoid:
            return "void";
        case AutoType::svBool:
            return "BOOL";
        case AutoType::svI2:
            return "short";
        case AutoType::svI4:
            return "long";
        case AutoType::svR8:
            return "double";
        case AutoType::svBstr:
            return "BSTR";
        case AutoType::svPI2:
            return "short*";
        case AutoType::svPI4:
            return "long*";
        case AutoType::svPR8:
            return "double*";
        case AutoType::svPBstr:
            return "BSTR*";
    }
    return "?";
}

}  // namespace sorvane
