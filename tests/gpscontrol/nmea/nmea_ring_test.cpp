#include "nmea/nmea_ring.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvane {
namespace {

// Every line the ring gives up, with the discarded ones as "-".
std::vector<std::string> Drain(NmeaRing& ring) {
    std::vector<std::string> out;
    char line[kNmeaLineMax];
    for (;;) {
        const NmeaRing::Take t = ring.TakeLine(line);
        if (t == NmeaRing::Take::kNone)
            return out;
        out.push_back(t == NmeaRing::Take::kLine ? std::string(line) : "-");
    }
}

bool Append(NmeaRing& ring, const std::string& s) {
    return ring.Append(s.data(), s.size());
}

// A sentence-like line of exactly n bytes, CR LF included.
std::string LineOf(std::size_t n) {
    std::string s = "$GPXXX,";
    s.append(n - s.size() - 2, 'x');
    return s + "\r\n";
}

TEST(NmeaRing, LinesComeOutWithTheirLineEnd) {
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, "$GPGSA,A\r\n$GPGGA,1\r\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"$GPGSA,A\r\n", "$GPGGA,1\r\n"}));
    EXPECT_EQ(ring.Pending(), 0u);
}

TEST(NmeaRing, PartialLineWaitsForItsLineFeed) {
    NmeaRing ring;
    const std::string s = "$GPRMC,1,2,3\r\n";
    for (std::size_t i = 0; i + 1 < s.size(); ++i) {
        ASSERT_TRUE(Append(ring, s.substr(i, 1)));
        EXPECT_TRUE(Drain(ring).empty()) << "after byte " << i;
    }
    ASSERT_TRUE(Append(ring, "\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{s}));
}

TEST(NmeaRing, LineOf127BytesIsKeptAnd128IsDiscarded) {
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, LineOf(127)));
    ASSERT_TRUE(Append(ring, LineOf(128)));
    ASSERT_TRUE(Append(ring, "$GPGSA\r\n"));
    const auto lines = Drain(ring);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], LineOf(127));
    EXPECT_EQ(lines[1], "-");
    EXPECT_EQ(lines[2], "$GPGSA\r\n");
}

TEST(NmeaRing, LineNotStartingWithDollarIsDiscarded) {
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, "GPRMC,1\r\n!AIVDM\n$GPGGA\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"-", "-", "$GPGGA\n"}));
}

TEST(NmeaRing, ChunkThatDoesNotFitIsDroppedWhole) {
    NmeaRing ring;
    // An empty ring has 2048 bytes free, but never fills completely.
    EXPECT_EQ(ring.FreeSpace(), kNmeaRingSize);
    EXPECT_FALSE(Append(ring, std::string(kNmeaRingSize, 'B')));
    EXPECT_EQ(ring.Pending(), 0u);

    ASSERT_TRUE(Append(ring, std::string(1000, 'A') + "\n"));
    const std::size_t free = ring.FreeSpace();
    EXPECT_EQ(free, kNmeaRingSize - 1001);
    EXPECT_FALSE(Append(ring, "$GPGSA\r\n" + std::string(free - 8, 'z')));
    EXPECT_EQ(ring.Pending(), 1001u);
    EXPECT_TRUE(Append(ring, std::string(free - 1, 'z')));
    EXPECT_EQ(ring.FreeSpace(), 1u);
}

TEST(NmeaRing, BurstWithoutLineFeedIsDroppedAndTheNextSentenceIsRead) {
    NmeaRing ring;
    EXPECT_FALSE(Append(ring, std::string(2048, 'B')));
    ASSERT_TRUE(Append(ring, "$GPGSA,A\r\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"$GPGSA,A\r\n"}));
}

TEST(NmeaRing, RingFullOfBytesWithoutLineFeedRecovers) {
    // 2047 bytes fit; without a line feed they could only end as an overlong
    // line, so they are thrown away instead of blocking the ring for good.
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, std::string(2047, 'B')));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"-"}));
    EXPECT_EQ(ring.Pending(), 0u);
    // The rest of that overlong line is skipped up to its line feed.
    ASSERT_TRUE(Append(ring, "BBBB$GPRMC,not,a,start\r\n$GPGGA,1\r\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"-", "$GPGGA,1\r\n"}));
}

TEST(NmeaRing, ShortPartialLineIsNotThrownAway) {
    NmeaRing ring;
    ASSERT_TRUE(Append(ring, LineOf(127).substr(0, 126)));
    EXPECT_TRUE(Drain(ring).empty());
    ASSERT_TRUE(Append(ring, "\n"));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{LineOf(127)}));
}

TEST(NmeaRing, NulByteEndsTheChunk) {
    NmeaRing ring;
    const std::string chunk("$GPGSA\r\n\0$GPGGA\r\n", 17);
    ASSERT_TRUE(ring.Append(chunk.data(), chunk.size()));
    EXPECT_EQ(Drain(ring), (std::vector<std::string>{"$GPGSA\r\n"}));
}

TEST(NmeaRing, LinesAcrossTheEndOfTheArrayComeOutWhole) {
    NmeaRing ring;
    const std::string line = LineOf(100);
    // 20 lines of 100 bytes move the positions round the 2048-byte array.
    for (int i = 0; i < 60; ++i) {
        ASSERT_TRUE(Append(ring, line));
        const auto lines = Drain(ring);
        ASSERT_EQ(lines.size(), 1u) << "round " << i;
        EXPECT_EQ(lines[0], line) << "round " << i;
    }
}

}  // namespace
}  // namespace sorvane
