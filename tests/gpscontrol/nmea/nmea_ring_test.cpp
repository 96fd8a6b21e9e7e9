#include "nmea/nmea_ring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvane {
namespace {

using Lines = std::vector<std::string>;

// Every line the ring gives up, with the discarded ones as "-".
Lines Drain(NmeaRing& ring) {
    Lines out;
    char line[kNmeaLineMax];
    for (NmeaRing::Take t; (t = ring.TakeLine(line)) != NmeaRing::Take::kNone;)
        out.push_back(t == NmeaRing::Take::kLine ? std::string(line) : "-");
    return out;
}

bool Append(NmeaRing& ring, const std::string& s) {
    return ring.Append(s.data(), s.size());
}

// A sentence-like line of exactly n bytes, CR LF included.
std::string LineOf(std::size_t n) {
    return "$GPXXX," + std::string(n - 9, 'x') + "\r\n";
}

TEST(NmeaRing, ChunksGiveUpTheirLines) {
    struct Step {
        std::string chunk;
        bool accepted;
        Lines lines;  // drained after the chunk
    };
    std::vector<std::vector<Step>> rows = {
        {{"$GPGSA,A\r\n$GPGGA,1\r\n", true, {"$GPGSA,A\r\n", "$GPGGA,1\r\n"}}},
        {{"GPRMC,1\r\n!AIVDM\n$GPGGA\n", true, {"-", "-", "$GPGGA\n"}}},
        {{std::string("$GPGSA\r\n\0$GPGGA\r\n", 17), true, {"$GPGSA\r\n"}}},  // NUL ends the chunk
        {{LineOf(127) + LineOf(128) + "$GPGSA\r\n", true, {LineOf(127), "-", "$GPGSA\r\n"}}},
        {{LineOf(127).substr(0, 126), true, {}}, {"\n", true, {LineOf(127)}}},
        // A 2048-byte burst never fits; the next sentence is read.
        {{std::string(2048, 'B'), false, {}}, {"$GPGSA,A\r\n", true, {"$GPGSA,A\r\n"}}},
        // 2047 bytes fit but could only end as an overlong line: thrown away at
        // once instead of blocking the ring, and the rest skipped to its line feed.
        {{std::string(2047, 'B'), true, {"-"}},
         {"BBBB$GPRMC,not,a,start\r\n$GPGGA,1\r\n", true, {"-", "$GPGGA,1\r\n"}}},
    };
    // A line fed byte by byte comes out only with its line feed.
    const std::string s = "$GPRMC,1,2,3\r\n";
    rows.emplace_back();
    for (char c : s)
        rows.back().push_back({std::string(1, c), true, c == '\n' ? Lines{s} : Lines{}});
    // 60 lines of 100 bytes move the positions round the 2048-byte array.
    rows.emplace_back(60, Step{LineOf(100), true, {LineOf(100)}});
    for (std::size_t r = 0; r < rows.size(); ++r) {
        NmeaRing ring;
        for (const Step& step : rows[r]) {
            EXPECT_EQ(Append(ring, step.chunk), step.accepted) << "row " << r;
            EXPECT_EQ(Drain(ring), step.lines) << "row " << r;
        }
        EXPECT_EQ(ring.Pending(), 0u) << "row " << r;
    }
}

TEST(NmeaRing, ChunkThatDoesNotFitIsDroppedWhole) {
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, std::string(1000, 'A') + "\n"));
    const std::size_t free = ring.FreeSpace();
    EXPECT_EQ(free, kNmeaRingSize - 1001);
    EXPECT_FALSE(Append(ring, "$GPGSA\r\n" + std::string(free - 8, 'z')));
    EXPECT_EQ(ring.Pending(), 1001u);
    // The ring never fills completely.
    EXPECT_TRUE(Append(ring, std::string(free - 1, 'z')));
    EXPECT_EQ(ring.FreeSpace(), 1u);
}

}  // namespace
}  // namespace sorvane
