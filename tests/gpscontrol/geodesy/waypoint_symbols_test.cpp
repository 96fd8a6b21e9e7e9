#include "geodesy/waypoint_symbols.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace sorvane;

TEST(WaypointSymbols, LongTableServes4104And4108) {
    for (int type : {4104, 4108}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(WaypointSymbolCount(type), 126);
        EXPECT_STREQ(WaypointSymbolNameAt(type, 0), "Airport");
        EXPECT_STREQ(WaypointSymbolNameAt(type, 58), "null symbol (transparent)");
        EXPECT_STREQ(WaypointSymbolNameAt(type, 125), "Zoo");
        EXPECT_EQ(WaypointSymbolNameAt(type, -1), nullptr);
        EXPECT_EQ(WaypointSymbolNameAt(type, 126), nullptr);
        EXPECT_STREQ(WaypointSymbolNameOf(type, 18), "Waypoint dot");
        EXPECT_STREQ(WaypointSymbolNameOf(type, 177), "Waypoint dot");
        EXPECT_STREQ(WaypointSymbolNameOf(type, 16384), "Airport");
        EXPECT_STREQ(WaypointSymbolNameOf(type, 8196), "TracBack (feet)");
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Zoo"), 8219);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "zoo"), 18);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Zo"), 18);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Zoo "), 18);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "white Anchor"), 0);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "VOR/TACAN"), 16396);
    }
}

TEST(WaypointSymbols, ShortTableServes4103) {
    EXPECT_EQ(WaypointSymbolCount(4103), 16);
    EXPECT_STREQ(WaypointSymbolNameAt(4103, 0), "anchor");
    EXPECT_STREQ(WaypointSymbolNameAt(4103, 15), "wreck");
    EXPECT_EQ(WaypointSymbolNameAt(4103, 16), nullptr);
    EXPECT_STREQ(WaypointSymbolNameOf(4103, 0), "dot");
    EXPECT_STREQ(WaypointSymbolNameOf(4103, 15), "back track");
    EXPECT_STREQ(WaypointSymbolNameOf(4103, 18), "Waypoint dot");  // not in the short table
    EXPECT_EQ(WaypointSymbolNumberOf(4103, "Waypoint dot"), 18);
    EXPECT_EQ(WaypointSymbolNumberOf(4103, "skull"), 9);
    EXPECT_EQ(WaypointSymbolNumberOf(4103, "Airport"), 18);
}

TEST(WaypointSymbols, OtherTypesHaveNoTable) {
    for (int type : {4101, 4109, 0, -1, 4200}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(WaypointSymbolCount(type), 0);
        EXPECT_EQ(WaypointSymbolNameAt(type, 0), nullptr);
        EXPECT_EQ(WaypointSymbolNameOf(type, 18), nullptr);
        EXPECT_EQ(WaypointSymbolNumberOf(type, "Waypoint dot"), -1);
    }
}

TEST(WaypointSymbols, NamesAndNumbersAreUniqueAndInTheirRanges) {
    for (int type : {4103, 4104}) {
        std::set<std::string> names;
        std::set<int> numbers;
        for (const WaypointSymbol& s : WaypointSymbolTable(type)) {
            EXPECT_TRUE(names.insert(s.name).second) << s.name;
            EXPECT_TRUE(numbers.insert(s.number).second) << s.number;
            if (type == 4104) {
                const int n = s.number;
                EXPECT_TRUE((n >= 0 && n <= 178) || (n >= 8192 && n <= 8246) ||
                            (n >= 16384 && n <= 16402))
                    << n;
            } else {
                EXPECT_TRUE(s.number >= 0 && s.number <= 15) << s.number;
            }
            // Every name finds its own number back.
            EXPECT_EQ(WaypointSymbolNumberOf(type, s.name), s.number);
        }
    }
}

TEST(WaypointSymbols, BufferCopyTruncatesAndZeroFills) {
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_TRUE(CopyWaypointSymbolNameAt(4104, 0, buf, 4));
    EXPECT_STREQ(buf, "Air");
    EXPECT_EQ(buf[4], 'x');  // beyond the given size

    std::memset(buf, 'x', sizeof buf);
    EXPECT_TRUE(CopyWaypointSymbolNameOf(4103, 3, buf, sizeof buf));
    EXPECT_STREQ(buf, "car");
    for (std::size_t i = 3; i < sizeof buf; ++i)
        EXPECT_EQ(buf[i], '\0') << i;

    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(CopyWaypointSymbolNameOf(4101, 3, buf, sizeof buf));
    for (char c : buf)
        EXPECT_EQ(c, '\0');

    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(CopyWaypointSymbolNameAt(4104, 200, buf, sizeof buf));
    for (char c : buf)
        EXPECT_EQ(c, '\0');

    EXPECT_TRUE(CopyWaypointSymbolNameOf(4104, 177, buf, sizeof buf));
    EXPECT_STREQ(buf, "Waypoin");
}
