#include "records/product_table.h"

#include <atomic>

namespace sorvane {

namespace {

// clang-format off
constexpr ProductRow kRows[kProductRowCount] = {
    {87, 1, 4103, 4201, "GPS12"},
    {138, 1, 4103, 4201, "GPS12(2)"},
    {77, 1, 4103, 4201, "GPS12XL"},
    {96, 1, 4103, 4201, "GPS12XL(2)"},
    {105, 2, 4103, 4201, "GPS12XLJ"},
    {116, 1, 4103, 4201, "GPS12CX"},
    {129, 1, 4104, 4201, "GPS12MAP"},
    {41, 1, 4101, 4201, "GPS38"},
    {62, 2, 4101, 4201, "GPS38J"},
    {31, 1, 4101, 4201, "GPS40"},
    {96, 1, 4103, 4201, "GPS48"},
    {59, 1, 4101, 4201, "GPS II"},
    {73, 1, 4103, 4201, "GPS II Plus"},
    {97, 1, 4103, 4201, "GPS II Plus(2)"},
    {72, 1, 4104, 4201, "GPS III"},
    {119, 1, 4104, 4201, "GPS III Plus"},
    {111, 1, 4108, 4202, "eMap"},
    {130, 1, 4108, 4202, "eTrex"},
    {141, 1, 4108, 4202, "eTrex Summit"},
    {153, 2, 4108, 4202, "Pocket Mini"},
    {154, 1, 4108, 4202, "eTrex Venture"},
    {179, 1, 4108, 4202, "eTrex Legend"},
    {169, 1, 4108, 4202, "eTrex Vista"},
    {156, 1, 4108, 4202, "eTrex Camo"},
    {173, 1, 4108, 4202, "GPS76"},
    {177, 1, 4108, 4202, "GPSMAP76"},
};
// clang-format on

constexpr int kEmapRow = 16;
constexpr std::int32_t kEmapId = 111;
constexpr std::uint8_t kEmapCapability = 109;

// The one cell that changes at run time; shared by every control in the process.
std::atomic<std::int32_t> g_emapWaypointType{4108};

int FindRow(std::int32_t productId) {
    for (int i = 0; i < kProductRowCount; ++i) {
        if (kRows[i].productId == productId)
            return i;
    }
    return -1;
}

}  // namespace

ProductRow ProductTableRow(int index) {
    ProductRow row = kRows[index];
    if (index == kEmapRow)
        row.waypointType = g_emapWaypointType.load();
    return row;
}

int GetWaypointType(std::int32_t productId) {
    const int i = FindRow(productId);
    return i < 0 ? kWaypointType4101 : ProductTableRow(i).waypointType;
}

int GetRouteHeaderType(std::int32_t productId) {
    const int i = FindRow(productId);
    return i < 0 ? kRouteHeader4201 : kRows[i].routeHeaderType;
}

int GetCharacterSet(std::int32_t productId) {
    const int i = FindRow(productId);
    return i < 0 ? 1 : kRows[i].characterSet;
}

bool IsNewerFamily(std::int32_t productId) {
    const int t = GetWaypointType(productId);
    return t == kWaypointType4108 || t == kWaypointType4109;
}

bool IsKnownProduct(std::int32_t productId) {
    return FindRow(productId) >= 0;
}

void ApplyCapabilityByte(std::int32_t productId, std::uint8_t capabilityByte) {
    if (productId == kEmapId && capabilityByte == kEmapCapability) {
        g_emapWaypointType.store(kWaypointType4109);
    }
}

void ResetProductTable() {
    g_emapWaypointType.store(kWaypointType4108);
}

std::uint8_t Charset2Download(std::uint8_t c) {
    if (c <= 0x20)
        return 0x20;
    if (c <= 0x4D)
        return static_cast<std::uint8_t>(c + 0x90);
    if (c == 0x4E)
        return 0xA6;
    if (c <= 0x51)
        return static_cast<std::uint8_t>(c - 0x4F + 0xAC);
    if (c <= 0x5B)
        return static_cast<std::uint8_t>(c - 0x52 + 0x30);
    if (c == 0x5C)
        return 0x2D;
    if (c == 0x5D)
        return 0xDF;
    if (c == 0x5E)
        return 0xDE;
    // 0x5F to 0x7F are blanks in the receiver's code; codes from 0x80 have no
    // entry at all and are shown as blanks too rather than as stray bytes.
    return 0x20;
}

std::uint8_t Charset2Upload(std::uint8_t c) {
    if (c == 0x20)
        return 0x20;
    if (c >= 0x30 && c <= 0x39)
        return static_cast<std::uint8_t>(c - 0x30 + 0x52);
    if (c >= 0xAC && c <= 0xAE)
        return static_cast<std::uint8_t>(c - 0xAC + 0x4F);
    // Every katakana the receiver can show maps back to its own code, so a
    // downloaded name uploads unchanged (0xC0-0xC9 and 0xD1-0xDD are the
    // historical entries; the rest of the run was missing and became '0').
    if (c >= 0xB1 && c <= 0xDD)
        return static_cast<std::uint8_t>(c - 0x90);
    if (c == 0xA6)
        return 0x4E;
    if (c == 0x2D)
        return 0x5C;
    if (c == 0xDF)
        return 0x5D;
    if (c == 0xDE)
        return 0x5E;
    return 0x52;
}

}  // namespace sorvane
