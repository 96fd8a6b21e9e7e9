#pragma once
// Who the simulator pretends to be: product data, record layouts and the
// capability list a receiver of that model sends.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gpssim {

struct CapabilityEntry {
    char tag;
    std::uint16_t value;
};

struct Profile {
    std::int32_t productId = 130;
    std::int32_t softwareVersion = 250;
    std::string description = "eTrex Software Version 2.50";
    int waypointType = 4108;
    int routeHeaderType = 4202;
    int characterSet = 1;
    bool capabilities = true;
};

// The receiver model with this product ID, as the simulator knows it: layouts
// and character set of the model, a capability list for the newer models, a
// description built from the model name and the version. Unknown IDs play an
// older receiver with the plainest layouts.
Profile ProfileForProduct(std::int32_t productId, std::int32_t softwareVersion = 250);

bool IsNewerFamily(const Profile& p);
// The waypoint layout of a model the simulator knows; nothing for other IDs.
std::optional<int> ModelWaypointType(std::int32_t productId);

// Link, command, waypoint, route and track protocols and the record layouts
// they use; the fifth entry names the waypoint layout.
std::vector<CapabilityEntry> CapabilityList(const Profile& p);
std::vector<std::uint8_t> CapabilityListData(const Profile& p);
// Product ID, software version, description and its terminating zero.
std::vector<std::uint8_t> ProductDataField(const Profile& p);

}  // namespace gpssim
