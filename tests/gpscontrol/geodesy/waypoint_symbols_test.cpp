#include "geodesy/waypoint_symbols.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

using namespace sorvane;

TEST(WaypointSymbols, LookupsByType) {
    // The long table serves 4104 and 4108, the short one 4103; 18 is "Waypoint
    // dot" and the number of any unknown name even where the table lacks it.
    // type, count, names at 0 and at count - 1, names of 0 and of 18, numbers of "Zoo" and of
    // "Waypoint dot"
    const std::tuple<int, int, const char*, const char*, const char*, const char*, int, int>
        rows[] = {
            {4104, 126, "Airport", "Zoo", "white Anchor", "Waypoint dot", 8219, 18},
            {4108, 126, "Airport", "Zoo", "white Anchor", "Waypoint dot", 8219, 18},
            {4103, 16, "anchor", "wreck", "dot", "Waypoint dot", 18, 18},
            {4101, 0, nullptr, nullptr, nullptr, nullptr, -1, -1},
            {4109, 0, nullptr, nullptr, nullptr, nullptr, -1, -1},
        };
    for (const auto& [type, count, first, last, of0, of18, zoo, dot] : rows) {
        SCOPED_TRACE(type);
        EXPECT_EQ(WaypointSymbolCount(type), count);
        EXPECT_STREQ(WaypointSymbolNameAt(type, 0), first);
        EXPECT_STREQ(WaypointSymbolNameAt(type, count - 1), last);
        EXPECT_STREQ(WaypointSymbolNameAt(type, -1), nullptr);
        EXPECT_STREQ(WaypointSymbolNameAt(type, count), nullptr);
        EXPECT_STREQ(WaypointSymbolNameOf(type, 0), of0);
        EXPECT_STREQ(WaypointSymbolNameOf(type, 18), of18);
        EXPECT_STREQ(WaypointSymbolNameOf(type, 177), of18);  // 177 is in no table
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Zoo"), zoo);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Waypoint dot"), dot);
        // Exact, case-sensitive matches only.
        for (const char* near : {"zoo", "Zo", "Zoo "})
            EXPECT_EQ(WaypointSymbolNumberOf(type, near), dot) << near;
    }
}

// Every name finds its own number back, so no name or number may repeat.
TEST(WaypointSymbols, NamesAndNumbersAreUnique) {
    for (int type : {4103, 4104}) {
        std::set<std::string> names;
        std::set<int> numbers;
        for (const WaypointSymbol& s : WaypointSymbolTable(type)) {
            EXPECT_TRUE(names.insert(s.name).second) << s.name;
            EXPECT_TRUE(numbers.insert(s.number).second) << s.number;
            EXPECT_EQ(WaypointSymbolNumberOf(type, s.name), s.number);
        }
    }
}

TEST(WaypointSymbols, BufferCopyTruncatesAndZeroFills) {
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_TRUE(CopyWaypointSymbolNameAt(4104, 0, buf, 4));
    EXPECT_EQ(std::string(buf, 8), std::string("Air\0xxxx", 8));  // nothing past the size
    std::memset(buf, 'x', sizeof buf);
    EXPECT_TRUE(CopyWaypointSymbolNameOf(4103, 3, buf, sizeof buf));
    EXPECT_EQ(std::string(buf, 8), std::string("car\0\0\0\0\0", 8));
    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(CopyWaypointSymbolNameOf(4101, 3, buf, sizeof buf));
    EXPECT_EQ(std::string(buf, 8), std::string(8, '\0'));
    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(CopyWaypointSymbolNameAt(4104, 200, buf, sizeof buf));
    EXPECT_EQ(std::string(buf, 8), std::string(8, '\0'));
    EXPECT_TRUE(CopyWaypointSymbolNameOf(4104, 177, buf, sizeof buf));
    EXPECT_STREQ(buf, "Waypoin");
}
