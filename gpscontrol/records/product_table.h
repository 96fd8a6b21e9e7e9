#pragma once
// The table of supported receiver models, keyed by the product ID a receiver
// reports, and the two name translation tables of character set 2.

#include <cstdint>

namespace sorvane {

constexpr std::int32_t kDefaultProductId = 119;

constexpr int kWaypointType4101 = 4101;
constexpr int kWaypointType4103 = 4103;
constexpr int kWaypointType4104 = 4104;
constexpr int kWaypointType4108 = 4108;
constexpr int kWaypointType4109 = 4109;
constexpr int kRouteHeader4201 = 4201;
constexpr int kRouteHeader4202 = 4202;

struct ProductRow {
    std::int32_t productId;
    std::int32_t characterSet;
    std::int32_t waypointType;
    std::int32_t routeHeaderType;
    char modelName[20];
};

constexpr int kProductRowCount = 26;

// The row at index 0..25 in table order (with the run-time eMap switch applied).
ProductRow ProductTableRow(int index);

// Queries for a product ID; unknown products get 4101, 4201 and 1.
int GetWaypointType(std::int32_t productId);
int GetRouteHeaderType(std::int32_t productId);
int GetCharacterSet(std::int32_t productId);
bool IsNewerFamily(std::int32_t productId);
bool IsKnownProduct(std::int32_t productId);

// The eMap record-type switch: product 111 whose capability list carries 109
// at data offset 13 speaks waypoint layout 4109 for the rest of the process.
void ApplyCapabilityByte(std::int32_t productId, std::uint8_t capabilityByte);
// Puts the switched cell back to 4108 (for tests that need a clean table).
void ResetProductTable();

// Character set 2 tables: receiver code to display code, and back.
std::uint8_t Charset2Download(std::uint8_t receiverCode);
std::uint8_t Charset2Upload(std::uint8_t displayCode);

}  // namespace sorvane
