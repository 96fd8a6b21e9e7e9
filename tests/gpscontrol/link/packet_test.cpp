#include "link/packet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace sorvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

Bytes Wire(std::uint8_t id, const Bytes& data) {
    const Bytes p = BuildPacket(id, data);
    return StuffFrame(p.data(), p.size());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A line that plays back scripted bytes and keeps what is written to it.
class ScriptedLine : public ByteStream {
  public:
    explicit ScriptedLine(Bytes incoming) : in_(incoming.begin(), incoming.end()) {}
    std::uint16_t ReadByte() override {
        if (in_.empty())
            return kReadTimeout;
        const std::uint8_t b = in_.front();
        in_.pop_front();
        return b;
    }
    std::int32_t Write(const std::uint8_t* bytes, std::size_t count) override {
        written.insert(written.end(), bytes, bytes + count);
        ++writes;
        return static_cast<std::int32_t>(count);
    }
    std::size_t left() const { return in_.size(); }

    Bytes written;
    int writes = 0;

  private:
    std::deque<std::uint8_t> in_;
};

// --- Encoding ---------------------------------------------------------------

TEST(PacketEncoding, ProductRequestIsSixBytesOnTheWire) {
    EXPECT_THAT(Wire(kPidProductRequest, {}), ElementsAre(0x10, 0xFE, 0x00, 0x02, 0x10, 0x03));
}

TEST(PacketEncoding, AcknowledgementBuilderMakesAValidEightBytePacket) {
    const auto ack = BuildAckPacket(0x23);
    EXPECT_THAT(ack, ElementsAre(0x10, 0x06, 0x02, 0x23, 0x00, 0xD5, 0x10, 0x03));
    const auto nak = BuildNakPacket(0xFF);
    EXPECT_THAT(nak, ElementsAre(0x10, 21, 0x02, 0xFF, 0x00, 0xEA, 0x10, 0x03));
}

TEST(PacketEncoding, DleInSizeDataAndChecksumIsDoubled) {
    // 16 data bytes (size 0x10), one of them 0x10.
    Bytes data(16, 0x01);
    data[3] = 0x10;
    const Bytes wire = Wire(0x22, data);
    Bytes expected = {0x10, 0x22, 0x10, 0x10, 0x01, 0x01, 0x01, 0x10, 0x10};
    expected.insert(expected.end(), 12, 0x01);
    // checksum: -(0x22 + 0x10 + 15 * 1 + 0x10) = -(0x51) = 0xAF
    expected.insert(expected.end(), {0xAF, 0x10, 0x03});
    EXPECT_THAT(wire, ElementsAreArray(expected));

    // A checksum of exactly 0x10 is doubled too: id 0xE0, no data.
    EXPECT_THAT(Wire(0xE0, {}), ElementsAre(0x10, 0xE0, 0x00, 0x20, 0x10, 0x03));
    EXPECT_THAT(Wire(0xF0, {}), ElementsAre(0x10, 0xF0, 0x00, 0x10, 0x10, 0x10, 0x03));
}

TEST(PacketEncoding, SendPacketWritesChecksumIntoCallerBufferAndSendsOnce) {
    Bytes p = {0x10, 0x0A, 0x02, 0x06, 0x00, 0xFF, 0x10, 0x03};  // preset checksum
    ScriptedLine line({});
    EXPECT_EQ(SendPacket(line, p.data(), p.size()), 8);
    EXPECT_EQ(p[5], 0xEE);  // -(0x0A + 2 + 6)
    EXPECT_EQ(line.writes, 1);
    EXPECT_THAT(line.written, ElementsAre(0x10, 0x0A, 0x02, 0x06, 0x00, 0xEE, 0x10, 0x03));
}

TEST(PacketEncoding, SendPacketIgnoresCallerFramingBytes) {
    Bytes p = {0x00, 0xFE, 0x00, 0x00, 0x77, 0x77};
    ScriptedLine line({});
    SendPacket(line, p.data(), p.size());
    EXPECT_THAT(line.written, ElementsAre(0x10, 0xFE, 0x00, 0x02, 0x10, 0x03));
}

// --- Frame parser: table rows -------------------------------------------------

struct ParseRow {
    const char* name;
    Bytes input;
    FrameStatus status;
    std::size_t consumed;
    std::uint8_t id;
};

class ParseFrameRows : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseFrameRows, ClassifiesAndConsumes) {
    const ParseRow& row = GetParam();
    std::uint8_t out[kPacketSlotSize];
    const FrameResult r = ParseFrame(row.input, out);
    EXPECT_EQ(r.status, row.status);
    EXPECT_EQ(r.consumed, row.consumed);
    if (row.status != FrameStatus::kGarbage && row.status != FrameStatus::kIncomplete) {
        EXPECT_EQ(r.id, row.id);
    }
}

const Bytes kClean = Wire(0x23, {0x41, 0x10, 0x42});  // 10 23 03 41 10 10 42 cs 10 03

Bytes WithBadChecksum() {
    Bytes b = Wire(0x1B, {0x05, 0x00});
    b[5] ^= 0x01;
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseFrameRows,
    ::testing::Values(
        ParseRow{"clean", kClean, FrameStatus::kGood, kClean.size(), 0x23},
        ParseRow{"leading_garbage", Concat({{'$', 'G', 0x03, 0x10, 0x03}, kClean}),
                 FrameStatus::kGarbage, 5, 0},
        ParseRow{"bad_checksum", WithBadChecksum(), FrameStatus::kBadChecksum, 8, 0x1B},
        // Size says 4 but DLE ETX comes after 2 data bytes and the checksum.
        ParseRow{"bad_length_short",
                 {0x10, 0x1B, 0x04, 0x05, 0x00, 0xDC, 0x10, 0x03},
                 FrameStatus::kBadFraming,
                 8,
                 0x1B},
        // Size says 1 but two data bytes arrive before DLE ETX.
        ParseRow{"bad_length_long",
                 {0x10, 0x1B, 0x01, 0x05, 0x00, 0xDF, 0x10, 0x03},
                 FrameStatus::kBadFraming,
                 5,
                 0x1B},
        ParseRow{"truncated_then_new_frame",
                 Concat({{0x10, 0x23, 0x05, 0x01}, Wire(0x06, {0x23, 0x00})}),
                 FrameStatus::kBadFraming, 4, 0x23},
        ParseRow{"two_back_to_back", Concat({kClean, Wire(0x06, {0x23, 0x00})}), FrameStatus::kGood,
                 kClean.size(), 0x23},
        ParseRow{"empty", {}, FrameStatus::kIncomplete, 0, 0},
        ParseRow{"lone_dle", {0x10}, FrameStatus::kIncomplete, 0, 0},
        ParseRow{"half_frame", {0x10, 0x23, 0x03, 0x41}, FrameStatus::kIncomplete, 0, 0},
        ParseRow{"stuffed_dle_pending", {0x10, 0x23, 0x03, 0x10}, FrameStatus::kIncomplete, 0, 0},
        ParseRow{"dle_etx_is_garbage", {0x10, 0x03, 0x10}, FrameStatus::kGarbage, 2, 0},
        ParseRow{"dle_dle_is_garbage", {0x10, 0x10, 0x23}, FrameStatus::kGarbage, 1, 0}),
    [](const ::testing::TestParamInfo<ParseRow>& info) { return std::string(info.param.name); });

TEST(ParseFrame, UnstuffsIntoTheSlotLayout) {
    std::uint8_t out[kPacketSlotSize];
    const FrameResult r = ParseFrame(kClean, out);
    ASSERT_EQ(r.status, FrameStatus::kGood);
    EXPECT_EQ(r.dataSize, 3u);
    EXPECT_THAT(Bytes(out, out + 9), ElementsAre(0x10, 0x23, 0x03, 0x41, 0x10, 0x42,
                                                 PacketChecksum(out, 9), 0x10, 0x03));
    EXPECT_EQ((0x23 + 3 + 0x41 + 0x10 + 0x42 + out[6]) & 0xFF, 0);
}

TEST(ParseFrame, SizeAndChecksumOfDleAreRestored) {
    Bytes data(16, 0x10);
    const Bytes wire = Wire(0x22, data);
    EXPECT_EQ(wire.size(), 2u + 2 + 32 + 1 + 2);
    std::uint8_t out[kPacketSlotSize];
    const FrameResult r = ParseFrame(wire, out);
    ASSERT_EQ(r.status, FrameStatus::kGood);
    EXPECT_EQ(out[2], 0x10);
    EXPECT_EQ(Bytes(out + 3, out + 19), data);

    const Bytes f0 = Wire(0xF0, {});
    ASSERT_EQ(ParseFrame(f0, out).status, FrameStatus::kGood);
    EXPECT_EQ(out[3], 0x10);
}

TEST(ParseFrame, SplitAtEveryByteIsIncompleteUntilTheLast) {
    const Bytes frame = Wire(0x10 + 0x13, {0x10, 0x10, 0x00, 0xFF, 0x10});
    std::uint8_t out[kPacketSlotSize];
    for (std::size_t cut = 0; cut < frame.size(); ++cut) {
        const FrameResult r = ParseFrame({frame.data(), cut}, out);
        EXPECT_EQ(r.status, FrameStatus::kIncomplete) << "cut at " << cut;
        EXPECT_EQ(r.consumed, 0u);
    }
    EXPECT_EQ(ParseFrame(frame, out).status, FrameStatus::kGood);
}

TEST(ParseFrame, OversizedFrameIsReadToItsEndWithoutOverrunningTheSlot) {
    Bytes data(255, 0x10);  // worst case: every byte stuffed
    const Bytes wire = Wire(0x22, data);
    // Guard bytes after the slot catch any write past it.
    struct {
        std::uint8_t slot[kPacketSlotSize];
        std::uint8_t guard[64];
    } mem;
    std::fill(std::begin(mem.guard), std::end(mem.guard), 0xAA);
    const FrameResult r = ParseFrame(wire, mem.slot);
    EXPECT_EQ(r.status, FrameStatus::kBadFraming);
    EXPECT_EQ(r.consumed, wire.size());
    EXPECT_EQ(r.dataSize, 255u);
    for (std::uint8_t g : mem.guard)
        ASSERT_EQ(g, 0xAA);

    // 250 data bytes is the largest a slot takes.
    const Bytes fits = Wire(0x22, Bytes(250, 0x10));
    const FrameResult ok = ParseFrame(fits, mem.slot);
    EXPECT_EQ(ok.status, FrameStatus::kGood);
    EXPECT_EQ(mem.slot[255], 0x03);
    EXPECT_EQ(ParseFrame(Wire(0x22, Bytes(251, 0)), mem.slot).status, FrameStatus::kBadFraming);
}

// --- ReceivePacket over a scripted line --------------------------------------

TEST(ReceivePacket, ReturnsLengthAndSkipsGarbage) {
    ScriptedLine line(Concat({{'x', 0x03, 0x10, 0x03}, kClean, {0x55}}));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 9);
    EXPECT_EQ(buf[1], 0x23);
    EXPECT_TRUE(line.written.empty());
    EXPECT_EQ(line.left(), 1u);  // nothing read past the frame
}

TEST(ReceivePacket, TwoFramesBackToBackComeOutOneByOne) {
    ScriptedLine line(Concat({Wire(0x06, {0xFE, 0}), Wire(0xFF, {0x82, 0, 0x2C, 0x01, 'e', 0})}));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 8);
    EXPECT_EQ(buf[1], 0x06);
    EXPECT_EQ(ReceivePacket(line, buf), 12);
    EXPECT_EQ(buf[1], 0xFF);
    EXPECT_EQ(buf[3], 0x82);
    EXPECT_EQ(ReceivePacket(line, buf), 0);
}

TEST(ReceivePacket, BadChecksumIsAnsweredWithNakAndTheRetransmissionTaken) {
    Bytes bad = Wire(0x23, {1, 2, 3});
    bad[6] ^= 0xFF;
    ScriptedLine line(Concat({bad, Wire(0x23, {1, 2, 3})}));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 9);
    EXPECT_EQ(buf[4], 2);
    const auto nak = BuildNakPacket(0x23);
    EXPECT_THAT(line.written, ElementsAreArray(nak));
}

TEST(ReceivePacket, GivesUpAfterThreeNaks) {
    Bytes bad = Wire(0x23, {1, 2, 3});
    bad[6] ^= 0xFF;
    ScriptedLine line(Concat({bad, bad, bad, bad, Wire(0x23, {1, 2, 3})}));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 0);
    EXPECT_EQ(line.written.size(), 3u * 8);
    // The good frame after the fourth bad one was not read.
    EXPECT_EQ(line.left(), 9u);
}

TEST(ReceivePacket, OversizedPacketIsDroppedAndNaked) {
    ScriptedLine line(Concat({Wire(0x22, Bytes(255, 0x10)), Wire(0x22, Bytes(4, 7))}));
    struct {
        std::uint8_t slot[kPacketSlotSize];
        std::uint8_t guard[64];
    } mem;
    std::fill(std::begin(mem.guard), std::end(mem.guard), 0xAA);
    EXPECT_EQ(ReceivePacket(line, mem.slot), 10);
    EXPECT_THAT(line.written, ElementsAreArray(BuildNakPacket(0x22)));
    for (std::uint8_t g : mem.guard)
        ASSERT_EQ(g, 0xAA);
}

TEST(ReceivePacket, TimeOutInTheMiddleOfAPacketReturnsZero) {
    Bytes wire = Wire(0x22, Bytes(13, 1));
    wire.resize(wire.size() / 2);
    ScriptedLine line(wire);
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 0);
    EXPECT_TRUE(line.written.empty());
}

TEST(ReceivePacket, EndlessGarbageEndsTheReceive) {
    ScriptedLine line(Bytes(kMaxGarbageBytes + 100, '$'));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 0);
    EXPECT_GT(line.left(), 0u);
}

TEST(ReceivePacket, TruncatedFrameFollowedByAGoodOneYieldsTheGoodOne) {
    ScriptedLine line(Concat({{0x10, 0x23, 0x05, 0x01}, Wire(0x06, {0x23, 0x00})}));
    std::uint8_t buf[kPacketSlotSize];
    EXPECT_EQ(ReceivePacket(line, buf), 8);
    EXPECT_EQ(buf[1], 0x06);
    EXPECT_THAT(line.written, ElementsAreArray(BuildNakPacket(0x23)));
}

TEST(ReceivePacket, RandomBytesNeverOverrunOrHang) {
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        Bytes noise(600);
        for (auto& b : noise) {
            seed = seed * 1103515245u + 12345u;
            const std::uint8_t r = static_cast<std::uint8_t>(seed >> 16);
            b = (r & 3) == 0 ? 0x10 : r;
        }
        ScriptedLine line(noise);
        std::uint8_t buf[kPacketSlotSize];
        for (int i = 0; i < 50 && line.left() > 0; ++i) {
            const int n = ReceivePacket(line, buf);
            ASSERT_TRUE(n == 0 || (n >= 6 && n <= 256));
            if (n > 0) {
                EXPECT_EQ(n, buf[2] + 6);
                EXPECT_EQ(PacketChecksum(buf, n), buf[n - 3]);
            }
        }
    }
}

}  // namespace
}  // namespace sorvane
