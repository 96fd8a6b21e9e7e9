#include "control/type_library.h"

#include <cstdio>
#include <string_view>

#include "control/dispatch_members.h"
#include "control/guid.h"
#include "control/identities.h"

namespace sorvane {

namespace {

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string Quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string ParameterList(const MemberInfo& m) {
    std::string out;
    for (int i = 0; i < m.paramCount; ++i) {
        if (i > 0)
            out += ", ";
        out += IdlTypeName(m.params[i].type);
        out += ' ';
        out += m.params[i].name;
    }
    return out;
}

void AppendMembers(std::string& out, std::span<const MemberInfo> members) {
    out += "        properties:\n";
    for (const MemberInfo& m : members) {
        if (m.kind != MemberKind::Property)
            continue;
        out += "            [id(" + std::to_string(m.dispid) + ")] " + IdlTypeName(m.type) + " " +
               m.name + ";  // default " + std::to_string(m.defaultValue) + "\n";
    }
    out += "        methods:\n";
    for (const MemberInfo& m : members) {
        if (m.kind == MemberKind::Property)
            continue;
        out += "            [id(" + std::to_string(m.dispid) + ")] " + IdlTypeName(m.type) + " " +
               m.name + "(" + ParameterList(m) + ");\n";
    }
}

std::string VersionNumbers(const std::uint16_t (&v)[4]) {
    return std::to_string(v[0]) + "," + std::to_string(v[1]) + "," + std::to_string(v[2]) + "," +
           std::to_string(v[3]);
}

void AppendVersionResource(std::string& out) {
    const VersionResource& v = kVersionResource;
    out += "// Version resource (language " + Hex(kResourceLanguage, 4) + ")\n";
    out += "//   FILEVERSION " + VersionNumbers(v.fileVersion) + "\n";
    out += "//   PRODUCTVERSION " + VersionNumbers(v.productVersion) + "\n";
    out += "//   FILEOS " + Hex(v.fileOs, 1) + " (32-bit Windows), FILETYPE " + Hex(v.fileType, 1) +
           " (dynamic library)\n";
    out += "//   Translation " + Hex(v.translationLanguage, 4) + ", code page " +
           std::to_string(v.translationCodePage) + "\n";
    const std::pair<const char*, const char*> strings[] = {
        {"Comments", v.comments},
        {"FileDescription", v.fileDescription},
        {"FileVersion", v.fileVersionText},
        {"InternalName", v.internalName},
        {"OriginalFilename", v.originalFilename},
        {"ProductName", v.productName},
        {"ProductVersion", v.productVersionText},
    };
    for (const auto& [name, value] : strings)
        out += "//   VALUE " + Quoted(name) + ", " + Quoted(value) + "\n";
    if (v.oleSelfRegister)
        out += "//   VALUE \"OLESelfRegister\", \"\"\n";
}

void AppendResources(std::string& out) {
    out += "// String resources: 1 " + Quoted(kStringControlTypeName) + ", 2 " +
           Quoted(kStringPropPageName) + ", 200 " + Quoted(kStringPropPageCaption) + "\n";
    out += "// Bitmaps: " + std::to_string(kToolboxBitmapId) + " toolbox 16 x 16, " +
           std::to_string(kPictureBitmapId) + " picture 32 x 32, 16 colours\n";
    const SorvanePropPageInfo& p = kPropPageInfo;
    out += "// Dialog " + std::to_string(kPropPageDialogId) + " (" + kPropPageClassName +
           "): " + std::to_string(p.width) + " x " + std::to_string(p.height) + ", font " +
           Quoted(p.fontName) + " " + std::to_string(p.fontPoints) + " pt, LTEXT " +
           Quoted(p.text) + " at " + std::to_string(p.textLeft) + ", " + std::to_string(p.textTop) +
           " size " + std::to_string(p.textWidth) + " x " + std::to_string(p.textHeight) + "\n";
}

}  // namespace

std::string TypeLibraryText() {
    std::string out;
    out += "// " + std::string(kTypeLibName) + " " + std::to_string(kTypeLibMajor) + "." +
           std::to_string(kTypeLibMinor) + ", generated from the control's dispatch table\n\n";
    out += "[\n";
    out += "    uuid(" + FormatGuid(kLibidSorvaneLib) + "),\n";
    out += "    version(" + std::to_string(kTypeLibMajor) + "." + std::to_string(kTypeLibMinor) +
           "),\n";
    out += "    lcid(" + Hex(kTypeLibLcid, 4) + "),\n";
    out += "    helpstring(" + Quoted(kTypeLibHelpString) + "),\n";
    out += "    helpfile(" + Quoted(kTypeLibHelpFile) + "),\n";
    out += "    control\n";
    out += "]\n";
    out += "library " + std::string(kTypeLibName) + "\n{\n";

    out += "    [\n";
    out += "        uuid(" + FormatGuid(kDiidDSorvane) + "),\n";
    out += "        helpstring(" + Quoted(kDispatchHelpString) + "),\n";
    out += "        hidden  // type flags " + Hex(kDispatchFlags, 4) + ": hidden, dispatchable\n";
    out += "    ]\n";
    out += "    dispinterface " + std::string(kDispatchName) + "\n    {\n";
    AppendMembers(out, DispatchMembers());
    out += "    };\n\n";

    out += "    [\n";
    out += "        uuid(" + FormatGuid(kDiidDSorvaneEvents) + "),\n";
    out += "        helpstring(" + Quoted(kEventsHelpString) + ")  // type flags " +
           Hex(kEventsFlags, 4) + ": dispatchable\n";
    out += "    ]\n";
    out += "    dispinterface " + std::string(kEventsName) + "\n    {\n";
    AppendMembers(out, EventMembers());
    out += "    };\n\n";

    out += "    [\n";
    out += "        uuid(" + FormatGuid(kClsidSorvane) + "),\n";
    out += "        helpstring(" + Quoted(kCoclassHelpString) + "),\n";
    out += "        control  // type flags " + Hex(kCoclassFlags, 4) + ": control, creatable\n";
    out += "    ]\n";
    out += "    coclass " + std::string(kCoclassName) + "\n    {\n";
    out += "        [default] dispinterface " + std::string(kDispatchName) + ";\n";
    out += "        [default, source] dispinterface " + std::string(kEventsName) + ";\n";
    out += "    };\n";
    out += "};\n\n";

    out += "// Class " + std::string(kControlClassName) + ": CLSID " + FormatGuid(kClsidSorvane) +
           ", ProgID " + Quoted(kControlProgId) + ", misc status " + Hex(kControlMiscStatus, 5) +
           ", threading " + kThreadingModel + ", version " + std::to_string(kControlVersion) + "\n";
    out += "//   property pages: " + std::string(kPropPageClassName) + " {" +
           FormatGuid(kClsidSorvanePropPage) + "}; verb \"Properties\" opens it; not insertable\n";
    out += "// Class " + std::string(kPropPageClassName) + ": CLSID " +
           FormatGuid(kClsidSorvanePropPage) + ", ProgID " + Quoted(kPropPageProgId) + "\n";
    out += "// Persisted properties: version " + Hex(kPersistedVersion, 5) +
           ", extent, stock mask, BaudRate, CommPort, Parity, DataLength, StopBit (28 bytes)\n";
    AppendResources(out);
    AppendVersionResource(out);
    return out;
}

}  // namespace sorvane
