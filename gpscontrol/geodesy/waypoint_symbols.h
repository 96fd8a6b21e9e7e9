#pragma once
// Waypoint symbol names and numbers. Which table applies depends on the
// waypoint record type of the receiver model: 4103 has the short table, 4104
// and 4108 the long one, every other type none.

#include <cstddef>
#include <span>
#include <string_view>

namespace sorvane {

struct WaypointSymbol {
    const char* name;
    int number;
};

constexpr int kDefaultSymbolNumber = 18;  // "Waypoint dot"
constexpr const char* kDefaultSymbolName = "Waypoint dot";

// The table for the record type in stored order; empty when it has none.
std::span<const WaypointSymbol> WaypointSymbolTable(int waypointType);

int WaypointSymbolCount(int waypointType);
// Name of the entry at index; nullptr without a table or for an index outside it.
const char* WaypointSymbolNameAt(int waypointType, int index);
// Name of the first entry with the number; "Waypoint dot" when no entry has it
// (even for the short table, which has no such entry); nullptr without a table.
const char* WaypointSymbolNameOf(int waypointType, int number);
// Number of the first entry named exactly `name`; 18 when none is, -1 without a table.
int WaypointSymbolNumberOf(int waypointType, std::string_view name);

// Buffer forms of the two name lookups: copy at most size - 1 bytes and zero
// the rest of the buffer. False (buffer all zero) where the lookups give nullptr.
bool CopyWaypointSymbolNameAt(int waypointType, int index, char* buffer, std::size_t size);
bool CopyWaypointSymbolNameOf(int waypointType, int number, char* buffer, std::size_t size);

}  // namespace sorvane
