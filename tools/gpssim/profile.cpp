#include "profile.h"

#include <algorithm>
#include <cstdio>

namespace gpssim {

namespace {

struct Model {
    std::int32_t id;
    const char* name;
    int characterSet;
    int waypointType;
};

constexpr Model kModels[] = {
    {87, "GPS12", 1, 4103},          {138, "GPS12(2)", 1, 4103},
    {77, "GPS12XL", 1, 4103},        {96, "GPS12XL(2)", 1, 4103},
    {105, "GPS12XLJ", 2, 4103},      {116, "GPS12CX", 1, 4103},
    {129, "GPS12MAP", 1, 4104},      {41, "GPS38", 1, 4101},
    {62, "GPS38J", 2, 4101},         {31, "GPS40", 1, 4101},
    {59, "GPS II", 1, 4101},         {73, "GPS II Plus", 1, 4103},
    {97, "GPS II Plus(2)", 1, 4103}, {72, "GPS III", 1, 4104},
    {119, "GPS III Plus", 1, 4104},  {111, "eMap", 1, 4108},
    {130, "eTrex", 1, 4108},         {141, "eTrex Summit", 1, 4108},
    {153, "Pocket Mini", 2, 4108},   {154, "eTrex Venture", 1, 4108},
    {179, "eTrex Legend", 1, 4108},  {169, "eTrex Vista", 1, 4108},
    {156, "eTrex Camo", 1, 4108},    {173, "GPS76", 1, 4108},
    {177, "GPSMAP76", 1, 4108},
};

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

bool IsNewerFamily(const Profile& p) {
    return p.waypointType == 4108 || p.waypointType == 4109;
}

std::optional<int> ModelWaypointType(std::int32_t productId) {
    for (const Model& m : kModels) {
        if (m.id == productId)
            return m.waypointType;
    }
    return std::nullopt;
}

Profile ProfileForProduct(std::int32_t productId, std::int32_t softwareVersion) {
    Profile p;
    p.productId = productId;
    p.softwareVersion = softwareVersion;
    const Model* model = nullptr;
    for (const Model& m : kModels) {
        if (m.id == productId) {
            model = &m;
            break;
        }
    }
    p.waypointType = model ? model->waypointType : 4101;
    p.characterSet = model ? model->characterSet : 1;
    p.routeHeaderType = IsNewerFamily(p) ? 4202 : 4201;
    p.capabilities = IsNewerFamily(p);
    char text[96];
    std::snprintf(text, sizeof text, "%s Software Version %d.%02d",
                  model ? model->name : "Receiver", softwareVersion / 100,
                  (softwareVersion % 100 + 100) % 100);
    p.description = text;
    return p;
}

std::vector<CapabilityEntry> CapabilityList(const Profile& p) {
    const auto layout = [](int type) { return static_cast<std::uint16_t>(type - 4000); };
    const bool newer = IsNewerFamily(p);
    // Receivers tag the physical, link and data layouts P, L and D, and every
    // application protocol A; a host finds each transfer by its A number.
    std::vector<CapabilityEntry> list = {
        {'P', 0},                                      // physical line
        {'L', 1},                                      // link protocol
        {'A', 10},                                     // command protocol
        {'A', 100},                                    // waypoint transfer
        {'D', layout(p.waypointType)},                 // waypoint record layout
        {'A', newer ? uint16_t{201} : uint16_t{200}},  // route transfer
        {'D', layout(p.routeHeaderType)},              // route header layout
        {'D', layout(p.waypointType)},                 // route waypoint layout
    };
    if (newer)
        list.push_back({'D', 210});                                        // route link
    list.push_back({'A', static_cast<std::uint16_t>(newer ? 301 : 300)});  // track transfer
    if (newer)
        list.push_back({'D', 310});                                        // track header
    list.push_back({'D', static_cast<std::uint16_t>(newer ? 301 : 300)});  // track point
    return list;
}

std::vector<std::uint8_t> CapabilityListData(const Profile& p) {
    std::vector<std::uint8_t> out;
    for (const CapabilityEntry& e : CapabilityList(p)) {
        out.push_back(static_cast<std::uint8_t>(e.tag));
        PutU16(out, e.value);
    }
    return out;
}

std::vector<std::uint8_t> ProductDataField(const Profile& p) {
    // A receive slot takes 250 data bytes.
    const std::size_t room = 250 - 4 - 1;
    const std::size_t n = p.description.size() < room ? p.description.size() : room;
    std::vector<std::uint8_t> out(4 + n + 1, 0);
    const auto id = static_cast<std::uint16_t>(p.productId);
    const auto version = static_cast<std::uint16_t>(p.softwareVersion);
    out[0] = static_cast<std::uint8_t>(id);
    out[1] = static_cast<std::uint8_t>(id >> 8);
    out[2] = static_cast<std::uint8_t>(version);
    out[3] = static_cast<std::uint8_t>(version >> 8);
    std::copy_n(p.description.begin(), n, out.begin() + 4);
    return out;
}

}  // namespace gpssim
