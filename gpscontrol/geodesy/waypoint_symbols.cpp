#include "geodesy/waypoint_symbols.h"

#include <cstring>
#include <iterator>

namespace sorvane {

namespace {

// Numbers 0-178 marine and outdoor, 8192-8246 land, 16384-16402 aviation.
constexpr WaypointSymbol kLongTable[] = {
    {"Airport", 16384},
    {"amber map buoy", 22},
    {"Amusement Park", 8204},
    {"Ball Park", 169},
    {"black map buoy", 23},
    {"blue map buoy", 24},
    {"Boat Ramp", 150},
    {"Bowling", 8205},
    {"Bridge", 8233},
    {"Building", 8234},
    {"Campground", 151},
    {"capitol city (star)", 8203},
    {"Car Rental", 8206},
    {"Car Repair", 8207},
    {"Car", 170},
    {"Cemetery", 8235},
    {"Church", 8236},
    {"Controlled Area", 165},
    {"Convenience Store", 8220},
    {"Crossing", 8238},
    {"Dam", 164},
    {"Dangerous Area", 166},
    {"Department Store", 8218},
    {"diver Down flag 1", 4},
    {"diver Down flag 2", 5},
    {"Drinking Water", 154},
    {"Fast Food", 8208},
    {"first approach fix", 16398},
    {"Fitness Center", 8209},
    {"Flag", 178},
    {"Forest", 8245},
    {"Glider Area", 16393},
    {"Golf Course", 8197},
    {"green Diamond", 2},
    {"green map buoy", 25},
    {"green Square", 15},
    {"green/red map buoy", 26},
    {"green/white map buoy", 27},
    {"Heliport", 16388},
    {"Hotel", 173},
    {"Hunting Area", 171},
    {"Information", 157},
    {"intersection", 16385},
    {"Interstate hwy", 8192},
    {"intl freeway hwy", 8201},
    {"intl national hwy", 8202},
    {"Large City", 8200},
    {"Live Theater", 8221},
    {"localizer outer marker", 16399},
    {"Man Overboard", 21},
    {"Medical Facility", 156},
    {"Medium City", 8199},
    {"Mile Marker", 8195},
    {"Mine", 174},
    {"missed approach point", 16400},
    {"Movie Theater", 8210},
    {"Museum", 8211},
    {"non-directional beacon", 16386},
    {"null symbol (transparent)", 20},
    {"null", 168},
    {"Oil Field", 8242},
    {"orange map buoy", 28},
    {"Parachute Area", 16395},
    {"Park", 159},
    {"Parking Area", 158},
    {"Pharmacy", 8212},
    {"Picnic Area", 160},
    {"Pizza", 8213},
    {"Post Office", 8214},
    {"Private Field", 16389},
    {"radio beacon", 37},
    {"red Diamond", 3},
    {"red map buoy", 29},
    {"red Square", 16},
    {"red/green map buoy", 30},
    {"red/white map buoy", 31},
    {"restricted area", 167},
    {"Restroom", 152},
    {"RV Park", 8215},
    {"Scales", 8226},
    {"Scenic Area", 161},
    {"School", 8216},
    {"Seaplane Base", 16402},
    {"Shopping Center", 172},
    {"Short Tower", 16392},
    {"Shower", 153},
    {"Skiing Area", 162},
    {"Small City", 8198},
    {"Soft Field", 16390},
    {"Stadium", 8217},
    {"State hwy", 8194},
    {"Summit", 8246},
    {"Swimming Area", 163},
    {"TACAN", 16401},
    {"Tall Tower", 16391},
    {"Telephone", 155},
    {"Toll Booth", 8227},
    {"TracBack (feet)", 8196},
    {"Trail Head", 175},
    {"Truck Stop", 176},
    {"Tunnel", 8243},
    {"Ultralight Area", 16394},
    {"US hwy", 8193},
    {"VHF omni-range", 16387},
    {"violet map buoy", 32},
    {"VOR/TACAN", 16396},
    {"VOR-DME", 16397},
    {"Waypoint dot", 18},
    {"white Anchor", 0},
    {"white Bank", 6},
    {"white Bar", 13},
    {"white Bell", 1},
    {"white buoy waypoint", 17},
    {"white Danger Area", 14},
    {"white dot", 36},
    {"white Fishing Area", 7},
    {"white Gas Station", 8},
    {"white Horn", 9},
    {"white light", 12},
    {"white map buoy", 33},
    {"white Residence", 10},
    {"white Restaurant", 11},
    {"white Shipwreck", 19},
    {"white/green map buoy", 34},
    {"white/red map buoy", 35},
    {"Zoo", 8219},
};

constexpr WaypointSymbol kShortTable[] = {
    {"anchor", 6}, {"back track", 15}, {"boat", 5},  {"buoy", 14}, {"camp", 11}, {"car", 3},
    {"deer", 13},  {"dot", 0},         {"duck", 12}, {"exit", 8},  {"fish", 4},  {"flag", 10},
    {"gas", 2},    {"house", 1},       {"skull", 9}, {"wreck", 7},
};

static_assert(std::size(kLongTable) == 126);
static_assert(std::size(kShortTable) == 16);

bool CopyName(const char* name, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0)
        return name != nullptr;
    std::memset(buffer, 0, size);
    if (name == nullptr)
        return false;
    const std::size_t len = std::strlen(name);
    std::memcpy(buffer, name, len < size - 1 ? len : size - 1);
    return true;
}

}  // namespace

std::span<const WaypointSymbol> WaypointSymbolTable(int waypointType) {
    switch (waypointType) {
        case 4103:
            return kShortTable;
        case 4104:
        case 4108:
            return kLongTable;
        default:
            return {};
    }
}

int WaypointSymbolCount(int waypointType) {
    return static_cast<int>(WaypointSymbolTable(waypointType).size());
}

const char* WaypointSymbolNameAt(int waypointType, int index) {
    const auto table = WaypointSymbolTable(waypointType);
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        return nullptr;
    return table[index].name;
}

const char* WaypointSymbolNameOf(int waypointType, int number) {
    const auto table = WaypointSymbolTable(waypointType);
    if (table.empty())
        return nullptr;
    for (const WaypointSymbol& s : table) {
        if (s.number == number)
            return s.name;
    }
    return kDefaultSymbolName;
}

int WaypointSymbolNumberOf(int waypointType, std::string_view name) {
    const auto table = WaypointSymbolTable(waypointType);
    if (table.empty())
        return -1;
    for (const WaypointSymbol& s : table) {
        if (name == s.name)
            return s.number;
    }
    return kDefaultSymbolNumber;
}

bool CopyWaypointSymbolNameAt(int waypointType, int index, char* buffer, std::size_t size) {
    return CopyName(WaypointSymbolNameAt(waypointType, index), buffer, size);
}

bool CopyWaypointSymbolNameOf(int waypointType, int number, char* buffer, std::size_t size) {
    return CopyName(WaypointSymbolNameOf(waypointType, number), buffer, size);
}

}  // namespace sorvane
